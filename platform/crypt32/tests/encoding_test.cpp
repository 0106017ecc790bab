// CryptEncodeObject outputs as Windows writes them, each parsed by `openssl asn1parse`,
// and CryptDecodeObjectEx reading them back.
#include <cstring>
#include <string>
#include <vector>

#include "crypt_test_support.h"

namespace
{
using Bytes = std::vector<BYTE>;

Bytes FromHex(const std::string& hex)
{
    Bytes out;
    std::string digits;
    for (char c : hex)
        if (c != ' ')
            digits += c;
    for (size_t i = 0; i + 1 < digits.size(); i += 2)
        out.push_back(static_cast<BYTE>(std::stoi(digits.substr(i, 2), nullptr, 16)));
    return out;
}

Bytes Encode(LPCSTR type, const void* pv, DWORD* pErr = nullptr)
{
    DWORD cb = 0;
    SetLastError(0);
    if (!CryptEncodeObject(kEnc, type, pv, nullptr, &cb))
    {
        if (pErr)
            *pErr = GetLastError();
        return {};
    }
    Bytes out(cb);
    EXPECT_TRUE(CryptEncodeObject(kEnc, type, pv, out.data(), &cb));
    out.resize(cb);
    if (pErr)
        *pErr = 0;
    return out;
}

// Decodes into a LocalAlloc'ed block, released by the holder.
struct Decoded
{
    void* p = nullptr;
    DWORD cb = 0;
    DWORD err = 0;
    ~Decoded() { LocalFree(p); }
    template <class T>
    T* As() const
    {
        return static_cast<T*>(p);
    }
};

void Decode(LPCSTR type, const Bytes& der, Decoded* pOut)
{
    SetLastError(0);
    if (!CryptDecodeObjectEx(kEnc, type, der.data(), DWORD(der.size()), CRYPT_DECODE_ALLOC_FLAG, nullptr, &pOut->p,
                             &pOut->cb))
        pOut->err = GetLastError();
}

BYTE* B(const char* s) { return reinterpret_cast<BYTE*>(const_cast<char*>(s)); }
BYTE* W(const char16_t* s) { return reinterpret_cast<BYTE*>(const_cast<char16_t*>(s)); }

class EncodingTest : public CryptTest
{
protected:
    // openssl must read the whole encoding as one element.
    void ExpectAsn1Parses(const Bytes& der)
    {
        Factory().WriteFile("enc.der", der);
        std::string out;
        EXPECT_EQ(0, qm::test::CertFactory::Run("openssl asn1parse -inform DER -in " + Factory().Dir().string() +
                                                    "/enc.der",
                                                &out))
            << out;
    }
};
} // namespace

