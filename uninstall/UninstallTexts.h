#pragma once
// Everything Uninst.exe says, in the interface language: 0 Simplified Chinese
// (ANSI code page 936), 2 English (any other code page), as in the installer.

#include <string>

#include "uninstall/Removal.h"

namespace vo {

int UiLanguageForCodePage(unsigned codePage);

// Caption of every message box.
std::u16string UninstallCaption(int uiLanguage);

// The one question asked before anything is removed.
std::u16string ConfirmRemovalText(const std::u16string& productName, int uiLanguage);

// The product's main window is open. Like the installer's guard message, the
// Chinese text names the title the window was found under and the English one
// always the first title.
std::u16string ProductRunningText(const std::u16string& foundTitle, const std::u16string& firstTitle, int uiLanguage);

// Uninst.lst is missing or damaged.
std::u16string ListUnreadableText(const std::u16string& listPath, const std::string& reason, int uiLanguage);

// The final account: whether everything went, how much was removed, and by
// name what had to be left. Long lists name their first ten items.
std::u16string RemovalSummaryText(const std::u16string& productName, const RemovalReport& report, int uiLanguage);

}  // namespace vo
