// The eight script methods that reach the enrollment agent.
#include <cmath>

#include <oleauto.h>

#include "ScriptSkeleton.h"
#include "ScriptablePluginObject.h"
#include "TextEncoding.h"
#include "Trace.h"

#define SOURCE_UNIT u"ScriptablePluginObject"

namespace
{
bool IsNumber(const NPVariant& arg)
{
    return arg.type == NPVariantType_Int32 || arg.type == NPVariantType_Double;
}

// Strings of one call as BSTRs, freed when the handler ends.
class CArgumentStrings
{
public:
    ~CArgumentStrings()
    {
        for (BSTR bstr : m_rgbstr)
        {
            SysFreeString(bstr);
        }
    }
    BSTR operator[](size_t i) const { return m_rgbstr[i]; }

    HRESULT Add(LPCWSTR lpwszHandler, const NPVariant& arg, LPCWSTR lpwszCopyStep)
    {
        char* pszText = nullptr;
        const NPString& str = NPVARIANT_TO_STRING(arg);
        HRESULT hResult = ConverNPStringtoNULLEndString(&pszText, str.UTF8Characters, str.UTF8Length);
        if (FAILED(hResult))
        {
            TRACE_STEP_FAILED(SOURCE_UNIT, lpwszHandler, lpwszCopyStep, u"FAILED(hResult)", hResult);
            return hResult;
        }
        TraceStepSucceeded(lpwszHandler, lpwszCopyStep);
        LPWSTR lpwszText = nullptr;
        DWORD cchText = 0;
        hResult = UTF8ToUTF16(pszText, &lpwszText, &cchText);
        delete[] pszText;
        if (FAILED(hResult))
        {
            delete[] lpwszText;
            TRACE_STEP_FAILED(SOURCE_UNIT, lpwszHandler, u"UTF8ToUTF16", u"FAILED(hResult)", hResult);
            return hResult;
        }
        BSTR bstrText = SysAllocStringLen(lpwszText, cchText);
        delete[] lpwszText;
        if (!bstrText)
        {
            TRACE_STEP_FAILED(SOURCE_UNIT, lpwszHandler, u"UTF8ToUTF16", u"!bstrText", E_OUTOFMEMORY);
            return E_OUTOFMEMORY;
        }
        TraceStepSucceeded(lpwszHandler, u"UTF8ToUTF16");
        m_rgbstr[m_cCount++] = bstrText;
        return S_OK;
    }

private:
    BSTR m_rgbstr[4] = {};
    size_t m_cCount = 0;
};

// The agent's wide result into the result variant (UTF-8 in browser memory).
HRESULT PlaceWideResult(LPCWSTR lpwszHandler, LPCWSTR lpwszStep, BSTR bstrResult, NPVariant* result,
                        bool* pbPlaced)
{
    *pbPlaced = false;
    LPSTR pszResult = nullptr;
    DWORD cbResult = 0;
    HRESULT hResult = UTF16ToUTF8(bstrResult, &pszResult, &cbResult);
    if (FAILED(hResult))
    {
        delete[] pszResult;
        TRACE_STEP_FAILED(SOURCE_UNIT, lpwszHandler, lpwszStep, u"FAILED(hResult)", hResult);
        return hResult;
    }
    TraceStepSucceeded(lpwszHandler, lpwszStep);
    *pbPlaced = ConvertStringToNPVariant(pszResult, result);
    delete[] pszResult;
    return hResult;
}
} // namespace

LONG NPVariantToLong(const NPVariant& arg)
{
    if (arg.type == NPVariantType_Int32)
    {
        return NPVARIANT_TO_INT32(arg);
    }
    if (arg.type == NPVariantType_Double)
    {
        // Truncated toward zero; values beyond a LONG end at its limits, not in undefined behaviour.
        double d = std::trunc(NPVARIANT_TO_DOUBLE(arg));
        if (std::isnan(d))
        {
            return 0;
        }
        if (d >= 2147483647.0)
        {
            return 2147483647;
        }
        if (d <= -2147483648.0)
        {
            return (LONG)-2147483647 - 1;
        }
        return (LONG)d;
    }
    return -1;
}

bool CScriptablePluginObject::FinishStringMethod(HRESULT hResult, bool bPlaced, NPVariant* result)
{
    m_hrLastResult = hResult;
    bool bSucceeded = SUCCEEDED(hResult) && bPlaced;
    if (!bSucceeded)
    {
        NULL_TO_NPVARIANT(*result);
    }
    return bSucceeded;
}

