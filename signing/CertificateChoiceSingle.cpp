// The choice while the selection dialog is not part of the build: one candidate is taken
// as the dialog takes it; several cannot be offered, which reads as a cancelled choice.
#include "CertificateChoice.h"

#include "SigningCodes.h"

HRESULT ChooseSigningCertificate(const CertificateList& vtrCertificateSet, PCCERT_CONTEXT* ppChosen)
{
    if (vtrCertificateSet.size() != 1)
    {
        return E_USER_CANCELLED;
    }
    PCCERT_CONTEXT pChosen = CertDuplicateCertificateContext(vtrCertificateSet[0]);
    if (!pChosen)
    {
        return E_OUTOFMEMORY;
    }
    *ppChosen = pChosen;
    return S_OK;
}
