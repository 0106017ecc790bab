// The choice without the selection dialog: one candidate is taken as the dialog takes it;
// several cannot be offered to the user yet, and the call says so rather than guess.
#include "CertificateChoice.h"

HRESULT ChooseSigningCertificate(const CertificateList& vtrCertificateSet, PCCERT_CONTEXT* ppChosen)
{
    if (vtrCertificateSet.size() != 1)
    {
        return E_NOTIMPL;
    }
    PCCERT_CONTEXT pChosen = CertDuplicateCertificateContext(vtrCertificateSet[0]);
    if (!pChosen)
    {
        return E_OUTOFMEMORY;
    }
    *ppChosen = pChosen;
    return S_OK;
}
