// The RSA and SM2 signing roads through CryptoAPI, with a provider module that records every
// call reaching it; the messages are checked with openssl.
#include <gtest/gtest.h>

#include <cstdlib>

#include "../Pkcs7Writer.h"
#include "../RsaSigning.h"
#include "../Sm2Signing.h"
#include "RecordingCspMachine.h"

using namespace signing_test;

namespace
{
class SigningRoadsTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_pMachine = new CRecordingCspMachine();
        s_pRsa = new CTestSigner(s_pMachine->Dir(), KeyKind::Rsa2048, "0102AB", "/CN=Road Signer/O=Quillmark Test");
        s_pSm2 = new CTestSigner(s_pMachine->Dir(), KeyKind::Sm2, "7F01", "/CN=Road SM2/O=Quillmark Test");
        s_pRsaContext = CRecordingCspMachine::ContextWithKey(*s_pRsa);
    }
    static void TearDownTestSuite()
    {
        CertFreeCertificateContext(s_pRsaContext);
        delete s_pRsa;
        delete s_pSm2;
        delete s_pMachine;
    }
    void SetUp() override { s_pMachine->ResetLog(); }

    SM2_SIGNING_KEY Sm2Key()
    {
        m_sm2Container = Wide(s_pSm2->KeyPath());
        return SM2_SIGNING_KEY{kRecordingProviderName, m_sm2Container.c_str(), AT_SIGNATURE, s_pSm2->Context()};
    }

    std::vector<std::string> Log() const { return s_pMachine->Log(); }
    size_t Count(const std::string& prefix) const { return s_pMachine->LogLines(prefix).size(); }
    std::vector<size_t> HashedPieces() const { return s_pMachine->HashedPieces(); }
    bool CmsVerifies(const SignedMessage& msg, const Bytes& content, bool bDetached)
    {
        return s_pMachine->CmsVerifies(msg.der, content, bDetached);
    }

    static CRecordingCspMachine* s_pMachine;
    static CTestSigner* s_pRsa;
    static CTestSigner* s_pSm2;
    static PCCERT_CONTEXT s_pRsaContext;
    std::u16string m_sm2Container;
};

CRecordingCspMachine* SigningRoadsTest::s_pMachine = nullptr;
CTestSigner* SigningRoadsTest::s_pRsa = nullptr;
CTestSigner* SigningRoadsTest::s_pSm2 = nullptr;
PCCERT_CONTEXT SigningRoadsTest::s_pRsaContext = nullptr;
} // namespace

TEST_F(SigningRoadsTest, RsaContentRoadVerifiesForEachHashBothWays)
{
    const Bytes content = TextBytes("\xE4\xB8\xAD RSA road");
    for (ALG_ID uAlg : {CALG_SHA1, CALG_SHA_256, CALG_MD5})
    {
        for (BOOL bAttached : {TRUE, FALSE})
        {
            SCOPED_TRACE(testing::Message() << std::hex << uAlg << " attached " << bAttached);
            BSTR bstr = nullptr;
            ASSERT_EQ(SignBinaryData(content.data(), (DWORD)content.size(), s_pRsaContext, uAlg, bAttached, &bstr),
                      S_OK);
            SignedMessage msg;
            ASSERT_TRUE(msg.ParseBase64(TakeBstr(bstr)));
            EXPECT_TRUE(CmsVerifies(msg, content, !bAttached));
        }
    }
    // Every provider context and hash the road opened was given back.
    EXPECT_EQ(Count("acquire"), Count("release"));
    EXPECT_EQ(Count("create"), Count("destroyhash"));
}

TEST_F(SigningRoadsTest, ContentReachesTheCspInPiecesOf16384)
{
    struct
    {
        size_t cbContent;
        std::vector<size_t> pieces;
    } rgCases[] = {
        {1, {1}},
        {16383, {16383}},
        {16384, {16384}},
        {16385, {16384, 1}},
        {40000, {16384, 16384, 7232}},
    };
    for (const auto& c : rgCases)
    {
        SCOPED_TRACE(c.cbContent);
        Bytes content(c.cbContent, 'a');
        for (bool bSm2 : {false, true})
        {
            s_pMachine->ResetLog();
            BSTR bstr = nullptr;
            HRESULT hr = bSm2 ? SM2SignBinaryData(Sm2Key(), content.data(), (DWORD)content.size(), FALSE,
                                                  SZOID_SM2_SM3_SIGN, &bstr)
                              : SignBinaryData(content.data(), (DWORD)content.size(), s_pRsaContext, CALG_SHA_256,
                                               FALSE, &bstr);
            ASSERT_EQ(hr, S_OK);
            SysFreeString(bstr);
            EXPECT_EQ(HashedPieces(), c.pieces) << (bSm2 ? "SM2" : "RSA");
        }
    }
}

