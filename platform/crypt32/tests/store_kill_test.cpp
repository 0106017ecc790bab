// A process changing a system store can be killed at any moment: what it reported done is
// there, every certificate key holds its whole Blob, and the change it was in the middle of
// is there whole or not at all.
#include <cstring>
#include <map>
#include <set>

#include "crypt_test_support.h"
#include "qm/killed_child.h"

namespace
{
using Bytes = std::vector<BYTE>;

const std::u16string kCerts = u"Software\\Microsoft\\SystemCertificates\\MY\\Certificates";

std::string Narrow(const std::u16string& s)
{
    return std::string(s.begin(), s.end());
}

std::string Sha1Hex(const Bytes& der)
{
    PCCERT_CONTEXT c = CertCreateCertificateContext(kEnc, der.data(), DWORD(der.size()));
    if (!c)
        return "<not a certificate>";
    BYTE sha1[20];
    DWORD cb = sizeof sha1;
    EXPECT_TRUE(CertGetCertificateContextProperty(c, CERT_SHA1_HASH_PROP_ID, sha1, &cb));
    CertFreeCertificateContext(c);
    return Hex(sha1, 20);
}

// What the registry holds under the store's Certificates key: each key's certificate
// thumbprint and friendly name, checked to be whole.
struct Entry
{
    std::string thumb;
    std::string friendly;
};

std::map<std::string, Entry> ReadEntries()
{
    std::map<std::string, Entry> out;
    HKEY k = nullptr;
    LSTATUS st = RegOpenKeyExW(HKEY_CURRENT_USER, kCerts.c_str(), 0, KEY_READ, &k);
    if (st == ERROR_FILE_NOT_FOUND)
        return out;
    EXPECT_EQ(ERROR_SUCCESS, st);
    for (DWORD i = 0;; ++i)
    {
        WCHAR name[256];
        DWORD cch = 256;
        st = RegEnumKeyExW(k, i, name, &cch, nullptr, nullptr, nullptr, nullptr);
        if (st == ERROR_NO_MORE_ITEMS)
            break;
        EXPECT_EQ(ERROR_SUCCESS, st);
        if (st != ERROR_SUCCESS)
            break;
        std::string key = Narrow(std::u16string(name, cch));
        DWORD type = 0, cb = 0;
        EXPECT_EQ(ERROR_SUCCESS, RegGetValueW(k, name, u"Blob", RRF_RT_REG_BINARY, &type, nullptr, &cb))
            << key << " has no Blob";
        Bytes blob(cb);
        EXPECT_EQ(ERROR_SUCCESS, RegGetValueW(k, name, u"Blob", RRF_RT_REG_BINARY, &type, blob.data(), &cb));
        blob.resize(cb);
        std::map<DWORD, Bytes> records;
        EXPECT_TRUE(BlobRecords(blob, records)) << key << ": records do not fill the Blob";
        Entry& e = out[key];
        e.thumb = Sha1Hex(records[CERT_CERT_PROP_ID]);
        const Bytes& fn = records[CERT_FRIENDLY_NAME_PROP_ID];
        for (size_t j = 0; j + 1 < fn.size() && (fn[j] || fn[j + 1]); j += 2)
            e.friendly += char(fn[j]);
    }
    RegCloseKey(k);
    return out;
}

std::set<std::string> ListedByTheStore()
{
    std::set<std::string> out;
    HCERTSTORE store =
        CertOpenStore(CERT_STORE_PROV_SYSTEM_W, kEnc, 0, CERT_SYSTEM_STORE_CURRENT_USER | CERT_STORE_READONLY_FLAG, u"MY");
    EXPECT_NE(nullptr, store) << std::hex << GetLastError();
    if (!store)
        return out;
    PCCERT_CONTEXT c = nullptr;
    while ((c = CertEnumCertificatesInStore(store, c)) != nullptr)
        out.insert(Sha1Hex(Bytes(c->pbCertEncoded, c->pbCertEncoded + c->cbCertEncoded)));
    CertCloseStore(store, 0);
    return out;
}
} // namespace

