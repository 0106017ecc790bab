#include "CryptoAgent.h"

#include <oleauto.h>

#include "Base64Encoding.h"
#include "ErrorText.h"
#include "HashAlgorithm.h"
#include "Pkcs7Writer.h"
#include "RsaSigning.h"
#include "SigningForms.h"
#include "Sm2Signing.h"
#include "TextEncoding.h"
#include "Trace.h"
#include "ContainerCertificates.h"

#define SOURCE_UNIT u"CryptoAgent"

namespace
{
SM2_SIGNING_KEY Sm2KeyOf(const UNREGISTERED_CERT_CONTEXT* pRecord)
{
    SM2_SIGNING_KEY key = {};
    key.lpwszProviderName = pRecord->wszProviderName;
    key.lpwszContainerName = pRecord->wszContainerName;
    key.dwKeySpec = pRecord->dwKeySpec;
    key.pCertContext = pRecord->pCertContext;
    return key;
}
} // namespace

CCryptoAgent::CCryptoAgent()
    : m_hrLastResult(S_OK), m_pSignCertContext(nullptr), m_dwKeyAlgorithm(SIGN_KEY_ALGORITHM_RSA),
      m_pUnregisteredSignCertContext(nullptr)
{
    TraceHelper trace(u"CCryptoAgent::CCryptoAgent");
}

CCryptoAgent::~CCryptoAgent()
{
    TraceHelper trace(u"CCryptoAgent::~CCryptoAgent");
    ReleaseSignCertificate();
}

void CCryptoAgent::ReleaseSignCertificate()
{
    if (m_pUnregisteredSignCertContext)
    {
        CertFreeUnregisteredCertContext(m_pUnregisteredSignCertContext);
        m_pUnregisteredSignCertContext = nullptr;
    }
    if (m_pSignCertContext)
    {
        CertFreeCertificateContext(m_pSignCertContext);
        m_pSignCertContext = nullptr;
    }
}

PCCERT_CONTEXT CCryptoAgent::SelectedCertificate() const
{
    if (m_dwKeyAlgorithm == SIGN_KEY_ALGORITHM_SM2)
    {
        return m_pUnregisteredSignCertContext ? m_pUnregisteredSignCertContext->pCertContext : nullptr;
    }
    return m_pSignCertContext;
}

HRESULT CCryptoAgent::GetLastErrorDesc(BSTR* pbstrDescription)
{
    TraceHelper trace(u"CCryptoAgent::GetLastErrorDesc");
    return AllocErrorText(m_hrLastResult, pbstrDescription);
}

HRESULT CCryptoAgent::GetVersion(LONG* plVersion)
{
    TraceHelper trace(u"CCryptoAgent::GetVersion");
    if (plVersion)
    {
        *plVersion = 0;
    }
    return S_OK;
}

HRESULT CCryptoAgent::SignMsgPKCS7(BSTR bstrSourceData, BSTR bstrHashAlg, VARIANT_BOOL bAttached,
                                   BSTR* pbstrSignature)
{
    return SignText(bstrSourceData, nullptr, nullptr, bstrHashAlg, bAttached, pbstrSignature);
}

HRESULT CCryptoAgent::SignMsgPKCS7ReleasingSource(LPWSTR* ppwszSource, DWORD cchSource, BSTR bstrHashAlg,
                                                  VARIANT_BOOL bAttached, BSTR* pbstrSignature)
{
    return SignText(ppwszSource ? *ppwszSource : nullptr, &cchSource, ppwszSource, bstrHashAlg, bAttached,
                    pbstrSignature);
}

HRESULT CCryptoAgent::SignText(BSTR bstrSourceData, const DWORD* pcchSource, LPWSTR* ppwszRelease, BSTR bstrHashAlg,
                               VARIANT_BOOL bAttached, BSTR* pbstrSignature)
{
    static const WCHAR s_wszName[] = u"CCryptoAgent::SignMsgPKCS7";
    TraceHelper trace(s_wszName);
    if (!pbstrSignature)
    {
        return m_hrLastResult = E_POINTER;
    }
    *pbstrSignature = nullptr;
    HRESULT hResult = S_OK;
    LPSTR pszContent = nullptr;
    DWORD cbContent = 0;
    // Only emptiness matters: a large text is not scanned for its length here.
    if (!bstrSourceData || bstrSourceData[0] == 0)
    {
        hResult = E_INVALIDARG;
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"Check parameter(bstrSourceData)",
                          u"(NULL == bstrSourceData || 0 == wcslen(bstrSourceData))", hResult);
    }
    else if (!m_pSignCertContext && !m_pUnregisteredSignCertContext)
    {
        hResult = E_CERT_NOT_READY;
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"Check certificate is ready?",
                          u"NULL == m_pSignCertContext && NULL == m_pUnregisteredSignCertContext", hResult);
    }
    else if (FAILED(hResult = pcchSource ? UTF16ToUTF8N(bstrSourceData, *pcchSource, &pszContent, &cbContent)
                                         : UTF16ToUTF8(bstrSourceData, &pszContent, &cbContent)))
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"UTF16ToUTF8", u"FAILED(hResult)", hResult);
    }
    else
    {
        if (ppwszRelease)
        {
            delete[] *ppwszRelease;
            *ppwszRelease = nullptr;
        }
        hResult = SignContent(reinterpret_cast<const BYTE*>(pszContent), cbContent, bstrHashAlg, bAttached,
                              pbstrSignature);
    }
    delete[] pszContent;
    m_hrLastResult = hResult;
    return hResult;
}

