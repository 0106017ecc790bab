// Certificate filters over real certificates made by openssl, and EncodeObject.
#include <gtest/gtest.h>

#include <vector>

#include "../../platform/crypt32/tests/cert_factory.h"
#include "CertificateFilter.h"
#include "EncodeObject.h"
#include "HResult.h"

namespace
{
PCCERT_CONTEXT Make(qm::test::CertFactory& f, const qm::test::CertSpec& spec)
{
    auto der = f.Make(spec);
    return CertCreateCertificateContext(X509_ASN_ENCODING | PKCS_7_ASN_ENCODING, der.data(), DWORD(der.size()));
}

std::vector<int> Passing(const CERT_FILTER_INFO& filter, const CertificateList& candidates)
{
    CertificateList result;
    EXPECT_EQ(S_OK, FilterCertificates(&filter, candidates, result));
    std::vector<int> idx;
    for (PCCERT_CONTEXT r : result)
        for (size_t i = 0; i < candidates.size(); ++i)
            if (candidates[i] == r)
                idx.push_back(int(i));
    RemoveAllCertificates(result);
    return idx;
}
} // namespace

TEST(EncodeObjectTest, EncodesIntoANewBufferAndMapsFailures)
{
    BYTE ku[] = {0x80};
    CRYPT_BIT_BLOB bits{1, ku, 0};
    BYTE* pb = nullptr;
    DWORD cb = 0;
    ASSERT_EQ(S_OK, EncodeObject(&bits, &cb, X509_KEY_USAGE, &pb));
    EXPECT_EQ((std::vector<BYTE>{0x03, 0x02, 0x07, 0x80}), std::vector<BYTE>(pb, pb + cb));
    delete[] pb;
    pb = nullptr;
    EXPECT_EQ(HRESULT(0x80070002), EncodeObject(&bits, &cb, reinterpret_cast<LPCSTR>(9999), &pb));
    EXPECT_EQ(nullptr, pb);
}

TEST(CertificateFilterTest, ParseFiltersKeepsEmptyFragments)
{
    struct Case
    {
        const char16_t* text;
        std::vector<std::u16string> fragments;
    } cases[] = {
        {u"CN=Alice#CN=Bob", {u"CN=Alice", u"CN=Bob"}},
        {u"", {u""}},
        {u"#", {u"", u""}},
        {u"a#", {u"a", u""}},
    };
    for (const auto& c : cases)
    {
        FilterFragmentList got;
        ParseFilters(c.text, got);
        EXPECT_EQ(c.fragments, std::vector<std::u16string>(got.begin(), got.end()));
    }
    FilterFragmentList none;
    ParseFilters(nullptr, none);
    EXPECT_TRUE(none.empty());
    FilterFragmentList longOne;
    ParseFilters(std::u16string(300, u'x').c_str(), longOne);
    EXPECT_EQ(255u, longOne.front().size());
}

