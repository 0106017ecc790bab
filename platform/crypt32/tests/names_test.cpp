// Name strings as Windows writes them: CertNameToStrW's keys, separators, quoting and
// order, and the name CertGetNameStringW chooses for display.
#include <algorithm>
#include <string>
#include <vector>

#include "crypt_test_support.h"

namespace
{
std::u16string NameToStr(PCCERT_CONTEXT c, DWORD type)
{
    DWORD n = CertNameToStrW(kEnc, &c->pCertInfo->Subject, type, nullptr, 0);
    std::u16string s(n, u'\0');
    EXPECT_EQ(n, CertNameToStrW(kEnc, &c->pCertInfo->Subject, type, s.data(), n));
    s.resize(n ? n - 1 : 0);
    return s;
}

std::u16string DisplayName(PCCERT_CONTEXT c)
{
    DWORD n = CertGetNameStringW(c, CERT_NAME_SIMPLE_DISPLAY_TYPE, 0, nullptr, nullptr, 0);
    std::u16string s(n, u'\0');
    EXPECT_EQ(n, CertGetNameStringW(c, CERT_NAME_SIMPLE_DISPLAY_TYPE, 0, nullptr, s.data(), n));
    s.resize(n ? n - 1 : 0);
    return s;
}

class NamesTest : public CryptTest
{
};
} // namespace

TEST_F(NamesTest, SeveralRdnsMultiValuedRdnsAndSpecialCharacters)
{
    auto der = Make("/C=CN/O=Quill Ltd/OU=Dev+CN=Alice/CN=Bob, Jr./emailAddress=bob@example.com");
    PCCERT_CONTEXT c = Context(der);
    ASSERT_NE(nullptr, c);
    const DWORD x500 = CERT_X500_NAME_STR;
    struct Case
    {
        DWORD type;
        const char16_t* text;
    } cases[] = {
        {x500, u"C=CN, O=Quill Ltd, OU=Dev + CN=Alice, CN=\"Bob, Jr.\", E=bob@example.com"},
        {x500 | CERT_NAME_STR_REVERSE_FLAG, u"E=bob@example.com, CN=\"Bob, Jr.\", OU=Dev + CN=Alice, O=Quill Ltd, C=CN"},
        {x500 | CERT_NAME_STR_REVERSE_FLAG | CERT_NAME_STR_NO_QUOTING_FLAG,
         u"E=bob@example.com, CN=Bob, Jr., OU=Dev + CN=Alice, O=Quill Ltd, C=CN"},
        {CERT_SIMPLE_NAME_STR, u"CN, Quill Ltd, Dev + Alice, \"Bob, Jr.\", bob@example.com"},
        {CERT_SIMPLE_NAME_STR | CERT_NAME_STR_REVERSE_FLAG | CERT_NAME_STR_NO_QUOTING_FLAG,
         u"bob@example.com, Bob, Jr., Dev + Alice, Quill Ltd, CN"},
        {x500 | CERT_NAME_STR_SEMICOLON_FLAG, u"C=CN; O=Quill Ltd; OU=Dev + CN=Alice; CN=\"Bob, Jr.\"; E=bob@example.com"},
        {x500 | CERT_NAME_STR_CRLF_FLAG | CERT_NAME_STR_NO_PLUS_FLAG,
         u"C=CN\r\nO=Quill Ltd\r\nOU=Dev CN=Alice\r\nCN=\"Bob, Jr.\"\r\nE=bob@example.com"},
        {CERT_OID_NAME_STR, u"2.5.4.6=CN, 2.5.4.10=Quill Ltd, 2.5.4.11=Dev + 2.5.4.3=Alice, 2.5.4.3=\"Bob, Jr.\", "
                            u"1.2.840.113549.1.9.1=bob@example.com"},
    };
    for (const auto& k : cases)
        EXPECT_EQ(std::u16string(k.text), NameToStr(c, k.type)) << std::hex << k.type;
    CertFreeCertificateContext(c);
}

