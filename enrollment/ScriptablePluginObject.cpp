#include "ScriptablePluginObject.h"

#include "ScriptCommonMethods.h"
#include "Trace.h"

#define SOURCE_UNIT u"ScriptablePluginObject"

// Matched in this order; names are case-sensitive.
const SCRIPT_METHOD<CScriptablePluginObject> CScriptablePluginObject::s_rgMethods[] = {
    {"Brevan_GetCSPInfo", &CScriptablePluginObject::npBrevan_GetCSPInfo},
    {"Brevan_GetAllCertInfo", &CScriptablePluginObject::npBrevan_GetAllCertInfo},
    {"Brevan_SetCSPInfo", &CScriptablePluginObject::npBrevan_SetCSPInfo},
    {"Brevan_SetKeyAlgorithm", &CScriptablePluginObject::npBrevan_SetKeyAlgorithm},
    {"Brevan_GetContainer", &CScriptablePluginObject::npBrevan_GetContainer},
    {"Brevan_ImportSignCert", &CScriptablePluginObject::npBrevan_ImportSignCert},
    {"Brevan_PKCS10CertRequisition", &CScriptablePluginObject::npBrevan_PKCS10CertRequisition},
    {"Brevan_ImportEncryptCert", &CScriptablePluginObject::npBrevan_ImportEncryptCert},
    {"Brevan_GetVersion", &CScriptablePluginObject::npBrevan_GetVersion},
    {"GetLastErrorDesc", &CScriptablePluginObject::npGetLastErrorDesc},
};

NPObject* AllocateCScriptableObject(NPP npp, NPClass* aClass)
{
    return NewScriptObject<CScriptablePluginObject>(npp);
}

// Before any method has run, the last result reads as success.
CScriptablePluginObject::CScriptablePluginObject(NPP npp) : m_pNPInstance(npp), m_hrLastResult(S_OK)
{
    TraceHelper trace(u"CScriptablePluginObject::CScriptablePluginObject");
}

CScriptablePluginObject::~CScriptablePluginObject()
{
    TraceHelper trace(u"CScriptablePluginObject::~CScriptablePluginObject");
}

bool CScriptablePluginObject::HasMethod(NPIdentifier name)
{
    TraceHelper trace(u"CScriptablePluginObject::HasMethod");
    if (IsScriptMethod(name))
    {
        return true;
    }
    QM_TRACE_ERROR(u"CScriptablePluginObject::HasMethod", u"unknown method");
    return false;
}

bool CScriptablePluginObject::npBrevan_GetVersion(const NPVariant* args, uint32_t argCount, NPVariant* result)
{
    return ScriptGetVersion(SCRIPT_TRACE_SITE_HERE(u"CScriptablePluginObject::npBrevan_GetVersion"),
                            ENROLLMENT_PLUGIN_VERSION, args, argCount, result);
}

bool CScriptablePluginObject::npGetLastErrorDesc(const NPVariant* args, uint32_t argCount, NPVariant* result)
{
    static const SCRIPT_ARGUMENT_CHECK s_check = {u"Check parameter", u"argCount != 0", E_FAIL};
    return ScriptGetLastErrorDesc(SCRIPT_TRACE_SITE_HERE(u"CScriptablePluginObject::npGetLastErrorDesc"), s_check,
                                  m_hrLastResult, args, argCount, result);
}
