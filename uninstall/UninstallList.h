#pragma once
// Uninst.lst: what a package puts on the machine, written by the package tool
// into the install folder beside Uninst.exe and read back by Uninst.exe.
//
// UTF-8 text (a byte-order mark is allowed), one "Key=Value" entry a line,
// CRLF or LF line ends; empty lines and lines starting with ";" are comments.
// The value is everything after the first "=". Keys, in the order written:
//
//   Format=1                          first entry; another version is refused
//   WindowClass=TfrmImageEditor       product settings 1001, 1002 and 1003:
//   WindowTitle=Drawvane              the product's main window, looked for
//   WindowTitleAlt=柯雯纳画图          as the installer's guard does
//   ProductName.0=柯雯纳画图           per interface language (.0 Chinese,
//   Shortcut.0=柯雯纳画图.lnk          .2 English): the display name, the
//   UninstallKey.0=柯雯纳画图          desktop and Quick Launch shortcut file
//   ProductName.2=Corvenna Drawvane   the installer makes, and the subkey of
//   Shortcut.2=Corvenna Drawvane.lnk  HKLM\...\CurrentVersion\Uninstall it
//   UninstallKey.2=Corvenna Drawvane  writes, when it runs in that language
//   CompanyFolder=Corvenna Soft       product setting 1013: the folder the
//                                     installer proposes between the
//                                     program-files folder and the product's
//                                     own; absent when the product has none
//   File=Drawvane.exe                 one line per installed file, relative to
//   File=Lang\zh-CN.ini               the install folder, backslash-separated
//
// Members bound for the system folder are never listed: they may be shared
// and may have been there before. Unknown keys are ignored, so a newer tool
// can add entries an older uninstaller does not need.

#include <functional>
#include <string>
#include <vector>

#include "text/Error.h"

namespace vo {

// The uninstaller and its list, both members of the install folder itself.
extern const char16_t kUninstallerFileName[];    // "Uninst.exe"
extern const char16_t kUninstallListFileName[];  // "Uninst.lst"

// A list that cannot be written or read; the message is UTF-8.
class EUninstallList : public Error {
 public:
  using Error::Error;
};

// One row of the package's file table, as the extractor reads it.
struct UninstallMember {
  std::u16string targetFolder;  // column 0: "", "Lang\", or "$System$..." for the system folder
  std::u16string fileName;      // column 1: only its last component names the file written
  bool useInstallDir = false;   // column 4: written straight into the install folder
};

// The product settings the list needs (string-table entries 1001 to 1005
// and 1013).
struct UninstallListProduct {
  std::u16string windowClass;     // 1001
  std::u16string windowTitle;     // 1002
  std::u16string windowTitleAlt;  // 1003
  std::u16string productNameEn;   // 1004
  std::u16string productNameZh;   // 1005
  std::u16string companyFolder;   // 1013 as the installer uses it: its default when empty, empty for none
};

// The six settings through a reader of product settings by id (a missing
// entry reads as the empty text), such as one over a parsed product.ini.
UninstallListProduct ReadUninstallListProduct(const std::function<std::u16string(int id)>& setting);

// A list read back.
struct UninstallList {
  std::u16string windowClass;
  std::u16string windowTitle;
  std::u16string windowTitleAlt;
  std::u16string productNameZh;
  std::u16string productNameEn;
  // The company folder's name; empty in lists written before it was listed,
  // and for a product without one.
  std::u16string companyFolder;
  std::vector<std::u16string> shortcuts;      // link file names, no duplicates
  std::vector<std::u16string> uninstallKeys;  // subkey names, no duplicates
  std::vector<std::u16string> files;          // relative paths, no duplicates, in list order

  // The display name of the interface language (0 Chinese, else English),
  // or the other one when that is empty.
  std::u16string ProductName(int uiLanguage) const;
};

// The text of Uninst.lst for a package of these members. Members for the
// system folder, and members whose path would leave the install folder, are
// not listed; Uninst.exe and Uninst.lst always are (once each), so the caller
// may pass them or not. Raises EUninstallList when a product name cannot be
// written on one line or names no usable registry key, or when the company
// folder is not one plain folder name.
std::string BuildUninstallList(const std::vector<UninstallMember>& members, const UninstallListProduct& product);

// Reads the text of Uninst.lst. Raises EUninstallList for text that is not
// UTF-8, a line without "=", a missing or other Format, and any entry that
// could reach outside the install folder or the Uninstall key.
UninstallList ParseUninstallList(const std::string& text);

// The path, relative to the install folder, of the file the extractor writes
// for a member, or empty when the member goes to the system folder or its
// path is not a plain relative one.
std::u16string InstalledMemberPath(const UninstallMember& member);

// path itself when the rule of package/MemberPath.h accepts it as a file
// below the install folder ("Lang\zh.ini"), else empty. Nothing is cleaned:
// "/", empty and "." parts, "..", drives, device names, names ending in a
// dot or a space and characters Windows refuses all give empty.
std::u16string PlainRelativePath(const std::u16string& path);

// Paths compared the way Windows compares file names for the letters that
// matter here: ASCII letters without regard to case.
bool SamePath(const std::u16string& a, const std::u16string& b);

}  // namespace vo