TEST_F(EncodingTest, EncodingsAreTheDerWindowsWrites)
{
    BYTE ku80[] = {0x80}, ku06[] = {0x06}, kuTwo[] = {0x80, 0x80}, kuTrail[] = {0xA0, 0x00};
    CRYPT_BIT_BLOB keyUsage[] = {{1, ku80, 0}, {1, ku06, 0}, {2, kuTwo, 0}, {2, kuTrail, 0}};
    BYTE keyId[] = {1, 2, 3};
    CRYPT_DATA_BLOB ski{3, keyId};
    CRYPT_DATA_BLOB octets{3, B("abc")};
    BYTE bitBytes[] = {0x01, 0x02};
    CRYPT_BIT_BLOB bits{2, bitBytes, 0};
    CRYPT_ALGORITHM_IDENTIFIER sha256{const_cast<LPSTR>(szOID_NIST_sha256), {}};
    CRYPT_ALGORITHM_IDENTIFIER sm2{const_cast<LPSTR>("1.2.156.10197.1.501"), {}};
    CRYPT_ATTRIBUTE emptyAttr{const_cast<LPSTR>(szOID_OIWSEC_sha1), 0, nullptr};
    BYTE utf8Value[] = {0x0C, 0x02, 'h', 'i'};
    CRYPT_ATTR_BLOB attrValue{4, utf8Value};
    CRYPT_ATTRIBUTE oneValue{const_cast<LPSTR>(szOID_RSA_challengePwd), 1, &attrValue};
    CRYPT_CONTENT_INFO detached{const_cast<LPSTR>(szOID_RSA_data), {}};
    BYTE inner[] = {0x04, 0x02, 0xAB, 0xCD};
    CRYPT_CONTENT_INFO attached{const_cast<LPSTR>(szOID_RSA_data), {4, inner}};
    CERT_NAME_VALUE printable{CERT_RDN_PRINTABLE_STRING, {2, B("AB")}};
    CERT_NAME_VALUE ia5{CERT_RDN_IA5_STRING, {3, B("a@b")}};
    CERT_NAME_VALUE octetValue{CERT_RDN_OCTET_STRING, {2, B("\x01\x02")}};
    // Windows checks no alphabet of 8-bit strings: the bytes are written as given.
    CERT_NAME_VALUE printableAt{CERT_RDN_PRINTABLE_STRING, {3, B("a@b")}};
    CERT_NAME_VALUE printableUnderscore{CERT_RDN_PRINTABLE_STRING, {6, B("ID_123")}};
    CERT_NAME_VALUE printableUtf8{CERT_RDN_PRINTABLE_STRING, {3, B("C\xC3\xA4")}};
    CERT_NAME_VALUE ia5High{CERT_RDN_IA5_STRING, {1, B("\xE9")}};
    CERT_NAME_VALUE numericLetter{CERT_RDN_NUMERIC_STRING, {2, B("1a")}};
    CERT_NAME_VALUE utf8{CERT_RDN_UTF8_STRING, {2, W(u"\u4e2d")}};
    CERT_NAME_VALUE bmp{CERT_RDN_BMP_STRING, {4, W(u"A\u4e2d")}};
    BYTE rsaKey[] = {0x30, 0x06, 0x02, 0x01, 0x05, 0x02, 0x01, 0x03};
    BYTE nullParams[] = {0x05, 0x00};
    CERT_PUBLIC_KEY_INFO spki{{const_cast<LPSTR>(szOID_RSA_RSA), {2, nullParams}}, {8, rsaKey, 0}};
    // Issuer CN=Test; serial 00 8F 01, kept least significant byte first.
    Bytes issuer = FromHex("300F310D300B06035504030C0454657374");
    BYTE serial[] = {0x01, 0x8F, 0x00};
    BYTE sig[] = {0xDE, 0xAD, 0xBE, 0xEF};
    CMSG_SIGNER_INFO si{};
    si.dwVersion = 1;
    si.Issuer = {DWORD(issuer.size()), issuer.data()};
    si.SerialNumber = {3, serial};
    si.HashAlgorithm.pszObjId = const_cast<LPSTR>(szOID_OIWSEC_sha1);
    si.HashEncryptionAlgorithm.pszObjId = const_cast<LPSTR>(szOID_RSA_RSA);
    si.EncryptedHash = {4, sig};

    struct Case
    {
        const char* what;
        LPCSTR type;
        const void* value;
        const char* der;
    } cases[] = {
        {"key usage digitalSignature", X509_KEY_USAGE, &keyUsage[0], "03020780"},
        {"key usage keyCertSign cRLSign", X509_KEY_USAGE, &keyUsage[1], "03020106"},
        {"key usage decipherOnly", szOID_KEY_USAGE, &keyUsage[2], "0303078080"},
        {"key usage trailing zero byte", X509_KEY_USAGE, &keyUsage[3], "030205A0"},
        {"subject key identifier", szOID_SUBJECT_KEY_IDENTIFIER, &ski, "0403010203"},
        {"octet string", X509_OCTET_STRING, &octets, "0403616263"},
        {"bits", X509_BITS, &bits, "0303000102"},
        {"sha256 identifier", X509_ALGORITHM_IDENTIFIER, &sha256, "300D06096086480165030402010500"},
        {"sm2 identifier", X509_ALGORITHM_IDENTIFIER, &sm2, "300C06082A811CCF550183750500"},
        {"attribute without values", PKCS_ATTRIBUTE, &emptyAttr, "300906052B0E03021A3100"},
        {"attribute with a value", PKCS_ATTRIBUTE, &oneValue, "301106092A864886F70D010907310430" "2" "0C026869"},
        {"detached content info", PKCS_CONTENT_INFO, &detached, "300B06092A864886F70D010701"},
        {"attached content info", PKCS_CONTENT_INFO, &attached, "301106092A864886F70D010701A0040402ABCD"},
        {"printable string", X509_ANY_STRING, &printable, "13024142"},
        {"ia5 string", X509_ANY_STRING, &ia5, "1603614062"},
        {"octet string value", X509_ANY_STRING, &octetValue, "04020102"},
        {"printable with @", X509_ANY_STRING, &printableAt, "1303614062"},
        {"printable with _", X509_ANY_STRING, &printableUnderscore, "130649445F313233"},
        {"printable with UTF-8 bytes", X509_ANY_STRING, &printableUtf8, "130343C3A4"},
        {"ia5 above 127", X509_ANY_STRING, &ia5High, "1601E9"},
        {"numeric with a letter", X509_ANY_STRING, &numericLetter, "12023161"},
        {"utf8 string from UTF-16", X509_ANY_STRING, &utf8, "0C03E4B8AD"},
        {"bmp string", X509_ANY_STRING, &bmp, "1E0400414E2D"},
        {"public key info", X509_PUBLIC_KEY_INFO, &spki,
         "301A300D06092A864886F70D0101010500030900300602010502" "0103"},
        {"signer info", PKCS7_SIGNER_INFO, &si,
         "303B020101301630" "0F310D300B06035504030C0454657374020300" "8F01"
         "300906052B0E03021A0500300D06092A864886F70D0101010500" "0404DEADBEEF"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        Bytes got = Encode(c.type, c.value);
        std::string expectedHex = c.der;
        // The attribute case spells its inner SET with a split literal; undo it.
        Bytes expected = FromHex(expectedHex);
        if (std::string(c.what) == "attribute with a value")
            expected = FromHex("301106092A864886F70D01090731040C026869");
        EXPECT_EQ(expected, got);
        ExpectAsn1Parses(got);
    }
}

TEST_F(EncodingTest, SizeQueriesAndRefusedValues)
{
    BYTE ku[] = {0x80};
    CRYPT_BIT_BLOB keyUsage{1, ku, 0};
    DWORD cb = 0;
    ASSERT_TRUE(CryptEncodeObject(kEnc, X509_KEY_USAGE, &keyUsage, nullptr, &cb));
    EXPECT_EQ(4u, cb);
    BYTE small[2];
    cb = sizeof small;
    EXPECT_FALSE(CryptEncodeObject(kEnc, X509_KEY_USAGE, &keyUsage, small, &cb));
    EXPECT_EQ(DWORD(ERROR_MORE_DATA), GetLastError());
    EXPECT_EQ(4u, cb);

    CRYPT_ALGORITHM_IDENTIFIER badOid{const_cast<LPSTR>("1"), {}};
    CRYPT_ALGORITHM_IDENTIFIER textOid{const_cast<LPSTR>("1.2.x"), {}};
    struct Case
    {
        const char* what;
        LPCSTR type;
        const void* value;
        DWORD error;
    } cases[] = {
        {"one-arc OID", X509_ALGORITHM_IDENTIFIER, &badOid, DWORD(CRYPT_E_OID_FORMAT)},
        {"OID with text", X509_ALGORITHM_IDENTIFIER, &textOid, DWORD(CRYPT_E_OID_FORMAT)},
        {"unknown structure type", reinterpret_cast<LPCSTR>(9999), &keyUsage, DWORD(ERROR_FILE_NOT_FOUND)},
        {"unknown OID type", "1.2.3.4", &keyUsage, DWORD(ERROR_FILE_NOT_FOUND)},
    };
    for (const auto& c : cases)
    {
        DWORD err = 0;
        EXPECT_TRUE(Encode(c.type, c.value, &err).empty()) << c.what;
        EXPECT_EQ(c.error, err) << c.what;
    }
}

TEST_F(EncodingTest, DecodingReadsBackWhatEncodingWrote)
{
    BYTE ku[] = {0x86};
    CRYPT_BIT_BLOB keyUsage{1, ku, 0};
    Decoded d;
    Decode(X509_KEY_USAGE, Encode(X509_KEY_USAGE, &keyUsage), &d);
    ASSERT_EQ(0u, d.err);
    ASSERT_EQ(1u, d.As<CRYPT_BIT_BLOB>()->cbData);
    EXPECT_EQ(0x86, d.As<CRYPT_BIT_BLOB>()->pbData[0]);
    EXPECT_EQ(1u, d.As<CRYPT_BIT_BLOB>()->cUnusedBits);

    Bytes issuer = FromHex("300F310D300B06035504030C0454657374");
    BYTE serial[] = {0x01, 0x8F, 0x00};
    BYTE sig[] = {1, 2, 3, 4, 5};
    BYTE attrBytes[] = {0x04, 0x01, 0x07};
    CRYPT_ATTR_BLOB attrValue{3, attrBytes};
    CRYPT_ATTRIBUTE attr{const_cast<LPSTR>(szOID_RSA_messageDigest), 1, &attrValue};
    CMSG_SIGNER_INFO si{};
    si.dwVersion = 1;
    si.Issuer = {DWORD(issuer.size()), issuer.data()};
    si.SerialNumber = {3, serial};
    si.HashAlgorithm.pszObjId = const_cast<LPSTR>(szOID_NIST_sha256);
    si.HashEncryptionAlgorithm.pszObjId = const_cast<LPSTR>(szOID_RSA_SHA256RSA);
    si.EncryptedHash = {5, sig};
    si.AuthAttrs = {1, &attr};
    Bytes der = Encode(PKCS7_SIGNER_INFO, &si);
    ASSERT_FALSE(der.empty());
    ExpectAsn1Parses(der);
    Decoded s;
    Decode(PKCS7_SIGNER_INFO, der, &s);
    ASSERT_EQ(0u, s.err);
    auto* got = s.As<CMSG_SIGNER_INFO>();
    EXPECT_EQ(1u, got->dwVersion);
    EXPECT_EQ(issuer, Bytes(got->Issuer.pbData, got->Issuer.pbData + got->Issuer.cbData));
    EXPECT_EQ(Bytes(serial, serial + 3), Bytes(got->SerialNumber.pbData, got->SerialNumber.pbData + 3));
    EXPECT_STREQ(szOID_NIST_sha256, got->HashAlgorithm.pszObjId);
    EXPECT_EQ((Bytes{5, 0}), Bytes(got->HashAlgorithm.Parameters.pbData, got->HashAlgorithm.Parameters.pbData + 2));
    EXPECT_STREQ(szOID_RSA_SHA256RSA, got->HashEncryptionAlgorithm.pszObjId);
    EXPECT_EQ(Bytes(sig, sig + 5), Bytes(got->EncryptedHash.pbData, got->EncryptedHash.pbData + 5));
    ASSERT_EQ(1u, got->AuthAttrs.cAttr);
    EXPECT_STREQ(szOID_RSA_messageDigest, got->AuthAttrs.rgAttr[0].pszObjId);
    ASSERT_EQ(1u, got->AuthAttrs.rgAttr[0].cValue);
    EXPECT_EQ(Bytes(attrBytes, attrBytes + 3),
              Bytes(got->AuthAttrs.rgAttr[0].rgValue[0].pbData, got->AuthAttrs.rgAttr[0].rgValue[0].pbData + 3));
    EXPECT_EQ(0u, got->UnauthAttrs.cAttr);

    CERT_NAME_VALUE utf8{CERT_RDN_UTF8_STRING, {4, W(u"\u4e2dA")}};
    Decoded n;
    Decode(X509_ANY_STRING, Encode(X509_ANY_STRING, &utf8), &n);
    ASSERT_EQ(0u, n.err);
    EXPECT_EQ(DWORD(CERT_RDN_UTF8_STRING), n.As<CERT_NAME_VALUE>()->dwValueType);
    EXPECT_EQ(std::u16string(u"\u4e2dA"), reinterpret_cast<char16_t*>(n.As<CERT_NAME_VALUE>()->Value.pbData));

    BYTE inner[] = {0x04, 0x02, 0xAB, 0xCD};
    CRYPT_CONTENT_INFO ci{const_cast<LPSTR>(szOID_RSA_data), {4, inner}};
    Decoded c;
    Decode(PKCS_CONTENT_INFO, Encode(PKCS_CONTENT_INFO, &ci), &c);
    ASSERT_EQ(0u, c.err);
    EXPECT_STREQ(szOID_RSA_data, c.As<CRYPT_CONTENT_INFO>()->pszObjId);
    EXPECT_EQ(Bytes(inner, inner + 4),
              Bytes(c.As<CRYPT_CONTENT_INFO>()->Content.pbData, c.As<CRYPT_CONTENT_INFO>()->Content.pbData + 4));

    // A caller's buffer: the size first, ERROR_MORE_DATA when short.
    Bytes ski = FromHex("0403010203");
    DWORD cb = 0;
    ASSERT_TRUE(CryptDecodeObjectEx(kEnc, szOID_SUBJECT_KEY_IDENTIFIER, ski.data(), DWORD(ski.size()), 0, nullptr,
                                    nullptr, &cb));
    std::vector<BYTE> buf(cb);
    DWORD shortCb = cb - 1;
    EXPECT_FALSE(CryptDecodeObjectEx(kEnc, szOID_SUBJECT_KEY_IDENTIFIER, ski.data(), DWORD(ski.size()), 0, nullptr,
                                     buf.data(), &shortCb));
    EXPECT_EQ(DWORD(ERROR_MORE_DATA), GetLastError());
    EXPECT_EQ(cb, shortCb);
    ASSERT_TRUE(CryptDecodeObjectEx(kEnc, szOID_SUBJECT_KEY_IDENTIFIER, ski.data(), DWORD(ski.size()), 0, nullptr,
                                    buf.data(), &cb));
    auto* blob = reinterpret_cast<CRYPT_DATA_BLOB*>(buf.data());
    EXPECT_EQ((Bytes{1, 2, 3}), Bytes(blob->pbData, blob->pbData + blob->cbData));
}

TEST_F(EncodingTest, ExtensionsOfAnOpenSslCertificateDecode)
{
    qm::test::CertSpec spec;
    spec.subject = "/CN=Extensions";
    spec.extensions = {"keyUsage=critical,digitalSignature,nonRepudiation", "subjectKeyIdentifier=hash"};
    auto der = Factory().Make(spec, "ext");
    std::string text;
    ASSERT_EQ(0, qm::test::CertFactory::Run("openssl x509 -noout -ext subjectKeyIdentifier -in " +
                                                Factory().PemPath("ext"),
                                            &text));
    std::string expectedSki;
    for (char ch : text.substr(text.find('\n') + 1))
        if (std::isxdigit(static_cast<unsigned char>(ch)))
            expectedSki += ch;

    PCCERT_CONTEXT c = Context(der);
    ASSERT_NE(nullptr, c);
    PCERT_EXTENSION ku = CertFindExtension(szOID_KEY_USAGE, c->pCertInfo->cExtension, c->pCertInfo->rgExtension);
    ASSERT_NE(nullptr, ku);
    EXPECT_TRUE(ku->fCritical);
    Decoded k;
    Decode(X509_KEY_USAGE, Bytes(ku->Value.pbData, ku->Value.pbData + ku->Value.cbData), &k);
    ASSERT_EQ(0u, k.err);
    EXPECT_EQ(0xC0, k.As<CRYPT_BIT_BLOB>()->pbData[0]);

    PCERT_EXTENSION skiExt =
        CertFindExtension(szOID_SUBJECT_KEY_IDENTIFIER, c->pCertInfo->cExtension, c->pCertInfo->rgExtension);
    ASSERT_NE(nullptr, skiExt);
    Decoded s;
    Decode(szOID_SUBJECT_KEY_IDENTIFIER, Bytes(skiExt->Value.pbData, skiExt->Value.pbData + skiExt->Value.cbData),
           &s);
    ASSERT_EQ(0u, s.err);
    std::string hex;
    for (DWORD i = 0; i < s.As<CRYPT_DATA_BLOB>()->cbData; ++i)
    {
        char t[3];
        snprintf(t, sizeof t, "%02X", s.As<CRYPT_DATA_BLOB>()->pbData[i]);
        hex += t;
    }
    EXPECT_EQ(expectedSki, hex);

    SetLastError(0);
    EXPECT_EQ(nullptr, CertFindExtension(szOID_BASIC_CONSTRAINTS2, c->pCertInfo->cExtension, c->pCertInfo->rgExtension));
    EXPECT_EQ(DWORD(CRYPT_E_NOT_FOUND), GetLastError());

    // The public key re-encodes to the certificate's own SubjectPublicKeyInfo.
    Bytes spki = Encode(X509_PUBLIC_KEY_INFO, &c->pCertInfo->SubjectPublicKeyInfo);
    std::string pub;
    ASSERT_EQ(0, qm::test::CertFactory::Run("openssl x509 -noout -pubkey -in " + Factory().PemPath("ext") +
                                                " | openssl pkey -pubin -outform DER | od -An -v -tx1",
                                            &pub));
    std::string spkiHex;
    for (BYTE b : spki)
    {
        char t[4];
        snprintf(t, sizeof t, " %02x", b);
        spkiHex += t;
    }
    std::string pubHex;
    for (char ch : pub)
        if (ch != '\n')
            pubHex += ch;
    EXPECT_EQ(pubHex, spkiHex);
    CertFreeCertificateContext(c);
}

TEST_F(EncodingTest, BadInputIsRefusedWithoutReadingPastTheEnd)
{
    struct Case
    {
        LPCSTR type;
        const char* hex;
    } cases[] = {
        {X509_KEY_USAGE, "0302"},          {X509_KEY_USAGE, "030208FF"},   {X509_KEY_USAGE, "0401FF"},
        {X509_OCTET_STRING, "0405AABB"},   {X509_OCTET_STRING, "0480"},    {X509_ALGORITHM_IDENTIFIER, "3003060180"},
        {X509_ALGORITHM_IDENTIFIER, "30"}, {PKCS_ATTRIBUTE, "30050603550403"}, {PKCS_CONTENT_INFO, "3004A0020400"},
        {PKCS7_SIGNER_INFO, "3003020101"}, {X509_ANY_STRING, "1E03004100"}, {X509_ANY_STRING, "0500"},
        {X509_PUBLIC_KEY_INFO, "30023000"}, {X509_BITS, "0384FFFFFFFF00"}, {RSA_CSP_PUBLICKEYBLOB, "3003020100"},
    };
    for (const auto& c : cases)
    {
        Bytes der = FromHex(c.hex);
        Decoded d;
        Decode(c.type, der, &d);
        EXPECT_NE(0u, d.err) << c.hex;
        EXPECT_EQ(nullptr, d.p) << c.hex;
    }
}
