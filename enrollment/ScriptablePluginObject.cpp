#include "ScriptablePluginObject.h"

#include <new>

#include "ErrorText.h"
#include "NpnGates.h"
#include "ScriptSkeleton.h"
#include "TextEncoding.h"
#include "Trace.h"

#define SOURCE_UNIT u"ScriptablePluginObject"

namespace
{
typedef bool (CScriptablePluginObject::*PFN_SCRIPT_HANDLER)(const NPVariant*, uint32_t, NPVariant*);

struct SCRIPT_METHOD
{
    const NPUTF8* pszName;
    PFN_SCRIPT_HANDLER pfnHandler;
};
} // namespace

// Matched in this order; names are case-sensitive.
#define ENROLLMENT_SCRIPT_METHODS                                                                              \
    {                                                                                                          \
        {"Brevan_GetCSPInfo", &CScriptablePluginObject::npBrevan_GetCSPInfo},                                  \
            {"Brevan_GetAllCertInfo", &CScriptablePluginObject::npBrevan_GetAllCertInfo},                      \
            {"Brevan_SetCSPInfo", &CScriptablePluginObject::npBrevan_SetCSPInfo},                              \
            {"Brevan_SetKeyAlgorithm", &CScriptablePluginObject::npBrevan_SetKeyAlgorithm},                    \
            {"Brevan_GetContainer", &CScriptablePluginObject::npBrevan_GetContainer},                          \
            {"Brevan_ImportSignCert", &CScriptablePluginObject::npBrevan_ImportSignCert},                      \
            {"Brevan_PKCS10CertRequisition", &CScriptablePluginObject::npBrevan_PKCS10CertRequisition},        \
            {"Brevan_ImportEncryptCert", &CScriptablePluginObject::npBrevan_ImportEncryptCert},                \
            {"Brevan_GetVersion", &CScriptablePluginObject::npBrevan_GetVersion},                              \
            {"GetLastErrorDesc", &CScriptablePluginObject::npGetLastErrorDesc},                                \
    }

NPObject* AllocateCScriptableObject(NPP npp, NPClass* aClass)
{
    TraceHelper trace(u"AllocateCScriptableObject");
    CScriptablePluginObject* pObject = new (std::nothrow) CScriptablePluginObject(npp);
    return pObject;
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
    static const SCRIPT_METHOD s_rgMethods[] = ENROLLMENT_SCRIPT_METHODS;
    for (const SCRIPT_METHOD& method : s_rgMethods)
    {
        if (name == NPN_GetStringIdentifier(method.pszName))
        {
            return true;
        }
    }
    QM_TRACE_ERROR(u"CScriptablePluginObject::HasMethod", u"unknown method");
    return false;
}

bool CScriptablePluginObject::Invoke(NPIdentifier name, const NPVariant* args, uint32_t argCount,
                                     NPVariant* result)
{
    TraceHelper trace(u"CScriptablePluginObject::Invoke");
    TraceIdentifierName(name);
    QM_TRACE_INFO(argCount);
    static const SCRIPT_METHOD s_rgMethods[] = ENROLLMENT_SCRIPT_METHODS;
    for (const SCRIPT_METHOD& method : s_rgMethods)
    {
        if (name == NPN_GetStringIdentifier(method.pszName))
        {
            return (this->*method.pfnHandler)(args, argCount, result);
        }
    }
    QM_TRACE_ERROR(u"CScriptablePluginObject::Invoke", u"unknown method");
    return false;
}

bool CScriptablePluginObject::InvokeDefault(const NPVariant* args, uint32_t argCount, NPVariant* result)
{
    return SkeletonInvokeDefault(args, argCount, result);
}

bool CScriptablePluginObject::HasProperty(NPIdentifier name)
{
    return SkeletonHasProperty(name);
}

bool CScriptablePluginObject::GetProperty(NPIdentifier name, NPVariant* result)
{
    return SkeletonGetProperty(name, result);
}

bool CScriptablePluginObject::SetProperty(NPIdentifier name, const NPVariant* value)
{
    return SkeletonSetProperty(name, value);
}

bool CScriptablePluginObject::npBrevan_GetVersion(const NPVariant* args, uint32_t argCount, NPVariant* result)
{
    static const WCHAR s_wszName[] = u"CScriptablePluginObject::npBrevan_GetVersion";
    TraceHelper trace(s_wszName);
    TraceParameterInfo(args, argCount);
    if (argCount != 0)
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"Check parameter", u"argCount != 0", E_FAIL);
        NULL_TO_NPVARIANT(*result);
        return false;
    }
    if (!ConvertStringToNPVariant(ENROLLMENT_PLUGIN_VERSION, result))
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"ConvertStringToNPVariant", u"bResult", E_FAIL);
        NULL_TO_NPVARIANT(*result);
        return false;
    }
    TraceStepSucceeded(s_wszName, u"ConvertStringToNPVariant");
    return true;
}

bool CScriptablePluginObject::npGetLastErrorDesc(const NPVariant* args, uint32_t argCount, NPVariant* result)
{
    static const WCHAR s_wszName[] = u"CScriptablePluginObject::npGetLastErrorDesc";
    TraceHelper trace(s_wszName);
    TraceParameterInfo(args, argCount);
    if (argCount != 0)
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"Check parameter", u"argCount != 0", E_FAIL);
        NULL_TO_NPVARIANT(*result);
        return false;
    }

    WCHAR wszDescription[ERROR_TEXT_CCH];
    FormatErrorText(m_hrLastResult, wszDescription);

    LPSTR pszDescription = nullptr;
    DWORD cbDescription = 0;
    HRESULT hResult = UTF16ToUTF8(wszDescription, &pszDescription, &cbDescription);
    if (FAILED(hResult))
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"UTF16ToUTF8 - bstrDescription.", u"FAILED(hResult)", hResult);
        delete[] pszDescription;
        NULL_TO_NPVARIANT(*result);
        return false;
    }
    TraceStepSucceeded(s_wszName, u"UTF16ToUTF8 - bstrDescription.");

    // A text that cannot reach browser memory is a failure, not an empty success.
    bool bResult = ConvertStringToNPVariant(pszDescription, result);
    delete[] pszDescription;
    if (!bResult)
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"ConvertStringToNPVariant", u"bResult", E_FAIL);
        NULL_TO_NPVARIANT(*result);
    }
    return bResult;
}
