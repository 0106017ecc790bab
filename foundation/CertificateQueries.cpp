// One item of a certificate: names, serial, key usage, identifiers, dates, its CSP.
#include <cstring>
#include <new>

#include "CertificateFilter.h"
#include "HResult.h"
#include "TextEncoding.h"
#include "Trace.h"

namespace
{
const DWORD kEncoding = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;

template <class T>
T* NewZeroed(size_t n)
{
    T* p = new (std::nothrow) T[n ? n : 1];
    if (p)
        std::memset(p, 0, sizeof(T) * (n ? n : 1));
    return p;
}

HRESULT NameText(PCCERT_CONTEXT pCert, CERT_NAME_BLOB* pName, DWORD dwStrType, LPWSTR* ppwsz, DWORD* pcch)
{
    if (!pCert || !ppwsz || !pcch)
        return E_INVALIDARG;
    *ppwsz = nullptr;
    DWORD dwType = dwStrType | CERT_NAME_STR_REVERSE_FLAG | CERT_NAME_STR_NO_QUOTING_FLAG;
    DWORD cch = CertNameToStrW(kEncoding, pName, dwType, nullptr, 0);
    LPWSTR pwsz = NewZeroed<WCHAR>(cch);
    if (!pwsz)
    {
        TraceResult(E_OUTOFMEMORY, u"Dispatch memory failed.");
        return E_OUTOFMEMORY;
    }
    if (CertNameToStrW(kEncoding, pName, dwType, pwsz, cch) == 0)
    {
        HRESULT hr = HResultOfFailedCall();
        TraceResult(hr, u"CertNameToStr");
        delete[] pwsz;
        return hr;
    }
    *ppwsz = pwsz;
    *pcch = cch;
    return S_OK;
}

// The value of an extension decoded as the given type, into a new buffer.
HRESULT DecodeExtension(PCCERT_CONTEXT pCert, LPCSTR lpszOid, LPCSTR lpszType, HRESULT hrMissing, BYTE** ppb)
{
    PCERT_EXTENSION pExt =
        CertFindExtension(lpszOid, pCert->pCertInfo->cExtension, pCert->pCertInfo->rgExtension);
    if (!pExt)
    {
        TraceResult(hrMissing, u"CertFindExtension");
        return hrMissing;
    }
    DWORD cb = 0;
    if (!CryptDecodeObjectEx(kEncoding, lpszType, pExt->Value.pbData, pExt->Value.cbData, 0, nullptr, nullptr, &cb))
    {
        HRESULT hr = HResultOfFailedCall();
        TraceResult(hr, u"CryptDecodeObjectEx");
        return hr;
    }
    BYTE* pb = NewZeroed<BYTE>(cb);
    if (!pb)
        return E_OUTOFMEMORY;
    if (!CryptDecodeObjectEx(kEncoding, lpszType, pExt->Value.pbData, pExt->Value.cbData, 0, nullptr, pb, &cb))
    {
        HRESULT hr = HResultOfFailedCall();
        TraceResult(hr, u"CryptDecodeObjectEx");
        delete[] pb;
        return hr;
    }
    *ppb = pb;
    return S_OK;
}

HRESULT ProviderText(PCCERT_CONTEXT pCert, DWORD dwParam, LPWSTR* ppwsz, DWORD* pcch)
{
    if (!pCert || !ppwsz || !pcch)
        return E_INVALIDARG;
    *ppwsz = nullptr;
    HCRYPTPROV hProv = 0;
    DWORD dwKeySpec = 0;
    BOOL fFree = FALSE;
    if (!CryptAcquireCertificatePrivateKey(pCert, 0, nullptr, &hProv, &dwKeySpec, &fFree))
    {
        HRESULT hr = HResultOfFailedCall();
        TraceResult(hr, u"CryptAcquireCertificatePrivateKey FAILED.");
        return hr;
    }
    BYTE* pb = nullptr;
    DWORD cb = 0;
    HRESULT hr = GetProviderInfo(&cb, hProv, dwParam, &pb);
    if (fFree)
        CryptReleaseContext(hProv, 0);
    if (FAILED(hr))
    {
        TraceResult(hr, u"GetProviderInfo FAILED.");
        delete[] pb;
        return hr;
    }
    hr = UTF8ToUTF16(reinterpret_cast<LPCSTR>(pb), ppwsz, pcch);
    delete[] pb;
    if (FAILED(hr))
    {
        TraceResult(hr, u"UTF8ToUTF16 FAILED.");
        delete[] *ppwsz;
        *ppwsz = nullptr;
    }
    return hr;
}

HRESULT DateOf(const FILETIME& ft, SYSTEMTIME* pTime, DWORD* pcb)
{
    if (!pTime || !pcb)
        return E_INVALIDARG;
    if (!FileTimeToSystemTime(&ft, pTime))
        return HResultOfFailedCall();
    *pcb = sizeof(SYSTEMTIME);
    return S_OK;
}
} // namespace

