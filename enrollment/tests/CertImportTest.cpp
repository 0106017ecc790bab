// The signing certificate and the delivered encryption key pair installed on real providers:
// the platform's Microsoft providers and the token's CSP over SoftHSM2.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>

#include "CertImportHelpers.h"
#include "DeliveryAuthority.h"
#include "EncryptCertImport.h"
#include "KeyPairDelivery.h"
#include "RequestMachine.h"
#include "SignCertImport.h"

namespace
{
const char16_t kEnhanced[] = u"Microsoft Enhanced Cryptographic Provider v1.0";
const char16_t kAes[] = u"Microsoft Enhanced RSA and AES Cryptographic Provider";

DWORD TypeOf(const char16_t* provider)
{
    return std::u16string(provider) == kAes ? PROV_RSA_AES : PROV_RSA_FULL;
}

// The container key's PUBLICKEYBLOB.
Bytes ExportPublicBlob(HCRYPTPROV hProv, DWORD keySpec)
{
    HCRYPTKEY key = 0;
    EXPECT_TRUE(CryptGetUserKey(hProv, keySpec, &key)) << std::hex << GetLastError();
    DWORD size = 0;
    EXPECT_TRUE(CryptExportKey(key, 0, PUBLICKEYBLOB, 0, nullptr, &size)) << std::hex << GetLastError();
    Bytes blob(size);
    EXPECT_TRUE(CryptExportKey(key, 0, PUBLICKEYBLOB, 0, blob.data(), &size));
    blob.resize(size);
    CryptDestroyKey(key);
    return blob;
}

// A new container with one key pair; the handle stays open for the test.
HCRYPTPROV NewContainer(const char16_t* provider, const std::u16string& name, ALG_ID alg, DWORD flags)
{
    HCRYPTPROV h = 0;
    EXPECT_TRUE(CryptAcquireContextW(&h, name.c_str(), provider, TypeOf(provider), CRYPT_NEWKEYSET))
        << std::hex << GetLastError();
    HCRYPTKEY key = 0;
    EXPECT_TRUE(CryptGenKey(h, alg, flags, &key)) << std::hex << GetLastError();
    CryptDestroyKey(key);
    return h;
}

HCRYPTPROV OpenContainer(const char16_t* provider, const std::u16string& name)
{
    HCRYPTPROV h = 0;
    EXPECT_TRUE(CryptAcquireContextW(&h, name.c_str(), provider, TypeOf(provider), 0)) << std::hex << GetLastError();
    return h;
}

struct StoreEntry
{
    Bytes der;
    std::u16string container, provider;
    DWORD provType = 0, keySpec = 0;
};

std::vector<StoreEntry> PersonalStore()
{
    std::vector<StoreEntry> entries;
    HCERTSTORE store = CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0,
                                     CERT_SYSTEM_STORE_CURRENT_USER | CERT_STORE_READONLY_FLAG, u"MY");
    if (!store)
        return entries;
    for (PCCERT_CONTEXT cert = nullptr; (cert = CertEnumCertificatesInStore(store, cert));)
    {
        StoreEntry e;
        e.der.assign(cert->pbCertEncoded, cert->pbCertEncoded + cert->cbCertEncoded);
        DWORD size = 0;
        if (CertGetCertificateContextProperty(cert, CERT_KEY_PROV_INFO_PROP_ID, nullptr, &size))
        {
            std::vector<BYTE> buffer(size);
            CertGetCertificateContextProperty(cert, CERT_KEY_PROV_INFO_PROP_ID, buffer.data(), &size);
            auto* info = reinterpret_cast<CRYPT_KEY_PROV_INFO*>(buffer.data());
            e.container = info->pwszContainerName ? info->pwszContainerName : u"";
            e.provider = info->pwszProvName ? info->pwszProvName : u"";
            e.provType = info->dwProvType;
            e.keySpec = info->dwKeySpec;
        }
        entries.push_back(e);
    }
    CertCloseStore(store, 0);
    return entries;
}

