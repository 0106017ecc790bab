#include "NppFunctions.h"

#include <new>

#include "Plugin.h"
#include "Trace.h"

// What NPP_WriteReady offers: the largest positive 32-bit count.
#define WRITE_READY_BYTES 0x0FFFFFFF

NPError NPP_New(NPMIMEType pluginType, NPP instance, uint16_t mode, int16_t argc, char* argn[], char* argv[],
                NPSavedData* saved)
{
    TraceHelper trace(u"NPP_New");
    QM_TRACE_INFO(pluginType, (DWORD)mode);
    if (!instance)
    {
        return NPERR_INVALID_INSTANCE_ERROR;
    }
    CPlugin* pPlugin = new (std::nothrow) CPlugin(instance);
    if (!pPlugin)
    {
        return NPERR_OUT_OF_MEMORY_ERROR;
    }
    return NPERR_NO_ERROR;
}

NPError NPP_Destroy(NPP instance, NPSavedData** save)
{
    TraceHelper trace(u"NPP_Destroy");
    if (!instance)
    {
        return NPERR_INVALID_INSTANCE_ERROR;
    }
    CPlugin* pPlugin = static_cast<CPlugin*>(instance->pdata);
    if (pPlugin)
    {
        pPlugin->shut();
        delete pPlugin;
        instance->pdata = nullptr;
    }
    return NPERR_NO_ERROR;
}

NPError NPP_SetWindow(NPP instance, NPWindow* pNPWindow)
{
    TraceHelper trace(u"NPP_SetWindow");
    return instance ? NPERR_NO_ERROR : NPERR_INVALID_INSTANCE_ERROR;
}

NPError NPP_NewStream(NPP instance, NPMIMEType type, NPStream* stream, NPBool seekable, uint16_t* stype)
{
    TraceHelper trace(u"NPP_NewStream");
    return instance ? NPERR_NO_ERROR : NPERR_INVALID_INSTANCE_ERROR;
}

NPError NPP_DestroyStream(NPP instance, NPStream* stream, NPReason reason)
{
    TraceHelper trace(u"NPP_DestroyStream");
    return instance ? NPERR_NO_ERROR : NPERR_INVALID_INSTANCE_ERROR;
}

void NPP_StreamAsFile(NPP instance, NPStream* stream, const char* fname)
{
    TraceHelper trace(u"NPP_StreamAsFile");
}

int32_t NPP_WriteReady(NPP instance, NPStream* stream)
{
    TraceHelper trace(u"NPP_WriteReady");
    return instance ? WRITE_READY_BYTES : NPERR_INVALID_INSTANCE_ERROR;
}

int32_t NPP_Write(NPP instance, NPStream* stream, int32_t offset, int32_t len, void* buffer)
{
    TraceHelper trace(u"NPP_Write");
    return instance ? len : NPERR_INVALID_INSTANCE_ERROR;
}

void NPP_Print(NPP instance, NPPrint* printInfo)
{
    TraceHelper trace(u"NPP_Print");
}

int16_t NPP_HandleEvent(NPP instance, void* event)
{
    TraceHelper trace(u"NPP_HandleEvent");
    if (instance && instance->pdata)
    {
        static_cast<CPlugin*>(instance->pdata)->handleEvent(event);
    }
    return 0;
}

void NPP_URLNotify(NPP instance, const char* url, NPReason reason, void* notifyData)
{
    TraceHelper trace(u"NPP_URLNotify");
}

NPError NPP_GetValue(NPP instance, NPPVariable variable, void* value)
{
    TraceHelper trace(u"NPP_GetValue");
    QM_TRACE_INFO((DWORD)variable);
    if (!instance)
    {
        return NPERR_INVALID_INSTANCE_ERROR;
    }
    CPlugin* pPlugin = static_cast<CPlugin*>(instance->pdata);
    if (!pPlugin || !value)
    {
        return NPERR_GENERIC_ERROR;
    }

    switch (variable)
    {
    case NPPVpluginNameString:
        *static_cast<const char**>(value) = PLUGIN_NAME;
        return NPERR_NO_ERROR;
    case NPPVpluginDescriptionString:
        *static_cast<const char**>(value) = PLUGIN_DESCRIPTION;
        return NPERR_NO_ERROR;
    case NPPVpluginNeedsXEmbed:
        *static_cast<NPBool*>(value) = 1;
        return NPERR_NO_ERROR;
    case NPPVpluginScriptableNPObject:
    {
        NPObject* pObject = pPlugin->GetScriptableObject();
        *static_cast<NPObject**>(value) = pObject;
        return pObject ? NPERR_NO_ERROR : NPERR_GENERIC_ERROR;
    }
    default:
        return NPERR_GENERIC_ERROR;
    }
}

NPError NPP_SetValue(NPP instance, NPNVariable variable, void* value)
{
    TraceHelper trace(u"NPP_SetValue");
    return instance ? NPERR_NO_ERROR : NPERR_INVALID_INSTANCE_ERROR;
}

const char* NPP_GetMIMEDescription()
{
    TraceHelper trace(u"NPP_GetMIMEDescription");
    return PLUGIN_MIME_DESCRIPTION;
}
