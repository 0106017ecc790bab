// The signing agent on a machine whose "MY" store holds RSA certificates with keys in the
// recording provider: selection with filters, certificate facts, both signing operations.
#include <gtest/gtest.h>

#include <oleauto.h>

#include "../CryptoAgent.h"
#include "RecordingCspMachine.h"

using namespace signing_test;

namespace
{
class CryptoAgentTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_pMachine = new CRecordingCspMachine();
        s_pAlice = new CTestSigner(s_pMachine->Dir(), KeyKind::Rsa2048, "0102AB",
                                   "/CN=Agent Alice/O=Quillmark Test/C=CN");
        s_pBob = new CTestSigner(s_pMachine->Dir(), KeyKind::Rsa2048, "0A1B", "/CN=Agent Bob/O=Other Org/C=CN");
        ASSERT_TRUE(CRecordingCspMachine::AddToMyStore(*s_pAlice));
        ASSERT_TRUE(CRecordingCspMachine::AddToMyStore(*s_pBob));
    }
    static void TearDownTestSuite()
    {
        delete s_pAlice;
        delete s_pBob;
        delete s_pMachine;
    }
    void SetUp() override { s_pMachine->ResetLog(); }

    static HRESULT Select(CCryptoAgent& agent, const char16_t* subject, const char16_t* issuer,
                          const char16_t* serial, const char16_t* csps = u"")
    {
        BSTR bstrSubject = SysAllocString(subject);
        BSTR bstrIssuer = SysAllocString(issuer);
        BSTR bstrSerial = SysAllocString(serial);
        BSTR bstrCsps = SysAllocString(csps);
        VARIANT_BOOL bChosen = 0x1234;
        HRESULT hr = agent.SelectCertificate(bstrSubject, bstrIssuer, bstrSerial, bstrCsps, &bChosen);
        EXPECT_EQ(bChosen, SUCCEEDED(hr) ? VARIANT_TRUE : VARIANT_FALSE);
        SysFreeString(bstrSubject);
        SysFreeString(bstrIssuer);
        SysFreeString(bstrSerial);
        SysFreeString(bstrCsps);
        return hr;
    }

    static HRESULT Info(CCryptoAgent& agent, const char16_t* type, std::u16string& text)
    {
        BSTR bstrType = SysAllocString(type);
        BSTR bstrInfo = nullptr;
        HRESULT hr = agent.GetSignCertInfo(bstrType, &bstrInfo);
        SysFreeString(bstrType);
        EXPECT_NE(bstrInfo, nullptr) << "the page always gets a string";
        text = TakeBstr(bstrInfo);
        return hr;
    }

    static HRESULT Sign(CCryptoAgent& agent, const std::u16string& source, const char16_t* hash,
                        VARIANT_BOOL bAttached, Bytes& der)
    {
        BSTR bstrSource = SysAllocStringLen(source.data(), (UINT)source.size());
        BSTR bstrHash = SysAllocString(hash);
        BSTR bstrSignature = reinterpret_cast<BSTR>(1);
        HRESULT hr = agent.SignMsgPKCS7(bstrSource, bstrHash, bAttached, &bstrSignature);
        SysFreeString(bstrSource);
        SysFreeString(bstrHash);
        if (FAILED(hr))
        {
            EXPECT_EQ(bstrSignature, nullptr);
            return hr;
        }
        std::u16string text = TakeBstr(bstrSignature);
        EXPECT_EQ(text.find_first_of(u"\r\n"), std::u16string::npos);
        der = ossl::DecodeBase64(std::string(text.begin(), text.end()));
        return hr;
    }

    static HRESULT SignDigest(CCryptoAgent& agent, const std::string& base64, const char16_t* hash, Bytes& der)
    {
        std::u16string wide = Wide(base64);
        BSTR bstrDigest = SysAllocString(wide.c_str());
        BSTR bstrHash = SysAllocString(hash);
        BSTR bstrSignature = reinterpret_cast<BSTR>(1);
        HRESULT hr = agent.SignHashMsgPKCS7Detached(bstrDigest, bstrHash, &bstrSignature);
        SysFreeString(bstrDigest);
        SysFreeString(bstrHash);
        if (FAILED(hr))
        {
            EXPECT_EQ(bstrSignature, nullptr);
            return hr;
        }
        std::u16string text = TakeBstr(bstrSignature);
        der = ossl::DecodeBase64(std::string(text.begin(), text.end()));
        return hr;
    }

    static CRecordingCspMachine* s_pMachine;
    static CTestSigner* s_pAlice;
    static CTestSigner* s_pBob;
};

CRecordingCspMachine* CryptoAgentTest::s_pMachine = nullptr;
CTestSigner* CryptoAgentTest::s_pAlice = nullptr;
CTestSigner* CryptoAgentTest::s_pBob = nullptr;
} // namespace

