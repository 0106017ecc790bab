// Certificate stores as Windows keeps them: memory stores, system stores over the registry
// (serialized Blob values under the SHA-1 thumbprint), PKCS#7 bundles.
#include <cstring>
#include <map>
#include <vector>

#include "crypt_test_support.h"

namespace
{
std::vector<BYTE> Thumbprint(PCCERT_CONTEXT c)
{
    std::vector<BYTE> h(20);
    DWORD cb = 20;
    EXPECT_TRUE(CertGetCertificateContextProperty(c, CERT_SHA1_HASH_PROP_ID, h.data(), &cb));
    return h;
}

std::u16string Hex(const std::vector<BYTE>& v)
{
    const char16_t* d = u"0123456789ABCDEF";
    std::u16string s;
    for (BYTE b : v)
        s += {d[b >> 4], d[b & 15]};
    return s;
}

void PutDword(std::vector<BYTE>& b, DWORD v)
{
    for (int i = 0; i < 4; ++i)
        b.push_back(static_cast<BYTE>(v >> (8 * i)));
}

// A serialized element as Windows writes one: records of id, 1, length, data.
std::vector<BYTE> BlobOf(const std::vector<BYTE>& der, const std::u16string& friendly = u"")
{
    std::vector<BYTE> b;
    if (!friendly.empty())
    {
        PutDword(b, CERT_FRIENDLY_NAME_PROP_ID);
        PutDword(b, 1);
        PutDword(b, static_cast<DWORD>((friendly.size() + 1) * 2));
        for (char16_t c : friendly + u'\0')
            b.push_back(static_cast<BYTE>(c)), b.push_back(static_cast<BYTE>(c >> 8));
    }
    PutDword(b, CERT_CERT_PROP_ID);
    PutDword(b, 1);
    PutDword(b, static_cast<DWORD>(der.size()));
    b.insert(b.end(), der.begin(), der.end());
    return b;
}

LSTATUS WriteBlob(HKEY root, const std::u16string& path, const std::vector<BYTE>& blob)
{
    HKEY k = nullptr;
    LSTATUS st = RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr);
    if (st != ERROR_SUCCESS)
        return st;
    st = RegSetValueExW(k, u"Blob", 0, REG_BINARY, blob.data(), static_cast<DWORD>(blob.size()));
    RegCloseKey(k);
    return st;
}

std::vector<BYTE> ReadBlob(HKEY root, const std::u16string& path)
{
    HKEY k = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS)
        return {};
    DWORD type = 0, cb = 0;
    RegQueryValueExW(k, u"Blob", nullptr, &type, nullptr, &cb);
    std::vector<BYTE> v(cb);
    RegQueryValueExW(k, u"Blob", nullptr, &type, v.data(), &cb);
    RegCloseKey(k);
    v.resize(cb);
    return v;
}

const std::u16string kUserRoot = u"Software\\Microsoft\\SystemCertificates\\";
const std::u16string kMachineRoot = u"SOFTWARE\\Microsoft\\SystemCertificates\\";

HCERTSTORE OpenSystem(DWORD location, const char16_t* name, DWORD extra = 0)
{
    return CertOpenStore(CERT_STORE_PROV_SYSTEM_W, kEnc, 0, location | extra, name);
}
} // namespace

class StoresTest : public CryptTest
{
};

