// The container search over the USB token's CSP on a SoftHSM2 token: SM2 key pairs made on
// the token, with certificates that openssl issued for exactly those public keys.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "../../platform/crypt32/tests/cert_factory.h"
#include "../../platform/tokencsp/tests/token_fixture.h"
#include "ContainerCertificates.h"
#include "HResult.h"

namespace
{
const DWORD kEnc = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;
const ALG_ID kSm2Exchange = 0xBE00;
const ALG_ID kSm2Signature = 0x3E00;

// The uncompressed point 04 || X || Y of an SM2 PUBLICKEYBLOB (coordinates least
// significant byte first, each in the first half of a 64-byte field).
Bytes Sm2Point(const Bytes& blob)
{
    EXPECT_GE(blob.size(), 140u);
    Bytes point{0x04};
    for (size_t field : {size_t(12), size_t(76)})
        point.insert(point.end(), blob.rbegin() + (blob.size() - field - 32), blob.rbegin() + (blob.size() - field));
    return point;
}

Bytes Encoded(PCCERT_CONTEXT cert)
{
    return Bytes(cert->pbCertEncoded, cert->pbCertEncoded + cert->cbCertEncoded);
}
} // namespace

class ContainerTokenTest : public TokenTest
{
protected:
    static void SetUpTestSuite()
    {
        s_factory = std::make_unique<qm::test::CertFactory>();
        ASSERT_EQ(0, qm::test::CertFactory::Run("openssl genpkey -algorithm SM2 -out " + Path("issuer.key")));
    }
    static void TearDownTestSuite() { s_factory.reset(); }
    static std::string Path(const std::string& file) { return (s_factory->Dir() / file).string(); }

    // A key made on the token, and a certificate issued for its public key, set on the key.
    Bytes KeyWithCertificate(HCRYPTPROV h, ALG_ID alg, const std::string& subject)
    {
        HCRYPTKEY key = 0;
        EXPECT_TRUE(CryptGenKey(h, alg, 256 << 16, &key)) << std::hex << GetLastError();
        Bytes point = Sm2Point(PublicBlob(key));
        // SubjectPublicKeyInfo: id-ecPublicKey on the SM2 curve.
        Bytes spki = {0x30, 0x59, 0x30, 0x13, 0x06, 0x07, 0x2A, 0x86, 0x48, 0xCE, 0x3D, 0x02, 0x01, 0x06,
                      0x08, 0x2A, 0x81, 0x1C, 0xCF, 0x55, 0x01, 0x82, 0x2D, 0x03, 0x42, 0x00};
        spki.insert(spki.end(), point.begin(), point.end());
        std::string name = "token" + std::to_string(++m_count);
        s_factory->WriteFile(name + ".spki", spki);
        std::string cmd = "openssl pkey -pubin -inform DER -in " + Path(name + ".spki") + " -out " +
                          Path(name + ".pub") + " && openssl x509 -new -force_pubkey " + Path(name + ".pub") +
                          " -key " + Path("issuer.key") + " -sm3 -days 30 -set_serial " +
                          std::to_string(1000 + m_count) + " -subj '" + subject + "' -outform DER -out " +
                          Path(name + ".der");
        EXPECT_EQ(0, qm::test::CertFactory::Run(cmd));
        Bytes cert = s_factory->ReadFile(name + ".der");
        EXPECT_TRUE(CryptSetKeyParam(key, KP_CERTIFICATE, cert.data(), 0)) << std::hex << GetLastError();
        CryptDestroyKey(key);
        return cert;
    }

    int m_count = 0;
    static inline std::unique_ptr<qm::test::CertFactory> s_factory;
};

