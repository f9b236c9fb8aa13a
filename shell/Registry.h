#pragma once
// Three small registry helpers (Windows only). Key paths are relative to the
// root and backslash-separated; one leading backslash is dropped. Every open
// and create asks for KEY_ALL_ACCESS in the process's own registry view, and
// each call closes the key it opened before it returns or raises.

#include <windows.h>

#include <cstdint>
#include <string>

#include "shell/ShellError.h"

namespace vo {

// Creates keyPath under root with every missing key on the way. Returns true;
// raises ERegistryError "Failed to create key <keyPath>" when it cannot.
bool RegCreateKeyPath(HKEY root, const std::u16string& keyPath);

// Writes text as REG_SZ ((length + 1) * 2 bytes, terminator included) under
// keyPath, creating the key path when it is missing. An empty keyPath writes
// at root itself. Returns false, writing nothing, when the key cannot be
// opened or created; raises ERegistryError "Failed to set data for '<name>'"
// when the registry refuses the value.
bool RegWriteStringValue(HKEY root, const std::u16string& keyPath, const std::u16string& valueName,
                         const std::u16string& text);

// Writes number as REG_DWORD (4 bytes, little-endian), with the same rules
// for the key and the same outcomes as RegWriteStringValue.
bool RegWriteDwordValue(HKEY root, const std::u16string& keyPath, const std::u16string& valueName, uint32_t number);

// Reads a REG_SZ or REG_EXPAND_SZ value (not expanded) up to its first null.
// A missing key, a missing value and empty data all give the empty text;
// any other value type raises ERegistryError "Invalid data type for '<name>'".
std::u16string RegReadStringValue(HKEY root, const std::u16string& keyPath, const std::u16string& valueName);

}  // namespace vo