TEST_F(StoresTest, AddDispositionsOnAStoreThatHoldsTheCertificate)
{
    auto der = Make("/CN=Alice");
    struct Case
    {
        DWORD disposition;
        BOOL ok;
        DWORD error;
        int count;
        bool keepsFirstProperty;
    } cases[] = {
        {CERT_STORE_ADD_NEW, FALSE, DWORD(CRYPT_E_EXISTS), 1, true},
        {CERT_STORE_ADD_USE_EXISTING, TRUE, 0, 1, true},
        {CERT_STORE_ADD_REPLACE_EXISTING, TRUE, 0, 1, false},
        {CERT_STORE_ADD_REPLACE_EXISTING_INHERIT_PROPERTIES, TRUE, 0, 1, true},
        {CERT_STORE_ADD_ALWAYS, TRUE, 0, 2, false},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.disposition);
        HCERTSTORE store = CertOpenStore(CERT_STORE_PROV_MEMORY, kEnc, 0, 0, nullptr);
        ASSERT_NE(nullptr, store);
        PCCERT_CONTEXT first = nullptr;
        ASSERT_TRUE(CertAddEncodedCertificateToStore(store, kEnc, der.data(), DWORD(der.size()), CERT_STORE_ADD_NEW,
                                                     &first));
        CRYPT_DATA_BLOB desc{4, const_cast<BYTE*>(reinterpret_cast<const BYTE*>(u"d1"))};
        ASSERT_TRUE(CertSetCertificateContextProperty(first, CERT_DESCRIPTION_PROP_ID, 0, &desc));
        CertFreeCertificateContext(first);

        SetLastError(0);
        PCCERT_CONTEXT added = nullptr;
        BOOL ok = CertAddEncodedCertificateToStore(store, kEnc, der.data(), DWORD(der.size()), c.disposition, &added);
        EXPECT_EQ(c.ok, ok);
        if (!ok)
        {
            EXPECT_EQ(c.error, GetLastError());
            EXPECT_EQ(nullptr, added);
        }
        else
        {
            ASSERT_NE(nullptr, added);
            EXPECT_EQ(store, added->hCertStore);
        }
        EXPECT_EQ(c.count, Count(store));
        if (added)
        {
            DWORD cb = 0;
            EXPECT_EQ(c.keepsFirstProperty ? TRUE : FALSE,
                      CertGetCertificateContextProperty(added, CERT_DESCRIPTION_PROP_ID, nullptr, &cb))
                << "after disposition " << c.disposition;
            CertFreeCertificateContext(added);
        }
        EXPECT_TRUE(CertCloseStore(store, CERT_CLOSE_STORE_CHECK_FLAG));
    }
}

TEST_F(StoresTest, UseExistingMergesTheAddedContextsProperties)
{
    auto der = Make("/CN=Merge");
    HCERTSTORE store = CertOpenStore(CERT_STORE_PROV_MEMORY, kEnc, 0, 0, nullptr);
    ASSERT_TRUE(CertAddEncodedCertificateToStore(store, kEnc, der.data(), DWORD(der.size()), CERT_STORE_ADD_NEW,
                                                 nullptr));
    PCCERT_CONTEXT outside = Context(der);
    CRYPT_KEY_PROV_INFO kp{};
    kp.pwszContainerName = const_cast<LPWSTR>(u"box");
    kp.pwszProvName = const_cast<LPWSTR>(MS_ENHANCED_PROV_W);
    kp.dwProvType = PROV_RSA_FULL;
    kp.dwKeySpec = AT_KEYEXCHANGE;
    ASSERT_TRUE(CertSetCertificateContextProperty(outside, CERT_KEY_PROV_INFO_PROP_ID, 0, &kp));
    PCCERT_CONTEXT inStore = nullptr;
    ASSERT_TRUE(CertAddCertificateContextToStore(store, outside, CERT_STORE_ADD_USE_EXISTING, &inStore));
    EXPECT_NE(outside, inStore);
    EXPECT_EQ(1, Count(store));
    DWORD cb = 0;
    ASSERT_TRUE(CertGetCertificateContextProperty(inStore, CERT_KEY_PROV_INFO_PROP_ID, nullptr, &cb));
    std::vector<BYTE> buf(cb);
    ASSERT_TRUE(CertGetCertificateContextProperty(inStore, CERT_KEY_PROV_INFO_PROP_ID, buf.data(), &cb));
    auto* got = reinterpret_cast<CRYPT_KEY_PROV_INFO*>(buf.data());
    EXPECT_EQ(std::u16string(u"box"), got->pwszContainerName);
    EXPECT_EQ(std::u16string(MS_ENHANCED_PROV_W), got->pwszProvName);
    EXPECT_EQ(DWORD(AT_KEYEXCHANGE), got->dwKeySpec);
    CertFreeCertificateContext(inStore);
    CertFreeCertificateContext(outside);
    CertCloseStore(store, 0);
}

