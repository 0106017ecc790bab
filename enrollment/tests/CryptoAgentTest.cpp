// The enrollment agent's state between page calls: CSP and key rules, the container of the
// last request, and the clean-up of a certificate-type-3 pair.
#include <gtest/gtest.h>

#include <oleauto.h>

#include <fstream>

#include "CryptoAgent.h"
#include "DeliveryAuthority.h"
#include "KeyPairDelivery.h"
#include "RequestMachine.h"
#include "qm/csp_registration.h"
#include "qm/machine.h"
#include "winreg.h"

namespace
{
const char16_t kEnhanced[] = u"Microsoft Enhanced Cryptographic Provider v1.0";
const char16_t kBase[] = u"Microsoft Base Cryptographic Provider v1.0";

class Bstr
{
public:
    explicit Bstr(const char16_t* text = nullptr) : m_bstr(text ? SysAllocString(text) : nullptr) {}
    ~Bstr() { SysFreeString(m_bstr); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    operator BSTR() const { return m_bstr; }
    BSTR* Out()
    {
        SysFreeString(m_bstr);
        m_bstr = nullptr;
        return &m_bstr;
    }
    std::u16string Text() const { return m_bstr ? std::u16string(m_bstr) : u"<null>"; }

private:
    BSTR m_bstr;
};

class CryptoAgentTest : public RequestMachine
{
protected:
    HRESULT SetCSP(LONG bits, const char16_t* name)
    {
        VARIANT_BOOL vb = VARIANT_FALSE;
        Bstr bstrName(name);
        HRESULT hr = m_agent.Brevan_SetCSPInfo(bits, bstrName, &vb);
        EXPECT_EQ(SUCCEEDED(hr) ? VARIANT_TRUE : VARIANT_FALSE, vb);
        return hr;
    }
    HRESULT SetAlgorithm(const char16_t* name)
    {
        VARIANT_BOOL vb = VARIANT_FALSE;
        Bstr bstrName(name);
        return m_agent.Brevan_SetKeyAlgorithm(bstrName, &vb);
    }
    HRESULT ImportSign(LONG type, const std::u16string& cert, const std::u16string& container)
    {
        VARIANT_BOOL vb = VARIANT_FALSE;
        Bstr bstrCert(cert.c_str()), bstrContainer(container.c_str());
        HRESULT hr = m_agent.Brevan_ImportSignCert(type, bstrCert, bstrContainer, &vb);
        EXPECT_EQ(SUCCEEDED(hr) ? VARIANT_TRUE : VARIANT_FALSE, vb);
        return hr;
    }
    HRESULT ImportEncrypt(const std::u16string& key, const std::u16string& cert, const std::u16string& container)
    {
        VARIANT_BOOL vb = VARIANT_FALSE;
        Bstr bstrKey(key.c_str()), bstrCert(cert.c_str()), bstrContainer(container.c_str());
        return m_agent.Brevan_ImportEncryptCert(bstrKey, bstrCert, bstrContainer, 0, &vb);
    }
    std::u16string Container()
    {
        Bstr out;
        EXPECT_EQ(S_OK, m_agent.Brevan_GetContainer(out.Out()));
        return out.Text();
    }
    static void NewContainer(const char16_t* provider, const std::u16string& name, ALG_ID alg)
    {
        HCRYPTPROV h = 0;
        ASSERT_TRUE(CryptAcquireContextW(&h, name.c_str(), provider, PROV_RSA_FULL, CRYPT_NEWKEYSET))
            << std::hex << GetLastError();
        HCRYPTKEY key = 0;
        ASSERT_TRUE(CryptGenKey(h, alg, 0, &key)) << std::hex << GetLastError();
        CryptDestroyKey(key);
        CryptReleaseContext(h, 0);
    }
    // A certificate for the public part of the container's key.
    static std::u16string CertificateFor(const char16_t* provider, const std::u16string& name, DWORD spec)
    {
        HCRYPTPROV h = 0;
        EXPECT_TRUE(CryptAcquireContextW(&h, name.c_str(), provider, PROV_RSA_FULL, 0));
        HCRYPTKEY key = 0;
        EXPECT_TRUE(CryptGetUserKey(h, spec, &key));
        DWORD size = 0;
        EXPECT_TRUE(CryptExportKey(key, 0, PUBLICKEYBLOB, 0, nullptr, &size));
        Bytes blob(size);
        EXPECT_TRUE(CryptExportKey(key, 0, PUBLICKEYBLOB, 0, blob.data(), &size));
        CryptDestroyKey(key);
        CryptReleaseContext(h, 0);
        Pkey pub = PublicKeyOfBlob(blob);
        return Base64Text(IssueCertificate(pub.get(), CertSpec()));
    }

