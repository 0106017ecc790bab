// The search of CSP key containers for certificates that no store holds with their key.
#include <cstring>
#include <list>
#include <new>

#include "ContainerCertificates.h"
#include "HResult.h"
#include "TextEncoding.h"
#include "Trace.h"
#include "ZeroedArray.h"

namespace
{
const DWORD kEncoding = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;

// A call that reported success but handed back nothing is a failure all the same.
HRESULT FailureOf(BOOL fCallSucceeded)
{
    return fCallSucceeded ? E_FAIL : HResultOfFailedCall();
}

bool IsEmptyText(LPCWSTR lpwsz)
{
    return !lpwsz || !*lpwsz;
}

// Reads KP_CERTIFICATE of a key into a certificate context of its own.
HRESULT ReadKeyCertificate(HCRYPTKEY hKey, PCCERT_CONTEXT* ppCert)
{
    DWORD cb = 0;
    BOOL fOk = CryptGetKeyParam(hKey, KP_CERTIFICATE, nullptr, &cb, 0);
    if (!fOk || cb == 0)
    {
        HRESULT hr = FailureOf(fOk);
        TraceResult(hr, u"CryptGetKeyParam(KP_CERTIFICATE)1");
        return hr;
    }
    BYTE* pb = NewZeroedArray<BYTE>(cb + 1ULL);
    if (!pb)
    {
        TraceResult(E_OUTOFMEMORY, u"new");
        return E_OUTOFMEMORY;
    }
    DWORD cbRead = cb + 1;
    fOk = CryptGetKeyParam(hKey, KP_CERTIFICATE, pb, &cbRead, 0);
    HRESULT hr = S_OK;
    if (!fOk || cbRead == 0)
    {
        hr = FailureOf(fOk);
        TraceResult(hr, u"CryptGetKeyParam(KP_CERTIFICATE)2");
    }
    else
    {
        *ppCert = CertCreateCertificateContext(kEncoding, pb, cbRead);
        if (!*ppCert)
        {
            hr = HResultOfFailedCall();
            TraceResult(hr, u"CertCreateCertificateContext");
        }
    }
    delete[] pb;
    return hr;
}

// True when the platform finds the certificate's private key by itself (a store holds it).
bool IsKeyRegistered(PCCERT_CONTEXT pCert)
{
    HCRYPTPROV hKeyProv = 0;
    DWORD dwKeySpec = 0;
    BOOL fFree = FALSE;
    if (!CryptAcquireCertificatePrivateKey(pCert, 0, nullptr, &hKeyProv, &dwKeySpec, &fFree))
        return false;
    if (fFree && hKeyProv)
        CryptReleaseContext(hKeyProv, 0);
    return true;
}

// Both keys of one container, exchange key first; passing records go to the list.
void CollectContainer(LPCWSTR lpwszProviderName, LPCWSTR lpwszContainerName, const CERT_FILTER_INFO* pFilter,
                      UnregisteredCertificateList& lstRecords)
{
    for (DWORD dwKeySpec : {DWORD(AT_KEYEXCHANGE), DWORD(AT_SIGNATURE)})
    {
        PUNREGISTERED_CERT_CONTEXT pRecord = nullptr;
        HRESULT hr = GetUnregisteredCertfromContainer(lpwszProviderName, lpwszContainerName, dwKeySpec, &pRecord);
        if (FAILED(hr) || !pRecord)
        {
            TraceResult(FAILED(hr) ? hr : E_FAIL, u"GetUnregisteredCertfromContainer");
            continue;
        }
        if (CheckUnregisteredCertficate(pRecord->pCertContext, pFilter) != S_OK)
        {
            CertFreeUnregisteredCertContext(pRecord);
            continue;
        }
        try
        {
            lstRecords.push_back(pRecord);
        }
        catch (const std::bad_alloc&)
        {
            TraceResult(E_OUTOFMEMORY, u"push_back");
            CertFreeUnregisteredCertContext(pRecord);
        }
    }
}
} // namespace

