#include "uninstall/UninstallCommandLine.h"

#include <gtest/gtest.h>

namespace vo {
namespace {

TEST(ParseUninstallCommand, ReadsTheSilentSwitchAndTheHelperArguments) {
  struct Case {
    std::vector<std::u16string> arguments;
    bool silent, cleanup;
    unsigned long handle;
    std::u16string target;
    bool reboot;
  };
  const Case cases[] = {
      {{}, false, false, 0, u"", false},
      {{u"/S"}, true, false, 0, u"", false},
      {{u"/s"}, true, false, 0, u"", false},
      {{u"/silent", u"-S"}, false, false, 0, u"", false},
      {{u"/_cleanup=124", u"C:\\D\\Uninst.exe"}, false, true, 124, u"C:\\D\\Uninst.exe", false},
      {{u"/_cleanup=124", u"C:\\D\\Uninst.exe", u"/_reboot"}, false, true, 124, u"C:\\D\\Uninst.exe", true},
      {{u"/_cleanup=12x", u"C:\\D\\Uninst.exe"}, false, false, 0, u"", false},
      {{u"/_cleanup=", u"C:\\D\\Uninst.exe"}, false, false, 0, u"", false},
      {{u"/_cleanup=124"}, false, false, 0, u"", false},  // no target
  };
  for (const Case& c : cases) {
    const UninstallCommand command = ParseUninstallCommand(c.arguments);
    EXPECT_EQ(command.companyFolder, u"");
    SCOPED_TRACE(testing::PrintToString(c.arguments));
    EXPECT_EQ(command.silent, c.silent);
    EXPECT_EQ(command.cleanup, c.cleanup);
    EXPECT_EQ(command.waitHandle, c.handle);
    EXPECT_EQ(command.cleanupTarget, c.target);
    EXPECT_EQ(command.deleteSelfAtReboot, c.reboot);
  }
}

TEST(ParseUninstallCommand, TheHelperTakesTheCompanyFolderToRemoveLast) {
  const UninstallCommand command = ParseUninstallCommand(
      {u"/_cleanup=124", u"C:\\Program Files\\Corvenna Soft\\D\\Uninst.exe", u"/_company=C:\\Program Files\\Corvenna Soft"});
  EXPECT_TRUE(command.cleanup);
  EXPECT_EQ(command.cleanupTarget, u"C:\\Program Files\\Corvenna Soft\\D\\Uninst.exe");
  EXPECT_EQ(command.companyFolder, u"C:\\Program Files\\Corvenna Soft");
}

}  // namespace
}  // namespace vo
