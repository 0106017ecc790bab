// Key pairs in real CSPs (the software providers and a SoftHSM2 token) and the requests
// written over them, each verified by openssl.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "KeyPairGeneration.h"
#include "Pkcs10Writer.h"
#include "RequestMachine.h"

namespace
{
const char16_t kSubject[] = u"CN=Zhang San,OU=Dev,O=Quill,C=CN";

struct Request
{
    HRESULT hr = E_UNEXPECTED;
    bool hasContainer = false;
    std::u16string container;
    std::string text;
};

Request Make(const char16_t* csp, const char16_t* subject, long certType, bool rsa, long keyLength,
             long genFlags = 0)
{
    Request r;
    LPWSTR container = nullptr;
    LPSTR text = nullptr;
    r.hr = PKCS10CertRequisition(&container, &text, csp, subject, certType, certType == 1 ? 1 : 2,
                                 rsa, keyLength, genFlags);
    if (container)
    {
        r.hasContainer = true;
        r.container = container;
    }
    if (text)
        r.text = text;
    delete[] container;
    delete[] text;
    return r;
}

DWORD ProviderType(const char16_t* csp)
{
    return std::u16string(csp) == MS_ENH_RSA_AES_PROV_W ? PROV_RSA_AES : PROV_RSA_FULL;
}

std::vector<std::string> Containers(const char16_t* csp)
{
    std::vector<std::string> names;
    HCRYPTPROV h = 0;
    if (!CryptAcquireContextW(&h, nullptr, csp, ProviderType(csp), CRYPT_VERIFYCONTEXT))
        return names;
    char name[1024];
    for (DWORD flags = CRYPT_FIRST;; flags = CRYPT_NEXT)
    {
        DWORD cb = sizeof name;
        if (!CryptGetProvParam(h, PP_ENUMCONTAINERS, reinterpret_cast<BYTE*>(name), &cb, flags))
            break;
        names.emplace_back(name);
    }
    CryptReleaseContext(h, 0);
    return names;
}

// The public key as the request must carry it: RSA the DER RSAPublicKey, SM2 04 || X || Y.
Bytes ContainerPublicKey(const char16_t* csp, const std::u16string& container, DWORD keySpec,
                         bool rsa)
{
    Bytes out;
    HCRYPTPROV h = 0;
    EXPECT_TRUE(CryptAcquireContextW(&h, container.c_str(), csp, ProviderType(csp), 0))
        << std::hex << GetLastError();
    if (rsa)
    {
        DWORD cb = 0;
        EXPECT_TRUE(CryptExportPublicKeyInfo(h, keySpec, X509_ASN_ENCODING | PKCS_7_ASN_ENCODING,
                                             nullptr, &cb));
        std::vector<BYTE> info(cb);
        auto* pInfo = reinterpret_cast<PCERT_PUBLIC_KEY_INFO>(info.data());
        EXPECT_TRUE(CryptExportPublicKeyInfo(h, keySpec, X509_ASN_ENCODING | PKCS_7_ASN_ENCODING,
                                             pInfo, &cb));
        out.assign(pInfo->PublicKey.pbData, pInfo->PublicKey.pbData + pInfo->PublicKey.cbData);
    }
    else
    {
        HCRYPTKEY k = 0;
        EXPECT_TRUE(CryptGetUserKey(h, keySpec, &k));
        DWORD cb = 0;
        EXPECT_TRUE(CryptExportKey(k, 0, PUBLICKEYBLOB, 0, nullptr, &cb));
        Bytes blob(cb);
        EXPECT_TRUE(CryptExportKey(k, 0, PUBLICKEYBLOB, 0, blob.data(), &cb));
        CryptDestroyKey(k);
        EXPECT_GE(blob.size(), 140u);
        out.push_back(0x04);
        for (size_t field : {12u, 76u})
            for (size_t i = 0; i < 32; ++i)
                out.push_back(blob[field + 31 - i]);
    }
    CryptReleaseContext(h, 0);
    return out;
}

DWORD KeyBits(const char16_t* csp, const std::u16string& container, DWORD keySpec)
{
    HCRYPTPROV h = 0;
    EXPECT_TRUE(CryptAcquireContextW(&h, container.c_str(), csp, ProviderType(csp), 0));
    HCRYPTKEY k = 0;
    EXPECT_TRUE(CryptGetUserKey(h, keySpec, &k));
    DWORD bits = 0, cb = sizeof bits;
    EXPECT_TRUE(CryptGetKeyParam(k, KP_KEYLEN, reinterpret_cast<BYTE*>(&bits), &cb, 0));
    CryptDestroyKey(k);
    CryptReleaseContext(h, 0);
    return bits;
}

Bytes Cat2(const Bytes& a, const Bytes& b)
{
    Bytes out = a;
    out.insert(out.end(), b.begin(), b.end());
    return out;
}

bool Contains(const Bytes& haystack, const Bytes& needle)
{
    return !needle.empty() && std::search(haystack.begin(), haystack.end(), needle.begin(),
                                          needle.end()) != haystack.end();
}

bool IsBracedGuid(const std::u16string& s)
{
    if (s.size() != 38 || s.front() != u'{' || s.back() != u'}')
        return false;
    for (size_t i = 1; i < 37; ++i)
    {
        char16_t c = s[i];
        bool dash = i == 9 || i == 14 || i == 19 || i == 24;
        if (dash ? c != u'-' : !((c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'F')))
            return false;
    }
    return true;
}
} // namespace

