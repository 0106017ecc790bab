// The four script methods that reach the signing agent.
#include "ScriptablePluginObject.h"

#include <oleauto.h>

#include <cstring>

#include "HResult.h"
#include "NpnGates.h"
#include "ScriptSkeleton.h"
#include "TextEncoding.h"
#include "Trace.h"

#define SOURCE_UNIT u"ScriptablePluginObject"

namespace
{
// Strings of one call, freed when the handler ends. The agent reads them as zero-terminated
// wide texts, so the converter's buffers go to it as they are: a large text is not copied.
class CArgumentStrings
{
public:
    ~CArgumentStrings() { Free(); }

    // The arguments are not needed once the agent has answered; a large text goes early.
    void Free()
    {
        for (LPWSTR& lpwsz : m_rglpwsz)
        {
            delete[] lpwsz;
            lpwsz = nullptr;
        }
    }
    BSTR operator[](size_t i) const { return m_rglpwsz[i]; }

    // Converts the NPString to UTF-16 and keeps it as the next argument. The text is read in
    // place, up to its first zero byte as a zero-terminated copy would end it: a large text is
    // not copied before its conversion.
    HRESULT Add(LPCWSTR lpwszHandler, const NPVariant& arg, LPCWSTR lpwszCopyStep, LPCWSTR lpwszConvertStep)
    {
        const NPString& str = NPVARIANT_TO_STRING(arg);
        if (!str.UTF8Characters && str.UTF8Length)
        {
            TRACE_STEP_FAILED(SOURCE_UNIT, lpwszHandler, lpwszCopyStep, u"FAILED(hResult)", E_POINTER);
            return E_POINTER;
        }
        TraceStepSucceeded(lpwszHandler, lpwszCopyStep);
        LPWSTR lpwszText = nullptr;
        DWORD cchText = 0;
        HRESULT hResult = UTF8ToUTF16N(str.UTF8Characters, str.UTF8Length, &lpwszText, &cchText);
        if (FAILED(hResult))
        {
            delete[] lpwszText;
            TRACE_STEP_FAILED(SOURCE_UNIT, lpwszHandler, lpwszConvertStep, u"FAILED(hResult)", hResult);
            return hResult;
        }
        TraceStepSucceeded(lpwszHandler, lpwszConvertStep);
        QM_TRACE_INFO(lpwszHandler, (LPCWSTR)lpwszText);
        m_rgcch[m_cCount] = cchText;
        m_rglpwsz[m_cCount++] = lpwszText;
        return S_OK;
    }

    // An argument that its user may free early (and set to null), and its length.
    LPWSTR* Slot(size_t i) { return &m_rglpwsz[i]; }
    DWORD Length(size_t i) const { return m_rgcch[i]; }

private:
    LPWSTR m_rglpwsz[4] = {};
    DWORD m_rgcch[4] = {};
    size_t m_cCount = 0;
};

// Places the agent's wide result into the result variant; false leaves it Null. The UTF-8 text
// is written straight into the browser's memory: first into a buffer of one byte per character,
// which an ASCII text (a Base64 signature) fills exactly, else measured and written again.
HRESULT PlaceWideResult(LPCWSTR lpwszHandler, LPCWSTR lpwszStep, BSTR bstrResult, NPVariant* result)
{
    LPCWSTR lpwszResult = bstrResult ? bstrResult : u"";
    size_t cchResult = bstrResult ? SysStringLen(bstrResult) : 0;
    char* pszResult = nullptr;
    int cbResult = 0;
    HRESULT hResult = S_OK;
    {
        TraceHelper trace(u"UTF16ToUTF8");
        if (cchResult >= 0x7FFFFFFF)
        {
            hResult = E_OUTOFMEMORY;
        }
        else if (cchResult)
        {
            pszResult = static_cast<char*>(NPN_MemAlloc((uint32_t)cchResult + 1));
            cbResult = pszResult ? WideCharToMultiByte(CP_UTF8, 0, lpwszResult, (int)cchResult, pszResult,
                                                       (int)cchResult, nullptr, nullptr)
                                 : 0;
            if (pszResult && cbResult <= 0)
            {
                NPN_MemFree(pszResult);
                pszResult = nullptr;
                cbResult = WideCharToMultiByte(CP_UTF8, 0, lpwszResult, (int)cchResult, nullptr, 0, nullptr, nullptr);
                hResult = cbResult > 0 ? S_OK : HResultOfFailedCall();
                if (SUCCEEDED(hResult))
                {
                    pszResult = static_cast<char*>(NPN_MemAlloc((uint32_t)cbResult + 1));
                    if (pszResult)
                    {
                        WideCharToMultiByte(CP_UTF8, 0, lpwszResult, (int)cchResult, pszResult, cbResult, nullptr,
                                            nullptr);
                    }
                }
            }
        }
        TraceResult(hResult, u"WideCharToMultiByte - get value");
    }
    if (FAILED(hResult))
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, lpwszHandler, lpwszStep, u"FAILED(hResult)", hResult);
        return hResult;
    }
    TraceStepSucceeded(lpwszHandler, lpwszStep);
    {
        // An empty text gets its block here; a longer one that got none fails below.
        TraceHelper trace(u"ConvertStringToNPVariant");
        if (!cchResult)
        {
            pszResult = static_cast<char*>(NPN_MemAlloc(1));
        }
    }
    if (!pszResult)
    {
        // The page must not read a lost result as success.
        TRACE_STEP_FAILED(SOURCE_UNIT, lpwszHandler, u"ConvertStringToNPVariant", u"!bResult", E_OUTOFMEMORY);
        return E_OUTOFMEMORY;
    }
    // The text ends at its first zero character, which is a zero byte in UTF-8 too.
    if (const void* pvZero = cbResult ? memchr(pszResult, 0, (size_t)cbResult) : nullptr)
    {
        cbResult = (int)(static_cast<const char*>(pvZero) - pszResult);
    }
    pszResult[cbResult] = 0;
    STRINGN_TO_NPVARIANT(pszResult, (uint32_t)cbResult, *result);
    return S_OK;
}
} // namespace

