// PKCS#7 SignedData with one signer, the signer's certificate and no attributes,
// in DER and then in Base64 on one line.
#pragma once

#include <string> // before windows.h: the CRT's char16_t overloads must not join std::

#include <windows.h>
#include <wincrypt.h>
#include <oleauto.h>

#define SZOID_PKCS7_DATA "1.2.840.113549.1.7.1"
#define SZOID_PKCS7_SIGNED_DATA "1.2.840.113549.1.7.2"
#define SZOID_SM2_PKCS7_DATA "1.2.156.10197.6.1.4.2.1"
#define SZOID_SM2_PKCS7_SIGNED_DATA "1.2.156.10197.6.1.4.2.2"
#define SZOID_SM3 "1.2.156.10197.1.401"
#define SZOID_SM2_SM3_SIGN "1.2.156.10197.1.301.1"

#define CALG_SM3 0x800F

// Digest and signature algorithm OIDs for a CryptoAPI hash id; FALSE for ids without them.
BOOL GetAlgorithmIdentifiers(ALG_ID uHashAlgorithm, LPCSTR* ppszDigestOid, LPCSTR* ppszSignatureOid);

// RSA: pbSignature is the big-endian signature. bAttached puts the content inside.
HRESULT EncapsulatePKCS7(PCCERT_CONTEXT pSignCertContext, LPCSTR pszDigestOid, LPCSTR pszSignatureOid,
                         const BYTE* pbSignature, DWORD cbSignature, const BYTE* pbContent, DWORD cbContent,
                         BOOL bAttached, DWORD dwBase64Flags, BSTR* pbstrPKCS7, DWORD* pcchPKCS7);

// SM2: pbEncodedSignature is the OCTET STRING of SM2EncodeRawSignature, written verbatim.
HRESULT SM2EncapsulatePKCS7(PCCERT_CONTEXT pSignCertContext, LPCSTR pszDigestOid, LPCSTR pszSignatureOid,
                            const BYTE* pbEncodedSignature, DWORD cbEncodedSignature, const BYTE* pbContent,
                            DWORD cbContent, BOOL bAttached, DWORD dwBase64Flags, BSTR* pbstrPKCS7,
                            DWORD* pcchPKCS7);

typedef struct _SM2_SIGNER_INFO
{
    DWORD dwVersion;
    CERT_NAME_BLOB Issuer;                   // the issuer Name DER
    CRYPT_INTEGER_BLOB SerialNumber;         // least significant byte first
    LPCSTR pszDigestOid;
    LPCSTR pszSignatureOid;
    CRYPT_DATA_BLOB EncodedSignature;        // written verbatim
} SM2_SIGNER_INFO, *PSM2_SIGNER_INFO;

// SignerInfo DER without attributes; the caller frees the output with delete[].
HRESULT SM2EncodeSignerInfo(const SM2_SIGNER_INFO* pSignerInfo, BYTE** ppbEncoded, DWORD* pcbEncoded);

// AlgorithmIdentifier SEQUENCE { OID, NULL }; the caller frees the output with delete[].
HRESULT SM2EncodeOID(LPCSTR pszOid, BYTE** ppbEncoded, DWORD* pcbEncoded);
