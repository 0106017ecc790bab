// System stores kept in the registry as Windows keeps them:
// <hive>\Software\Microsoft\SystemCertificates\<store>\Certificates\<SHA-1 thumbprint>\Blob.
#include <set>

#include "qm/machine.h"
#include "qm/registry_values.h"
#include "store.h"
#include "winreg.h"

namespace qm::crypt
{
namespace
{
const WCHAR kBlob[] = u"Blob";

std::u16string ElementKey(Store* s, CertElement* e)
{
    if (e->regKeyName.empty())
        e->regKeyName = HexUpper(Sha1(e->encoded));
    return s->certsKeyPath + u"\\" + e->regKeyName;
}
} // namespace

HRESULT LoadRegistryStore(Store* s)
{
    HKEY hKey = nullptr;
    LSTATUS st = RegOpenKeyExW(s->root, s->certsKeyPath.c_str(), 0, KEY_READ, &hKey);
    if (st == ERROR_FILE_NOT_FOUND || st == ERROR_PATH_NOT_FOUND)
        return S_OK;
    if (st != ERROR_SUCCESS)
        return HRESULT_FROM_WIN32(st);
    // Enumeration goes by index, so a key another process adds meanwhile can move one
    // already read to the next index: each key name is loaded once.
    std::set<std::u16string> loaded;
    for (DWORD i = 0;; ++i)
    {
        WCHAR name[256];
        DWORD cch = 256;
        st = RegEnumKeyExW(hKey, i, name, &cch, nullptr, nullptr, nullptr, nullptr);
        if (st == ERROR_NO_MORE_ITEMS)
            break;
        if (st == ERROR_MORE_DATA)
            continue; // no thumbprint: not a certificate of the store
        if (st != ERROR_SUCCESS)
            break; // a store that cannot be read is an error, not a shorter store
        std::u16string folded(name, cch);
        for (auto& ch : folded)
            if (ch >= u'a' && ch <= u'z')
                ch = static_cast<char16_t>(ch - 32);
        if (!loaded.insert(folded).second)
            continue;
        HKEY hSub = nullptr;
        st = RegOpenKeyExW(hKey, name, 0, KEY_READ, &hSub);
        if (st == ERROR_FILE_NOT_FOUND || st == ERROR_KEY_DELETED)
        {
            st = ERROR_SUCCESS; // removed by another process meanwhile
            continue;
        }
        if (st != ERROR_SUCCESS)
            break;
        DWORD type = 0, cb = 0;
        Bytes blob;
        st = RegQueryValueExW(hSub, kBlob, nullptr, &type, nullptr, &cb);
        if (st == ERROR_SUCCESS && type == REG_BINARY)
        {
            blob.resize(cb);
            st = RegQueryValueExW(hSub, kBlob, nullptr, &type, blob.data(), &cb);
            blob.resize(st == ERROR_SUCCESS ? cb : 0);
        }
        RegCloseKey(hSub);
        // A key without a Blob (or one removed meanwhile) holds no certificate.
        if (st == ERROR_FILE_NOT_FOUND || st == ERROR_KEY_DELETED || st == ERROR_MORE_DATA)
            st = ERROR_SUCCESS;
        if (st != ERROR_SUCCESS)
            break;
        CertElement* e = nullptr;
        // A value that is no certificate is not one of the store's; it stays as it is.
        if (blob.empty() || FAILED(ElementFromSerialized(blob, &e)))
            continue;
        e->regKeyName.assign(name, cch);
        e->store = s;
        e->ctx.hCertStore = s;
        e->inStore = true;
        e->seq = s->nextSeq++;
        ++s->liveElements;
        s->certs.push_back(e); // the element's one reference is the store's
    }
    RegCloseKey(hKey);
    return st == ERROR_NO_MORE_ITEMS || st == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(st);
}

HRESULT RegistryWrite(Store* s, CertElement* e)
{
    if (s->localMachine && !qm::IsProcessElevated())
        return E_ACCESSDENIED;
    // The key and its Blob in one change: no process ever finds a certificate's key without it.
    Bytes blob = SerializeElement(e);
    LSTATUS st = qm::reg::CreateKeyWithValues(s->root, ElementKey(s, e).c_str(),
                                              {qm::reg::NewValue{kBlob, REG_BINARY, blob}});
    return st == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(st);
}

HRESULT RegistryDelete(Store* s, CertElement* e)
{
    if (s->localMachine && !qm::IsProcessElevated())
        return E_ACCESSDENIED;
    LSTATUS st = RegDeleteTreeW(s->root, ElementKey(s, e).c_str());
    if (st == ERROR_SUCCESS || st == ERROR_FILE_NOT_FOUND)
        return S_OK;
    return HRESULT_FROM_WIN32(st);
}
} // namespace qm::crypt
