// The accounts of the machine: HKLM\SOFTWARE\Quillmark\Machine\Users\<name> with "Sid"
// (REG_SZ, "S-1-5-21-...") and "LocalGroups" (REG_MULTI_SZ).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "winreg.h"

namespace qm::accounts
{
struct Account
{
    std::u16string name;     // as the key spells it
    std::vector<BYTE> sid;   // binary form; empty when "Sid" is missing or malformed
    std::vector<std::u16string> localGroups;
};

// Names compare without regard to case, as Windows account names do. An account that is
// not there is ERROR_SUCCESS with no account; accounts that cannot be read are their error.
LSTATUS AccountNamed(const std::u16string& name, std::optional<Account>* account);
LSTATUS AccountWithSid(const BYTE* sid, size_t size, std::optional<Account>* account);
// HKLM\SYSTEM\CurrentControlSet\Control\ComputerName\ComputerName "ComputerName", else the
// Linux host name in upper case.
std::u16string ComputerName();

// "S-R-I-S1-S2..." to the binary form; false when malformed.
bool SidFromText(const std::u16string& text, std::vector<BYTE>* sid);
// The size of a well-formed binary identifier at `sid`, 0 when it is not one.
size_t SidSize(const void* sid);
} // namespace qm::accounts
