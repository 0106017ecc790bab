// The listing records of the user's certificates: store certificates with their key
// provider, certificates held only in token containers, dates in local time.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

#include "CertImportHelpers.h"
#include "CertificateListing.h"
#include "DeliveryAuthority.h"
#include "RequestMachine.h"

namespace
{
const char16_t kEnhanced[] = u"Microsoft Enhanced Cryptographic Provider v1.0";

std::vector<std::string> Split(const std::string& text, const std::string& separator)
{
    std::vector<std::string> parts;
    if (text.empty())
        return parts;
    size_t at = 0;
    for (size_t next; (next = text.find(separator, at)) != std::string::npos; at = next + separator.size())
        parts.push_back(text.substr(at, next - at));
    parts.push_back(text.substr(at));
    return parts;
}

class CertificateListing : public RequestMachine
{
protected:
    void SetUp() override
    {
        RequestMachine::SetUp();
        const char* tz = std::getenv("TZ");
        m_savedTz = tz ? tz : "";
        m_hadTz = tz != nullptr;
        // Eight hours ahead of UTC, all year.
        ::setenv("TZ", "CST-8", 1);
        ::tzset();
    }
    void TearDown() override
    {
        if (m_hadTz)
            ::setenv("TZ", m_savedTz.c_str(), 1);
        else
            ::unsetenv("TZ");
        ::tzset();
        RequestMachine::TearDown();
    }

    static void AddToStore(const Bytes& cert, const char16_t* provider)
    {
        if (provider)
        {
            ASSERT_EQ(S_OK, AddCertificateToSystemStore(provider, 0, cert.data(), DWORD(cert.size()), AT_SIGNATURE,
                                                        u"listed"));
            return;
        }
        HCERTSTORE store = CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_CURRENT_USER, u"MY");
        ASSERT_TRUE(store);
        ASSERT_TRUE(CertAddEncodedCertificateToStore(store, X509_ASN_ENCODING, cert.data(), DWORD(cert.size()),
                                                     CERT_STORE_ADD_REPLACE_EXISTING, nullptr));
        CertCloseStore(store, 0);
    }

    static std::string Listing(const char16_t* list, HRESULT expected = S_OK)
    {
        std::u16string records = u"unchanged";
        EXPECT_EQ(expected, GetAllCertInfo(list, records));
        return Utf8(records);
    }

    std::string m_savedTz;
    bool m_hadTz = false;
};
} // namespace

TEST_F(CertificateListing, StoreRecordsCarryFiveFieldsInLocalTime)
{
    Pkey key = NewRsaKey(1024);
    CertSpec spec;
    spec.commonName = "Listing RSA";
    spec.serial = {0x0A, 0x02, 0x01};
    AddToStore(IssueCertificate(key.get(), spec), kEnhanced);

    std::vector<std::string> records = Split(Listing(u""), "||");
    ASSERT_EQ(1u, records.size());
    std::vector<std::string> fields = Split(records[0], ";");
    ASSERT_EQ(5u, fields.size()) << records[0];
    EXPECT_NE(std::string::npos, fields[0].find("CN=Listing RSA")) << fields[0];
    EXPECT_EQ("0a0201", fields[1]);
    EXPECT_EQ("2014-03-05 16:09:10", fields[2]);
    EXPECT_EQ("2034-03-05 16:09:10", fields[3]);
    EXPECT_EQ(Utf8(kEnhanced), fields[4]);
}

TEST_F(CertificateListing, LeavesOutCertificatesWithoutKeyOrOfOtherAlgorithms)
{
    Pkey rsa = NewRsaKey(1024), sm2 = NewSm2Key();
    CertSpec spec;
    spec.commonName = "No Key Link";
    AddToStore(IssueCertificate(rsa.get(), spec), nullptr);
    spec.commonName = "SM2 In Store";
    AddToStore(IssueCertificate(sm2.get(), spec), kEnhanced);
    EXPECT_EQ("", Listing(u""));
    EXPECT_EQ("", Listing(nullptr));
}

TEST_F(CertificateListing, ContainerRecordsFollowStoreRecords)
{
    Pkey rsa = NewRsaKey(1024);
    CertSpec spec;
    spec.commonName = "Store One";
    AddToStore(IssueCertificate(rsa.get(), spec), kEnhanced);

    // An SM2 certificate held only on a token key.
    HCRYPTPROV h = 0;
    ASSERT_TRUE(CryptAcquireContextW(&h, u"token-listed", kTokenProvider, PROV_RSA_FULL, CRYPT_NEWKEYSET));
    HCRYPTKEY key = 0;
    ASSERT_TRUE(CryptGenKey(h, 0x3E00, 0, &key));
    DWORD size = 0;
    ASSERT_TRUE(CryptExportKey(key, 0, PUBLICKEYBLOB, 0, nullptr, &size));
    Bytes blob(size);
    ASSERT_TRUE(CryptExportKey(key, 0, PUBLICKEYBLOB, 0, blob.data(), &size));
    Pkey pub = PublicKeyOfBlob(blob);
    spec.commonName = "Token Two";
    spec.serial = {0x7F, 0x01};
    Bytes cert = IssueCertificate(pub.get(), spec);
    ASSERT_TRUE(CryptSetKeyParam(key, KP_CERTIFICATE, cert.data(), 0));
    CryptDestroyKey(key);
    CryptReleaseContext(h, 0);

    std::u16string list = std::u16string(kEnhanced) + u"||" + kTokenProvider;
    std::vector<std::string> records = Split(Listing(list.c_str()), "||");
    ASSERT_EQ(2u, records.size());
    EXPECT_NE(std::string::npos, records[0].find("CN=Store One"));
    std::vector<std::string> fields = Split(records[1], ";");
    ASSERT_EQ(5u, fields.size()) << records[1];
    EXPECT_NE(std::string::npos, fields[0].find("CN=Token Two")) << fields[0];
    EXPECT_EQ("7f01", fields[1]);
    EXPECT_EQ(Utf8(kTokenProvider), fields[4]);

    // Only Microsoft providers named, or none: the containers are not searched.
    EXPECT_EQ(1u, Split(Listing(kEnhanced), "||").size());
    EXPECT_EQ(1u, Split(Listing(u""), "||").size());
    // Only the token: the store certificate of the Microsoft provider is filtered out.
    records = Split(Listing(kTokenProvider), "||");
    ASSERT_EQ(1u, records.size());
    EXPECT_NE(std::string::npos, records[0].find("CN=Token Two"));
}

TEST_F(CertificateListing, FormatRoutines)
{
    std::u16string text;
    EXPECT_EQ(E_INVALIDARG, GetTimeString(text, nullptr));
    SYSTEMTIME st = {};
    st.wYear = 2014;
    st.wMonth = 12;
    st.wDay = 31;
    st.wHour = 20;
    st.wMinute = 5;
    st.wSecond = 9;
    ASSERT_EQ(S_OK, ConvertUTCtimetoLocalTime(&st));
    ASSERT_EQ(S_OK, GetTimeString(text, &st));
    EXPECT_EQ(u"2015-01-01 04:05:09", text);
    std::u16string records;
    EXPECT_EQ(E_INVALIDARG, GetAllCertificatesInfoinStore(records, nullptr));
    EXPECT_EQ(E_INVALIDARG, GetAllCertificatesInfoUnregisteredCertSet({}, records));
    EXPECT_EQ(E_INVALIDARG, GetCertificateInfo(records, nullptr));
    EXPECT_EQ(E_INVALIDARG, GetCertificateInfoUnregisteredCert(records, nullptr));
}