TEST_F(StoresTest, EnumerationEndsWithNotFoundAndSurvivesDeletionOfTheCurrentCertificate)
{
    HCERTSTORE store = CertOpenStore(CERT_STORE_PROV_MEMORY, kEnc, 0, 0, nullptr);
    for (int i = 0; i < 3; ++i)
    {
        auto der = Make("/CN=N" + std::to_string(i), "0x" + std::to_string(100 + i));
        ASSERT_TRUE(CertAddEncodedCertificateToStore(store, kEnc, der.data(), DWORD(der.size()),
                                                     CERT_STORE_ADD_NEW, nullptr));
    }
    // Delete a duplicate of each certificate while walking, as a removal pass does.
    int seen = 0;
    PCCERT_CONTEXT c = nullptr;
    while ((c = CertEnumCertificatesInStore(store, c)) != nullptr)
    {
        ++seen;
        if (seen != 2)
        {
            EXPECT_TRUE(CertDeleteCertificateFromStore(CertDuplicateCertificateContext(c)));
        }
    }
    EXPECT_EQ(DWORD(CRYPT_E_NOT_FOUND), GetLastError());
    EXPECT_EQ(3, seen);
    EXPECT_EQ(1, Count(store));
    EXPECT_TRUE(CertCloseStore(store, CERT_CLOSE_STORE_CHECK_FLAG));

    HCERTSTORE empty = CertOpenStore(CERT_STORE_PROV_MEMORY, kEnc, 0, 0, nullptr);
    EXPECT_EQ(nullptr, CertEnumCertificatesInStore(empty, nullptr));
    EXPECT_EQ(DWORD(CRYPT_E_NOT_FOUND), GetLastError());
    CertCloseStore(empty, 0);
}

TEST_F(StoresTest, ContextsOutliveTheirStoreAndCheckFlagReportsThem)
{
    auto der = Make("/CN=Outlive");
    HCERTSTORE store = CertOpenStore(CERT_STORE_PROV_MEMORY, kEnc, 0, 0, nullptr);
    PCCERT_CONTEXT c = nullptr;
    ASSERT_TRUE(CertAddEncodedCertificateToStore(store, kEnc, der.data(), DWORD(der.size()), CERT_STORE_ADD_NEW, &c));
    SetLastError(0);
    EXPECT_FALSE(CertCloseStore(store, CERT_CLOSE_STORE_CHECK_FLAG));
    EXPECT_EQ(DWORD(CRYPT_E_PENDING_CLOSE), GetLastError());
    // The context is still whole after the close.
    ASSERT_EQ(der.size(), c->cbCertEncoded);
    EXPECT_EQ(0, std::memcmp(der.data(), c->pbCertEncoded, der.size()));
    PCCERT_CONTEXT d = CertDuplicateCertificateContext(c);
    EXPECT_EQ(c, d);
    EXPECT_TRUE(CertFreeCertificateContext(c));
    EXPECT_TRUE(CertFreeCertificateContext(d));
}

