// Records of the user's certificates for the page: "subject;serial;from;to;CSP" joined
// with "||", store certificates first, then certificates held only in key containers.
#pragma once

#include <string> // before windows.h: the CRT's char16_t overloads must not join std::

#include <windows.h>
#include <wincrypt.h>

#include "ContainerCertificates.h"

// The listing behind Brevan_GetAllCertInfo; lpwszCSPNameList may be null.
HRESULT GetAllCertInfo(LPCWSTR lpwszCSPNameList, std::u16string& wstrRecords);

HRESULT GetAllCertificatesInfoinStore(std::u16string& wstrRecords, HCERTSTORE hCertStore);
HRESULT GetCertificateInfo(std::u16string& wstrRecord, PCCERT_CONTEXT pstCertContext);
HRESULT GetAllCertificatesInfoUnregisteredCertSet(UnregisteredCertificateList vtrUnregisteredCertSet,
                                                  std::u16string& wstrRecords);
HRESULT GetCertificateInfoUnregisteredCert(std::u16string& wstrRecord,
                                           const UNREGISTERED_CERT_CONTEXT* pstUnregisteredCertContext);

// CERT_KEY_PROV_INFO_PROP_ID in a new array (delete[]) for the caller.
HRESULT GetCertificateContextProperty(DWORD* pcbData, PCCERT_CONTEXT pstCertContext, BYTE** ppbData);

// "%04d-%02d-%02d %02d:%02d:%02d".
HRESULT GetTimeString(std::u16string& wstrTime, const SYSTEMTIME* pstSysTime);
HRESULT ConvertUTCtimetoLocalTime(SYSTEMTIME* pstSysTime);
