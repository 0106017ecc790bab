// CertOpenStore and the store operations: memory, system (registry) and PKCS#7 stores.
#include <cstring>

#include "csp_calls.h"
#include "qm/machine.h"
#include "store.h"
#include "winreg.h"

namespace qm::crypt
{
void CloseStoreHandle(Store* s);
}

QMAPI DWORD WINAPI CertNameToStrW(DWORD dwCertEncodingType, PCERT_NAME_BLOB pName, DWORD dwStrType, LPWSTR psz,
                                  DWORD csz);

using namespace qm::crypt;

namespace
{
bool ProviderIs(LPCSTR provider, LPCSTR id, const char* name)
{
    if (provider == id)
        return true;
    if (reinterpret_cast<ULONG_PTR>(provider) < 0x10000)
        return false;
    return strcasecmp(provider, name) == 0;
}

HCERTSTORE OpenSystemStore(Store* s, DWORD dwFlags, std::u16string name)
{
    DWORD location = dwFlags & CERT_SYSTEM_STORE_LOCATION_MASK;
    if (location == CERT_SYSTEM_STORE_CURRENT_USER)
    {
        s->root = HKEY_CURRENT_USER;
        s->certsKeyPath = u"Software\\Microsoft\\SystemCertificates\\";
    }
    else if (location == CERT_SYSTEM_STORE_LOCAL_MACHINE)
    {
        s->root = HKEY_LOCAL_MACHINE;
        s->certsKeyPath = u"SOFTWARE\\Microsoft\\SystemCertificates\\";
        s->localMachine = true;
    }
    else
    {
        SetLastError(static_cast<DWORD>(E_INVALIDARG));
        return nullptr;
    }
    if (name.empty() || name.size() > 255 || name.find(u'\\') != std::u16string::npos)
    {
        SetLastError(static_cast<DWORD>(E_INVALIDARG));
        return nullptr;
    }
    std::u16string storeKey = s->certsKeyPath + name;
    s->certsKeyPath = storeKey + u"\\Certificates";

    if (dwFlags & CERT_STORE_DELETE_FLAG)
    {
        if (s->localMachine && !qm::IsProcessElevated())
        {
            SetLastError(ERROR_ACCESS_DENIED);
            return nullptr;
        }
        LSTATUS st = RegDeleteTreeW(s->root, storeKey.c_str());
        SetLastError(st == ERROR_SUCCESS ? 0 : static_cast<DWORD>(st));
        return nullptr;
    }

    s->readOnly = (dwFlags & CERT_STORE_READONLY_FLAG) != 0;
    if (!s->readOnly)
    {
        bool allowed = !s->localMachine || qm::IsProcessElevated();
        HKEY hKey = nullptr;
        LSTATUS st = ERROR_ACCESS_DENIED;
        if (allowed)
        {
            if (dwFlags & CERT_STORE_OPEN_EXISTING_FLAG)
                st = RegOpenKeyExW(s->root, s->certsKeyPath.c_str(), 0, KEY_ALL_ACCESS, &hKey);
            else
                st = RegCreateKeyExW(s->root, s->certsKeyPath.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                     KEY_ALL_ACCESS, nullptr, &hKey, nullptr);
        }
        if (st == ERROR_SUCCESS)
        {
            RegCloseKey(hKey);
        }
        else if ((dwFlags & CERT_STORE_MAXIMUM_ALLOWED_FLAG) && st == ERROR_ACCESS_DENIED)
        {
            s->readOnly = true;
        }
        else
        {
            SetLastError(static_cast<DWORD>(st));
            return nullptr;
        }
    }
    if (s->readOnly && (dwFlags & CERT_STORE_OPEN_EXISTING_FLAG))
    {
        HKEY hKey = nullptr;
        LSTATUS st = RegOpenKeyExW(s->root, s->certsKeyPath.c_str(), 0, KEY_READ, &hKey);
        if (st != ERROR_SUCCESS)
        {
            SetLastError(static_cast<DWORD>(st));
            return nullptr;
        }
        RegCloseKey(hKey);
    }
    HRESULT hr = LoadRegistryStore(s);
    if (FAILED(hr))
    {
        SetLastError(static_cast<DWORD>(hr));
        return nullptr;
    }
    return s;
}

std::u16string NarrowToWide(const char* psz)
{
    return psz ? Utf8ToUtf16(psz) : std::u16string();
}

bool SameCertificate(const CertElement* a, const CertElement* b) { return a->encoded == b->encoded; }

CertElement* FindExisting(Store* s, const CertElement* e)
{
    for (CertElement* c : s->certs)
        if (SameCertificate(c, e))
            return c;
    return nullptr;
}

LONG CompareFt(const FILETIME& a, const FILETIME& b)
{
    uint64_t x = (static_cast<uint64_t>(a.dwHighDateTime) << 32) | a.dwLowDateTime;
    uint64_t y = (static_cast<uint64_t>(b.dwHighDateTime) << 32) | b.dwLowDateTime;
    return x < y ? -1 : (x > y ? 1 : 0);
}

// The add operation shared by both add functions. source supplies the encoding and the
// properties the store's new context starts with.
BOOL AddElement(Store* s, const CertElement* source, DWORD disposition, PCCERT_CONTEXT* ppOut)
{
    if (ppOut)
        *ppOut = nullptr;
    if (disposition < CERT_STORE_ADD_NEW || disposition > CERT_STORE_ADD_NEWER_INHERIT_PROPERTIES)
        return Fail(static_cast<DWORD>(E_INVALIDARG));
    if (s->readOnly)
        return Fail(static_cast<DWORD>(E_ACCESSDENIED));

    CertElement* existing = disposition == CERT_STORE_ADD_ALWAYS ? nullptr : FindExisting(s, source);
    bool inherit = false;
    if (existing)
    {
        switch (disposition)
        {
        case CERT_STORE_ADD_NEW:
            return Fail(CRYPT_E_EXISTS);
        case CERT_STORE_ADD_USE_EXISTING: {
            auto saved = existing->props;
            for (const auto& [id, data] : source->props)
                existing->props[id] = data;
            if (existing->props != saved)
            {
                HRESULT hr = StorePersist(existing);
                if (FAILED(hr))
                {
                    existing->props = saved;
                    return Fail(hr);
                }
            }
            if (ppOut)
            {
                ++existing->refs;
                *ppOut = &existing->ctx;
            }
            return TRUE;
        }
        case CERT_STORE_ADD_NEWER:
        case CERT_STORE_ADD_NEWER_INHERIT_PROPERTIES:
            if (CompareFt(existing->info.NotBefore, source->info.NotBefore) >= 0)
                return Fail(CRYPT_E_EXISTS);
            inherit = disposition == CERT_STORE_ADD_NEWER_INHERIT_PROPERTIES;
            break;
        case CERT_STORE_ADD_REPLACE_EXISTING_INHERIT_PROPERTIES:
            inherit = true;
            break;
        default:
            break;
        }
    }

    CertElement* e = nullptr;
    HRESULT hr = CreateElement(source->encoded, &e);
    if (FAILED(hr))
        return Fail(hr);
    e->ctx.dwCertEncodingType = source->ctx.dwCertEncodingType;
    if (inherit && existing)
        e->props = existing->props;
    for (const auto& [id, data] : source->props)
        e->props[id] = data;
    if (existing)
    {
        e->regKeyName = existing->regKeyName;
        hr = StoreRemove(existing);
        if (FAILED(hr))
        {
            ReleaseElement(e);
            return Fail(hr);
        }
    }
    hr = StoreInsert(s, e);
    if (FAILED(hr))
    {
        ReleaseElement(e);
        return Fail(hr);
    }
    if (ppOut)
        *ppOut = &e->ctx;
    else
        ReleaseElement(e);
    return TRUE;
}

bool NameContains(DWORD enc, CERT_NAME_BLOB* name, const WCHAR* needle)
{
    DWORD n = CertNameToStrW(enc, name, CERT_X500_NAME_STR, nullptr, 0);
    std::u16string text(n, 0);
    CertNameToStrW(enc, name, CERT_X500_NAME_STR, text.data(), n);
    text.resize(WideLength(text.c_str()));
    std::u16string pat(needle, WideLength(needle));
    auto lower = [](std::u16string v) {
        for (auto& ch : v)
            if (ch >= u'A' && ch <= u'Z')
                ch = static_cast<char16_t>(ch + 32);
        return v;
    };
    return lower(text).find(lower(pat)) != std::u16string::npos;
}
} // namespace

