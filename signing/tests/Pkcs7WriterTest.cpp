// The SignedData writers, checked by OpenSSL: openssl cms for RSA, the SM2 signature and
// openssl asn1parse for SM2, and the byte layout by a DER walk.
#include <gtest/gtest.h>

#include "../Pkcs7Writer.h"
#include "PluginForms.h"
#include "Base64Encoding.h"
#include "TestSigner.h"

using namespace signing_test;

namespace
{
const Bytes kSha256AlgorithmId = {0x30, 0x0D, 0x06, 0x09, 0x60, 0x86, 0x48, 0x01, 0x65,
                                  0x03, 0x04, 0x02, 0x01, 0x05, 0x00};
const Bytes kSm3AlgorithmId = {0x30, 0x0C, 0x06, 0x08, 0x2A, 0x81, 0x1C, 0xCF, 0x55, 0x01, 0x83, 0x11, 0x05, 0x00};
const Bytes kPkcs7DataOid = {0x06, 0x09, 0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x07, 0x01};
const Bytes kPkcs7SignedDataOid = {0x06, 0x09, 0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x07, 0x02};
const Bytes kSm2DataOid = {0x06, 0x0A, 0x2A, 0x81, 0x1C, 0xCF, 0x55, 0x06, 0x01, 0x04, 0x02, 0x01};
const Bytes kSm2SignedDataOid = {0x06, 0x0A, 0x2A, 0x81, 0x1C, 0xCF, 0x55, 0x06, 0x01, 0x04, 0x02, 0x02};

Bytes EncodeOid(LPCSTR pszOid)
{
    BYTE* pb = nullptr;
    DWORD cb = 0;
    if (FAILED(SM2EncodeOID(pszOid, &pb, &cb)))
    {
        return {};
    }
    Bytes out(pb, pb + cb);
    delete[] pb;
    return out;
}

class Pkcs7WriterTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_pDir = new CTempDir();
        s_pRsa = new CTestSigner(*s_pDir, KeyKind::Rsa2048, "C35A", "/CN=RSA Signer/O=Quillmark Test");
        s_pSm2 = new CTestSigner(*s_pDir, KeyKind::Sm2, "C35A", "/CN=SM2 Signer/O=Quillmark Test");
    }
    static void TearDownTestSuite()
    {
        delete s_pRsa;
        delete s_pSm2;
        delete s_pDir;
    }

    static std::u16string WriteRsa(ALG_ID uAlg, const char* pszDigest, const Bytes& content, BOOL bAttached)
    {
        LPCSTR pszDigestOid = nullptr;
        LPCSTR pszSignatureOid = nullptr;
        EXPECT_TRUE(GetAlgorithmIdentifiers(uAlg, &pszDigestOid, &pszSignatureOid));
        Bytes signature = ossl::SignRsa(s_pRsa->KeyPath(), pszDigest, content);
        BSTR bstr = nullptr;
        DWORD cch = 0;
        HRESULT hr = EncapsulatePKCS7(s_pRsa->Context(), pszDigestOid, pszSignatureOid, signature.data(),
                                      (DWORD)signature.size(), content.data(), (DWORD)content.size(), bAttached,
                                      BASE64_FLAG_NO_CRLF, &bstr, &cch);
        EXPECT_EQ(hr, S_OK);
        std::u16string text = bstr ? std::u16string(bstr, cch) : std::u16string();
        EXPECT_EQ(SysStringLen(bstr), cch);
        SysFreeString(bstr);
        return text;
    }

    static std::u16string WriteSm2(const Bytes& content, BOOL bAttached)
    {
        Bytes raw = ossl::SignSm2(s_pSm2->KeyPath(), content);
        BYTE* pbValue = nullptr;
        DWORD cbValue = 0;
        EXPECT_EQ(SigningForm::SM2EncodeRawSignature(&pbValue, &cbValue, raw.data(), (DWORD)raw.size()), S_OK);
        BSTR bstr = nullptr;
        DWORD cch = 0;
        HRESULT hr = SM2EncapsulatePKCS7(s_pSm2->Context(), SZOID_SM3, SZOID_SM2_SM3_SIGN, pbValue, cbValue,
                                         content.data(), (DWORD)content.size(), bAttached, BASE64_FLAG_NO_CRLF,
                                         &bstr, &cch);
        delete[] pbValue;
        EXPECT_EQ(hr, S_OK);
        std::u16string text = bstr ? std::u16string(bstr, cch) : std::u16string();
        SysFreeString(bstr);
        return text;
    }

    static CTempDir* s_pDir;
    static CTestSigner* s_pRsa;
    static CTestSigner* s_pSm2;
};

