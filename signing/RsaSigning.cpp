#include "RsaSigning.h"

#include "Base64Encoding.h"
#include "HResult.h"
#include "HashAlgorithm.h"
#include "HexEncoding.h"
#include "Pkcs7Writer.h"
#include "SignatureSteps.h"
#include "Trace.h"

#define SOURCE_UNIT u"CryptoAgent"

namespace
{
// The provider and key specification of the certificate's private key, released at scope end.
class CCertificateKey
{
public:
    ~CCertificateKey()
    {
        if (m_hProv && m_bCallerFree)
        {
            CryptReleaseContext(m_hProv, 0);
        }
    }
    BOOL Acquire(PCCERT_CONTEXT pCert)
    {
        HCRYPTPROV_OR_NCRYPT_KEY_HANDLE hKey = 0;
        BOOL bResult = CryptAcquireCertificatePrivateKey(pCert, 0, nullptr, &hKey, &m_dwKeySpec, &m_bCallerFree);
        m_hProv = (HCRYPTPROV)hKey;
        return bResult;
    }
    HCRYPTPROV Provider() const { return m_hProv; }
    DWORD KeySpec() const { return m_dwKeySpec; }

private:
    HCRYPTPROV m_hProv = 0;
    DWORD m_dwKeySpec = 0;
    BOOL m_bCallerFree = FALSE;
};

class CHashObject
{
public:
    ~CHashObject()
    {
        if (m_hHash)
        {
            CryptDestroyHash(m_hHash);
        }
    }
    HCRYPTHASH* Put() { return &m_hHash; }
    HCRYPTHASH Get() const { return m_hHash; }

private:
    HCRYPTHASH m_hHash = 0;
};

// One RSA signature of a hash object filled by pfnFill; bKeepCustomer selects rule 2.
template <class FILL>
HRESULT SignWithCertificateKey(LPCWSTR lpwszOperation, PCCERT_CONTEXT pSignCertContext, ALG_ID uHashAlgorithm,
                               bool bKeepCustomer, FILL fill, BYTE** ppbSignature, DWORD* pcbSignature)
{
    CCertificateKey key;
    if (!key.Acquire(pSignCertContext))
    {
        HRESULT hResult = FailedCallResult(bKeepCustomer);
        TRACE_STEP_FAILED(SOURCE_UNIT, lpwszOperation, u"CryptAcquireCertificatePrivateKey", u"!bResult", hResult);
        return hResult;
    }
    TraceStepSucceeded(lpwszOperation, u"CryptAcquireCertificatePrivateKey");
    TraceProviderName(lpwszOperation, key.Provider());

    CHashObject hash;
    if (!CryptCreateHash(key.Provider(), uHashAlgorithm, 0, 0, hash.Put()))
    {
        HRESULT hResult = FailedCallResult(bKeepCustomer);
        TRACE_STEP_FAILED(SOURCE_UNIT, lpwszOperation, u"CryptCreateHash", u"!bResult", hResult);
        return hResult;
    }
    HRESULT hResult = fill(hash.Get());
    if (FAILED(hResult))
    {
        return hResult;
    }

    BYTE* pbSignature = nullptr;
    DWORD cbSignature = 0;
    hResult = SignHashObject(lpwszOperation, hash.Get(), key.KeySpec(), bKeepCustomer, &pbSignature, &cbSignature);
    if (FAILED(hResult))
    {
        return hResult;
    }
    // CryptoAPI gives the signature least significant byte first.
    SwapByteOrder(pbSignature, cbSignature);
    *ppbSignature = pbSignature;
    *pcbSignature = cbSignature;
    return S_OK;
}
} // namespace

HRESULT CalculateHashandSign(PCCERT_CONTEXT pSignCertContext, const BYTE* pbData, DWORD cbData,
                             ALG_ID uHashAlgorithm, BYTE** ppbSignature, DWORD* pcbSignature)
{
    static const WCHAR s_wszName[] = u"CalculateHashandSign";
    TraceHelper trace(s_wszName);
    return SignWithCertificateKey(
        s_wszName, pSignCertContext, uHashAlgorithm, false,
        [&](HCRYPTHASH hHash) -> HRESULT {
            if (!HashDataInPieces(hHash, pbData, cbData))
            {
                HRESULT hResult = FailedCallResult(false);
                TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"CryptHashData", u"!bResult", hResult);
                return hResult;
            }
            return S_OK;
        },
        ppbSignature, pcbSignature);
}

