#pragma once
// The interface language: Simplified Chinese or English, chosen once at
// start-up from the ANSI code page and read by everything that picks a text.

namespace vo {

// The two values the interface language takes; it is also the decimal suffix
// of the per-language resources ("ImageLeft0", "ImageLeft2", "License0").
constexpr int kUiChinese = 0;
constexpr int kUiEnglish = 2;

// 936 (Simplified Chinese) gives kUiChinese; every other code page English.
constexpr int UiLanguageFromCodePage(unsigned codePage) { return codePage == 936 ? kUiChinese : kUiEnglish; }

}  // namespace vo
