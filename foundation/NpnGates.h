// The browser's function table as the plug-in keeps it, and the gates to it.
#pragma once

#include <npfunctions.h>

// Private copy of the browser's table (written by Initialize).
extern NPNetscapeFuncs g_NPNFuncs;
// The static class of the library's scriptable object (written by NP_GetEntryPoints).
extern NPClass* g_pPluginClass;

void* NPN_MemAlloc(uint32_t size);
void NPN_MemFree(void* ptr);
NPIdentifier NPN_GetStringIdentifier(const NPUTF8* name);
NPUTF8* NPN_UTF8FromIdentifier(NPIdentifier identifier);
NPObject* NPN_CreateObject(NPP npp);
NPObject* NPN_RetainObject(NPObject* npobj);
void NPN_ReleaseObject(NPObject* npobj);