CTempDir* Pkcs7WriterTest::s_pDir = nullptr;
CTestSigner* Pkcs7WriterTest::s_pRsa = nullptr;
CTestSigner* Pkcs7WriterTest::s_pSm2 = nullptr;
} // namespace

TEST(GetAlgorithmIdentifiers, GivesTheTableAndRefusesOtherIds)
{
    struct
    {
        ALG_ID uAlg;
        const char* pszDigest;
        const char* pszSignature;
    } rgCases[] = {
        {CALG_MD5, "1.2.840.113549.2.5", "1.2.840.113549.1.1.4"},
        {CALG_SHA1, "1.3.14.3.2.26", "1.2.840.113549.1.1.1"},
        {CALG_SHA_256, "2.16.840.1.101.3.4.2.1", "1.2.840.113549.1.1.11"},
        {CALG_SHA_384, "2.16.840.1.101.3.4.2.2", "1.2.840.113549.1.1.12"},
        {CALG_SHA_512, "2.16.840.1.101.3.4.2.3", "1.2.840.113549.1.1.13"},
        {0x800F, "1.2.156.10197.1.401", "1.2.156.10197.1.301.1"},
    };
    for (const auto& c : rgCases)
    {
        LPCSTR pszDigest = nullptr;
        LPCSTR pszSignature = nullptr;
        ASSERT_TRUE(GetAlgorithmIdentifiers(c.uAlg, &pszDigest, &pszSignature)) << std::hex << c.uAlg;
        EXPECT_STREQ(pszDigest, c.pszDigest);
        EXPECT_STREQ(pszSignature, c.pszSignature);
    }
    for (ALG_ID uAlg : {0u, 0x8001u, 0x8002u, 0x8010u, 0x6610u})
    {
        EXPECT_FALSE(GetAlgorithmIdentifiers(uAlg, nullptr, nullptr)) << std::hex << uAlg;
    }
}

TEST(SM2EncodeOID, WritesSequenceOfOidAndNull)
{
    EXPECT_EQ(EncodeOid("2.16.840.1.101.3.4.2.1"), kSha256AlgorithmId);
    EXPECT_EQ(EncodeOid("1.3.14.3.2.26"), (Bytes{0x30, 0x09, 0x06, 0x05, 0x2B, 0x0E, 0x03, 0x02, 0x1A, 0x05, 0x00}));
    EXPECT_EQ(EncodeOid(SZOID_SM3), kSm3AlgorithmId);
    EXPECT_EQ(EncodeOid(SZOID_SM2_SM3_SIGN), (Bytes{0x30, 0x0D, 0x06, 0x09, 0x2A, 0x81, 0x1C, 0xCF, 0x55, 0x01,
                                                    0x82, 0x2D, 0x01, 0x05, 0x00}));
    for (LPCSTR pszBad : {"", "1", "1.", ".1.2", "1..2", "3.1", "1.40", "1.2.x", "1.2.99999999999999999999"})
    {
        BYTE* pb = nullptr;
        DWORD cb = 0;
        EXPECT_EQ(SM2EncodeOID(pszBad, &pb, &cb), E_INVALIDARG) << pszBad;
        EXPECT_EQ(pb, nullptr);
    }
}

