// The signing plug-in's script object as a browser drives it: result variants of the four
// agent methods on success and failure, the last result behind GetLastErrorDesc, and the
// browser memory it hands out.
#include <gtest/gtest.h>

#include <dlfcn.h>

#include <npfunctions.h>
#include <openssl/err.h>
#include <openssl/evp.h>

#include "FakeBrowser.h"
#include "RecordingCspMachine.h"

using namespace signing_test;

namespace
{
class ScriptObjectTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_pMachine = new CRecordingCspMachine();
        s_pSigner = new CTestSigner(s_pMachine->Dir(), KeyKind::Rsa2048, "51", "/CN=Script Signer/O=Quillmark Test");
        ASSERT_TRUE(CRecordingCspMachine::AddToMyStore(*s_pSigner));
    }
    static void TearDownTestSuite()
    {
        delete s_pSigner;
        delete s_pMachine;
    }

    void SetUp() override
    {
        m_library = dlopen(QM_SIGNING_PLUGIN, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(m_library, nullptr) << dlerror();
        auto getEntryPoints = (NP_GetEntryPointsFunc)dlsym(m_library, "NP_GetEntryPoints");
        auto initialize = (NP_InitializeFunc)dlsym(m_library, "NP_Initialize");
        m_shutdown = (NP_ShutdownFunc)dlsym(m_library, "NP_Shutdown");
        ASSERT_TRUE(getEntryPoints && initialize && m_shutdown);
        m_funcs.size = sizeof(m_funcs);
        ASSERT_EQ(getEntryPoints(&m_funcs), NPERR_NO_ERROR);
        ASSERT_EQ(initialize(&m_browser.Funcs()), NPERR_NO_ERROR);
        char mime[] = "application/npSigmora.Pellix.x86";
        ASSERT_EQ(m_funcs.newp(mime, &m_npp, NP_EMBED, 0, nullptr, nullptr, nullptr), NPERR_NO_ERROR);
        ASSERT_EQ(m_funcs.getvalue(&m_npp, NPPVpluginScriptableNPObject, &m_object), NPERR_NO_ERROR);
        s_pMachine->ResetLog();
    }

    void TearDown() override
    {
        if (m_object)
        {
            m_browser.Funcs().releaseobject(m_object);
        }
        if (!m_bDestroyed)
        {
            m_funcs.destroy(&m_npp, nullptr);
        }
        m_shutdown();
        EXPECT_EQ(m_browser.OutstandingBlocks(), 0u) << "browser memory the test did not release";
        EXPECT_EQ(m_browser.LiveObjects(), 0u);
        dlclose(m_library);
    }

    bool Call(const std::string& method, std::vector<NPVariant> args, NPVariant& result)
    {
        VOID_TO_NPVARIANT(result);
        return m_browser.Invoke(m_object, method, args.data(), (uint32_t)args.size(), &result);
    }

    std::string LastErrorText()
    {
        NPVariant result;
        EXPECT_TRUE(Call("GetLastErrorDesc", {}, result));
        std::string text = fake::StringOf(result);
        m_browser.ReleaseVariant(result);
        return text;
    }

    static NPVariant Bool(bool b)
    {
        NPVariant v;
        BOOLEAN_TO_NPVARIANT(b, v);
        return v;
    }

    static CRecordingCspMachine* s_pMachine;
    static CTestSigner* s_pSigner;
    fake::Browser m_browser;
    void* m_library = nullptr;
    NP_ShutdownFunc m_shutdown = nullptr;
    NPPluginFuncs m_funcs{};
    NPP_t m_npp{};
    NPObject* m_object = nullptr;
    bool m_bDestroyed = false;
};

CRecordingCspMachine* ScriptObjectTest::s_pMachine = nullptr;
CTestSigner* ScriptObjectTest::s_pSigner = nullptr;

// The SM algorithms as the crypto library finds them; sm3 and sm4-cbc also exist among the
// library's own, so those are asked of the SM provider.
void ExpectSmAlgorithms(bool bFound)
{
    EVP_MD* pSm3 = EVP_MD_fetch(nullptr, "sm3", "provider=smcrypto");
    EVP_MD* pTls1Sm3 = EVP_MD_fetch(nullptr, "tls1-sm3", "provider=smcrypto");
    EVP_CIPHER* pSm4 = EVP_CIPHER_fetch(nullptr, "sm4-cbc", "provider=smcrypto");
    EVP_CIPHER* pZuc = EVP_CIPHER_fetch(nullptr, "zuc", nullptr);
    EXPECT_EQ(pSm3 != nullptr, bFound);
    EXPECT_EQ(pTls1Sm3 != nullptr, bFound);
    EXPECT_EQ(pSm4 != nullptr, bFound);
    EXPECT_EQ(pZuc != nullptr, bFound);
    EVP_MD_free(pSm3);
    EVP_MD_free(pTls1Sm3);
    EVP_CIPHER_free(pSm4);
    EVP_CIPHER_free(pZuc);
    ERR_clear_error();
}

bool EndsWith(const std::string& text, const std::string& tail)
{
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}
} // namespace

