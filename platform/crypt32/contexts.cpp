// Certificate context lifetime, serialized elements, and store membership.
#include <algorithm>

#include "store.h"

namespace qm::crypt
{
std::recursive_mutex& Lock()
{
    static std::recursive_mutex m;
    return m;
}

CertElement* ElementOf(PCCERT_CONTEXT p)
{
    if (!p)
        return nullptr;
    auto* e = reinterpret_cast<CertElement*>(const_cast<CERT_CONTEXT*>(p));
    return e->magic == 0x43455254 ? e : nullptr;
}

Store* StoreOf(HCERTSTORE h)
{
    if (!h)
        return nullptr;
    auto* s = static_cast<Store*>(h);
    return s->magic == 0x53544F52 ? s : nullptr;
}

namespace
{
void MaybeFreeStore(Store* s)
{
    if (s->handleRefs > 0 || s->liveElements > 0)
        return;
    s->magic = 0;
    delete s;
}
} // namespace

void ReleaseElement(CertElement* e)
{
    if (--e->refs > 0)
        return;
    Store* s = e->store;
    e->magic = 0;
    delete e;
    if (s)
    {
        --s->liveElements;
        MaybeFreeStore(s);
    }
}

Bytes SerializeElement(const CertElement* e)
{
    std::vector<PropertyRecord> records;
    for (const auto& [id, data] : e->props)
        if (PropertyPersists(id))
            records.push_back({id, data});
    records.push_back({CERT_CERT_PROP_ID, e->encoded});
    return SerializeRecords(records);
}

HRESULT ElementFromSerialized(View blob, CertElement** ppOut)
{
    *ppOut = nullptr;
    std::vector<PropertyRecord> records;
    if (!ParseRecords(blob, &records))
        return CRYPT_E_FILE_ERROR;
    const PropertyRecord* cert = nullptr;
    for (const auto& r : records)
        if (r.id == CERT_CERT_PROP_ID)
        {
            cert = &r;
            break;
        }
    if (!cert)
        return CRYPT_E_NOT_FOUND;
    CertElement* e = nullptr;
    HRESULT hr = CreateElement(cert->data, &e);
    if (FAILED(hr))
        return hr;
    for (const auto& r : records)
        if (r.id != CERT_CERT_PROP_ID && PropertyPersists(r.id))
            e->props[r.id] = r.data;
    *ppOut = e;
    return S_OK;
}

HRESULT StoreInsert(Store* s, CertElement* e)
{
    e->store = s;
    e->ctx.hCertStore = s;
    e->inStore = true;
    e->seq = s->nextSeq++;
    ++s->liveElements;
    ++e->refs;
    s->certs.push_back(e);
    if (s->kind == StoreKind::System)
    {
        HRESULT hr = RegistryWrite(s, e);
        if (FAILED(hr))
        {
            s->certs.pop_back();
            e->inStore = false;
            ReleaseElement(e);
            return hr;
        }
    }
    return S_OK;
}

HRESULT StoreRemove(CertElement* e)
{
    Store* s = e->store;
    if (!s || !e->inStore)
        return S_OK;
    if (s->kind == StoreKind::System)
    {
        HRESULT hr = RegistryDelete(s, e);
        if (FAILED(hr))
            return hr;
    }
    auto it = std::find(s->certs.begin(), s->certs.end(), e);
    if (it != s->certs.end())
        s->certs.erase(it);
    e->inStore = false;
    ReleaseElement(e);
    return S_OK;
}

HRESULT StorePersist(CertElement* e)
{
    Store* s = e->store;
    if (!s || !e->inStore || s->kind != StoreKind::System || s->readOnly)
        return S_OK;
    return RegistryWrite(s, e);
}

// Closes a store handle; used by CertCloseStore.
void CloseStoreHandle(Store* s)
{
    if (--s->handleRefs > 0)
        return;
    // Elements that nobody else holds go now; others keep the store alive.
    std::vector<CertElement*> certs;
    certs.swap(s->certs);
    ++s->handleRefs; // keep s alive while releasing
    for (CertElement* e : certs)
    {
        e->inStore = false;
        ReleaseElement(e);
    }
    --s->handleRefs;
    MaybeFreeStore(s);
}
} // namespace qm::crypt

using namespace qm::crypt;

QMAPI PCCERT_CONTEXT WINAPI CertCreateCertificateContext(DWORD dwCertEncodingType, const BYTE* pbCertEncoded,
                                                         DWORD cbCertEncoded)
{
    if (!(dwCertEncodingType & X509_ASN_ENCODING))
    {
        SetLastError(static_cast<DWORD>(E_INVALIDARG));
        return nullptr;
    }
    if (!pbCertEncoded && cbCertEncoded)
    {
        SetLastError(static_cast<DWORD>(E_INVALIDARG));
        return nullptr;
    }
    CertElement* e = nullptr;
    HRESULT hr = CreateElement(View(pbCertEncoded, cbCertEncoded), &e);
    if (FAILED(hr))
    {
        SetLastError(static_cast<DWORD>(hr));
        return nullptr;
    }
    e->ctx.dwCertEncodingType = dwCertEncodingType & CERT_ENCODING_TYPE_MASK;
    return &e->ctx;
}

QMAPI PCCERT_CONTEXT WINAPI CertDuplicateCertificateContext(PCCERT_CONTEXT pCertContext)
{
    CertElement* e = ElementOf(pCertContext);
    if (!e)
        return nullptr;
    std::lock_guard lock(Lock());
    ++e->refs;
    return pCertContext;
}

QMAPI BOOL WINAPI CertFreeCertificateContext(PCCERT_CONTEXT pCertContext)
{
    if (!pCertContext)
        return TRUE;
    CertElement* e = ElementOf(pCertContext);
    if (!e)
        return Fail(static_cast<DWORD>(E_INVALIDARG));
    std::lock_guard lock(Lock());
    ReleaseElement(e);
    return TRUE;
}

QMAPI BOOL WINAPI CertSerializeCertificateStoreElement(PCCERT_CONTEXT pCertContext, DWORD dwFlags,
                                                       BYTE* pbElement, DWORD* pcbElement)
{
    CertElement* e = ElementOf(pCertContext);
    if (!e)
        return Fail(static_cast<DWORD>(E_INVALIDARG));
    std::lock_guard lock(Lock());
    Bytes blob = SerializeElement(e);
    return CopyOut(blob.data(), blob.size(), pbElement, pcbElement);
}
