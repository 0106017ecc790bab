// The encrypted key-pair text as the authority writes it, and what the reader refuses.
#include <gtest/gtest.h>

#include "CertImportHelpers.h"
#include "DeliveryAuthority.h"
#include "EncryptCertImport.h"
#include "KeyPairDelivery.h"

namespace
{
const Bytes kSession = {0x11, 0x22, 0x33, 0x44, 0x55};
const Bytes kPrivate = {0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6, 0xA7};

std::u16string Field(const std::u16string& base64WithComma)
{
    return DeliveryNumber((long long)base64WithComma.size()) + base64WithComma;
}

std::u16string Header(long long device, long long encrypt, long long session)
{
    return DeliveryNumber(device) + DeliveryNumber(encrypt) + DeliveryNumber(session);
}

struct Parsed
{
    HRESULT hr;
    Bytes session;
    ALG_ID alg;
    Bytes priv;
};

Parsed Parse(const std::u16string& text, bool ex)
{
    BYTE *pbSession = nullptr, *pbPrivate = nullptr;
    DWORD cbSession = 0, cbPrivate = 0;
    ALG_ID alg = 0xFFFF;
    Parsed p;
    p.hr = ex ? ParseEncryptCertPrivateKeyDataEx(text, &pbSession, &cbSession, &alg, &pbPrivate, &cbPrivate)
              : ParseEncryptCertPrivateKeyData(text, &pbSession, &cbSession, &alg, &pbPrivate, &cbPrivate);
    if (pbSession)
        p.session.assign(pbSession, pbSession + cbSession);
    if (pbPrivate)
        p.priv.assign(pbPrivate, pbPrivate + cbPrivate);
    p.alg = alg;
    delete[] pbSession;
    delete[] pbPrivate;
    return p;
}
} // namespace

TEST(KeyPairDelivery, WellFormedTextGivesBothValues)
{
    std::u16string text = DeliveryText(1, 1, 306, kSession, kPrivate) + u"anything after the fields";
    for (bool ex : {false, true})
    {
        Parsed p = Parse(text, ex);
        ASSERT_EQ(S_OK, p.hr) << ex;
        EXPECT_EQ(kSession, p.session);
        EXPECT_EQ(CALG_3DES, p.alg);
        EXPECT_EQ(kPrivate, p.priv);
    }
}

TEST(KeyPairDelivery, CommasInsideFieldsAndNumberFormsAreAccepted)
{
    std::u16string session = Base64Text(KeyField(kSession)), priv = Base64Text(KeyField(kPrivate));
    session.insert(4, u",,");
    priv.insert(1, u",");
    priv.insert(6, u",");
    // Numbers with spaces and a sign in front, digits followed by other characters.
    std::u16string header = u"   1xxxxxxxxxxxx" + std::u16string(u"+2") + std::u16string(14, u' ') +
                            u"0000000000000306";
    std::u16string text = header + Field(session + u",") + Field(priv + u",");
    Parsed p = Parse(text, false);
    ASSERT_EQ(S_OK, p.hr);
    EXPECT_EQ(kSession, p.session);
    EXPECT_EQ(kPrivate, p.priv);
}

TEST(KeyPairDelivery, SessionKeyTypeZeroOnlyInTheExReading)
{
    std::u16string text = Header(0, 2, 0) + DeliveryNumber(0) + DeliveryField(KeyField(kPrivate));
    EXPECT_EQ(E_INVALID_SESSION_KEY_TYPE, Parse(text, false).hr);
    Parsed p = Parse(text, true);
    ASSERT_EQ(S_OK, p.hr);
    EXPECT_EQ(0u, p.alg);
    EXPECT_TRUE(p.session.empty());
    EXPECT_EQ(kPrivate, p.priv);
    // A session key field that is present is not read when the type is 0.
    text = Header(0, 2, 0) + Field(u"!!!!,") + DeliveryField(KeyField(kPrivate));
    EXPECT_EQ(S_OK, Parse(text, true).hr);
}