class KeyPairGeneration : public RequestMachine
{
};

TEST_F(KeyPairGeneration, RsaSingleCertificateInEachSoftwareProvider)
{
    const struct
    {
        const char16_t* csp;
        long bits;
    } cases[] = {
        {MS_DEF_PROV_W, 1024},    {MS_ENHANCED_PROV_W, 2048}, {MS_ENH_RSA_AES_PROV_W, 2048},
        {MS_STRONG_PROV_W, 1024}, {kTokenProvider, 2048},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(std::string(c.csp, c.csp + std::char_traits<char16_t>::length(c.csp)));
        Request r = Make(c.csp, kSubject, 1, true, c.bits);
        ASSERT_EQ(S_OK, r.hr);
        ASSERT_TRUE(r.hasContainer);
        EXPECT_TRUE(IsBracedGuid(r.container));
        EXPECT_TRUE(HasKey(c.csp, r.container, AT_KEYEXCHANGE));
        EXPECT_FALSE(HasKey(c.csp, r.container, AT_SIGNATURE));
        EXPECT_EQ(DWORD(c.bits), KeyBits(c.csp, r.container, AT_KEYEXCHANGE));

        Bytes der = RequestDer(r.text);
        std::string verified = OpensslVerify(der, false);
        OpensslVerifySignature(der, false);
        EXPECT_NE(std::string::npos, verified.find("C = CN, O = Quill, OU = Dev, CN = Zhang San"))
            << verified;
        EXPECT_TRUE(Contains(der, ContainerPublicKey(c.csp, r.container, AT_KEYEXCHANGE, true)));

        std::string parsed = OpensslAsn1Parse(der);
        EXPECT_NE(std::string::npos, parsed.find(":sha1WithRSAEncryption")) << parsed;
        EXPECT_NE(std::string::npos, parsed.find("PRINTABLESTRING   :CN")) << parsed;
        EXPECT_NE(std::string::npos, parsed.find("UTF8STRING        :Zhang San")) << parsed;
        EXPECT_EQ(std::string::npos, parsed.find("cont [ 0 ]"))
            << "a single request has no attributes";
    }
}

