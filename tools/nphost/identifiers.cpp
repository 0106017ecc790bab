#include "identifiers.h"

namespace nphost
{
NPIdentifier IdentifierTable::FromString(const std::string& name)
{
    auto& slot = m_strings[name];
    if (!slot)
    {
        slot = std::make_unique<Identifier>(Identifier{true, name, 0});
        m_all.insert(slot.get());
    }
    return slot.get();
}

NPIdentifier IdentifierTable::FromInt(int32_t number)
{
    auto& slot = m_ints[number];
    if (!slot)
    {
        slot = std::make_unique<Identifier>(Identifier{false, {}, number});
        m_all.insert(slot.get());
    }
    return slot.get();
}

const Identifier* IdentifierTable::Find(NPIdentifier id) const
{
    return m_all.count(id) ? static_cast<const Identifier*>(id) : nullptr;
}

IdentifierTable& Identifiers()
{
    static IdentifierTable table;
    return table;
}
} // namespace nphost
