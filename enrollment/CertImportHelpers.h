// Helpers both certificate imports share: the personal-store entry with its container link,
// comma removal and Base64 decoding of delivered texts.
#pragma once

#include <string> // before windows.h: the CRT's char16_t overloads must not join std::

#include <windows.h>
#include <wincrypt.h>

#include "HResult.h"

#define E_IMPORT_ENCRYPT_CERT MAKE_OWN_HRESULT(0x1403)

// Adds the certificate to the current user's "MY" store (replacing a copy) and links it to
// the key container with the key provider information.
HRESULT AddCertificateToSystemStore(LPCWSTR lpwszCSPName, HCRYPTPROV hCryptProv, const BYTE* pbCert, DWORD cbCert,
                                    DWORD dwKeySpec, LPCWSTR lpwszContainerName);

// True when the bytes are exactly one definite-length DER SEQUENCE.
bool IsOneDerElement(const BYTE* pbData, DWORD cbData);

// CryptSetKeyParam(KP_CERTIFICATE) passes no length, so a CSP reads the certificate's end from
// its own DER header. Only a buffer that is exactly one definite-length SEQUENCE is handed on;
// anything else fails with NTE_BAD_DATA as last error before any CSP reads it.
BOOL SetKeyCertificate(HCRYPTKEY hKey, const BYTE* pbCert, DWORD cbCert);

// Removes every "," from the text.
void EraseCommaInWstr(std::u16string& wstrText);

// The bytes of a Base64 text in a new array (delete[]) for the caller.
HRESULT DecodeBase64Key(LPCWSTR lpwszBase64, BYTE** ppbData, DWORD* pcbData);

// Provider type of the RSA containers of a CSP: PROV_RSA_AES for the AES provider, else
// PROV_RSA_FULL.
DWORD RsaProviderTypeOfCSP(const std::u16string& wstrCSPName, const char16_t* lpwszAesMarker);

// Frees an array that held plain key material, wiped first.
inline void FreeKeyMaterial(BYTE* pbData, DWORD cbData)
{
    if (pbData)
    {
        volatile BYTE* pb = pbData;
        for (DWORD i = 0; i < cbData; ++i)
        {
            pb[i] = 0;
        }
        delete[] pbData;
    }
}

// Case-sensitive substring test, as the CSP-name rules need.
inline bool ContainsText(const std::u16string& wstrText, const char16_t* lpwszPart)
{
    return wstrText.find(lpwszPart) != std::u16string::npos;
}