HRESULT GetProviderInfo(DWORD* pcbData, HCRYPTPROV hProv, DWORD dwParam, BYTE** ppbData)
{
    TraceHelper trace(u"GetProviderInfo");
    if (!pcbData || !ppbData)
        return E_INVALIDARG;
    DWORD cb = 0;
    if (!CryptGetProvParam(hProv, dwParam, nullptr, &cb, 0))
    {
        HRESULT hr = HResultOfFailedCall();
        TraceResult(hr, u"CryptGetProvParam");
        return hr;
    }
    if (cb == 0)
    {
        QM_TRACE_ERROR(dwParam);
        return E_FAIL;
    }
    BYTE* pb = NewZeroed<BYTE>(cb);
    if (!pb)
    {
        TraceResult(E_OUTOFMEMORY, u"New Memory");
        return E_OUTOFMEMORY;
    }
    *ppbData = pb;
    *pcbData = cb;
    if (!CryptGetProvParam(hProv, dwParam, pb, &cb, 0))
    {
        HRESULT hr = HResultOfFailedCall();
        TraceResult(hr, u"CryptGetProvParam");
        return hr;
    }
    *pcbData = cb;
    return S_OK;
}

HRESULT GetCertCN(PCCERT_CONTEXT pCert, LPWSTR* ppwszName, DWORD* pcchName)
{
    TraceHelper trace(u"GetCertCN");
    if (!pCert || !ppwszName || !pcchName)
        return E_INVALIDARG;
    *ppwszName = nullptr;
    DWORD cch = CertGetNameStringW(pCert, CERT_NAME_SIMPLE_DISPLAY_TYPE, 0, nullptr, nullptr, 0);
    LPWSTR pwsz = NewZeroed<WCHAR>(cch);
    if (!pwsz)
    {
        TraceResult(E_OUTOFMEMORY, u"New memory failed.");
        return E_OUTOFMEMORY;
    }
    if (CertGetNameStringW(pCert, CERT_NAME_SIMPLE_DISPLAY_TYPE, 0, nullptr, pwsz, cch) == 0)
    {
        HRESULT hr = HResultOfFailedCall();
        TraceResult(hr, u"CertGetNameString");
        delete[] pwsz;
        return hr;
    }
    *ppwszName = pwsz;
    *pcchName = cch;
    return S_OK;
}

HRESULT GetCertSubject(PCCERT_CONTEXT pCert, LPWSTR* ppwszSubject, DWORD* pcchSubject, DWORD dwStrType)
{
    TraceHelper trace(u"GetCertSubject");
    return NameText(pCert, pCert ? &pCert->pCertInfo->Subject : nullptr, dwStrType, ppwszSubject, pcchSubject);
}

HRESULT GetCertIssuer(PCCERT_CONTEXT pCert, LPWSTR* ppwszIssuer, DWORD* pcchIssuer)
{
    TraceHelper trace(u"GetCertIssuer");
    return NameText(pCert, pCert ? &pCert->pCertInfo->Issuer : nullptr, CERT_X500_NAME_STR, ppwszIssuer, pcchIssuer);
}

HRESULT GetCertKeyUsage(PCCERT_CONTEXT pCert, DWORD* pdwKeyUsage, DWORD* pcbKeyUsage)
{
    TraceHelper trace(u"GetCertKeyUsage");
    if (!pCert || !pdwKeyUsage || !pcbKeyUsage)
        return E_INVALIDARG;
    BYTE* pb = nullptr;
    HRESULT hr = DecodeExtension(pCert, szOID_KEY_USAGE, X509_KEY_USAGE, E_NO_KEY_USAGE_ATTRIBUTE, &pb);
    if (FAILED(hr))
        return hr;
    auto* pBits = reinterpret_cast<CRYPT_BIT_BLOB*>(pb);
    *pdwKeyUsage = pBits->cbData ? pBits->pbData[0] : 0;
    *pcbKeyUsage = sizeof(DWORD);
    delete[] pb;
    return S_OK;
}

HRESULT GetCertSerialNumber(BYTE** ppbSerial, PCCERT_CONTEXT pCert, DWORD* pcbSerial)
{
    TraceHelper trace(u"GetCertSerialNumber");
    if (!pCert || !ppbSerial || !pcbSerial)
        return E_INVALIDARG;
    const CRYPT_INTEGER_BLOB& serial = pCert->pCertInfo->SerialNumber;
    BYTE* pb = NewZeroed<BYTE>(serial.cbData);
    if (!pb)
    {
        TraceResult(E_OUTOFMEMORY, u"Dispatch memory failed.");
        return E_OUTOFMEMORY;
    }
    std::memcpy(pb, serial.pbData, serial.cbData);
    *ppbSerial = pb;
    *pcbSerial = serial.cbData;
    return S_OK;
}

