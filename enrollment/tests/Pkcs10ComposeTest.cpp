// The request's pieces byte for byte: subject, key info, attributes, line breaking.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "KeyPairGeneration.h"
#include "Pkcs10Compose.h"
#include "Pkcs10Writer.h"

using Bytes = std::vector<BYTE>;

namespace
{
Bytes Hex(const std::string& text)
{
    Bytes out;
    std::string digits;
    for (char c : text)
        if (c != ' ')
            digits.push_back(c);
    for (size_t i = 0; i + 1 < digits.size(); i += 2)
        out.push_back(static_cast<BYTE>(std::stoul(digits.substr(i, 2), nullptr, 16)));
    return out;
}

Bytes Ascii(const std::string& s)
{
    return Bytes(s.begin(), s.end());
}

Bytes Cat(std::initializer_list<Bytes> parts)
{
    Bytes out;
    for (const Bytes& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

// Short-form TLV, for expected values below 128 bytes.
Bytes Tlv(BYTE tag, const Bytes& value)
{
    Bytes out = {tag};
    if (value.size() < 0x80)
        out.push_back(static_cast<BYTE>(value.size()));
    else if (value.size() < 0x100)
        out.insert(out.end(), {0x81, static_cast<BYTE>(value.size())});
    else
        out.insert(out.end(),
                   {0x82, static_cast<BYTE>(value.size() >> 8), static_cast<BYTE>(value.size())});
    out.insert(out.end(), value.begin(), value.end());
    return out;
}

Bytes Rdn(const std::string& oidHex, BYTE tag, const Bytes& value)
{
    return Tlv(0x31, Tlv(0x30, Cat({Hex(oidHex), Tlv(tag, value)})));
}

const char kCN[] = "06 03 55 04 03";
const char kC[] = "06 03 55 04 06";
const char kO[] = "06 03 55 04 0A";
const char kOU[] = "06 03 55 04 0B";
const char kEmail[] = "06 09 2A 86 48 86 F7 0D 01 09 01";

struct Composed
{
    HRESULT hr;
    Bytes der;
};

template <class F> Composed Compose(F step)
{
    CByteBuffer buf;
    HRESULT hr = step(buf.Put(), buf.PutLength());
    return {hr, SUCCEEDED(hr) ? Bytes(buf.Data(), buf.Data() + buf.Length()) : Bytes()};
}

Composed Subject(const char16_t* text)
{
    return Compose([&](BYTE** pp, DWORD* pcb) { return ComposeSubject(text, pp, pcb); });
}
} // namespace

TEST(Pkcs10Subject, PairsBecomeRdnsInReverseOrderWithTheirTypes)
{
    const struct
    {
        const char* name;
        const char16_t* text;
        Bytes rdns;
    } cases[] = {
        {"CN, OU, O, C", u"CN=Zhang San,OU=Dev,O=Quill,C=CN",
         Cat({Rdn(kC, 0x13, Ascii("CN")), Rdn(kO, 0x0C, Ascii("Quill")),
              Rdn(kOU, 0x0C, Ascii("Dev")), Rdn(kCN, 0x0C, Ascii("Zhang San"))})},
        {"spaces around the name, value keeps its space", u" c n = x", Rdn(kCN, 0x0C, Ascii(" x"))},
        {"letter case of the name", u"cn=a,c=CN",
         Cat({Rdn(kC, 0x13, Ascii("CN")), Rdn(kCN, 0x0C, Ascii("a"))})},
        {"Email and E are IA5", u"Email=a@b.cn,E=c@d.cn",
         Cat({Rdn(kEmail, 0x16, Ascii("c@d.cn")), Rdn(kEmail, 0x16, Ascii("a@b.cn"))})},
        {"serial number is printable", u"SERIALNUMBER=123",
         Rdn("06 03 55 04 05", 0x13, Ascii("123"))},
        {"ST and S", u"ST=Bei,S=Jing",
         Cat({Rdn("06 03 55 04 08", 0x0C, Ascii("Jing")),
              Rdn("06 03 55 04 08", 0x0C, Ascii("Bei"))})},
        {"jurisdiction country is printable", u"jurisdictionOfIncorporationCountryName=CN",
         Rdn("06 0B 2B 06 01 04 01 82 37 3C 02 01 03", 0x13, Ascii("CN"))},
        {"businessCategory", u"BUSINESSCATEGORY=Private",
         Rdn("06 03 55 04 0F", 0x0C, Ascii("Private"))},
        {"UTF-8 of Chinese text", u"CN=\u5f20\u4e09", Rdn(kCN, 0x0C, Hex("E5 BC A0 E4 B8 89"))},
        // The object encoder writes PrintableString and IA5String bytes as given.
        {"serial number outside the printable alphabet", u"CN=Serial,SERIALNUMBER=ID_123",
         Cat({Rdn("06 03 55 04 05", 0x13, Ascii("ID_123")), Rdn(kCN, 0x0C, Ascii("Serial"))})},
        {"country with a letter beyond ASCII, as UTF-8", u"C=C\u00e4", Rdn(kC, 0x13, Hex("43 C3 A4"))},
        {"e-mail with a letter beyond ASCII, as UTF-8", u"E=\u00e4@b.cn",
         Rdn(kEmail, 0x16, Hex("C3 A4 40 62 2E 63 6E"))},
        {"repeated names are all written", u"OU=a,OU=b",
         Cat({Rdn(kOU, 0x0C, Ascii("b")), Rdn(kOU, 0x0C, Ascii("a"))})},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        Composed got = Subject(c.text);
        ASSERT_EQ(S_OK, got.hr);
        EXPECT_EQ(Tlv(0x30, c.rdns), got.der);
    }
}

TEST(Pkcs10Subject, MalformedSubjectsFail)
{
    const struct
    {
        const char* name;
        const char16_t* text;
        HRESULT hr;
    } cases[] = {
        {"two equals signs", u"CN=a=b", NTE_BAD_DATA},
        {"no equals sign", u"CN", NTE_BAD_DATA},
        {"trailing comma", u"CN=a,", NTE_BAD_DATA},
        {"empty piece between commas", u"CN=a,,O=b", NTE_BAD_DATA},
        {"empty text", u"", E_FAIL},
        {"empty value", u"CN=", E_FAIL},
        {"empty printable value", u"C=", E_FAIL},
        {"unknown name", u"XX=a", CRYPT_E_OID_FORMAT},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.hr, Subject(c.text).hr);
    }
}

TEST(Pkcs10Subject, SplittingAndSpaceRemoval)
{
    using V = std::vector<std::u16string>;
    EXPECT_EQ(V{}, SplidWstr(u"", u','));
    EXPECT_EQ((V{u"a", u""}), SplidWstr(u"a,", u','));
    EXPECT_EQ((V{u"", u"a"}), SplidWstr(u",a", u','));
    EXPECT_EQ((V{u"a", u"", u"b"}), SplidWstr(u"a,,b", u','));
    EXPECT_EQ(u"ab", ReplaceWchar(u" a b ", u' '));
    EXPECT_EQ("2.5.4.3", GetObjectID(u"cN"));
    EXPECT_EQ("", GetObjectID(u"CNN"));
}

TEST(Pkcs10Pieces, AlgorithmIdentifiers)
{
    EXPECT_EQ(Hex("30 0D 06 09 2A 86 48 86 F7 0D 01 01 05 05 00"),
              Compose([](BYTE** pp, DWORD* pcb)
                      { return ComposeSignAlgorithm(szOID_RSA_SHA1RSA, pp, pcb); })
                  .der);
    EXPECT_EQ(Hex("30 0C 06 08 2A 81 1C CF 55 01 83 75 05 00"),
              Compose([](BYTE** pp, DWORD* pcb)
                      { return ComposeSignAlgorithm(szOID_SM3_WITH_SM2, pp, pcb); })
                  .der);

    const Bytes rsaKey = Hex("30 06 02 01 05 02 01 03");
    EXPECT_EQ(Cat({Hex("30 1A 30 0D 06 09 2A 86 48 86 F7 0D 01 01 01 05 00 03 09 00"), rsaKey}),
              Compose(
                  [&](BYTE** pp, DWORD* pcb)
                  {
                      return ComposeSignPublicKeyData(szOID_RSA_RSA, "", rsaKey.data(),
                                                      DWORD(rsaKey.size()), FALSE, pp, pcb);
                  })
                  .der);

    Bytes point(65, 0x11);
    point[0] = 0x04;
    Composed sm2 = Compose(
        [&](BYTE** pp, DWORD* pcb)
        {
            return ComposeSignPublicKeyData(szOID_ECC_PUBLIC_KEY, szOID_SM2_CURVE, point.data(),
                                            DWORD(point.size()), TRUE, pp, pcb);
        });
    ASSERT_EQ(S_OK, sm2.hr);
    EXPECT_EQ(
        Cat({Hex("30 59 30 13 06 07 2A 86 48 CE 3D 02 01 06 08 2A 81 1C CF 55 01 82 2D 03 42 00"),
             point}),
        sm2.der);
}

namespace
{
// A PUBLICKEYBLOB as the token exports it: header, bit length, X and Y least significant
// byte first in the first half of 64-byte fields; the second halves carry markers.
Bytes Sm2Blob(Bytes* x, Bytes* y)
{
    Bytes blob = Hex("06 02 00 00 00 BE 00 00 00 01 00 00");
    x->resize(32);
    y->resize(32);
    for (int i = 0; i < 32; ++i)
        (*x)[i] = static_cast<BYTE>(0xA0 + i), (*y)[i] = static_cast<BYTE>(0x40 + i);
    for (const Bytes* c : {x, y})
    {
        blob.insert(blob.end(), c->rbegin(), c->rend());
        blob.insert(blob.end(), 32, c == x ? 0xEE : 0xDD);
    }
    return blob;
}
} // namespace

TEST(Pkcs10Pieces, Sm2KeysAreReshaped)
{
    Bytes x, y;
    const Bytes blob = Sm2Blob(&x, &y);
    ASSERT_EQ(140u, blob.size());

    Composed sign =
        Compose([&](BYTE** pp, DWORD* pcb)
                { return ReshapeSM2SignPublicKey(blob.data(), DWORD(blob.size()), pp, pcb); });
    ASSERT_EQ(S_OK, sign.hr);
    EXPECT_EQ(Cat({Hex("04"), x, y}), sign.der);

    Composed temp =
        Compose([&](BYTE** pp, DWORD* pcb)
                { return ReshapeSM2TemporaryPublicKey(blob.data(), DWORD(blob.size()), pp, pcb); });
    ASSERT_EQ(S_OK, temp.hr);
    EXPECT_EQ(Cat({Hex("00 B4 00 00 00 01 00 00"), x, Bytes(32, 0xEE), y, Bytes(32, 0xDD)}),
              temp.der);

    // A blob too short for its coordinates is refused, not read past its end.
    const Bytes shortBlob(blob.begin(), blob.end() - 1);
    EXPECT_EQ(NTE_BAD_DATA, Compose(
                                [&](BYTE** pp, DWORD* pcb) {
                                    return ReshapeSM2SignPublicKey(
                                        shortBlob.data(), DWORD(shortBlob.size()), pp, pcb);
                                })
                                .hr);
    EXPECT_EQ(NTE_BAD_DATA, Compose(
                                [&](BYTE** pp, DWORD* pcb) {
                                    return ReshapeSM2TemporaryPublicKey(
                                        shortBlob.data(), DWORD(shortBlob.size()), pp, pcb);
                                })
                                .hr);
}

TEST(Pkcs10Pieces, AttributesCarryPasswordAndTemporaryKey)
{
    const Bytes key = Hex("30 06 02 01 05 02 01 03");
    const Bytes password = Hex("06 09 2A 86 48 86 F7 0D 01 09 07 13 06 34 30 38 31 35 37");
    const Bytes keyOid = Hex("06 09 2A 86 48 86 F7 0D 01 09 3F");
    const Bytes keyValue = Tlv(0x04, Tlv(0x30, Cat({Hex("02 01 01"), Tlv(0x04, key)})));

    Composed form0 = Compose(
        [&](BYTE** pp, DWORD* pcb)
        {
            return ComposeAttributes(key.data(), DWORD(key.size()), PKCS10_ATTRIBUTES_WITHOUT_SET,
                                     pp, pcb);
        });
    ASSERT_EQ(S_OK, form0.hr);
    EXPECT_EQ(Tlv(0xA0, Cat({Tlv(0x30, password), Tlv(0x30, Cat({keyOid, keyValue}))})), form0.der);
    EXPECT_EQ(Hex("30 13"), Bytes(form0.der.begin() + 2, form0.der.begin() + 4));

    Composed form1 = Compose(
        [&](BYTE** pp, DWORD* pcb) {
            return ComposeAttributes(key.data(), DWORD(key.size()), PKCS10_ATTRIBUTES_IN_SET, pp,
                                     pcb);
        });
    ASSERT_EQ(S_OK, form1.hr);
    const Bytes passwordInSet =
        Hex("06 09 2A 86 48 86 F7 0D 01 09 07 31 08 13 06 34 30 38 31 35 37");
    EXPECT_EQ(
        Tlv(0xA0, Cat({Tlv(0x30, passwordInSet), Tlv(0x30, Cat({keyOid, Tlv(0x31, keyValue)}))})),
        form1.der);

    // The SM2 temporary key's 136 bytes give the lengths the authority expects.
    const Bytes sm2Key(SM2_TEMPORARY_KEY_SIZE, 0x5A);
    Composed sm2 =
        Compose([&](BYTE** pp, DWORD* pcb)
                { return ComposeAttributes(sm2Key.data(), DWORD(sm2Key.size()), 0, pp, pcb); });
    ASSERT_EQ(S_OK, sm2.hr);
    EXPECT_EQ(Hex("A0 81 B7"), Bytes(sm2.der.begin(), sm2.der.begin() + 3));
    const Bytes second(sm2.der.begin() + 3 + 21, sm2.der.end());
    EXPECT_EQ(Hex("30 81 9F 06 09 2A 86 48 86 F7 0D 01 09 3F 04 81 91 30 81 8E 02 01 01 04 81 88"),
              Bytes(second.begin(), second.begin() + 26));
}

TEST(Pkcs10Pieces, Base64IsRebrokenEvery64Characters)
{
    auto transform = [](const std::string& in)
    {
        LPSTR out = nullptr;
        DWORD cch = 0;
        EXPECT_EQ(S_OK, TransformBase64EncodedDatatoHoldCRLFPer64Chars(in.c_str(), &out, &cch));
        std::string s(out, cch);
        EXPECT_EQ(strlen(out), cch);
        delete[] out;
        return s;
    };
    const std::string a64(64, 'A'), b64(64, 'B');
    const struct
    {
        std::string in, out;
    } cases[] = {
        {"", ""},
        {std::string(63, 'A'), std::string(63, 'A')},
        {a64, a64},
        {a64 + "\r\n", a64},
        {std::string(60, 'A') + "\r\n" + "AAAA" + "B", a64 + "\r\nB"},
        {a64 + b64, a64 + "\r\n" + b64},
        {a64 + b64 + "C", a64 + "\r\n" + b64 + "\r\nC"},
        {std::string(76, 'A') + "\r\n" + std::string(52, 'B'),
         a64 + "\r\n" + std::string(12, 'A') + std::string(52, 'B')},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.out, transform(c.in)) << c.in;
}