TEST_F(CryptoAgentTest, FiltersChooseTheOneCertificate)
{
    struct
    {
        const char16_t* subject;
        const char16_t* issuer;
        const char16_t* serial;
        const char16_t* expectedCN;
    } rgCases[] = {
        {u"cn=agent alice", u"", u"", u"Agent Alice"},
        {u"CN=Nobody#CN=Agent Bob", u"", u"", u"Agent Bob"},
        {u"", u"O=Other Org", u"", u"Agent Bob"},
        {u"", u"", u"0102ab", u"Agent Alice"},
        {u"", u"", u"0A1B", u"Agent Bob"},
        {u"Agent", u"Quillmark", u"0102AB", u"Agent Alice"},
    };
    for (const auto& c : rgCases)
    {
        SCOPED_TRACE(std::string(c.expectedCN, c.expectedCN + 9) + " " + std::to_string(&c - rgCases));
        CCryptoAgent agent;
        ASSERT_EQ(Select(agent, c.subject, c.issuer, c.serial), S_OK);
        std::u16string cn;
        EXPECT_EQ(Info(agent, u"SubjectCN", cn), S_OK);
        EXPECT_EQ(cn, c.expectedCN);
    }
}

TEST_F(CryptoAgentTest, FailedSelectionLeavesNoCertificateReady)
{
    CCryptoAgent agent;
    ASSERT_EQ(Select(agent, u"Agent Alice", u"", u""), S_OK);
    struct
    {
        const char16_t* subject;
        const char16_t* serial;
        HRESULT hr;
    } rgCases[] = {
        {u"CN=Nobody", u"", (HRESULT)0xA0071001},
        {u"", u"0x12", E_INVALIDARG},
        {u"", u"FFFF", (HRESULT)0xA0071001},
    };
    for (const auto& c : rgCases)
    {
        EXPECT_EQ(Select(agent, c.subject, u"", c.serial), c.hr);
        std::u16string text = u"unchanged";
        EXPECT_EQ(Info(agent, u"SubjectCN", text), (HRESULT)0xA0072001);
        EXPECT_EQ(text, u"");
        ASSERT_EQ(Select(agent, u"Agent Alice", u"", u""), S_OK);
    }
}

TEST_F(CryptoAgentTest, CertificateFactsInAnyLetterCase)
{
    CCryptoAgent agent;
    ASSERT_EQ(Select(agent, u"Agent Alice", u"", u""), S_OK);
    std::string content = ossl::EncodeBase64(s_pAlice->CertDer());
    struct
    {
        const char16_t* type;
        std::u16string expected;
    } rgCases[] = {
        {u"SubjectCN", u"Agent Alice"},
        {u"SUBJECTCN", u"Agent Alice"},
        {u"serialnumber", u"0102ab"},
        {u"CSPName", kRecordingProviderName},
        {u"certtype", u"RSA"},
        {u"CertContent", Wide(content)},
    };
    for (const auto& c : rgCases)
    {
        std::u16string text;
        EXPECT_EQ(Info(agent, c.type, text), S_OK) << std::string(c.type, c.type + std::char_traits<char16_t>::length(c.type));
        EXPECT_EQ(text, c.expected);
    }
    std::u16string subject;
    std::u16string issuer;
    EXPECT_EQ(Info(agent, u"SubjectDN", subject), S_OK);
    EXPECT_EQ(Info(agent, u"issuerdn", issuer), S_OK);
    EXPECT_NE(subject.find(u"CN=Agent Alice"), std::u16string::npos);
    EXPECT_NE(issuer.find(u"O=Quillmark Test"), std::u16string::npos);

    std::u16string text = u"x";
    EXPECT_EQ(Info(agent, u"Subject", text), E_INVALIDARG);
    EXPECT_EQ(text, u"");
    EXPECT_EQ(Info(agent, u"", text), E_INVALIDARG);
}

TEST_F(CryptoAgentTest, SignMsgPKCS7VerifiesForEachHashName)
{
    CCryptoAgent agent;
    ASSERT_EQ(Select(agent, u"Agent Alice", u"", u""), S_OK);
    // One character U+4E2D is signed as its three UTF-8 bytes, no terminator.
    const std::u16string source = u"\u4E2D";
    const Bytes content = {0xE4, 0xB8, 0xAD};
    for (const char16_t* hash : {u"SHA-1", u"sha-256", u"MD-5"})
    {
        for (VARIANT_BOOL bAttached : {VARIANT_TRUE, VARIANT_FALSE, (VARIANT_BOOL)1})
        {
            Bytes der;
            ASSERT_EQ(Sign(agent, source, hash, bAttached, der), S_OK);
            SignedMessage msg;
            ASSERT_TRUE(msg.Parse(der));
            // Only VARIANT_TRUE carries the content.
            bool bCarried = bAttached == VARIANT_TRUE;
            EXPECT_EQ(Children(msg.signedData[2]).size(), bCarried ? 2u : 1u);
            EXPECT_TRUE(s_pMachine->CmsVerifies(der, content, !bCarried));
        }
    }
}

