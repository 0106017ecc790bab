#include "string_table.h"

namespace qm::rc
{
void StringTableBuilder::Add(uint16_t language, uint16_t id, std::u16string text, const SourceLocation& where)
{
    if (text.size() > 0xFFFF)
        throw RcError(where, "string " + std::to_string(id) + " is longer than 65535 characters");
    auto [it, inserted] = m_strings.try_emplace({language, id}, Entry{std::move(text), where});
    if (!inserted)
        throw RcError(where, "string id " + std::to_string(id) + " is already defined at " + it->second.where.file +
                                 ":" + std::to_string(it->second.where.line));
}

std::vector<Resource> StringTableBuilder::Blocks() const
{
    std::map<std::pair<uint16_t, uint16_t>, std::vector<const Entry*>> blocks; // (language, block)
    for (const auto& [key, entry] : m_strings)
    {
        auto& slots = blocks[{key.first, static_cast<uint16_t>((key.second >> 4) + 1)}];
        slots.resize(16, nullptr);
        slots[key.second & 15] = &entry;
    }
    std::vector<Resource> out;
    for (const auto& [key, slots] : blocks)
    {
        Resource r;
        r.type = ResourceName::Id(kRtString);
        r.name = ResourceName::Id(key.second);
        r.language = key.first;
        for (const Entry* e : slots)
        {
            if (e && r.where.file.empty())
                r.where = e->where;
            size_t len = e ? e->text.size() : 0;
            r.data.push_back(static_cast<uint8_t>(len));
            r.data.push_back(static_cast<uint8_t>(len >> 8));
            if (e)
                for (char16_t c : e->text)
                {
                    r.data.push_back(static_cast<uint8_t>(c));
                    r.data.push_back(static_cast<uint8_t>(c >> 8));
                }
        }
        out.push_back(std::move(r));
    }
    return out;
}
} // namespace qm::rc