TEST_F(Pkcs7WriterTest, RsaMessagesVerifyWithOpensslCms)
{
    struct
    {
        ALG_ID uAlg;
        const char* pszDigest;
        const char* pszSignatureOid;
    } rgAlgorithms[] = {
        {CALG_SHA1, "SHA1", "1.2.840.113549.1.1.1"},
        {CALG_SHA_256, "SHA256", "1.2.840.113549.1.1.11"},
        {CALG_MD5, "MD5", "1.2.840.113549.1.1.4"},
    };
    // Short content, and content whose lengths need the long forms.
    Bytes bigContent(70000);
    for (size_t i = 0; i < bigContent.size(); ++i)
    {
        bigContent[i] = (BYTE)(i * 7 + 3);
    }
    const Bytes rgContents[] = {TextBytes("abc"), TextBytes("\xE4\xB8\xAD signed text"), bigContent};

    int nCase = 0;
    for (const auto& alg : rgAlgorithms)
    {
        for (const Bytes& content : rgContents)
        {
            for (BOOL bAttached : {TRUE, FALSE})
            {
                SCOPED_TRACE(testing::Message() << "alg " << std::hex << alg.uAlg << std::dec << " content "
                                                << content.size() << " attached " << bAttached);
                std::u16string text = WriteRsa(alg.uAlg, alg.pszDigest, content, bAttached);
                ASSERT_FALSE(text.empty());
                EXPECT_EQ(text.find_first_of(u"\r\n"), std::u16string::npos);

                SignedMessage msg;
                ASSERT_TRUE(msg.ParseBase64(text));
                EXPECT_EQ(msg.signerInfo[3].Encoded(), EncodeOid(alg.pszSignatureOid));

                std::string base = s_pDir->File("rsa" + std::to_string(nCase++));
                WriteFileBytes(base + ".p7", msg.der);
                WriteFileBytes(base + ".txt", content);
                std::string cmd = "openssl cms -verify -binary -noverify -inform DER -in '" + base + ".p7'" +
                                  " -out '" + base + ".out'";
                if (!bAttached)
                {
                    cmd += " -content '" + base + ".txt'";
                }
                ASSERT_EQ(RunCommand(cmd), 0) << cmd;
                EXPECT_EQ(ReadFileBytes(base + ".out"), content);
                if (!bAttached)
                {
                    // The signature is over the content: other bytes must not verify.
                    Bytes other = content;
                    other[0] ^= 1;
                    WriteFileBytes(base + ".txt", other);
                    EXPECT_NE(RunCommand(cmd), 0);
                }
            }
        }
    }
}

TEST_F(Pkcs7WriterTest, RsaDetachedLayout)
{
    std::u16string text = WriteRsa(CALG_SHA_256, "SHA256", TextBytes("detached content"), FALSE);
    SignedMessage msg;
    ASSERT_TRUE(msg.ParseBase64(text));

    EXPECT_EQ(msg.outer[0].Encoded(), kPkcs7SignedDataOid);
    EXPECT_EQ(msg.signedData[0].Encoded(), (Bytes{0x02, 0x01, 0x01}));
    Bytes digestAlgorithms = {0x31, 0x0F};
    digestAlgorithms.insert(digestAlgorithms.end(), kSha256AlgorithmId.begin(), kSha256AlgorithmId.end());
    EXPECT_EQ(msg.signedData[1].Encoded(), digestAlgorithms);
    Bytes innerContentInfo = {0x30, 0x0B};
    innerContentInfo.insert(innerContentInfo.end(), kPkcs7DataOid.begin(), kPkcs7DataOid.end());
    EXPECT_EQ(msg.signedData[2].Encoded(), innerContentInfo);
    // certificates [0] IMPLICIT: exactly the signer's certificate, verbatim.
    EXPECT_EQ(msg.signedData[3].tag, 0xA0);
    EXPECT_EQ(msg.signedData[3].ValueBytes(), s_pRsa->CertDer());

    EXPECT_EQ(msg.signerInfo[0].Encoded(), (Bytes{0x02, 0x01, 0x01}));
    EXPECT_EQ(msg.signerInfo[2].Encoded(), kSha256AlgorithmId);
    EXPECT_EQ(msg.signerInfo[4].tag, 0x04);
    EXPECT_EQ(msg.signerInfo[4].valueLength, 256u);
}

TEST_F(Pkcs7WriterTest, AttachedInnerContentInfoCarriesTheBytes)
{
    std::u16string text = WriteRsa(CALG_SHA_256, "SHA256", TextBytes("abc"), TRUE);
    SignedMessage msg;
    ASSERT_TRUE(msg.ParseBase64(text));
    Bytes expected = {0x30, 0x12};
    expected.insert(expected.end(), kPkcs7DataOid.begin(), kPkcs7DataOid.end());
    expected.insert(expected.end(), {0xA0, 0x05, 0x04, 0x03, 0x61, 0x62, 0x63});
    EXPECT_EQ(msg.signedData[2].Encoded(), expected);
}