HRESULT RSASignHashPKCS1(PCCERT_CONTEXT pSignCertContext, ALG_ID uHashAlgorithm, const BYTE* pbHashData,
                         DWORD cbHashData, BYTE** ppbSignature, DWORD* pcbSignature)
{
    static const WCHAR s_wszName[] = u"RSASignHashPKCS1";
    TraceHelper trace(s_wszName);
    return SignWithCertificateKey(
        s_wszName, pSignCertContext, uHashAlgorithm, true,
        [&](HCRYPTHASH hHash) -> HRESULT {
            if (!CryptSetHashParam(hHash, HP_HASHVAL, pbHashData, 0))
            {
                HRESULT hResult = FailedCallResult(true);
                TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"CryptSetHashParam", u"!bResult", hResult);
                return hResult;
            }
            return S_OK;
        },
        ppbSignature, pcbSignature);
}

HRESULT SignBinaryData(const BYTE* pbData, DWORD cbData, PCCERT_CONTEXT pSignCertContext, ALG_ID uHashAlgorithm,
                       BOOL bAttached, BSTR* pbstrSignature)
{
    static const WCHAR s_wszName[] = u"SignBinaryData";
    TraceHelper trace(s_wszName);
    LPCSTR pszDigestOid = nullptr;
    LPCSTR pszSignatureOid = nullptr;
    if (!GetAlgorithmIdentifiers(uHashAlgorithm, &pszDigestOid, &pszSignatureOid))
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"GetAlgorithmIdentifiers", u"!bSuccess", NTE_BAD_ALGID);
        return NTE_BAD_ALGID;
    }
    BYTE* pbSignature = nullptr;
    DWORD cbSignature = 0;
    HRESULT hResult = CalculateHashandSign(pSignCertContext, pbData, cbData, uHashAlgorithm, &pbSignature,
                                           &cbSignature);
    if (FAILED(hResult))
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"CalculateHashandSign", u"FAILED(hResult)", hResult);
        return hResult;
    }
    hResult = EncapsulatePKCS7(pSignCertContext, pszDigestOid, pszSignatureOid, pbSignature, cbSignature, pbData,
                               cbData, bAttached, BASE64_FLAG_NO_CRLF, pbstrSignature, nullptr);
    delete[] pbSignature;
    if (FAILED(hResult))
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"EncapsulatePKCS7", u"FAILED(hResult)", hResult);
    }
    return hResult;
}

HRESULT RSASignHashDataPKCS7Detached(const BYTE* pbSrcHashData, DWORD cbSrcHashData,
                                     PCCERT_CONTEXT pSignCertContext, ALG_ID uHashAlgorithm,
                                     BSTR* pbstrSignature)
{
    static const WCHAR s_wszName[] = u"RSASignHashDataPKCS7Detached";
    TraceHelper trace(s_wszName);
    HRESULT hResult = CheckDetachedDigest(s_wszName, pbSrcHashData, cbSrcHashData, uHashAlgorithm);
    if (FAILED(hResult))
    {
        return hResult;
    }
    BYTE* pbSignature = nullptr;
    DWORD cbSignature = 0;
    hResult = RSASignHashPKCS1(pSignCertContext, uHashAlgorithm, pbSrcHashData, cbSrcHashData, &pbSignature,
                               &cbSignature);
    if (FAILED(hResult))
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"RSASignHashPKCS1", u"FAILED(hResult)", hResult);
        return hResult;
    }
    LPCSTR pszDigestOid = nullptr;
    LPCSTR pszSignatureOid = nullptr;
    if (!GetAlgorithmIdentifiers(uHashAlgorithm, &pszDigestOid, &pszSignatureOid))
    {
        delete[] pbSignature;
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"GetAlgorithmIdentifiers", u"!bSuccess", NTE_BAD_ALGID);
        return NTE_BAD_ALGID;
    }
    hResult = EncapsulatePKCS7(pSignCertContext, pszDigestOid, pszSignatureOid, pbSignature, cbSignature, nullptr, 0,
                               FALSE, BASE64_FLAG_NO_CRLF, pbstrSignature, nullptr);
    delete[] pbSignature;
    if (FAILED(hResult))
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"EncapsulatePKCS7", u"FAILED(hResult)", hResult);
    }
    return hResult;
}
