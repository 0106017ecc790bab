// Key calls: generation, the container's keys, parameters, blobs, encryption.
#include "dispatch.h"
#include "winbase.h"

using namespace qm::crypto;

namespace
{
// The key and optional hash of an encryption call, resolved to the provider's handles.
std::optional<Resolved> CipherKey(HCRYPTKEY hKey, HCRYPTHASH hHash, const DWORD* pdwDataLen,
                                  HCRYPTHASH* innerHash)
{
    auto key = KeyOf(hKey);
    if (!key)
        return std::nullopt;
    if (!pdwDataLen)
    {
        Fail(ERROR_INVALID_PARAMETER);
        return std::nullopt;
    }
    if (!InnerHash(hHash, innerHash))
        return std::nullopt;
    return key;
}
} // namespace

QMAPI BOOL WINAPI CryptGenKey(HCRYPTPROV hProv, ALG_ID Algid, DWORD dwFlags, HCRYPTKEY* phKey)
{
    auto context = ContextOf(hProv);
    if (!context)
        return FALSE;
    if (!phKey)
        return Fail(ERROR_INVALID_PARAMETER);
    HCRYPTKEY inner = 0;
    if (!context->module->CPGenKey(context->inner, Algid, dwFlags, &inner))
        return FALSE;
    *phKey = NewKey(hProv, inner);
    return TRUE;
}

QMAPI BOOL WINAPI CryptGetUserKey(HCRYPTPROV hProv, DWORD dwKeySpec, HCRYPTKEY* phUserKey)
{
    auto context = ContextOf(hProv);
    if (!context)
        return FALSE;
    if (!phUserKey)
        return Fail(ERROR_INVALID_PARAMETER);
    HCRYPTKEY inner = 0;
    if (!context->module->CPGetUserKey(context->inner, dwKeySpec, &inner))
        return FALSE;
    *phUserKey = NewKey(hProv, inner);
    return TRUE;
}

QMAPI BOOL WINAPI CryptDestroyKey(HCRYPTKEY hKey)
{
    auto key = KeyOf(hKey);
    if (!key)
        return FALSE;
    ForgetKey(hKey);
    return key->module->CPDestroyKey(key->prov, key->inner);
}

QMAPI BOOL WINAPI CryptGetKeyParam(HCRYPTKEY hKey, DWORD dwParam, BYTE* pbData, DWORD* pdwDataLen,
                                   DWORD dwFlags)
{
    auto key = KeyOf(hKey);
    if (!key)
        return FALSE;
    if (!pdwDataLen)
        return Fail(ERROR_INVALID_PARAMETER);
    return key->module->CPGetKeyParam(key->prov, key->inner, dwParam, pbData, pdwDataLen, dwFlags);
}

QMAPI BOOL WINAPI CryptSetKeyParam(HCRYPTKEY hKey, DWORD dwParam, const BYTE* pbData, DWORD dwFlags)
{
    auto key = KeyOf(hKey);
    if (!key)
        return FALSE;
    if (!pbData)
        return Fail(ERROR_INVALID_PARAMETER);
    return key->module->CPSetKeyParam(key->prov, key->inner, dwParam, pbData, dwFlags);
}

QMAPI BOOL WINAPI CryptDuplicateKey(HCRYPTKEY hKey, DWORD* pdwReserved, DWORD dwFlags,
                                    HCRYPTKEY* phKey)
{
    auto key = KeyOf(hKey);
    if (!key)
        return FALSE;
    if (pdwReserved || !phKey)
        return Fail(ERROR_INVALID_PARAMETER);
    if (!key->module->CPDuplicateKey)
        return Fail(ERROR_CALL_NOT_IMPLEMENTED);
    HCRYPTKEY inner = 0;
    if (!key->module->CPDuplicateKey(key->prov, key->inner, nullptr, dwFlags, &inner))
        return FALSE;
    *phKey = NewKey(key->outerProv, inner);
    return TRUE;
}

QMAPI BOOL WINAPI CryptExportKey(HCRYPTKEY hKey, HCRYPTKEY hExpKey, DWORD dwBlobType, DWORD dwFlags,
                                 BYTE* pbData, DWORD* pdwDataLen)
{
    auto key = KeyOf(hKey);
    if (!key)
        return FALSE;
    if (!pdwDataLen)
        return Fail(ERROR_INVALID_PARAMETER);
    HCRYPTKEY innerExp = 0;
    if (hExpKey)
    {
        auto exp = KeyOf(hExpKey);
        if (!exp)
            return FALSE;
        if (exp->module != key->module || exp->prov != key->prov)
            return Fail(DWORD(NTE_BAD_KEY));
        innerExp = exp->inner;
    }
    return key->module->CPExportKey(key->prov, key->inner, innerExp, dwBlobType, dwFlags, pbData,
                                    pdwDataLen);
}

QMAPI BOOL WINAPI CryptImportKey(HCRYPTPROV hProv, const BYTE* pbData, DWORD dwDataLen,
                                 HCRYPTKEY hPubKey, DWORD dwFlags, HCRYPTKEY* phKey)
{
    auto context = ContextOf(hProv);
    if (!context)
        return FALSE;
    if (!pbData || !phKey)
        return Fail(ERROR_INVALID_PARAMETER);
    HCRYPTKEY innerPub = 0;
    if (hPubKey)
    {
        auto pub = KeyOf(hPubKey);
        if (!pub)
            return FALSE;
        if (pub->outerProv != hProv)
            return Fail(DWORD(NTE_BAD_KEY));
        innerPub = pub->inner;
    }
    HCRYPTKEY inner = 0;
    if (!context->module->CPImportKey(context->inner, pbData, dwDataLen, innerPub, dwFlags, &inner))
        return FALSE;
    *phKey = NewKey(hProv, inner);
    return TRUE;
}

QMAPI BOOL WINAPI CryptEncrypt(HCRYPTKEY hKey, HCRYPTHASH hHash, BOOL Final, DWORD dwFlags,
                               BYTE* pbData, DWORD* pdwDataLen, DWORD dwBufLen)
{
    HCRYPTHASH innerHash = 0;
    auto key = CipherKey(hKey, hHash, pdwDataLen, &innerHash);
    if (!key)
        return FALSE;
    return key->module->CPEncrypt(key->prov, key->inner, innerHash, Final, dwFlags, pbData,
                                  pdwDataLen, dwBufLen);
}

QMAPI BOOL WINAPI CryptDecrypt(HCRYPTKEY hKey, HCRYPTHASH hHash, BOOL Final, DWORD dwFlags,
                               BYTE* pbData, DWORD* pdwDataLen)
{
    HCRYPTHASH innerHash = 0;
    auto key = CipherKey(hKey, hHash, pdwDataLen, &innerHash);
    if (!key)
        return FALSE;
    return key->module->CPDecrypt(key->prov, key->inner, innerHash, Final, dwFlags, pbData,
                                  pdwDataLen);
}