TEST_F(Pkcs7WriterTest, IssuerAndSerialNumberAreTheCertificatesOwnOnBothRoads)
{
    // The serial 0xC35A is carried as INTEGER content 00 C3 5A.
    const Bytes expectedSerial = {0x02, 0x03, 0x00, 0xC3, 0x5A};
    SignedMessage rsa;
    ASSERT_TRUE(rsa.ParseBase64(WriteRsa(CALG_SHA1, "SHA1", TextBytes("x"), FALSE)));
    SignedMessage sm2;
    ASSERT_TRUE(sm2.ParseBase64(WriteSm2(TextBytes("x"), FALSE)));

    for (auto [pMsg, pSigner] : {std::pair{&rsa, s_pRsa}, std::pair{&sm2, s_pSm2}})
    {
        std::vector<Tlv> issuerAndSerial = Children(pMsg->signerInfo[1]);
        ASSERT_EQ(issuerAndSerial.size(), 2u);
        EXPECT_EQ(issuerAndSerial[0].Encoded(), pSigner->IssuerDer());
        EXPECT_EQ(issuerAndSerial[1].Encoded(), expectedSerial);
    }
}

TEST_F(Pkcs7WriterTest, Sm2MessagesCarryNationalOidsAndVerify)
{
    Bytes bigContent(20000, 'q');
    for (const Bytes& content : {TextBytes("abc"), bigContent})
    {
        for (BOOL bAttached : {TRUE, FALSE})
        {
            SCOPED_TRACE(testing::Message() << "content " << content.size() << " attached " << bAttached);
            std::u16string text = WriteSm2(content, bAttached);
            EXPECT_EQ(text.find_first_of(u"\r\n"), std::u16string::npos);
            SignedMessage msg;
            ASSERT_TRUE(msg.ParseBase64(text));

            std::string file = s_pDir->File("sm2-" + std::to_string(content.size()) + "-" + std::to_string(bAttached));
            WriteFileBytes(file + ".p7", msg.der);
            ASSERT_EQ(RunCommand("openssl asn1parse -inform DER -in '" + file + ".p7'", file + ".asn1"), 0);
            Bytes dump = ReadFileBytes(file + ".asn1");
            std::string asn1(dump.begin(), dump.end());
            EXPECT_NE(asn1.find("1.2.156.10197.6.1.4.2.2"), std::string::npos) << asn1;
            EXPECT_NE(asn1.find("1.2.156.10197.6.1.4.2.1"), std::string::npos);

            EXPECT_EQ(msg.outer[0].Encoded(), kSm2SignedDataOid);
            Bytes digestAlgorithms = {0x31, 0x0E};
            digestAlgorithms.insert(digestAlgorithms.end(), kSm3AlgorithmId.begin(), kSm3AlgorithmId.end());
            EXPECT_EQ(msg.signedData[1].Encoded(), digestAlgorithms);
            std::vector<Tlv> inner = Children(msg.signedData[2]);
            ASSERT_FALSE(inner.empty());
            EXPECT_EQ(inner[0].Encoded(), kSm2DataOid);
            if (bAttached)
            {
                ASSERT_EQ(inner.size(), 2u);
                std::vector<Tlv> octets = Children(inner[1]);
                ASSERT_EQ(octets.size(), 1u);
                EXPECT_EQ(octets[0].ValueBytes(), content);
            }
            else
            {
                Bytes expected = {0x30, 0x0C};
                expected.insert(expected.end(), kSm2DataOid.begin(), kSm2DataOid.end());
                EXPECT_EQ(msg.signedData[2].Encoded(), expected);
            }
            EXPECT_EQ(msg.signedData[3].ValueBytes(), s_pSm2->CertDer());
            EXPECT_EQ(msg.signerInfo[2].Encoded(), kSm3AlgorithmId);
            EXPECT_EQ(msg.signerInfo[3].Encoded(), EncodeOid(SZOID_SM2_SM3_SIGN));

            // encryptedDigest: OCTET STRING { SEQUENCE { r, s } }, over the content itself.
            ASSERT_EQ(msg.signerInfo[4].tag, 0x04);
            EXPECT_TRUE(ossl::VerifySm2(s_pSm2->CertDer(), content, msg.signerInfo[4].ValueBytes()));
            EXPECT_FALSE(ossl::VerifySm2(s_pSm2->CertDer(), TextBytes("other"), msg.signerInfo[4].ValueBytes()));
        }
    }
}

