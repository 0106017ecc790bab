// The handle plumbing every provider module repeats: its contexts, keys and hashes in
// tables, the entry points that only look a handle up or drop it, and the container walk.
#pragma once

#include <functional>

#include "kit.h"

namespace qm::cspkit
{
struct CHashObj
{
    HCRYPTPROV prov = 0;
    std::unique_ptr<HashObject> hash;
    // A second digest of the same data, begun for the key of `otherSpec` (the token's SM3,
    // whose first block is the signing key's Z); a value set with HP_HASHVAL drops it.
    std::unique_ptr<HashObject> other;
    DWORD otherSpec = 0;
};

// PP_ENUMCONTAINERS: the names are read at CRYPT_FIRST (or the first call); the size query
// answers MAX_PATH + 1, so one buffer serves the whole walk. The caller holds its lock.
// A list that cannot be read fails the call with its error, never as the end of the walk.
struct ContainerWalk
{
    std::vector<std::string> names;
    size_t cursor = 0;
    bool started = false;

    BOOL Next(const std::function<DWORD(std::vector<std::string>*)>& list, BYTE* data, DWORD* length,
              DWORD flags);
};

// TKey has a member `prov`: a key or hash answers only through the context it came from.
template <class TProv, class TKey> class CModuleHandles
{
  public:
    HandleTable<TProv> provs;
    HandleTable<TKey> keys;
    HandleTable<CHashObj> hashes;

    std::shared_ptr<TProv> Prov(HCRYPTPROV h)
    {
        auto p = provs.Get(h);
        if (!p)
            Fail(DWORD(NTE_BAD_UID));
        return p;
    }
    std::shared_ptr<TKey> Key(HCRYPTPROV prov, HCRYPTKEY h) { return Owned(keys, prov, h, NTE_BAD_KEY); }
    std::shared_ptr<CHashObj> Hash(HCRYPTPROV prov, HCRYPTHASH h)
    {
        return Owned(hashes, prov, h, NTE_BAD_HASH);
    }

    BOOL ReleaseContext(HCRYPTPROV h, DWORD flags)
    {
        if (flags)
            return Fail(DWORD(NTE_BAD_FLAGS));
        if (!provs.Remove(h))
            return Fail(DWORD(NTE_BAD_UID));
        return TRUE;
    }
    BOOL SetProvParam(HCRYPTPROV h) { return Prov(h) ? Fail(DWORD(NTE_BAD_TYPE)) : FALSE; }
    BOOL DestroyKey(HCRYPTPROV prov, HCRYPTKEY h)
    {
        if (!Key(prov, h))
            return FALSE;
        keys.Remove(h);
        return TRUE;
    }
    BOOL AddHash(HCRYPTPROV prov, std::unique_ptr<HashObject> hash, HCRYPTHASH* phHash)
    {
        auto object = std::make_shared<CHashObj>();
        object->hash = std::move(hash);
        return AddHash(prov, std::move(object), phHash);
    }
    BOOL AddHash(HCRYPTPROV prov, std::shared_ptr<CHashObj> object, HCRYPTHASH* phHash)
    {
        object->prov = prov;
        *phHash = hashes.Add(std::move(object));
        return TRUE;
    }
    BOOL HashData(HCRYPTPROV prov, HCRYPTHASH h, const BYTE* data, DWORD length, DWORD flags,
                  DWORD allowedFlags)
    {
        auto hash = Hash(prov, h);
        if (!hash)
            return FALSE;
        if (flags & ~allowedFlags)
            return Fail(DWORD(NTE_BAD_FLAGS));
        if (DWORD e = hash->hash->Update(data, length))
            return Fail(e);
        if (hash->other)
            if (DWORD e = hash->other->Update(data, length))
                return Fail(e);
        return TRUE;
    }
    BOOL GetHashParam(HCRYPTPROV prov, HCRYPTHASH h, DWORD param, BYTE* data, DWORD* length,
                      DWORD flags)
    {
        auto hash = Hash(prov, h);
        return hash ? cspkit::GetHashParam(*hash->hash, param, data, length, flags) : FALSE;
    }
    BOOL SetHashParam(HCRYPTPROV prov, HCRYPTHASH h, DWORD param, const BYTE* data, DWORD flags)
    {
        auto hash = Hash(prov, h);
        if (!hash || !cspkit::SetHashParam(*hash->hash, param, data, flags))
            return FALSE;
        // A digest given as a value is signed as given, by either key.
        if (param == HP_HASHVAL)
            hash->other.reset();
        return TRUE;
    }
    BOOL DestroyHash(HCRYPTPROV prov, HCRYPTHASH h)
    {
        if (!Hash(prov, h))
            return FALSE;
        hashes.Remove(h);
        return TRUE;
    }
    BOOL GenRandom(HCRYPTPROV h, DWORD length, BYTE* buffer)
    {
        if (!Prov(h))
            return FALSE;
        return RandomBytes(buffer, length) ? TRUE : Fail(DWORD(NTE_FAIL));
    }

  private:
    template <class T>
    static std::shared_ptr<T> Owned(HandleTable<T>& table, HCRYPTPROV prov, ULONG_PTR h, HRESULT error)
    {
        auto object = table.Get(h);
        if (!object || object->prov != prov)
        {
            Fail(DWORD(error));
            return nullptr;
        }
        return object;
    }
};
} // namespace qm::cspkit

// The entry points that are the same in every module over CModuleHandles `handles`.
#define QM_CSPKIT_COMMON_ENTRY_POINTS(handles)                                                     \
    QMAPI BOOL WINAPI CPReleaseContext(HCRYPTPROV hProv, DWORD dwFlags)                            \
    {                                                                                              \
        return handles.ReleaseContext(hProv, dwFlags);                                             \
    }                                                                                              \
    QMAPI BOOL WINAPI CPSetProvParam(HCRYPTPROV hProv, DWORD, const BYTE*, DWORD)                  \
    {                                                                                              \
        return handles.SetProvParam(hProv);                                                        \
    }                                                                                              \
    QMAPI BOOL WINAPI CPDestroyKey(HCRYPTPROV hProv, HCRYPTKEY hKey)                               \
    {                                                                                              \
        return handles.DestroyKey(hProv, hKey);                                                    \
    }                                                                                              \
    QMAPI BOOL WINAPI CPGetHashParam(HCRYPTPROV hProv, HCRYPTHASH hHash, DWORD dwParam,            \
                                     BYTE* pbData, DWORD* pdwDataLen, DWORD dwFlags)               \
    {                                                                                              \
        return handles.GetHashParam(hProv, hHash, dwParam, pbData, pdwDataLen, dwFlags);           \
    }                                                                                              \
    QMAPI BOOL WINAPI CPSetHashParam(HCRYPTPROV hProv, HCRYPTHASH hHash, DWORD dwParam,            \
                                     const BYTE* pbData, DWORD dwFlags)                            \
    {                                                                                              \
        return handles.SetHashParam(hProv, hHash, dwParam, pbData, dwFlags);                       \
    }                                                                                              \
    QMAPI BOOL WINAPI CPDestroyHash(HCRYPTPROV hProv, HCRYPTHASH hHash)                            \
    {                                                                                              \
        return handles.DestroyHash(hProv, hHash);                                                  \
    }                                                                                              \
    QMAPI BOOL WINAPI CPGenRandom(HCRYPTPROV hProv, DWORD cbLen, BYTE* pbBuffer)                   \
    {                                                                                              \
        return handles.GenRandom(hProv, cbLen, pbBuffer);                                          \
    }
