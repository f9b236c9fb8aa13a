#include "app/CommandLine.h"

#include <gtest/gtest.h>

#include "settings/Language.h"
#include "text/Unicode.h"

namespace vo {
namespace {

std::string U8(const std::u16string& s) { return Utf16ToUtf8(s); }

struct LineCase {
  const char16_t* line;  // the whole command line, program name first
  bool bare;
  bool silent;
  bool help;
  const char16_t* folder;
  const char16_t* log;
  CommandLineFault fault;
  const char16_t* faultArgument;
};

constexpr auto kOk = CommandLineFault::None;

const LineCase kLines[] = {
    // No arguments: the wizard as it always was.
    {u"DrawvaneSetup.exe", true, false, false, u"", u"", kOk, u""},
    {u"\"C:\\Down loads\\DrawvaneSetup.exe\"   ", true, false, false, u"", u"", kOk, u""},
    {u"\"C:\\Down loads\\DrawvaneSetup.exe\"/S", false, true, false, u"", u"", kOk, u""},
    // Switches in any letter case.
    {u"setup.exe /S", false, true, false, u"", u"", kOk, u""},
    {u"setup.exe /s", false, true, false, u"", u"", kOk, u""},
    {u"setup.exe /S /S", false, true, false, u"", u"", kOk, u""},
    {u"setup.exe /?", false, false, true, u"", u"", kOk, u""},
    {u"setup.exe /log=C:\\Logs\\setup.log /S", false, true, false, u"", u"C:\\Logs\\setup.log", kOk, u""},
    {u"setup.exe /LOG=\"C:\\My Logs\\setup.log\"", false, false, false, u"", u"C:\\My Logs\\setup.log", kOk, u""},
    {u"setup.exe \"/Log=C:\\My Logs\\a.log\" /s", false, true, false, u"", u"C:\\My Logs\\a.log", kOk, u""},
    // /D= takes the rest of the line, spaces included, without quotes.
    {u"setup.exe /S /D=C:\\Some Folder\\With Spaces", false, true, false, u"C:\\Some Folder\\With Spaces", u"", kOk, u""},
    {u"setup.exe /d=c:\\apps\\x  \t", false, false, false, u"c:\\apps\\x", u"", kOk, u""},
    {u"setup.exe /LOG=x.log /D=\\\\server\\share\\Drawvane", false, false, false, u"\\\\server\\share\\Drawvane",
     u"x.log", kOk, u""},
    {u"setup.exe /S /D=C:\\Apps\\Draw-vane 2.0 (x86)", false, true, false, u"C:\\Apps\\Draw-vane 2.0 (x86)", u"",
     kOk, u""},
    {u"setup.exe /D=C:\\", false, false, false, u"C:\\", u"", kOk, u""},
    // /D= not last: the switch after it still counts for where the fault goes.
    {u"setup.exe /D=C:\\Apps\\X /S", false, true, false, u"C:\\Apps\\X", u"", CommandLineFault::FolderNotLast,
     u"/S"},
    {u"setup.exe /D=C:\\Apps\\X /LOG=C:\\l.log", false, false, false, u"C:\\Apps\\X", u"C:\\l.log",
     CommandLineFault::FolderNotLast, u"/LOG=C:\\l.log"},
    // The folder quoted as one argument, as launchers pass it: what the
    // quotes enclose, still last.
    {u"setup.exe /D=\"C:\\Some Folder\\Q\"", false, false, false, u"C:\\Some Folder\\Q", u"", kOk, u""},
    {u"setup.exe /S \"/D=C:\\Some Folder\\Q\"  ", false, true, false, u"C:\\Some Folder\\Q", u"", kOk, u""},
    {u"setup.exe \"/d=\\\\server\\share\\A B\"", false, false, false, u"\\\\server\\share\\A B", u"", kOk,
     u""},
    {u"setup.exe /D=\"C:\\Unclosed Quote", false, false, false, u"C:\\Unclosed Quote", u"", kOk, u""},
    {u"setup.exe \"/D=C:\\Some Folder\" /S", false, true, false, u"C:\\Some Folder", u"",
     CommandLineFault::FolderNotLast, u"/S"},
    {u"setup.exe /D=\"C:\\Some Folder\" /LOG=C:\\l.log", false, false, false, u"C:\\Some Folder", u"C:\\l.log",
     CommandLineFault::FolderNotLast, u"/LOG=C:\\l.log"},
    {u"setup.exe /D=\"\"", false, false, false, u"", u"", CommandLineFault::EmptyValue, u"/D="},
    {u"setup.exe \"/D=\"", false, false, false, u"", u"", CommandLineFault::EmptyValue, u"/D="},
    {u"setup.exe /D=\"Apps\\X\"", false, false, false, u"Apps\\X", u"", CommandLineFault::FolderNotAbsolute,
     u"Apps\\X"},
    // Quotes around part of the folder, or inside it.
    {u"setup.exe /D=\"C:\\Program Files\"\\X", false, false, false, u"C:\\Program Files\"\\X", u"",
     CommandLineFault::QuotedFolder, u"C:\\Program Files\"\\X"},
    {u"setup.exe /D=C:\\Some \"Folder\"", false, false, false, u"C:\\Some \"Folder\"", u"",
     CommandLineFault::QuotedFolder, u"C:\\Some \"Folder\""},
    // Empty values, relative folders.
    {u"setup.exe /S /D=", false, true, false, u"", u"", CommandLineFault::EmptyValue, u"/D="},
    {u"setup.exe /S /D=   ", false, true, false, u"", u"", CommandLineFault::EmptyValue, u"/D="},
    {u"setup.exe /LOG= /S", false, true, false, u"", u"", CommandLineFault::EmptyValue, u"/LOG="},
    {u"setup.exe /LOG=a.log /LOG=b.log", false, false, false, u"", u"a.log", CommandLineFault::RepeatedSwitch,
     u"/LOG="},
    {u"setup.exe /D=Apps\\X", false, false, false, u"Apps\\X", u"", CommandLineFault::FolderNotAbsolute, u"Apps\\X"},
    {u"setup.exe /D=C:Apps", false, false, false, u"C:Apps", u"", CommandLineFault::FolderNotAbsolute, u"C:Apps"},
    // A share path needs a server name right after its two backslashes.
    {u"setup.exe /D=\\\\\\x", false, false, false, u"\\\\\\x", u"", CommandLineFault::FolderNotAbsolute,
     u"\\\\\\x"},
    {u"setup.exe /D=\\\\ x", false, false, false, u"\\\\ x", u"", CommandLineFault::FolderNotAbsolute,
     u"\\\\ x"},
    // Unknown switches; the first fault is the one reported, and /S after it
    // still keeps the run silent.
    {u"setup.exe /Q", false, false, false, u"", u"", CommandLineFault::UnknownSwitch, u"/Q"},
    {u"setup.exe /silent /S", false, true, false, u"", u"", CommandLineFault::UnknownSwitch, u"/silent"},
    {u"setup.exe -S", false, false, false, u"", u"", CommandLineFault::UnknownSwitch, u"-S"},
    {u"setup.exe /SD", false, false, false, u"", u"", CommandLineFault::UnknownSwitch, u"/SD"},
    {u"setup.exe C:\\Apps", false, false, false, u"", u"", CommandLineFault::UnknownSwitch, u"C:\\Apps"},
    {u"setup.exe /Q /LOG=", false, false, false, u"", u"", CommandLineFault::UnknownSwitch, u"/Q"},
    {u"setup.exe /D", false, false, false, u"", u"", CommandLineFault::UnknownSwitch, u"/D"},
};

TEST(SetupCommandLine, ParsesEveryKindOfLine) {
  for (const LineCase& c : kLines) {
    SCOPED_TRACE(U8(c.line));
    const SetupCommandLine command = ParseSetupCommandLine(c.line);
    EXPECT_EQ(command.bare, c.bare);
    EXPECT_EQ(command.silent, c.silent);
    EXPECT_EQ(command.help, c.help);
    EXPECT_EQ(U8(command.installFolder), U8(c.folder));
    EXPECT_EQ(U8(command.logFile), U8(c.log));
    EXPECT_EQ(command.fault, c.fault);
    EXPECT_EQ(U8(command.faultArgument), U8(c.faultArgument));
    EXPECT_EQ(command.Valid(), c.fault == kOk);
  }
}

TEST(SetupCommandLine, ArgumentsAreTheLineAfterTheProgramName) {
  EXPECT_EQ(U8(CommandArguments(u"\"C:\\a b\\setup.exe\"  /S /D=C:\\x y  ")), "/S /D=C:\\x y");
  EXPECT_EQ(U8(CommandArguments(u"setup.exe")), "");
  EXPECT_EQ(U8(CommandArguments(u"\"C:\\unclosed quote")), "");
}

TEST(SetupCommandLine, FaultTextsNameTheArgumentInBothLanguages) {
  const SetupCommandLine unknown = ParseSetupCommandLine(u"setup.exe /Q");
  EXPECT_EQ(U8(CommandLineFaultText(kUiEnglish, unknown)), "Unknown switch \"/Q\".");
  EXPECT_EQ(U8(CommandLineFaultText(kUiChinese, unknown)), U8(u"无法识别的参数“/Q”。"));
  const SetupCommandLine notLast = ParseSetupCommandLine(u"setup.exe /D=C:\\X /S");
  EXPECT_EQ(U8(CommandLineFaultText(kUiEnglish, notLast)), "/D= must come last: \"/S\" follows it.");
  // Every fault has a text in both languages, and a valid line none.
  for (const LineCase& c : kLines) {
    const SetupCommandLine command = ParseSetupCommandLine(c.line);
    for (int language : {kUiChinese, kUiEnglish}) {
      EXPECT_EQ(CommandLineFaultText(language, command).empty(), command.Valid()) << U8(c.line);
    }
  }
}

TEST(SetupCommandLine, UsageNamesTheInstallerEverySwitchAndTheDefaultLog) {
  for (int language : {kUiChinese, kUiEnglish}) {
    const std::string usage = U8(SetupUsageText(language, u"DrawvaneSetup.exe", u"C:\\Temp\\DrawvaneSetup.log"));
    for (const char* part : {"DrawvaneSetup.exe [/S] [/LOG=", "\n/S", "\n/D=<", "\n/LOG=<", "\n/?",
                             "C:\\Temp\\DrawvaneSetup.log", "0 ", "5 "}) {
      EXPECT_NE(usage.find(part), std::string::npos) << language << ": " << part << "\n" << usage;
    }
  }
}

TEST(SetupCommandLine, DefaultLogPathInTheTemporaryFolder) {
  EXPECT_EQ(U8(DefaultLogPath(u"C:\\Temp\\", u"Drawvane")), "C:\\Temp\\DrawvaneSetup.log");
  EXPECT_EQ(U8(DefaultLogPath(u"C:\\Temp", u"Drawvane")), "C:\\Temp\\DrawvaneSetup.log");
  EXPECT_EQ(U8(DefaultLogPath(u"C:\\Temp\\", u"")), "C:\\Temp\\Setup.log");
}

}  // namespace
}  // namespace vo
