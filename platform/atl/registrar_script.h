// The registrar's script language (the text of REGISTRY resources):
//
//   HKCR
//   {
//       NoRemove CLSID
//       {
//           ForceRemove {...} = s 'Class'
//           {
//               val AppID = s '%APPID%'
//               LocalServer32 = s '%MODULE%'
//           }
//       }
//   }
//
// Words are separated by white space; '{', '}' and '=' are words of their own, so a bare
// {GUID} is a name. A root key holds keys; a key may carry a default value (= s/d/b ...), a flag (ForceRemove,
// NoRemove, Delete) and a block of named values (val) and subkeys. Names and texts are bare
// words or '...' with '' for a quote. %NAME% is replaced from the caller's table (names
// without case), %% is one %.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace qm::atl
{
enum class KeyFlag
{
    None,
    ForceRemove, // removed with its subtree on unregister, recreated empty on register
    NoRemove,    // never removed on unregister (only its listed contents are)
    Delete,      // removed with its subtree on register
};

struct ScriptValue
{
    enum class Type
    {
        String, // s: REG_SZ
        Dword,  // d: REG_DWORD
        Binary, // b: REG_BINARY, hex digits
    } type = Type::String;
    std::u16string text;
    uint32_t dword = 0;
    std::vector<uint8_t> bytes;
};

struct ScriptKey
{
    std::u16string name;
    KeyFlag flag = KeyFlag::None;
    std::optional<ScriptValue> defaultValue;
    std::vector<std::pair<std::u16string, ScriptValue>> values; // val statements
    std::vector<ScriptKey> subkeys;
};

struct ScriptRoot
{
    std::u16string name; // as written: HKCR, HKEY_LOCAL_MACHINE, ...
    std::vector<ScriptKey> keys;
};

// Replacement names are compared without case.
struct NoCase
{
    bool operator()(const std::u16string& a, const std::u16string& b) const;
};
using Replacements = std::map<std::u16string, std::u16string, NoCase>;

struct ParseResult
{
    std::vector<ScriptRoot> roots;
    std::string error; // empty on success; else what and where ("line 3: ...")
};

// The whole script, or an error: nothing of a faulty script is applied.
ParseResult ParseRegistrarScript(const std::u16string& text, const Replacements& replacements);
} // namespace qm::atl