// The Base64 text of the certificate with commas spread over it, as the pages send it.
std::u16string CommaText(const Bytes& der)
{
    std::u16string text = Base64Text(der);
    for (size_t at = 10; at < text.size(); at += 11)
        text.insert(at, u",");
    return text + u",";
}

std::vector<std::filesystem::path> BrevanFiles(const std::filesystem::path& machine)
{
    std::vector<std::filesystem::path> files;
    auto users = machine / "drive_c" / "Users";
    if (!std::filesystem::exists(users))
        return files;
    for (auto& entry : std::filesystem::recursive_directory_iterator(users))
        if (entry.path().extension() == ".Brevan")
            files.push_back(entry.path());
    return files;
}

Bytes ReadFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

class CertImport : public RequestMachine
{
protected:
    // `openssl x509` of the DER: the subject and serial lines it prints.
    std::string OpensslCertificate(const Bytes& der)
    {
        auto file = m_dir / "cert.der";
        std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(der.data()), der.size());
        std::string output;
        EXPECT_EQ(0, RunCommand("openssl x509 -inform DER -noout -subject -serial -in '" + file.string() + "'",
                                &output))
            << output;
        return output;
    }
};
} // namespace

TEST_F(CertImport, SignCertOnMicrosoftProvidersGoesToThePersonalStore)
{
    for (const char16_t* provider : {kEnhanced, kAes})
    {
        std::u16string container = std::u16string(u"sign-") + (provider == kAes ? u"aes" : u"enh");
        HCRYPTPROV h = NewContainer(provider, container, AT_SIGNATURE, 2048u << 16);
        Pkey pub = PublicKeyOfBlob(ExportPublicBlob(h, AT_SIGNATURE));
        CryptReleaseContext(h, 0);
        CertSpec spec;
        spec.commonName = Utf8(container);
        Bytes cert = IssueCertificate(pub.get(), spec);

        // Twice: the second import replaces the first.
        for (int round = 0; round < 2; ++round)
        {
            std::u16string text = CommaText(cert);
            ASSERT_EQ(S_OK, ImportSignCert(round ? u"RSA" : u"rsa", text, AT_SIGNATURE, provider, container));
            EXPECT_EQ(std::u16string::npos, text.find(u',')) << "the caller's text loses its commas";
        }
        size_t found = 0;
        for (const StoreEntry& e : PersonalStore())
        {
            if (e.der != cert)
                continue;
            ++found;
            EXPECT_EQ(container, e.container);
            EXPECT_EQ(provider, e.provider);
            EXPECT_EQ(TypeOf(provider), e.provType);
            EXPECT_EQ(DWORD(AT_SIGNATURE), e.keySpec);
        }
        EXPECT_EQ(1u, found);
        std::string printed = OpensslCertificate(cert);
        EXPECT_NE(std::string::npos, printed.find("CN = " + Utf8(container))) << printed;
        EXPECT_NE(std::string::npos, printed.find("serial=01020A")) << printed;
    }
    // One temporary copy per import, each the certificate's DER.
    auto files = BrevanFiles(m_dir);
    EXPECT_EQ(4u, files.size());
    for (auto& file : files)
        EXPECT_EQ(38u + 7, file.filename().string().size()) << file;
}

TEST_F(CertImport, SignCertOnTheTokenGoesOntoTheKey)
{
    struct Case
    {
        const char16_t* algorithm;
        ALG_ID keyAlg;
        DWORD spec;
    } cases[] = {
        {u"SM2", 0x3E00, AT_SIGNATURE},
        {u"sm2", 0xBE00, AT_KEYEXCHANGE},
        {u"RSA", AT_SIGNATURE, AT_SIGNATURE},
    };
    int n = 0;
    for (const Case& c : cases)
    {
        std::u16string container = u"token-" + std::u16string(1, char16_t(u'a' + n++));
        HCRYPTPROV h = NewContainer(kTokenProvider, container, c.keyAlg, 0);
        Pkey pub = PublicKeyOfBlob(ExportPublicBlob(h, c.spec));
        CryptReleaseContext(h, 0);
        Bytes cert = IssueCertificate(pub.get(), CertSpec());
        std::u16string text = CommaText(cert);
        ASSERT_EQ(S_OK, ImportSignCert(c.algorithm, text, c.spec, kTokenProvider, container)) << Utf8(container);
        EXPECT_EQ(cert, KeyCertificate(kTokenProvider, container, c.spec));
    }
    EXPECT_TRUE(PersonalStore().empty());
}

