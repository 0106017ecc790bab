// A browser function table for calling a plug-in's exports directly from a test: memory
// with leak accounting, string identifiers, object creation and reference counting.
#pragma once

#include <map>
#include <set>
#include <string>

#include <npfunctions.h>

namespace fake
{
class Browser
{
public:
    Browser();
    ~Browser();

    // The table a browser passes to NP_Initialize (size and version set as a browser does).
    NPNetscapeFuncs& Funcs() { return m_funcs; }

    NPIdentifier Id(const std::string& name);
    // Allocations from memalloc/utf8fromidentifier that are not yet freed.
    size_t OutstandingBlocks() const { return m_blocks.size(); }
    size_t Allocations() const { return m_allocations; }
    // Objects created and not yet deallocated.
    size_t LiveObjects() const { return m_objects.size(); }
    // Releases a variant's string or object as the browser would.
    void ReleaseVariant(NPVariant& v);
    // Makes memalloc fail from now on.
    void FailAllocations(bool bFail) { m_failAlloc = bFail; }
    // Calls the plug-in class's hasMethod/invoke the way a browser does.
    bool Invoke(NPObject* obj, const std::string& method, const NPVariant* args, uint32_t argc, NPVariant* result);

    static Browser* Current();

private:
    NPNetscapeFuncs m_funcs{};
    std::map<std::string, std::string*> m_ids;
    std::set<void*> m_blocks;
    std::set<NPObject*> m_objects;
    size_t m_allocations = 0;
    bool m_failAlloc = false;

    static void* MemAlloc(uint32_t size);
    static void MemFree(void* p);
    static NPIdentifier GetStringIdentifier(const NPUTF8* name);
    static NPUTF8* UTF8FromIdentifier(NPIdentifier id);
    static bool IdentifierIsString(NPIdentifier id);
    static NPObject* CreateObject(NPP npp, NPClass* aClass);
    static NPObject* RetainObject(NPObject* obj);
    static void ReleaseObject(NPObject* obj);
    static void ReleaseVariantValue(NPVariant* v);
};

std::string StringOf(const NPVariant& v);
NPVariant StringVariant(const char* text);
NPVariant IntVariant(int32_t n);
} // namespace fake
