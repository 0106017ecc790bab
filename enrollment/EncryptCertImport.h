// The encryption key pair that the authority delivers encrypted, placed into the request's
// key container with its certificate: the software road (the plug-in decrypts) and the
// envelope road (the token's CSP decrypts a vendor key blob).
#pragma once

#include <string> // before windows.h: the CRT's char16_t overloads must not join std::

#include <windows.h>
#include <wincrypt.h>

// Vendor blob of the envelope road: the blob header, the CSP's fields, then the address of
// the encrypted bytes, as wide as a pointer of this process.
#define RSA_ENVELOPE_BLOB_HEADER 20
#define SM2_ENVELOPE_BLOB_HEADER 16
#define RSA_ENVELOPE_BLOB_SIZE (RSA_ENVELOPE_BLOB_HEADER + sizeof(ULONG_PTR))
#define SM2_ENVELOPE_BLOB_SIZE (SM2_ENVELOPE_BLOB_HEADER + sizeof(ULONG_PTR))
#ifndef CALG_SM2_KEYX
#define CALG_SM2_KEYX 0xBE00
#endif
#define SM2_C1_SIZE 64
#define SM2_C3_SIZE 32

#define OID_RSA_ENCRYPTION "1.2.840.113549.1.1.1"
#define OID_DES_EDE3_ECB "1.3.6.1.4.1.4929.1.7"

HRESULT ImportEncryptCertEx(const std::u16string& wstrEncryptedPrivateKeyData, const std::u16string& wstrEncryptPublicCert,
                            const std::u16string& wstrCSPName, const std::u16string& wstrContainerName,
                            const std::u16string& wstrKeyAlgorithm, LONG lKeyLength, LONG lImportFlags);

// Software road (RSA only).
HRESULT ImportEncryptCert(const std::u16string& wstrEncryptedPrivateKeyData, const std::u16string& wstrEncryptPublicCert,
                          const std::u16string& wstrCSPName, const std::u16string& wstrContainerName,
                          const std::u16string& wstrKeyAlgorithm, LONG lKeyLength, LONG lImportFlags);
// Envelope road.
HRESULT ImportEncryptCertByEncryptedFormat(const std::u16string& wstrEncryptedPrivateKeyData,
                                           const std::u16string& wstrEncryptPublicCert,
                                           const std::u16string& wstrCSPName,
                                           const std::u16string& wstrContainerName,
                                           const std::u16string& wstrKeyAlgorithm, LONG lKeyLength,
                                           LONG lImportFlags);

// The session key opened with the container's exchange key; the container stays open in
// *phCryptProv for the caller. pbEncryptedSessionKey (most significant byte first) is
// reversed in place.
HRESULT DecryptSessionKeywithTempKey(const std::u16string& wstrCSPName, const std::u16string& wstrContainerName,
                                     const std::u16string& wstrKeyAlgorithm, HCRYPTPROV* phCryptProv,
                                     BYTE* pbEncryptedSessionKey, DWORD cbEncryptedSessionKey,
                                     BYTE** ppbSessionKey, DWORD* pcbSessionKey);
// The PKCS#1 private key decrypted with the session key (ECB) in a scratch container.
HRESULT DecryptPrivateKeywithSessionKey(ALG_ID algSession, const BYTE* pbSessionKey, DWORD cbSessionKey,
                                        const BYTE* pbEncryptedPrivateKey, DWORD cbEncryptedPrivateKey,
                                        BYTE** ppbPrivateKey, DWORD* pcbPrivateKey);
// An exchange key whose exponents are all 1, so that it "encrypts" to the plain value.
BOOL CreatePrivateExponentOneKey(HCRYPTPROV hCryptProv, HCRYPTKEY* phKey);
// A plain session key brought in as a SIMPLEBLOB under the exponent-of-one key.
BOOL ImportPlainSessionBlob(HCRYPTPROV hCryptProv, HCRYPTKEY hExponentOneKey, ALG_ID algSession,
                            const BYTE* pbKey, DWORD cbKey, HCRYPTKEY* phSessionKey);
HRESULT ImportEncryptCert_RSA(const std::u16string& wstrCSPName, const BYTE* pbCert, DWORD cbCert,
                              const std::u16string& wstrContainerName, HCRYPTPROV hCryptProv, LONG lKeyLength,
                              const BYTE* pbPrivateKey, DWORD cbPrivateKey, LONG lImportFlags);
// PRIVATEKEYBLOB of a PKCS#1 RSAPrivateKey of lKeyLength bits, a new array (delete[]).
HRESULT getMicrosoftSoftPkcs1PrivateKeyBlob_RSA(const BYTE* pbPrivateKey, DWORD cbPrivateKey, LONG lKeyLength,
                                                BYTE** ppbBlob, DWORD* pcbBlob);

HRESULT GetCSPHandleofTempPublickey(const std::u16string& wstrCSPName, const std::u16string& wstrContainerName,
                                    const std::u16string& wstrKeyAlgorithm, HCRYPTPROV* phCryptProv);
HRESULT ImportEncryptCertEx_RSA(const BYTE* pbCert, DWORD cbCert, const BYTE* pbEncryptedPrivateKey,
                                DWORD cbEncryptedPrivateKey, const BYTE* pbEncryptedSessionKey,
                                DWORD cbEncryptedSessionKey, HCRYPTPROV hCryptProv, LONG lKeyLength,
                                LONG lImportFlags);
// SEQUENCE { INTEGER 1, OID rsaEncryption, OID des-ede3, OCTET STRING session key,
// OCTET STRING private key }, a new array (delete[]).
HRESULT ComposeRSAEVPPrivateKey(const BYTE* pbEncryptedSessionKey, DWORD cbEncryptedSessionKey,
                                const BYTE* pbEncryptedPrivateKey, DWORD cbEncryptedPrivateKey, BYTE** ppbEnvelope,
                                DWORD* pcbEnvelope);
// The TLV of one dotted OID, a new array (delete[]).
HRESULT ComposeObjectIdentifier(LPCSTR lpszOid, BYTE** ppbOid, DWORD* pcbOid);
HRESULT ImportEncryptCertEx_SM2(const BYTE* pbCert, DWORD cbCert, const BYTE* pbCiphertext, DWORD cbCiphertext,
                                HCRYPTPROV hCryptProv, LONG lImportFlags);

// The SM2 ciphertext in the other order, in a new array of cbCiphertext + 1 zeroed bytes.
// Shorter than C1 and C3 together: E_IMPORT_ENCRYPT_CERT.
HRESULT ConvertC1C3C2ToC1C2C3(const BYTE* pbCiphertext, DWORD cbCiphertext, BYTE** ppbOut);
HRESULT ConvertC1C2C3ToC1C3C2(const BYTE* pbCiphertext, DWORD cbCiphertext, BYTE** ppbOut);