TEST_F(NamesTest, QuotesDoubleEmbeddedQuotesAndGuardSpaces)
{
    auto der = Make("/O=Say \"Hi\"/OU= padded /L=a=b/ST=x;y/CN=\xE5\xBC\xA0\xE4\xB8\x89");
    PCCERT_CONTEXT c = Context(der);
    ASSERT_NE(nullptr, c);
    EXPECT_EQ(std::u16string(u"O=\"Say \"\"Hi\"\"\", OU=\" padded \", L=\"a=b\", S=\"x;y\", CN=\u5f20\u4e09"),
              NameToStr(c, CERT_X500_NAME_STR));
    EXPECT_EQ(std::u16string(u"CN=\u5f20\u4e09, S=x;y, L=a=b, OU= padded , O=Say \"Hi\""),
              NameToStr(c, CERT_X500_NAME_STR | CERT_NAME_STR_REVERSE_FLAG | CERT_NAME_STR_NO_QUOTING_FLAG));
    CertFreeCertificateContext(c);
}

TEST_F(NamesTest, ShortBuffersAndBadNames)
{
    auto der = Make("/CN=Truncate Me");
    PCCERT_CONTEXT c = Context(der);
    WCHAR buf[5];
    EXPECT_EQ(5u, CertNameToStrW(kEnc, &c->pCertInfo->Subject, CERT_X500_NAME_STR, buf, 5));
    EXPECT_EQ(std::u16string(u"CN=T"), buf);
    EXPECT_EQ(15u, CertNameToStrW(kEnc, &c->pCertInfo->Subject, CERT_X500_NAME_STR, nullptr, 0));

    BYTE bad[] = {0x30, 0x05, 0x31, 0x03, 0x30, 0x01};
    CERT_NAME_BLOB name{sizeof bad, bad};
    WCHAR out[8] = {u'x'};
    EXPECT_EQ(1u, CertNameToStrW(kEnc, &name, CERT_X500_NAME_STR, out, 8));
    EXPECT_EQ(u'\0', out[0]);
    CertFreeCertificateContext(c);
}

TEST_F(NamesTest, SimpleDisplayNameIsTheOneWindowsChooses)
{
    struct Case
    {
        const char* subject;
        std::vector<std::string> extensions;
        const char16_t* name;
    } cases[] = {
        {"/C=CN/O=Org/OU=Unit/CN=First/CN=Second", {}, u"First"},
        {"/C=CN/O=Org/OU=Unit", {}, u"Unit"},
        {"/C=CN/O=Org", {}, u"Org"},
        {"/C=CN/emailAddress=who@example.com", {}, u"who@example.com"},
        {"/C=CN/L=Town", {"subjectAltName=email:alt@example.com"}, u"alt@example.com"},
        {"/L=Town/C=CN", {}, u"Town"},
    };
    for (const auto& k : cases)
    {
        qm::test::CertSpec spec;
        spec.subject = k.subject;
        spec.extensions = k.extensions;
        auto der = Factory().Make(spec);
        PCCERT_CONTEXT c = Context(der);
        ASSERT_NE(nullptr, c);
        EXPECT_EQ(std::u16string(k.name), DisplayName(c)) << k.subject;
        CertFreeCertificateContext(c);
    }
}

// A UTF8String name with malformed bytes: each bad byte reads as U+FFFD, never as the
// character an overlong form or an encoded surrogate would smuggle in.
TEST_F(NamesTest, MalformedUtf8InANameBecomesReplacementCharacters)
{
    struct Case
    {
        std::vector<BYTE> value;
        std::u16string text;
    } cases[] = {
        {{'A', 0xC0, 0xAF, 'B'}, u"CN=A\uFFFD\uFFFDB"},             // overlong '/'
        {{'A', 0xED, 0xA0, 0x80, 'B'}, u"CN=A\uFFFD\uFFFD\uFFFDB"}, // encoded surrogate
        {{'A', 0xF4, 0x90, 0x80, 0x80}, u"CN=A\uFFFD\uFFFD\uFFFD\uFFFD"}, // past U+10FFFF
        {{0xE4, 0xB8, 0xAD}, u"CN=\u4E2D"},
    };
    for (const Case& c : cases)
    {
        const BYTE cbValue = static_cast<BYTE>(c.value.size());
        std::vector<BYTE> der = {0x30, BYTE(cbValue + 11), 0x31, BYTE(cbValue + 9), 0x30, BYTE(cbValue + 7),
                                 0x06, 0x03, 0x55, 0x04, 0x03, 0x0C, cbValue};
        der.insert(der.end(), c.value.begin(), c.value.end());
        CERT_NAME_BLOB name = {static_cast<DWORD>(der.size()), der.data()};
        WCHAR buf[64] = {0};
        ASSERT_GT(CertNameToStrW(kEnc, &name, CERT_X500_NAME_STR, buf, 64), 0u);
        EXPECT_EQ(std::u16string(buf), c.text);
    }
}