TEST(CertificateFilterTest, EachCriterionSelectsTheCertificatesItShould)
{
    qm::test::CertFactory factory;
    qm::test::CertSpec alice, bob, sm2;
    alice.subject = "/O=Quill/CN=Alice";
    alice.serial = "0x8F01"; // DER 00 8F 01: a leading zero byte
    alice.extensions = {"keyUsage=digitalSignature", "subjectKeyIdentifier=hash"};
    bob.subject = "/O=Other/CN=Bob";
    bob.digest = "sha1";
    sm2.subject = "/O=Quill";
    sm2.key = "sm2";
    sm2.digest = "sm3";
    sm2.extensions = {"keyUsage=keyEncipherment,digitalSignature"};
    CertificateList certs = {Make(factory, alice), Make(factory, bob), Make(factory, sm2)};
    for (auto* c : certs)
        ASSERT_NE(nullptr, c);

    BYTE aliceSerial[] = {0x01, 0x8F, 0x00, 0, 0, 0, 0}; // spare zero bytes after the serial
    BYTE aliceLongerSerial[] = {0x01, 0x8F, 0x00, 0x51};
    BYTE* pbKeyId = nullptr;
    DWORD cbKeyId = 0;
    ASSERT_EQ(S_OK, GetCertSubjectKeyID(certs[0], &pbKeyId, &cbKeyId));
    FILETIME past{0, 0};
    FILETIME now;
    GetSystemTimeAsFileTime(&now);

    struct Case
    {
        const char* what;
        CERT_FILTER_INFO filter;
        std::vector<int> expected;
    } cases[] = {
        {"no criteria", {}, {0, 1, 2}},
        {"either subject, any case", {u"cn=alice#CN=BOB"}, {0, 1}},
        {"empty subject filter", {u""}, {0, 1, 2}},
        {"trailing # passes all", {u"CN=Nobody#"}, {0, 1, 2}},
        {"issuer", {nullptr, u"O=Quill"}, {0, 2}},
        {"digital signature usage", {nullptr, nullptr, nullptr, nullptr, 0, nullptr, 0, 0x80}, {0, 2}},
        {"key encipherment usage", {nullptr, nullptr, nullptr, nullptr, 0, nullptr, 0, 0x20}, {2}},
        {"RSA signatures", {nullptr, nullptr, nullptr, nullptr, 0, nullptr, 0, 0, 0, "1.2.840.113549"}, {0, 1}},
        {"SM2 signatures", {nullptr, nullptr, nullptr, nullptr, 0, nullptr, 0, 0, 0, "1.2.156.10197"}, {2}},
        {"serial number", {nullptr, nullptr, nullptr, nullptr, 0, aliceSerial, 3}, {0}},
        {"serial without its sign byte", {nullptr, nullptr, nullptr, nullptr, 0, aliceSerial, 2}, {0}},
        {"serial with the spare bytes", {nullptr, nullptr, nullptr, nullptr, 0, aliceSerial, 7}, {0}},
        {"low byte of the serial only", {nullptr, nullptr, nullptr, nullptr, 0, aliceSerial, 1}, {}},
        {"serial with another top byte", {nullptr, nullptr, nullptr, nullptr, 0, aliceLongerSerial, 4}, {}},
        {"subject key identifier", {nullptr, nullptr, nullptr, pbKeyId, cbKeyId}, {0}},
        {"valid now", {nullptr, nullptr, nullptr, nullptr, 0, nullptr, 0, 0, 0, nullptr, &now}, {0, 1, 2}},
        {"not yet valid in 1601", {nullptr, nullptr, nullptr, nullptr, 0, nullptr, 0, 0, 0, nullptr, &past}, {}},
        {"CSP list without key property", {nullptr, nullptr, u"Microsoft"}, {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.expected, Passing(c.filter, certs)) << c.what;

    // The CSP list matches any part of the name in the key-provider property.
    CRYPT_KEY_PROV_INFO kp{};
    kp.pwszContainerName = const_cast<LPWSTR>(u"box");
    kp.pwszProvName = const_cast<LPWSTR>(u"Microsoft Enhanced Cryptographic Provider v1.0");
    kp.dwProvType = PROV_RSA_FULL;
    kp.dwKeySpec = AT_KEYEXCHANGE;
    ASSERT_TRUE(CertSetCertificateContextProperty(certs[1], CERT_KEY_PROV_INFO_PROP_ID, 0, &kp));
    CERT_FILTER_INFO csp{nullptr, nullptr, u"token||enhanced crypto"};
    EXPECT_EQ(std::vector<int>{1}, Passing(csp, certs));

    EXPECT_EQ(E_NO_KEY_USAGE_ATTRIBUTE, CheckCertKeyUsage(0x80, certs[1]));
    EXPECT_EQ(E_INVALID_CERT_USAGE, CheckCertKeyUsage(0x04, certs[0]));
    EXPECT_EQ(E_NO_SUBJECT_KEY_ID_ATTRIBUTE, GetCertSubjectKeyID(certs[1], nullptr, &cbKeyId));
    DWORD item = 0;
    EXPECT_EQ(E_QUERY_TYPE_NOT_SUPPORTED, QueryCertContextInfo(&item, &item, certs[0], 12));
    LPWSTR cn = nullptr;
    DWORD cch = 0;
    ASSERT_EQ(S_OK, QueryCertContextInfo(&cch, &cn, certs[2], CERT_QUERY_COMMON_NAME));
    EXPECT_EQ(std::u16string(u"Quill"), cn);
    EXPECT_EQ(6u, cch);
    delete[] cn;
    LPWSTR subject = nullptr;
    ASSERT_EQ(S_OK, QueryCertContextInfo(&cch, &subject, certs[0], CERT_QUERY_SUBJECT));
    EXPECT_EQ(std::u16string(u"CN=Alice, O=Quill"), subject);
    delete[] subject;
    delete[] pbKeyId;
    RemoveAllCertificates(certs);
    EXPECT_TRUE(certs.empty());
}
