// The facts of the chosen certificate that a page can read.
#include "CryptoAgent.h"

#include <oleauto.h>

#include "Base64Encoding.h"
#include "CertificateFilter.h"
#include "HResult.h"
#include "SigningForms.h"
#include "TextEncoding.h"
#include "Trace.h"
#include "ContainerCertificates.h"
#include "ZeroedArray.h"

#define SOURCE_UNIT u"CryptoAgent"

namespace
{
const WCHAR s_wszName[] = u"CCryptoAgent::GetSignCertInfo";

HRESULT QueryText(PCCERT_CONTEXT pCert, DWORD dwType, LPCWSTR lpwszStep, LPWSTR* ppwszInfo)
{
    DWORD cchText = 0;
    LPWSTR lpwszText = nullptr;
    HRESULT hResult = QueryCertContextInfo(&cchText, &lpwszText, pCert, dwType);
    if (FAILED(hResult))
    {
        delete[] lpwszText;
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, lpwszStep, u"FAILED(hResult)", hResult);
        return hResult;
    }
    *ppwszInfo = lpwszText;
    return S_OK;
}

HRESULT SubjectCommonName(PCCERT_CONTEXT pCert, LPWSTR* ppwszInfo)
{
    DWORD dwCertInfoLen = CertGetNameStringW(pCert, CERT_NAME_SIMPLE_DISPLAY_TYPE, 0, nullptr, nullptr, 0);
    if (dwCertInfoLen <= 1)
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"CertGetNameString(1)", u"dwCertInfoLen <= 1",
                          E_QUERY_TYPE_NOT_SUPPORTED);
        return E_QUERY_TYPE_NOT_SUPPORTED;
    }
    LPWSTR lpwCertInfo = NewZeroedArray<WCHAR>(dwCertInfoLen);
    if (!lpwCertInfo)
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"New buffer", u"!lpwCertInfo", E_OUTOFMEMORY);
        return E_OUTOFMEMORY;
    }
    dwCertInfoLen = CertGetNameStringW(pCert, CERT_NAME_SIMPLE_DISPLAY_TYPE, 0, nullptr, lpwCertInfo, dwCertInfoLen);
    if (dwCertInfoLen <= 1)
    {
        delete[] lpwCertInfo;
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"CertGetNameString(2)", u"dwCertInfoLen <= 1",
                          E_QUERY_TYPE_NOT_SUPPORTED);
        return E_QUERY_TYPE_NOT_SUPPORTED;
    }
    *ppwszInfo = lpwCertInfo;
    return S_OK;
}

HRESULT SerialNumberText(PCCERT_CONTEXT pCert, LPWSTR* ppwszInfo)
{
    DWORD cbSerial = 0;
    BYTE* pbSerial = nullptr;
    HRESULT hResult = QueryCertContextInfo(&cbSerial, &pbSerial, pCert, CERT_QUERY_SERIAL_NUMBER);
    if (SUCCEEDED(hResult))
    {
        // Stored least significant byte first; the page reads it most significant first.
        hResult = ConvertBinaryDataToString(ppwszInfo, cbSerial, pbSerial, 1);
    }
    delete[] pbSerial;
    if (FAILED(hResult))
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"QueryCertContextInfo (Kernel).", u"FAILED(hResult)", hResult);
    }
    return hResult;
}

HRESULT KeyProviderName(PCCERT_CONTEXT pCert, LPWSTR* ppwszInfo)
{
    HCRYPTPROV_OR_NCRYPT_KEY_HANDLE hProv = 0;
    DWORD dwKeySpec = 0;
    BOOL bCallerFree = FALSE;
    BOOL bRetCode = CryptAcquireCertificatePrivateKey(pCert, 0, nullptr, &hProv, &dwKeySpec, &bCallerFree);
    if (FALSE == bRetCode)
    {
        HRESULT hResult = HResultFromLastErrorKeepCustomer();
        if (SUCCEEDED(hResult))
        {
            hResult = E_FAIL;
        }
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"CryptAcquireCertificatePrivateKey", u"FALSE == bRetCode", hResult);
        return hResult;
    }
    DWORD cbName = 0;
    BYTE* pbName = nullptr;
    HRESULT hResult = GetProviderInfo(&cbName, (HCRYPTPROV)hProv, PP_NAME, &pbName);
    if (FAILED(hResult))
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"GetProviderInfo", u"FAILED(hResult)", hResult);
    }
    else
    {
        DWORD cchName = 0;
        hResult = UTF8ToUTF16(reinterpret_cast<LPCSTR>(pbName), ppwszInfo, &cchName);
        if (FAILED(hResult))
        {
            TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"UTF8ToUTF16 (Kernel)", u"FAILED(hResult)", hResult);
        }
    }
    delete[] pbName;
    if (bCallerFree)
    {
        CryptReleaseContext((HCRYPTPROV)hProv, 0);
    }
    return hResult;
}

