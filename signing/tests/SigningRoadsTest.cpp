// The RSA and SM2 signing roads through CryptoAPI, with a provider module that records every
// call reaching it; the messages are checked with openssl.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include <qm/machine.h>
#include <qm/csp_spi.h>

#include "../RsaSigning.h"
#include "../Sm2Signing.h"
#include "../Pkcs7Writer.h"
#include "TestSigner.h"

using namespace signing_test;

namespace
{
const WCHAR kProviderName[] = u"Quillmark Recording Test CSP";

std::vector<std::string> ReadLines(const std::string& path)
{
    std::vector<std::string> lines;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);)
    {
        lines.push_back(line);
    }
    return lines;
}

std::vector<std::string> LinesStartingWith(const std::vector<std::string>& lines, const std::string& prefix)
{
    std::vector<std::string> out;
    for (const std::string& line : lines)
    {
        if (line.rfind(prefix, 0) == 0)
        {
            out.push_back(line);
        }
    }
    return out;
}

std::u16string Wide(const std::string& text)
{
    return std::u16string(text.begin(), text.end());
}

std::u16string TakeBstr(BSTR bstr)
{
    std::u16string text = bstr ? std::u16string(bstr, SysStringLen(bstr)) : std::u16string();
    SysFreeString(bstr);
    return text;
}

class SigningRoadsTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_pDir = new CTempDir();
        qm::SetMachineDirectory(s_pDir->Path() / "machine");
        qm::SetProcessElevated(true);
        RegisterProvider();
        qm::SetProcessElevated(false);
        s_pRsa = new CTestSigner(*s_pDir, KeyKind::Rsa2048, "0102AB", "/CN=Road Signer/O=Quillmark Test");
        s_pSm2 = new CTestSigner(*s_pDir, KeyKind::Sm2, "7F01", "/CN=Road SM2/O=Quillmark Test");
        s_pRsaContext = MakeRsaContextWithKey();
    }
    static void TearDownTestSuite()
    {
        CertFreeCertificateContext(s_pRsaContext);
        delete s_pRsa;
        delete s_pSm2;
        delete s_pDir;
    }

    void SetUp() override
    {
        m_log = s_pDir->File("csp.log");
        std::remove(m_log.c_str());
        setenv("QM_TEST_CSP_LOG", m_log.c_str(), 1);
        unsetenv("QM_TEST_CSP_SIGN_ERROR");
        unsetenv("QM_TEST_CSP_SIGN_LENGTH");
    }
    void TearDown() override
    {
        unsetenv("QM_TEST_CSP_LOG");
        unsetenv("QM_TEST_CSP_SIGN_ERROR");
        unsetenv("QM_TEST_CSP_SIGN_LENGTH");
    }

    static void RegisterProvider()
    {
        std::u16string path = std::u16string(QM_CSP_PROVIDER_KEY) + u"\\" + kProviderName;
        HKEY hKey = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &hKey,
                                  nullptr),
                  ERROR_SUCCESS);
        std::u16string image = Wide(QM_TEST_CSP_PATH);
        RegSetValueExW(hKey, u"Image Path", 0, REG_SZ, reinterpret_cast<const BYTE*>(image.c_str()),
                       (DWORD)((image.size() + 1) * sizeof(WCHAR)));
        DWORD dwType = PROV_RSA_FULL;
        RegSetValueExW(hKey, u"Type", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dwType), sizeof(dwType));
        RegCloseKey(hKey);
    }

    // A crypt32 context whose key-provider property names the key file as container.
    static PCCERT_CONTEXT MakeRsaContextWithKey()
    {
        PCCERT_CONTEXT pCert = CertCreateCertificateContext(X509_ASN_ENCODING | PKCS_7_ASN_ENCODING,
                                                            s_pRsa->CertDer().data(), (DWORD)s_pRsa->CertDer().size());
        EXPECT_NE(pCert, nullptr);
        std::u16string container = Wide(s_pRsa->KeyPath());
        CRYPT_KEY_PROV_INFO info = {};
        info.pwszContainerName = container.data();
        info.pwszProvName = const_cast<LPWSTR>(kProviderName);
        info.dwProvType = PROV_RSA_FULL;
        info.dwKeySpec = AT_SIGNATURE;
        EXPECT_TRUE(CertSetCertificateContextProperty(pCert, CERT_KEY_PROV_INFO_PROP_ID, 0, &info));
        return pCert;
    }

    SM2_SIGNING_KEY Sm2Key()
    {
        m_sm2Container = Wide(s_pSm2->KeyPath());
        return SM2_SIGNING_KEY{kProviderName, m_sm2Container.c_str(), AT_SIGNATURE, s_pSm2->Context()};
    }

    std::vector<std::string> Log() const { return ReadLines(m_log); }

    // Pieces the CSP was handed by CryptHashData, in order.
    std::vector<size_t> HashedPieces() const
    {
        std::vector<size_t> pieces;
        for (const std::string& line : LinesStartingWith(Log(), "data "))
        {
            pieces.push_back(std::stoul(line.substr(5)));
        }
        return pieces;
    }

    bool CmsVerifies(const SignedMessage& msg, const Bytes& content, bool bDetached)
    {
        std::string base = s_pDir->File("road" + std::to_string(m_nFile++));
        WriteFileBytes(base + ".p7", msg.der);
        WriteFileBytes(base + ".txt", content);
        std::string cmd = "openssl cms -verify -binary -noverify -inform DER -in '" + base + ".p7' -out '" + base +
                          ".out'" + (bDetached ? " -content '" + base + ".txt'" : "");
        return RunCommand(cmd) == 0 && ReadFileBytes(base + ".out") == content;
    }

    static CTempDir* s_pDir;
    static CTestSigner* s_pRsa;
    static CTestSigner* s_pSm2;
    static PCCERT_CONTEXT s_pRsaContext;
    std::string m_log;
    std::u16string m_sm2Container;
    int m_nFile = 0;
};

CTempDir* SigningRoadsTest::s_pDir = nullptr;
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
    std::vector<std::string> log = Log();
    EXPECT_EQ(LinesStartingWith(log, "acquire").size(), LinesStartingWith(log, "release").size());
    EXPECT_EQ(LinesStartingWith(log, "create").size(), LinesStartingWith(log, "destroyhash").size());
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
            std::remove(m_log.c_str());
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
    std::vector<std::string> log = Log();
    EXPECT_EQ(LinesStartingWith(log, "acquire " + s_pSm2->KeyPath()).size(), 2u);
    EXPECT_EQ(LinesStartingWith(log, "release").size(), 2u);
    EXPECT_EQ(LinesStartingWith(log, "sign 2").size(), 2u);
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