TEST_F(StoresTest, UserSystemStoreKeepsSerializedBlobsUnderTheThumbprint)
{
    auto der = Make("/CN=Persisted/O=Quill");
    HCERTSTORE my = CertOpenSystemStoreW(0, u"MY");
    ASSERT_NE(nullptr, my);
    PCCERT_CONTEXT c = nullptr;
    ASSERT_TRUE(CertAddEncodedCertificateToStore(my, kEnc, der.data(), DWORD(der.size()),
                                                 CERT_STORE_ADD_REPLACE_EXISTING, &c));
    CRYPT_KEY_PROV_INFO kp{};
    kp.pwszContainerName = const_cast<LPWSTR>(u"c1");
    kp.pwszProvName = const_cast<LPWSTR>(MS_DEF_PROV_W);
    kp.dwProvType = PROV_RSA_FULL;
    kp.dwKeySpec = AT_SIGNATURE;
    ASSERT_TRUE(CertSetCertificateContextProperty(c, CERT_KEY_PROV_INFO_PROP_ID, 0, &kp));
    std::u16string key = kUserRoot + u"MY\\Certificates\\" + Hex(Thumbprint(c));
    CertFreeCertificateContext(c);
    EXPECT_TRUE(CertCloseStore(my, CERT_CLOSE_STORE_CHECK_FLAG));

    // The Blob: records of id, 1, length, data, the certificate in record 32.
    auto blob = ReadBlob(HKEY_CURRENT_USER, key);
    ASSERT_GE(blob.size(), 12 + der.size());
    std::map<DWORD, std::vector<BYTE>> records;
    ASSERT_TRUE(BlobRecords(blob, records)) << "records do not fill the Blob";
    EXPECT_EQ(1u, records.count(CERT_KEY_PROV_INFO_PROP_ID));
    EXPECT_EQ(der, records[CERT_CERT_PROP_ID]);

    // A new opening reads it back with its property; deleting removes the key.
    my = CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_CURRENT_USER | CERT_STORE_READONLY_FLAG,
                       u"MY");
    ASSERT_NE(nullptr, my);
    c = CertEnumCertificatesInStore(my, nullptr);
    ASSERT_NE(nullptr, c);
    DWORD cb = 0;
    ASSERT_TRUE(CertGetCertificateContextProperty(c, CERT_KEY_PROV_INFO_PROP_ID, nullptr, &cb));
    std::vector<BYTE> buf(cb);
    ASSERT_TRUE(CertGetCertificateContextProperty(c, CERT_KEY_PROV_INFO_PROP_ID, buf.data(), &cb));
    EXPECT_EQ(std::u16string(u"c1"), reinterpret_cast<CRYPT_KEY_PROV_INFO*>(buf.data())->pwszContainerName);
    // A read-only store refuses the deletion.
    EXPECT_FALSE(CertDeleteCertificateFromStore(CertDuplicateCertificateContext(c)));
    EXPECT_EQ(DWORD(E_ACCESSDENIED), GetLastError());
    CertFreeCertificateContext(c);
    CertCloseStore(my, 0);

    my = CertOpenSystemStoreW(0, u"MY");
    c = CertEnumCertificatesInStore(my, nullptr);
    ASSERT_NE(nullptr, c);
    EXPECT_TRUE(CertDeleteCertificateFromStore(CertDuplicateCertificateContext(c)));
    CertFreeCertificateContext(c);
    EXPECT_EQ(0, Count(my));
    CertCloseStore(my, 0);
    HKEY k = nullptr;
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, KEY_READ, &k));
}

TEST_F(StoresTest, ABlobWrittenByHandIsACertificateOfThatStore)
{
    auto der = Make("/CN=Hand Root/O=Quill");
    PCCERT_CONTEXT probe = Context(der);
    std::u16string thumb = Hex(Thumbprint(probe));
    CertFreeCertificateContext(probe);

    qm::SetProcessElevated(true);
    ASSERT_EQ(ERROR_SUCCESS, WriteBlob(HKEY_LOCAL_MACHINE, kMachineRoot + u"ROOT\\Certificates\\" + thumb,
                                       BlobOf(der, u"Hand")));
    // A Blob that is no certificate is not one of the store's, and does not break it.
    ASSERT_EQ(ERROR_SUCCESS,
              WriteBlob(HKEY_LOCAL_MACHINE, kMachineRoot + u"ROOT\\Certificates\\00", {1, 2, 3, 4, 5}));
    qm::SetProcessElevated(false);

    HCERTSTORE root = CertOpenStore(CERT_STORE_PROV_SYSTEM_W, kEnc, 0,
                                    CERT_SYSTEM_STORE_LOCAL_MACHINE | CERT_STORE_READONLY_FLAG, u"ROOT");
    ASSERT_NE(nullptr, root);
    PCCERT_CONTEXT c = CertEnumCertificatesInStore(root, nullptr);
    ASSERT_NE(nullptr, c);
    EXPECT_EQ(std::vector<BYTE>(c->pbCertEncoded, c->pbCertEncoded + c->cbCertEncoded), der);
    WCHAR name[64] = {};
    DWORD cb = sizeof(name);
    ASSERT_TRUE(CertGetCertificateContextProperty(c, CERT_FRIENDLY_NAME_PROP_ID, name, &cb));
    EXPECT_EQ(std::u16string(u"Hand"), name);
    EXPECT_EQ(nullptr, CertEnumCertificatesInStore(root, c));
    CertCloseStore(root, 0);
}

