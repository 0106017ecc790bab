// Registry paths and values as qmctl reads and prints them.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "winreg.h"

namespace qmctl
{
std::u16string Utf16(const std::string& text);
std::string Utf8(const std::u16string& text);

struct KeyPath
{
    HKEY root = nullptr;
    std::string rootName;  // the long name, "HKEY_LOCAL_MACHINE"
    std::u16string subKey; // below the root, without leading or trailing backslashes
    std::string Display() const; // "HKEY_LOCAL_MACHINE\SOFTWARE\X"
};

// "HKLM\SOFTWARE\X", "HKEY_CURRENT_USER\Software", "HKCR" ... (root names in any case).
std::optional<KeyPath> ParseKeyPath(const std::string& text);

// Type names REG_SZ ... and back.
std::optional<DWORD> ParseType(const std::string& name);
std::string TypeName(DWORD type);

// Value data from the command line: text, a number (decimal or 0x hex), hex bytes, or
// strings split at `separator` for REG_MULTI_SZ. nullopt with `error` set when malformed.
std::optional<std::vector<BYTE>> ParseData(DWORD type, const std::string& text, const std::string& separator,
                                           std::string& error);

// Data as `reg query KEY VALUE` prints it: plain text, numbers in decimal, binary in hex,
// REG_MULTI_SZ items joined with `separator`.
std::string PlainData(DWORD type, const std::vector<BYTE>& data, const std::string& separator);
// Data as a dump line carries it: quoted strings, 0x-hex numbers, hex bytes.
std::string DumpData(DWORD type, const std::vector<BYTE>& data);
// A name in quotes with \\ \" \n \r \t and \xHH escaped ("@" for the default value).
std::string QuoteName(const std::u16string& name);
} // namespace qmctl