QMAPI HCERTSTORE WINAPI CertOpenStore(LPCSTR lpszStoreProvider, DWORD dwEncodingType, HCRYPTPROV_LEGACY hCryptProv,
                                      DWORD dwFlags, const void* pvPara)
{
    std::lock_guard lock(Lock());
    auto s = std::make_unique<Store>();
    if (ProviderIs(lpszStoreProvider, CERT_STORE_PROV_MEMORY, sz_CERT_STORE_PROV_MEMORY))
    {
        s->kind = StoreKind::Memory;
        s->readOnly = (dwFlags & CERT_STORE_READONLY_FLAG) != 0;
    }
    else if (ProviderIs(lpszStoreProvider, CERT_STORE_PROV_SYSTEM_W, sz_CERT_STORE_PROV_SYSTEM_W) ||
             lpszStoreProvider == CERT_STORE_PROV_SYSTEM_REGISTRY_W)
    {
        s->kind = StoreKind::System;
        if (!pvPara)
        {
            SetLastError(static_cast<DWORD>(E_INVALIDARG));
            return nullptr;
        }
        auto* name = static_cast<const WCHAR*>(pvPara);
        if (!OpenSystemStore(s.get(), dwFlags, std::u16string(name, WideLength(name))))
            return nullptr;
    }
    else if (lpszStoreProvider == CERT_STORE_PROV_SYSTEM_A || lpszStoreProvider == CERT_STORE_PROV_SYSTEM_REGISTRY_A)
    {
        s->kind = StoreKind::System;
        if (!pvPara)
        {
            SetLastError(static_cast<DWORD>(E_INVALIDARG));
            return nullptr;
        }
        if (!OpenSystemStore(s.get(), dwFlags, NarrowToWide(static_cast<const char*>(pvPara))))
            return nullptr;
    }
    else if (ProviderIs(lpszStoreProvider, CERT_STORE_PROV_PKCS7, sz_CERT_STORE_PROV_PKCS7))
    {
        s->kind = StoreKind::Pkcs7;
        auto* blob = static_cast<const CRYPT_DATA_BLOB*>(pvPara);
        if (!blob || (!blob->pbData && blob->cbData))
        {
            SetLastError(static_cast<DWORD>(E_INVALIDARG));
            return nullptr;
        }
        std::vector<Bytes> certs;
        HRESULT hr = ParsePkcs7Certificates(View(blob->pbData, blob->cbData), &certs);
        if (FAILED(hr))
        {
            SetLastError(static_cast<DWORD>(hr));
            return nullptr;
        }
        for (const Bytes& c : certs)
        {
            CertElement* e = nullptr;
            hr = CreateElement(c, &e);
            if (FAILED(hr))
            {
                for (CertElement* x : s->certs)
                    ReleaseElement(x);
                SetLastError(static_cast<DWORD>(hr));
                return nullptr;
            }
            e->ctx.dwCertEncodingType = X509_ASN_ENCODING;
            StoreInsert(s.get(), e);
            ReleaseElement(e);
        }
        s->readOnly = (dwFlags & CERT_STORE_READONLY_FLAG) != 0;
    }
    else
    {
        SetLastError(static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
        return nullptr;
    }
    if (hCryptProv && !(dwFlags & CERT_STORE_NO_CRYPT_RELEASE_FLAG))
        s->provToRelease = hCryptProv;
    return s.release();
}

QMAPI HCERTSTORE WINAPI CertOpenSystemStoreW(HCRYPTPROV_LEGACY hProv, LPCWSTR szSubsystemProtocol)
{
    return CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, hProv,
                         CERT_SYSTEM_STORE_CURRENT_USER | CERT_STORE_NO_CRYPT_RELEASE_FLAG, szSubsystemProtocol);
}

