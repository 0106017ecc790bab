#include "KeyPairGeneration.h"

#include <string_view>

#include "HResult.h"
#include "Misc.h"
#include "Pkcs10Writer.h"
#include "Trace.h"
#include "ZeroedArray.h"

#define SOURCE_UNIT u"CertificateRequisition"

namespace
{
const WCHAR g_wszAesProvider[] = u"Microsoft Enhanced RSA and AES Cryptographic Provider";

DWORD ProviderTypeOf(LPCWSTR lpwszCSPName)
{
    const std::u16string_view wsvName = lpwszCSPName ? lpwszCSPName : u"";
    return wsvName.find(g_wszAesProvider) != std::u16string_view::npos ? PROV_RSA_AES
                                                                       : PROV_RSA_FULL;
}

LPWSTR CopyWideString(const std::u16string& wstr)
{
    LPWSTR lpwsz = NewZeroedArray<WCHAR>(wstr.size() + 1);
    if (lpwsz)
    {
        wstr.copy(lpwsz, wstr.size());
    }
    return lpwsz;
}

// The PublicKey bits of an exported CERT_PUBLIC_KEY_INFO.
void PublicKeyBits(const BYTE* pbInfo, const BYTE** ppbBits, DWORD* pcbBits)
{
    const CERT_PUBLIC_KEY_INFO* pInfo = reinterpret_cast<const CERT_PUBLIC_KEY_INFO*>(pbInfo);
    *ppbBits = pInfo->PublicKey.pbData;
    *pcbBits = pInfo->PublicKey.cbData;
}
} // namespace

HRESULT CreatePublicKey(LPWSTR* ppwszContainerName, BYTE** ppbPublicKey, DWORD dwKeyLength,
                        LPCWSTR lpwszCSPName, BOOL bIsRSA, DWORD dwKeySpec, BOOL bCreate,
                        HCRYPTPROV* phProv, DWORD* pcbPublicKey, DWORD dwGenFlags)
{
    static const WCHAR s_wszName[] = u"CreatePublicKey";
    TraceHelper trace(s_wszName);
    if (!ppwszContainerName || !ppbPublicKey || !phProv || !pcbPublicKey)
    {
        return E_POINTER;
    }

    std::u16string wstrKeyContainerName = *ppwszContainerName ? *ppwszContainerName : u"";
    if (wstrKeyContainerName.empty())
    {
        HRESULT hResult = CreateGUIDStr(wstrKeyContainerName);
        if (wstrKeyContainerName.empty())
        {
            if (SUCCEEDED(hResult))
            {
                hResult = HResultOfFailedCallKeepCustomer();
            }
            TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"CreateGUIDStr",
                              u"wstrKeyContainerName==L\"\"", hResult);
            return hResult;
        }
    }
    QM_TRACE_INFO(s_wszName, wstrKeyContainerName.c_str(), dwKeyLength, dwKeySpec);

    const DWORD dwAcquireFlags = bCreate ? CRYPT_NEWKEYSET : 0;
    const DWORD dwProvType = ProviderTypeOf(lpwszCSPName);
    if (*phProv == 0)
    {
        if (!CryptAcquireContextW(phProv, wstrKeyContainerName.c_str(), lpwszCSPName, dwProvType,
                                  dwAcquireFlags))
        {
            *phProv = 0;
            HRESULT hResult = HResultOfFailedCallKeepCustomer();
            TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"CryptAcquireContext", u"bRetCode == FALSE",
                              hResult);
            return hResult;
        }
        TraceStepSucceeded(s_wszName, u"CryptAcquireContext");
    }

    HRESULT hResult = S_OK;
    HCRYPTKEY hKey = 0;
    const DWORD dwGenKeyFlags = (dwKeyLength << 16) | dwGenFlags;
    const ALG_ID algKey =
        bIsRSA ? (ALG_ID)dwKeySpec : (dwKeySpec == AT_KEYEXCHANGE ? CALG_SM2_KEYX : CALG_SM2_SIGN);
    LPCWSTR lpwszStep = u"CryptGenKey";
    LPCWSTR lpwszReason = u"bRetCode == FALSE";
    if (!CryptGenKey(*phProv, algKey, dwGenKeyFlags, &hKey))
    {
        hKey = 0;
        hResult = HResultOfFailedCallKeepCustomer();
    }
    else
    {
        TraceStepSucceeded(s_wszName, lpwszStep);
        // Size first, then the value into a zeroed buffer of that size.
        DWORD cbPublicKey = 0;
        auto exportKey = [&](BYTE* pb, DWORD* pcb)
        {
            return bIsRSA
                       ? CryptExportPublicKeyInfo(*phProv, dwKeySpec,
                                                  X509_ASN_ENCODING | PKCS_7_ASN_ENCODING,
                                                  reinterpret_cast<PCERT_PUBLIC_KEY_INFO>(pb), pcb)
                       : CryptExportKey(hKey, 0, PUBLICKEYBLOB, 0, pb, pcb);
        };
        lpwszStep = bIsRSA ? u"CryptExportPublicKeyInfo(1)" : u"CryptExportKey(1)";
        if (!exportKey(nullptr, &cbPublicKey))
        {
            hResult = HResultOfFailedCallKeepCustomer();
        }
        else if (!(*ppbPublicKey = NewZeroedArray<BYTE>(cbPublicKey)))
        {
            lpwszStep = u"New buffer";
            lpwszReason = u"!*lppPublicKey";
            hResult = E_OUTOFMEMORY;
        }
        else
        {
            *pcbPublicKey = cbPublicKey;
            lpwszStep = bIsRSA ? u"CryptExportPublicKeyInfo(2)" : u"CryptExportKey(2)";
            if (!exportKey(*ppbPublicKey, &cbPublicKey))
            {
                hResult = HResultOfFailedCallKeepCustomer();
            }
            else
            {
                *pcbPublicKey = cbPublicKey;
            }
        }
    }

    if (SUCCEEDED(hResult))
    {
        TraceStepSucceeded(s_wszName, lpwszStep);
        if (bCreate)
        {
            LPWSTR lpwszCopy = CopyWideString(wstrKeyContainerName);
            if (lpwszCopy)
            {
                delete[] * ppwszContainerName;
                *ppwszContainerName = lpwszCopy;
            }
            else
            {
                lpwszStep = u"Copy container name";
                lpwszReason = u"!lpwszCopy";
                hResult = E_OUTOFMEMORY;
            }
        }
    }
    if (FAILED(hResult))
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, lpwszStep, lpwszReason, hResult);
    }
    if (hKey)
    {
        CryptDestroyKey(hKey);
    }
    if (FAILED(hResult) && bCreate)
    {
        // The container this call made goes again; its handle is released before the delete
        // so that no handle of the removed container stays in use.
        CryptReleaseContext(*phProv, 0);
        *phProv = 0;
        const DWORD dwDeleteFlags = bIsRSA ? CRYPT_DELETEKEYSET : SM2_DELETE_CONTAINER_FLAGS;
        if (!CryptAcquireContextW(phProv, wstrKeyContainerName.c_str(), lpwszCSPName, dwProvType,
                                  dwDeleteFlags))
        {
            QM_TRACE_INFO(s_wszName, u"delete container failed", GetLastError());
        }
        *phProv = 0;
    }
    return hResult;
}

