// uninstall_fixture: sets up an installed product for tests/e2e/uninstall.sh
// with the same code the package tool and the installer run.
//
//   list <out.lst> <class> <title> <titleAlt> <nameEn> <nameZh> <folder|file[|1]>...
//       writes the uninstall list of a package with these members
//   register <installDir\> <productName> <exeBaseName> <version> <uiLanguage>
//       writes the uninstall entry, as the installer does after extracting
//   shortcut <target> <name> <location 0|1>
//       makes a desktop (0) or Quick Launch (1) shortcut, as the installer does
//   hold <file> <readyFile> <releaseFile>
//       opens file without sharing, creates readyFile, and keeps the file
//       open until releaseFile exists (at most two minutes)

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "shell/ShellError.h"
#include "shell/ShellLinks.h"
#include "shell/UninstallEntry.h"
#include "shell/UniqueHandle.h"
#include "uninstall/UninstallList.h"

namespace vo {
namespace {

int Fail(const std::string& message) {
  std::fprintf(stderr, "uninstall_fixture: %s\n", message.c_str());
  return 1;
}

bool WriteBytes(const std::u16string& path, const std::string& bytes) {
  UniqueFile file(::CreateFileW(WStr(path), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  DWORD written = 0;
  return file && ::WriteFile(file.get(), bytes.data(), DWORD(bytes.size()), &written, nullptr) &&
         written == bytes.size();
}

int WriteList(const std::vector<std::u16string>& a) {
  if (a.size() < 7) return Fail("list needs <out> <class> <title> <titleAlt> <nameEn> <nameZh>");
  const UninstallListProduct product = {a[2], a[3], a[4], a[5], a[6]};
  std::vector<UninstallMember> members;
  for (size_t i = 7; i < a.size(); ++i) {
    const size_t bar = a[i].find(u'|');
    if (bar == std::u16string::npos) return Fail("member without \"|\": " + Utf16ToUtf8(a[i]));
    const size_t flag = a[i].find(u'|', bar + 1);
    members.push_back({a[i].substr(0, bar), a[i].substr(bar + 1, flag == std::u16string::npos ? flag : flag - bar - 1),
                       flag != std::u16string::npos && a[i].substr(flag + 1) == u"1"});
  }
  return WriteBytes(a[1], BuildUninstallList(members, product)) ? 0 : Fail("cannot write the list");
}

int Register(const std::vector<std::u16string>& a) {
  if (a.size() != 6) return Fail("register needs <installDir> <productName> <exeBaseName> <version> <uiLanguage>");
  UninstallProduct product;
  product.productName = a[2];
  product.exeBaseName = a[3];
  product.productVersion = a[4];
  product.uiLanguage = a[5] == u"0" ? 0 : 2;
  RegisterUninstallEntry(product, a[1]);
  return 0;
}

int Shortcut(const std::vector<std::u16string>& a) {
  if (a.size() != 4) return Fail("shortcut needs <target> <name> <location>");
  ComApartment com;
  CreateShortcut(a[1], u"", a[2], uint8_t(a[3] == u"1" ? kQuickLaunchFolder : kDesktopFolder), u"");
  return 0;
}

int Hold(const std::vector<std::u16string>& a) {
  if (a.size() != 4) return Fail("hold needs <file> <readyFile> <releaseFile>");
  UniqueFile file(::CreateFileW(WStr(a[1]), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return Fail("cannot open " + Utf16ToUtf8(a[1]));
  if (!WriteBytes(a[2], "held")) return Fail("cannot write " + Utf16ToUtf8(a[2]));
  for (int i = 0; i < 1200 && ::GetFileAttributesW(WStr(a[3])) == INVALID_FILE_ATTRIBUTES; ++i) ::Sleep(100);
  return 0;
}

}  // namespace
}  // namespace vo

int wmain(int argc, wchar_t** argv) {
  std::vector<std::u16string> arguments;
  for (int i = 1; i < argc; ++i) arguments.push_back(vo::U16(argv[i]));
  if (arguments.empty()) return vo::Fail("no command");
  try {
    if (arguments[0] == u"list") return vo::WriteList(arguments);
    if (arguments[0] == u"register") return vo::Register(arguments);
    if (arguments[0] == u"shortcut") return vo::Shortcut(arguments);
    if (arguments[0] == u"hold") return vo::Hold(arguments);
  } catch (const std::exception& error) {
    return vo::Fail(error.what());
  }
  return vo::Fail("unknown command " + vo::Utf16ToUtf8(arguments[0]));
}
