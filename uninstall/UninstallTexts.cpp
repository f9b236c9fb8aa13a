#include "uninstall/UninstallTexts.h"

#include <optional>

#include "text/Unicode.h"

namespace vo {

namespace {

const size_t kNamedItems = 10;

std::u16string Number(size_t n) {
  std::string digits = std::to_string(n);
  return std::u16string(digits.begin(), digits.end());
}

std::u16string Counted(size_t n, const char16_t* one, const char16_t* many, int uiLanguage) {
  if (uiLanguage == 0) return Number(n) + u" " + one;
  return Number(n) + u" " + (n == 1 ? one : many);
}

// "a, b and c" / "a、b和c"
std::u16string JoinedPhrases(const std::vector<std::u16string>& phrases, int uiLanguage) {
  std::u16string out;
  for (size_t i = 0; i < phrases.size(); ++i) {
    if (i > 0) {
      if (uiLanguage == 0) out += i + 1 == phrases.size() ? u"和" : u"、";
      else out += i + 1 == phrases.size() ? u" and " : u", ";
    }
    out += phrases[i];
  }
  return out;
}

void AppendNamedList(std::u16string& out, const std::u16string& heading, const std::vector<std::u16string>& items,
                     int uiLanguage) {
  if (items.empty()) return;
  out += u"\r\n\r\n" + heading;
  for (size_t i = 0; i < items.size() && i < kNamedItems; ++i) out += u"\r\n" + items[i];
  if (items.size() > kNamedItems) {
    const std::u16string more = Number(items.size() - kNamedItems);
    out += uiLanguage == 0 ? u"\r\n……另有 " + more + u" 项" : u"\r\n... and " + more + u" more";
  }
}

std::u16string FromUtf8Lossy(const std::string& text) {
  if (std::optional<std::u16string> wide = Utf8ToUtf16(text)) return *wide;
  return std::u16string(text.begin(), text.end());
}

}  // namespace

int UiLanguageForCodePage(unsigned codePage) { return codePage == 936 ? 0 : 2; }

std::u16string UninstallCaption(int uiLanguage) { return uiLanguage == 0 ? u"卸载" : u"Uninstall"; }

std::u16string ConfirmRemovalText(const std::u16string& productName, int uiLanguage) {
  if (uiLanguage == 0) return u"确实要从计算机中完全删除“" + productName + u"”及其所有组件吗？";
  return u"Do you want to completely remove " + productName + u" and all of its components from your computer?";
}

std::u16string ProductRunningText(const std::u16string& foundTitle, const std::u16string& firstTitle, int uiLanguage) {
  if (uiLanguage == 0) return foundTitle + u"正在运行，请先退出后再进行卸载。";
  return firstTitle + u" program is running, please close it before uninstalling.";
}

std::u16string ListUnreadableText(const std::u16string& listPath, const std::string& reason, int uiLanguage) {
  if (uiLanguage == 0)
    return u"无法读取安装文件列表“" + listPath + u"”，未删除任何内容。\r\n\r\n" + FromUtf8Lossy(reason);
  return u"The list of installed files \"" + listPath + u"\" cannot be read, so nothing was removed.\r\n\r\n" +
         FromUtf8Lossy(reason);
}

std::u16string RemovalSummaryText(const std::u16string& productName, const RemovalReport& report, int uiLanguage) {
  const bool zh = uiLanguage == 0;
  std::u16string out;
  if (report.Complete())
    out = zh ? u"“" + productName + u"”已从您的计算机中删除。" : productName + u" was removed from your computer.";
  else
    out = zh ? u"“" + productName + u"”已删除，但有些项目未能删除。"
             : productName + u" was removed, but some items had to be left in place.";

  // The uninstaller counts among the removed files: its helper deletes it.
  const size_t files = size_t(report.filesRemoved) + (report.selfPath.empty() ? 0 : 1);
  std::vector<std::u16string> removed;
  if (files) removed.push_back(Counted(files, zh ? u"个文件" : u"file", u"files", uiLanguage));
  if (report.foldersRemoved)
    removed.push_back(Counted(size_t(report.foldersRemoved), zh ? u"个文件夹" : u"folder", u"folders", uiLanguage));
  if (!report.shortcutsRemoved.empty())
    removed.push_back(Counted(report.shortcutsRemoved.size(), zh ? u"个快捷方式" : u"shortcut", u"shortcuts", uiLanguage));
  if (!report.entriesRemoved.empty())
    removed.push_back(Counted(report.entriesRemoved.size(), zh ? u"个程序列表项" : u"entry in the list of programs",
                              u"entries in the list of programs", uiLanguage));
  out += u"\r\n\r\n";
  if (removed.empty()) out += zh ? u"没有找到需要删除的内容。" : u"Nothing was found to remove.";
  else out += (zh ? u"已删除：" : u"Removed: ") + JoinedPhrases(removed, uiLanguage) + (zh ? u"。" : u".");

  AppendNamedList(out,
                  zh ? u"以下文件正在使用或无法删除，已保留；请在关闭使用它们的程序后手动删除："
                     : u"These files are in use or cannot be deleted and were left in place; delete them after "
                       u"closing the programs that use them:",
                  report.filesLeft, uiLanguage);
  AppendNamedList(out,
                  zh ? u"以下文件未删除：其路径上的文件夹已被替换为指向别处的链接（联接或符号链接），"
                       u"链接已删除，其指向的内容未被触及："
                     : u"These files were not deleted because a folder on their path had been replaced by a link to "
                       u"another place (a junction or symbolic link); the link was removed, not what it points to:",
                  report.filesBehindLinks, uiLanguage);
  AppendNamedList(out,
                  zh ? u"以下文件夹是链接，只删除了链接本身："
                     : u"These folders were links; only the links were removed:",
                  report.linksRemoved, uiLanguage);
  AppendNamedList(out, zh ? u"以下快捷方式无法删除：" : u"These shortcuts could not be deleted:", report.shortcutsLeft,
                  uiLanguage);
  AppendNamedList(out,
                  zh ? u"以下程序列表项无法删除：" : u"These entries could not be removed from the list of programs:",
                  report.entriesLeft, uiLanguage);
  AppendNamedList(out,
                  zh ? u"以下文件夹中还有其他文件，已保留：" : u"These folders were kept because they still hold other files:",
                  report.foldersKept, uiLanguage);
  return out;
}

}  // namespace vo