QMAPI HCERTSTORE WINAPI CertDuplicateStore(HCERTSTORE hCertStore)
{
    Store* s = StoreOf(hCertStore);
    if (!s)
        return nullptr;
    std::lock_guard lock(Lock());
    ++s->handleRefs;
    return s;
}

QMAPI BOOL WINAPI CertCloseStore(HCERTSTORE hCertStore, DWORD dwFlags)
{
    if (!hCertStore)
        return TRUE;
    Store* s = StoreOf(hCertStore);
    if (!s)
        return Fail(static_cast<DWORD>(E_INVALIDARG));
    HCRYPTPROV prov = 0;
    bool pending = false;
    {
        std::lock_guard lock(Lock());
        if (s->handleRefs == 1)
        {
            prov = s->provToRelease;
            s->provToRelease = 0;
        }
        // Contexts that outlive the store keep it alive (CheckFlag reports them).
        size_t idle = 0;
        for (CertElement* e : s->certs)
            if (e->refs == 1)
                ++idle;
        pending = s->handleRefs == 1 && static_cast<size_t>(s->liveElements) > idle;
        CloseStoreHandle(s);
    }
    if (prov && ProviderDispatchPresent())
        CryptReleaseContext(prov, 0);
    if (pending && (dwFlags & CERT_CLOSE_STORE_CHECK_FLAG))
        return Fail(CRYPT_E_PENDING_CLOSE);
    return TRUE;
}