TEST_F(Pkcs7WriterTest, RefusesMissingPartsAndHandsOutNothing)
{
    const BYTE rgbSignature[4] = {1, 2, 3, 4};
    const BYTE rgbContent[3] = {'a', 'b', 'c'};
    CERT_CONTEXT noInfo = *s_pRsa->Context();
    noInfo.pCertInfo = nullptr;
    struct
    {
        PCCERT_CONTEXT pCert;
        LPCSTR pszDigest;
        const BYTE* pbSignature;
        DWORD cbSignature;
        HRESULT hrExpected;
    } rgCases[] = {
        {nullptr, "1.3.14.3.2.26", rgbSignature, 4, E_INVALIDARG},
        {&noInfo, "1.3.14.3.2.26", rgbSignature, 4, E_INVALIDARG},
        {s_pRsa->Context(), nullptr, rgbSignature, 4, E_INVALIDARG},
        {s_pRsa->Context(), "1.3.14.3.2.26", nullptr, 4, E_INVALIDARG},
        {s_pRsa->Context(), "1.3.14.3.2.26", rgbSignature, 0, E_INVALIDARG},
        {s_pRsa->Context(), "not an oid", rgbSignature, 4, E_INVALIDARG},
    };
    for (const auto& c : rgCases)
    {
        for (auto pfnWriter : {&EncapsulatePKCS7, &SM2EncapsulatePKCS7})
        {
            BSTR bstr = reinterpret_cast<BSTR>(0x1);
            DWORD cch = 77;
            EXPECT_EQ(pfnWriter(c.pCert, c.pszDigest, "1.2.840.113549.1.1.1", c.pbSignature, c.cbSignature,
                                rgbContent, 3, TRUE, BASE64_FLAG_NO_CRLF, &bstr, &cch),
                      c.hrExpected);
            EXPECT_EQ(bstr, nullptr);
        }
    }
}

TEST(SM2EncodeRawSignature, WritesMinimalIntegersThatVerifiersAccept)
{
    struct
    {
        std::vector<std::pair<size_t, BYTE>> rgSet; // byte index, value over a raw of zeros
        Bytes expectedR;                           // INTEGER r as written
    } rgCases[] = {
        {{{0, 0x80}, {31, 0x11}}, {}},  // top bit set: a 0x00 sign byte, 33 bytes
        {{{0, 0x7F}, {31, 0x11}}, {}},  // 32 bytes as they are
        {{{1, 0x55}, {31, 0x11}}, {}},  // a leading zero byte goes: 31 bytes
        {{{1, 0x95}, {31, 0x11}}, {}},  // leading zero kept as the sign byte
        {{{30, 0x01}, {31, 0x11}}, {0x02, 0x02, 0x01, 0x11}},
        {{{31, 0x00}}, {0x02, 0x01, 0x00}}, // r = 0
    };
    for (auto& c : rgCases)
    {
        Bytes raw(64, 0);
        for (auto [i, b] : c.rgSet)
        {
            raw[i] = b;
        }
        raw[32] = 0x01;
        raw[63] = 0x22;
        BYTE* pb = nullptr;
        DWORD cb = 0;
        ASSERT_EQ(SigningForm::SM2EncodeRawSignature(&pb, &cb, raw.data(), 64), S_OK);
        Bytes value(pb, pb + cb);
        delete[] pb;
        Tlv octets;
        ASSERT_TRUE(ParseTlv(value.data(), value.data() + value.size(), octets));
        EXPECT_EQ(octets.tag, 0x04);
        EXPECT_TRUE(ossl::IsStrictSignatureDer(octets.ValueBytes()));
        Bytes sequence = octets.ValueBytes();
        Tlv seq;
        ASSERT_TRUE(ParseTlv(sequence.data(), sequence.data() + sequence.size(), seq));
        std::vector<Tlv> integers = Children(seq);
        ASSERT_EQ(integers.size(), 2u);
        if (!c.expectedR.empty())
        {
            EXPECT_EQ(integers[0].Encoded(), c.expectedR);
        }
        Bytes content = integers[0].ValueBytes();
        EXPECT_TRUE(content.size() == 1 || content[0] != 0 || (content[1] & 0x80)) << "padded INTEGER";
    }
    BYTE* pb = nullptr;
    DWORD cb = 0;
    Bytes raw(65, 1);
    EXPECT_EQ(SigningForm::SM2EncodeRawSignature(&pb, &cb, raw.data(), 63), (HRESULT)0x8007000D);
    EXPECT_EQ(SigningForm::SM2EncodeRawSignature(&pb, &cb, raw.data(), 65), (HRESULT)0x8007000D);
    EXPECT_EQ(pb, nullptr);
}
