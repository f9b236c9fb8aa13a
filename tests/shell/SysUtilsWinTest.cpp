#include <gtest/gtest.h>

#include <string>

#include "ShellTestSupport.h"
#include "shell/VoSysUtils.h"

namespace vo {
namespace {

using test::U8;

TEST(GetSystemDirPath, IsTheSystemFolderWithOneTrailingBackslash) {
  const std::u16string path = GetSystemDirPath();
  ASSERT_GE(path.size(), 4u);
  EXPECT_EQ(path.back(), u'\\');
  EXPECT_NE(path[path.size() - 2], u'\\');
  wchar_t expected[MAX_PATH] = {};
  ASSERT_GT(::GetSystemDirectoryW(expected, MAX_PATH), 0u);
  EXPECT_EQ(U8(path), U8(U16(expected) + u"\\"));
  EXPECT_TRUE(test::FolderExists(path));
}

TEST(GetFixedDriveLetters, AscendingUpperCaseFixedDrivesIncludingC) {
  const std::u16string letters = GetFixedDriveLetters();
  EXPECT_NE(letters.find(u'C'), std::u16string::npos) << U8(letters);
  for (size_t i = 0; i < letters.size(); ++i) {
    ASSERT_TRUE(letters[i] >= u'A' && letters[i] <= u'Z') << U8(letters);
    if (i > 0) {
      EXPECT_LT(letters[i - 1], letters[i]) << U8(letters);
    }
    const wchar_t root[] = {wchar_t(letters[i]), L':', L'\\', 0};
    EXPECT_EQ(::GetDriveTypeW(root), UINT(DRIVE_FIXED)) << U8(letters);
  }
}

char MissingDriveLetter() {
  const DWORD drives = ::GetLogicalDrives();
  for (int i = 25; i >= 1; --i)
    if (!(drives & (DWORD(1) << i))) return char('A' + i);
  return 0;
}

TEST(GetDriveFreeBytes, FreeSpaceOrMinusOne) {
  const char missing = MissingDriveLetter();
  ASSERT_NE(missing, 0);
  const struct {
    char letter;
    bool exists;
  } cases[] = {
      {'C', true},
      {'c', true},  // the lower-case letter names the same drive
      {'@', true},  // the current drive
      {missing, false},
  };
  for (const auto& c : cases) {
    const int64_t free = GetDriveFreeBytes(c.letter);
    if (c.exists) {
      EXPECT_GT(free, 0) << c.letter;
    } else {
      EXPECT_EQ(free, -1) << c.letter;
    }
  }
}

// Replaces the user's decimal separator for one test.
class ScopedDecimalSeparator {
 public:
  explicit ScopedDecimalSeparator(const wchar_t* separator) {
    ::GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, fSaved, 8);
    fChanged = ::SetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, separator);
  }
  ~ScopedDecimalSeparator() {
    if (fChanged) ::SetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, fSaved);
  }
  bool changed() const { return fChanged; }

 private:
  wchar_t fSaved[8] = {};
  bool fChanged = false;
};

TEST(FormatByteSize, FollowsTheUsersDecimalSeparator) {
  const struct {
    const wchar_t* separator;
    const char* expected;
  } cases[] = {{L",", "1,5 MB"}, {L".", "1.5 MB"}};
  for (const auto& c : cases) {
    ScopedDecimalSeparator separator(c.separator);
    ASSERT_TRUE(separator.changed());
    EXPECT_EQ(U8(FormatByteSize(1572864)), c.expected);
    EXPECT_EQ(U8(FormatByteSize(150LL << 30)), "150 GB");
  }
}

// What a watcher thread saw of the message box before it pressed OK.
struct SeenBox {
  bool found = false;
  std::u16string caption;
  bool textShown = false;
  bool otherWindowDisabled = false;
};

struct BoxSearch {
  HWND box = nullptr;
};

BOOL CALLBACK FindDialog(HWND window, LPARAM param) {
  wchar_t className[16] = {};
  ::GetClassNameW(window, className, 16);
  if (std::wstring(className) == L"#32770") {
    reinterpret_cast<BoxSearch*>(param)->box = window;
    return FALSE;
  }
  return TRUE;
}

struct TextSearch {
  const wchar_t* text;
  bool found = false;
};

BOOL CALLBACK FindText(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<TextSearch*>(param);
  wchar_t text[128] = {};
  ::GetWindowTextW(window, text, 128);
  if (std::wstring(text) == search->text) search->found = true;
  return TRUE;
}

TEST(ShowInfoMessage, EmptyCaptionShowsTheApplicationTitle) {
  HWND mainWindow = ::CreateWindowExW(0, L"STATIC", L"Corvenna Wizard", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, 300,
                                      200, nullptr, nullptr, nullptr, nullptr);
  if (!mainWindow) GTEST_SKIP() << "no window station to show windows on";
  HWND otherWindow = ::CreateWindowExW(0, L"STATIC", L"Corvenna Other", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40, 300,
                                       200, nullptr, nullptr, nullptr, nullptr);
  ASSERT_TRUE(otherWindow);
  SetApplicationTitle(u"Corvenna Drawvane Setup");
  SetApplicationMainWindow(mainWindow);
  ::SetActiveWindow(mainWindow);

  const struct {
    std::u16string caption;
    std::string expectedCaption;
  } cases[] = {{u"", "Corvenna Drawvane Setup"}, {u"Own Caption", "Own Caption"}};
  for (const auto& c : cases) {
    SeenBox seen;
    const DWORD uiThread = ::GetCurrentThreadId();
    test::TestThread watcher([&] {
      for (int attempt = 0; attempt < 500 && !seen.found; ++attempt) {
        BoxSearch search;
        ::EnumThreadWindows(uiThread, FindDialog, reinterpret_cast<LPARAM>(&search));
        if (!search.box) {
          ::Sleep(20);
          continue;
        }
        wchar_t caption[128] = {};
        ::GetWindowTextW(search.box, caption, 128);
        TextSearch text{L"The files could not be installed."};
        ::EnumChildWindows(search.box, FindText, reinterpret_cast<LPARAM>(&text));
        seen.caption = U16(caption);
        seen.textShown = text.found;
        seen.otherWindowDisabled = !::IsWindowEnabled(otherWindow);
        seen.found = true;
        ::PostMessageW(search.box, WM_COMMAND, IDOK, 0);
      }
    });
    ShowInfoMessage(u"The files could not be installed.", c.caption);
    watcher.join();
    ASSERT_TRUE(seen.found);
    EXPECT_EQ(U8(seen.caption), c.expectedCaption);
    EXPECT_TRUE(seen.textShown);
    EXPECT_TRUE(seen.otherWindowDisabled);
    EXPECT_TRUE(::IsWindowEnabled(otherWindow));
    EXPECT_TRUE(::IsWindowEnabled(mainWindow));
  }
  SetApplicationMainWindow(nullptr);
  ::DestroyWindow(otherWindow);
  ::DestroyWindow(mainWindow);
}

}  // namespace
}  // namespace vo