TEST_F(SigningRoadsTest, RsaDigestRoadSignsTheGivenDigest)
{
    const Bytes content = TextBytes("digest computed by the page");
    struct
    {
        ALG_ID uAlg;
        const char* pszDigest;
    } rgCases[] = {{CALG_SHA1, "SHA1"}, {CALG_SHA_256, "SHA256"}, {CALG_MD5, "MD5"}};
    for (const auto& c : rgCases)
    {
        SCOPED_TRACE(c.pszDigest);
        Bytes digest = ossl::Digest(c.pszDigest, content);
        BSTR bstr = nullptr;
        ASSERT_EQ(RSASignHashDataPKCS7Detached(digest.data(), (DWORD)digest.size(), s_pRsaContext, c.uAlg, &bstr),
                  S_OK);
        SignedMessage msg;
        ASSERT_TRUE(msg.ParseBase64(TakeBstr(bstr)));
        EXPECT_EQ(Children(msg.signedData[2]).size(), 1u); // detached: only the data OID
        EXPECT_TRUE(CmsVerifies(msg, content, true));
    }
    EXPECT_TRUE(HashedPieces().empty());
}

TEST_F(SigningRoadsTest, Sm2ContentRoadVerifiesOverTheContent)
{
    const Bytes content = TextBytes("\xE4\xB8\xAD SM2 road");
    for (BOOL bAttached : {TRUE, FALSE})
    {
        BSTR bstr = nullptr;
        ASSERT_EQ(SM2SignBinaryData(Sm2Key(), content.data(), (DWORD)content.size(), bAttached, SZOID_SM2_SM3_SIGN,
                                    &bstr),
                  S_OK);
        SignedMessage msg;
        ASSERT_TRUE(msg.ParseBase64(TakeBstr(bstr)));
        EXPECT_EQ(msg.signerInfo[4].tag, 0x04);
        EXPECT_TRUE(ossl::VerifySm2(s_pSm2->CertDer(), content, msg.signerInfo[4].ValueBytes()));
        EXPECT_EQ(Children(msg.signedData[2]).size(), bAttached ? 2u : 1u);
    }
    // The container is opened anew for each signature, and released.
    EXPECT_EQ(Count("acquire " + s_pSm2->KeyPath()), 2u);
    EXPECT_EQ(Count("release"), 2u);
    EXPECT_EQ(Count("sign 2"), 2u);
}

TEST_F(SigningRoadsTest, Sm2DigestRoadSignsTheGivenDigest)
{
    Bytes digest = ossl::Digest("SM3", TextBytes("anything the page hashed"));
    BSTR bstr = nullptr;
    ASSERT_EQ(SM2SignHashDataPKCS7Detached(digest.data(), (DWORD)digest.size(), Sm2Key(), &bstr), S_OK);
    SignedMessage msg;
    ASSERT_TRUE(msg.ParseBase64(TakeBstr(bstr)));
    EXPECT_TRUE(ossl::VerifySm2Digest(s_pSm2->CertDer(), digest, msg.signerInfo[4].ValueBytes()));
    EXPECT_EQ(Children(msg.signedData[2]).size(), 1u);
    EXPECT_TRUE(HashedPieces().empty());
}

