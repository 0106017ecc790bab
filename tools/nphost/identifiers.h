// NPIdentifiers: interned names and integers, alive for the whole process.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <unordered_set>

#include "npruntime.h"

namespace nphost
{
struct Identifier
{
    bool isString;
    std::string name; // UTF-8, when isString
    int32_t number;   // when !isString
};

class IdentifierTable
{
public:
    NPIdentifier FromString(const std::string& name);
    NPIdentifier FromInt(int32_t number);
    // Null for a pointer that is no identifier of this table.
    const Identifier* Find(NPIdentifier id) const;

private:
    std::map<std::string, std::unique_ptr<Identifier>> m_strings;
    std::map<int32_t, std::unique_ptr<Identifier>> m_ints;
    std::unordered_set<const void*> m_all;
};

IdentifierTable& Identifiers();
} // namespace nphost
