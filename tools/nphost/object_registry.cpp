#include "object_registry.h"

#include <cstdlib>
#include <string>

#include "diagnostics.h"

namespace nphost
{
NPObject* ObjectRegistry::Create(NPP npp, NPClass* aClass)
{
    if (aClass == nullptr)
    {
        Fault("NPN_CreateObject with a null class");
        return nullptr;
    }
    NPObject* obj = nullptr;
    bool hostStorage = false;
    if (aClass->allocate != nullptr)
        obj = aClass->allocate(npp, aClass);
    else
    {
        obj = static_cast<NPObject*>(std::calloc(1, sizeof(NPObject)));
        hostStorage = true;
    }
    if (obj == nullptr)
        return nullptr;
    if (m_live.count(obj))
    {
        Fault("NPN_CreateObject: allocate returned the live object " + Hex(obj));
        return nullptr;
    }
    obj->_class = aClass;
    obj->referenceCount = 1;
    m_live[obj] = hostStorage;
    return obj;
}

NPObject* ObjectRegistry::Retain(NPObject* obj)
{
    if (obj == nullptr)
        return nullptr;
    if (!IsLive(obj))
    {
        Fault("NPN_RetainObject of " + Hex(obj) + ", which is not a live object");
        return obj;
    }
    ++obj->referenceCount;
    return obj;
}

void ObjectRegistry::Release(NPObject* obj)
{
    if (obj == nullptr)
        return;
    auto it = m_live.find(obj);
    if (it == m_live.end())
    {
        Fault("NPN_ReleaseObject of " + Hex(obj) + ", which is not a live object");
        return;
    }
    if (obj->referenceCount == 0)
    {
        Fault("NPN_ReleaseObject of " + Hex(obj) + " whose reference count is already 0");
        return;
    }
    if (--obj->referenceCount != 0)
        return;
    const bool hostStorage = it->second;
    m_live.erase(it);
    NPClass* aClass = obj->_class;
    if (aClass != nullptr && aClass->deallocate != nullptr)
        aClass->deallocate(obj);
    else if (hostStorage)
        std::free(obj);
    else
        Fault("object " + Hex(obj) + " has an allocate but no deallocate function; not freed");
}

bool ObjectRegistry::IsLive(const NPObject* obj) const { return m_live.count(obj) != 0; }

size_t ObjectRegistry::ReportLeaks() const
{
    for (const auto& [obj, hostStorage] : m_live)
        Leak("NPObject " + Hex(obj) + " (class " + Hex(obj->_class) + ") still has " +
             std::to_string(obj->referenceCount) + " reference(s)");
    return m_live.size();
}

ObjectRegistry& Objects()
{
    static ObjectRegistry registry;
    return registry;
}
} // namespace nphost
