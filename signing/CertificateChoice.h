// The user's choice among the candidate certificates.
#pragma once

#include "CertificateFilter.h"

// The chosen certificate (the caller frees it); the candidates keep their own references.
// With one candidate it is taken without asking.
HRESULT ChooseSigningCertificate(const CertificateList& vtrCertificateSet, PCCERT_CONTEXT* ppChosen);