TEST_F(StoresTest, MachineStoresNeedAnElevatedProcessToWrite)
{
    auto der = Make("/CN=Machine CA");
    SetLastError(0);
    EXPECT_EQ(nullptr, OpenSystem(CERT_SYSTEM_STORE_LOCAL_MACHINE, u"CA"));
    EXPECT_EQ(DWORD(ERROR_ACCESS_DENIED), GetLastError());

    // Read-only opening works, and the store refuses additions.
    HCERTSTORE ro = OpenSystem(CERT_SYSTEM_STORE_LOCAL_MACHINE, u"CA", CERT_STORE_READONLY_FLAG);
    ASSERT_NE(nullptr, ro);
    EXPECT_FALSE(CertAddEncodedCertificateToStore(ro, kEnc, der.data(), DWORD(der.size()), CERT_STORE_ADD_NEW,
                                                  nullptr));
    EXPECT_EQ(DWORD(E_ACCESSDENIED), GetLastError());
    CertCloseStore(ro, 0);

    qm::SetProcessElevated(true);
    HCERTSTORE ca = OpenSystem(CERT_SYSTEM_STORE_LOCAL_MACHINE, u"CA");
    ASSERT_NE(nullptr, ca);
    EXPECT_TRUE(CertAddEncodedCertificateToStore(ca, kEnc, der.data(), DWORD(der.size()), CERT_STORE_ADD_NEW,
                                                 nullptr));
    EXPECT_FALSE(CertAddEncodedCertificateToStore(ca, kEnc, der.data(), DWORD(der.size()), CERT_STORE_ADD_NEW,
                                                  nullptr));
    EXPECT_EQ(DWORD(CRYPT_E_EXISTS), GetLastError());
    CertCloseStore(ca, 0);
    qm::SetProcessElevated(false);

    // The user's store of the same name is another store.
    HCERTSTORE userCa = OpenSystem(CERT_SYSTEM_STORE_CURRENT_USER, u"CA");
    EXPECT_EQ(0, Count(userCa));
    CertCloseStore(userCa, 0);
    ro = OpenSystem(CERT_SYSTEM_STORE_LOCAL_MACHINE, u"CA", CERT_STORE_READONLY_FLAG);
    EXPECT_EQ(1, Count(ro));
    CertCloseStore(ro, 0);
}