HRESULT CCryptoAgent::SignContent(const BYTE* pbContent, DWORD cbContent, BSTR bstrHashAlg, VARIANT_BOOL bAttached,
                                  BSTR* pbstrSignature)
{
    static const WCHAR s_wszName[] = u"CCryptoAgent::SignMsgPKCS7";
    // Only VARIANT_TRUE asks for the content inside the message.
    BOOL bCarryContent = bAttached == VARIANT_TRUE;
    HRESULT hResult;
    if (m_dwKeyAlgorithm == SIGN_KEY_ALGORITHM_SM2 && m_pUnregisteredSignCertContext)
    {
        // SM2 always hashes with SM3, whatever name the page gave.
        hResult = SM2SignBinaryData(Sm2KeyOf(m_pUnregisteredSignCertContext), pbContent, cbContent, bCarryContent,
                                    SZOID_SM2_SM3_SIGN, pbstrSignature);
        if (FAILED(hResult))
        {
            TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"SM2SignBinaryDatabyUnregisteredCert", u"hResult != S_OK",
                              hResult);
        }
        return hResult;
    }
    if (!m_pSignCertContext)
    {
        hResult = E_CERT_NOT_READY;
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"Check certificate is ready?", u"NULL == m_pSignCertContext",
                          hResult);
        return hResult;
    }
    if (!bstrHashAlg || wcslen(bstrHashAlg) == 0)
    {
        hResult = E_INVALIDARG;
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"Check parameter(bstrHashAlg)",
                          u"(NULL == bstrHashAlg || 0 == wcslen(bstrHashAlg))", hResult);
        return hResult;
    }
    ALG_ID uSignAlgorithm = GetHashAlgorithmIDByName(bstrHashAlg);
    if (uSignAlgorithm == 0)
    {
        hResult = E_INVALID_HASH_ALGORITHM;
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"hash algorithm.", u"uSignAlgorithm == 0", hResult);
        return hResult;
    }
    hResult = SignBinaryData(pbContent, cbContent, m_pSignCertContext, uSignAlgorithm, bCarryContent,
                             pbstrSignature);
    if (FAILED(hResult))
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"SignBinaryData.", u"hResult != S_OK", hResult);
    }
    return hResult;
}

HRESULT CCryptoAgent::SignHashMsgPKCS7Detached(BSTR bstrSourceHashData, BSTR bstrHashAlg, BSTR* pbstrSignature)
{
    static const WCHAR s_wszName[] = u"CCryptoAgent::SignHashMsgPKCS7Detached";
    TraceHelper trace(s_wszName);
    if (!pbstrSignature)
    {
        return m_hrLastResult = E_POINTER;
    }
    *pbstrSignature = nullptr;
    HRESULT hResult = S_OK;
    LPSTR pszDigestText = nullptr;
    DWORD cchDigestText = 0;
    BYTE* pbDigest = nullptr;
    DWORD cbDigest = 0;
    if (!bstrSourceHashData || wcslen(bstrSourceHashData) == 0)
    {
        hResult = E_INVALIDARG;
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"Check parameter(bstrSourceHashData)",
                          u"(NULL == bstrSourceHashData || 0 == wcslen(bstrSourceHashData))", hResult);
    }
    else if (!m_pSignCertContext && !m_pUnregisteredSignCertContext)
    {
        hResult = E_CERT_NOT_READY;
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"Check certificate is ready?",
                          u"NULL == m_pSignCertContext && NULL == m_pUnregisteredSignCertContext", hResult);
    }
    else if (FAILED(hResult = UTF16ToUTF8(bstrSourceHashData, &pszDigestText, &cchDigestText)))
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"UTF16ToUTF8", u"FAILED(hResult)", hResult);
    }
    else if (FAILED(hResult = Base64DecodeEx((int)cchDigestText, &pbDigest, pszDigestText, &cbDigest)))
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"Base64DecodeEx", u"FAILED(hResult)", hResult);
    }
    else
    {
        hResult = SignDigest(pbDigest, cbDigest, bstrHashAlg, pbstrSignature);
    }
    delete[] pszDigestText;
    delete[] pbDigest;
    m_hrLastResult = hResult;
    return hResult;
}

HRESULT CCryptoAgent::SignDigest(const BYTE* pbDigest, DWORD cbDigest, BSTR bstrHashAlg, BSTR* pbstrSignature)
{
    static const WCHAR s_wszName[] = u"CCryptoAgent::SignHashMsgPKCS7Detached";
    HRESULT hResult;
    if (m_dwKeyAlgorithm == SIGN_KEY_ALGORITHM_SM2 && m_pUnregisteredSignCertContext)
    {
        hResult = SM2SignHashDataPKCS7Detached(pbDigest, cbDigest, Sm2KeyOf(m_pUnregisteredSignCertContext),
                                               pbstrSignature);
        if (FAILED(hResult))
        {
            TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"SM2SignHashDataPKCS7Detached.", u"hResult != S_OK", hResult);
        }
        return hResult;
    }
    if (!m_pSignCertContext)
    {
        hResult = E_CERT_NOT_READY;
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"Check certificate is ready?", u"NULL == m_pSignCertContext",
                          hResult);
        return hResult;
    }
    ALG_ID uSignAlgorithm = GetHashAlgorithmIDByName(bstrHashAlg);
    if (uSignAlgorithm == 0)
    {
        hResult = E_INVALID_HASH_ALGORITHM;
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"hash algorithm.", u"uSignAlgorithm == 0", hResult);
        return hResult;
    }
    hResult = RSASignHashDataPKCS7Detached(pbDigest, cbDigest, m_pSignCertContext, uSignAlgorithm, pbstrSignature);
    if (FAILED(hResult))
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"SignBinaryData.", u"hResult != S_OK", hResult);
    }
    return hResult;
}
