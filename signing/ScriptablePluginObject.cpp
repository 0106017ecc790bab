#include "ScriptablePluginObject.h"

#include "CryptoLibrary.h"

#include "ScriptCommonMethods.h"
#include "Trace.h"

#define SOURCE_UNIT u"ScriptablePluginObject"

// Matched in this order; names are case-sensitive.
const SCRIPT_METHOD<CScriptablePluginObject> CScriptablePluginObject::s_rgMethods[] = {
    {"SelectCertificate", &CScriptablePluginObject::npSelectCertificate},
    {"GetSignCertInfo", &CScriptablePluginObject::npGetSignCertInfo},
    {"SignMsgPKCS7", &CScriptablePluginObject::npSignMsgPKCS7},
    {"SignHashMsgPKCS7Detached", &CScriptablePluginObject::npSignHashMsgPKCS7Detached},
    {"GetVersion", &CScriptablePluginObject::npGetVersion},
    {"GetLastErrorDesc", &CScriptablePluginObject::npGetLastErrorDesc},
};

NPObject* AllocateCScriptableObject(NPP npp, NPClass* aClass)
{
    return NewScriptObject<CScriptablePluginObject>(npp);
}

CScriptablePluginObject::CScriptablePluginObject(NPP npp) : m_pNPInstance(npp), m_hrLastResult(S_OK)
{
    TraceHelper trace(u"CScriptablePluginObject::CScriptablePluginObject");
    RegisterCryptoLibraryAlgorithms();
}

CScriptablePluginObject::~CScriptablePluginObject()
{
    TraceHelper trace(u"CScriptablePluginObject::~CScriptablePluginObject");
    m_objCryptoAgent.ReleaseSignCertificate();
    ReleaseCryptoLibraryTables();
}

bool CScriptablePluginObject::HasMethod(NPIdentifier name)
{
    TraceHelper trace(u"CScriptablePluginObject::HasMethod");
    return IsScriptMethod(name);
}

bool CScriptablePluginObject::npGetVersion(const NPVariant* args, uint32_t argCount, NPVariant* result)
{
    return ScriptGetVersion(SCRIPT_TRACE_SITE_HERE(u"CScriptablePluginObject::npGetVersion"), SIGNING_PLUGIN_VERSION,
                            args, argCount, result);
}

bool CScriptablePluginObject::npGetLastErrorDesc(const NPVariant* args, uint32_t argCount, NPVariant* result)
{
    static const SCRIPT_ARGUMENT_CHECK s_check = {u"Check parameters.", u"0 != argCount", E_INVALIDARG};
    return ScriptGetLastErrorDesc(SCRIPT_TRACE_SITE_HERE(u"CScriptablePluginObject::npGetLastErrorDesc"), s_check,
                                  m_hrLastResult, args, argCount, result);
}