TEST_F(StoresTest, Pkcs7StoreHoldsTheCertificatesOfACertsOnlyBundle)
{
    qm::test::CertSpec a, b;
    a.subject = "/CN=First";
    b.subject = "/CN=Second";
    b.serial = "0x2002";
    auto derA = Factory().Make(a, "p7a");
    auto derB = Factory().Make(b, "p7b");
    std::string dir = Factory().Dir().string();
    ASSERT_EQ(0, qm::test::CertFactory::Run("openssl crl2pkcs7 -nocrl -certfile " + Factory().PemPath("p7a") +
                                            " -certfile " + Factory().PemPath("p7b") + " -outform DER -out " + dir +
                                            "/bundle.p7b"));
    auto bundle = Factory().ReadFile("bundle.p7b");
    CRYPT_DATA_BLOB blob{DWORD(bundle.size()), bundle.data()};
    HCERTSTORE p7 = CertOpenStore(CERT_STORE_PROV_PKCS7, kEnc, 0, CERT_STORE_READONLY_FLAG, &blob);
    ASSERT_NE(nullptr, p7);
    std::vector<std::vector<BYTE>> got;
    PCCERT_CONTEXT c = nullptr;
    while ((c = CertEnumCertificatesInStore(p7, c)) != nullptr)
        got.emplace_back(c->pbCertEncoded, c->pbCertEncoded + c->cbCertEncoded);
    EXPECT_EQ((std::vector<std::vector<BYTE>>{derA, derB}), got);
    CertCloseStore(p7, 0);

    // Truncated or foreign data is refused.
    for (size_t cut : {size_t(0), size_t(10), bundle.size() / 2, bundle.size() - 1})
    {
        CRYPT_DATA_BLOB bad{DWORD(cut), bundle.data()};
        SetLastError(0);
        EXPECT_EQ(nullptr, CertOpenStore(CERT_STORE_PROV_PKCS7, kEnc, 0, 0, &bad)) << cut;
        EXPECT_NE(0u, GetLastError());
    }
    CRYPT_DATA_BLOB certInstead{DWORD(derA.size()), derA.data()};
    EXPECT_EQ(nullptr, CertOpenStore(CERT_STORE_PROV_PKCS7, kEnc, 0, 0, &certInstead));
}

TEST_F(StoresTest, CorruptCertificatesAreRefusedWithAsn1Errors)
{
    auto der = Make("/CN=Corrupt");
    struct Case
    {
        const char* what;
        std::vector<BYTE> bytes;
    };
    std::vector<Case> cases = {
        {"empty", {}},
        {"one byte", {0x30}},
        {"truncated", std::vector<BYTE>(der.begin(), der.begin() + der.size() / 2)},
        {"last byte cut", std::vector<BYTE>(der.begin(), der.end() - 1)},
        {"garbage", {0x04, 0x03, 1, 2, 3}},
        {"huge length", {0x30, 0x84, 0xFF, 0xFF, 0xFF, 0xFF, 0}},
    };
    auto trailing = der;
    trailing.push_back(0);
    cases.push_back({"trailing byte", trailing});
    auto flipped = der;
    flipped[4] ^= 0xFF; // the tag of the to-be-signed part
    cases.push_back({"bad inner tag", flipped});
    for (const auto& c : cases)
    {
        SetLastError(0);
        EXPECT_EQ(nullptr, CertCreateCertificateContext(kEnc, c.bytes.data(), DWORD(c.bytes.size()))) << c.what;
        DWORD err = GetLastError();
        EXPECT_TRUE(err == DWORD(CRYPT_E_ASN1_EOD) || err == DWORD(CRYPT_E_ASN1_CORRUPT) ||
                    err == DWORD(CRYPT_E_ASN1_BADTAG) || err == DWORD(CRYPT_E_ASN1_LARGE))
            << c.what << " " << std::hex << err;
    }
    EXPECT_EQ(nullptr, CertCreateCertificateContext(kEnc, nullptr, 5));
    EXPECT_EQ(DWORD(E_INVALIDARG), GetLastError());
}