TEST_F(ScriptObjectTest, SelectCertificateAlwaysAnswersWithABool)
{
    NPVariant result;
    EXPECT_FALSE(Call("SelectCertificate", {fake::StringVariant(""), fake::StringVariant(""), fake::StringVariant("")},
                      result));
    ASSERT_TRUE(NPVARIANT_IS_BOOLEAN(result));
    EXPECT_FALSE(NPVARIANT_TO_BOOLEAN(result));
    EXPECT_TRUE(EndsWith(LastErrorText(), "\n(0x80070057)"));

    EXPECT_FALSE(Call("SelectCertificate", {fake::StringVariant("CN=Nobody"), fake::StringVariant(""),
                                            fake::StringVariant(""), fake::StringVariant("")},
                      result));
    ASSERT_TRUE(NPVARIANT_IS_BOOLEAN(result));
    EXPECT_FALSE(NPVARIANT_TO_BOOLEAN(result));
    EXPECT_EQ(LastErrorText(), "There is no available certificate in store.\n(0xa0071001)");

    EXPECT_TRUE(Call("SelectCertificate", {fake::StringVariant("Script Signer"), fake::StringVariant(""),
                                           fake::StringVariant("51"), fake::StringVariant("")},
                     result));
    ASSERT_TRUE(NPVARIANT_IS_BOOLEAN(result));
    EXPECT_TRUE(NPVARIANT_TO_BOOLEAN(result));
    EXPECT_TRUE(EndsWith(LastErrorText(), "\n(0x00000000)"));
}

TEST_F(ScriptObjectTest, StringMethodsGiveNullOnFailureAndBrowserStringsOnSuccess)
{
    NPVariant result;
    ASSERT_TRUE(Call("SelectCertificate", {fake::StringVariant("Script Signer"), fake::StringVariant(""),
                                           fake::StringVariant(""), fake::StringVariant("")},
                     result));
    struct
    {
        const char* method;
        std::vector<NPVariant> args;
        const char* code;
    } rgFailures[] = {
        {"SignMsgPKCS7", {fake::StringVariant("abc"), fake::StringVariant("SHA-256"), fake::IntVariant(1)},
         "(0x80070057)"},
        {"SignMsgPKCS7", {fake::StringVariant("abc"), fake::StringVariant("SHA256"), Bool(true)}, "(0xa0072020)"},
        {"SignHashMsgPKCS7Detached", {fake::StringVariant("AAAA")}, "(0x80070057)"},
        {"GetSignCertInfo", {fake::StringVariant("Nothing")}, "(0x80070057)"},
        {"GetSignCertInfo", {fake::IntVariant(3)}, "(0x80070057)"},
    };
    for (auto& c : rgFailures)
    {
        EXPECT_FALSE(Call(c.method, c.args, result)) << c.method;
        EXPECT_TRUE(NPVARIANT_IS_NULL(result)) << c.method;
        EXPECT_TRUE(EndsWith(LastErrorText(), c.code)) << c.method << " " << c.code;
    }

    ASSERT_TRUE(Call("GetSignCertInfo", {fake::StringVariant("SubjectCN")}, result));
    ASSERT_TRUE(NPVARIANT_IS_STRING(result));
    EXPECT_EQ(fake::StringOf(result), "Script Signer");
    EXPECT_EQ(NPVARIANT_TO_STRING(result).UTF8Length, 13u);
    m_browser.ReleaseVariant(result);

    ASSERT_TRUE(Call("SignMsgPKCS7", {fake::StringVariant("\xE4\xB8\xAD"), fake::StringVariant("SHA-256"), Bool(true)},
                     result));
    ASSERT_TRUE(NPVARIANT_IS_STRING(result));
    std::string text = fake::StringOf(result);
    m_browser.ReleaseVariant(result);
    SignedMessage msg;
    ASSERT_TRUE(msg.Parse(ossl::DecodeBase64(text)));
    EXPECT_TRUE(s_pMachine->CmsVerifies(msg.der, Bytes{0xE4, 0xB8, 0xAD}, false));
    EXPECT_TRUE(EndsWith(LastErrorText(), "\n(0x00000000)"));
}

TEST_F(ScriptObjectTest, SignatureThatCannotReachBrowserMemoryIsAFailure)
{
    NPVariant result;
    ASSERT_TRUE(Call("SelectCertificate", {fake::StringVariant("Script Signer"), fake::StringVariant(""),
                                           fake::StringVariant(""), fake::StringVariant("")},
                     result));
    m_browser.FailAllocations(true);
    EXPECT_FALSE(Call("SignMsgPKCS7", {fake::StringVariant("abc"), fake::StringVariant("SHA-1"), Bool(false)}, result));
    EXPECT_TRUE(NPVARIANT_IS_NULL(result));
    m_browser.FailAllocations(false);
    // The page is not told that a signature it never received succeeded.
    EXPECT_TRUE(EndsWith(LastErrorText(), "(0x8007000e)"));
}

TEST_F(ScriptObjectTest, SmAlgorithmsAreFoundWhileTheScriptObjectLives)
{
    ExpectSmAlgorithms(true);
    // A digest with the SM provider's SM3 gives the standard's value for "abc".
    EVP_MD* pSm3 = EVP_MD_fetch(nullptr, "sm3", "provider=smcrypto");
    ASSERT_NE(pSm3, nullptr);
    unsigned char rgbDigest[32];
    unsigned int cbDigest = 0;
    ASSERT_EQ(EVP_Digest("abc", 3, rgbDigest, &cbDigest, pSm3, nullptr), 1);
    EVP_MD_free(pSm3);
    ASSERT_EQ(cbDigest, 32u);
    EXPECT_EQ(rgbDigest[0], 0x66);
    EXPECT_EQ(rgbDigest[31], 0xe0);

    // The instance holds the object too; it goes when both references are gone.
    m_browser.Funcs().releaseobject(m_object);
    m_object = nullptr;
    m_funcs.destroy(&m_npp, nullptr);
    m_bDestroyed = true;
    EXPECT_EQ(m_browser.LiveObjects(), 0u);
    ExpectSmAlgorithms(false);
}