TEST_F(KeyPairGeneration, RsaDoubleCertificateCarriesTheTemporaryKey)
{
    Request r = Make(MS_ENHANCED_PROV_W, u"CN=\u5f20\u4e09,C=CN", 2, true, 2048, CRYPT_EXPORTABLE);
    ASSERT_EQ(S_OK, r.hr);
    ASSERT_TRUE(r.hasContainer);
    EXPECT_EQ(1u, Containers(MS_ENHANCED_PROV_W).size());
    // Temporary exchange key first (1024 bits, not exportable), then the signing key.
    EXPECT_EQ(1024u, KeyBits(MS_ENHANCED_PROV_W, r.container, AT_KEYEXCHANGE));
    EXPECT_EQ(2048u, KeyBits(MS_ENHANCED_PROV_W, r.container, AT_SIGNATURE));
    {
        HCRYPTPROV h = 0;
        ASSERT_TRUE(
            CryptAcquireContextW(&h, r.container.c_str(), MS_ENHANCED_PROV_W, PROV_RSA_FULL, 0));
        for (DWORD spec : {AT_KEYEXCHANGE, AT_SIGNATURE})
        {
            HCRYPTKEY k = 0;
            ASSERT_TRUE(CryptGetUserKey(h, spec, &k));
            DWORD cb = 0;
            EXPECT_EQ(spec == AT_SIGNATURE, !!CryptExportKey(k, 0, PRIVATEKEYBLOB, 0, nullptr, &cb))
                << spec;
            CryptDestroyKey(k);
        }
        CryptReleaseContext(h, 0);
    }

    Bytes der = RequestDer(r.text);
    OpensslVerifySignature(der, false);
    Bytes signKey = ContainerPublicKey(MS_ENHANCED_PROV_W, r.container, AT_SIGNATURE, true);
    Bytes tempKey = ContainerPublicKey(MS_ENHANCED_PROV_W, r.container, AT_KEYEXCHANGE, true);
    EXPECT_TRUE(Contains(der, signKey));
    // OCTET STRING { SEQUENCE { INTEGER 1, OCTET STRING temporary RSAPublicKey } }
    Bytes inner = {0x02, 0x01, 0x01, 0x04, 0x81, static_cast<BYTE>(tempKey.size())};
    inner.insert(inner.end(), tempKey.begin(), tempKey.end());
    EXPECT_TRUE(Contains(der, inner));

    std::string parsed = OpensslAsn1Parse(der);
    size_t attributes = parsed.find("cont [ 0 ]");
    size_t password = parsed.find(":challengePassword");
    size_t temporary = parsed.find(":1.2.840.113549.1.9.63");
    ASSERT_NE(std::string::npos, attributes) << parsed;
    ASSERT_NE(std::string::npos, password) << parsed;
    ASSERT_NE(std::string::npos, temporary) << parsed;
    EXPECT_LT(attributes, password);
    EXPECT_LT(password, temporary);
    EXPECT_NE(std::string::npos, parsed.find("PRINTABLESTRING   :408157")) << parsed;
    // Neither attribute value sits in a SET.
    EXPECT_EQ(std::string::npos, parsed.find("SET", password)) << parsed;
}

TEST_F(KeyPairGeneration, Sm2SingleAndDoubleCertificatesOnTheToken)
{
    Request single = Make(kTokenProvider, kSubject, 1, false, 256);
    ASSERT_EQ(S_OK, single.hr);
    ASSERT_TRUE(single.hasContainer);
    EXPECT_TRUE(HasKey(kTokenProvider, single.container, AT_KEYEXCHANGE));
    EXPECT_FALSE(HasKey(kTokenProvider, single.container, AT_SIGNATURE));
    Bytes der = RequestDer(single.text);
    OpensslVerify(der, true);
    OpensslVerifySignature(der, true);
    EXPECT_TRUE(Contains(
        der, Cat2(Bytes{0x03, 0x42, 0x00},
                  ContainerPublicKey(kTokenProvider, single.container, AT_KEYEXCHANGE, false))));
    std::string parsed = OpensslAsn1Parse(der);
    EXPECT_NE(std::string::npos, parsed.find(":id-ecPublicKey")) << parsed;
    EXPECT_NE(std::string::npos, parsed.find(":sm2")) << parsed;
    EXPECT_NE(std::string::npos, parsed.find(":SM2-with-SM3")) << parsed;
    EXPECT_EQ(std::string::npos, parsed.find("cont [ 0 ]"));

    Request pair = Make(kTokenProvider, kSubject, 2, false, 256);
    ASSERT_EQ(S_OK, pair.hr);
    ASSERT_TRUE(pair.hasContainer);
    EXPECT_NE(single.container, pair.container);
    EXPECT_TRUE(HasKey(kTokenProvider, pair.container, AT_KEYEXCHANGE));
    EXPECT_TRUE(HasKey(kTokenProvider, pair.container, AT_SIGNATURE));
    der = RequestDer(pair.text);
    OpensslVerifySignature(der, true);
    EXPECT_TRUE(
        Contains(der, ContainerPublicKey(kTokenProvider, pair.container, AT_SIGNATURE, false)));
    // The temporary key in its 136-byte form, coordinates most significant byte first.
    Bytes point = ContainerPublicKey(kTokenProvider, pair.container, AT_KEYEXCHANGE, false);
    Bytes x(point.begin() + 1, point.begin() + 33), y(point.begin() + 33, point.end());
    Bytes temp = {0x04, 0x81, 0x88, 0x00, 0xB4, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00};
    temp.insert(temp.end(), x.begin(), x.end());
    EXPECT_TRUE(Contains(der, temp));
    EXPECT_TRUE(Contains(der, y));
    parsed = OpensslAsn1Parse(der);
    EXPECT_NE(std::string::npos, parsed.find(":challengePassword")) << parsed;
}