bool CScriptablePluginObject::npSelectCertificate(const NPVariant* args, uint32_t argCount, NPVariant* result)
{
    static const WCHAR s_wszName[] = u"CScriptablePluginObject::npSelectCertificate";
    TraceHelper trace(s_wszName);
    TraceParameterInfo(args, argCount);
    VARIANT_BOOL bChosen = VARIANT_FALSE;
    HRESULT hResult = S_OK;
    CArgumentStrings strings;
    if (4 != argCount || !NPVARIANT_IS_STRING(args[0]) || !NPVARIANT_IS_STRING(args[1]) ||
        !NPVARIANT_IS_STRING(args[2]) || !NPVARIANT_IS_STRING(args[3]))
    {
        hResult = E_INVALIDARG;
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"Check parameter",
                          u"4 != argCount || !NPVARIANT_IS_STRING(args[0]) || !NPVARIANT_IS_STRING(args[1]) || "
                          u"!NPVARIANT_IS_STRING(args[2]) || !NPVARIANT_IS_STRING(args[3])",
                          hResult);
    }
    else if (FAILED(hResult = strings.Add(s_wszName, args[0], u"ConverNPStringtoNULLEndString - SubjectDNFilter",
                                          u"UTF8ToUTF16 - SubjectDNFilter")) ||
             FAILED(hResult = strings.Add(s_wszName, args[1], u"ConverNPStringtoNULLEndString - IssuerDNFilter",
                                          u"UTF8ToUTF16 - IssuerDNFilter")) ||
             FAILED(hResult = strings.Add(s_wszName, args[2], u"ConverNPStringtoNULLEndString - SNFilter",
                                          u"UTF8ToUTF16 - SNFilter")) ||
             FAILED(hResult = strings.Add(s_wszName, args[3], u"ConverNPStringtoNULLEndString - pchUTF8CSPNameList",
                                          u"UTF8ToUTF16 - lpwUTF16CSPNameList")))
    {
    }
    else
    {
        hResult = m_objCryptoAgent.SelectCertificate(strings[0], strings[1], strings[2], strings[3], &bChosen);
        if (FAILED(hResult))
        {
            TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"m_objCryptoAgent.SelectCertificate", u"FAILED(hResult)",
                              hResult);
        }
        else
        {
            TraceStepSucceeded(s_wszName, u"m_objCryptoAgent.SelectCertificate");
        }
    }
    BOOLEAN_TO_NPVARIANT(SUCCEEDED(hResult) && bChosen == VARIANT_TRUE, *result);
    m_hrLastResult = hResult;
    return SUCCEEDED(hResult);
}

bool CScriptablePluginObject::npGetSignCertInfo(const NPVariant* args, uint32_t argCount, NPVariant* result)
{
    static const WCHAR s_wszName[] = u"CScriptablePluginObject::npGetSignCertInfo";
    TraceHelper trace(s_wszName);
    TraceParameterInfo(args, argCount);
    HRESULT hResult = S_OK;
    CArgumentStrings strings;
    BSTR bstrInfo = nullptr;
    if (1 != argCount || !NPVARIANT_IS_STRING(args[0]))
    {
        hResult = E_INVALIDARG;
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"Check parameter", u"1 != argCount || !NPVARIANT_IS_STRING(args[0])",
                          hResult);
    }
    else if (FAILED(hResult = strings.Add(s_wszName, args[0], u"ConverNPStringtoNULLEndString - InfoType",
                                          u"UTF8ToUTF16 - InfoType")))
    {
    }
    else if (FAILED(hResult = m_objCryptoAgent.GetSignCertInfo(strings[0], &bstrInfo)))
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"m_objCryptoAgent.GetSignCertInfo", u"FAILED(hResult)", hResult);
    }
    else
    {
        TraceStepSucceeded(s_wszName, u"m_objCryptoAgent.GetSignCertInfo");
        hResult = PlaceWideResult(s_wszName, u"UTF16ToUTF8 - Reture Content Info", bstrInfo, result);
    }
    SysFreeString(bstrInfo);
    if (FAILED(hResult))
    {
        NULL_TO_NPVARIANT(*result);
    }
    m_hrLastResult = hResult;
    return SUCCEEDED(hResult);
}