HRESULT PKCS10CertRequisition(LPWSTR* ppwszContainerName, LPSTR* ppszRequest, LPCWSTR lpwszCSPName,
                              LPCWSTR lpwszSubjectDN, long lCertType, DWORD dwKeySpec, BOOL bIsRSA,
                              long lKeyLength, long lGenFlags)
{
    static const WCHAR s_wszName[] = u"PKCS10CertRequisition";
    TraceHelper trace(s_wszName);
    if (!lpwszSubjectDN)
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"Check parameter", u"lpwSubjectDN == NULL",
                          E_INVALIDARG);
        return E_INVALIDARG;
    }
    if (!ppwszContainerName || !ppszRequest)
    {
        return E_POINTER;
    }

    HCRYPTPROV hProv = 0;
    BYTE* pbTempPublicKey = nullptr;
    DWORD cbTempPublicKey = 0;
    BYTE* pbSignPublicKey = nullptr;
    DWORD cbSignPublicKey = 0;
    HRESULT hResult = S_OK;

    if (lCertType == 2)
    {
        hResult =
            CreatePublicKey(ppwszContainerName, &pbTempPublicKey, bIsRSA ? 1024 : 256, lpwszCSPName,
                            bIsRSA, AT_KEYEXCHANGE, TRUE, &hProv, &cbTempPublicKey, 0);
        if (FAILED(hResult))
        {
            TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"CreatePublicKey-Exchange",
                              u"FAILED(hResult)", hResult);
        }
    }
    if (SUCCEEDED(hResult))
    {
        hResult = CreatePublicKey(ppwszContainerName, &pbSignPublicKey, (DWORD)lKeyLength,
                                  lpwszCSPName, bIsRSA, dwKeySpec, lCertType == 1, &hProv,
                                  &cbSignPublicKey, (DWORD)lGenFlags);
        if (FAILED(hResult))
        {
            TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"CreatePublicKey-Sign cert",
                              u"FAILED(hResult)", hResult);
        }
    }
    if (SUCCEEDED(hResult))
    {
        const BYTE* pbSignKey = pbSignPublicKey;
        DWORD cbSignKey = cbSignPublicKey;
        const BYTE* pbTempKey = pbTempPublicKey;
        DWORD cbTempKey = cbTempPublicKey;
        if (bIsRSA)
        {
            PublicKeyBits(pbSignPublicKey, &pbSignKey, &cbSignKey);
            if (pbTempPublicKey)
            {
                PublicKeyBits(pbTempPublicKey, &pbTempKey, &cbTempKey);
            }
        }
        LPCWSTR lpwszStep = bIsRSA
                                ? (lCertType == 1 ? u"PKCS10RequestBase64-RSA-Single Certificate"
                                                  : u"PKCS10RequestBase64-RSA-Double Certificate")
                                : (lCertType == 1 ? u"PKCS10RequestBase64-SM2-Single Certificate"
                                                  : u"PKCS10RequestBase64-SM2-Double Certificate");
        DWORD cchRequest = 0;
        hResult = PKCS10RequestBase64(
            dwKeySpec, hProv, lpwszSubjectDN, bIsRSA ? szOID_RSA_RSA : szOID_ECC_PUBLIC_KEY,
            bIsRSA ? "" : szOID_SM2_CURVE, pbSignKey, cbSignKey, pbTempKey, cbTempKey,
            bIsRSA ? CALG_SHA1 : CALG_SM3, bIsRSA ? szOID_RSA_SHA1RSA : szOID_SM3_WITH_SM2,
            PKCS10_ATTRIBUTES_WITHOUT_SET, !bIsRSA, ppszRequest, &cchRequest);
        if (FAILED(hResult))
        {
            TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, lpwszStep, u"FAILED(hResult)", hResult);
        }
        else
        {
            TraceStepSucceeded(s_wszName, lpwszStep);
        }
    }

    delete[] pbTempPublicKey;
    delete[] pbSignPublicKey;
    if (hProv)
    {
        CryptReleaseContext(hProv, 0);
    }
    return hResult;
}
