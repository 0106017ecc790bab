// SM2 signatures with a key held in a CSP key container (the token's CSP), SM3 hashing there.
#pragma once

#include <string> // before windows.h: the CRT's char16_t overloads must not join std::

#include <windows.h>
#include <wincrypt.h>
#include <oleauto.h>

// Where the SM2 key and its certificate live.
struct SM2_SIGNING_KEY
{
    LPCWSTR lpwszProviderName;
    LPCWSTR lpwszContainerName;
    DWORD dwKeySpec;
    PCCERT_CONTEXT pCertContext;
};

// Base64 PKCS#7 of the content, SM3 with SM2; bAttached carries the content inside.
HRESULT SM2SignBinaryData(const SM2_SIGNING_KEY& key, const BYTE* pbData, DWORD cbData, BOOL bAttached,
                          LPCSTR pszSignatureOid, BSTR* pbstrSignature);

// SM3 of the content in the container's CSP, signed: 64 bytes, r then s, each big-endian (delete[]).
HRESULT SM2CalculateHashandSign(const SM2_SIGNING_KEY& key, const BYTE* pbData, DWORD cbData,
                                BYTE** ppbSignature, DWORD* pcbSignature);

// Detached Base64 PKCS#7 over a ready SM3 digest.
HRESULT SM2SignHashDataPKCS7Detached(const BYTE* pbSrcHashData, DWORD cbSrcHashData, const SM2_SIGNING_KEY& key,
                                     BSTR* pbstrSignature);

// A ready SM3 digest signed: 64 bytes, r then s, each big-endian (delete[]).
HRESULT SM2SignHashPKCS1(const SM2_SIGNING_KEY& key, const BYTE* pbHashData, DWORD cbHashData,
                         BYTE** ppbSignature, DWORD* pcbSignature);
