// Certificates found in key containers: records, the container search over real provider
// modules (the platform's software CSPs and a vendor-style CSP), and the CSP list.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "../../platform/crypt32/tests/cert_factory.h"
#include "ContainerCertificates.h"
#include "HResult.h"
#include "qm/csp_registration.h"
#include "qm/machine.h"

namespace
{
const DWORD kEnc = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;
const char16_t kToken[] = u"Quill Token CSP";
const char16_t kOtherToken[] = u"Quill microsoft Token"; // lower case: not one of the platform's
const char16_t kMsNamed[] = u"Microsoft Quill Token";     // holds certificates, yet is never searched
const char16_t kEnhanced[] = u"Microsoft Enhanced Cryptographic Provider v1.0";

PCCERT_CONTEXT Context(const qm::test::Der& der)
{
    return CertCreateCertificateContext(kEnc, der.data(), DWORD(der.size()));
}

qm::test::Der Encoded(PCCERT_CONTEXT cert)
{
    return qm::test::Der(cert->pbCertEncoded, cert->pbCertEncoded + cert->cbCertEncoded);
}

struct Found
{
    std::u16string provider;
    std::u16string container;
    DWORD spec;
    bool operator==(const Found&) const = default;
};

std::vector<Found> Summary(const UnregisteredCertificateList& records)
{
    std::vector<Found> out;
    for (auto* r : records)
        out.push_back({r->wszProviderName, r->wszContainerName, r->dwKeySpec});
    return out;
}

void PrintTo(const Found& f, std::ostream* os)
{
    *os << std::string(f.provider.begin(), f.provider.end()) << "/"
        << std::string(f.container.begin(), f.container.end()) << "/" << f.spec;
}
} // namespace

class ContainerCertificatesTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_factory = std::make_unique<qm::test::CertFactory>();
        qm::test::CertSpec alice, bob, carol, sm2;
        alice.subject = "/O=Quill/CN=Alice";
        alice.extensions = {"keyUsage=digitalSignature"};
        bob.subject = "/O=Other/CN=Bob";
        bob.serial = "0x2002";
        carol.subject = "/CN=Carol";
        carol.serial = "0x4004";
        sm2.subject = "/O=Quill/CN=Token SM2";
        sm2.key = "sm2";
        sm2.digest = "sm3";
        sm2.serial = "0x3003";
        s_alice = s_factory->Make(alice);
        s_bob = s_factory->Make(bob);
        s_carol = s_factory->Make(carol);
        s_sm2 = s_factory->Make(sm2);
    }
    static void TearDownTestSuite() { s_factory.reset(); }

    void SetUp() override
    {
        m_dir = std::filesystem::temp_directory_path() /
                ("qm-containers-" + std::to_string(::getpid()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(m_dir);
        qm::SetMachineDirectory(m_dir);
        if (m_registerProviders)
            RegisterProviders();
    }
    void TearDown() override
    {
        qm::SetProcessElevated(false);
        std::error_code ec;
        std::filesystem::remove_all(m_dir, ec);
    }

    static void RegisterProviders()
    {
        qm::SetProcessElevated(true);
        ASSERT_EQ(ERROR_SUCCESS, qm::RegisterPlatformCryptProviders(QM_RSAENH_PATH));
        for (const char16_t* name : {kToken, kOtherToken, kMsNamed})
            ASSERT_EQ(ERROR_SUCCESS, qm::RegisterCryptProvider(name, QM_FIXTURE_CSP, PROV_RSA_FULL));
        qm::SetProcessElevated(false);
    }

    // A key in a container of the provider, with the certificate set on it (none if empty).
    static void PutKey(const char16_t* provider, const char16_t* container, DWORD spec, const qm::test::Der& der)
    {
        HCRYPTPROV h = 0;
        if (!CryptAcquireContextW(&h, container, provider, PROV_RSA_FULL, 0))
            ASSERT_TRUE(CryptAcquireContextW(&h, container, provider, PROV_RSA_FULL, CRYPT_NEWKEYSET))
                << std::hex << GetLastError();
        HCRYPTKEY key = 0;
        ASSERT_TRUE(CryptGenKey(h, spec, 0, &key)) << std::hex << GetLastError();
        if (!der.empty())
            EXPECT_TRUE(CryptSetKeyParam(key, KP_CERTIFICATE, der.data(), 0)) << std::hex << GetLastError();
        CryptDestroyKey(key);
        CryptReleaseContext(h, 0);
    }

    // The certificate in the user's "MY" store with the key-provider property for its key.
    static void RegisterInMy(const qm::test::Der& der, const char16_t* provider, const char16_t* container,
                             DWORD spec)
    {
        HCERTSTORE my = CertOpenStore(CERT_STORE_PROV_SYSTEM_W, kEnc, 0, CERT_SYSTEM_STORE_CURRENT_USER, u"MY");
        ASSERT_NE(nullptr, my);
        PCCERT_CONTEXT added = nullptr;
        ASSERT_TRUE(CertAddEncodedCertificateToStore(my, kEnc, der.data(), DWORD(der.size()),
                                                     CERT_STORE_ADD_REPLACE_EXISTING, &added));
        CRYPT_KEY_PROV_INFO kp{};
        kp.pwszContainerName = const_cast<LPWSTR>(container);
        kp.pwszProvName = const_cast<LPWSTR>(provider);
        kp.dwProvType = PROV_RSA_FULL;
        kp.dwKeySpec = spec;
        EXPECT_TRUE(CertSetCertificateContextProperty(added, CERT_KEY_PROV_INFO_PROP_ID, 0, &kp));
        CertFreeCertificateContext(added);
        CertCloseStore(my, 0);
    }

    void FailEnumeration(const char16_t* provider)
    {
        std::u16string p(provider);
        auto dir = m_dir / "fixture-csp" / std::string(p.begin(), p.end());
        std::filesystem::create_directories(dir);
        std::ofstream(dir / "fail-enum") << "broken";
    }

    bool m_registerProviders = true;
    std::filesystem::path m_dir;
    static inline std::unique_ptr<qm::test::CertFactory> s_factory;
    static inline qm::test::Der s_alice, s_bob, s_carol, s_sm2;
};

TEST_F(ContainerCertificatesTest, RecordsRefuseMissingAndOverlongNames)
{
    PCCERT_CONTEXT cert = Context(s_alice);
    ASSERT_NE(nullptr, cert);
    const std::u16string longest(UNREGISTERED_NAME_CCH - 1, u'n');
    const std::u16string tooLong(UNREGISTERED_NAME_CCH, u'n');
    struct Case
    {
        const char* what;
        const char16_t* container;
        const char16_t* provider;
        PCCERT_CONTEXT cert;
        HRESULT expected;
    } cases[] = {
        {"no certificate", u"c", kToken, nullptr, E_INVALIDARG},
        {"no provider", u"c", nullptr, cert, E_INVALIDARG},
        {"empty provider", u"c", u"", cert, E_INVALIDARG},
        {"no container", nullptr, kToken, cert, E_INVALIDARG},
        {"empty container", u"", kToken, cert, E_INVALIDARG},
        {"260-character provider", u"c", tooLong.c_str(), cert, E_INVALIDARG},
        {"260-character container", tooLong.c_str(), kToken, cert, E_INVALIDARG},
        {"259 characters fit", longest.c_str(), longest.c_str(), cert, S_OK},
    };
    for (const auto& c : cases)
    {
        PUNREGISTERED_CERT_CONTEXT record = nullptr;
        EXPECT_EQ(c.expected, CertCreateUnregisteredCertContext(c.container, c.provider, c.cert, AT_SIGNATURE, &record))
            << c.what;
        EXPECT_EQ(c.expected == S_OK, record != nullptr) << c.what;
        if (record)
        {
            EXPECT_EQ(longest, record->wszContainerName);
            EXPECT_EQ(longest, record->wszProviderName);
        }
        CertFreeUnregisteredCertContext(record);
    }
    CertFreeCertificateContext(cert);
}

TEST_F(ContainerCertificatesTest, RecordsHoldTheirOwnReferences)
{
    PCCERT_CONTEXT cert = Context(s_sm2);
    ASSERT_NE(nullptr, cert);
    PUNREGISTERED_CERT_CONTEXT record = nullptr;
    ASSERT_EQ(S_OK, CertCreateUnregisteredCertContext(u"box", kToken, cert, AT_KEYEXCHANGE, &record));
    CertFreeCertificateContext(cert); // the caller's reference goes; the record keeps its own

    PUNREGISTERED_CERT_CONTEXT copy = nullptr;
    ASSERT_EQ(S_OK, CertDuplicateUnregisteredCertContext(record, &copy));
    ASSERT_NE(record, copy);
    CertFreeUnregisteredCertContext(record); // the copy outlives its source
    EXPECT_EQ(std::u16string(kToken), copy->wszProviderName);
    EXPECT_EQ(std::u16string(u"box"), copy->wszContainerName);
    EXPECT_EQ(DWORD(AT_KEYEXCHANGE), copy->dwKeySpec);
    EXPECT_EQ(s_sm2, Encoded(copy->pCertContext));

    // Bad sources leave the out-parameter as it was.
    UNREGISTERED_CERT_CONTEXT noCert{};
    UNREGISTERED_CERT_CONTEXT noNames{};
    noNames.pCertContext = copy->pCertContext;
    UNREGISTERED_CERT_CONTEXT unterminated = *copy;
    std::fill(std::begin(unterminated.wszContainerName), std::end(unterminated.wszContainerName), u'x');
    PUNREGISTERED_CERT_CONTEXT untouched = copy;
    const UNREGISTERED_CERT_CONTEXT* bads[] = {nullptr, &noCert, &noNames, &unterminated};
    for (const UNREGISTERED_CERT_CONTEXT* bad : bads)
    {
        EXPECT_EQ(E_INVALIDARG, CertDuplicateUnregisteredCertContext(bad, &untouched));
        EXPECT_EQ(copy, untouched);
    }

    UnregisteredCertificateList list = {copy, nullptr};
    RemoveAllUnregisteredCertificates(list);
    EXPECT_TRUE(list.empty());
    CertFreeUnregisteredCertContext(nullptr);
}

TEST_F(ContainerCertificatesTest, ReadsTheCertificateOfOneKey)
{
    PutKey(kToken, u"both", AT_KEYEXCHANGE, s_sm2);
    PutKey(kToken, u"both", AT_SIGNATURE, s_alice);
    PutKey(kToken, u"bare", AT_SIGNATURE, {});
    PutKey(kToken, u"corrupt", AT_SIGNATURE, {0x30, 0x03, 0x02, 0x01, 0x05});
    PutKey(kToken, u"registered", AT_SIGNATURE, s_bob);
    RegisterInMy(s_bob, kToken, u"registered", AT_SIGNATURE);
    PutKey(kEnhanced, u"software", AT_SIGNATURE, {});

    struct Case
    {
        const char* what;
        const char16_t* provider;
        const char16_t* container;
        DWORD spec;
        HRESULT expected; // S_FALSE: any failure
        const qm::test::Der* cert;
    } cases[] = {
        {"exchange key", kToken, u"both", AT_KEYEXCHANGE, S_OK, &s_sm2},
        {"signature key", kToken, u"both", AT_SIGNATURE, S_OK, &s_alice},
        {"no provider", nullptr, u"both", AT_SIGNATURE, E_INVALIDARG, nullptr},
        {"empty container", kToken, u"", AT_SIGNATURE, E_INVALIDARG, nullptr},
        {"missing container", kToken, u"nowhere", AT_SIGNATURE, NTE_BAD_KEYSET, nullptr},
        {"missing key", kToken, u"bare", AT_KEYEXCHANGE, NTE_NO_KEY, nullptr},
        {"key without certificate", kToken, u"bare", AT_SIGNATURE, HRESULT(0x8010002C), nullptr},
        {"certificate that does not parse", kToken, u"corrupt", AT_SIGNATURE, S_FALSE, nullptr},
        {"certificate registered with its key", kToken, u"registered", AT_SIGNATURE, HRESULT(0xA0071009), nullptr},
        {"software keys carry no certificate", kEnhanced, u"software", AT_SIGNATURE, NTE_BAD_TYPE, nullptr},
        {"unknown provider", u"Nobody's CSP", u"both", AT_SIGNATURE, S_FALSE, nullptr},
    };
    for (const auto& c : cases)
    {
        PUNREGISTERED_CERT_CONTEXT record = nullptr;
        HRESULT hr = GetUnregisteredCertfromContainer(c.provider, c.container, c.spec, &record);
        if (c.expected == S_FALSE)
            EXPECT_TRUE(FAILED(hr)) << c.what << std::hex << " " << hr;
        else
            EXPECT_EQ(c.expected, hr) << c.what << std::hex << " " << hr;
        ASSERT_EQ(c.cert != nullptr, record != nullptr) << c.what;
        if (record)
        {
            EXPECT_EQ(*c.cert, Encoded(record->pCertContext)) << c.what;
            EXPECT_EQ(std::u16string(c.provider), record->wszProviderName);
            EXPECT_EQ(std::u16string(c.container), record->wszContainerName);
            EXPECT_EQ(c.spec, record->dwKeySpec);
        }
        CertFreeUnregisteredCertContext(record);
    }
}

TEST_F(ContainerCertificatesTest, SearchesEveryContainerOfOneCsp)
{
    const std::u16string longName = u"container-with-a-much-longer-name-than-the-others";
    PutKey(kToken, u"a", AT_SIGNATURE, s_alice);
    PutKey(kToken, u"a", AT_KEYEXCHANGE, s_sm2);
    PutKey(kToken, longName.c_str(), AT_SIGNATURE, s_bob);
    PutKey(kToken, u"m", AT_SIGNATURE, {});
    PutKey(kToken, u"x-registered", AT_SIGNATURE, s_carol);
    RegisterInMy(s_carol, kToken, u"x-registered", AT_SIGNATURE);

    UnregisteredCertificateList list;
    ASSERT_EQ(S_OK, FilterUnregisteredCertificatesfromSpecifiedCSP(kToken, nullptr, list));
    // The exchange key before the signature key; the key without a certificate and the
    // registered one give nothing.
    const std::vector<Found> all = {{kToken, u"a", AT_KEYEXCHANGE},
                                    {kToken, u"a", AT_SIGNATURE},
                                    {kToken, longName, AT_SIGNATURE}};
    EXPECT_EQ(all, Summary(list));
    EXPECT_EQ(s_sm2, Encoded(list[0]->pCertContext));

    // The filter applies; its CSP list and private-key requirement do not.
    CERT_FILTER_INFO quill{u"o=quill"};
    quill.lpwszCSPNameList = u"no such CSP";
    quill.nPrivateKeyRequired = 1;
    UnregisteredCertificateList filtered = {list[2]}; // appended to, never replaced
    list.pop_back();
    ASSERT_EQ(S_OK, FilterUnregisteredCertificatesfromSpecifiedCSP(kToken, &quill, filtered));
    EXPECT_EQ((std::vector<Found>{{kToken, longName, AT_SIGNATURE},
                                  {kToken, u"a", AT_KEYEXCHANGE},
                                  {kToken, u"a", AT_SIGNATURE}}),
              Summary(filtered));
    CERT_FILTER_INFO rsaOnly{};
    rsaOnly.lpszSignatureAlgOIDPrefix = "1.2.840.113549";
    rsaOnly.dwKeyUsage = 0x80;
    UnregisteredCertificateList rsa;
    ASSERT_EQ(S_OK, FilterUnregisteredCertificatesfromSpecifiedCSP(kToken, &rsaOnly, rsa));
    EXPECT_EQ((std::vector<Found>{{kToken, u"a", AT_SIGNATURE}}), Summary(rsa));

    // With every criterion off a missing certificate must still not pass.
    EXPECT_EQ(E_FAIL, CheckUnregisteredCertficate(nullptr, nullptr));

    RemoveAllUnregisteredCertificates(list);
    RemoveAllUnregisteredCertificates(filtered);
    RemoveAllUnregisteredCertificates(rsa);
}

TEST_F(ContainerCertificatesTest, OneCspFailsCleanly)
{
    PutKey(kToken, u"a", AT_SIGNATURE, s_alice);
    FailEnumeration(kToken);
    struct Case
    {
        const char* what;
        const char16_t* provider;
        HRESULT expected; // S_FALSE: any failure
    } cases[] = {
        {"enumeration fails at the first call (customer bit dropped)", kToken, HRESULT(0x80070123)},
        {"a CSP without containers", kEnhanced, HRESULT(0x80070103)},
        {"a CSP that is not installed", u"Nobody's CSP", S_FALSE},
        {"no name", u"", E_INVALIDARG},
        {"null name", nullptr, E_INVALIDARG},
    };
    for (const auto& c : cases)
    {
        UnregisteredCertificateList list;
        HRESULT hr = FilterUnregisteredCertificatesfromSpecifiedCSP(c.provider, nullptr, list);
        if (c.expected == S_FALSE)
            EXPECT_TRUE(FAILED(hr)) << c.what;
        else
            EXPECT_EQ(c.expected, hr) << c.what << std::hex << " " << hr;
        EXPECT_TRUE(list.empty()) << c.what;
    }
}

TEST_F(ContainerCertificatesTest, SkipsThePlatformsCspsByCaseSensitiveName)
{
    PutKey(kToken, u"t", AT_SIGNATURE, s_alice);
    PutKey(kOtherToken, u"o", AT_KEYEXCHANGE, s_sm2);
    PutKey(kMsNamed, u"never", AT_SIGNATURE, s_bob);

    std::u16string allThree = std::u16string(kMsNamed) + u"||" + kToken + u"||" + kOtherToken;
    std::u16string withSoftware = std::u16string(kEnhanced) + u"||" + kToken;
    struct Case
    {
        const char* what;
        const char16_t* list;
        std::vector<Found> expected;
    } cases[] = {
        {"a platform CSP and a token CSP", withSoftware.c_str(), {{kToken, u"t", AT_SIGNATURE}}},
        {"\"microsoft\" in lower case is searched",
         allThree.c_str(),
         {{kToken, u"t", AT_SIGNATURE}, {kOtherToken, u"o", AT_KEYEXCHANGE}}},
        {"every installed CSP", nullptr, {{kOtherToken, u"o", AT_KEYEXCHANGE}, {kToken, u"t", AT_SIGNATURE}}},
        {"an empty list searches nothing", u"", {}},
        {"a CSP name that is not installed", u"Nobody's CSP", {}},
    };
    for (const auto& c : cases)
    {
        UnregisteredCertificateList list;
        EXPECT_EQ(S_OK, FilterUnregisteredCertificatesfromCSP(c.list, nullptr, list)) << c.what;
        EXPECT_EQ(c.expected, Summary(list)) << c.what;
        RemoveAllUnregisteredCertificates(list);
    }

    // A failing CSP does not end the search of the others.
    FailEnumeration(kOtherToken);
    UnregisteredCertificateList list;
    EXPECT_EQ(S_OK, FilterUnregisteredCertificatesfromCSP(allThree.c_str(), nullptr, list));
    EXPECT_EQ((std::vector<Found>{{kToken, u"t", AT_SIGNATURE}}), Summary(list));
    RemoveAllUnregisteredCertificates(list);
}

TEST_F(ContainerCertificatesTest, ListsTheInstalledCsps)
{
    LPWSTR all = nullptr;
    ASSERT_EQ(S_OK, GetAllCSPName(&all));
    ASSERT_NE(nullptr, all);
    // In the order of the provider key's subkeys, which the registry sorts without case.
    EXPECT_EQ(std::u16string(u"Microsoft Base Cryptographic Provider v1.0||"
                             u"Microsoft Enhanced Cryptographic Provider v1.0||"
                             u"Microsoft Enhanced RSA and AES Cryptographic Provider||"
                             u"Microsoft Quill Token||"
                             u"Microsoft Strong Cryptographic Provider||"
                             u"Quill microsoft Token||"
                             u"Quill Token CSP"),
              all);
    delete[] all;
    EXPECT_EQ(E_INVALIDARG, GetAllCSPName(nullptr));
}

class NoProvidersTest : public ContainerCertificatesTest
{
protected:
    NoProvidersTest() { m_registerProviders = false; }
};

TEST_F(NoProvidersTest, NoCspGivesAnEmptyText)
{
    LPWSTR all = nullptr;
    ASSERT_EQ(S_OK, GetAllCSPName(&all));
    ASSERT_NE(nullptr, all);
    EXPECT_EQ(std::u16string(), all);
    delete[] all;
    UnregisteredCertificateList list;
    EXPECT_EQ(S_OK, FilterUnregisteredCertificatesfromCSP(nullptr, nullptr, list));
    EXPECT_TRUE(list.empty());
}
