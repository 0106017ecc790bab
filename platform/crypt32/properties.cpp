// Certificate context properties: stored ones, and the hash properties computed on demand
// (the thumbprints are kept once computed, as Windows keeps them).
#include <cstring>

#include "store.h"

namespace qm::crypt
{
namespace
{
// Key provider information is kept as a self-relative record (all offsets from its start,
// 0 for none): container, provider name, type, flags, parameter count, parameter table
// offset, key spec; parameters of {id, data offset, size, flags}; then data and UTF-16 text.
void PutDword(Bytes& b, size_t at, DWORD v)
{
    for (int i = 0; i < 4; ++i)
        b[at + i] = static_cast<BYTE>(v >> (8 * i));
}
DWORD GetDword(View b, size_t at)
{
    if (at + 4 > b.size())
        return 0;
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<DWORD>(b[at + 3]) << 24);
}

Bytes SerializeKeyProvInfo(const CRYPT_KEY_PROV_INFO* p)
{
    const size_t head = 28;
    Bytes b(head + 16 * p->cProvParam, 0);
    auto putText = [&b](const WCHAR* s) -> DWORD {
        if (!s)
            return 0;
        DWORD off = static_cast<DWORD>(b.size());
        size_t n = WideLength(s);
        for (size_t i = 0; i <= n; ++i)
        {
            b.push_back(static_cast<BYTE>(s[i] & 0xFF));
            b.push_back(static_cast<BYTE>(s[i] >> 8));
        }
        return off;
    };
    PutDword(b, 0, putText(p->pwszContainerName));
    PutDword(b, 4, putText(p->pwszProvName));
    PutDword(b, 8, p->dwProvType);
    PutDword(b, 12, p->dwFlags);
    PutDword(b, 16, p->cProvParam);
    PutDword(b, 20, p->cProvParam ? static_cast<DWORD>(head) : 0);
    PutDword(b, 24, p->dwKeySpec);
    for (DWORD i = 0; i < p->cProvParam; ++i)
    {
        const CRYPT_KEY_PROV_PARAM& pp = p->rgProvParam[i];
        DWORD off = static_cast<DWORD>(b.size());
        if (pp.cbData && pp.pbData)
            b.insert(b.end(), pp.pbData, pp.pbData + pp.cbData);
        size_t at = head + 16 * i;
        PutDword(b, at, pp.dwParam);
        PutDword(b, at + 4, pp.cbData ? off : 0);
        PutDword(b, at + 8, pp.cbData);
        PutDword(b, at + 12, pp.dwFlags);
    }
    return b;
}

size_t Align8(size_t n) { return (n + 7) & ~size_t(7); }

// Reads a UTF-16 text at an offset; false when it runs past the end.
bool TextAt(View b, DWORD off, std::u16string* pOut, bool* pPresent)
{
    *pPresent = off != 0;
    if (!off)
        return true;
    for (size_t i = off; i + 1 < b.size(); i += 2)
    {
        char16_t ch = static_cast<char16_t>(b[i] | (b[i + 1] << 8));
        if (!ch)
            return true;
        pOut->push_back(ch);
    }
    return false;
}

BOOL ExpandKeyProvInfo(View b, void* pvData, DWORD* pcbData)
{
    if (b.size() < 28)
        return Fail(CRYPT_E_NOT_FOUND);
    std::u16string container, prov;
    bool hasContainer = false, hasProv = false;
    if (!TextAt(b, GetDword(b, 0), &container, &hasContainer) || !TextAt(b, GetDword(b, 4), &prov, &hasProv))
        return Fail(CRYPT_E_NOT_FOUND);
    DWORD cParam = GetDword(b, 16);
    DWORD paramOff = GetDword(b, 20);
    if (cParam > 1024 || (cParam && (paramOff + 16ull * cParam > b.size())))
        return Fail(CRYPT_E_NOT_FOUND);
    size_t size = Align8(sizeof(CRYPT_KEY_PROV_INFO));
    size_t paramsAt = size;
    size += Align8(sizeof(CRYPT_KEY_PROV_PARAM) * cParam);
    std::vector<size_t> dataAt(cParam);
    for (DWORD i = 0; i < cParam; ++i)
    {
        DWORD cb = GetDword(b, paramOff + 16 * i + 8);
        DWORD off = GetDword(b, paramOff + 16 * i + 4);
        if (cb && (off == 0 || static_cast<uint64_t>(off) + cb > b.size()))
            return Fail(CRYPT_E_NOT_FOUND);
        dataAt[i] = size;
        size += Align8(cb);
    }
    size_t containerAt = size;
    size += hasContainer ? (container.size() + 1) * 2 : 0;
    size_t provAt = size;
    size += hasProv ? (prov.size() + 1) * 2 : 0;

    if (!pvData)
    {
        *pcbData = static_cast<DWORD>(size);
        return TRUE;
    }
    if (*pcbData < size)
    {
        *pcbData = static_cast<DWORD>(size);
        return Fail(static_cast<DWORD>(ERROR_MORE_DATA));
    }
    BYTE* base = static_cast<BYTE*>(pvData);
    std::memset(base, 0, size);
    auto* info = reinterpret_cast<CRYPT_KEY_PROV_INFO*>(base);
    if (hasContainer)
    {
        info->pwszContainerName = reinterpret_cast<LPWSTR>(base + containerAt);
        std::memcpy(info->pwszContainerName, container.c_str(), (container.size() + 1) * 2);
    }
    if (hasProv)
    {
        info->pwszProvName = reinterpret_cast<LPWSTR>(base + provAt);
        std::memcpy(info->pwszProvName, prov.c_str(), (prov.size() + 1) * 2);
    }
    info->dwProvType = GetDword(b, 8);
    info->dwFlags = GetDword(b, 12);
    info->cProvParam = cParam;
    info->dwKeySpec = GetDword(b, 24);
    if (cParam)
    {
        info->rgProvParam = reinterpret_cast<PCRYPT_KEY_PROV_PARAM>(base + paramsAt);
        for (DWORD i = 0; i < cParam; ++i)
        {
            CRYPT_KEY_PROV_PARAM& pp = info->rgProvParam[i];
            pp.dwParam = GetDword(b, paramOff + 16 * i);
            pp.cbData = GetDword(b, paramOff + 16 * i + 8);
            pp.dwFlags = GetDword(b, paramOff + 16 * i + 12);
            if (pp.cbData)
            {
                pp.pbData = base + dataAt[i];
                std::memcpy(pp.pbData, b.data() + GetDword(b, paramOff + 16 * i + 4), pp.cbData);
            }
        }
    }
    *pcbData = static_cast<DWORD>(size);
    return TRUE;
}

// The subject key identifier extension's value, if the certificate has one.
bool SubjectKeyIdentifier(const CertElement* e, Bytes* pOut)
{
    for (DWORD i = 0; i < e->info.cExtension; ++i)
    {
        if (std::strcmp(e->info.rgExtension[i].pszObjId, szOID_SUBJECT_KEY_IDENTIFIER) == 0)
        {
            HRESULT hr = S_OK;
            auto os = der::ReadSingle(View(e->info.rgExtension[i].Value.pbData, e->info.rgExtension[i].Value.cbData),
                                      der::kOctetString, &hr);
            if (!os)
                return false;
            pOut->assign(os->content.begin(), os->content.end());
            return true;
        }
    }
    return false;
}

View PublicKeyBits(const CertElement* e)
{
    return View(e->info.SubjectPublicKeyInfo.PublicKey.pbData, e->info.SubjectPublicKeyInfo.PublicKey.cbData);
}
} // namespace

