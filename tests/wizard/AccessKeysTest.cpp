#include <gtest/gtest.h>

#include "wizard/AccessKeys.h"

namespace vo {
namespace {

TEST(AccessKeys, KeyOfCaption) {
  const std::pair<std::u16string, char16_t> cases[] = {
      {u"&Next >", u'N'}, {u"< &Back", u'B'}, {u"I &Agree", u'A'}, {u"&Install", u'I'}, {u"&Finish", u'F'},
      {u"&Browse...", u'B'}, {u"浏览(&S)...", u'S'}, {u"&browse", u'B'}, {u"Cancel", 0}, {u"下一步", 0},
      {u"A && B", 0}, {u"A && &B", u'B'}, {u"Trailing&", 0}, {u"", 0},
  };
  for (const auto& [caption, key] : cases) EXPECT_EQ(AccessKeyOf(caption), key);
}

TEST(AccessKeys, ChoosesTarget) {
  // Tab order of the destination page: Next, Browse, Back, Cancel.
  const std::vector<AccessKeyControl> page3 = {
      {u"&Install", true}, {u"&Browse...", true}, {u"< &Back", true}, {u"Cancel", true}};
  const std::vector<AccessKeyControl> page3NoBrowse = {
      {u"&Install", true}, {u"&Browse...", false}, {u"< &Back", true}, {u"Cancel", true}};
  struct Case {
    const char* name;
    const std::vector<AccessKeyControl>* controls;
    int focus;
    char16_t key;
    int index;
    bool click;
  };
  const Case cases[] = {
      {"unique_clicks", &page3, 0, u'I', 0, true},
      {"lower_case_key", &page3, 0, u'i', 0, true},
      {"no_match", &page3, 0, u'Q', -1, false},
      {"no_key", &page3, 0, 0, -1, false},
      {"shared_moves_focus_forward", &page3, 0, u'B', 1, false},
      {"shared_moves_on_from_first", &page3, 1, u'B', 2, false},
      {"shared_wraps_around", &page3, 2, u'B', 1, false},
      {"shared_without_focus", &page3, -1, u'B', 1, false},
      {"unusable_control_ignored", &page3NoBrowse, 0, u'B', 2, true},
      {"disabled_button_ignored", &page3NoBrowse, 0, u'X', -1, false},
  };
  for (const Case& c : cases) {
    AccessKeyAction action = ChooseAccessKeyTarget(*c.controls, c.focus, c.key);
    EXPECT_EQ(action.index, c.index) << c.name;
    EXPECT_EQ(action.click, c.click) << c.name;
  }
}

}  // namespace
}  // namespace vo
