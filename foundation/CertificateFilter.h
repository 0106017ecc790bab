// Certificate queries, checks and filters over the user's personal store.
#pragma once

#include <list>
#include <string> // before windows.h: the CRT's char16_t overloads must not join std::
#include <vector>

#include <windows.h>
#include <wincrypt.h>

// The filter record; a null pointer or zero switches its criterion off.
typedef struct _CERT_FILTER_INFO
{
    LPCWSTR lpwszSubjectDNFilter;
    LPCWSTR lpwszIssuerDNFilter;
    LPCWSTR lpwszCSPNameList;
    const BYTE* pbSubjectKeyID;
    DWORD cbSubjectKeyID;       // compared only when equal to the certificate's length
    const BYTE* pbSerialNumber; // least significant byte first
    DWORD cbSerialNumber;
    DWORD dwKeyUsage;
    INT nPrivateKeyRequired;
    LPCSTR lpszSignatureAlgOIDPrefix;
    const FILETIME* pCheckTime;
} CERT_FILTER_INFO, *PCERT_FILTER_INFO;

typedef std::vector<PCCERT_CONTEXT> CertificateList;
typedef std::list<std::u16string> FilterFragmentList;

#define CERT_QUERY_SUBJECT 1
#define CERT_QUERY_SUBJECT_SIMPLE 2
#define CERT_QUERY_ISSUER 3
#define CERT_QUERY_SERIAL_NUMBER 4
#define CERT_QUERY_CSP_NAME 5
#define CERT_QUERY_NOT_AFTER 6
#define CERT_QUERY_NOT_BEFORE 7
#define CERT_QUERY_SUBJECT_KEY_ID 8
#define CERT_QUERY_KEY_USAGE 9
#define CERT_QUERY_CONTAINER_NAME 10
#define CERT_QUERY_COMMON_NAME 11

// Queries: texts and byte strings are new arrays (delete[]) for the caller.
HRESULT GetCertCN(PCCERT_CONTEXT pCert, LPWSTR* ppwszName, DWORD* pcchName);
HRESULT GetCertSubject(PCCERT_CONTEXT pCert, LPWSTR* ppwszSubject, DWORD* pcchSubject, DWORD dwStrType);
HRESULT GetCertIssuer(PCCERT_CONTEXT pCert, LPWSTR* ppwszIssuer, DWORD* pcchIssuer);
HRESULT GetCertKeyUsage(PCCERT_CONTEXT pCert, DWORD* pdwKeyUsage, DWORD* pcbKeyUsage);
HRESULT GetCertSerialNumber(BYTE** ppbSerial, PCCERT_CONTEXT pCert, DWORD* pcbSerial);
HRESULT GetCertSubjectKeyID(PCCERT_CONTEXT pCert, BYTE** ppbKeyID, DWORD* pcbKeyID);
HRESULT GetCertProviderName(PCCERT_CONTEXT pCert, LPWSTR* ppwszName, DWORD* pcchName);
HRESULT GetCertContainerName(PCCERT_CONTEXT pCert, LPWSTR* ppwszName, DWORD* pcchName);
HRESULT GetCertToDate(PCCERT_CONTEXT pCert, SYSTEMTIME* pTime, DWORD* pcbTime);
HRESULT GetCertFromDate(PCCERT_CONTEXT pCert, SYSTEMTIME* pTime, DWORD* pcbTime);
HRESULT QueryCertContextInfo(DWORD* pcbItem, void* pvItem, PCCERT_CONTEXT pCert, DWORD dwType);

// A CSP parameter into a new BYTE[]; PP_NAME and PP_CONTAINER give narrow texts.
HRESULT GetProviderInfo(DWORD* pcbData, HCRYPTPROV hProv, DWORD dwParam, BYTE** ppbData);

// Checks: 0 passes, anything else excludes the certificate.
HRESULT CheckCertSubjectName(PCCERT_CONTEXT pCert, DWORD dwStrType, const FilterFragmentList& lstFragments);
HRESULT CheckCertIssuer(PCCERT_CONTEXT pCert, const FilterFragmentList& lstFragments);
HRESULT CheckCSPName(PCCERT_CONTEXT pCert, const FilterFragmentList& lstFragments);
HRESULT CheckCertKeyUsage(DWORD dwMask, PCCERT_CONTEXT pCert);
HRESULT CheckCertSubjectKeyID(const BYTE* pbKeyID, DWORD cbKeyID, PCCERT_CONTEXT pCert);
HRESULT CheckCertSerialNumber(PCCERT_CONTEXT pCert, const BYTE* pbSerial, DWORD cbSerial);
HRESULT CheckCertSignatureAlg(LPCSTR lpszOIDPrefix, PCCERT_CONTEXT pCert);
HRESULT CheckCertTimeValidity(const FILETIME* pCheckTime, PCCERT_CONTEXT pCert);

void ParseFilters(LPCWSTR lpwszText, FilterFragmentList& lstFragments);
void RemoveAllCertificates(CertificateList& lstCerts);
HRESULT ExtractCertificatesFromStore(HCERTSTORE hStore, CertificateList& lstCerts);
HRESULT ExtractCertificatesFromLocalStore(CertificateList& lstCerts);
HRESULT FilterCertificates(const CERT_FILTER_INFO* pFilter, const CertificateList& lstCandidates,
                           CertificateList& lstResult);
HRESULT FilterCertificatesfromLocalStore(const CERT_FILTER_INFO* pFilter, CertificateList& lstResult);