TEST_F(ContainerTokenTest, FindsTheTokensSm2CertificatesExchangeKeyFirst)
{
    HCRYPTPROV pair = Open(u"pair", CRYPT_NEWKEYSET);
    Bytes exchange = KeyWithCertificate(pair, kSm2Exchange, "/O=Quill/CN=Encipherment");
    Bytes signature = KeyWithCertificate(pair, kSm2Signature, "/O=Quill/CN=Signer");
    CryptReleaseContext(pair, 0);

    HCRYPTPROV rsa = Open(u"rsa-only", CRYPT_NEWKEYSET);
    HCRYPTKEY rsaKey = 0;
    ASSERT_TRUE(CryptGenKey(rsa, CALG_RSA_SIGN, 1024 << 16, &rsaKey)) << std::hex << GetLastError();
    qm::test::CertSpec rsaSpec;
    rsaSpec.subject = "/O=Quill/CN=RSA on the token";
    Bytes rsaCert = s_factory->Make(rsaSpec);
    ASSERT_TRUE(CryptSetKeyParam(rsaKey, KP_CERTIFICATE, rsaCert.data(), 0));
    CryptDestroyKey(rsaKey);
    CryptReleaseContext(rsa, 0);

    // A certificate also in the personal store with its key is not an unregistered one.
    HCRYPTPROV reg = Open(u"registered", CRYPT_NEWKEYSET);
    Bytes registered = KeyWithCertificate(reg, kSm2Signature, "/O=Quill/CN=Registered");
    CryptReleaseContext(reg, 0);
    HCERTSTORE my = CertOpenStore(CERT_STORE_PROV_SYSTEM_W, kEnc, 0, CERT_SYSTEM_STORE_CURRENT_USER, u"MY");
    PCCERT_CONTEXT added = nullptr;
    ASSERT_TRUE(CertAddEncodedCertificateToStore(my, kEnc, registered.data(), DWORD(registered.size()),
                                                 CERT_STORE_ADD_NEW, &added));
    CRYPT_KEY_PROV_INFO kp{const_cast<LPWSTR>(u"registered"), const_cast<LPWSTR>(kTokenProvider), PROV_RSA_FULL,
                           0, 0, nullptr, AT_SIGNATURE};
    ASSERT_TRUE(CertSetCertificateContextProperty(added, CERT_KEY_PROV_INFO_PROP_ID, 0, &kp));
    CertFreeCertificateContext(added);
    CertCloseStore(my, 0);

    PUNREGISTERED_CERT_CONTEXT record = nullptr;
    EXPECT_EQ(E_PRIVATE_KEY_REGISTERED, GetUnregisteredCertfromContainer(kTokenProvider, u"registered", AT_SIGNATURE,
                                                                         &record));
    EXPECT_EQ(nullptr, record);

    // The page's list names a platform CSP and the token; the agent asks for SM2 certificates.
    std::u16string list = std::u16string(u"Microsoft Enhanced Cryptographic Provider v1.0||") + kTokenProvider;
    CERT_FILTER_INFO sm2{};
    sm2.lpszSignatureAlgOIDPrefix = "1.2.156.10197";
    for (const char16_t* cspList : {list.c_str(), static_cast<const char16_t*>(nullptr)})
    {
        UnregisteredCertificateList found;
        ASSERT_EQ(S_OK, FilterUnregisteredCertificatesfromCSP(cspList, &sm2, found));
        ASSERT_EQ(2u, found.size());
        EXPECT_EQ(exchange, Encoded(found[0]->pCertContext));
        EXPECT_EQ(DWORD(AT_KEYEXCHANGE), found[0]->dwKeySpec);
        EXPECT_EQ(signature, Encoded(found[1]->pCertContext));
        EXPECT_EQ(DWORD(AT_SIGNATURE), found[1]->dwKeySpec);
        for (auto* r : found)
        {
            EXPECT_EQ(std::u16string(kTokenProvider), r->wszProviderName);
            EXPECT_EQ(std::u16string(u"pair"), r->wszContainerName);
        }
        RemoveAllUnregisteredCertificates(found);
    }

    // Without a filter the RSA certificate on the token is found too.
    UnregisteredCertificateList all;
    ASSERT_EQ(S_OK, FilterUnregisteredCertificatesfromSpecifiedCSP(kTokenProvider, nullptr, all));
    ASSERT_EQ(3u, all.size());
    EXPECT_EQ(rsaCert, Encoded(all[2]->pCertContext));
    EXPECT_EQ(std::u16string(u"rsa-only"), all[2]->wszContainerName);

    // The record's certificate is the one of the container's key.
    HCRYPTPROV again = 0;
    ASSERT_TRUE(CryptAcquireContextW(&again, all[1]->wszContainerName, all[1]->wszProviderName, PROV_RSA_FULL, 0));
    HCRYPTKEY key = 0;
    ASSERT_TRUE(CryptGetUserKey(again, all[1]->dwKeySpec, &key));
    const CRYPT_BIT_BLOB& pub = all[1]->pCertContext->pCertInfo->SubjectPublicKeyInfo.PublicKey;
    EXPECT_EQ(Sm2Point(PublicBlob(key)), Bytes(pub.pbData, pub.pbData + pub.cbData));
    CryptDestroyKey(key);
    CryptReleaseContext(again, 0);
    RemoveAllUnregisteredCertificates(all);
}
