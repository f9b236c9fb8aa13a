// stpack list, verify and extract on crafted packages whose rows would leave
// the install folder or the system folder, run from a nested working folder
// as someone would run them on a package they were sent: each fails with
// exit code 1 naming the member, and nothing is created anywhere.

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "TestConsole.h"
#include "package/PackageTestSupport.h"
#include "tools/stpack/Commands.h"
#include "tools/stpack/Console.h"
#include "text/Unicode.h"

namespace vo::test {
namespace {

// Every file and folder below root, relative to it.
std::set<std::string> Everything(const fs::path& root) {
  std::set<std::string> found;
  for (const auto& item : fs::recursive_directory_iterator(root)) {
    found.insert(item.path().lexically_relative(root).generic_string());
  }
  return found;
}

class WorkingFolder {
 public:
  explicit WorkingFolder(const fs::path& folder) : fPrevious(fs::current_path()) { fs::current_path(folder); }
  ~WorkingFolder() { fs::current_path(fPrevious); }

 private:
  fs::path fPrevious;
};

TEST(HostilePackageCommands, ListVerifyAndExtractRefuseAndCreateNothing) {
  Sandbox box;
  fs::create_directories(box.Path("w/a/b"));
  // The absolute way out: "$/" and enough ".." to reach the root from the
  // working folder, then the scratch folder's own path, so that an escape
  // would show below it.
  std::u16string up = u"$/";
  for (int i = 0; i < 40; ++i) up += u"../";
  std::vector<HostileRow> rows = HostileRows();
  rows.push_back({{up + box.Root().relative_path().generic_u16string() + u"/escaped/", u"abs.txt", "x"},
                  "neither \"$System$\" nor \"$Third$\""});

  for (const HostileRow& row : rows) {
    WriteBytes(box.Path("w/a/b/pkg.stp"),
               CraftPackage({{u"", u"first.txt", "first"}, {u"Lang\\", u"second.txt", "second"}, row.member}));
    const std::set<std::string> before = Everything(box.Root());
    const std::string member = "member 3 (" + Utf16ToUtf8(row.member.name) + "): ";

    for (const std::vector<std::u16string>& command :
         {std::vector<std::u16string>{u"list", u"pkg.stp"}, {u"verify", u"pkg.stp"}, {u"extract", u"pkg.stp", u"out"},
          {u"extract", u"pkg.stp", u"out", u"--system-dir", u"sys"}}) {
      ResetConsole();
      int code = 0;
      {
        WorkingFolder inside(box.Path("w/a/b"));
        code = stpack::Run(command);
      }
      const std::string what = Utf16ToUtf8(command[0]) + " " + row.reason;
      EXPECT_EQ(code, 1) << what;
      EXPECT_NE(Console().err.find(member), std::string::npos) << what << ": " << Console().err;
      EXPECT_NE(Console().err.find(row.reason), std::string::npos) << what << ": " << Console().err;
      EXPECT_EQ(Everything(box.Root()), before) << what;
    }
  }
}

}  // namespace
}  // namespace vo::test
