// RSA signatures through the private key CryptoAPI associates with a store certificate.
#pragma once

#include <string> // before windows.h: the CRT's char16_t overloads must not join std::

#include <windows.h>
#include <wincrypt.h>
#include <oleauto.h>

// Base64 PKCS#7 of the content; bAttached carries the content inside.
HRESULT SignBinaryData(const BYTE* pbData, DWORD cbData, PCCERT_CONTEXT pSignCertContext, ALG_ID uHashAlgorithm,
                       BOOL bAttached, BSTR* pbstrSignature);

// Hash of the content in the key's provider, signed; the signature big-endian (delete[]).
HRESULT CalculateHashandSign(PCCERT_CONTEXT pSignCertContext, const BYTE* pbData, DWORD cbData,
                             ALG_ID uHashAlgorithm, BYTE** ppbSignature, DWORD* pcbSignature);

// Detached Base64 PKCS#7 over a ready digest.
HRESULT RSASignHashDataPKCS7Detached(const BYTE* pbSrcHashData, DWORD cbSrcHashData,
                                     PCCERT_CONTEXT pSignCertContext, ALG_ID uHashAlgorithm,
                                     BSTR* pbstrSignature);

// A ready digest signed; the signature big-endian (delete[]).
HRESULT RSASignHashPKCS1(PCCERT_CONTEXT pSignCertContext, ALG_ID uHashAlgorithm, const BYTE* pbHashData,
                         DWORD cbHashData, BYTE** ppbSignature, DWORD* pcbSignature);
