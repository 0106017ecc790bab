// Removal of the authority's discarded certificates from the "CA" stores and the machine's
// root store in the registry.
#include <qm/machine.h>

#include "../../platform/crypt32/tests/cert_factory.h"
#include "CertificateChainDelete.h"
#include "ChainFixture.h"
#include "DiscardTables.h"

namespace
{
struct Discarded
{
    const char* pszFile;
    bool bRoot;
};

// Every certificate the two tables name, made by make-chains.py.
const Discarded kDiscarded[] = {
    {"rsa-g1-root", true},  {"rsa-g1-sub1", false}, {"rsa-g2-root", true},  {"rsa-g2-sub1", false},
    {"rsa-g3-root", true},  {"rsa-g3-sub1", false}, {"rsa-g4-root", true},  {"rsa-g4-sub1", false},
    {"rsa-g4-sub2", false}, {"sm2-g1-root", true},  {"sm2-g1-sub1", false}, {"sm2-g1-sub2", false},
    {"sm2-g2-root", true},  {"sm2-g2-sub1", false}, {"sm2-g3-root", true},  {"sm2-g3-sub1", false},
    {"sm2-g3-sub2", false},
};

class DiscardRemovalTest : public ChainMachineTest
{
protected:
    static Bytes Cert(const std::string& strName) { return PemFileToDer("discarded/" + strName + ".pem"); }

    // What an earlier installation and the user left behind.
    void PlantDiscarded()
    {
        for (const Discarded& d : kDiscarded)
        {
            Bytes der = Cert(d.pszFile);
            AddToStore(CERT_SYSTEM_STORE_LOCAL_MACHINE, u"CA", der);
            if (d.bRoot)
            {
                WriteRootKey(HKEY_LOCAL_MACHINE, der);
                WriteRootKey(HKEY_CURRENT_USER, der);
            }
            else
            {
                AddToStore(CERT_SYSTEM_STORE_CURRENT_USER, u"CA", der);
            }
        }
    }