QMAPI PCCERT_CONTEXT WINAPI CertEnumCertificatesInStore(HCERTSTORE hCertStore, PCCERT_CONTEXT pPrevCertContext)
{
    Store* s = StoreOf(hCertStore);
    std::lock_guard lock(Lock());
    CertElement* prev = ElementOf(pPrevCertContext);
    if (!s || (pPrevCertContext && (!prev || prev->store != s)))
    {
        if (prev)
            ReleaseElement(prev);
        SetLastError(static_cast<DWORD>(E_INVALIDARG));
        return nullptr;
    }
    uint64_t after = prev ? prev->seq : 0;
    if (prev)
        ReleaseElement(prev);
    for (CertElement* e : s->certs)
    {
        if (e->seq > after)
        {
            ++e->refs;
            return &e->ctx;
        }
    }
    SetLastError(static_cast<DWORD>(CRYPT_E_NOT_FOUND));
    return nullptr;
}

QMAPI PCCERT_CONTEXT WINAPI CertFindCertificateInStore(HCERTSTORE hCertStore, DWORD dwCertEncodingType,
                                                       DWORD dwFindFlags, DWORD dwFindType, const void* pvFindPara,
                                                       PCCERT_CONTEXT pPrevCertContext)
{
    if (dwFindType != CERT_FIND_ANY && dwFindType != CERT_FIND_SHA1_HASH && dwFindType != CERT_FIND_SUBJECT_STR_W &&
        dwFindType != CERT_FIND_ISSUER_STR_W && dwFindType != CERT_FIND_EXISTING)
    {
        if (pPrevCertContext)
            CertFreeCertificateContext(pPrevCertContext);
        SetLastError(static_cast<DWORD>(E_INVALIDARG));
        return nullptr;
    }
    PCCERT_CONTEXT cur = pPrevCertContext;
    while ((cur = CertEnumCertificatesInStore(hCertStore, cur)) != nullptr)
    {
        CertElement* e = ElementOf(cur);
        bool match = false;
        switch (dwFindType)
        {
        case CERT_FIND_ANY:
            match = true;
            break;
        case CERT_FIND_SHA1_HASH: {
            auto* blob = static_cast<const CRYPT_HASH_BLOB*>(pvFindPara);
            Bytes h = Sha1(e->encoded);
            match = blob && blob->cbData == h.size() && std::memcmp(blob->pbData, h.data(), h.size()) == 0;
            break;
        }
        case CERT_FIND_SUBJECT_STR_W:
            match = pvFindPara &&
                    NameContains(dwCertEncodingType, &e->info.Subject, static_cast<const WCHAR*>(pvFindPara));
            break;
        case CERT_FIND_ISSUER_STR_W:
            match = pvFindPara &&
                    NameContains(dwCertEncodingType, &e->info.Issuer, static_cast<const WCHAR*>(pvFindPara));
            break;
        case CERT_FIND_EXISTING: {
            CertElement* other = ElementOf(static_cast<PCCERT_CONTEXT>(pvFindPara));
            match = other && other->encoded == e->encoded;
            break;
        }
        }
        if (match)
            return cur;
    }
    SetLastError(static_cast<DWORD>(CRYPT_E_NOT_FOUND));
    return nullptr;
}

