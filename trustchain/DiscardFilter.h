// The certificate filter the removal of discarded certificates applies: the filter record
// and the store extraction and filtering, with the criteria the removal sets (subject and
// issuer DN fragments, serial number). Kept in its own namespace so that it can give way to
// the foundation's filters without a clash.
#pragma once

#include <string> // before windows.h: the CRT's char16_t overloads must not join std::
#include <vector>

#include <windows.h>

namespace ChainFilter
{
// Fields in the order of the foundation's record; null or zero switches a criterion off.
struct CERT_FILTER_INFO
{
    LPCWSTR lpwszSubjectDN;    // "#"-separated fragments of the subject's X.500 text
    LPCWSTR lpwszIssuerDN;     // "#"-separated fragments of the issuer's X.500 text
    LPCWSTR lpwszCSPNames;     // not used by the removal
    const BYTE* pbSubjectKeyID; // not used by the removal
    const BYTE* pbSerialNumber; // CryptoAPI order (least significant first)
    DWORD cbSerialNumber;       // bytes of pbSerialNumber; beyond them the serial reads as zero
    DWORD dwKeyUsage;           // not used by the removal
    int nPrivateKeyRequired;    // not used by the removal
    LPCSTR lpszSignatureAlgPrefix; // not used by the removal
    const FILETIME* pCheckTime;    // not used by the removal
};

typedef std::vector<PCCERT_CONTEXT> CERT_LIST;

// Appends a duplicate of every certificate of the store. Null store: E_INVALIDARG.
HRESULT ExtractCertificatesFromStore(HCERTSTORE hCertStore, CERT_LIST& lstCerts);

// Appends duplicates of the candidates that pass every criterion the record sets.
HRESULT FilterCertificates(const CERT_FILTER_INFO* pFilter, const CERT_LIST& lstCandidates, CERT_LIST& lstResult);

// Frees every context and empties the list.
void RemoveAllCertificates(CERT_LIST& lstCerts);
} // namespace ChainFilter