HRESULT CertificateType(PCCERT_CONTEXT pCert, LPWSTR* ppwszInfo)
{
    LPCWSTR lpwszType = nullptr;
    if (CheckCertSignatureAlg(SZOID_PREFIX_SM2, pCert) == S_OK)
    {
        lpwszType = u"SM2";
    }
    else if (CheckCertSignatureAlg(SZOID_PREFIX_RSA, pCert) == S_OK)
    {
        lpwszType = u"RSA";
    }
    else
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"Check certificate signature algorithm", u"TRUE",
                          E_INVALID_KEY_ALGORITHM);
        return E_INVALID_KEY_ALGORITHM;
    }
    LPWSTR lpwszText = NewZeroedArray<WCHAR>(4);
    if (!lpwszText)
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"New buffer", u"!lpwCertInfo", E_OUTOFMEMORY);
        return E_OUTOFMEMORY;
    }
    for (int i = 0; i < 3; ++i)
    {
        lpwszText[i] = lpwszType[i];
    }
    *ppwszInfo = lpwszText;
    return S_OK;
}

HRESULT CertificateContent(PCCERT_CONTEXT pCert, LPWSTR* ppwszInfo)
{
    LPSTR pszBase64 = nullptr;
    DWORD cchBase64 = 0;
    HRESULT hResult =
        Base64EncodeEx(BASE64_FLAG_NO_CRLF, &pszBase64, pCert->pbCertEncoded, pCert->cbCertEncoded, &cchBase64);
    if (SUCCEEDED(hResult) && !pszBase64)
    {
        hResult = E_FAIL;
    }
    if (FAILED(hResult))
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"Base64EncodeEx", u"FAILED(hResult)", hResult);
        return hResult;
    }
    DWORD cchText = 0;
    hResult = UTF8ToUTF16(pszBase64, ppwszInfo, &cchText);
    delete[] pszBase64;
    if (FAILED(hResult))
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"UTF8ToUTF16", u"FAILED(hResult)", hResult);
    }
    return hResult;
}
} // namespace

HRESULT CCryptoAgent::GetSignCertInfo(BSTR bstrInfoType, BSTR* pbstrInfo)
{
    TraceHelper trace(s_wszName);
    if (!pbstrInfo)
    {
        return m_hrLastResult = E_POINTER;
    }
    *pbstrInfo = nullptr;
    LPWSTR lpwszInfo = nullptr;
    HRESULT hResult = ComputeSignCertInfo(bstrInfoType, &lpwszInfo);
    // The page always gets a string: the fact, or an empty text.
    *pbstrInfo = SysAllocString(SUCCEEDED(hResult) && lpwszInfo ? lpwszInfo : u"");
    delete[] lpwszInfo;
    if (!*pbstrInfo && SUCCEEDED(hResult))
    {
        hResult = E_OUTOFMEMORY;
    }
    m_hrLastResult = hResult;
    return hResult;
}

HRESULT CCryptoAgent::ComputeSignCertInfo(BSTR bstrInfoType, LPWSTR* ppwszInfo)
{
    if (!bstrInfoType || wcslen(bstrInfoType) == 0)
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"Check parameter(bstrInfoType)",
                          u"(NULL == bstrInfoType || 0 == wcslen(bstrInfoType))", E_INVALIDARG);
        return E_INVALIDARG;
    }
    PCCERT_CONTEXT pCert = SelectedCertificate();
    if (!pCert)
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"Check certificate is ready?",
                          u"NULL == m_pSignCertContext && NULL == m_pUnregisteredSignCertContext", E_CERT_NOT_READY);
        return E_CERT_NOT_READY;
    }
    QM_TRACE_INFO(s_wszName, bstrInfoType);

    if (_wcsicmp(bstrInfoType, u"SubjectDN") == 0)
    {
        return QueryText(pCert, CERT_QUERY_SUBJECT, u"QueryCertContextInfo (Kernel).", ppwszInfo);
    }
    if (_wcsicmp(bstrInfoType, u"SubjectCN") == 0)
    {
        return SubjectCommonName(pCert, ppwszInfo);
    }
    if (_wcsicmp(bstrInfoType, u"SerialNumber") == 0)
    {
        return SerialNumberText(pCert, ppwszInfo);
    }
    if (_wcsicmp(bstrInfoType, u"CSPName") == 0)
    {
        if (m_dwKeyAlgorithm == SIGN_KEY_ALGORITHM_SM2 && m_pUnregisteredSignCertContext)
        {
            DWORD cch = (DWORD)wcslen(m_pUnregisteredSignCertContext->wszProviderName);
            LPWSTR lpwszName = NewZeroedArray<WCHAR>((unsigned long long)cch + 1);
            if (!lpwszName)
            {
                TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"New buffer", u"!lpwCertInfo", E_OUTOFMEMORY);
                return E_OUTOFMEMORY;
            }
            for (DWORD i = 0; i < cch; ++i)
            {
                lpwszName[i] = m_pUnregisteredSignCertContext->wszProviderName[i];
            }
            *ppwszInfo = lpwszName;
            return S_OK;
        }
        return KeyProviderName(pCert, ppwszInfo);
    }
    if (_wcsicmp(bstrInfoType, u"CertType") == 0)
    {
        return CertificateType(pCert, ppwszInfo);
    }
    if (_wcsicmp(bstrInfoType, u"IssuerDN") == 0)
    {
        return QueryText(pCert, CERT_QUERY_ISSUER, u"QueryCertContextInfo", ppwszInfo);
    }
    if (_wcsicmp(bstrInfoType, u"CertContent") == 0)
    {
        return CertificateContent(pCert, ppwszInfo);
    }
    TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"check parameter.", u"TRUE", E_INVALIDARG);
    return E_INVALIDARG;
}