TEST_F(SigningRoadsTest, DigestOfTheWrongLengthNeverReachesTheCsp)
{
    Bytes digest(64, 0x5A);
    struct
    {
        ALG_ID uAlg;
        std::vector<DWORD> badLengths;
    } rgCases[] = {
        {CALG_MD5, {0, 15, 17, 20, 32}},
        {CALG_SHA1, {16, 19, 21, 32}},
        {CALG_SHA_256, {16, 20, 31, 33, 64}},
    };
    for (const auto& c : rgCases)
    {
        for (DWORD cb : c.badLengths)
        {
            BSTR bstr = reinterpret_cast<BSTR>(1);
            EXPECT_EQ(RSASignHashDataPKCS7Detached(digest.data(), cb, s_pRsaContext, c.uAlg, &bstr), E_INVALIDARG)
                << std::hex << c.uAlg << " " << std::dec << cb;
        }
    }
    for (DWORD cb : {0u, 16u, 20u, 31u, 33u})
    {
        BSTR bstr = nullptr;
        EXPECT_EQ(SM2SignHashDataPKCS7Detached(digest.data(), cb, Sm2Key(), &bstr), E_INVALIDARG) << cb;
        EXPECT_EQ(bstr, nullptr);
    }
    EXPECT_EQ(RSASignHashDataPKCS7Detached(nullptr, 32, s_pRsaContext, CALG_SHA_256, nullptr), E_INVALIDARG);
    EXPECT_TRUE(Log().empty()) << "a CSP was called";
}

TEST_F(SigningRoadsTest, CspErrorsKeepTheirCustomerCodeOnlyOnTheDigestRoads)
{
    Bytes content = TextBytes("x");
    Bytes sha256 = ossl::Digest("SHA256", content);
    Bytes sm3 = ossl::Digest("SM3", content);
    struct
    {
        const char* pszError;
        HRESULT hrContent;
        HRESULT hrDigest;
    } rgCases[] = {
        {"20001234", (HRESULT)0x80071234, (HRESULT)0xA0071234},
        {"80090020", (HRESULT)0x80090020, (HRESULT)0x80090020},
        {"5", (HRESULT)0x80070005, (HRESULT)0x80070005},
    };
    for (const auto& c : rgCases)
    {
        SCOPED_TRACE(c.pszError);
        setenv("QM_TEST_CSP_SIGN_ERROR", c.pszError, 1);
        BSTR bstr = nullptr;
        EXPECT_EQ(SignBinaryData(content.data(), 1, s_pRsaContext, CALG_SHA_256, TRUE, &bstr), c.hrContent);
        EXPECT_EQ(SM2SignBinaryData(Sm2Key(), content.data(), 1, TRUE, SZOID_SM2_SM3_SIGN, &bstr), c.hrContent);
        EXPECT_EQ(RSASignHashDataPKCS7Detached(sha256.data(), 32, s_pRsaContext, CALG_SHA_256, &bstr), c.hrDigest);
        EXPECT_EQ(SM2SignHashDataPKCS7Detached(sm3.data(), 32, Sm2Key(), &bstr), c.hrDigest);
        EXPECT_EQ(bstr, nullptr);
    }
}

TEST_F(SigningRoadsTest, Sm2SignatureOfAnotherLengthIsInvalidData)
{
    Bytes content = TextBytes("x");
    Bytes sm3 = ossl::Digest("SM3", content);
    for (const char* pszLength : {"63", "65", "72"})
    {
        setenv("QM_TEST_CSP_SIGN_LENGTH", pszLength, 1);
        BSTR bstr = nullptr;
        EXPECT_EQ(SM2SignBinaryData(Sm2Key(), content.data(), 1, FALSE, SZOID_SM2_SM3_SIGN, &bstr), (HRESULT)0x8007000D);
        EXPECT_EQ(SM2SignHashDataPKCS7Detached(sm3.data(), 32, Sm2Key(), &bstr), (HRESULT)0x8007000D);
        EXPECT_EQ(bstr, nullptr);
    }
}

TEST_F(SigningRoadsTest, EverySm2SignatureVerifiesWhateverTheLengthOfRAndS)
{
    // About one signature in 128 has r or s below 2^248; its INTEGER must still be minimal.
    Bytes digest = ossl::Digest("SM3", TextBytes("many signatures"));
    int nFailed = 0;
    for (int i = 0; i < 300; ++i)
    {
        BSTR bstr = nullptr;
        ASSERT_EQ(SM2SignHashDataPKCS7Detached(digest.data(), (DWORD)digest.size(), Sm2Key(), &bstr), S_OK);
        SignedMessage msg;
        ASSERT_TRUE(msg.ParseBase64(TakeBstr(bstr)));
        if (!ossl::VerifySm2Digest(s_pSm2->CertDer(), digest, msg.signerInfo[4].ValueBytes()))
        {
            ++nFailed;
        }
    }
    EXPECT_EQ(nFailed, 0);
}