HRESULT GetUnregisteredCertfromContainer(LPCWSTR lpwszProviderName, LPCWSTR lpwszContainerName, DWORD dwKeySpec,
                                         PUNREGISTERED_CERT_CONTEXT* ppRecord)
{
    TraceHelper trace(u"GetUnregisteredCertfromContainer");
    if (IsEmptyText(lpwszProviderName) || IsEmptyText(lpwszContainerName) || !ppRecord)
    {
        TraceResult(E_INVALIDARG, u"Check parameter");
        return E_INVALIDARG;
    }
    QM_TRACE_INFO(lpwszProviderName, lpwszContainerName, dwKeySpec);

    HCRYPTPROV hProv = 0;
    if (!CryptAcquireContextW(&hProv, lpwszContainerName, lpwszProviderName, PROV_RSA_FULL, 0))
    {
        HRESULT hr = HResultOfFailedCall();
        TraceResult(hr, u"CryptAcquireContext");
        return hr;
    }

    HRESULT hr = S_OK;
    HCRYPTKEY hKey = 0;
    PCCERT_CONTEXT pCert = nullptr;
    BOOL fOk = CryptGetUserKey(hProv, dwKeySpec, &hKey);
    if (!fOk || !hKey)
    {
        hr = FailureOf(fOk);
        TraceResult(hr, u"CryptGetUserKey");
    }
    else
    {
        hr = ReadKeyCertificate(hKey, &pCert);
    }

    if (SUCCEEDED(hr))
    {
        if (IsKeyRegistered(pCert))
        {
            hr = E_PRIVATE_KEY_REGISTERED;
            TraceResult(hr, u"CryptAcquireCertificatePrivateKey");
        }
        else
        {
            hr = CertCreateUnregisteredCertContext(lpwszContainerName, lpwszProviderName, pCert, dwKeySpec,
                                                   ppRecord);
            TraceResult(hr, u"CertCreateUnregisteredCertContext");
        }
    }

    if (hKey)
        CryptDestroyKey(hKey);
    CryptReleaseContext(hProv, 0);
    if (pCert)
        CertFreeCertificateContext(pCert);
    return hr;
}

HRESULT CheckUnregisteredCertficate(PCCERT_CONTEXT pCertContext, const CERT_FILTER_INFO* pFilter)
{
    TraceHelper trace(u"CheckUnregisteredCertficate");
    if (!pCertContext)
        return E_FAIL;
    CERT_FILTER_INFO none{};
    const CERT_FILTER_INFO& f = pFilter ? *pFilter : none;
    FilterFragmentList lstSubject, lstIssuer;
    ParseFilters(f.lpwszSubjectDNFilter, lstSubject);
    ParseFilters(f.lpwszIssuerDNFilter, lstIssuer);
    if (CheckCertSubjectName(pCertContext, CERT_X500_NAME_STR, lstSubject) != S_OK ||
        CheckCertIssuer(pCertContext, lstIssuer) != S_OK || CheckCertKeyUsage(f.dwKeyUsage, pCertContext) != S_OK ||
        CheckCertSubjectKeyID(f.pbSubjectKeyID, f.cbSubjectKeyID, pCertContext) != S_OK ||
        CheckCertSerialNumber(pCertContext, f.pbSerialNumber, f.cbSerialNumber) != S_OK ||
        CheckCertTimeValidity(f.pCheckTime, pCertContext) != S_OK ||
        CheckCertSignatureAlg(f.lpszSignatureAlgOIDPrefix, pCertContext) != S_OK)
        return E_FAIL;
    return S_OK;
}

