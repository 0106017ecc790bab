// Reader of the encrypted key-pair text that the certification authority delivers for a
// double certificate, and of the encryption certificate text beside it.
#pragma once

#include <string> // before windows.h: the CRT's char16_t overloads must not join std::

#include <windows.h>
#include <wincrypt.h>

#include "HResult.h"

#define E_INVALID_DEVICE_TYPE MAKE_OWN_HRESULT(0x1404)
#define E_INVALID_ENCRYPT_TYPE MAKE_OWN_HRESULT(0x1405)
#define E_INVALID_SESSION_KEY_TYPE MAKE_OWN_HRESULT(0x1406)

// Session key type 306 of the text: a Triple DES session key.
#define DELIVERY_SESSION_KEY_3DES 306
// Width of each number of the text, in characters.
#define DELIVERY_NUMBER_CCH 16
#define DELIVERY_HEADER_CCH 48

// Outputs below are new arrays (delete[]) for the caller; nothing is handed out on failure.

// The DER certificate of a Base64 text; commas are removed from wstrCert in place.
HRESULT ParseEncryptCertPublicKeyCert(std::u16string& wstrCert, BYTE** ppbCert, DWORD* pcbCert);

// Encrypted session key, its algorithm (CALG_3DES) and the encrypted private key.
HRESULT ParseEncryptCertPrivateKeyData(const std::u16string& wstrData, BYTE** ppbSessionKey, DWORD* pcbSessionKey,
                                       ALG_ID* pSessionKeyAlg, BYTE** ppbPrivateKey, DWORD* pcbPrivateKey);
// As above; session key type 0 is accepted, and then no session key is handed out (*pSessionKeyAlg 0).
HRESULT ParseEncryptCertPrivateKeyDataEx(const std::u16string& wstrData, BYTE** ppbSessionKey,
                                         DWORD* pcbSessionKey, ALG_ID* pSessionKeyAlg, BYTE** ppbPrivateKey,
                                         DWORD* pcbPrivateKey);

// The decoded DER of both fields (no session key DER when the Ex reading finds type 0).
HRESULT GetSessionKeyandPrivateKeyASN1Obj(const std::u16string& wstrData, BYTE** ppbSessionKeyDer,
                                          DWORD* pcbSessionKeyDer, BYTE** ppbPrivateKeyDer, DWORD* pcbPrivateKeyDer,
                                          ALG_ID* pSessionKeyAlg);
HRESULT GetSessionKeyandPrivateKeyASN1ObjEx(const std::u16string& wstrData, BYTE** ppbSessionKeyDer,
                                            DWORD* pcbSessionKeyDer, BYTE** ppbPrivateKeyDer,
                                            DWORD* pcbPrivateKeyDer, ALG_ID* pSessionKeyAlg);

// One length-prefixed field at *pnPosition: its Base64 text without commas; the position
// moves past it. An empty field leaves the text empty.
HRESULT GetBase64KeyFromEncryptedData(const std::u16string& wstrData, size_t* pnPosition,
                                      std::u16string& wstrBase64);

// The value octets of the second element of a two-element DER object.
HRESULT GetSessionKeyorPrivateKeyFromASN1Obj(const BYTE* pbDer, DWORD cbDer, BYTE** ppbValue, DWORD* pcbValue);

// A decimal number the way the text writes it: optional white space and sign, then digits
// up to the first other character; no digits read as 0.
long long ReadDeliveryNumber(const std::u16string& wstrPiece);
