// The paths in the commands stpack's messages suggest: quoted so that the
// suggestion can be pasted into the publisher's shell as it is.

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "TestConsole.h"
#include "package/PackageTestSupport.h"
#include "tools/stpack/Console.h"
#include "tools/stpack/ShellQuote.h"

namespace vo::test {
namespace {

using stpack::QuoteForShell;
using stpack::ShellStyle;

struct QuoteCase {
  const char* text;
  const char* posix;
  const char* windows;
};

const QuoteCase kQuoteCases[] = {
    {"/tmp/x/MyApp", "/tmp/x/MyApp", "/tmp/x/MyApp"},
    {"C:\\Work\\MyApp", "'C:\\Work\\MyApp'", "C:\\Work\\MyApp"},
    {"/tmp/x/My Quill", "'/tmp/x/My Quill'", "\"/tmp/x/My Quill\""},
    {"/tmp/\xE8\xB7\xAF\xE5\xBE\x84", "'/tmp/\xE8\xB7\xAF\xE5\xBE\x84'", "/tmp/\xE8\xB7\xAF\xE5\xBE\x84"},  // 路径
    {"it's", "'it'\\''s'", "\"it's\""},
    {"a$b`c", "'a$b`c'", "\"a$b`c\""},
    {"100%", "100%", "\"100%\""},
    {"a,b=c", "a,b=c", "\"a,b=c\""},
    {"R&D", "'R&D'", "\"R&D\""},
    {"C:\\My Folder\\", "'C:\\My Folder\\'", "\"C:\\My Folder\\\\\""},
    {"", "''", "\"\""},
};

TEST(ShellQuote, PlainWordsStayQuotedOnesRoundTrip) {
  for (const QuoteCase& c : kQuoteCases) {
    EXPECT_EQ(QuoteForShell(c.text, ShellStyle::kPosix), c.posix) << c.text;
    EXPECT_EQ(QuoteForShell(c.text, ShellStyle::kWindows), c.windows) << c.text;
  }
}

#ifndef _WIN32
// What sh makes of the quoted word is the path itself.
TEST(ShellQuote, ShReadsThePosixQuotingBack) {
  for (const QuoteCase& c : kQuoteCases) {
    const std::string command = "printf '%s' " + QuoteForShell(c.text, ShellStyle::kPosix);
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string echoed;
    char buffer[256];
    for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) echoed.append(buffer, n);
    pclose(pipe);
    EXPECT_EQ(echoed, c.text);
  }
}
#endif

// Every message that suggests a command quotes its path.
TEST(ShellQuote, SuggestedCommandsQuoteTheirPaths) {
  Sandbox box;
  const std::string folderName = "\xE8\xB7\xAF\xE5\xBE\x84 My Quill";  // 路径 My Quill
  const std::string folder = box.Path(folderName).u8string();
  const std::string quoted = QuoteForShell(folder);
  ASSERT_NE(quoted, folder) << "the path needs quoting";

  ResetConsole();
  ASSERT_EQ(stpack::Run({u"init", Api(box.Path(folderName))}), 0) << Console().err;
  EXPECT_NE(Console().out.find("`stpack make " + quoted + "`"), std::string::npos) << Console().out;

  ResetConsole();
  EXPECT_EQ(stpack::Run({u"init", Api(box.Path(folderName))}), 1);
  EXPECT_NE(Console().err.find("`stpack make " + quoted + "`"), std::string::npos) << Console().err;

  const std::string missing = box.Path("no such folder").u8string();
  ResetConsole();
  EXPECT_EQ(stpack::Run({u"make", Api(box.Path("no such folder"))}), 1);
  EXPECT_NE(Console().err.find("`stpack init " + QuoteForShell(missing) + "`"), std::string::npos) << Console().err;

  fs::create_directories(box.Path("empty folder"));
  ResetConsole();
  EXPECT_EQ(stpack::Run({u"make", Api(box.Path("empty folder"))}), 1);
  EXPECT_NE(Console().err.find("`stpack init " + QuoteForShell(box.Path("empty folder").u8string()) + "`"),
            std::string::npos)
      << Console().err;
}

}  // namespace
}  // namespace vo::test
