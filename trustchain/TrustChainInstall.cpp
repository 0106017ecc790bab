#include "TrustChainInstall.h"

#include "CertificateChainDelete.h"
#include "CertificateChainOperate.h"
#include "ChainResourceIds.h"
#include "Trace.h"

namespace
{
// No step depends on the result of another.
void DeleteDiscardedCertificates()
{
    TraceResult(DeleteRSADiscardCert(), u"DeleteRSADiscardCert");
    TraceResult(DeleteSM2DiscardCert(), u"DeleteSM2DiscardCert");
}
} // namespace

void InstallSigningTrustChains()
{
    DeleteDiscardedCertificates();
    TraceResult(ImportCertificateChainfromResoure(IDR_RSA_OPERATION_CERTIFICATE_CHAIN),
                u"ImportCertificateChainfromResoure(RSA Operation)");
    TraceResult(ImportCertificateChainfromResoure(IDR_RSA_TEST_CERTIFICATE_CHAIN),
                u"ImportCertificateChainfromResoure(RSA Test)");
}

void InstallEnrollmentTrustChains()
{
    DeleteDiscardedCertificates();
    TraceResult(ImportCertificateChainfromResoure(IDR_RSA_CERTIFICATE_CHAIN), u"ImportCertificateChainfromResoure");
    TraceResult(ImportCertificateChainfromResoure(IDR_TEST_RSA_CERTIFICATE_CHAIN),
                u"ImportCertificateChainfromResoure");
    TraceResult(ImportCertificateChainfromResoure(IDR_SM2_CERTIFICATE_CHAIN),
                u"ImportCertificateChainfromResoure(IDR_SM2_CERTIFICATE_CHAIN)");
    TraceResult(ImportCertificateChainfromResoure(IDR_TEST_SM2_CERTIFICATE_CHAIN),
                u"ImportCertificateChainfromResoure(IDR_TEST_SM2_CERTIFICATE_CHAIN)");
}