bool PropertyPersists(DWORD id)
{
    return id != CERT_KEY_PROV_HANDLE_PROP_ID && id != CERT_KEY_CONTEXT_PROP_ID && id != CERT_ACCESS_STATE_PROP_ID &&
           id != CERT_CERT_PROP_ID;
}
} // namespace qm::crypt

using namespace qm::crypt;

QMAPI BOOL WINAPI CertGetCertificateContextProperty(PCCERT_CONTEXT pCertContext, DWORD dwPropId, void* pvData,
                                                    DWORD* pcbData)
{
    CertElement* e = ElementOf(pCertContext);
    if (!e || !pcbData)
        return Fail(static_cast<DWORD>(E_INVALIDARG));
    std::lock_guard lock(Lock());
    auto it = e->props.find(dwPropId);
    if (dwPropId == CERT_KEY_PROV_INFO_PROP_ID)
    {
        if (it == e->props.end())
            return Fail(CRYPT_E_NOT_FOUND);
        return ExpandKeyProvInfo(it->second, pvData, pcbData);
    }
    if (it != e->props.end())
        return CopyOut(it->second.data(), it->second.size(), pvData, pcbData);

    Bytes value;
    switch (dwPropId)
    {
    case CERT_SHA1_HASH_PROP_ID:
        value = Sha1(e->encoded);
        break;
    case CERT_MD5_HASH_PROP_ID:
        value = Md5(e->encoded);
        break;
    case CERT_SHA256_HASH_PROP_ID:
        value = Sha256(e->encoded);
        break;
    case CERT_KEY_IDENTIFIER_PROP_ID:
        if (!SubjectKeyIdentifier(e, &value))
            value = Sha1(PublicKeyBits(e));
        break;
    case CERT_SUBJECT_PUBLIC_KEY_MD5_HASH_PROP_ID:
        value = Md5(PublicKeyBits(e));
        break;
    case CERT_SUBJECT_NAME_MD5_HASH_PROP_ID:
        value = Md5(View(e->info.Subject.pbData, e->info.Subject.cbData));
        break;
    case CERT_KEY_SPEC_PROP_ID: {
        auto kp = e->props.find(CERT_KEY_PROV_INFO_PROP_ID);
        if (kp == e->props.end() || kp->second.size() < 28)
            return Fail(CRYPT_E_NOT_FOUND);
        value.assign(kp->second.begin() + 24, kp->second.begin() + 28);
        break;
    }
    case CERT_ACCESS_STATE_PROP_ID: {
        DWORD state = 0;
        if (e->store && e->inStore && e->store->kind == StoreKind::System)
        {
            state |= CERT_ACCESS_STATE_SYSTEM_STORE_FLAG;
            if (e->store->localMachine)
                state |= CERT_ACCESS_STATE_LM_SYSTEM_STORE_FLAG;
            if (!e->store->readOnly)
                state |= CERT_ACCESS_STATE_WRITE_PERSIST_FLAG;
        }
        value.resize(4);
        std::memcpy(value.data(), &state, 4);
        break;
    }
    default:
        return Fail(CRYPT_E_NOT_FOUND);
    }
    if (dwPropId == CERT_SHA1_HASH_PROP_ID || dwPropId == CERT_MD5_HASH_PROP_ID)
    {
        // Windows keeps a computed thumbprint as a property of the context, written with its
        // store as any other property; a store that cannot be written keeps it in memory.
        e->props[dwPropId] = value;
        (void)StorePersist(e);
    }
    return CopyOut(value.data(), value.size(), pvData, pcbData);
}

