// The record of a certificate found in a key container: create, duplicate, free.
#include <cstring>
#include <new>

#include "ContainerCertificates.h"
#include "HResult.h"
#include "Trace.h"

namespace
{
// Characters before the terminator, looking no further than the record's field.
size_t BoundedLength(LPCWSTR lpwsz)
{
    size_t n = 0;
    while (n < UNREGISTERED_NAME_CCH && lpwsz[n])
        ++n;
    return n;
}

// Present, not empty, and short enough to keep its terminator in the field.
bool FitsField(LPCWSTR lpwsz)
{
    if (!lpwsz)
        return false;
    size_t n = BoundedLength(lpwsz);
    return n > 0 && n < UNREGISTERED_NAME_CCH;
}

void CopyName(WCHAR (&wszField)[UNREGISTERED_NAME_CCH], LPCWSTR lpwsz)
{
    size_t n = BoundedLength(lpwsz);
    std::memcpy(wszField, lpwsz, n * sizeof(WCHAR));
    wszField[n] = 0;
}
} // namespace

HRESULT CertCreateUnregisteredCertContext(LPCWSTR lpwszContainerName, LPCWSTR lpwszProviderName,
                                          PCCERT_CONTEXT pCertContext, DWORD dwKeySpec,
                                          PUNREGISTERED_CERT_CONTEXT* ppRecord)
{
    TraceHelper trace(u"CertCreateUnregisteredCertContext");
    if (!pCertContext || !FitsField(lpwszProviderName) || !FitsField(lpwszContainerName) || !ppRecord)
    {
        TraceResult(E_INVALIDARG, u"Check parameter");
        return E_INVALIDARG;
    }
    QM_TRACE_INFO(lpwszProviderName, lpwszContainerName, dwKeySpec);

    auto* pRecord = new (std::nothrow) UNREGISTERED_CERT_CONTEXT;
    if (!pRecord)
    {
        TraceResult(E_OUTOFMEMORY, u"new UNREGISTERED_CERT_CONTEXT");
        return E_OUTOFMEMORY;
    }
    std::memset(pRecord, 0, sizeof(*pRecord));
    CopyName(pRecord->wszProviderName, lpwszProviderName);
    CopyName(pRecord->wszContainerName, lpwszContainerName);
    pRecord->dwKeySpec = dwKeySpec;
    pRecord->pCertContext = CertDuplicateCertificateContext(pCertContext);
    if (!pRecord->pCertContext)
    {
        HRESULT hr = HResultOfFailedCall();
        TraceResult(hr, u"CertDuplicateCertificateContext");
        delete pRecord;
        return hr;
    }
    *ppRecord = pRecord;
    return S_OK;
}

HRESULT CertDuplicateUnregisteredCertContext(const UNREGISTERED_CERT_CONTEXT* pSource,
                                             PUNREGISTERED_CERT_CONTEXT* ppRecord)
{
    TraceHelper trace(u"CertDuplicateUnregisteredCertContext");
    if (!pSource || !pSource->pCertContext || !FitsField(pSource->wszProviderName) ||
        !FitsField(pSource->wszContainerName) || !ppRecord)
    {
        TraceResult(E_INVALIDARG, u"Check parameter");
        return E_INVALIDARG;
    }
    PUNREGISTERED_CERT_CONTEXT pRecord = nullptr;
    HRESULT hr = CertCreateUnregisteredCertContext(pSource->wszContainerName, pSource->wszProviderName,
                                                   pSource->pCertContext, pSource->dwKeySpec, &pRecord);
    if (FAILED(hr))
    {
        TraceResult(hr, u"CertCreateUnregisteredCertContext");
        return hr;
    }
    *ppRecord = pRecord;
    return S_OK;
}

void CertFreeUnregisteredCertContext(PUNREGISTERED_CERT_CONTEXT pRecord)
{
    TraceHelper trace(u"CertFreeUnregisteredCertContext");
    if (!pRecord)
        return;
    if (pRecord->pCertContext)
        CertFreeCertificateContext(pRecord->pCertContext);
    delete pRecord;
}

void RemoveAllUnregisteredCertificates(UnregisteredCertificateList& lstRecords)
{
    TraceHelper trace(u"RemoveAllUnregisteredCertificates");
    for (PUNREGISTERED_CERT_CONTEXT pRecord : lstRecords)
        CertFreeUnregisteredCertContext(pRecord);
    lstRecords.clear();
}
