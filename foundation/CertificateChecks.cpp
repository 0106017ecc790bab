// The filter criteria, one check each, and the filtering of the personal store.
#include <cstring>
#include <new>

#include <shlwapi.h>

#include "CertificateFilter.h"
#include "HResult.h"
#include "TextEncoding.h"
#include "Trace.h"

namespace
{
// Passes when the list is empty, or a fragment is empty or found in the text (any case).
HRESULT AnyFragmentIn(LPCWSTR lpwszText, const FilterFragmentList& lstFragments)
{
    if (lstFragments.empty())
        return S_OK;
    for (const auto& fragment : lstFragments)
        if (fragment.empty() || StrStrIW(lpwszText, fragment.c_str()))
            return S_OK;
    return E_FAIL;
}

bool AllZero(const BYTE* pb, DWORD cb)
{
    for (DWORD i = 0; i < cb; ++i)
        if (pb[i] != 0)
            return false;
    return true;
}

HRESULT NameCheck(HRESULT hrText, LPWSTR pwszText, const FilterFragmentList& lstFragments, LPCWSTR lpwszLabel)
{
    if (FAILED(hrText))
    {
        TraceResult(hrText, lpwszLabel);
        return hrText;
    }
    HRESULT hr = AnyFragmentIn(pwszText, lstFragments);
    QM_TRACE_INFO(pwszText, hr);
    delete[] pwszText;
    return hr;
}
} // namespace

HRESULT CheckCertSubjectName(PCCERT_CONTEXT pCert, DWORD dwStrType, const FilterFragmentList& lstFragments)
{
    TraceHelper trace(u"CheckCertSubjectName");
    if (lstFragments.empty())
        return S_OK;
    LPWSTR pwsz = nullptr;
    DWORD cch = 0;
    HRESULT hr = GetCertSubject(pCert, &pwsz, &cch, dwStrType);
    return NameCheck(hr, pwsz, lstFragments, u"GetCertSubjectName");
}

HRESULT CheckCertIssuer(PCCERT_CONTEXT pCert, const FilterFragmentList& lstFragments)
{
    TraceHelper trace(u"CheckCertIssuer");
    if (lstFragments.empty())
        return S_OK;
    LPWSTR pwsz = nullptr;
    DWORD cch = 0;
    HRESULT hr = GetCertIssuer(pCert, &pwsz, &cch);
    return NameCheck(hr, pwsz, lstFragments, u"GetCertIssuer");
}

HRESULT CheckCSPName(PCCERT_CONTEXT pCert, const FilterFragmentList& lstFragments)
{
    TraceHelper trace(u"CheckCSPName");
    if (lstFragments.empty())
        return S_OK;
    DWORD cb = 0;
    if (!CertGetCertificateContextProperty(pCert, CERT_KEY_PROV_INFO_PROP_ID, nullptr, &cb))
    {
        // The property call's own error, unchanged.
        HRESULT hr = static_cast<HRESULT>(GetLastError());
        TraceResult(hr, u"CertGetCertificateContextProperty(size)");
        return FAILED(hr) ? hr : E_FAIL;
    }
    BYTE* pb = new (std::nothrow) BYTE[cb];
    if (!pb)
    {
        TraceResult(E_OUTOFMEMORY, u"new(PCRYPT_KEY_PROV_INFO)");
        return E_OUTOFMEMORY;
    }
    std::memset(pb, 0, cb);
    if (!CertGetCertificateContextProperty(pCert, CERT_KEY_PROV_INFO_PROP_ID, pb, &cb))
    {
        HRESULT hr = static_cast<HRESULT>(GetLastError());
        TraceResult(hr, u"CertGetCertificateContextProperty");
        delete[] pb;
        return FAILED(hr) ? hr : E_FAIL;
    }
    auto* pInfo = reinterpret_cast<CRYPT_KEY_PROV_INFO*>(pb);
    HRESULT hr = AnyFragmentIn(pInfo->pwszProvName ? pInfo->pwszProvName : u"", lstFragments);
    QM_TRACE_INFO(pInfo->pwszProvName ? pInfo->pwszProvName : u"", hr);
    delete[] pb;
    return hr;
}

HRESULT CheckCertKeyUsage(DWORD dwMask, PCCERT_CONTEXT pCert)
{
    TraceHelper trace(u"CheckCertKeyUsage");
    if (dwMask == 0)
        return S_OK;
    DWORD dwUsage = 0, cb = 0;
    HRESULT hr = GetCertKeyUsage(pCert, &dwUsage, &cb);
    if (FAILED(hr))
    {
        TraceResult(hr, u"GetCertKeyUsage FAILED");
        return hr;
    }
    if (!(dwUsage & dwMask))
    {
        QM_TRACE(TRACE_FLAG_FAILURE, dwMask, dwUsage);
        return E_INVALID_CERT_USAGE;
    }
    return S_OK;
}

