#include "ScriptablePluginObject.h"

#include <new>

#include "CryptoLibrary.h"

#include "ErrorText.h"
#include "NpnGates.h"
#include "ScriptSkeleton.h"
#include "TextEncoding.h"
#include "Trace.h"

#define SOURCE_UNIT u"ScriptablePluginObject"

namespace
{
typedef bool (CScriptablePluginObject::*PFN_SCRIPT_HANDLER)(const NPVariant*, uint32_t, NPVariant*);
} // namespace

NPObject* AllocateCScriptableObject(NPP npp, NPClass* aClass)
{
    TraceHelper trace(u"AllocateCScriptableObject");
    CScriptablePluginObject* pObject = new (std::nothrow) CScriptablePluginObject(npp);
    return pObject;
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

namespace
{
struct SCRIPT_METHOD
{
    const NPUTF8* pszName;
    PFN_SCRIPT_HANDLER pfnHandler;
};
} // namespace

// Matched in this order; names are case-sensitive.
#define SIGNING_SCRIPT_METHODS                                                                                 \
    {                                                                                                          \
        {"SelectCertificate", &CScriptablePluginObject::npSelectCertificate},                                  \
            {"GetSignCertInfo", &CScriptablePluginObject::npGetSignCertInfo},                                  \
            {"SignMsgPKCS7", &CScriptablePluginObject::npSignMsgPKCS7},                                        \
            {"SignHashMsgPKCS7Detached", &CScriptablePluginObject::npSignHashMsgPKCS7Detached},                \
            {"GetVersion", &CScriptablePluginObject::npGetVersion},                                            \
            {"GetLastErrorDesc", &CScriptablePluginObject::npGetLastErrorDesc},                                \
    }

bool CScriptablePluginObject::HasMethod(NPIdentifier name)
{
    TraceHelper trace(u"CScriptablePluginObject::HasMethod");
    static const SCRIPT_METHOD s_rgMethods[] = SIGNING_SCRIPT_METHODS;
    for (const SCRIPT_METHOD& method : s_rgMethods)
    {
        if (name == NPN_GetStringIdentifier(method.pszName))
        {
            return true;
        }
    }
    return false;
}

bool CScriptablePluginObject::Invoke(NPIdentifier name, const NPVariant* args, uint32_t argCount,
                                     NPVariant* result)
{
    TraceHelper trace(u"CScriptablePluginObject::Invoke");
    TraceIdentifierName(name);
    QM_TRACE_INFO(argCount);
    static const SCRIPT_METHOD s_rgMethods[] = SIGNING_SCRIPT_METHODS;
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

bool CScriptablePluginObject::npGetVersion(const NPVariant* args, uint32_t argCount, NPVariant* result)
{
    static const WCHAR s_wszName[] = u"CScriptablePluginObject::npGetVersion";
    TraceHelper trace(s_wszName);
    TraceParameterInfo(args, argCount);
    if (argCount != 0)
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"Check parameter", u"argCount != 0", E_FAIL);
        NULL_TO_NPVARIANT(*result);
        return false;
    }
    if (!ConvertStringToNPVariant(SIGNING_PLUGIN_VERSION, result))
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
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"Check parameters.", u"0 != argCount", E_INVALIDARG);
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

    bool bResult = ConvertStringToNPVariant(pszDescription, result);
    delete[] pszDescription;
    if (!bResult)
    {
        NULL_TO_NPVARIANT(*result);
    }
    return bResult;
}