bool CScriptablePluginObject::FinishBooleanMethod(LPCWSTR lpwszHandler, HRESULT hResult, VARIANT_BOOL vbResult,
                                                  LPCWSTR lpwszAgentStep, LPCWSTR lpwszFalseReason,
                                                  NPVariant* result)
{
    if (FAILED(hResult))
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, lpwszHandler, lpwszAgentStep, u"FAILED(hResult)", hResult);
    }
    else if (vbResult == VARIANT_FALSE)
    {
        hResult = E_FAIL;
        TRACE_STEP_FAILED(SOURCE_UNIT, lpwszHandler, lpwszAgentStep, lpwszFalseReason, hResult);
    }
    else
    {
        TraceStepSucceeded(lpwszHandler, lpwszAgentStep);
    }
    m_hrLastResult = hResult;
    bool bSucceeded = SUCCEEDED(hResult) && vbResult != VARIANT_FALSE;
    BOOLEAN_TO_NPVARIANT(bSucceeded, *result);
    return bSucceeded;
}

bool CScriptablePluginObject::FailArguments(LPCWSTR lpwszHandler, HRESULT hResult, LPCWSTR lpwszStep,
                                            LPCWSTR lpwszReason, bool bBooleanResult, NPVariant* result)
{
    TRACE_STEP_FAILED(SOURCE_UNIT, lpwszHandler, lpwszStep, lpwszReason, hResult);
    m_hrLastResult = hResult;
    if (bBooleanResult)
    {
        BOOLEAN_TO_NPVARIANT(false, *result);
    }
    else
    {
        NULL_TO_NPVARIANT(*result);
    }
    return false;
}

bool CScriptablePluginObject::npBrevan_GetCSPInfo(const NPVariant* args, uint32_t argCount, NPVariant* result)
{
    static const WCHAR s_wszName[] = u"CScriptablePluginObject::npBrevan_GetCSPInfo";
    TraceHelper trace(s_wszName);
    TraceParameterInfo(args, argCount);
    if (0 != argCount)
    {
        return FailArguments(s_wszName, E_INVALIDARG, u"Check parameters.", u"0 != argCount", false, result);
    }
    BSTR bstrCSPInfo = nullptr;
    bool bPlaced = false;
    HRESULT hResult = m_objCryptoAgent.Brevan_GetCSPInfo(&bstrCSPInfo);
    if (FAILED(hResult))
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"m_objCryptoAgent.GetCSPInfo", u"FAILED(hResult)", hResult);
    }
    else
    {
        hResult = PlaceWideResult(s_wszName, u"UTF16ToUTF8 - CSPInfo", bstrCSPInfo, result, &bPlaced);
    }
    SysFreeString(bstrCSPInfo);
    return FinishStringMethod(hResult, bPlaced, result);
}

bool CScriptablePluginObject::npBrevan_GetAllCertInfo(const NPVariant* args, uint32_t argCount, NPVariant* result)
{
    static const WCHAR s_wszName[] = u"CScriptablePluginObject::npBrevan_GetAllCertInfo";
    TraceHelper trace(s_wszName);
    TraceParameterInfo(args, argCount);
    if (argCount != 1 || args[0].type != NPVariantType_String)
    {
        return FailArguments(s_wszName, E_INVALIDARG, u"Invalid parameters",
                             u"(argCount != 1 || args[0].type != NPVariantType_String)", false, result);
    }
    CArgumentStrings strings;
    HRESULT hResult = strings.Add(s_wszName, args[0], u"ConverNPStringtoNULLEndString(lpUTF8CSPNameList)");
    if (FAILED(hResult))
    {
        return FinishStringMethod(hResult, false, result);
    }
    BSTR bstrCertInfo = nullptr;
    bool bPlaced = false;
    hResult = m_objCryptoAgent.Brevan_GetAllCertInfo(strings[0], &bstrCertInfo);
    if (FAILED(hResult))
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"m_objCryptoAgent.GetAllCertInfo", u"FAILED(hResult)", hResult);
    }
    else
    {
        hResult = PlaceWideResult(s_wszName, u"UTF16ToUTF8 - AllCertInfo", bstrCertInfo, result, &bPlaced);
    }
    SysFreeString(bstrCertInfo);
    return FinishStringMethod(hResult, bPlaced, result);
}