TEST_F(StoresTest, HashPropertiesAreComputedFromTheEncoding)
{
    auto der = Make("/CN=Hashes");
    Factory().WriteFile("h.der", der);
    std::string expected;
    ASSERT_EQ(0, qm::test::CertFactory::Run("openssl dgst -sha1 -r " + Factory().Dir().string() + "/h.der", &expected));
    PCCERT_CONTEXT c = Context(der);
    std::vector<BYTE> h = Thumbprint(c);
    std::string hex;
    for (BYTE b : h)
    {
        char t[3];
        snprintf(t, sizeof t, "%02x", b);
        hex += t;
    }
    EXPECT_EQ(expected.substr(0, 40), hex);
    // A short buffer gets ERROR_MORE_DATA and the size.
    BYTE small[4];
    DWORD cb = sizeof small;
    EXPECT_FALSE(CertGetCertificateContextProperty(c, CERT_MD5_HASH_PROP_ID, small, &cb));
    EXPECT_EQ(DWORD(ERROR_MORE_DATA), GetLastError());
    EXPECT_EQ(16u, cb);
    cb = 0;
    EXPECT_FALSE(CertGetCertificateContextProperty(c, CERT_KEY_PROV_INFO_PROP_ID, nullptr, &cb));
    EXPECT_EQ(DWORD(CRYPT_E_NOT_FOUND), GetLastError());
    CertFreeCertificateContext(c);
}

namespace
{
// The records of a serialized element, by property id.
std::map<DWORD, std::vector<BYTE>> Records(const std::vector<BYTE>& blob)
{
    std::map<DWORD, std::vector<BYTE>> records;
    EXPECT_TRUE(BlobRecords(blob, records)) << "records do not fill the element";
    return records;
}

bool Enumerates(PCCERT_CONTEXT c, DWORD id)
{
    for (DWORD p = 0; (p = CertEnumCertificateContextProperties(c, p)) != 0;)
        if (p == id)
            return true;
    return false;
}

std::vector<BYTE> Serialized(PCCERT_CONTEXT c)
{
    DWORD cb = 0;
    EXPECT_TRUE(CertSerializeCertificateStoreElement(c, 0, nullptr, &cb));
    std::vector<BYTE> b(cb);
    EXPECT_TRUE(CertSerializeCertificateStoreElement(c, 0, b.data(), &cb));
    b.resize(cb);
    return b;
}
} // namespace

// Windows keeps a thumbprint that CertGetCertificateContextProperty computed as a property
// of the context: it is then enumerated, serialized and written into the store's Blob.
TEST_F(StoresTest, ComputedThumbprintsBecomePropertiesOfTheContext)
{
    struct Case
    {
        DWORD id;
        DWORD size;
    } cases[] = {{CERT_SHA1_HASH_PROP_ID, 20}, {CERT_MD5_HASH_PROP_ID, 16}};
    for (const Case& k : cases)
    {
        SCOPED_TRACE(k.id);
        auto der = Make("/CN=Thumbprint " + std::to_string(k.id));
        PCCERT_CONTEXT c = Context(der);
        ASSERT_NE(nullptr, c);
        EXPECT_FALSE(Enumerates(c, k.id)) << "not computed yet";
        EXPECT_EQ(0u, Records(Serialized(c)).count(k.id));
        std::vector<BYTE> hash(k.size);
        DWORD cb = k.size;
        ASSERT_TRUE(CertGetCertificateContextProperty(c, k.id, hash.data(), &cb));
        EXPECT_TRUE(Enumerates(c, k.id));
        EXPECT_EQ(hash, Records(Serialized(c))[k.id]);
        CertFreeCertificateContext(c);

        // In a system store, the property goes into the certificate's Blob.
        HCERTSTORE my = CertOpenSystemStoreW(0, u"MY");
        ASSERT_NE(nullptr, my);
        ASSERT_TRUE(
            CertAddEncodedCertificateToStore(my, kEnc, der.data(), DWORD(der.size()), CERT_STORE_ADD_NEW, &c));
        std::u16string key = kUserRoot + u"MY\\Certificates\\" + Hex(Thumbprint(c));
        if (k.id == CERT_MD5_HASH_PROP_ID)
            EXPECT_EQ(0u, Records(ReadBlob(HKEY_CURRENT_USER, key)).count(k.id));
        cb = k.size;
        ASSERT_TRUE(CertGetCertificateContextProperty(c, k.id, hash.data(), &cb));
        CertFreeCertificateContext(c);
        CertCloseStore(my, 0);
        EXPECT_EQ(hash, Records(ReadBlob(HKEY_CURRENT_USER, key))[k.id]);
    }
}
