#include "shell/ShellLinks.h"

namespace vo {

const char16_t kUnresolvedLinkText[] = u"unable to resolve link";

namespace {

// Position just after the last backslash or colon, 0 when there is none.
size_t NameStart(const std::u16string& path) {
  const size_t separator = path.find_last_of(u"\\:");
  return separator == std::u16string::npos ? 0 : separator + 1;
}

}  // namespace

std::u16string ShortcutFileName(const std::u16string& name) {
  const size_t start = NameStart(name);
  const size_t dot = name.find_last_of(u'.');
  const size_t stem = dot != std::u16string::npos && dot >= start ? dot : name.size();
  return name.substr(start, stem - start) + u".lnk";
}

std::u16string PathFolderPart(const std::u16string& path) { return path.substr(0, NameStart(path)); }

std::u16string StartMenuShortcutFolder(const std::u16string& programs, const std::u16string& companyFolder) {
  if (programs.empty() || companyFolder.empty()) return programs;
  return programs + u"\\" + companyFolder;
}

std::u16string ShortcutLinkPath(const std::u16string& folder, const std::u16string& subfolder,
                                const std::u16string& fileName) {
  if (subfolder.empty()) return folder + u"\\" + fileName;
  return folder + u"\\" + subfolder + u"\\" + fileName;
}

}  // namespace vo
