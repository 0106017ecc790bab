#include "CertificateChoice.h"

#include "CertificateDialogs.h"
#include "ModuleHandle.h"

// ERROR_TLW_WITH_WSCHILD as the selection maps it: its dialog could not be created.
#define E_DIALOG_NOT_CREATED ((HRESULT)0x8007057EL)

HRESULT ChooseSigningCertificate(const CertificateList& vtrCertificateSet, PCCERT_CONTEXT* ppChosen)
{
    SelectCertificateParams params = {};
    params.dwVersion = 0;
    params.hResourceModule = g_hModuleInstance;
    params.dwForceDialog = 0;
    params.dwUseParent = 1;
    params.hwndParent = GetForegroundWindow();
    HRESULT hResult = CustomCryptUIDlgSelectCertificate(&params, vtrCertificateSet, ppChosen);
    // The foreground window may not be able to own the dialog; the active one is tried once.
    if (hResult == E_DIALOG_NOT_CREATED)
    {
        params.hwndParent = GetActiveWindow();
        hResult = CustomCryptUIDlgSelectCertificate(&params, vtrCertificateSet, ppChosen);
    }
    return hResult;
}