    static void RunBothTables()
    {
        EXPECT_EQ(DeleteRSADiscardCert(), S_OK);
        EXPECT_EQ(DeleteSM2DiscardCert(), S_OK);
    }
};

TEST_F(DiscardRemovalTest, TablesHaveTheirShape)
{
    auto Kinds = [](const DISCARD_CERT_ROW* rgRows, DWORD cRows) {
        std::string str;
        for (DWORD i = 0; i < cRows; ++i)
        {
            str += rgRows[i].eKind == DISCARD_ROOT ? 'R' : 'I';
        }
        return str;
    };
    EXPECT_EQ(Kinds(g_rgRSADiscardCerts, g_cRSADiscardCerts), "IRIRIRIIR");
    EXPECT_EQ(Kinds(g_rgSM2DiscardCerts, g_cSM2DiscardCerts), "IIRIRIIR");
    // Each root row's thumbprint names the certificate the script made for it.
    for (const Discarded& d : kDiscarded)
    {
        if (!d.bRoot)
        {
            continue;
        }
        const std::u16string wstrThumb = Wide(Thumbprint(Cert(d.pszFile)));
        bool bFound = false;
        for (const auto& [rgRows, cRows] : {std::pair<const DISCARD_CERT_ROW*, DWORD>{g_rgRSADiscardCerts, g_cRSADiscardCerts},
                                            std::pair<const DISCARD_CERT_ROW*, DWORD>{g_rgSM2DiscardCerts, g_cSM2DiscardCerts}})
        {
            for (DWORD i = 0; i < cRows; ++i)
            {
                bFound |= rgRows[i].eKind == DISCARD_ROOT && wstrThumb == rgRows[i].lpwszSecond;
            }
        }
        EXPECT_TRUE(bFound) << d.pszFile;
    }
}

TEST_F(DiscardRemovalTest, FreshMachineRootRowsFailAtTheRegistryStep)
{
    RunBothTables();
    // 4 RSA and 3 SM2 root rows, each with nothing to delete under the root store key.
    EXPECT_EQ(ResultsOf(u"DeleteTrustedRootCert - DeleteRegistryKey"), std::vector<uint32_t>(7, 0x80070002u));
    // The intermediate rows found nothing and succeeded in both stores.
    EXPECT_EQ(ResultsOf(u"DeleteIntermediateCert - DeleteCertificateFromStore(LocalMachine)"),
              std::vector<uint32_t>(10, 0u));
    EXPECT_EQ(ResultsOf(u"DeleteIntermediateCert - DeleteCertificateFromStore(CurrentUser)"),
              std::vector<uint32_t>(10, 0u));
}

TEST_F(DiscardRemovalTest, DiscardedCertificatesAreRemovedAndOthersKept)
{
    PlantDiscarded();
    // Kept: the same subject and serial under another authority's issuer, and a current
    // certificate of the authority.
    const Bytes stranger = Cert("rsa-g1-sub1-stranger");
    AddToStore(CERT_SYSTEM_STORE_LOCAL_MACHINE, u"CA", stranger);
    // Removed: a longer subject that contains the row's subject text.
    const Bytes longer = Cert("rsa-g1-sub1-longer");
    AddToStore(CERT_SYSTEM_STORE_LOCAL_MACHINE, u"CA", longer);
    AddToStore(CERT_SYSTEM_STORE_CURRENT_USER, u"CA", longer);

    std::set<std::string> setUserRoots;
    for (const Discarded& d : kDiscarded)
    {
        if (d.bRoot)
        {
            setUserRoots.insert(Thumbprint(Cert(d.pszFile)));
        }
    }
    ASSERT_EQ(RootRegistryKeys(), setUserRoots);

    RunBothTables();

    EXPECT_EQ(StoreThumbprints(CERT_SYSTEM_STORE_LOCAL_MACHINE, u"CA"), std::set<std::string>{Thumbprint(stranger)});
    EXPECT_TRUE(StoreThumbprints(CERT_SYSTEM_STORE_CURRENT_USER, u"CA").empty());
    EXPECT_TRUE(RootRegistryKeys().empty());
    // A root's copy in the current user's root store stays.
    EXPECT_EQ(StoreThumbprints(CERT_SYSTEM_STORE_CURRENT_USER, u"ROOT"), setUserRoots);

    // A second run finds nothing more to do and changes nothing.
    const auto mapBefore = DumpCertificateKeys();
    RunBothTables();
    EXPECT_EQ(DumpCertificateKeys(), mapBefore);
}

TEST_F(DiscardRemovalTest, NotElevatedEveryRowIsAttemptedAndTheUserStoreIsNotSearched)
{
    PlantDiscarded();
    const auto mapBefore = DumpCertificateKeys();
    qm::SetProcessElevated(false);
    RunBothTables();
    qm::SetProcessElevated(true);

    EXPECT_EQ(DumpCertificateKeys(), mapBefore);
    EXPECT_EQ(ResultsOf(u"DeleteIntermediateCert - DeleteCertificateFromStore(LocalMachine)"),
              std::vector<uint32_t>(10, 0x80070005u));
    // The machine step failed, so no row went on to the user's store (which it could write).
    EXPECT_TRUE(ResultsOf(u"DeleteCertificateFromStore(CurrentUser)").empty());
    EXPECT_EQ(ResultsOf(u"DeleteCertificateFromStore(LocalMachine-CA)"), std::vector<uint32_t>(7, 0x80070005u));
    EXPECT_EQ(ResultsOf(u"DeleteTrustedRootCert - DeleteRegistryKey"), std::vector<uint32_t>(7, 0x80070005u));
}

TEST_F(DiscardRemovalTest, OnlyTheTwoSystemLocationsAreAccepted)
{
    for (DWORD dwFlag : {0u, (DWORD)(CERT_SYSTEM_STORE_LOCAL_MACHINE | CERT_SYSTEM_STORE_CURRENT_USER), 0x40000u})
    {
        EXPECT_EQ(DeleteCertificateFromStore(dwFlag, nullptr), E_INVALIDARG) << dwFlag;
    }
    EXPECT_EQ(ResultsOf(u"Check Parameters(dwFlag)"), std::vector<uint32_t>(3, 0x80070057u));
}

TEST_F(DiscardRemovalTest, RowWithBadSerialTextIsReportedAndTheStoresUntouched)
{
    PlantDiscarded();
    const auto mapBefore = DumpCertificateKeys();
    EXPECT_EQ(DeleteIntermediateCert(u"O=Brevan Certificate Authority, C=CN", u"51AB00ZZ",
                                     u"CN=Brevan RSA Operation CA, O=Brevan Certificate Authority, C=CN"),
              E_INVALIDARG);
    EXPECT_EQ(DumpCertificateKeys(), mapBefore);
}

TEST_F(DiscardRemovalTest, RowSerialMatchesTheCertificatesNumberNotJustItsBytes)
{
    // A row writes 8A0B0C0D for a certificate whose DER serial is 00 8A 0B 0C 0D.
    qm::test::CertFactory factory;
    qm::test::CertSpec spec;
    spec.subject = "/C=CN/O=Brevan Certificate Authority/CN=Brevan RSA Operation CA";
    spec.serial = "0x8A0B0C0D";
    const qm::test::Der signByte = factory.Make(spec);
    spec.serial = "0x518A0B0C0D"; // one more significant byte
    const qm::test::Der longer = factory.Make(spec);
    spec.serial = "0x0B0C0D"; // the row's low bytes only
    const qm::test::Der shorter = factory.Make(spec);
    for (const auto* der : {&signByte, &longer, &shorter})
    {
        AddToStore(CERT_SYSTEM_STORE_LOCAL_MACHINE, u"CA", Bytes(der->begin(), der->end()));
        AddToStore(CERT_SYSTEM_STORE_CURRENT_USER, u"CA", Bytes(der->begin(), der->end()));
    }

    EXPECT_EQ(DeleteIntermediateCert(u"O=Brevan Certificate Authority, C=CN", u"8A0B0C0D",
                                     u"CN=Brevan RSA Operation CA, O=Brevan Certificate Authority, C=CN"),
              S_OK);

    const std::set<std::string> setKept = {Thumbprint(Bytes(longer.begin(), longer.end())),
                                           Thumbprint(Bytes(shorter.begin(), shorter.end()))};
    EXPECT_EQ(StoreThumbprints(CERT_SYSTEM_STORE_LOCAL_MACHINE, u"CA"), setKept);
    EXPECT_EQ(StoreThumbprints(CERT_SYSTEM_STORE_CURRENT_USER, u"CA"), setKept);
}
} // namespace