// A name attribute whose value is no string (an OCTET STRING here): Windows loads the
// certificate, keeps the value as its encoding, and writes it in name strings as "#" and
// the hex of that encoding.
TEST_F(NamesTest, ValueThatIsNoStringIsWrittenAsHexOfItsEncoding)
{
    auto der = Make("/CN=Octet Holder/UID=QmOctetValue");
    const std::vector<BYTE> utf8 = {0x0C, 0x0C, 'Q', 'm', 'O', 'c', 't', 'e', 't', 'V', 'a', 'l', 'u', 'e'};
    int patched = 0;
    for (auto at = der.begin(); (at = std::search(at, der.end(), utf8.begin(), utf8.end())) != der.end(); ++at)
        *at = 0x04, ++patched;
    ASSERT_EQ(2, patched) << "issuer and subject";

    PCCERT_CONTEXT c = Context(der);
    ASSERT_NE(nullptr, c) << std::hex << GetLastError();
    const std::u16string hex = u"#040C516D4F6374657456616C7565";
    EXPECT_EQ(u"CN=Octet Holder, OID.0.9.2342.19200300.100.1.1=" + hex, NameToStr(c, CERT_X500_NAME_STR));
    EXPECT_EQ(u"0.9.2342.19200300.100.1.1=" + hex + u", 2.5.4.3=Octet Holder",
              NameToStr(c, CERT_OID_NAME_STR | CERT_NAME_STR_REVERSE_FLAG));
    EXPECT_EQ(u"Octet Holder, " + hex, NameToStr(c, CERT_SIMPLE_NAME_STR));
    EXPECT_EQ(u"Octet Holder", DisplayName(c));
    WCHAR attr[64] = {};
    char uid[] = "0.9.2342.19200300.100.1.1";
    EXPECT_EQ(hex.size() + 1, CertGetNameStringW(c, CERT_NAME_ATTR_TYPE, 0, uid, attr, 64));
    EXPECT_EQ(hex, attr);

    // It goes into a store and comes out again like any other certificate.
    HCERTSTORE store = CertOpenStore(CERT_STORE_PROV_MEMORY, 0, 0, 0, nullptr);
    ASSERT_TRUE(CertAddCertificateContextToStore(store, c, CERT_STORE_ADD_NEW, nullptr));
    PCCERT_CONTEXT found = CertFindCertificateInStore(store, kEnc, 0, CERT_FIND_SUBJECT_STR_W, u"Octet", nullptr);
    ASSERT_NE(nullptr, found);
    EXPECT_EQ(c->cbCertEncoded, found->cbCertEncoded);
    CertFreeCertificateContext(found);
    CertCloseStore(store, 0);
    CertFreeCertificateContext(c);

    // A name that is no sequence of RDNs still fails.
    auto broken = der;
    const std::vector<BYTE> oid = {0x06, 0x0A, 0x09, 0x92, 0x26, 0x89, 0x93, 0xF2, 0x2C, 0x64, 0x01, 0x01};
    auto oidAt = std::search(broken.begin(), broken.end(), oid.begin(), oid.end());
    ASSERT_NE(broken.end(), oidAt);
    *oidAt = 0x05; // the attribute's OID tag becomes NULL
    EXPECT_EQ(nullptr, Context(broken));
}
