// The PKCS#10 certificate request: DER written here, signed in the CSP with the new key,
// Base64 with CR LF every 64 characters.
#pragma once

#include <string> // before windows.h: the CRT's char16_t overloads must not join std::

#include <windows.h>
#include <wincrypt.h>

// Attribute forms: 0 writes attribute values without their SET, 1 inside it.
#define PKCS10_ATTRIBUTES_WITHOUT_SET 0
#define PKCS10_ATTRIBUTES_IN_SET 1

// Fixed challenge password of a double-certificate request.
#define PKCS10_CHALLENGE_PASSWORD "408157"
#define szOID_PKCS10_CHALLENGE_PASSWORD "1.2.840.113549.1.9.7"
#define szOID_PKCS10_TEMPORARY_PUBLIC_KEY "1.2.840.113549.1.9.63"

// Size of the reshaped SM2 temporary key that travels in the request.
#define SM2_TEMPORARY_KEY_SIZE 136
// Header, bit length word and the X and Y fields of an SM2 PUBLICKEYBLOB.
#define SM2_PUBLICKEYBLOB_MIN_SIZE 140

// The whole request. pbSignPublicKey: RSA the DER RSAPublicKey, SM2 the PUBLICKEYBLOB;
// pbTempPublicKey null for a single certificate. lpszCurveOid null or "" for RSA.
// *ppszRequest: zero-terminated text (delete[]); *pcchRequest its length.
HRESULT PKCS10RequestBase64(DWORD dwKeySpec, HCRYPTPROV hProv, LPCWSTR lpwszSubject,
                            LPCSTR lpszKeyAlgOid, LPCSTR lpszCurveOid, const BYTE* pbSignPublicKey,
                            DWORD cbSignPublicKey, const BYTE* pbTempPublicKey,
                            DWORD cbTempPublicKey, ALG_ID algHash, LPCSTR lpszSignatureOid,
                            DWORD dwAttributeForm, BOOL bSM2, LPSTR* ppszRequest,
                            DWORD* pcchRequest);

// CertificationRequestInfo: version, subject, public key info, attributes when a
// temporary key is present.
HRESULT ComposeCertRequestInfo(LPCWSTR lpwszSubject, LPCSTR lpszKeyAlgOid, LPCSTR lpszCurveOid,
                               const BYTE* pbPublicKey, DWORD cbPublicKey,
                               const BYTE* pbTempPublicKey, DWORD cbTempPublicKey,
                               DWORD dwAttributeForm, BOOL bSM2, BYTE** ppbOut, DWORD* pcbOut);

// SubjectPublicKeyInfo of the key bits (SM2: 04 || X || Y).
HRESULT ComposeSignPublicKeyData(LPCSTR lpszKeyAlgOid, LPCSTR lpszCurveOid, const BYTE* pbPublicKey,
                                 DWORD cbPublicKey, BOOL bSM2, BYTE** ppbOut, DWORD* pcbOut);

// [0] { challenge password, temporary public key }.
HRESULT ComposeAttributes(const BYTE* pbTempPublicKey, DWORD cbTempPublicKey, DWORD dwAttributeForm,
                          BYTE** ppbOut, DWORD* pcbOut);

// SEQUENCE { OID, NULL }.
HRESULT ComposeSignAlgorithm(LPCSTR lpszSignatureOid, BYTE** ppbOut, DWORD* pcbOut);

// Signature of the data with the container's key: RSA most significant byte first, SM2
// r || s each most significant byte first.
HRESULT PKCS10CalculateHashandSign(HCRYPTPROV hProv, LPCSTR lpszKeyAlgOid, const BYTE* pbData,
                                   DWORD cbData, ALG_ID algHash, DWORD dwKeySpec,
                                   BYTE** ppbSignature, DWORD* pcbSignature);

// BIT STRING of the signature (SM2: of its DER SEQUENCE { r, s }).
HRESULT ComposeSignature(const BYTE* pbSignature, DWORD cbSignature, BOOL bSM2, BYTE** ppbOut,
                         DWORD* pcbOut);

// The Base64 text without its line breaks, CR LF after every 64 characters, none at the end.
HRESULT TransformBase64EncodedDatatoHoldCRLFPer64Chars(LPCSTR lpszBase64, LPSTR* ppszOut,
                                                       DWORD* pcchOut);

// 04 || X || Y of an SM2 PUBLICKEYBLOB (coordinates turned most significant byte first).
HRESULT ReshapeSM2SignPublicKey(const BYTE* pbBlob, DWORD cbBlob, BYTE** ppbOut, DWORD* pcbOut);
// The 136-byte form of an SM2 temporary key that the authority encrypts to.
HRESULT ReshapeSM2TemporaryPublicKey(const BYTE* pbBlob, DWORD cbBlob, BYTE** ppbOut,
                                     DWORD* pcbOut);
