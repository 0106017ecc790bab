#include "NpnGates.h"

#include "Trace.h"

NPNetscapeFuncs g_NPNFuncs = {};
NPClass* g_pPluginClass = nullptr;

void* NPN_MemAlloc(uint32_t size)
{
    TraceHelper trace(u"NPN_MemAlloc");
    return g_NPNFuncs.memalloc ? g_NPNFuncs.memalloc(size) : nullptr;
}

// Frees the identifier texts that NPN_UTF8FromIdentifier hands out.
void NPN_MemFree(void* ptr)
{
    TraceHelper trace(u"NPN_MemFree");
    if (g_NPNFuncs.memfree && ptr)
    {
        g_NPNFuncs.memfree(ptr);
    }
}

NPIdentifier NPN_GetStringIdentifier(const NPUTF8* name)
{
    TraceHelper trace(u"NPN_GetStringIdentifier");
    return g_NPNFuncs.getstringidentifier ? g_NPNFuncs.getstringidentifier(name) : nullptr;
}

NPUTF8* NPN_UTF8FromIdentifier(NPIdentifier identifier)
{
    TraceHelper trace(u"NPN_UTF8FromIdentifier");
    return g_NPNFuncs.utf8fromidentifier ? g_NPNFuncs.utf8fromidentifier(identifier) : nullptr;
}

NPObject* NPN_CreateObject(NPP npp)
{
    TraceHelper trace(u"NPN_CreateObject");
    return g_NPNFuncs.createobject ? g_NPNFuncs.createobject(npp, g_pPluginClass) : nullptr;
}

NPObject* NPN_RetainObject(NPObject* npobj)
{
    TraceHelper trace(u"NPN_RetainObject");
    return g_NPNFuncs.retainobject ? g_NPNFuncs.retainobject(npobj) : nullptr;
}

void NPN_ReleaseObject(NPObject* npobj)
{
    TraceHelper trace(u"NPN_ReleaseObject");
    if (g_NPNFuncs.releaseobject)
    {
        g_NPNFuncs.releaseobject(npobj);
    }
}