TEST(KeyPairDelivery, MalformedTextsAreRefused)
{
    const std::u16string session = DeliveryField(KeyField(kSession));
    const std::u16string priv = DeliveryField(KeyField(kPrivate));
    const std::u16string privBase64 = Base64Text(KeyField(kPrivate));
    Bytes oneElement = {0x30, 0x03, 0x04, 0x01, 0x07};
    Bytes threeElements = {0x30, 0x09, 0x02, 0x01, 0x01, 0x04, 0x01, 0x07, 0x04, 0x01, 0x08};
    Bytes indefiniteValue = {0x30, 0x0A, 0x02, 0x01, 0x01, 0x04, 0x80, 0x07, 0x07, 0x00, 0x00, 0x00};
    Bytes emptyValue = {0x30, 0x05, 0x02, 0x01, 0x01, 0x04, 0x00};
    struct Case
    {
        const char* name;
        std::u16string text;
        HRESULT hr;
    } cases[] = {
        {"empty text", u"", E_IMPORT_ENCRYPT_CERT},
        {"shorter than the header", Header(1, 1, 306).substr(0, 47), E_IMPORT_ENCRYPT_CERT},
        {"device type 3", Header(3, 1, 306) + session + priv, E_INVALID_DEVICE_TYPE},
        {"device type -1", Header(-1, 1, 306) + session + priv, E_INVALID_DEVICE_TYPE},
        {"encrypt type 0", Header(1, 0, 306) + session + priv, E_INVALID_ENCRYPT_TYPE},
        {"encrypt type 3", Header(1, 3, 306) + session + priv, E_INVALID_ENCRYPT_TYPE},
        {"session key type 305", Header(1, 1, 305) + session + priv, E_INVALID_SESSION_KEY_TYPE},
        {"no fields", Header(1, 1, 306), E_IMPORT_ENCRYPT_CERT},
        {"fewer than 16 characters for a length", Header(1, 1, 306) + u"000000000012", E_IMPORT_ENCRYPT_CERT},
        {"length beyond the text", Header(1, 1, 306) + DeliveryNumber(500) + u"AAAA,", E_IMPORT_ENCRYPT_CERT},
        {"negative length", Header(1, 1, 306) + DeliveryNumber(-4) + u"AAAA," + priv, E_IMPORT_ENCRYPT_CERT},
        {"field without its final comma", Header(1, 1, 306) + Field(Base64Text(KeyField(kSession)) + u"=") + priv,
         E_IMPORT_ENCRYPT_CERT},
        {"private key field missing", Header(1, 1, 306) + session, E_IMPORT_ENCRYPT_CERT},
        {"private key field truncated", Header(1, 1, 306) + session + priv.substr(0, priv.size() - 3),
         E_IMPORT_ENCRYPT_CERT},
        {"private key field without comma", Header(1, 1, 306) + session + Field(privBase64 + u"A"),
         E_IMPORT_ENCRYPT_CERT},
        {"empty private key field", Header(1, 1, 306) + session + DeliveryNumber(0), E_FAIL},
        {"SEQUENCE of one element", Header(1, 1, 306) + session + DeliveryField(oneElement), E_IMPORT_ENCRYPT_CERT},
        {"SEQUENCE of three elements", Header(1, 1, 306) + DeliveryField(threeElements) + priv,
         E_IMPORT_ENCRYPT_CERT},
        {"indefinite value", Header(1, 1, 306) + session + DeliveryField(indefiniteValue), E_IMPORT_ENCRYPT_CERT},
        {"empty value", Header(1, 1, 306) + session + DeliveryField(emptyValue), E_IMPORT_ENCRYPT_CERT},
        {"not DER", Header(1, 1, 306) + session + DeliveryField({0x30}), E_IMPORT_ENCRYPT_CERT},
        {"DER longer than its bytes", Header(1, 1, 306) + session + DeliveryField({0x30, 0x7F, 0x02, 0x01, 0x01}),
         E_IMPORT_ENCRYPT_CERT},
    };
    for (const Case& c : cases)
    {
        EXPECT_EQ(c.hr, Parse(c.text, false).hr) << c.name;
        if (c.hr != E_INVALID_SESSION_KEY_TYPE)
            EXPECT_EQ(c.hr, Parse(c.text, true).hr) << c.name << " (Ex)";
    }
}

TEST(KeyPairDelivery, FieldReaderMovesPastEachField)
{
    std::u16string text = u"xx" + Field(u"QU,JD,") + Field(u"REVG,") + u"tail";
    size_t at = 2;
    std::u16string base64;
    ASSERT_EQ(S_OK, GetBase64KeyFromEncryptedData(text, &at, base64));
    EXPECT_EQ(u"QUJD", base64);
    EXPECT_EQ(2u + 16 + 6, at);
    ASSERT_EQ(S_OK, GetBase64KeyFromEncryptedData(text, &at, base64));
    EXPECT_EQ(u"REVG", base64);
    EXPECT_EQ(E_IMPORT_ENCRYPT_CERT, GetBase64KeyFromEncryptedData(text, &at, base64)); // "tail"
    size_t beyond = text.size() + 10;
    EXPECT_EQ(E_IMPORT_ENCRYPT_CERT, GetBase64KeyFromEncryptedData(text, &beyond, base64));
}