class StoreKillTest : public CryptTest
{
protected:
    void SetUp() override
    {
        CryptTest::SetUp();
        for (int i = 0; i < 5; ++i)
        {
            qm::test::CertSpec spec;
            spec.subject = "/CN=Killed writer " + std::to_string(i);
            spec.serial = "0x" + std::to_string(7000 + i);
            spec.key = "ec";
            std::string name = "kill" + std::to_string(i);
            m_present[Sha1Hex(Factory().Make(spec, name))] = false;
            m_files.push_back((Factory().Dir() / (name + ".der")).string());
        }
    }

    // Takes in what a killed run reported done; the thumbprint whose change it began and
    // did not report ("" when none).
    std::string Apply(const qm::test::KilledRun& run)
    {
        std::string open;
        for (const auto& line : run.lines)
        {
            std::string what = line.substr(0, line.find(' '));
            std::string thumb = line.substr(line.find(' ') + 1);
            if (what == "add" || what == "delete")
                open = thumb;
            else
            {
                m_present[thumb] = m_named[thumb] = what == "added";
                open.clear();
            }
        }
        return open;
    }

    // The machine after a kill: whole entries, the reported state, the open change whole or not at all.
    void Check(const std::string& open)
    {
        auto entries = ReadEntries();
        std::set<std::string> keys;
        for (const auto& [key, e] : entries)
        {
            SCOPED_TRACE(key);
            keys.insert(key);
            EXPECT_EQ(key, e.thumb);
            ASSERT_TRUE(m_present.count(key));
            if (key == open)
            {
                m_named[key] = e.friendly == "kill-" + key; // killed before or after naming it
            }
            else if (m_named[key])
            {
                EXPECT_EQ("kill-" + key, e.friendly);
            }
        }
        for (auto& [thumb, present] : m_present)
        {
            if (thumb == open)
                present = keys.count(thumb) == 1;
            EXPECT_EQ(present, keys.count(thumb) == 1) << thumb;
        }
        EXPECT_EQ(keys, ListedByTheStore());
    }

    std::vector<std::string> m_files;
    std::map<std::string, bool> m_present; // as last reported
    std::map<std::string, bool> m_named;   // its friendly name was reported set
};

TEST_F(StoreKillTest, AWriterKilledAtAnyMomentLeavesWholeEntriesAndLosesNothing)
{
    int amongWrites = 0; // rounds killed after their first change began
    qm::test::KillAtRandomMoments(
        QM_STORE_KILL_WRITER, m_files, 50, [&](const qm::test::KilledRun& run) { Check(Apply(run)); }, &amongWrites);
    if (HasFailure())
        return;
    EXPECT_GT(amongWrites, 25);
}

TEST_F(StoreKillTest, AWriterKilledBetweenMakingTheKeyAndWritingTheBlobLeavesNoKey)
{
    auto run = qm::test::RunAndKill(QM_STORE_KILL_WRITER, m_files, {"QM_KILL_AT=registry-key-created"},
                                    std::chrono::seconds(2));
    ASSERT_TRUE(run.ready);
    ASSERT_TRUE(run.killed);
    ASSERT_EQ(1u, run.lines.size());
    EXPECT_EQ("add", run.lines[0].substr(0, 3));
    std::string open = Apply(run);
    EXPECT_FALSE(open.empty());
    EXPECT_TRUE(ReadEntries().empty());
    EXPECT_TRUE(ListedByTheStore().empty());

    // The store works on: the next writer adds, and a key written by hand without a Blob
    // hides nothing.
    run = qm::test::RunAndKill(QM_STORE_KILL_WRITER, {m_files[0]}, {}, std::chrono::milliseconds(300));
    ASSERT_TRUE(run.ready);
    ASSERT_GE(run.lines.size(), 2u);
    Check(Apply(run));
    HKEY k = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, (kCerts + u"\\0123456789ABCDEF0123456789ABCDEF01234567").c_str(),
                                             0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr));
    RegCloseKey(k);
    std::set<std::string> expected;
    for (const auto& [thumb, present] : m_present)
        if (present)
            expected.insert(thumb);
    EXPECT_EQ(expected, ListedByTheStore());
}
