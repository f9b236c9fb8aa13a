#include "app/CommandLine.h"

#include "settings/Language.h"

namespace vo {
namespace {

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t'; }

char16_t AsciiUpper(char16_t c) { return c >= u'a' && c <= u'z' ? char16_t(c - u'a' + u'A') : c; }

// True when text at position starts with prefix, ASCII letters in any case.
bool StartsWithSwitch(const std::u16string& text, size_t position, const std::u16string& prefix) {
  if (text.size() - position < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    if (AsciiUpper(text[position + i]) != prefix[i]) return false;
  }
  return true;
}

bool SameSwitch(const std::u16string& argument, const std::u16string& name) {
  return argument.size() == name.size() && StartsWithSwitch(argument, 0, name);
}

// Where the arguments begin: after the program name, which Windows
// (CommandLineToArgvW) reads up to the closing quote when it starts with one,
// whatever follows that quote, else up to the first blank.
size_t ArgumentsStart(const std::u16string& line) {
  if (!line.empty() && line[0] == u'"') {
    const size_t close = line.find(u'"', 1);
    return close == std::u16string::npos ? line.size() : close + 1;
  }
  size_t i = 0;
  while (i < line.size() && !IsBlank(line[i])) ++i;
  return i;
}

bool IsAbsoluteFolder(const std::u16string& folder) {
  const bool drive = folder.size() >= 3 && ((folder[0] >= u'A' && folder[0] <= u'Z') ||
                                             (folder[0] >= u'a' && folder[0] <= u'z')) &&
                     folder[1] == u':' && folder[2] == u'\\';
  const bool share = folder.size() >= 3 && folder[0] == u'\\' && folder[1] == u'\\' && !IsBlank(folder[2]) &&
                     folder[2] != u'\\';
  return drive || share;
}

}  // namespace

SetupCommandLine ParseSetupCommandLine(const std::u16string& commandLine);

namespace {

// The switches after a misplaced folder still say whether to stay silent and
// where to log the fault.
void TakeSwitchesAfterFolder(SetupCommandLine& command, const std::u16string& after) {
  const SetupCommandLine rest = ParseSetupCommandLine(u"x " + after);
  command.silent = command.silent || rest.silent;
  if (command.logFile.empty()) command.logFile = rest.logFile;
}

// A quote left inside the folder (C:\a"b, or quotes around part of it) is
// no part of any Windows path.
template <typename Fault>
void CheckFolder(const std::u16string& folder, Fault& fault) {
  if (folder.empty()) {
    fault(CommandLineFault::EmptyValue, u"/D=");
  } else if (folder.find(u'"') != std::u16string::npos) {
    fault(CommandLineFault::QuotedFolder, folder);
  } else if (!IsAbsoluteFolder(folder)) {
    fault(CommandLineFault::FolderNotAbsolute, folder);
  }
}

}  // namespace

std::u16string CommandArguments(const std::u16string& commandLine) {
  size_t start = ArgumentsStart(commandLine);
  while (start < commandLine.size() && IsBlank(commandLine[start])) ++start;
  size_t end = commandLine.size();
  while (end > start && IsBlank(commandLine[end - 1])) --end;
  return commandLine.substr(start, end - start);
}

SetupCommandLine ParseSetupCommandLine(const std::u16string& commandLine) {
  SetupCommandLine command;
  const std::u16string line = CommandArguments(commandLine);
  command.bare = line.empty();
  auto fault = [&command](CommandLineFault kind, const std::u16string& argument) {
    if (command.fault != CommandLineFault::None) return;  // the first one is reported
    command.fault = kind;
    command.faultArgument = argument;
  };

  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && IsBlank(line[i])) ++i;
    if (i == line.size()) break;

    // "/D=C:\Some Folder" and /D="C:\Some Folder", as launchers quote it:
    // the folder is what the quotes enclose, and nothing may follow it.
    const bool quotedWhole = line[i] == u'"' && StartsWithSwitch(line, i + 1, u"/D=");
    const bool quotedValue = StartsWithSwitch(line, i, u"/D=") && i + 3 < line.size() && line[i + 3] == u'"';
    if (quotedWhole || quotedValue) {
      const size_t open = i + (quotedWhole ? 4 : 3);
      size_t close = line.find(u'"', open + (quotedWhole ? 0 : 1));
      const size_t valueStart = quotedWhole ? open : open + 1;
      if (close == std::u16string::npos) close = line.size();  // Windows reads an open quote to the end
      std::u16string folder = line.substr(valueStart, close - valueStart);
      while (!folder.empty() && IsBlank(folder.back())) folder.pop_back();
      command.installFolder = folder;
      if (close + 1 < line.size() && !IsBlank(line[close + 1])) {
        // Text glued to the closing quote ("C:\Program Files"\X): only part
        // of the folder is quoted.
        command.installFolder = line.substr(valueStart);
        fault(CommandLineFault::QuotedFolder, command.installFolder);
        break;
      }
      size_t after = close + 1;
      while (after < line.size() && IsBlank(line[after])) ++after;
      if (after < line.size()) {
        const std::u16string rest = line.substr(after);
        fault(CommandLineFault::FolderNotLast, rest);
        TakeSwitchesAfterFolder(command, rest);
      } else {
        CheckFolder(folder, fault);
      }
      break;
    }