TEST_F(CertImport, SignCertFailuresEndTheImport)
{
    HCRYPTPROV h = NewContainer(kEnhanced, u"only-exchange", AT_KEYEXCHANGE, 0);
    Pkey pub = PublicKeyOfBlob(ExportPublicBlob(h, AT_KEYEXCHANGE));
    CryptReleaseContext(h, 0);
    Bytes cert = IssueCertificate(pub.get(), CertSpec());
    std::u16string text = Base64Text(cert);

    // Not Base64: refused before any provider is asked (the container does not exist).
    std::u16string bad = u",,,";
    EXPECT_EQ(E_FAIL, ImportSignCert(u"RSA", bad, AT_SIGNATURE, kEnhanced, u"missing"));
    EXPECT_TRUE(BrevanFiles(m_dir).empty());

    std::u16string copy = text;
    EXPECT_EQ(HRESULT(NTE_BAD_KEYSET), ImportSignCert(u"RSA", copy, AT_SIGNATURE, kEnhanced, u"missing"));
    copy = text;
    EXPECT_EQ(HRESULT(NTE_NO_KEY), ImportSignCert(u"RSA", copy, AT_SIGNATURE, kEnhanced, u"only-exchange"));
    copy = text;
    EXPECT_EQ(HRESULT(NTE_BAD_KEYSET), ImportSignCert(u"SM2", copy, AT_SIGNATURE, kTokenProvider, u"missing"));
    EXPECT_TRUE(PersonalStore().empty());
}