bool CScriptablePluginObject::npSignMsgPKCS7(const NPVariant* args, uint32_t argCount, NPVariant* result)
{
    static const WCHAR s_wszName[] = u"CScriptablePluginObject::npSignMsgPKCS7";
    TraceHelper trace(s_wszName);
    TraceParameterInfo(args, argCount);
    HRESULT hResult = S_OK;
    CArgumentStrings strings;
    BSTR bstrSignature = nullptr;
    if (3 != argCount || !NPVARIANT_IS_STRING(args[0]) || !NPVARIANT_IS_STRING(args[1]) ||
        !NPVARIANT_IS_BOOLEAN(args[2]))
    {
        hResult = E_INVALIDARG;
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"Check parameter",
                          u"3 != argCount || !NPVARIANT_IS_STRING(args[0])|| !NPVARIANT_IS_STRING(args[1])|| "
                          u"!NPVARIANT_IS_BOOLEAN(args[2])",
                          hResult);
    }
    else if (FAILED(hResult = strings.Add(s_wszName, args[0], u"ConverNPStringtoNULLEndString - SourceData",
                                          u"UTF8ToUTF16 - SourceData")) ||
             FAILED(hResult = strings.Add(s_wszName, args[1], u"ConverNPStringtoNULLEndString - Hash Algorithm",
                                          u"UTF8ToUTF16 - Hash Algorithm")))
    {
    }
    else
    {
        VARIANT_BOOL bAttached = NPVARIANT_TO_BOOLEAN(args[2]) ? VARIANT_TRUE : VARIANT_FALSE;
        hResult = m_objCryptoAgent.SignMsgPKCS7ReleasingSource(strings.Slot(0), strings.Length(0), strings[1],
                                                               bAttached, &bstrSignature);
        strings.Free();
        if (FAILED(hResult))
        {
            TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"m_objCryptoAgent.SignMsgPKCS7", u"FAILED(hResult)", hResult);
        }
        else
        {
            TraceStepSucceeded(s_wszName, u"m_objCryptoAgent.SignMsgPKCS7");
            hResult = PlaceWideResult(s_wszName, u"UTF16ToUTF8 - Reture Signature", bstrSignature, result);
        }
    }
    SysFreeString(bstrSignature);
    if (FAILED(hResult))
    {
        NULL_TO_NPVARIANT(*result);
    }
    m_hrLastResult = hResult;
    return SUCCEEDED(hResult);
}

bool CScriptablePluginObject::npSignHashMsgPKCS7Detached(const NPVariant* args, uint32_t argCount,
                                                         NPVariant* result)
{
    static const WCHAR s_wszName[] = u"CScriptablePluginObject::npSignHashMsgPKCS7Detached";
    TraceHelper trace(s_wszName);
    TraceParameterInfo(args, argCount);
    HRESULT hResult = S_OK;
    CArgumentStrings strings;
    BSTR bstrSignature = nullptr;
    if (2 != argCount || !NPVARIANT_IS_STRING(args[0]) || !NPVARIANT_IS_STRING(args[1]))
    {
        hResult = E_INVALIDARG;
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"Check parameter",
                          u"2 != argCount || !NPVARIANT_IS_STRING(args[0])|| !NPVARIANT_IS_STRING(args[1])", hResult);
    }
    else if (FAILED(hResult = strings.Add(s_wszName, args[0], u"ConverNPStringtoNULLEndString - SourceData",
                                          u"UTF8ToUTF16 - SourceData")) ||
             FAILED(hResult = strings.Add(s_wszName, args[1], u"ConverNPStringtoNULLEndString - Hash Algorithm",
                                          u"UTF8ToUTF16 - Hash Algorithm")))
    {
    }
    else
    {
        hResult = m_objCryptoAgent.SignHashMsgPKCS7Detached(strings[0], strings[1], &bstrSignature);
        if (FAILED(hResult))
        {
            TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"m_objCryptoAgent.SignHashMsgPKCS7Detached", u"FAILED(hResult)",
                              hResult);
        }
        else
        {
            TraceStepSucceeded(s_wszName, u"m_objCryptoAgent.SignHashMsgPKCS7Detached");
            hResult = PlaceWideResult(s_wszName, u"UTF16ToUTF8 - Reture Signature", bstrSignature, result);
        }
    }
    SysFreeString(bstrSignature);
    if (FAILED(hResult))
    {
        NULL_TO_NPVARIANT(*result);
    }
    m_hrLastResult = hResult;
    return SUCCEEDED(hResult);
}