bool CScriptablePluginObject::npBrevan_SetCSPInfo(const NPVariant* args, uint32_t argCount, NPVariant* result)
{
    static const WCHAR s_wszName[] = u"CScriptablePluginObject::npBrevan_SetCSPInfo";
    TraceHelper trace(s_wszName);
    TraceParameterInfo(args, argCount);
    if (argCount != 2 || !IsNumber(args[0]) || args[1].type != NPVariantType_String)
    {
        return FailArguments(s_wszName, E_INVALIDARG, u"Invalid parameters",
                             u"(argCount != 2 || (args[0].type != NPVariantType_Int32 && args[0].type != "
                             u"NPVariantType_Double) || args[1].type != NPVariantType_String)",
                             true, result);
    }
    LONG lKeyLength = NPVariantToLong(args[0]);
    CArgumentStrings strings;
    HRESULT hResult = strings.Add(s_wszName, args[1], u"ConverNPStringtoNULLEndString");
    VARIANT_BOOL vbResult = VARIANT_FALSE;
    if (SUCCEEDED(hResult))
    {
        hResult = m_objCryptoAgent.Brevan_SetCSPInfo(lKeyLength, strings[0], &vbResult);
    }
    return FinishBooleanMethod(s_wszName, hResult, vbResult, u"Brevan_SetCSPInfo", u"VARIANT_FALSE == varResult",
                               result);
}

bool CScriptablePluginObject::npBrevan_SetKeyAlgorithm(const NPVariant* args, uint32_t argCount, NPVariant* result)
{
    static const WCHAR s_wszName[] = u"CScriptablePluginObject::npBrevan_SetKeyAlgorithm";
    TraceHelper trace(s_wszName);
    TraceParameterInfo(args, argCount);
    if (argCount != 1 || args[0].type != NPVariantType_String)
    {
        return FailArguments(s_wszName, E_INVALIDARG, u"Invalid parameters",
                             u"(argCount != 1 || args[0].type != NPVariantType_String)", true, result);
    }
    CArgumentStrings strings;
    HRESULT hResult = strings.Add(s_wszName, args[0], u"ConverNPStringtoNULLEndString");
    VARIANT_BOOL vbResult = VARIANT_FALSE;
    if (SUCCEEDED(hResult))
    {
        hResult = m_objCryptoAgent.Brevan_SetKeyAlgorithm(strings[0], &vbResult);
    }
    return FinishBooleanMethod(s_wszName, hResult, vbResult, u"Brevan_SetKeyAlgorithm",
                               u"VARIANT_FALSE == varResult", result);
}

bool CScriptablePluginObject::npBrevan_GetContainer(const NPVariant* args, uint32_t argCount, NPVariant* result)
{
    static const WCHAR s_wszName[] = u"CScriptablePluginObject::npBrevan_GetContainer";
    TraceHelper trace(s_wszName);
    TraceParameterInfo(args, argCount);
    if (argCount != 0)
    {
        return FailArguments(s_wszName, E_FAIL, u"Check parameter", u"argCount != 0", false, result);
    }
    BSTR bstrContainer = nullptr;
    bool bPlaced = false;
    HRESULT hResult = m_objCryptoAgent.Brevan_GetContainer(&bstrContainer);
    if (FAILED(hResult))
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"Brevan_GetContainer", u"FAILED(hResult)", hResult);
    }
    else
    {
        hResult = PlaceWideResult(s_wszName, u"UTF16ToUTF8", bstrContainer, result, &bPlaced);
        if (SUCCEEDED(hResult) && !bPlaced)
        {
            hResult = E_FAIL;
            TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"ConvertStringToNPVariant", u"bResult", hResult);
        }
    }
    SysFreeString(bstrContainer);
    return FinishStringMethod(hResult, bPlaced, result);
}

bool CScriptablePluginObject::npBrevan_ImportSignCert(const NPVariant* args, uint32_t argCount, NPVariant* result)
{
    static const WCHAR s_wszName[] = u"CScriptablePluginObject::npBrevan_ImportSignCert";
    TraceHelper trace(s_wszName);
    TraceParameterInfo(args, argCount);
    if (argCount != 3 || !IsNumber(args[0]) || args[1].type != NPVariantType_String ||
        args[2].type != NPVariantType_String)
    {
        return FailArguments(s_wszName, E_INVALIDARG, u"Invalid parameters",
                             u"(argCount != 3 || (args[0].type != NPVariantType_Int32 && args[0].type != "
                             u"NPVariantType_Double) || args[1].type != NPVariantType_String || args[2].type != "
                             u"NPVariantType_String)",
                             true, result);
    }
    LONG lCertType = NPVariantToLong(args[0]);
    CArgumentStrings strings;
    HRESULT hResult = strings.Add(s_wszName, args[1], u"ConverNPStringtoNULLEndString");
    if (SUCCEEDED(hResult))
    {
        hResult = strings.Add(s_wszName, args[2], u"ConverNPStringtoNULLEndString");
    }
    VARIANT_BOOL vbResult = VARIANT_FALSE;
    if (SUCCEEDED(hResult))
    {
        hResult = m_objCryptoAgent.Brevan_ImportSignCert(lCertType, strings[0], strings[1], &vbResult);
    }
    return FinishBooleanMethod(s_wszName, hResult, vbResult, u"Brevan_ImportSignCert", u"VARIANT_FALSE == varResult",
                               result);
}

