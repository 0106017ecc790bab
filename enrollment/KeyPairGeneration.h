// Key pairs in a new key container of the chosen CSP and the certificate request over them.
#pragma once

#include <string> // before windows.h: the CRT's char16_t overloads must not join std::

#include <windows.h>
#include <wincrypt.h>

// The token CSP's SM2 and SM3 algorithm ids.
#define CALG_SM2_KEYX 0xBE00
#define CALG_SM2_SIGN 0x3E00
#define CALG_SM3 0x800F

// What a failed SM2 key generation passes to the token CSP to remove the container.
#define SM2_DELETE_CONTAINER_FLAGS 0xFFFF0002UL

#define szOID_SM2_CURVE "1.2.156.10197.1.301"
#define szOID_SM3_WITH_SM2 "1.2.156.10197.1.501"

// Key pairs for one request and the Base64 request text. lCertType 1: one key pair (key
// spec 1) in a new container; 2: a temporary exchange key and the signing key (key spec 2)
// in one new container; other values: the signing key in a container opened under a fresh
// name. *ppwszContainerName (null on entry) receives the new container's name (delete[]),
// also when a later step fails; *ppszRequest the request (delete[]).
HRESULT PKCS10CertRequisition(LPWSTR* ppwszContainerName, LPSTR* ppszRequest, LPCWSTR lpwszCSPName,
                              LPCWSTR lpwszSubjectDN, long lCertType, DWORD dwKeySpec, BOOL bIsRSA,
                              long lKeyLength, long lGenFlags);

// One key pair and its public part: RSA the CERT_PUBLIC_KEY_INFO, SM2 the PUBLICKEYBLOB
// (*ppbPublicKey, delete[]; handed out even when the second export call fails).
// *phProv 0: the container (given or a fresh name) is acquired, CRYPT_NEWKEYSET with
// bCreate, and left open for the caller; otherwise that handle is used. With bCreate a
// failure after the acquire deletes the container, and success returns its name.
HRESULT CreatePublicKey(LPWSTR* ppwszContainerName, BYTE** ppbPublicKey, DWORD dwKeyLength,
                        LPCWSTR lpwszCSPName, BOOL bIsRSA, DWORD dwKeySpec, BOOL bCreate,
                        HCRYPTPROV* phProv, DWORD* pcbPublicKey, DWORD dwGenFlags);