    CCryptoAgent m_agent;
};
} // namespace

TEST_F(CryptoAgentTest, CspNameAndKeyLengthRules)
{
    const struct
    {
        LONG bits;
        const char16_t* name;
        HRESULT hr;
    } cases[] = {
        {2048, kBase, E_KEY_LENGTH_NOT_SUPPORTED},
        {1024, kBase, S_OK},
        {512, u"  Microsoft Base Cryptographic Provider v1.0 ", S_OK},
        {2048, kEnhanced, S_OK},
        {4096, kEnhanced, S_OK},
        {3072, kEnhanced, E_KEY_LENGTH_NOT_SUPPORTED},
        {0, kTokenProvider, S_OK},
        {-7, kTokenProvider, S_OK},
        {12345, u"microsoft base provider", S_OK}, // the words are matched in their case only
        {1024, u"   ", E_INVALIDARG},
        {1024, u"", E_INVALIDARG},
        {1024, nullptr, E_INVALIDARG},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.hr, SetCSP(c.bits, c.name)) << c.bits << " " << Utf8(c.name ? c.name : u"<null>");
}

TEST_F(CryptoAgentTest, KeyAlgorithmRules)
{
    EXPECT_EQ(E_INVALIDARG, SetAlgorithm(nullptr));
    EXPECT_EQ(E_INVALIDARG, SetAlgorithm(u""));
    EXPECT_EQ(E_INVALID_KEY_ALGORITHM, SetAlgorithm(u"   "));
    EXPECT_EQ(E_INVALID_KEY_ALGORITHM, SetAlgorithm(u"ECC"));
    EXPECT_EQ(S_OK, SetAlgorithm(u"rsa"));
    EXPECT_EQ(S_OK, SetAlgorithm(u"  sm2 "));
}

TEST_F(CryptoAgentTest, RequestUsesTheStoredChoices)
{
    // Before any request: no container, and a request without an algorithm is refused with
    // an empty request text.
    EXPECT_EQ(u"", Container());
    Bstr request;
    Bstr subject(u"CN=Agent Test,O=Quillmark,C=CN");
    EXPECT_EQ(E_INVALID_KEY_ALGORITHM, m_agent.Brevan_PKCS10CertRequisition(subject, 1, 0, request.Out()));
    EXPECT_EQ(u"", request.Text());

    ASSERT_EQ(S_OK, SetCSP(0, kTokenProvider));
    ASSERT_EQ(S_OK, SetAlgorithm(u"  sm2 "));
    ASSERT_EQ(S_OK, m_agent.Brevan_PKCS10CertRequisition(subject, 1, 0, request.Out()));
    std::u16string container = Container();
    ASSERT_FALSE(container.empty());
    EXPECT_TRUE(HasKey(kTokenProvider, container, AT_KEYEXCHANGE));
    Bytes der = RequestDer(Utf8(request.Text()));
    OpensslVerify(der, true);
}

TEST_F(CryptoAgentTest, EscapedAmpersandInTheCspName)
{
    // The token's provider under a name with "&": only the first "&amp;" of the page's
    // text is unescaped.
    const char16_t kName[] = u"Pellix & Token&amp;CSP";
    qm::SetProcessElevated(true);
    ASSERT_EQ(ERROR_SUCCESS, qm::RegisterCryptProvider(kName, QM_TOKENCSP_PATH, PROV_RSA_FULL));
    HKEY key = nullptr;
    std::u16string path = std::u16string(u"SOFTWARE\\Quillmark\\TokenCSP\\") + kName;
    ASSERT_EQ(ERROR_SUCCESS,
              RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr));
    for (auto [name, value] : {std::pair<const char16_t*, std::u16string>{u"PKCS11Library", u"PellixCSP11_5150.dll"},
                               {u"TokenLabel", u"QMTOKEN"},
                               {u"PIN", u"123456"}})
        RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                       DWORD((value.size() + 1) * 2));
    RegCloseKey(key);
    qm::SetProcessElevated(false);

    NewContainer(kName, u"amp", 0x3E00);
    std::u16string cert = CertificateFor(kName, u"amp", AT_SIGNATURE);
    ASSERT_EQ(S_OK, SetCSP(0, u"Pellix &amp; Token&amp;CSP"));
    ASSERT_EQ(S_OK, SetAlgorithm(u"SM2"));
    EXPECT_EQ(S_OK, ImportSign(2, cert, u" amp "));
}

