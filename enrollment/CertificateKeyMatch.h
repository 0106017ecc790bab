// Whether a delivered certificate is a certificate, and one for the key it is bound to:
// checked before an import writes anything.
#pragma once

#include <windows.h>
#include <wincrypt.h>

// The certificate context of the bytes (the caller frees it): NTE_BAD_DATA when they are not
// one complete DER element, the decoder's error when they are no certificate. Failures are
// traced under the operation's name.
HRESULT DecodeCertificateBytes(LPCWSTR lpwszOperation, const BYTE* pbCert, DWORD cbCert,
                               PCCERT_CONTEXT* ppCertContext);

// S_OK when the bytes are one certificate whose key is RSA (bSm2 false) or an EC key (SM2).
// Not one complete DER element: NTE_BAD_DATA; no certificate: the decoder's error; a key of
// the other algorithm: E_IMPORT_ENCRYPT_CERT.
HRESULT CheckDeliveredCertificate(const BYTE* pbCert, DWORD cbCert, bool bSm2);

// S_OK when the certificate carries the public key of hKey; a certificate for another key
// gives E_IMPORT_ENCRYPT_CERT, bytes that are no certificate fail as above, and a key that
// cannot be exported gives its last error.
HRESULT CheckCertificateOfKey(HCRYPTKEY hKey, const BYTE* pbCert, DWORD cbCert);