TEST_F(CryptoAgentTest, SignMsgPKCS7Refusals)
{
    Bytes der;
    {
        CCryptoAgent agent;
        EXPECT_EQ(Sign(agent, u"abc", u"SHA-256", VARIANT_TRUE, der), (HRESULT)0xA0072001);
        EXPECT_EQ(Sign(agent, u"", u"SHA-256", VARIANT_TRUE, der), E_INVALIDARG);
    }
    CCryptoAgent agent;
    ASSERT_EQ(Select(agent, u"Agent Alice", u"", u""), S_OK);
    EXPECT_EQ(Sign(agent, u"", u"SHA-256", VARIANT_TRUE, der), E_INVALIDARG);
    EXPECT_EQ(Sign(agent, u"abc", u"", VARIANT_TRUE, der), E_INVALIDARG);
    for (const char16_t* hash : {u"SHA256", u"SHA-384", u"SM3", u"MD5"})
    {
        EXPECT_EQ(Sign(agent, u"abc", hash, VARIANT_TRUE, der), (HRESULT)0xA0072020);
    }
    EXPECT_TRUE(s_pMachine->LogLines("create").empty()) << "no hash was made for a refused call";
}

TEST_F(CryptoAgentTest, ContentOf16384And16385BytesIsHashedInOneAndTwoPieces)
{
    CCryptoAgent agent;
    ASSERT_EQ(Select(agent, u"Agent Alice", u"", u""), S_OK);
    // 5461 three-byte characters and one ASCII byte make 16384 UTF-8 bytes.
    std::u16string source(5461, u'\u4E2D');
    source += u'a';
    Bytes der;
    s_pMachine->ResetLog();
    ASSERT_EQ(Sign(agent, source, u"SHA-256", VARIANT_FALSE, der), S_OK);
    EXPECT_EQ(s_pMachine->HashedPieces(), (std::vector<size_t>{16384}));
    source += u'b';
    s_pMachine->ResetLog();
    ASSERT_EQ(Sign(agent, source, u"SHA-256", VARIANT_FALSE, der), S_OK);
    EXPECT_EQ(s_pMachine->HashedPieces(), (std::vector<size_t>{16384, 1}));
}

TEST_F(CryptoAgentTest, SignHashMsgPKCS7DetachedSignsThePagesDigest)
{
    CCryptoAgent agent;
    ASSERT_EQ(Select(agent, u"Agent Bob", u"", u""), S_OK);
    Bytes content = TextBytes("the page hashed this");
    struct
    {
        const char16_t* name;
        const char* digest;
    } rgCases[] = {{u"SHA-1", "SHA1"}, {u"Sha-256", "SHA256"}, {u"md-5", "MD5"}};
    for (const auto& c : rgCases)
    {
        Bytes der;
        ASSERT_EQ(SignDigest(agent, ossl::EncodeBase64(ossl::Digest(c.digest, content)), c.name, der), S_OK);
        EXPECT_TRUE(s_pMachine->CmsVerifies(der, content, true));
    }

    // Refused before any CSP is opened.
    s_pMachine->ResetLog();
    Bytes der;
    std::string sha1 = ossl::EncodeBase64(ossl::Digest("SHA1", content));
    EXPECT_EQ(SignDigest(agent, sha1, u"SHA-256", der), E_INVALIDARG);
    EXPECT_EQ(SignDigest(agent, "!!!!", u"SHA-1", der), E_INVALIDARG);
    EXPECT_EQ(SignDigest(agent, "", u"SHA-1", der), E_INVALIDARG);
    EXPECT_EQ(SignDigest(agent, sha1, u"SHA1", der), (HRESULT)0xA0072020);
    EXPECT_EQ(SignDigest(agent, sha1, u"", der), (HRESULT)0xA0072020);
    EXPECT_TRUE(s_pMachine->Log().empty());
}

TEST_F(CryptoAgentTest, LastErrorTextFollowsTheLastOperation)
{
    CCryptoAgent agent;
    BSTR bstr = nullptr;
    ASSERT_EQ(agent.GetLastErrorDesc(&bstr), S_OK);
    EXPECT_NE(TakeBstr(bstr).find(u"\n(0x00000000)"), std::u16string::npos);
    std::u16string text;
    Info(agent, u"SubjectCN", text);
    // The message table is the plug-in's; the page tests read its texts.
    ASSERT_EQ(agent.GetLastErrorDesc(&bstr), S_OK);
    std::u16string desc = TakeBstr(bstr);
    EXPECT_TRUE(desc.ends_with(u"\n(0xa0072001)"));
    LONG lVersion = 7;
    EXPECT_EQ(agent.GetVersion(&lVersion), S_OK);
    EXPECT_EQ(lVersion, 0);
    ASSERT_EQ(agent.GetLastErrorDesc(&bstr), S_OK);
    EXPECT_EQ(TakeBstr(bstr), desc);
}