TEST_F(CryptoAgentTest, CertTypeOfTheSignImport)
{
    NewContainer(kTokenProvider, u"signer", 0x3E00);
    std::u16string cert = CertificateFor(kTokenProvider, u"signer", AT_SIGNATURE);
    ASSERT_EQ(S_OK, SetCSP(0, kTokenProvider));
    ASSERT_EQ(S_OK, SetAlgorithm(u"SM2"));
    EXPECT_EQ(E_INVALIDARG, ImportSign(0, cert, u"signer"));
    EXPECT_EQ(E_INVALIDARG, ImportSign(4, cert, u"signer"));
    EXPECT_EQ(HRESULT(NTE_NO_KEY), ImportSign(1, cert, u"signer")); // no exchange key
    EXPECT_EQ(S_OK, ImportSign(2, cert, u"signer"));
    VARIANT_BOOL vb = VARIANT_FALSE;
    Bstr container(u"signer");
    EXPECT_EQ(E_INVALIDARG, m_agent.Brevan_ImportSignCert(2, nullptr, container, &vb));
    EXPECT_EQ(E_INVALIDARG, m_agent.Brevan_ImportSignCert(2, container, nullptr, &vb));
}

TEST_F(CryptoAgentTest, FailedFirstHalfOfAPairDeletesBothContainers)
{
    ASSERT_EQ(S_OK, SetCSP(0, kTokenProvider));
    ASSERT_EQ(S_OK, SetAlgorithm(u"SM2"));
    NewContainer(kTokenProvider, u"first", 0x3E00);  // no exchange key: the first half fails
    NewContainer(kTokenProvider, u"second", 0x3E00);
    std::u16string cert = CertificateFor(kTokenProvider, u"second", AT_SIGNATURE);

    EXPECT_EQ(S_OK, ImportSign(3, cert, u"first")); // the failure waits for the second call
    EXPECT_TRUE(ContainerExists(kTokenProvider, u"first"));
    EXPECT_EQ(HRESULT(NTE_NO_KEY), ImportSign(3, cert, u"second"));
    EXPECT_FALSE(ContainerExists(kTokenProvider, u"first"));
    EXPECT_FALSE(ContainerExists(kTokenProvider, u"second"));

    // The pair is idle again: the next call is a first call.
    NewContainer(kTokenProvider, u"third", 0x3E00);
    EXPECT_EQ(S_OK, ImportSign(3, cert, u"third"));
    // An import of the encryption pair that fails its argument check still resets the pair.
    EXPECT_EQ(E_INVALIDARG, ImportEncrypt(u"", cert, u"third"));
    EXPECT_EQ(S_OK, ImportSign(3, cert, u"third"));
    EXPECT_TRUE(ContainerExists(kTokenProvider, u"third"));
}