// KP_CERTIFICATE carries no length: the token reads the certificate's end from its header, so
// only complete certificates may reach it.
TEST_F(CertImport, TokenKeyGetsOnlyCompleteCertificates)
{
    HCRYPTPROV h = NewContainer(kTokenProvider, u"cert-shapes", 0xBE00, 0);
    Pkey pub = PublicKeyOfBlob(ExportPublicBlob(h, AT_KEYEXCHANGE));
    const Bytes cert = IssueCertificate(pub.get(), CertSpec());
    HCRYPTKEY key = 0;
    ASSERT_TRUE(CryptGetUserKey(h, AT_KEYEXCHANGE, &key));

    Bytes longer = cert;
    longer.push_back(0);
    const struct
    {
        const char* name;
        Bytes bytes;
    } cases[] = {
        {"one byte", {0x30}},
        {"header only", {0x30, 0x82, 0x01}},
        {"cut certificate", Bytes(cert.begin(), cert.end() - 1)},
        {"trailing byte", longer},
        {"indefinite length", {0x30, 0x80, 0x00, 0x00}},
        {"not a sequence", {0x04, 0x01, 0x00}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        // An exact-size heap copy, so the sanitizer sees a read past the end.
        std::unique_ptr<BYTE[]> exact(new BYTE[c.bytes.size()]);
        std::copy(c.bytes.begin(), c.bytes.end(), exact.get());
        SetLastError(0);
        EXPECT_FALSE(SetKeyCertificate(key, exact.get(), DWORD(c.bytes.size())));
        EXPECT_EQ(DWORD(NTE_BAD_DATA), GetLastError());
    }
    EXPECT_TRUE(KeyCertificate(kTokenProvider, u"cert-shapes", AT_KEYEXCHANGE).empty());

    std::unique_ptr<BYTE[]> exact(new BYTE[cert.size()]);
    std::copy(cert.begin(), cert.end(), exact.get());
    EXPECT_TRUE(SetKeyCertificate(key, exact.get(), DWORD(cert.size()))) << std::hex << GetLastError();
    CryptDestroyKey(key);
    CryptReleaseContext(h, 0);
    EXPECT_EQ(cert, KeyCertificate(kTokenProvider, u"cert-shapes", AT_KEYEXCHANGE));

    // A delivered certificate text of one byte ends the import before the token is asked.
    std::u16string one = u"MA==";
    EXPECT_EQ(HRESULT(NTE_BAD_DATA), ImportSignCert(u"SM2", one, AT_KEYEXCHANGE, kTokenProvider, u"cert-shapes"));
}

TEST_F(CertImport, SoftwareRoadOnMicrosoftProviderReplacesTheExchangeKey)
{
    const struct
    {
        const char16_t* provider;
        unsigned long exponent;
    } cases[] = {{kEnhanced, 65537}, {kAes, 3}};
    for (const auto& c : cases)
    {
        std::u16string container = std::u16string(u"double-") + (c.provider == kAes ? u"aes" : u"enh");
        HCRYPTPROV h = NewContainer(c.provider, container, AT_KEYEXCHANGE, 2048u << 16);
        Bytes tempBlob = ExportPublicBlob(h, AT_KEYEXCHANGE);
        CryptReleaseContext(h, 0);
        RsaDelivery d = MakeRsaDelivery(tempBlob, 2048, CertSpec(), c.exponent);

        ASSERT_EQ(S_OK, ImportEncryptCertEx(d.text, CommaText(d.certificate), c.provider, container, u"RSA", 2048,
                                            CRYPT_EXPORTABLE));
        // The container's exchange key is now the delivered key, with its own exponent.
        h = OpenContainer(c.provider, container);
        Bytes blob = ExportPublicBlob(h, AT_KEYEXCHANGE);
        CryptReleaseContext(h, 0);
        Pkey now = PublicKeyOfBlob(blob);
        EXPECT_EQ(RsaModulus(d.key.get()), RsaModulus(now.get()));
        DWORD exponent = 0;
        memcpy(&exponent, blob.data() + 16, 4);
        EXPECT_EQ(c.exponent, exponent);

        bool found = false;
        for (const StoreEntry& e : PersonalStore())
            if (e.der == d.certificate)
            {
                found = true;
                EXPECT_EQ(container, e.container);
                EXPECT_EQ(DWORD(AT_KEYEXCHANGE), e.keySpec);
                EXPECT_EQ(TypeOf(c.provider), e.provType);
            }
        EXPECT_TRUE(found);
    }
    // The scratch containers are gone: only the two request containers remain.
    HCRYPTPROV h = 0;
    ASSERT_TRUE(CryptAcquireContextW(&h, nullptr, kEnhanced, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT));
    std::vector<std::string> names;
    char name[260];
    DWORD size = sizeof name;
    for (DWORD flags = CRYPT_FIRST; CryptGetProvParam(h, PP_ENUMCONTAINERS, (BYTE*)name, &size, flags);
         flags = 0, size = sizeof name)
        names.push_back(name);
    CryptReleaseContext(h, 0);
    EXPECT_EQ(std::vector<std::string>({"double-aes", "double-enh"}), names);
}

TEST_F(CertImport, TokenRsaTakesTheSoftwareRoadAt1024AndTheEnvelopeRoadAbove)
{
    for (int bits : {1024, 2048})
    {
        std::u16string container = u"token-rsa-" + std::u16string(bits == 1024 ? u"1024" : u"2048");
        HCRYPTPROV h = NewContainer(kTokenProvider, container, AT_KEYEXCHANGE, DWORD(bits) << 16);
        Bytes tempBlob = ExportPublicBlob(h, AT_KEYEXCHANGE);
        CryptReleaseContext(h, 0);
        RsaDelivery d = MakeRsaDelivery(tempBlob, bits, CertSpec());
        ASSERT_EQ(S_OK, ImportEncryptCertEx(d.text, Base64Text(d.certificate), kTokenProvider, container, u"rsa",
                                            bits, 0))
            << bits;
        h = OpenContainer(kTokenProvider, container);
        Pkey now = PublicKeyOfBlob(ExportPublicBlob(h, AT_KEYEXCHANGE));
        CryptReleaseContext(h, 0);
        EXPECT_EQ(RsaModulus(d.key.get()), RsaModulus(now.get())) << bits;
        EXPECT_EQ(d.certificate, KeyCertificate(kTokenProvider, container, AT_KEYEXCHANGE)) << bits;
    }
    EXPECT_TRUE(PersonalStore().empty());
}

TEST_F(CertImport, Sm2EnvelopeInEitherCiphertextOrder)
{
    for (bool c1c2c3 : {false, true})
    {
        std::u16string container = c1c2c3 ? u"sm2-c1c2c3" : u"sm2-c1c3c2";
        HCRYPTPROV h = NewContainer(kTokenProvider, container, 0xBE00, 0);
        Bytes tempBlob = ExportPublicBlob(h, AT_KEYEXCHANGE);
        CryptReleaseContext(h, 0);
        Sm2Delivery d = MakeSm2Delivery(tempBlob, CertSpec(), c1c2c3);
        // The Microsoft provider and key length do not matter to SM2.
        ASSERT_EQ(S_OK, ImportEncryptCertEx(d.text, Base64Text(d.certificate), kTokenProvider, container, u"SM2",
                                            1024, 0))
            << c1c2c3;
        h = OpenContainer(kTokenProvider, container);
        Bytes blob = ExportPublicBlob(h, AT_KEYEXCHANGE);
        CryptReleaseContext(h, 0);
        Pkey now = PublicKeyOfBlob(blob);
        EXPECT_TRUE(SamePublicKey(d.key.get(), now.get())) << "the container holds the delivered key";
        EXPECT_EQ(d.certificate, KeyCertificate(kTokenProvider, container, AT_KEYEXCHANGE));
    }
}

TEST_F(CertImport, EncryptCertFailures)
{
    HCRYPTPROV h = NewContainer(kTokenProvider, u"sm2", 0xBE00, 0);
    Bytes tempBlob = ExportPublicBlob(h, AT_KEYEXCHANGE);
    CryptReleaseContext(h, 0);
    Sm2Delivery good = MakeSm2Delivery(tempBlob, CertSpec(), false);
    std::u16string cert = Base64Text(good.certificate);

    // A ciphertext for another key opens in no order: the third attempt's error comes back.
    Pkey other = NewSm2Key();
    Bytes foreign = Sm2EncryptC1C3C2(other.get(), PrivateKeyBytes(good.key.get()));
    EXPECT_EQ(HRESULT(NTE_BAD_DATA),
              ImportEncryptCertEx(DeliveryText(2, 2, 0, {}, foreign), cert, kTokenProvider, u"sm2", u"SM2", 0, 0));
    // Too short to reorder.
    EXPECT_EQ(E_IMPORT_ENCRYPT_CERT, ImportEncryptCertEx(DeliveryText(2, 2, 0, {}, Bytes(90, 7)), cert,
                                                         kTokenProvider, u"sm2", u"SM2", 0, 0));
    // RSA on the envelope road needs a session key.
    HCRYPTPROV r = NewContainer(kTokenProvider, u"rsa", AT_KEYEXCHANGE, 2048u << 16);
    CryptReleaseContext(r, 0);
    EXPECT_EQ(E_IMPORT_ENCRYPT_CERT, ImportEncryptCertEx(DeliveryText(2, 2, 0, {}, Bytes(64, 7)), cert,
                                                         kTokenProvider, u"rsa", u"RSA", 2048, 0));
    // The software road wants a Triple DES session key.
    EXPECT_EQ(E_INVALID_SESSION_KEY_TYPE, ImportEncryptCertEx(DeliveryText(2, 2, 0, {}, Bytes(64, 7)), cert,
                                                              kEnhanced, u"rsa", u"RSA", 1024, 0));
    const std::u16string empty;
    EXPECT_EQ(E_INVALIDARG, ImportEncryptCertEx(empty, cert, kTokenProvider, u"sm2", u"SM2", 0, 0));
    EXPECT_EQ(E_INVALIDARG, ImportEncryptCertEx(good.text, empty, kTokenProvider, u"sm2", u"SM2", 0, 0));
    EXPECT_EQ(E_INVALIDARG, ImportEncryptCertEx(good.text, cert, empty, u"sm2", u"SM2", 0, 0));
    EXPECT_EQ(E_INVALIDARG, ImportEncryptCertEx(good.text, cert, kTokenProvider, empty, u"SM2", 0, 0));
    EXPECT_EQ(E_INVALIDARG, ImportEncryptCertEx(good.text, cert, kTokenProvider, u"sm2", empty, 0, 0));
    // After all that the good delivery still imports.
    EXPECT_EQ(S_OK, ImportEncryptCertEx(good.text, cert, kTokenProvider, u"sm2", u"SM2", 0, 0));
}

TEST_F(CertImport, PlainKeyBlobLayout)
{
    // A key whose numbers have fewer bytes than their fields still makes a full blob.
    Pkey key = NewRsaKey(1024);
    Bytes der = PrivateKeyBytes(key.get());
    BYTE* pb = nullptr;
    DWORD cb = 0;
    ASSERT_EQ(S_OK, getMicrosoftSoftPkcs1PrivateKeyBlob_RSA(der.data(), DWORD(der.size()), 1024, &pb, &cb));
    EXPECT_EQ(20u + 9 * 1024 / 16, cb);
    EXPECT_EQ(PRIVATEKEYBLOB, pb[0]);
    DWORD exponent = 0;
    memcpy(&exponent, pb + 16, 4);
    EXPECT_EQ(65537u, exponent);
    delete[] pb;
    // A key of another length than the agent's does not fit the blob.
    EXPECT_EQ(E_IMPORT_ENCRYPT_CERT,
              getMicrosoftSoftPkcs1PrivateKeyBlob_RSA(der.data(), DWORD(der.size()), 2048, &pb, &cb));
}

TEST_F(CertImport, SoftwareRoadKeepsKeysWhoseNumbersHaveLeadingZeros)
{
    // One key in some dozens has such a number; it must import and work like any other.
    Pkey delivered = RsaKeyWithShortNumber(512);
    ASSERT_TRUE(delivered);
    Bytes der = PrivateKeyBytes(delivered.get());
    BYTE* pb = nullptr;
    DWORD cb = 0;
    ASSERT_EQ(S_OK, getMicrosoftSoftPkcs1PrivateKeyBlob_RSA(der.data(), DWORD(der.size()), 512, &pb, &cb));
    HCRYPTPROV h = NewContainer(kEnhanced, u"short-numbers", AT_KEYEXCHANGE, 512u << 16);
    HCRYPTKEY key = 0;
    ASSERT_TRUE(CryptImportKey(h, pb, cb, 0, 0, &key)) << std::hex << GetLastError();
    delete[] pb;
    // What OpenSSL encrypts to the delivered key, the imported key opens.
    Bytes secret = {1, 2, 3, 4, 5, 6, 7, 8};
    Bytes cipher = RsaEncryptPkcs1(delivered.get(), secret);
    std::reverse(cipher.begin(), cipher.end());
    DWORD size = DWORD(cipher.size());
    ASSERT_TRUE(CryptDecrypt(key, 0, TRUE, 0, cipher.data(), &size)) << std::hex << GetLastError();
    EXPECT_EQ(secret, Bytes(cipher.begin(), cipher.begin() + size));
    CryptDestroyKey(key);
    CryptReleaseContext(h, 0);
}

// On a Microsoft CSP the store entry is written before the key; when the key then cannot be
// imported, the store is put back as it was: an entry from before with its own key link, or
// no entry.
TEST_F(CertImport, SoftwareRoadPutsTheStoreBackWhenTheKeyImportFails)
{
    HCRYPTPROV h = NewContainer(kEnhanced, u"restore", AT_KEYEXCHANGE, 2048u << 16);
    Bytes tempBlob = ExportPublicBlob(h, AT_KEYEXCHANGE);
    CryptReleaseContext(h, 0);
    RsaDelivery d = MakeRsaDelivery(tempBlob, 2048, CertSpec());
    const LONG kFlagsTheProviderRefuses = 0x10000000;

    // The same certificate in MY already, linked to another container.
    HCRYPTPROV other = NewContainer(kEnhanced, u"elsewhere", AT_SIGNATURE, 1024u << 16);
    ASSERT_EQ(S_OK,
              AddCertificateToSystemStore(kEnhanced, other, d.certificate.data(),
                                          DWORD(d.certificate.size()), AT_SIGNATURE, u"elsewhere"));
    CryptReleaseContext(other, 0);
    for (bool entryBefore : {true, false})
    {
        SCOPED_TRACE(entryBefore ? "entry from before" : "no entry before");
        std::vector<StoreEntry> before = PersonalStore();
        ASSERT_EQ(entryBefore ? 1u : 0u, before.size());
        EXPECT_EQ(HRESULT(NTE_BAD_FLAGS),
                  ImportEncryptCertEx(d.text, Base64Text(d.certificate), kEnhanced, u"restore",
                                      u"RSA", 2048, kFlagsTheProviderRefuses));
        std::vector<StoreEntry> after = PersonalStore();
        ASSERT_EQ(before.size(), after.size());
        for (size_t i = 0; i < before.size(); ++i)
        {
            EXPECT_EQ(before[i].der, after[i].der);
            EXPECT_EQ(before[i].container, after[i].container);
            EXPECT_EQ(before[i].keySpec, after[i].keySpec);
        }
        h = OpenContainer(kEnhanced, u"restore");
        EXPECT_EQ(tempBlob, ExportPublicBlob(h, AT_KEYEXCHANGE)) << "the temporary key stays";
        CryptReleaseContext(h, 0);
        // Next round without the entry from before.
        HCERTSTORE store =
            CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_CURRENT_USER, u"MY");
        for (PCCERT_CONTEXT cert; store && (cert = CertEnumCertificatesInStore(store, nullptr));)
            CertDeleteCertificateFromStore(cert);
        CertCloseStore(store, 0);
    }
    EXPECT_EQ(S_OK, ImportEncryptCertEx(d.text, Base64Text(d.certificate), kEnhanced, u"restore",
                                        u"RSA", 2048, CRYPT_EXPORTABLE));
}

