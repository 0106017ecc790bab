// Removal of the certificates the authority has discarded.
#pragma once

#include <string> // before windows.h: the CRT's char16_t overloads must not join std::

#include <windows.h>

#include "CertificateFilter.h"

// Walk their table; every row is attempted and traced; always S_OK.
HRESULT DeleteRSADiscardCert();
HRESULT DeleteSM2DiscardCert();

// From the machine's "CA" store and, when that worked, the current user's.
HRESULT DeleteIntermediateCert(LPCWSTR lpwszIssuerDN, LPCWSTR lpwszSerialNumber, LPCWSTR lpwszSubjectDN);

// From the machine's "CA" store, then its key under the machine's root store in the registry.
HRESULT DeleteTrustedRootCert(LPCWSTR lpwszIssuerDN, LPCWSTR lpwszThumbprint, LPCWSTR lpwszSerialNumber,
                              LPCWSTR lpwszSubjectDN);

// Deletes every certificate of the "CA" store at the location that passes the filter.
HRESULT DeleteCertificateFromStore(DWORD dwFlag, const CERT_FILTER_INFO* pFilter);