HRESULT FilterUnregisteredCertificatesfromSpecifiedCSP(LPCWSTR lpwszProviderName, const CERT_FILTER_INFO* pFilter,
                                                       UnregisteredCertificateList& lstRecords)
{
    TraceHelper trace(u"FilterUnregisteredCertificatesfromSpecifiedCSP");
    if (IsEmptyText(lpwszProviderName))
    {
        TraceResult(E_INVALIDARG, u"Check parameter");
        return E_INVALIDARG;
    }
    QM_TRACE_INFO(lpwszProviderName);

    HCRYPTPROV hProv = 0;
    if (!CryptAcquireContextW(&hProv, nullptr, lpwszProviderName, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT))
    {
        HRESULT hr = HResultOfFailedCall();
        TraceResult(hr, u"CryptAcquireContext");
        return hr;
    }

    DWORD cbLongest = 0;
    if (!CryptGetProvParam(hProv, PP_ENUMCONTAINERS, nullptr, &cbLongest, CRYPT_FIRST))
    {
        HRESULT hr = HResultOfFailedCall();
        TraceResult(hr, u"CryptGetProvParam");
        CryptReleaseContext(hProv, 0);
        return hr;
    }
    const unsigned long long cbBuffer = cbLongest + 1ULL;
    BYTE* pbName = NewZeroedArray<BYTE>(cbBuffer);
    if (!pbName)
    {
        TraceResult(E_OUTOFMEMORY, u"new ContainerName");
        CryptReleaseContext(hProv, 0);
        return E_OUTOFMEMORY;
    }

    HRESULT hr = S_OK;
    for (DWORD dwFlags = CRYPT_FIRST;; dwFlags = CRYPT_NEXT)
    {
        std::memset(pbName, 0, (size_t)cbBuffer);
        DWORD cbName = (DWORD)cbBuffer;
        if (!CryptGetProvParam(hProv, PP_ENUMCONTAINERS, pbName, &cbName, dwFlags))
        {
            // The end of the list, or any error: the walk is over either way.
            TraceResult(HResultOfFailedCall(), u"CryptGetProvParam");
            break;
        }
        // A provider that filled the whole buffer still leaves a terminated name here.
        pbName[cbBuffer - 1] = 0;

        LPWSTR pwszContainer = nullptr;
        DWORD cchContainer = 0;
        hr = UTF8ToUTF16(reinterpret_cast<LPCSTR>(pbName), &pwszContainer, &cchContainer);
        if (FAILED(hr))
        {
            TraceResult(hr, u"UTF8ToUTF16");
            delete[] pwszContainer;
            break;
        }
        CollectContainer(lpwszProviderName, pwszContainer, pFilter, lstRecords);
        delete[] pwszContainer;
    }

    delete[] pbName;
    CryptReleaseContext(hProv, 0);
    return hr;
}

HRESULT FilterUnregisteredCertificatesfromCSP(LPCWSTR lpwszCSPNameList, const CERT_FILTER_INFO* pFilter,
                                              UnregisteredCertificateList& lstRecords)
{
    TraceHelper trace(u"FilterUnregisteredCertificatesfromCSP");
    LPWSTR pwszAllCSPName = nullptr;
    if (!lpwszCSPNameList)
    {
        HRESULT hr = GetAllCSPName(&pwszAllCSPName);
        if (FAILED(hr))
        {
            TraceResult(hr, u"GetAllCSPName");
            RemoveAllUnregisteredCertificates(lstRecords);
            return hr;
        }
        lpwszCSPNameList = pwszAllCSPName;
    }

    std::list<std::u16string> lstNames;
    SplitStrings(lpwszCSPNameList, lstNames);
    for (const auto& name : lstNames)
    {
        // The platform's own providers keep their certificates in stores.
        if (name.find(u"Microsoft") != std::u16string::npos)
        {
            QM_TRACE_INFO(name.c_str());
            continue;
        }
        HRESULT hr = FilterUnregisteredCertificatesfromSpecifiedCSP(name.c_str(), pFilter, lstRecords);
        TraceResult(hr, u"FilterUnregisteredCertificatesfromSpecifiedCSP");
    }
    delete[] pwszAllCSPName;
    return S_OK;
}