TEST_F(KeyPairGeneration, FailuresBeforeTheContainerCreateNothing)
{
    Request nullSubject = Make(MS_ENHANCED_PROV_W, nullptr, 1, true, 1024);
    EXPECT_EQ(E_INVALIDARG, nullSubject.hr);
    EXPECT_FALSE(nullSubject.hasContainer);
    EXPECT_TRUE(Containers(MS_ENHANCED_PROV_W).empty());

    // Another cert type opens a fresh name without creating it: the CSPs refuse.
    for (const char16_t* csp : {MS_ENHANCED_PROV_W, kTokenProvider})
    {
        Request other = Make(csp, kSubject, 3, csp != kTokenProvider, 1024);
        EXPECT_EQ(NTE_BAD_KEYSET, other.hr);
        EXPECT_FALSE(other.hasContainer);
        EXPECT_TRUE(Containers(csp).empty());
        EXPECT_TRUE(other.text.empty());
    }

    Request noCsp = Make(u"No Such Cryptographic Provider", kSubject, 1, true, 1024);
    EXPECT_TRUE(FAILED(noCsp.hr));
    EXPECT_FALSE(noCsp.hasContainer);
}

TEST_F(KeyPairGeneration, OnlyTheExactAesProviderNameIsOpenedWithItsType)
{
    // The provider is registered with type 24: type 1 does not match it.
    Request lower =
        Make(u"microsoft enhanced rsa and aes cryptographic provider", kSubject, 1, true, 1024);
    EXPECT_EQ(NTE_PROV_TYPE_NO_MATCH, lower.hr);
    EXPECT_FALSE(lower.hasContainer);
    Request exact = Make(MS_ENH_RSA_AES_PROV_W, kSubject, 1, true, 1024);
    EXPECT_EQ(S_OK, exact.hr);
}

TEST_F(KeyPairGeneration, KeyGenerationFailureDeletesTheNewContainer)
{
    // RSA: a key length the provider refuses; SM2: the token knows 256 bits only.
    const struct
    {
        const char16_t* csp;
        bool rsa;
        long bits;
    } cases[] = {
        {MS_ENHANCED_PROV_W, true, 100},
        {kTokenProvider, false, 512},
    };
    for (const auto& c : cases)
    {
        Request r = Make(c.csp, kSubject, 1, c.rsa, c.bits);
        EXPECT_TRUE(FAILED(r.hr));
        EXPECT_FALSE(r.hasContainer);
        EXPECT_TRUE(Containers(c.csp).empty()) << (c.rsa ? "RSA" : "SM2");
    }
}

TEST_F(KeyPairGeneration, LaterFailuresLeaveTheContainerAndItsName)
{
    // The signing key of a double certificate fails after the temporary key was made.
    Request sign = Make(MS_ENHANCED_PROV_W, kSubject, 2, true, 100);
    EXPECT_TRUE(FAILED(sign.hr));
    ASSERT_TRUE(sign.hasContainer);
    EXPECT_TRUE(HasKey(MS_ENHANCED_PROV_W, sign.container, AT_KEYEXCHANGE));
    EXPECT_FALSE(HasKey(MS_ENHANCED_PROV_W, sign.container, AT_SIGNATURE));

    // The writer refuses the subject after the key was generated.
    const struct
    {
        const char16_t* subject;
        HRESULT hr;
    } subjects[] = {
        {u"", E_FAIL},
        {u"CN=", E_FAIL},
        {u"CN=a=b", NTE_BAD_DATA},
        {u"CN=a,", NTE_BAD_DATA},
    };
    for (const auto& s : subjects)
    {
        Request r = Make(kTokenProvider, s.subject, 1, false, 256);
        EXPECT_EQ(s.hr, r.hr);
        ASSERT_TRUE(r.hasContainer);
        EXPECT_TRUE(HasKey(kTokenProvider, r.container, AT_KEYEXCHANGE));
        EXPECT_TRUE(r.text.empty());
    }
}
