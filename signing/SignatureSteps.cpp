#include "SignatureSteps.h"

#include "CertificateFilter.h"
#include "HResult.h"
#include "HashAlgorithm.h"
#include "Trace.h"
#include "ZeroedArray.h"

#define SOURCE_UNIT u"CryptoAgent"

HRESULT FailedCallResult(bool bKeepCustomer)
{
    return bKeepCustomer ? HResultOfFailedCallKeepCustomer() : HResultOfFailedCall();
}

HRESULT CheckDetachedDigest(LPCWSTR lpwszOperation, const BYTE* pbSrcHashData, DWORD cbSrcHashData,
                            ALG_ID uHashAlgorithm)
{
    if (!pbSrcHashData)
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, lpwszOperation, u"Check Parameters(pbySrcHashData)", u"NULL == pbySrcHashData",
                          E_INVALIDARG);
        return E_INVALIDARG;
    }
    if (cbSrcHashData != GetHashDigestSize(uHashAlgorithm))
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, lpwszOperation, u"Check Parameters(dwSrcHashDataLen)",
                          u"dwSrcHashDataLen != digest size", E_INVALIDARG);
        return E_INVALIDARG;
    }
    return S_OK;
}

HRESULT SignHashObject(LPCWSTR lpwszOperation, HCRYPTHASH hHash, DWORD dwKeySpec, bool bKeepCustomer,
                       BYTE** ppbSignature, DWORD* pcbSignature)
{
    DWORD cbSignature = 0;
    if (!CryptSignHashW(hHash, dwKeySpec, nullptr, 0, nullptr, &cbSignature))
    {
        HRESULT hResult = FailedCallResult(bKeepCustomer);
        TRACE_STEP_FAILED(SOURCE_UNIT, lpwszOperation, u"CryptSignHash(1)", u"!bResult", hResult);
        return hResult;
    }
    TraceStepSucceeded(lpwszOperation, u"CryptSignHash(1)");
    BYTE* pbSignature = NewZeroedArray<BYTE>(cbSignature);
    if (!pbSignature)
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, lpwszOperation, u"New buffer", u"!pbyPKCS1Signature", E_OUTOFMEMORY);
        return E_OUTOFMEMORY;
    }
    if (!CryptSignHashW(hHash, dwKeySpec, nullptr, 0, pbSignature, &cbSignature))
    {
        HRESULT hResult = FailedCallResult(bKeepCustomer);
        delete[] pbSignature;
        TRACE_STEP_FAILED(SOURCE_UNIT, lpwszOperation, u"CryptSignHash(2)", u"!bResult", hResult);
        return hResult;
    }
    TraceStepSucceeded(lpwszOperation, u"CryptSignHash(2)");
    *ppbSignature = pbSignature;
    *pcbSignature = cbSignature;
    return S_OK;
}

void TraceProviderName(LPCWSTR lpwszOperation, HCRYPTPROV hProv)
{
    if (!IsTraceFlagEnabled(TRACE_FLAG_INFO))
    {
        return;
    }
    DWORD dwLastError = GetLastError();
    DWORD cbName = 0;
    BYTE* pbName = nullptr;
    if (SUCCEEDED(GetProviderInfo(&cbName, hProv, PP_NAME, &pbName)) && pbName)
    {
        QM_TRACE_INFO(lpwszOperation, reinterpret_cast<LPCSTR>(pbName));
    }
    delete[] pbName;
    SetLastError(dwLastError);
}
