// CryptUI: the certificate viewer.
#pragma once

#include "windows.h"
#include "wincrypt.h"

#define CRYPTUI_HIDE_HIERARCHYPAGE 0x00000001
#define CRYPTUI_HIDE_DETAILPAGE 0x00000002
#define CRYPTUI_DISABLE_EDITPROPERTIES 0x00000004
#define CRYPTUI_ENABLE_EDITPROPERTIES 0x00000008

typedef struct tagCRYPTUI_VIEWCERTIFICATE_STRUCTW
{
    DWORD dwSize;
    HWND hwndParent;
    DWORD dwFlags;
    LPCWSTR szTitle;
    PCCERT_CONTEXT pCertContext;
    LPCSTR* rgszPurposes;
    DWORD cPurposes;
    void* pCryptProviderData; // not used here
    BOOL fpCryptProviderDataTrustedUsage;
    DWORD idxSigner;
    DWORD idxCert;
    BOOL fCounterSigner;
    DWORD idxCounterSigner;
    DWORD cStores;
    HCERTSTORE* rghStores;
    DWORD cPropSheetPages;
    void* rgPropSheetPages;
    DWORD nStartPage;
} CRYPTUI_VIEWCERTIFICATE_STRUCTW, *PCRYPTUI_VIEWCERTIFICATE_STRUCTW;
typedef const CRYPTUI_VIEWCERTIFICATE_STRUCTW* PCCRYPTUI_VIEWCERTIFICATE_STRUCTW;

// A modal viewer owned by hwndParent: the certificate's subject, issuer, serial number and
// validity, closed with its OK button (or Escape, or the close box). *pfPropertiesChanged
// is always FALSE. FALSE with ERROR_INVALID_PARAMETER for a null record, a dwSize smaller
// than the record up to pCertContext, or no certificate.
QMAPI BOOL WINAPI CryptUIDlgViewCertificateW(PCCRYPTUI_VIEWCERTIFICATE_STRUCTW pCertViewInfo,
                                             BOOL* pfPropertiesChanged);
#define CryptUIDlgViewCertificate CryptUIDlgViewCertificateW
