// Certificates kept in CSP key containers without being registered in a store: the search
// of the containers of chosen CSPs, the records of what was found, and the CSP list.
#pragma once

#include <string> // before windows.h: the CRT's char16_t overloads must not join std::
#include <vector>

#include <windows.h>
#include <wincrypt.h>

#include "CertificateFilter.h"

// Room for a provider or container name, terminator included.
#define UNREGISTERED_NAME_CCH 260

// One certificate found in a key container; owns one reference to the certificate.
typedef struct _UNREGISTERED_CERT_CONTEXT
{
    WCHAR wszProviderName[UNREGISTERED_NAME_CCH];
    WCHAR wszContainerName[UNREGISTERED_NAME_CCH];
    DWORD dwKeySpec; // AT_KEYEXCHANGE or AT_SIGNATURE
    PCCERT_CONTEXT pCertContext;
} UNREGISTERED_CERT_CONTEXT, *PUNREGISTERED_CERT_CONTEXT;

// Owns its records; RemoveAllUnregisteredCertificates frees them.
typedef std::vector<PUNREGISTERED_CERT_CONTEXT> UnregisteredCertificateList;

HRESULT CertCreateUnregisteredCertContext(LPCWSTR lpwszContainerName, LPCWSTR lpwszProviderName,
                                          PCCERT_CONTEXT pCertContext, DWORD dwKeySpec,
                                          PUNREGISTERED_CERT_CONTEXT* ppRecord);
HRESULT CertDuplicateUnregisteredCertContext(const UNREGISTERED_CERT_CONTEXT* pSource,
                                             PUNREGISTERED_CERT_CONTEXT* ppRecord);
void CertFreeUnregisteredCertContext(PUNREGISTERED_CERT_CONTEXT pRecord);
void RemoveAllUnregisteredCertificates(UnregisteredCertificateList& lstRecords);

// The certificate of one key of one container; E_PRIVATE_KEY_REGISTERED when the platform
// already finds the certificate's key through a store.
HRESULT GetUnregisteredCertfromContainer(LPCWSTR lpwszProviderName, LPCWSTR lpwszContainerName, DWORD dwKeySpec,
                                         PUNREGISTERED_CERT_CONTEXT* ppRecord);

// 0 passes; the CSP list and the private-key requirement are not applied here.
HRESULT CheckUnregisteredCertficate(PCCERT_CONTEXT pCertContext, const CERT_FILTER_INFO* pFilter);

HRESULT FilterUnregisteredCertificatesfromSpecifiedCSP(LPCWSTR lpwszProviderName, const CERT_FILTER_INFO* pFilter,
                                                       UnregisteredCertificateList& lstRecords);
// A null list searches every installed CSP; CSPs whose names hold "Microsoft" are skipped.
HRESULT FilterUnregisteredCertificatesfromCSP(LPCWSTR lpwszCSPNameList, const CERT_FILTER_INFO* pFilter,
                                              UnregisteredCertificateList& lstRecords);

// The installed CSPs' names joined with "||", a new array (delete[]) for the caller.
HRESULT GetAllCSPName(LPWSTR* ppwszAllCSPName);