HRESULT GetCertSubjectKeyID(PCCERT_CONTEXT pCert, BYTE** ppbKeyID, DWORD* pcbKeyID)
{
    TraceHelper trace(u"GetCertSubjectKeyID");
    if (!pCert || !pcbKeyID)
        return E_INVALIDARG;
    BYTE* pb = nullptr;
    HRESULT hr =
        DecodeExtension(pCert, szOID_SUBJECT_KEY_IDENTIFIER, szOID_SUBJECT_KEY_IDENTIFIER, E_NO_SUBJECT_KEY_ID_ATTRIBUTE, &pb);
    if (FAILED(hr))
        return hr;
    auto* pBlob = reinterpret_cast<CRYPT_DATA_BLOB*>(pb);
    *pcbKeyID = pBlob->cbData;
    if (ppbKeyID)
    {
        *ppbKeyID = NewZeroed<BYTE>(pBlob->cbData);
        if (!*ppbKeyID)
            hr = E_OUTOFMEMORY;
        else
            std::memcpy(*ppbKeyID, pBlob->pbData, pBlob->cbData);
    }
    delete[] pb;
    return hr;
}

HRESULT GetCertProviderName(PCCERT_CONTEXT pCert, LPWSTR* ppwszName, DWORD* pcchName)
{
    TraceHelper trace(u"GetCertProviderName");
    return ProviderText(pCert, PP_NAME, ppwszName, pcchName);
}

HRESULT GetCertContainerName(PCCERT_CONTEXT pCert, LPWSTR* ppwszName, DWORD* pcchName)
{
    TraceHelper trace(u"GetCertContainerName");
    return ProviderText(pCert, PP_CONTAINER, ppwszName, pcchName);
}

HRESULT GetCertToDate(PCCERT_CONTEXT pCert, SYSTEMTIME* pTime, DWORD* pcbTime)
{
    TraceHelper trace(u"GetCertToDate");
    if (!pCert)
        return E_INVALIDARG;
    return DateOf(pCert->pCertInfo->NotAfter, pTime, pcbTime);
}

HRESULT GetCertFromDate(PCCERT_CONTEXT pCert, SYSTEMTIME* pTime, DWORD* pcbTime)
{
    TraceHelper trace(u"GetCertFromDate");
    if (!pCert)
        return E_INVALIDARG;
    return DateOf(pCert->pCertInfo->NotBefore, pTime, pcbTime);
}

HRESULT QueryCertContextInfo(DWORD* pcbItem, void* pvItem, PCCERT_CONTEXT pCert, DWORD dwType)
{
    TraceHelper trace(u"QueryCertContextInfo");
    QM_TRACE_INFO(dwType);
    switch (dwType)
    {
    case CERT_QUERY_SUBJECT:
        return GetCertSubject(pCert, static_cast<LPWSTR*>(pvItem), pcbItem, CERT_X500_NAME_STR);
    case CERT_QUERY_SUBJECT_SIMPLE:
        return GetCertSubject(pCert, static_cast<LPWSTR*>(pvItem), pcbItem, CERT_SIMPLE_NAME_STR);
    case CERT_QUERY_ISSUER:
        return GetCertIssuer(pCert, static_cast<LPWSTR*>(pvItem), pcbItem);
    case CERT_QUERY_SERIAL_NUMBER:
        return GetCertSerialNumber(static_cast<BYTE**>(pvItem), pCert, pcbItem);
    case CERT_QUERY_CSP_NAME:
        return GetCertProviderName(pCert, static_cast<LPWSTR*>(pvItem), pcbItem);
    case CERT_QUERY_NOT_AFTER:
        return GetCertToDate(pCert, static_cast<SYSTEMTIME*>(pvItem), pcbItem);
    case CERT_QUERY_NOT_BEFORE:
        return GetCertFromDate(pCert, static_cast<SYSTEMTIME*>(pvItem), pcbItem);
    case CERT_QUERY_SUBJECT_KEY_ID:
        return GetCertSubjectKeyID(pCert, static_cast<BYTE**>(pvItem), pcbItem);
    case CERT_QUERY_KEY_USAGE:
        return GetCertKeyUsage(pCert, static_cast<DWORD*>(pvItem), pcbItem);
    case CERT_QUERY_CONTAINER_NAME:
        return GetCertContainerName(pCert, static_cast<LPWSTR*>(pvItem), pcbItem);
    case CERT_QUERY_COMMON_NAME:
        return GetCertCN(pCert, static_cast<LPWSTR*>(pvItem), pcbItem);
    default:
        return E_QUERY_TYPE_NOT_SUPPORTED;
    }
}