bool CScriptablePluginObject::npBrevan_PKCS10CertRequisition(const NPVariant* args, uint32_t argCount,
                                                             NPVariant* result)
{
    static const WCHAR s_wszName[] = u"CScriptablePluginObject::npBrevan_PKCS10CertRequisition";
    TraceHelper trace(s_wszName);
    TraceParameterInfo(args, argCount);
    if (argCount != 3 || args[0].type != NPVariantType_String || !IsNumber(args[1]) || !IsNumber(args[2]))
    {
        return FailArguments(s_wszName, E_INVALIDARG, u"Invalid parameters",
                             u"(argCount != 3 || args[0].type != NPVariantType_String || (args[1].type != "
                             u"NPVariantType_Int32 && args[1].type != NPVariantType_Double) || (args[2].type != "
                             u"NPVariantType_Int32 && args[2].type != NPVariantType_Double))",
                             false, result);
    }
    CArgumentStrings strings;
    HRESULT hResult = strings.Add(s_wszName, args[0], u"ConverNPStringtoNULLEndString");
    if (FAILED(hResult))
    {
        return FinishStringMethod(hResult, false, result);
    }
    LONG lCertType = NPVariantToLong(args[1]);
    LONG lGenFlags = NPVariantToLong(args[2]);
    BSTR bstrRequest = nullptr;
    bool bPlaced = false;
    hResult = m_objCryptoAgent.Brevan_PKCS10CertRequisition(strings[0], lCertType, lGenFlags, &bstrRequest);
    if (FAILED(hResult))
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"Brevan_PKCS10CertRequisition", u"FAILED(hResult)", hResult);
    }
    else
    {
        hResult = PlaceWideResult(s_wszName, u"UTF16ToUTF8 - PKCS10CertRequisition", bstrRequest, result, &bPlaced);
    }
    SysFreeString(bstrRequest);
    return FinishStringMethod(hResult, bPlaced, result);
}

bool CScriptablePluginObject::npBrevan_ImportEncryptCert(const NPVariant* args, uint32_t argCount, NPVariant* result)
{
    static const WCHAR s_wszName[] = u"CScriptablePluginObject::npBrevan_ImportEncryptCert";
    TraceHelper trace(s_wszName);
    TraceParameterInfo(args, argCount);
    if (argCount != 4 || args[0].type != NPVariantType_String || args[1].type != NPVariantType_String ||
        args[2].type != NPVariantType_String || !IsNumber(args[3]))
    {
        return FailArguments(s_wszName, E_INVALIDARG, u"Invalid parameters",
                             u"(argCount != 4 || args[0].type != NPVariantType_String || args[1].type != "
                             u"NPVariantType_String || args[2].type != NPVariantType_String || (args[3].type != "
                             u"NPVariantType_Int32 && args[3].type != NPVariantType_Double))",
                             true, result);
    }
    CArgumentStrings strings;
    HRESULT hResult = S_OK;
    for (uint32_t i = 0; i < 3 && SUCCEEDED(hResult); ++i)
    {
        hResult = strings.Add(s_wszName, args[i], u"ConverNPStringtoNULLEndString");
    }
    LONG lImportFlags = NPVariantToLong(args[3]);
    VARIANT_BOOL vbSuccess = VARIANT_FALSE;
    if (SUCCEEDED(hResult))
    {
        hResult =
            m_objCryptoAgent.Brevan_ImportEncryptCert(strings[0], strings[1], strings[2], lImportFlags, &vbSuccess);
    }
    return FinishBooleanMethod(s_wszName, hResult, vbSuccess, u"Brevan_ImportEncryptCert",
                               u"VARIANT_FALSE == vbSuccess", result);
}
