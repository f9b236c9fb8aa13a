#pragma once
// Alt+letter on the wizard's buttons. A caption marks its access key with
// "&" ("&&" is a literal ampersand). One usable control with the key is
// clicked; when several share it ("< &Back" and "&Browse..." on the
// destination page), the key moves the focus to the next of them instead, as
// the Windows dialog manager does, and Space or Enter then clicks it.

#include <string>
#include <vector>

namespace vo {

// The upper-cased access key of a caption, or 0 when it has none.
char16_t AccessKeyOf(const std::u16string& caption);

struct AccessKeyControl {
  std::u16string caption;
  bool usable = false;  // visible (page shown too) and enabled
};

struct AccessKeyAction {
  int index = -1;      // control to act on, -1 for none
  bool click = false;  // click it, or only move the focus to it
};

// controls are in tab order; focus is the index of the focused control, or
// -1 when the focus is elsewhere. key is compared without letter case.
AccessKeyAction ChooseAccessKeyTarget(const std::vector<AccessKeyControl>& controls, int focus, char16_t key);

}  // namespace vo
