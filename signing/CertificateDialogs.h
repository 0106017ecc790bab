// The user's choice of one certificate among candidates, in the plug-in's selection dialog.
#pragma once

#include "CertificateFilter.h"

// Options of the selection, version 0 (the signing agent's form).
typedef struct _SelectCertificateParams
{
    DWORD dwVersion;           // 0
    HINSTANCE hResourceModule; // strings and pictures of the dialog
    DWORD dwForceDialog;       // non-zero shows the dialog even for a single candidate
    DWORD dwUseParent;         // 1: hwndParent owns the dialog
    HWND hwndParent;
} SelectCertificateParams;

// Version 1: texts of the dialog instead of the forced-dialog flag.
typedef struct _SelectCertificateParamsV1
{
    DWORD dwVersion; // 1
    HINSTANCE hResourceModule;
    LPCWSTR lpwszTitle; // a title always shows the dialog
    LPCWSTR lpwszOKText;
    LPCWSTR lpwszCancelText;
    DWORD dwUseParent;
    HWND hwndParent;
} SelectCertificateParamsV1;

// What the dialog receives with WM_INITDIALOG; a null text keeps the template's.
typedef struct _SelectCertificateInitRecord
{
    HINSTANCE hResourceModule;
    HCERTSTORE hCertStore;
    HWND hwndOwner;
    LPCWSTR lpwszTitle;
    LPCWSTR lpwszPrompt;
    void* pvReserved;
    LPCWSTR lpwszOKText;
    LPCWSTR lpwszCancelText;
} SelectCertificateInitRecord;

// The dialog's code for a cancelled selection; it reaches callers as 0xA0071002.
#define SELECT_CERTIFICATE_CANCELLED 0x20001002L

// The chosen certificate into *ppCertificate (the caller frees it) and S_OK; on failure
// *ppCertificate is untouched. pParams points at either version of the options. The caller
// keeps its references to the candidates.
HRESULT CustomCryptUIDlgSelectCertificate(const SelectCertificateParams* pParams, CertificateList vtrCertificates,
                                          PCCERT_CONTEXT* ppCertificate);

// The certificate chosen from the store, or null; the thread's last error tells the outcome.
PCCERT_CONTEXT CustomCryptUIDlgSelectCertificateFromStore(const SelectCertificateParams* pParams,
                                                          HCERTSTORE hCertStore);

// Runs the modal dialog: IDOK, IDCANCEL, or -1 when it could not be created.
INT_PTR RunSelectCertificateDialog(const SelectCertificateInitRecord* pInitRecord, PCCERT_CONTEXT* ppCertificate,
                                   HRESULT* phErrorCode);
