// Reading whole keys for qmctl: every value and subkey name of an open key.
#pragma once

#include <string>
#include <vector>

#include "winreg.h"

namespace qmctl
{
struct Value
{
    std::u16string name;
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
};

// Values sorted by name without regard to case, so that output does not depend on the
// order in which they were written.
LSTATUS ReadValues(HKEY key, std::vector<Value>& values);
// Subkey names in the registry's order.
LSTATUS ReadSubKeys(HKEY key, std::vector<std::u16string>& names);
// Prints the subkey names of root\path, one a line; a key that is not there has none. A
// list that cannot be read is its error, and nothing is printed.
LSTATUS PrintSubKeyNames(HKEY root, const char16_t* path);
// A short text for a registry status, "access denied (5)".
std::string StatusText(LSTATUS status);
} // namespace qmctl
