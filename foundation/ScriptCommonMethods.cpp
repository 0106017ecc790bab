#include "ScriptCommonMethods.h"

#include "ErrorText.h"
#include "ScriptSkeleton.h"
#include "TextEncoding.h"
#include "Trace.h"

namespace
{
bool FailStep(const SCRIPT_TRACE_SITE& site, LPCWSTR lpwszStep, LPCWSTR lpwszReason, HRESULT hResult,
              NPVariant* result)
{
    TraceStepFailed(site.lpwszSourceUnit, site.nLine, site.lpwszHandler, lpwszStep, lpwszReason, hResult);
    NULL_TO_NPVARIANT(*result);
    return false;
}
} // namespace

bool ScriptGetVersion(const SCRIPT_TRACE_SITE& site, LPCSTR pszVersion, const NPVariant* args, uint32_t argCount,
                      NPVariant* result)
{
    TraceHelper trace(site.lpwszHandler);
    TraceParameterInfo(args, argCount);
    if (argCount != 0)
    {
        return FailStep(site, u"Check parameter", u"argCount != 0", E_FAIL, result);
    }
    if (!ConvertStringToNPVariant(pszVersion, result))
    {
        return FailStep(site, u"ConvertStringToNPVariant", u"bResult", E_FAIL, result);
    }
    TraceStepSucceeded(site.lpwszHandler, u"ConvertStringToNPVariant");
    return true;
}

bool ScriptGetLastErrorDesc(const SCRIPT_TRACE_SITE& site, const SCRIPT_ARGUMENT_CHECK& check, HRESULT hrLastResult,
                            const NPVariant* args, uint32_t argCount, NPVariant* result)
{
    TraceHelper trace(site.lpwszHandler);
    TraceParameterInfo(args, argCount);
    if (argCount != 0)
    {
        return FailStep(site, check.lpwszStep, check.lpwszReason, check.hrFailure, result);
    }

    WCHAR wszDescription[ERROR_TEXT_CCH];
    FormatErrorText(hrLastResult, wszDescription);

    LPSTR pszDescription = nullptr;
    DWORD cbDescription = 0;
    HRESULT hResult = UTF16ToUTF8(wszDescription, &pszDescription, &cbDescription);
    if (FAILED(hResult))
    {
        delete[] pszDescription;
        return FailStep(site, u"UTF16ToUTF8 - bstrDescription.", u"FAILED(hResult)", hResult, result);
    }
    TraceStepSucceeded(site.lpwszHandler, u"UTF16ToUTF8 - bstrDescription.");

    // A text that cannot reach browser memory is a failure, not an empty success.
    bool bResult = ConvertStringToNPVariant(pszDescription, result);
    delete[] pszDescription;
    if (!bResult)
    {
        return FailStep(site, u"ConvertStringToNPVariant", u"bResult", E_FAIL, result);
    }
    return true;
}