// The token opens the envelope itself, so a certificate for another key of the same
// algorithm is found only once the delivered key is in: it is not bound, and no other
// ciphertext order is tried, since the temporary key is gone.
TEST_F(CertImport, EnvelopeRoadDoesNotBindTheCertificateOfAnotherKey)
{
    HCRYPTPROV h = NewContainer(kTokenProvider, u"sm2-other", 0xBE00, 0);
    Bytes tempBlob = ExportPublicBlob(h, AT_KEYEXCHANGE);
    CryptReleaseContext(h, 0);
    Sm2Delivery d = MakeSm2Delivery(tempBlob, CertSpec(), false);
    Pkey other = NewSm2Key();
    Bytes foreign = IssueCertificate(other.get(), CertSpec());
    EXPECT_EQ(E_IMPORT_ENCRYPT_CERT,
              ImportEncryptCertEx(d.text, Base64Text(foreign), kTokenProvider, u"sm2-other", u"SM2",
                                  0, 0));
    EXPECT_TRUE(KeyCertificate(kTokenProvider, u"sm2-other", AT_KEYEXCHANGE).empty());
    h = OpenContainer(kTokenProvider, u"sm2-other");
    Pkey now = PublicKeyOfBlob(ExportPublicBlob(h, AT_KEYEXCHANGE));
    CryptReleaseContext(h, 0);
    EXPECT_TRUE(SamePublicKey(d.key.get(), now.get())) << "the delivered key is kept";
}
