// Inside the stand-in: a key written together with its values, for callers whose entry is
// only whole with both (a certificate's key and its Blob).
#pragma once

#include <string>
#include <vector>

#include "../winreg.h"

namespace qm::reg
{
struct NewValue
{
    std::u16string name;
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
};

// RegCreateKeyExW (hKey, subKey) and RegSetValueExW of every value as one change: the key
// with all its values, or nothing. Same access rules and results as those two calls.
LSTATUS CreateKeyWithValues(HKEY hKey, const WCHAR* subKey, const std::vector<NewValue>& values);
} // namespace qm::reg