HRESULT CheckCertSubjectKeyID(const BYTE* pbKeyID, DWORD cbKeyID, PCCERT_CONTEXT pCert)
{
    TraceHelper trace(u"CheckCertSubjectKeyID");
    if (!pbKeyID)
        return S_OK;
    BYTE* pb = nullptr;
    DWORD cb = 0;
    HRESULT hr = GetCertSubjectKeyID(pCert, &pb, &cb);
    if (FAILED(hr))
        return hr;
    // Compared only over equal lengths, so a short filter is never read past its end.
    bool same = cb == cbKeyID && std::memcmp(pb, pbKeyID, cb) == 0;
    delete[] pb;
    if (!same)
    {
        QM_TRACE(TRACE_FLAG_FAILURE, cbKeyID, cb);
        return E_FAIL;
    }
    return S_OK;
}

HRESULT CheckCertSerialNumber(PCCERT_CONTEXT pCert, const BYTE* pbSerial, DWORD cbSerial)
{
    TraceHelper trace(u"CheckCertSerialNumber");
    if (!pbSerial)
        return S_OK;
    const CRYPT_INTEGER_BLOB& serial = pCert->pCertInfo->SerialNumber;
    // Equal as numbers: the longer one's extra (most significant) bytes are zero. A serial
    // written without the DER sign byte 00 still names its certificate, and a filter that
    // differs anywhere never does; nothing past cbSerial is read.
    const DWORD cbCommon = serial.cbData < cbSerial ? serial.cbData : cbSerial;
    if (std::memcmp(serial.pbData, pbSerial, cbCommon) != 0 ||
        !AllZero(serial.pbData + cbCommon, serial.cbData - cbCommon) ||
        !AllZero(pbSerial + cbCommon, cbSerial - cbCommon))
    {
        QM_TRACE(TRACE_FLAG_FAILURE, cbSerial, serial.cbData);
        return E_FAIL;
    }
    return S_OK;
}

HRESULT CheckCertSignatureAlg(LPCSTR lpszOIDPrefix, PCCERT_CONTEXT pCert)
{
    TraceHelper trace(u"CheckCertSignatureAlg");
    if (!lpszOIDPrefix)
        return S_OK;
    LPCSTR lpszOid = pCert->pCertInfo->SignatureAlgorithm.pszObjId;
    if (!lpszOid || std::strncmp(lpszOid, lpszOIDPrefix, std::strlen(lpszOIDPrefix)) != 0)
    {
        QM_TRACE(TRACE_FLAG_FAILURE, lpszOIDPrefix, lpszOid ? lpszOid : "");
        return E_FAIL;
    }
    return S_OK;
}

HRESULT CheckCertTimeValidity(const FILETIME* pCheckTime, PCCERT_CONTEXT pCert)
{
    TraceHelper trace(u"CheckCertTimeValidity");
    if (!pCheckTime)
        return S_OK;
    FILETIME ft = *pCheckTime;
    LONG lResult = CertVerifyTimeValidity(&ft, pCert->pCertInfo);
    if (lResult != 0)
    {
        QM_TRACE(TRACE_FLAG_FAILURE, lResult);
        return E_FAIL;
    }
    return S_OK;
}

void ParseFilters(LPCWSTR lpwszText, FilterFragmentList& lstFragments)
{
    TraceHelper trace(u"ParseFilters");
    if (!lpwszText)
        return;
    std::u16string text(lpwszText);
    size_t start = 0;
    while (true)
    {
        size_t hash = text.find(u'#', start);
        std::u16string fragment = text.substr(start, hash == std::u16string::npos ? std::u16string::npos : hash - start);
        if (fragment.size() > 255)
            fragment.resize(255);
        lstFragments.push_back(fragment);
        if (hash == std::u16string::npos)
            break;
        start = hash + 1;
    }
}

void RemoveAllCertificates(CertificateList& lstCerts)
{
    for (PCCERT_CONTEXT p : lstCerts)
        if (p)
            CertFreeCertificateContext(p);
    lstCerts.clear();
}

