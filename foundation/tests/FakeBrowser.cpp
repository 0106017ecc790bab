#include "FakeBrowser.h"

#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace fake
{
namespace
{
Browser* g_current = nullptr;
}

Browser* Browser::Current()
{
    return g_current;
}

Browser::Browser()
{
    if (g_current)
    {
        throw std::logic_error("one fake browser at a time");
    }
    g_current = this;
    m_funcs.size = sizeof(NPNetscapeFuncs);
    m_funcs.version = (NP_VERSION_MAJOR << 8) | NP_VERSION_MINOR;
    m_funcs.memalloc = MemAlloc;
    m_funcs.memfree = MemFree;
    m_funcs.getstringidentifier = GetStringIdentifier;
    m_funcs.utf8fromidentifier = UTF8FromIdentifier;
    m_funcs.identifierisstring = IdentifierIsString;
    m_funcs.createobject = CreateObject;
    m_funcs.retainobject = RetainObject;
    m_funcs.releaseobject = ReleaseObject;
    m_funcs.releasevariantvalue = ReleaseVariantValue;
}

Browser::~Browser()
{
    for (auto& [name, p] : m_ids)
    {
        delete p;
    }
    for (void* p : m_blocks)
    {
        free(p);
    }
    g_current = nullptr;
}

NPIdentifier Browser::Id(const std::string& name)
{
    return GetStringIdentifier(name.c_str());
}

void Browser::ReleaseVariant(NPVariant& v)
{
    ReleaseVariantValue(&v);
}

bool Browser::Invoke(NPObject* obj, const std::string& method, const NPVariant* args, uint32_t argc,
                     NPVariant* result)
{
    NPIdentifier id = Id(method);
    if (!obj->_class->hasMethod(obj, id))
    {
        return false;
    }
    return obj->_class->invoke(obj, id, args, argc, result);
}

void* Browser::MemAlloc(uint32_t size)
{
    if (g_current->m_failAlloc)
    {
        return nullptr;
    }
    void* p = malloc(size ? size : 1);
    g_current->m_blocks.insert(p);
    ++g_current->m_allocations;
    return p;
}

void Browser::MemFree(void* p)
{
    if (g_current->m_blocks.erase(p) == 0)
    {
        throw std::logic_error("memfree of a block the browser did not hand out");
    }
    free(p);
}

NPIdentifier Browser::GetStringIdentifier(const NPUTF8* name)
{
    auto& slot = g_current->m_ids[name];
    if (!slot)
    {
        slot = new std::string(name);
    }
    return slot;
}

NPUTF8* Browser::UTF8FromIdentifier(NPIdentifier id)
{
    const std::string* s = static_cast<const std::string*>(id);
    char* p = static_cast<char*>(MemAlloc((uint32_t)s->size() + 1));
    if (p)
    {
        memcpy(p, s->c_str(), s->size() + 1);
    }
    return p;
}

bool Browser::IdentifierIsString(NPIdentifier)
{
    return true;
}

NPObject* Browser::CreateObject(NPP npp, NPClass* aClass)
{
    if (!aClass || !aClass->allocate)
    {
        return nullptr;
    }
    NPObject* obj = aClass->allocate(npp, aClass);
    if (obj)
    {
        obj->_class = aClass;
        obj->referenceCount = 1;
        g_current->m_objects.insert(obj);
    }
    return obj;
}

NPObject* Browser::RetainObject(NPObject* obj)
{
    if (obj)
    {
        ++obj->referenceCount;
    }
    return obj;
}

void Browser::ReleaseObject(NPObject* obj)
{
    if (!obj)
    {
        return;
    }
    if (--obj->referenceCount == 0)
    {
        g_current->m_objects.erase(obj);
        obj->_class->deallocate(obj);
    }
}

void Browser::ReleaseVariantValue(NPVariant* v)
{
    if (v->type == NPVariantType_String)
    {
        MemFree(const_cast<NPUTF8*>(v->value.stringValue.UTF8Characters));
    }
    else if (v->type == NPVariantType_Object)
    {
        ReleaseObject(v->value.objectValue);
    }
    VOID_TO_NPVARIANT(*v);
}

std::string StringOf(const NPVariant& v)
{
    if (v.type != NPVariantType_String)
    {
        throw std::logic_error("not a string variant");
    }
    return std::string(v.value.stringValue.UTF8Characters, v.value.stringValue.UTF8Length);
}

NPVariant StringVariant(const char* text)
{
    NPVariant v;
    STRINGZ_TO_NPVARIANT(text, v);
    return v;
}

NPVariant IntVariant(int32_t n)
{
    NPVariant v;
    INT32_TO_NPVARIANT(n, v);
    return v;
}
} // namespace fake
