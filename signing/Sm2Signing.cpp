#include "Sm2Signing.h"

#include "Base64Encoding.h"
#include "DerEncoding.h"
#include "HResult.h"
#include "HashAlgorithm.h"
#include "HexEncoding.h"
#include "Pkcs7Writer.h"
#include "SignatureSteps.h"
#include "SigningForms.h"
#include "Trace.h"
#include "ZeroedArray.h"

#define SOURCE_UNIT u"CryptoAgent"

namespace
{
class CContainerContext
{
public:
    ~CContainerContext()
    {
        if (m_hProv)
        {
            CryptReleaseContext(m_hProv, 0);
        }
        if (m_hHash)
        {
            CryptDestroyHash(m_hHash);
        }
    }
    HCRYPTPROV m_hProv = 0;
    HCRYPTHASH m_hHash = 0;
};

// The digest value of the hash object, hex for the trace only.
void TraceHashValue(LPCWSTR lpwszOperation, HCRYPTHASH hHash)
{
    DWORD cbHash = 0;
    if (!CryptGetHashParam(hHash, HP_HASHVAL, nullptr, &cbHash, 0) || cbHash == 0)
    {
        return;
    }
    BYTE* pbHash = NewZeroedArray<BYTE>(cbHash);
    if (pbHash && CryptGetHashParam(hHash, HP_HASHVAL, pbHash, &cbHash, 0))
    {
        LPWSTR lpwszHex = nullptr;
        if (SUCCEEDED(SigningForm::ConvertBinaryDataToString(&lpwszHex, cbHash, pbHash, 0)))
        {
            QM_TRACE_INFO(lpwszOperation, lpwszHex);
            TraceStepSucceeded(lpwszOperation, u"FormatStringFromData");
        }
        delete[] lpwszHex;
    }
    delete[] pbHash;
}

// Opens the container, fills an SM3 hash object with pfnFill and signs it with the key.
template <class FILL>
HRESULT SignInContainer(LPCWSTR lpwszOperation, const SM2_SIGNING_KEY& key, bool bKeepCustomer, FILL fill,
                        BYTE** ppbSignature, DWORD* pcbSignature)
{
    if (!key.lpwszProviderName || !*key.lpwszProviderName || !key.lpwszContainerName || !*key.lpwszContainerName)
    {
        QM_TRACE_ERROR(lpwszOperation, u"empty provider or container name");
    }
    CContainerContext ctx;
    if (!CryptAcquireContextW(&ctx.m_hProv, key.lpwszContainerName, key.lpwszProviderName, PROV_RSA_FULL, 0))
    {
        ctx.m_hProv = 0;
        HRESULT hResult = FailedCallResult(bKeepCustomer);
        TRACE_STEP_FAILED(SOURCE_UNIT, lpwszOperation, u"CryptAcquireContext", u"!bResult", hResult);
        return hResult;
    }
    TraceStepSucceeded(lpwszOperation, u"CryptAcquireContext");
    if (!CryptCreateHash(ctx.m_hProv, CALG_SM3, 0, 0, &ctx.m_hHash))
    {
        ctx.m_hHash = 0;
        HRESULT hResult = FailedCallResult(bKeepCustomer);
        TRACE_STEP_FAILED(SOURCE_UNIT, lpwszOperation, u"CryptCreateHash", u"!bResult", hResult);
        return hResult;
    }
    HRESULT hResult = fill(ctx.m_hHash);
    if (FAILED(hResult))
    {
        return hResult;
    }

    BYTE* pbRaw = nullptr;
    DWORD cbRaw = 0;
    hResult = SignHashObject(lpwszOperation, ctx.m_hHash, key.dwKeySpec, bKeepCustomer, &pbRaw, &cbRaw);
    if (FAILED(hResult))
    {
        return hResult;
    }
    if (cbRaw != SM2_RAW_SIGNATURE_SIZE)
    {
        delete[] pbRaw;
        TRACE_STEP_FAILED(SOURCE_UNIT, lpwszOperation, u"Check SM2 raw signature size", u"64 != dwSignatureLen",
                          E_INVALID_DATA);
        return E_INVALID_DATA;
    }
    // r and s each come least significant byte first.
    SwapByteOrder(pbRaw, SM2_COORDINATE_SIZE);
    SwapByteOrder(pbRaw + SM2_COORDINATE_SIZE, SM2_COORDINATE_SIZE);
    *ppbSignature = pbRaw;
    *pcbSignature = cbRaw;
    return S_OK;
}

HRESULT EncapsulateSm2Signature(LPCWSTR lpwszOperation, const SM2_SIGNING_KEY& key, const BYTE* pbRaw,
                                const BYTE* pbData, DWORD cbData, BOOL bAttached, LPCSTR pszSignatureOid,
                                BSTR* pbstrSignature)
{
    BYTE* pbEncoded = nullptr;
    DWORD cbEncoded = 0;
    HRESULT hResult = SM2EncodeRawSignature(&pbEncoded, &cbEncoded, pbRaw, SM2_RAW_SIGNATURE_SIZE);
    if (FAILED(hResult))
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, lpwszOperation, u"SM2EncodeRawSignature", u"FAILED(hResult)", hResult);
        return hResult;
    }
    hResult = SM2EncapsulatePKCS7(key.pCertContext, SZOID_SM3, pszSignatureOid, pbEncoded, cbEncoded, pbData,
                                  cbData, bAttached, BASE64_FLAG_NO_CRLF, pbstrSignature, nullptr);
    delete[] pbEncoded;
    if (FAILED(hResult))
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, lpwszOperation, u"EncapsulatePKCS7", u"FAILED(hResult)", hResult);
    }
    return hResult;
}
} // namespace

