// The NP_Install bodies of both plug-ins, with the chain documents in this program's resources.
#include <qm/machine.h>
#include <qm/module.h>

#include "CertificateChainOperate.h"
#include "ChainFixture.h"
#include "ModuleHandle.h"
#include "TrustChainInstall.h"

namespace
{
class InstallTest : public ChainMachineTest
{
protected:
    void SetUp() override
    {
        ChainMachineTest::SetUp();
        g_hModuleInstance = qm::ModuleFromAddress(reinterpret_cast<const void*>(&InstallTest::Anchor));
        ASSERT_NE(g_hModuleInstance, nullptr);
    }
    static void Anchor() {}

    static std::set<std::string> Expected(std::initializer_list<const char*> documents, bool bRoots)
    {
        std::set<std::string> setThumbs;
        for (const char* pszDocument : documents)
        {
            for (const ChainEntry& entry : Manifest(pszDocument))
            {
                if (entry.bRoot == bRoots && !entry.bExpired)
                {
                    setThumbs.insert(entry.strThumbprint);
                }
            }
        }
        return setThumbs;
    }

    // Results of NP_Install's own steps, in order.
    std::vector<std::pair<std::u16string, uint32_t>> TopLevelResults() const
    {
        std::vector<std::pair<std::u16string, uint32_t>> vecTop;
        for (const auto& result : Results())
        {
            const std::u16string& wstrLabel = result.first;
            if (wstrLabel == u"DeleteRSADiscardCert" || wstrLabel == u"DeleteSM2DiscardCert" ||
                wstrLabel == u"ImportCertificateChainfromResoure" ||
                wstrLabel.rfind(u"ImportCertificateChainfromResoure(", 0) == 0)
            {
                vecTop.push_back(result);
            }
        }
        return vecTop;
    }
};

TEST_F(InstallTest, EnrollmentPluginInstallsAllFourChainsAndRepeatsToTheSameMachine)
{
    InstallEnrollmentTrustChains();

    const auto setRoots = Expected({"rsa-operational", "rsa-test", "sm2-operational", "sm2-test"}, true);
    const auto setIntermediates = Expected({"rsa-operational", "rsa-test", "sm2-operational", "sm2-test"}, false);
    EXPECT_EQ(RootRegistryKeys(), setRoots);
    EXPECT_EQ(StoreThumbprints(CERT_SYSTEM_STORE_LOCAL_MACHINE, u"ROOT"), setRoots);
    EXPECT_EQ(StoreThumbprints(CERT_SYSTEM_STORE_LOCAL_MACHINE, u"CA"), setIntermediates);
    EXPECT_EQ(TopLevelResults(), (std::vector<std::pair<std::u16string, uint32_t>>{
                                     {u"DeleteRSADiscardCert", 0},
                                     {u"DeleteSM2DiscardCert", 0},
                                     {u"ImportCertificateChainfromResoure", 0},
                                     {u"ImportCertificateChainfromResoure", 0},
                                     {u"ImportCertificateChainfromResoure(IDR_SM2_CERTIFICATE_CHAIN)", 0},
                                     {u"ImportCertificateChainfromResoure(IDR_TEST_SM2_CERTIFICATE_CHAIN)", 0},
                                 }));

    const auto mapBefore = DumpCertificateKeys();
    InstallEnrollmentTrustChains();
    EXPECT_EQ(DumpCertificateKeys(), mapBefore);
}

TEST_F(InstallTest, SigningPluginInstallsTheRsaChains)
{
    InstallSigningTrustChains();

    EXPECT_EQ(RootRegistryKeys(), Expected({"rsa-operational", "rsa-test"}, true));
    EXPECT_EQ(StoreThumbprints(CERT_SYSTEM_STORE_LOCAL_MACHINE, u"CA"), Expected({"rsa-operational", "rsa-test"}, false));
    EXPECT_EQ(TopLevelResults(), (std::vector<std::pair<std::u16string, uint32_t>>{
                                     {u"DeleteRSADiscardCert", 0},
                                     {u"DeleteSM2DiscardCert", 0},
                                     {u"ImportCertificateChainfromResoure(RSA Operation)", 0},
                                     {u"ImportCertificateChainfromResoure(RSA Test)", 0},
                                 }));
}

TEST_F(InstallTest, NotElevatedEveryStepRunsAndNothingIsWritten)
{
    const auto mapBefore = DumpCertificateKeys();
    qm::SetProcessElevated(false);
    InstallEnrollmentTrustChains();
    qm::SetProcessElevated(true);

    EXPECT_EQ(DumpCertificateKeys(), mapBefore);
    const uint32_t hrDenied = 0x80070005u;
    EXPECT_EQ(TopLevelResults(), (std::vector<std::pair<std::u16string, uint32_t>>{
                                     {u"DeleteRSADiscardCert", 0},
                                     {u"DeleteSM2DiscardCert", 0},
                                     {u"ImportCertificateChainfromResoure", hrDenied},
                                     {u"ImportCertificateChainfromResoure", hrDenied},
                                     {u"ImportCertificateChainfromResoure(IDR_SM2_CERTIFICATE_CHAIN)", hrDenied},
                                     {u"ImportCertificateChainfromResoure(IDR_TEST_SM2_CERTIFICATE_CHAIN)", hrDenied},
                                 }));
}

TEST_F(InstallTest, MissingResourceIsReportedWithoutOutput)
{
    EXPECT_EQ(ImportCertificateChainfromResoure(999), HRESULT_FROM_WIN32(ERROR_RESOURCE_NAME_NOT_FOUND));
    EXPECT_TRUE(RootRegistryKeys().empty());
}
} // namespace