QMAPI BOOL WINAPI CertAddCertificateContextToStore(HCERTSTORE hCertStore, PCCERT_CONTEXT pCertContext,
                                                   DWORD dwAddDisposition, PCCERT_CONTEXT* ppStoreContext)
{
    if (ppStoreContext)
        *ppStoreContext = nullptr;
    Store* s = StoreOf(hCertStore);
    CertElement* src = ElementOf(pCertContext);
    if (!s || !src)
        return Fail(static_cast<DWORD>(E_INVALIDARG));
    std::lock_guard lock(Lock());
    return AddElement(s, src, dwAddDisposition, ppStoreContext);
}

QMAPI BOOL WINAPI CertAddEncodedCertificateToStore(HCERTSTORE hCertStore, DWORD dwCertEncodingType,
                                                   const BYTE* pbCertEncoded, DWORD cbCertEncoded,
                                                   DWORD dwAddDisposition, PCCERT_CONTEXT* ppCertContext)
{
    if (ppCertContext)
        *ppCertContext = nullptr;
    Store* s = StoreOf(hCertStore);
    if (!s || !(dwCertEncodingType & X509_ASN_ENCODING) || (!pbCertEncoded && cbCertEncoded))
        return Fail(static_cast<DWORD>(E_INVALIDARG));
    CertElement* tmp = nullptr;
    HRESULT hr = CreateElement(View(pbCertEncoded, cbCertEncoded), &tmp);
    if (FAILED(hr))
        return Fail(hr);
    tmp->ctx.dwCertEncodingType = dwCertEncodingType & CERT_ENCODING_TYPE_MASK;
    std::lock_guard lock(Lock());
    BOOL ok = AddElement(s, tmp, dwAddDisposition, ppCertContext);
    DWORD err = GetLastError();
    ReleaseElement(tmp);
    SetLastError(err);
    return ok;
}

QMAPI BOOL WINAPI CertDeleteCertificateFromStore(PCCERT_CONTEXT pCertContext)
{
    CertElement* e = ElementOf(pCertContext);
    if (!e)
        return Fail(static_cast<DWORD>(E_INVALIDARG));
    std::lock_guard lock(Lock());
    HRESULT hr = S_OK;
    if (!e->store)
        hr = E_INVALIDARG;
    else if (e->store->readOnly && e->inStore)
        hr = E_ACCESSDENIED;
    else
        hr = StoreRemove(e);
    ReleaseElement(e);
    if (FAILED(hr))
        return Fail(hr);
    return TRUE;
}
