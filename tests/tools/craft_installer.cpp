// craft_installer: an installer whose package holds a row no package writer
// would write, for the end-to-end test of the installer's own refusal
// (tests/e2e/hostile.sh). The package is CraftPackage's: two good members,
// then row N of HostileRows() as member 3. It is stamped into the given stub
// with a minimal product's resources and sealed with the whole-file digest
// as `stpack make` does, so that every digest holds and only the check of
// the rows can refuse it.
//
//   craft_installer rows                         one line per row:
//                                                <index> TAB <member name> TAB <reason>
//   craft_installer <stub.exe> <out.exe> <index> the installer of row <index>
//   craft_installer <stub.exe> <out.exe> good    the two good members only: the
//                                                control, which installs
//
// Beside out.exe it uses <out.exe>.product/ (the product folder) and
// <out.exe>.stp (the package) while it works, and removes both.

#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "crypt/SuiteCipher.h"
#include "package/PackageTestSupport.h"
#include "pe/PeImage.h"
#include "text/Unicode.h"
#include "tools/stpack/InstallerStamp.h"
#include "tools/stpack/ProductFolder.h"

namespace vo::test {
namespace {

constexpr uint8_t kSha256Index = 3;

void Craft(const fs::path& stubPath, const fs::path& out, const std::vector<Member>& members) {
  fs::path productFolder = out;
  productFolder += ".product";
  fs::path packagePath = out;
  packagePath += ".stp";
  fs::remove_all(productFolder);
  fs::create_directories(productFolder / "payload");
  WriteBytes(productFolder / "product.ini", stpack::ProductSettingsTemplate("Hostile"));
  const std::string package = CraftPackage(members);
  WriteBytes(packagePath, package);
  std::unique_ptr<TSuiteHash> sha256 = CreateHashByIndex(kSha256Index);
  sha256->Init();
  sha256->Update(package.data(), package.size());
  Sha256Digest digest;
  sha256->Final(digest.data());

  std::unique_ptr<PackageFileSystem> files = CreatePlatformFileSystem();
  {
    const stpack::ProductFolder product = stpack::ReadProductFolder(*files, Api(productFolder));
    stpack::FileSource stub(files->OpenForReading(Api(stubPath)), stubPath.string());
    const pe::PeImage stubImage = pe::PeImage::Parse(stub);
    stpack::StampInstaller(*files, product, stubImage, stub, Api(packagePath), digest, out.filename().u16string(),
                           Api(out));
  }
  fs::remove_all(productFolder);
  fs::remove(packagePath);
}

int Usage(size_t rows) {
  std::fprintf(stderr, "usage: craft_installer rows | craft_installer <stub.exe> <out.exe> <row 0..%zu|good>\n",
               rows - 1);
  return 2;
}

int Main(int argc, char** argv) {
  const std::vector<HostileRow> rows = HostileRows();
  if (argc == 2 && std::string(argv[1]) == "rows") {
    for (size_t i = 0; i < rows.size(); ++i) {
      std::printf("%zu\t%s\t%s\n", i, Utf16ToUtf8(rows[i].member.name).c_str(), rows[i].reason);
    }
    return 0;
  }
  if (argc != 4) return Usage(rows.size());
  std::vector<Member> members = {{u"", u"first.txt", "first"}, {u"Lang\\", u"second.txt", "second"}};
  if (std::string(argv[3]) != "good") {
    size_t index = rows.size();
    try {
      index = std::stoul(argv[3]);
    } catch (const std::exception&) {
    }
    if (index >= rows.size()) return Usage(rows.size());
    members.push_back(rows[index].member);
  }
  try {
    Craft(fs::u8path(argv[1]), fs::u8path(argv[2]), members);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "craft_installer: %s\n", e.what());
    return 1;
  }
  return 0;
}

}  // namespace
}  // namespace vo::test

int main(int argc, char** argv) { return vo::test::Main(argc, argv); }
