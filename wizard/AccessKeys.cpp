#include "wizard/AccessKeys.h"

namespace vo {

namespace {
char16_t UpperAscii(char16_t c) { return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - u'a' + u'A') : c; }
}  // namespace

char16_t AccessKeyOf(const std::u16string& caption) {
  for (size_t i = 0; i + 1 < caption.size(); ++i) {
    if (caption[i] != u'&') continue;
    if (caption[i + 1] == u'&') {
      ++i;  // a literal ampersand
      continue;
    }
    return UpperAscii(caption[i + 1]);
  }
  return 0;
}

AccessKeyAction ChooseAccessKeyTarget(const std::vector<AccessKeyControl>& controls, int focus, char16_t key) {
  key = UpperAscii(key);
  if (key == 0) return {};
  std::vector<int> matches;
  for (int i = 0; i < static_cast<int>(controls.size()); ++i) {
    if (controls[i].usable && AccessKeyOf(controls[i].caption) == key) matches.push_back(i);
  }
  if (matches.empty()) return {};
  if (matches.size() == 1) return {matches[0], true};
  for (int index : matches) {
    if (index > focus) return {index, false};
  }
  return {matches[0], false};
}

}  // namespace vo
