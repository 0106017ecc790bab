// Hash calls and signatures.
#include "dispatch.h"
#include "winbase.h"

using namespace qm::crypto;

QMAPI BOOL WINAPI CryptCreateHash(HCRYPTPROV hProv, ALG_ID Algid, HCRYPTKEY hKey, DWORD dwFlags,
                                  HCRYPTHASH* phHash)
{
    auto context = ContextOf(hProv);
    if (!context)
        return FALSE;
    if (!phHash)
        return Fail(ERROR_INVALID_PARAMETER);
    if (dwFlags)
        return Fail(DWORD(NTE_BAD_FLAGS));
    HCRYPTKEY innerKey = 0;
    if (!InnerKey(hKey, &innerKey))
        return FALSE;
    HCRYPTHASH inner = 0;
    if (!context->module->CPCreateHash(context->inner, Algid, innerKey, dwFlags, &inner))
        return FALSE;
    *phHash = NewHash(hProv, inner);
    return TRUE;
}

QMAPI BOOL WINAPI CryptHashData(HCRYPTHASH hHash, const BYTE* pbData, DWORD dwDataLen,
                                DWORD dwFlags)
{
    auto hash = HashOf(hHash);
    if (!hash)
        return FALSE;
    if (!pbData && dwDataLen)
        return Fail(ERROR_INVALID_PARAMETER);
    return hash->module->CPHashData(hash->prov, hash->inner, pbData, dwDataLen, dwFlags);
}

QMAPI BOOL WINAPI CryptGetHashParam(HCRYPTHASH hHash, DWORD dwParam, BYTE* pbData,
                                    DWORD* pdwDataLen, DWORD dwFlags)
{
    auto hash = HashOf(hHash);
    if (!hash)
        return FALSE;
    if (!pdwDataLen)
        return Fail(ERROR_INVALID_PARAMETER);
    return hash->module->CPGetHashParam(hash->prov, hash->inner, dwParam, pbData, pdwDataLen,
                                        dwFlags);
}

QMAPI BOOL WINAPI CryptSetHashParam(HCRYPTHASH hHash, DWORD dwParam, const BYTE* pbData,
                                    DWORD dwFlags)
{
    auto hash = HashOf(hHash);
    if (!hash)
        return FALSE;
    if (!pbData)
        return Fail(ERROR_INVALID_PARAMETER);
    return hash->module->CPSetHashParam(hash->prov, hash->inner, dwParam, pbData, dwFlags);
}

QMAPI BOOL WINAPI CryptDestroyHash(HCRYPTHASH hHash)
{
    auto hash = HashOf(hHash);
    if (!hash)
        return FALSE;
    ForgetHash(hHash);
    return hash->module->CPDestroyHash(hash->prov, hash->inner);
}

QMAPI BOOL WINAPI CryptDuplicateHash(HCRYPTHASH hHash, DWORD* pdwReserved, DWORD dwFlags,
                                     HCRYPTHASH* phHash)
{
    auto hash = HashOf(hHash);
    if (!hash)
        return FALSE;
    if (pdwReserved || !phHash)
        return Fail(ERROR_INVALID_PARAMETER);
    if (!hash->module->CPDuplicateHash)
        return Fail(ERROR_CALL_NOT_IMPLEMENTED);
    HCRYPTHASH inner = 0;
    if (!hash->module->CPDuplicateHash(hash->prov, hash->inner, nullptr, dwFlags, &inner))
        return FALSE;
    *phHash = NewHash(hash->outerProv, inner);
    return TRUE;
}

QMAPI BOOL WINAPI CryptSignHashW(HCRYPTHASH hHash, DWORD dwKeySpec, LPCWSTR szDescription,
                                 DWORD dwFlags, BYTE* pbSignature, DWORD* pdwSigLen)
{
    auto hash = HashOf(hHash);
    if (!hash)
        return FALSE;
    if (!pdwSigLen)
        return Fail(ERROR_INVALID_PARAMETER);
    return hash->module->CPSignHash(hash->prov, hash->inner, dwKeySpec, szDescription, dwFlags,
                                    pbSignature, pdwSigLen);
}

QMAPI BOOL WINAPI CryptVerifySignatureW(HCRYPTHASH hHash, const BYTE* pbSignature, DWORD dwSigLen,
                                        HCRYPTKEY hPubKey, LPCWSTR szDescription, DWORD dwFlags)
{
    auto hash = HashOf(hHash);
    auto key = hash ? KeyOf(hPubKey) : std::nullopt;
    if (!hash || !key)
        return FALSE;
    if (!pbSignature)
        return Fail(ERROR_INVALID_PARAMETER);
    return hash->module->CPVerifySignature(hash->prov, hash->inner, pbSignature, dwSigLen,
                                           key->inner, szDescription, dwFlags);
}
