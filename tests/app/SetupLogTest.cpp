#include "app/SetupLog.h"

#include <gtest/gtest.h>

#include <map>

#include "settings/Language.h"

namespace vo {
namespace {

const LogTime kTime{2025, 3, 7, 9, 5, 3, 42};

TEST(SetupLogFormat, EachLineLedByTheTimeOfDayAndEndedWithCrLf) {
  struct Case {
    const char* text;
    const char* line;
  };
  const Case cases[] = {
      {"Installing into C:\\Apps\\", "09:05:03.042  Installing into C:\\Apps\\\r\n"},
      {"", "09:05:03.042  \r\n"},
      // Later lines of an entry are indented under its text; LF and CR LF both
      // break, and a final break adds no empty line.
      {"Product settings:\n  1010 ExeBaseName = Drawvane\r\n  1011 ProductVersion = 2.0\n",
       "09:05:03.042  Product settings:\r\n"
       "                1010 ExeBaseName = Drawvane\r\n"
       "                1011 ProductVersion = 2.0\r\n"},
      {"UTF-8 stays as it is: 柯雯纳画图", "09:05:03.042  UTF-8 stays as it is: 柯雯纳画图\r\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(FormatLogLine(kTime, c.text), c.line);
  EXPECT_EQ(FormatLogLine({2025, 12, 31, 23, 59, 59, 999}, "x"), "23:59:59.999  x\r\n");
}

// A sink that keeps its bytes and can be made to fail.
struct StringSink final : LogSink {
  std::string* bytes;
  int* writes;
  bool fail = false;
  StringSink(std::string* b, int* w) : bytes(b), writes(w) {}
  bool Write(const std::string& data) override {
    ++*writes;
    if (fail) return false;
    *bytes += data;
    return true;
  }
};

TEST(SetupLog, WritesEntriesInOrderAndStopsForGoodAfterAFailedWrite) {
  std::string bytes;
  int writes = 0;
  SetupLog log;
  log.Write("before the log is open: dropped");
  EXPECT_FALSE(log.IsOpen());

  auto sink = std::make_unique<StringSink>(&bytes, &writes);
  StringSink* raw = sink.get();
  int tick = 0;
  log.Open(std::move(sink), [&tick] {
    LogTime t = kTime;
    t.millisecond = tick++;
    return t;
  });
  log.Write("first");
  log.Write(u"second, 柯雯纳画图");
  log.Write(std::vector<std::string>{"third", "fourth"});
  EXPECT_EQ(bytes,
            "09:05:03.000  first\r\n09:05:03.001  second, 柯雯纳画图\r\n09:05:03.002  third\r\n"
            "09:05:03.003  fourth\r\n");

  raw->fail = true;  // a full disk, a file deleted under the log: the run goes on
  log.Write("lost");
  EXPECT_FALSE(log.IsOpen());
  log.Write("not even tried");
  EXPECT_EQ(writes, 5);
}

TEST(SetupLogFormat, StartEntriesSayWhatRunsWhereAndHow) {
  SetupStartInfo info;
  info.time = kTime;
  info.installerPath = u"C:\\Downloads\\DrawvaneSetup.exe";
  info.windowsVersion = u"5.1.2600 Service Pack 3";
  info.uiLanguage = kUiChinese;
  info.codePage = 936;
  info.silent = true;
  info.arguments = u"/S /D=C:\\Some Folder";
  EXPECT_EQ(FormatStartEntries(info), (std::vector<std::string>{
                                          "Setup started 2025-03-07 09:05:03 (local time)",
                                          "Installer: C:\\Downloads\\DrawvaneSetup.exe",
                                          "Command line: /S /D=C:\\Some Folder",
                                          "Windows: 5.1.2600 Service Pack 3",
                                          "Language: Chinese (ANSI code page 936)",
                                          "Mode: silent",
                                      }));
  info.arguments.clear();
  info.uiLanguage = kUiEnglish;
  info.codePage = 1252;
  info.silent = false;
  const std::vector<std::string> bare = FormatStartEntries(info);
  EXPECT_EQ(bare[2], "Command line: (no arguments)");
  EXPECT_EQ(bare[4], "Language: English (ANSI code page 1252)");
  EXPECT_EQ(bare[5], "Mode: wizard");
}

TEST(SetupLogFormat, SettingsNamedWithTheIdsOfTheLanguageRead) {
  ProductSettings settings;
  settings.ExeBaseName = u"Drawvane";
  settings.ProductVersion = u"2.0";
  settings.IsFreeware = true;
  settings.ProductName = u"柯雯纳画图";
  settings.Publisher = u"柯雯纳软件工作室";
  settings.HomePage = u"http://www.corvenna.com/cn/";
  const RunningWindowSettings window{u"TfrmImageEditor", u"Drawvane", u"柯雯纳画图"};
  EXPECT_EQ(FormatSettingsEntry(settings, window, kUiChinese),
            "Product settings:\n"
            "  1001 WindowClass = TfrmImageEditor\n"
            "  1002 WindowTitle = Drawvane\n"
            "  1003 WindowTitleAlt = 柯雯纳画图\n"
            "  1005 ProductNameZh = 柯雯纳画图\n"
            "  1009 Freeware = yes\n"
            "  1010 ExeBaseName = Drawvane\n"
            "  1011 ProductVersion = 2.0\n"
            "  1012 RequiredSpace = \n"
            "  1013 CompanyFolder = (none)\n"
            "  1015 PublisherZh = 柯雯纳软件工作室\n"
            "  1017 HomePageZh = http://www.corvenna.com/cn/");
  settings.CompanyFolder = u"Corvenna Soft";
  const std::string english = FormatSettingsEntry(settings, window, kUiEnglish);
  for (const char* line : {"  1004 ProductNameEn = ", "  1013 CompanyFolder = Corvenna Soft\n", "  1014 PublisherEn = ",
                           "  1016 HomePageEn = "}) {
    EXPECT_NE(english.find(line), std::string::npos) << line;
  }
}

TEST(SetupLogFormat, ByteCountsExactWithTheShortFormBeside) {
  EXPECT_EQ(FormatLogBytes(0), "0 bytes");
  EXPECT_EQ(FormatLogBytes(1), "1 byte");
  EXPECT_EQ(FormatLogBytes(1023), "1023 bytes");
  EXPECT_EQ(FormatLogBytes(1536), "1536 bytes (2 KB)");
  EXPECT_EQ(FormatLogBytes(104857600), "104857600 bytes (100 MB)");
}

// Files by path, with their contents. The file at refused is held open by
// another program: it can be neither moved, replaced nor removed.
class MemoryLogFolder final : public LogFolder {
 public:
  std::map<std::u16string, std::string> files;
  std::u16string refused;

  bool Exists(const std::u16string& path) override { return files.count(path) != 0; }
  bool Remove(const std::u16string& path) override { return path != refused && files.erase(path) != 0; }
  bool Rename(const std::u16string& from, const std::u16string& to) override {
    if (from == refused || to == refused || !files.count(from)) return false;
    files[to] = files[from];
    files.erase(from);
    return true;
  }
};

const std::u16string kLog = u"C:\\Temp\\DrawvaneSetup.log";

// One run: the earlier logs move down, then the run writes the default log.
void OneRun(MemoryLogFolder& folder, const std::string& contents) {
  ShiftEarlierLogs(folder, kLog);
  folder.files[kLog] = contents;
}

TEST(SetupLogRotation, EarlierLogPathsNumberTheNameBeforeItsExtension) {
  EXPECT_EQ(EarlierLogPath(kLog, 1), u"C:\\Temp\\DrawvaneSetup.1.log");
  EXPECT_EQ(EarlierLogPath(kLog, 4), u"C:\\Temp\\DrawvaneSetup.4.log");
  EXPECT_EQ(EarlierLogPath(u"C:\\My.Logs\\Setup", 2), u"C:\\My.Logs\\Setup.2");
  EXPECT_EQ(EarlierLogPath(u"Setup", 3), u"Setup.3");
}

TEST(SetupLogRotation, TheNewestRunAtTheDocumentedNameAndFourEarlierOnes) {
  MemoryLogFolder folder;
  OneRun(folder, "run 1");
  EXPECT_EQ(folder.files, (std::map<std::u16string, std::string>{{kLog, "run 1"}}));
  for (int run = 2; run <= 7; ++run) OneRun(folder, "run " + std::to_string(run));
  const std::map<std::u16string, std::string> expected = {
      {kLog, "run 7"},
      {u"C:\\Temp\\DrawvaneSetup.1.log", "run 6"},
      {u"C:\\Temp\\DrawvaneSetup.2.log", "run 5"},
      {u"C:\\Temp\\DrawvaneSetup.3.log", "run 4"},
      {u"C:\\Temp\\DrawvaneSetup.4.log", "run 3"},
  };
  EXPECT_EQ(folder.files, expected);
}

TEST(SetupLogRotation, GapsAndStuckFilesStopNothing) {
  struct Case {
    const char* name;
    std::map<std::u16string, std::string> before;
    std::u16string refused;
    std::map<std::u16string, std::string> after;  // before the new run writes
  };
  const std::u16string one = EarlierLogPath(kLog, 1), two = EarlierLogPath(kLog, 2), three = EarlierLogPath(kLog, 3),
                       four = EarlierLogPath(kLog, 4);
  const Case cases[] = {
      {"no log yet", {}, u"", {}},
      {"only an old one", {{two, "b"}}, u"", {{three, "b"}}},
      {"no default log, the rest full", {{one, "a"}, {two, "b"}, {three, "c"}, {four, "d"}}, u"",
       {{two, "a"}, {three, "b"}, {four, "c"}}},
      // The default log is held open elsewhere: it stays, and is written over.
      {"default log stuck", {{kLog, "x"}, {one, "a"}}, kLog, {{kLog, "x"}, {two, "a"}}},
      // A stuck earlier one stays, and so does the one that would replace it.
      {"earlier one stuck", {{kLog, "x"}, {one, "a"}, {two, "b"}}, one, {{kLog, "x"}, {one, "a"}, {three, "b"}}},
      {"oldest stuck", {{three, "c"}, {four, "d"}}, four, {{three, "c"}, {four, "d"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MemoryLogFolder folder;
    folder.files = c.before;
    folder.refused = c.refused;
    ShiftEarlierLogs(folder, kLog);
    EXPECT_EQ(folder.files, c.after);
  }
}

}  // namespace
}  // namespace vo