TEST_F(CryptoAgentTest, FailedEncryptImportAfterAPairDeletesBothContainers)
{
    ASSERT_EQ(S_OK, SetCSP(0, kTokenProvider));
    ASSERT_EQ(S_OK, SetAlgorithm(u"SM2"));
    NewContainer(kTokenProvider, u"pair-1", 0xBE00);
    NewContainer(kTokenProvider, u"pair-2", 0x3E00);
    std::u16string exchangeCert = CertificateFor(kTokenProvider, u"pair-1", AT_KEYEXCHANGE);
    std::u16string signCert = CertificateFor(kTokenProvider, u"pair-2", AT_SIGNATURE);
    EXPECT_EQ(S_OK, ImportSign(3, exchangeCert, u"pair-1"));
    EXPECT_EQ(S_OK, ImportSign(3, signCert, u"pair-2"));

    EXPECT_EQ(E_INVALID_DEVICE_TYPE,
              ImportEncrypt(DeliveryText(7, 1, 0, {}, Bytes(100, 1)), signCert, u"  pair-2  "));
    EXPECT_FALSE(ContainerExists(kTokenProvider, u"pair-1"));
    EXPECT_FALSE(ContainerExists(kTokenProvider, u"pair-2"));
    // The container name of the import is kept, trimmed.
    EXPECT_EQ(u"pair-2", Container());
}

TEST_F(CryptoAgentTest, EncryptImportInstallsTheDeliveredPair)
{
    ASSERT_EQ(S_OK, SetCSP(0, kTokenProvider));
    ASSERT_EQ(S_OK, SetAlgorithm(u"sm2"));
    NewContainer(kTokenProvider, u"double", 0xBE00);
    HCRYPTPROV h = 0;
    ASSERT_TRUE(CryptAcquireContextW(&h, u"double", kTokenProvider, PROV_RSA_FULL, 0));
    HCRYPTKEY key = 0;
    ASSERT_TRUE(CryptGetUserKey(h, AT_KEYEXCHANGE, &key));
    DWORD size = 0;
    ASSERT_TRUE(CryptExportKey(key, 0, PUBLICKEYBLOB, 0, nullptr, &size));
    Bytes blob(size);
    ASSERT_TRUE(CryptExportKey(key, 0, PUBLICKEYBLOB, 0, blob.data(), &size));
    CryptDestroyKey(key);
    CryptReleaseContext(h, 0);
    Sm2Delivery d = MakeSm2Delivery(blob, CertSpec(), true);
    EXPECT_EQ(S_OK, ImportEncrypt(u"  " + d.text + u" ", Base64Text(d.certificate), u"double"));
    EXPECT_EQ(u"double", Container());
}

TEST_F(CryptoAgentTest, ACspListThatCannotBeReadIsAnErrorNotAnEmptyList)
{
    // The machine's hive damaged: the provider key cannot be read at all.
    {
        std::ofstream hive(m_dir / "registry" / "HKLM.db", std::ios::binary | std::ios::trunc);
        hive << std::string(8192, 'x');
    }
    Bstr list;
    HRESULT hr = m_agent.Brevan_GetCSPInfo(list.Out());
    EXPECT_TRUE(FAILED(hr)) << std::hex << hr;
    EXPECT_EQ(FACILITY_WIN32, HRESULT_FACILITY(hr)) << std::hex << hr;
    EXPECT_EQ(u"<null>", list.Text());
}

TEST_F(CryptoAgentTest, CspListAndVersion)
{
    Bstr list, version;
    ASSERT_EQ(S_OK, m_agent.Brevan_GetCSPInfo(list.Out()));
    EXPECT_NE(std::u16string::npos, list.Text().find(kEnhanced));
    EXPECT_NE(std::u16string::npos, list.Text().find(kTokenProvider));
    ASSERT_EQ(S_OK, m_agent.Brevan_GetVersion(version.Out()));
    EXPECT_EQ(u"3.2.0.2", version.Text());
}
