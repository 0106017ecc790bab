// The interface between advapi32 and a cryptographic service provider module: the CP*
// entry points a provider library exports, which CryptAcquireContextW and the other
// Crypt* calls reach through the provider's image path.
#pragma once

#include "../wincrypt.h"

typedef struct _VTableProvStruc
{
    DWORD Version;
    void* FuncVerifyImage;
    void* FuncReturnhWnd;
    DWORD dwProvType;
    BYTE* pbContextInfo;
    DWORD cbContextInfo;
    LPSTR pszProvName; // the name the provider was acquired under (UTF-8)
} VTableProvStruc, *PVTableProvStruc;

// Provider registry: HKLM\<kCspProviderKey>\<name> with "Image Path" and "Type".
#define QM_CSP_PROVIDER_KEY u"SOFTWARE\\Microsoft\\Cryptography\\Defaults\\Provider"
#define QM_CSP_PROVIDER_TYPES_KEY u"SOFTWARE\\Microsoft\\Cryptography\\Defaults\\Provider Types"

// Every entry point sets the last error and returns FALSE on failure.
#define QM_CSP_ENTRY_POINTS(X)                                                                     \
    X(CPAcquireContext,                                                                            \
      (HCRYPTPROV * phProv, LPCSTR szContainer, DWORD dwFlags, PVTableProvStruc pVTable))          \
    X(CPReleaseContext, (HCRYPTPROV hProv, DWORD dwFlags))                                         \
    X(CPGetProvParam,                                                                              \
      (HCRYPTPROV hProv, DWORD dwParam, BYTE * pbData, DWORD * pdwDataLen, DWORD dwFlags))         \
    X(CPSetProvParam, (HCRYPTPROV hProv, DWORD dwParam, const BYTE* pbData, DWORD dwFlags))        \
    X(CPGenKey, (HCRYPTPROV hProv, ALG_ID Algid, DWORD dwFlags, HCRYPTKEY * phKey))                \
    X(CPGetUserKey, (HCRYPTPROV hProv, DWORD dwKeySpec, HCRYPTKEY * phUserKey))                    \
    X(CPDestroyKey, (HCRYPTPROV hProv, HCRYPTKEY hKey))                                            \
    X(CPGetKeyParam, (HCRYPTPROV hProv, HCRYPTKEY hKey, DWORD dwParam, BYTE * pbData,              \
                      DWORD * pdwDataLen, DWORD dwFlags))                                          \
    X(CPSetKeyParam,                                                                               \
      (HCRYPTPROV hProv, HCRYPTKEY hKey, DWORD dwParam, const BYTE* pbData, DWORD dwFlags))        \
    X(CPExportKey, (HCRYPTPROV hProv, HCRYPTKEY hKey, HCRYPTKEY hPubKey, DWORD dwBlobType,         \
                    DWORD dwFlags, BYTE * pbData, DWORD * pdwDataLen))                             \
    X(CPImportKey, (HCRYPTPROV hProv, const BYTE* pbData, DWORD cbDataLen, HCRYPTKEY hPubKey,      \
                    DWORD dwFlags, HCRYPTKEY* phKey))                                              \
    X(CPCreateHash,                                                                                \
      (HCRYPTPROV hProv, ALG_ID Algid, HCRYPTKEY hKey, DWORD dwFlags, HCRYPTHASH * phHash))        \
    X(CPHashData,                                                                                  \
      (HCRYPTPROV hProv, HCRYPTHASH hHash, const BYTE* pbData, DWORD cbDataLen, DWORD dwFlags))    \
    X(CPGetHashParam, (HCRYPTPROV hProv, HCRYPTHASH hHash, DWORD dwParam, BYTE * pbData,           \
                       DWORD * pdwDataLen, DWORD dwFlags))                                         \
    X(CPSetHashParam,                                                                              \
      (HCRYPTPROV hProv, HCRYPTHASH hHash, DWORD dwParam, const BYTE* pbData, DWORD dwFlags))      \
    X(CPDestroyHash, (HCRYPTPROV hProv, HCRYPTHASH hHash))                                         \
    X(CPSignHash, (HCRYPTPROV hProv, HCRYPTHASH hHash, DWORD dwKeySpec, LPCWSTR szDescription,     \
                   DWORD dwFlags, BYTE * pbSignature, DWORD * pdwSigLen))                          \
    X(CPVerifySignature,                                                                           \
      (HCRYPTPROV hProv, HCRYPTHASH hHash, const BYTE* pbSignature, DWORD cbSigLen,                \
       HCRYPTKEY hPubKey, LPCWSTR szDescription, DWORD dwFlags))                                   \
    X(CPEncrypt, (HCRYPTPROV hProv, HCRYPTKEY hKey, HCRYPTHASH hHash, BOOL fFinal, DWORD dwFlags,  \
                  BYTE * pbData, DWORD * pdwDataLen, DWORD cbBufLen))                              \
    X(CPDecrypt, (HCRYPTPROV hProv, HCRYPTKEY hKey, HCRYPTHASH hHash, BOOL fFinal, DWORD dwFlags,  \
                  BYTE * pbData, DWORD * pdwDataLen))                                              \
    X(CPGenRandom, (HCRYPTPROV hProv, DWORD cbLen, BYTE * pbBuffer))

// Entry points a provider may leave out; the Crypt* call then fails with
// ERROR_CALL_NOT_IMPLEMENTED, as with a provider written before them.
#define QM_CSP_OPTIONAL_ENTRY_POINTS(X)                                                            \
    X(CPDuplicateHash, (HCRYPTPROV hUID, HCRYPTHASH hHash, DWORD * pdwReserved, DWORD dwFlags,     \
                        HCRYPTHASH * phHash))                                                      \
    X(CPDuplicateKey, (HCRYPTPROV hUID, HCRYPTKEY hKey, DWORD * pdwReserved, DWORD dwFlags,        \
                       HCRYPTKEY * phKey))

#define QM_CSP_DECLARE(name, params) typedef BOOL(WINAPI* PFN_##name) params;
QM_CSP_ENTRY_POINTS(QM_CSP_DECLARE)
QM_CSP_OPTIONAL_ENTRY_POINTS(QM_CSP_DECLARE)
#undef QM_CSP_DECLARE