HRESULT ExtractCertificatesFromStore(HCERTSTORE hStore, CertificateList& lstCerts)
{
    TraceHelper trace(u"ExtractCertificatesFromStore");
    if (!hStore)
    {
        RemoveAllCertificates(lstCerts);
        return E_INVALIDARG;
    }
    PCCERT_CONTEXT pCert = nullptr;
    while ((pCert = CertEnumCertificatesInStore(hStore, pCert)) != nullptr)
    {
        PCCERT_CONTEXT pDup = CertDuplicateCertificateContext(pCert);
        if (!pDup)
        {
            HRESULT hr = HResultOfFailedCall();
            CertFreeCertificateContext(pCert);
            RemoveAllCertificates(lstCerts);
            return hr;
        }
        lstCerts.push_back(pDup);
    }
    return S_OK;
}

HRESULT ExtractCertificatesFromLocalStore(CertificateList& lstCerts)
{
    TraceHelper trace(u"ExtractCertificatesFromLocalStore");
    HCERTSTORE hStore = CertOpenStore(CERT_STORE_PROV_SYSTEM_W, X509_ASN_ENCODING | PKCS_7_ASN_ENCODING, 0,
                                      CERT_SYSTEM_STORE_CURRENT_USER | CERT_STORE_READONLY_FLAG, u"MY");
    if (!hStore)
    {
        HRESULT hr = HResultOfFailedCall();
        TraceResult(hr, u"CertOpenStore");
        RemoveAllCertificates(lstCerts);
        return hr;
    }
    HRESULT hr = ExtractCertificatesFromStore(hStore, lstCerts);
    if (FAILED(hr))
    {
        TraceResult(hr, u"ExtractCertificatesFromStore FAILED.");
        RemoveAllCertificates(lstCerts);
    }
    CertCloseStore(hStore, 0);
    return hr;
}

HRESULT FilterCertificates(const CERT_FILTER_INFO* pFilter, const CertificateList& lstCandidates,
                           CertificateList& lstResult)
{
    TraceHelper trace(u"FilterCertificates");
    CERT_FILTER_INFO none{};
    const CERT_FILTER_INFO& f = pFilter ? *pFilter : none;
    FilterFragmentList lstSubject, lstIssuer;
    std::list<std::u16string> lstCSP;
    ParseFilters(f.lpwszSubjectDNFilter, lstSubject);
    ParseFilters(f.lpwszIssuerDNFilter, lstIssuer);
    SplitStrings(f.lpwszCSPNameList, lstCSP);
    FilterFragmentList lstCspFragments(lstCSP.begin(), lstCSP.end());

    for (PCCERT_CONTEXT pCert : lstCandidates)
    {
        if (!pCert)
            continue;
        if (CheckCertSubjectName(pCert, CERT_X500_NAME_STR, lstSubject) != S_OK ||
            CheckCertIssuer(pCert, lstIssuer) != S_OK || CheckCertKeyUsage(f.dwKeyUsage, pCert) != S_OK ||
            CheckCertSubjectKeyID(f.pbSubjectKeyID, f.cbSubjectKeyID, pCert) != S_OK ||
            CheckCertSerialNumber(pCert, f.pbSerialNumber, f.cbSerialNumber) != S_OK ||
            CheckCertTimeValidity(f.pCheckTime, pCert) != S_OK ||
            CheckCertSignatureAlg(f.lpszSignatureAlgOIDPrefix, pCert) != S_OK ||
            CheckCSPName(pCert, lstCspFragments) != S_OK)
            continue;
        if (f.nPrivateKeyRequired == 1)
        {
            HCRYPTPROV hProv = 0;
            DWORD dwKeySpec = 0;
            BOOL fFree = FALSE;
            if (!CryptAcquireCertificatePrivateKey(pCert, 0, nullptr, &hProv, &dwKeySpec, &fFree))
            {
                TraceResult(HResultOfFailedCall(), u"CryptAcquireCertificatePrivateKey");
                continue;
            }
            if (fFree)
                CryptReleaseContext(hProv, 0);
        }
        PCCERT_CONTEXT pDup = CertDuplicateCertificateContext(pCert);
        if (!pDup)
        {
            HRESULT hr = HResultOfFailedCall();
            RemoveAllCertificates(lstResult);
            return hr;
        }
        lstResult.push_back(pDup);
    }
    return S_OK;
}

HRESULT FilterCertificatesfromLocalStore(const CERT_FILTER_INFO* pFilter, CertificateList& lstResult)
{
    TraceHelper trace(u"FilterCertificatesfromLocalStore");
    CertificateList lstAll;
    HRESULT hr = ExtractCertificatesFromLocalStore(lstAll);
    if (SUCCEEDED(hr))
        hr = FilterCertificates(pFilter, lstAll, lstResult);
    RemoveAllCertificates(lstAll);
    if (FAILED(hr))
        RemoveAllCertificates(lstResult);
    return hr;
}