HRESULT SM2CalculateHashandSign(const SM2_SIGNING_KEY& key, const BYTE* pbData, DWORD cbData,
                                BYTE** ppbSignature, DWORD* pcbSignature)
{
    static const WCHAR s_wszName[] = u"SM2CalculateHashandSignbyUnregisteredCert";
    TraceHelper trace(s_wszName);
    return SignInContainer(
        s_wszName, key, false,
        [&](HCRYPTHASH hHash) -> HRESULT {
            if (!HashDataInPieces(hHash, pbData, cbData))
            {
                HRESULT hResult = FailedCallResult(false);
                TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"CryptHashData", u"!bResult", hResult);
                return hResult;
            }
            TraceHashValue(s_wszName, hHash);
            return S_OK;
        },
        ppbSignature, pcbSignature);
}

HRESULT SM2SignHashPKCS1(const SM2_SIGNING_KEY& key, const BYTE* pbHashData, DWORD cbHashData,
                         BYTE** ppbSignature, DWORD* pcbSignature)
{
    static const WCHAR s_wszName[] = u"SM2SignHashPKCS1";
    TraceHelper trace(s_wszName);
    return SignInContainer(
        s_wszName, key, true,
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

HRESULT SM2SignBinaryData(const SM2_SIGNING_KEY& key, const BYTE* pbData, DWORD cbData, BOOL bAttached,
                          LPCSTR pszSignatureOid, BSTR* pbstrSignature)
{
    static const WCHAR s_wszName[] = u"SM2SignBinaryDatabyUnregisteredCert";
    TraceHelper trace(s_wszName);
    BYTE* pbRaw = nullptr;
    DWORD cbRaw = 0;
    HRESULT hResult = SM2CalculateHashandSign(key, pbData, cbData, &pbRaw, &cbRaw);
    if (FAILED(hResult))
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"SM2CalculateHashandSignbyUnregisteredCert", u"FAILED(hResult)",
                          hResult);
        return hResult;
    }
    hResult = EncapsulateSm2Signature(s_wszName, key, pbRaw, pbData, cbData, bAttached, pszSignatureOid,
                                      pbstrSignature);
    delete[] pbRaw;
    return hResult;
}

HRESULT SM2SignHashDataPKCS7Detached(const BYTE* pbSrcHashData, DWORD cbSrcHashData, const SM2_SIGNING_KEY& key,
                                     BSTR* pbstrSignature)
{
    static const WCHAR s_wszName[] = u"SM2SignHashDataPKCS7Detached";
    TraceHelper trace(s_wszName);
    HRESULT hResult = CheckDetachedDigest(s_wszName, pbSrcHashData, cbSrcHashData, CALG_SM3);
    if (FAILED(hResult))
    {
        return hResult;
    }
    BYTE* pbRaw = nullptr;
    DWORD cbRaw = 0;
    hResult = SM2SignHashPKCS1(key, pbSrcHashData, cbSrcHashData, &pbRaw, &cbRaw);
    if (FAILED(hResult))
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"SM2SignHashPKCS1", u"FAILED(hResult)", hResult);
        return hResult;
    }
    LPCSTR pszSignatureOid = nullptr;
    if (!GetAlgorithmIdentifiers(CALG_SM3, nullptr, &pszSignatureOid))
    {
        delete[] pbRaw;
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"GetAlgorithmIdentifiers", u"!bSuccess", NTE_BAD_ALGID);
        return NTE_BAD_ALGID;
    }
    hResult = EncapsulateSm2Signature(s_wszName, key, pbRaw, nullptr, 0, FALSE, pszSignatureOid, pbstrSignature);
    delete[] pbRaw;
    return hResult;
}
