// Script objects created through the browser (NPN_CreateObject) and their reference
// counts, as the browser keeps them.
#pragma once

#include <cstddef>
#include <unordered_map>

#include "npapi.h"
#include "npruntime.h"

namespace nphost
{
class ObjectRegistry
{
public:
    NPObject* Create(NPP npp, NPClass* aClass);
    NPObject* Retain(NPObject* obj);
    void Release(NPObject* obj);
    bool IsLive(const NPObject* obj) const;
    // Reports each object still alive; returns their number.
    size_t ReportLeaks() const;

private:
    // Value: the host allocated the storage (the class has no allocate function).
    std::unordered_map<const NPObject*, bool> m_live;
};

ObjectRegistry& Objects();
} // namespace nphost