    if (StartsWithSwitch(line, i, u"/D=")) {
      // The rest of the line is the folder. A switch after it would end up
      // inside the folder name; a blank followed by "/" cannot start a
      // component of a Windows path, so it marks that mistake.
      std::u16string folder = line.substr(i + 3);
      i = line.size();
      size_t misplaced = std::u16string::npos;
      for (size_t k = 1; k < folder.size(); ++k) {
        if (folder[k] == u'/' && IsBlank(folder[k - 1])) {
          misplaced = k;
          break;
        }
      }
      if (misplaced != std::u16string::npos) {
        const std::u16string after = folder.substr(misplaced);
        folder.erase(misplaced);
        while (!folder.empty() && IsBlank(folder.back())) folder.pop_back();
        command.installFolder = folder;
        fault(CommandLineFault::FolderNotLast, after);
        TakeSwitchesAfterFolder(command, after);
        break;
      }
      command.installFolder = folder;
      CheckFolder(folder, fault);
      break;
    }

    // One argument: up to the next blank outside quotes, quotes removed.
    std::u16string argument;
    bool quoted = false;
    for (; i < line.size() && (quoted || !IsBlank(line[i])); ++i) {
      if (line[i] == u'"') {
        quoted = !quoted;
      } else {
        argument += line[i];
      }
    }

    if (SameSwitch(argument, u"/S")) {
      command.silent = true;
    } else if (SameSwitch(argument, u"/?")) {
      command.help = true;
    } else if (StartsWithSwitch(argument, 0, u"/LOG=")) {
      const std::u16string file = argument.substr(5);
      if (!command.logFile.empty()) {
        fault(CommandLineFault::RepeatedSwitch, u"/LOG=");
      } else if (file.empty()) {
        fault(CommandLineFault::EmptyValue, u"/LOG=");
      } else {
        command.logFile = file;
      }
    } else {
      fault(CommandLineFault::UnknownSwitch, argument);
    }
  }
  return command;
}

std::u16string SetupUsageText(int uiLanguage, const std::u16string& installerName, const std::u16string& defaultLog) {
  // A message box has no columns to align; one switch a paragraph reads best.
  if (uiLanguage == kUiChinese) {
    return u"用法：" + installerName + u" [/S] [/LOG=<文件>] [/D=<文件夹>]\n\n"
           u"/S：静默安装，不显示任何窗口。\n"
           u"/D=<文件夹>：安装到此文件夹（完整路径）。必须放在最后；含有空格时可以不加引号，"
           u"也可以写成 \"/D=C:\\某个 文件夹\" 或 /D=\"C:\\某个 文件夹\"。\n"
           u"/LOG=<文件>：将安装日志写入此文件（默认为 " + defaultLog + u"）。\n"
           u"/?：显示本说明。\n\n"
           u"退出代码：0 安装完成，1 用户取消，2 产品正在运行，3 解压文件失败，4 安装程序已损坏，5 命令行有误。";
  }
  return u"Usage: " + installerName + u" [/S] [/LOG=<file>] [/D=<folder>]\n\n"
         u"/S: install silently, without any window.\n"
         u"/D=<folder>: install into this folder (a full path). It comes last; a folder with spaces needs no "
         u"quotes, and may also be given as \"/D=C:\\Some Folder\" or /D=\"C:\\Some Folder\".\n"
         u"/LOG=<file>: write the setup log to this file (by default " + defaultLog + u").\n"
         u"/?: show this help.\n\n"
         u"Exit codes: 0 installed, 1 cancelled by the user, 2 the product is running, 3 extracting the files "
         u"failed, 4 the installer is damaged, 5 bad command line.";
}

std::u16string CommandLineFaultText(int uiLanguage, const SetupCommandLine& command) {
  const bool zh = uiLanguage == kUiChinese;
  const std::u16string& what = command.faultArgument;
  switch (command.fault) {
    case CommandLineFault::None:
      return {};
    case CommandLineFault::UnknownSwitch:
      return zh ? u"无法识别的参数“" + what + u"”。" : u"Unknown switch \"" + what + u"\".";
    case CommandLineFault::RepeatedSwitch:
      return zh ? u"参数 " + what + u" 出现了不止一次。" : what + u" is given more than once.";
    case CommandLineFault::EmptyValue:
      return zh ? u"参数 " + what + u" 后面缺少内容。" : what + u" needs a value.";
    case CommandLineFault::FolderNotLast:
      return zh ? u"/D= 必须是最后一个参数：“" + what + u"”出现在它的后面。"
                : u"/D= must come last: \"" + what + u"\" follows it.";
    case CommandLineFault::QuotedFolder:
      return zh ? u"/D= 的文件夹只能整个加引号（\"/D=C:\\某个 文件夹\"）或不加引号：" + what
                : u"/D= takes the folder quoted as a whole (\"/D=C:\\Some Folder\") or without quotes: " + what;
    case CommandLineFault::FolderNotAbsolute:
      return zh ? u"/D= 需要完整的路径（例如 C:\\Apps\\Product）：" + what
                : u"/D= needs a full path such as C:\\Apps\\Product: " + what;
  }
  return {};
}

std::u16string DefaultLogPath(const std::u16string& tempFolder, const std::u16string& exeBaseName) {
  std::u16string folder = tempFolder;
  if (!folder.empty() && folder.back() != u'\\') folder += u'\\';
  return folder + exeBaseName + u"Setup.log";
}

}  // namespace vo
