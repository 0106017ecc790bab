#include "CertificateDialogs.h"

#include "HResult.h"
#include "HResult.h"
#include "ModuleHandle.h"
#include "SelectCertificateDlg.h"
#include "Trace.h"

#define SOURCE_UNIT u"CertificateDialogs"

namespace
{
// Field 3 of either version: the forced-dialog flag, or in version 1 the title.
bool IsDialogForced(const SelectCertificateParams* pParams)
{
    if (pParams->dwVersion == 1)
    {
        return reinterpret_cast<const SelectCertificateParamsV1*>(pParams)->lpwszTitle != nullptr;
    }
    return pParams->dwForceDialog != 0;
}
} // namespace

HRESULT CustomCryptUIDlgSelectCertificate(const SelectCertificateParams* pParams, CertificateList vtrCertificates,
                                          PCCERT_CONTEXT* ppCertificate)
{
    static const WCHAR s_wszName[] = u"CustomCryptUIDlgSelectCertificate";
    TraceHelper trace(s_wszName);
    if (ppCertificate == nullptr)
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"Check parameter", u"ppCertificate == NULL", E_POINTER);
        return E_POINTER;
    }
    if (pParams == nullptr)
    {
        HRESULT hResult = HResultFromWin32KeepCustomer(ERROR_INVALID_PARAMETER);
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"Check parameter", u"pParams == NULL", hResult);
        return hResult;
    }

    if (!IsDialogForced(pParams) && vtrCertificates.size() == 1)
    {
        PCCERT_CONTEXT pstSelectedCert = CertDuplicateCertificateContext(vtrCertificates[0]);
        if (pstSelectedCert == nullptr)
        {
            HRESULT hResult = HResultOfFailedCallKeepCustomer();
            TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"CertDuplicateCertificateContext", u"pstSelectedCert == NULL",
                              hResult);
            return hResult;
        }
        *ppCertificate = pstSelectedCert;
        return S_OK;
    }

    HCERTSTORE hCacheCertStore =
        CertOpenStore(CERT_STORE_PROV_MEMORY, X509_ASN_ENCODING | PKCS_7_ASN_ENCODING, 0, 0, nullptr);
    if (hCacheCertStore == nullptr)
    {
        HRESULT hResult = HResultOfFailedCallKeepCustomer();
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"CertOpenStore", u"hCacheCertStore == NULL", hResult);
        return hResult;
    }
    for (PCCERT_CONTEXT pCandidate : vtrCertificates)
    {
        BOOL bRetCode =
            CertAddCertificateContextToStore(hCacheCertStore, pCandidate, CERT_STORE_ADD_USE_EXISTING, nullptr);
        if (bRetCode == FALSE)
        {
            HRESULT hResult = HResultOfFailedCallKeepCustomer();
            TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"CertAddCertificateContextToStore", u"bRetCode == FALSE",
                              hResult);
            CertCloseStore(hCacheCertStore, 0);
            return hResult;
        }
    }

    PCCERT_CONTEXT pstSelectedCert = CustomCryptUIDlgSelectCertificateFromStore(pParams, hCacheCertStore);
    if (pstSelectedCert == nullptr)
    {
        HRESULT hResult = HResultOfFailedCallKeepCustomer();
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"CustomCryptUIDlgSelectCertificateFromStore",
                          u"pstSelectedCert == NULL", hResult);
        CertCloseStore(hCacheCertStore, 0);
        return hResult;
    }
    *ppCertificate = pstSelectedCert;
    CertCloseStore(hCacheCertStore, 0);
    return S_OK;
}

PCCERT_CONTEXT CustomCryptUIDlgSelectCertificateFromStore(const SelectCertificateParams* pParams,
                                                          HCERTSTORE hCertStore)
{
    static const WCHAR s_wszName[] = u"CustomCryptUIDlgSelectCertificateFromStore";
    TraceHelper trace(s_wszName);
    SelectCertificateInitRecord stInitRecord = {};
    stInitRecord.hCertStore = hCertStore;
    stInitRecord.hwndOwner = GetActiveWindow();

    if (pParams != nullptr && pParams->dwVersion == 0)
    {
        stInitRecord.hResourceModule = pParams->hResourceModule;
        if (pParams->dwUseParent == 1)
        {
            stInitRecord.hwndOwner = pParams->hwndParent;
        }
    }
    else if (pParams != nullptr && pParams->dwVersion == 1)
    {
        const auto* pParamsV1 = reinterpret_cast<const SelectCertificateParamsV1*>(pParams);
        stInitRecord.hResourceModule = pParamsV1->hResourceModule;
        stInitRecord.lpwszTitle = pParamsV1->lpwszTitle;
        stInitRecord.lpwszOKText = pParamsV1->lpwszOKText;
        stInitRecord.lpwszCancelText = pParamsV1->lpwszCancelText;
        if (pParamsV1->dwUseParent == 1)
        {
            stInitRecord.hwndOwner = pParamsV1->hwndParent;
        }
    }
    else
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"Check parameter", u"pParams == NULL || unknown version",
                          HResultFromWin32(ERROR_INVALID_PARAMETER));
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }

    PCCERT_CONTEXT pstSelectedCert = nullptr;
    HRESULT hErrorCode = S_OK;
    RunSelectCertificateDialog(&stInitRecord, &pstSelectedCert, &hErrorCode);
    SetLastError(static_cast<DWORD>(hErrorCode));
    return pstSelectedCert;
}

INT_PTR RunSelectCertificateDialog(const SelectCertificateInitRecord* pInitRecord, PCCERT_CONTEXT* ppCertificate,
                                   HRESULT* phErrorCode)
{
    static const WCHAR s_wszName[] = u"RunSelectCertificateDialog";
    TraceHelper trace(s_wszName);
    CSelectCertificateDlg dlg;
    INT_PTR nResult = dlg.DoModal(g_hModuleInstance, pInitRecord ? pInitRecord->hwndOwner : nullptr,
                                  reinterpret_cast<LPARAM>(pInitRecord));
    PCCERT_CONTEXT pstSelectedCert = dlg.GetSelectedCertificate();
    HRESULT hErrorCode = dlg.GetErrorCode();
    QM_TRACE_INFO(s_wszName, static_cast<LONG>(nResult), static_cast<LONG>(hErrorCode));
    if (nResult == -1 && hErrorCode == S_OK)
    {
        // The agent knows the mapped form of this code and retries with another owner.
        hErrorCode = static_cast<HRESULT>(ERROR_TLW_WITH_WSCHILD);
    }
    if (ppCertificate)
    {
        *ppCertificate = pstSelectedCert;
    }
    else if (pstSelectedCert)
    {
        CertFreeCertificateContext(pstSelectedCert);
    }
    if (phErrorCode)
    {
        *phErrorCode = hErrorCode;
    }
    return nResult;
}
