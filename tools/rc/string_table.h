// STRINGTABLE entries gathered per language and packed as Windows stores them: resource
// (id / 16) + 1 of type RT_STRING holds 16 strings, each a WORD count and UTF-16 text.
#pragma once

#include <map>
#include <utility>

#include "model.h"

namespace qm::rc
{
class StringTableBuilder
{
public:
    // Throws RcError for a duplicate id in the same language or a string over 65535 units.
    void Add(uint16_t language, uint16_t id, std::u16string text, const SourceLocation& where);
    std::vector<Resource> Blocks() const;

private:
    struct Entry
    {
        std::u16string text;
        SourceLocation where;
    };
    std::map<std::pair<uint16_t, uint16_t>, Entry> m_strings; // (language, id)
};
} // namespace qm::rc