QMAPI BOOL WINAPI CertSetCertificateContextProperty(PCCERT_CONTEXT pCertContext, DWORD dwPropId, DWORD dwFlags,
                                                    const void* pvData)
{
    CertElement* e = ElementOf(pCertContext);
    if (!e || dwPropId == 0 || dwPropId == CERT_ACCESS_STATE_PROP_ID || dwPropId == CERT_CERT_PROP_ID)
        return Fail(static_cast<DWORD>(E_INVALIDARG));
    std::lock_guard lock(Lock());
    Bytes previous;
    bool had = false;
    if (auto it = e->props.find(dwPropId); it != e->props.end())
    {
        previous = it->second;
        had = true;
    }
    if (!pvData)
    {
        e->props.erase(dwPropId);
    }
    else
    {
        Bytes value;
        switch (dwPropId)
        {
        case CERT_KEY_PROV_INFO_PROP_ID:
            value = SerializeKeyProvInfo(static_cast<const CRYPT_KEY_PROV_INFO*>(pvData));
            break;
        case CERT_KEY_PROV_HANDLE_PROP_ID: {
            HCRYPTPROV h = *static_cast<const HCRYPTPROV*>(pvData);
            value.resize(sizeof(h));
            std::memcpy(value.data(), &h, sizeof(h));
            break;
        }
        case CERT_KEY_SPEC_PROP_ID: {
            DWORD v = *static_cast<const DWORD*>(pvData);
            value.resize(4);
            std::memcpy(value.data(), &v, 4);
            break;
        }
        default: {
            auto* blob = static_cast<const CRYPT_DATA_BLOB*>(pvData);
            if (blob->cbData && !blob->pbData)
                return Fail(static_cast<DWORD>(E_INVALIDARG));
            value.assign(blob->pbData, blob->pbData + blob->cbData);
            break;
        }
        }
        e->props[dwPropId] = std::move(value);
    }
    if (PropertyPersists(dwPropId) && !(dwFlags & CERT_SET_PROPERTY_INHIBIT_PERSIST_FLAG))
    {
        HRESULT hr = StorePersist(e);
        if (FAILED(hr) && !(dwFlags & CERT_SET_PROPERTY_IGNORE_PERSIST_ERROR_FLAG))
        {
            if (had)
                e->props[dwPropId] = previous;
            else
                e->props.erase(dwPropId);
            return Fail(hr);
        }
    }
    return TRUE;
}

QMAPI DWORD WINAPI CertEnumCertificateContextProperties(PCCERT_CONTEXT pCertContext, DWORD dwPropId)
{
    CertElement* e = ElementOf(pCertContext);
    if (!e)
        return 0;
    std::lock_guard lock(Lock());
    auto it = e->props.upper_bound(dwPropId);
    return it == e->props.end() ? 0 : it->first;
}
