// The NPAPI exports of the plug-in library.
#include <cstring>

#include <npfunctions.h>

#include "NpEntryPoints.h"
#include "NpnGates.h"
#include "NppFunctions.h"
#include "ScriptablePluginObjectBase.h"
#include "Trace.h"

// Size words count bytes of the 32-bit tables: NPPluginFuncs through setvalue, and
// NPNetscapeFuncs as far as the browser functions this plug-in was built against.
#define MIN_PLUGIN_FUNCS_SIZE 60
#define MIN_NETSCAPE_FUNCS_SIZE 196
#define PLUGIN_FUNCS_VERSION 22

NPError GetEntryPoints(NPPluginFuncs* pFuncs)
{
    TraceHelper trace(u"GetEntryPoints");
    if (!pFuncs || pFuncs->size < MIN_PLUGIN_FUNCS_SIZE)
    {
        return NPERR_INVALID_FUNCTABLE_ERROR;
    }
    pFuncs->version = (NP_VERSION_MAJOR << 8) | PLUGIN_FUNCS_VERSION;
    pFuncs->newp = NPP_New;
    pFuncs->destroy = NPP_Destroy;
    pFuncs->setwindow = NPP_SetWindow;
    pFuncs->newstream = NPP_NewStream;
    pFuncs->destroystream = NPP_DestroyStream;
    pFuncs->asfile = NPP_StreamAsFile;
    pFuncs->writeready = NPP_WriteReady;
    pFuncs->write = NPP_Write;
    pFuncs->print = NPP_Print;
    pFuncs->event = NPP_HandleEvent;
    pFuncs->urlnotify = NPP_URLNotify;
    pFuncs->javaClass = nullptr;
    pFuncs->getvalue = NPP_GetValue;
    pFuncs->setvalue = NPP_SetValue;
    return NPERR_NO_ERROR;
}

NPError Initialize(NPNetscapeFuncs* pFuncs)
{
    TraceHelper trace(u"Initialize");
    if (!pFuncs)
    {
        return NPERR_INVALID_FUNCTABLE_ERROR;
    }
    if ((pFuncs->version >> 8) > NP_VERSION_MAJOR)
    {
        return NPERR_INCOMPATIBLE_VERSION_ERROR;
    }
    if (pFuncs->size < MIN_NETSCAPE_FUNCS_SIZE)
    {
        return NPERR_INVALID_FUNCTABLE_ERROR;
    }

    NPNetscapeFuncs copy = {};
    copy.size = pFuncs->size;
    copy.version = pFuncs->version;
    copy.geturl = pFuncs->geturl;
    copy.posturl = pFuncs->posturl;
    copy.requestread = pFuncs->requestread;
    copy.newstream = pFuncs->newstream;
    copy.write = pFuncs->write;
    copy.destroystream = pFuncs->destroystream;
    copy.status = pFuncs->status;
    copy.uagent = pFuncs->uagent;
    copy.memalloc = pFuncs->memalloc;
    copy.memfree = pFuncs->memfree;
    copy.memflush = pFuncs->memflush;
    copy.reloadplugins = pFuncs->reloadplugins;
    copy.getJavaEnv = nullptr;
    copy.getJavaPeer = nullptr;
    copy.geturlnotify = pFuncs->geturlnotify;
    copy.posturlnotify = pFuncs->posturlnotify;
    copy.getvalue = pFuncs->getvalue;
    copy.setvalue = pFuncs->setvalue;
    copy.invalidaterect = pFuncs->invalidaterect;
    copy.invalidateregion = pFuncs->invalidateregion;
    copy.forceredraw = pFuncs->forceredraw;
    copy.getstringidentifier = pFuncs->getstringidentifier;
    copy.getstringidentifiers = pFuncs->getstringidentifiers;
    copy.getintidentifier = pFuncs->getintidentifier;
    copy.identifierisstring = pFuncs->identifierisstring;
    copy.utf8fromidentifier = pFuncs->utf8fromidentifier;
    copy.intfromidentifier = pFuncs->intfromidentifier;
    copy.createobject = pFuncs->createobject;
    copy.retainobject = pFuncs->retainobject;
    copy.releaseobject = pFuncs->releaseobject;
    copy.invoke = pFuncs->invoke;
    copy.invokeDefault = pFuncs->invokeDefault;
    copy.evaluate = pFuncs->evaluate;
    copy.getproperty = pFuncs->getproperty;
    copy.setproperty = pFuncs->setproperty;
    copy.removeproperty = pFuncs->removeproperty;
    copy.hasproperty = pFuncs->hasproperty;
    copy.hasmethod = pFuncs->hasmethod;
    copy.releasevariantvalue = pFuncs->releasevariantvalue;
    copy.setexception = pFuncs->setexception;
    g_NPNFuncs = copy;
    return NPERR_NO_ERROR;
}

NPError Shutdown()
{
    TraceHelper trace(u"Shutdown");
    return NPERR_NO_ERROR;
}

const char* GetMIMEDescription()
{
    TraceHelper trace(u"GetMIMEDescription");
    return NPP_GetMIMEDescription();
}

NP_EXPORT(NPError) NP_GetEntryPoints(NPPluginFuncs* pFuncs)
{
    TraceHelper trace(u"NP_GetEntryPoints");
    QM_TRACE_INFO(u"NP_GetEntryPoints");
    g_pPluginClass = &g_ScriptablePluginClass;
    return GetEntryPoints(pFuncs);
}

NP_EXPORT(NPError) NP_Initialize(NPNetscapeFuncs* pFuncs)
{
    StartTracing();
    TraceHelper trace(u"NP_Initialize");
    QM_TRACE_INFO(u"NP_Initialize");
    return Initialize(pFuncs);
}

NP_EXPORT(NPError) NP_Shutdown(void)
{
    {
        TraceHelper trace(u"NP_Shutdown");
        QM_TRACE_INFO(u"NP_Shutdown");
    }
    StopTracing();
    Shutdown();
    return NPERR_NO_ERROR;
}

NP_EXPORT(const char*) NP_GetMIMEDescription(void)
{
    TraceHelper trace(u"NP_GetMIMEDescription");
    QM_TRACE_INFO(u"NP_GetMIMEDescription");
    return GetMIMEDescription();
}