TEST(KeyPairDelivery, SecondElementOfAnyTwoElementObject)
{
    Bytes octets = {0x30, 0x08, 0x04, 0x01, 0x09, 0x04, 0x03, 0x0A, 0x0B, 0x0C};
    BYTE* pb = nullptr;
    DWORD cb = 0;
    ASSERT_EQ(S_OK, GetSessionKeyorPrivateKeyFromASN1Obj(octets.data(), DWORD(octets.size()), &pb, &cb));
    EXPECT_EQ(Bytes({0x0A, 0x0B, 0x0C}), Bytes(pb, pb + cb));
    delete[] pb;
}

TEST(KeyPairDelivery, CertificateTextIgnoresCommas)
{
    Bytes cert = {0x30, 0x03, 0x02, 0x01, 0x05};
    std::u16string text = Base64Text(cert);
    text.insert(2, u",");
    text += u",";
    BYTE* pb = nullptr;
    DWORD cb = 0;
    ASSERT_EQ(S_OK, ParseEncryptCertPublicKeyCert(text, &pb, &cb));
    EXPECT_EQ(cert, Bytes(pb, pb + cb));
    EXPECT_EQ(std::u16string::npos, text.find(u','));
    delete[] pb;
}

TEST(KeyPairDelivery, ReadDeliveryNumberForms)
{
    const struct
    {
        const char16_t* text;
        long long value;
    } cases[] = {
        {u"0000000000000306", 306}, {u"  \t-12abc", -12}, {u"+7", 7}, {u"abc", 0}, {u"", 0}, {u"- 5", 0},
        {u"9999999999999999", 9999999999999999LL},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.value, ReadDeliveryNumber(c.text)) << Utf8(c.text);
}

TEST(Sm2CiphertextOrder, ConversionsAreInversesAndKeepTheLength)
{
    Bytes c1c3c2(64 + 32 + 5);
    for (size_t i = 0; i < c1c3c2.size(); ++i)
        c1c3c2[i] = BYTE(i);
    BYTE* pbC1C2C3 = nullptr;
    ASSERT_EQ(S_OK, ConvertC1C3C2ToC1C2C3(c1c3c2.data(), DWORD(c1c3c2.size()), &pbC1C2C3));
    Bytes c1c2c3(pbC1C2C3, pbC1C2C3 + c1c3c2.size());
    EXPECT_EQ(0, pbC1C2C3[c1c3c2.size()]); // the spare zero byte
    EXPECT_EQ(C1C3C2ToC1C2C3(c1c3c2), c1c2c3);
    EXPECT_EQ(96, c1c2c3[64]); // C2 follows C1
    BYTE* pbBack = nullptr;
    ASSERT_EQ(S_OK, ConvertC1C2C3ToC1C3C2(c1c2c3.data(), DWORD(c1c2c3.size()), &pbBack));
    EXPECT_EQ(c1c3c2, Bytes(pbBack, pbBack + c1c3c2.size()));
    delete[] pbC1C2C3;
    delete[] pbBack;

    // Shorter than C1 and C3: refused, nothing read beyond the bytes.
    BYTE* pbNone = nullptr;
    EXPECT_EQ(E_IMPORT_ENCRYPT_CERT, ConvertC1C3C2ToC1C2C3(c1c3c2.data(), 95, &pbNone));
    EXPECT_EQ(E_IMPORT_ENCRYPT_CERT, ConvertC1C2C3ToC1C3C2(c1c3c2.data(), 95, &pbNone));
    EXPECT_EQ(nullptr, pbNone);
}

TEST(RsaEnvelope, EnvelopeDerCarriesBothAlgorithmsAndBothKeys)
{
    BYTE* pb = nullptr;
    DWORD cb = 0;
    ASSERT_EQ(S_OK, ComposeRSAEVPPrivateKey(kSession.data(), DWORD(kSession.size()), kPrivate.data(),
                                            DWORD(kPrivate.size()), &pb, &cb));
    Bytes der(pb, pb + cb);
    delete[] pb;
    Bytes expected = {0x30, 0x2A, 0x02, 0x01, 0x01,
                      // 1.2.840.113549.1.1.1
                      0x06, 0x09, 0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x01, 0x01,
                      // 1.3.6.1.4.1.4929.1.7
                      0x06, 0x09, 0x2B, 0x06, 0x01, 0x04, 0x01, 0xA6, 0x41, 0x01, 0x07};
    expected.push_back(0x04);
    expected.push_back(BYTE(kSession.size()));
    expected.insert(expected.end(), kSession.begin(), kSession.end());
    expected.push_back(0x04);
    expected.push_back(BYTE(kPrivate.size()));
    expected.insert(expected.end(), kPrivate.begin(), kPrivate.end());
    expected[1] = BYTE(expected.size() - 2);
    EXPECT_EQ(expected, der);
}
