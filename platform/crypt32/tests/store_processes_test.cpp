// System stores live in the machine: certificates another process added are there, with
// their properties, after it exits; processes adding at once lose nothing and leave whole
// Blobs. As on Windows, an opened system store works on the copy it read when it was
// opened (other processes' changes show after a new opening), so CERT_STORE_ADD_NEW
// compares against that copy; the registry holds one key per thumbprint.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cstring>
#include <map>
#include <set>
#include <sstream>

#include "crypt_test_support.h"

extern char** environ;

namespace
{
using Bytes = std::vector<BYTE>;

const std::u16string kUserCerts = u"Software\\Microsoft\\SystemCertificates\\";
const std::u16string kMachineCerts = u"SOFTWARE\\Microsoft\\SystemCertificates\\";

// A helper process with a pipe on its standard input and one on its standard output.
struct Helper
{
    pid_t pid = -1;
    int in = -1;
    int out = -1;
};

Helper Start(const std::string& location, const std::string& store, DWORD disposition, const std::string& tag,
             bool wait, const std::vector<std::string>& files)
{
    std::vector<std::string> args = {QM_CERT_STORE_HELPER, location, store, std::to_string(disposition), tag};
    if (wait)
        args.push_back("--wait");
    args.insert(args.end(), files.begin(), files.end());
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    // A process started elevated, as an installer would start it; the test itself is not.
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e)
        if (std::strncmp(*e, "QM_ELEVATED=", 12) != 0)
            env.emplace_back(*e);
    env.push_back(location == "machine" ? "QM_ELEVATED=1" : "QM_ELEVATED=0");
    std::vector<char*> envp;
    for (auto& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);

    int inFds[2], outFds[2];
    EXPECT_EQ(0, pipe2(inFds, O_CLOEXEC));
    EXPECT_EQ(0, pipe2(outFds, O_CLOEXEC));
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, inFds[0], 0);
    posix_spawn_file_actions_adddup2(&actions, outFds[1], 1);
    Helper h;
    EXPECT_EQ(0, posix_spawn(&h.pid, argv[0], &actions, nullptr, argv.data(), envp.data()));
    posix_spawn_file_actions_destroy(&actions);
    close(inFds[0]);
    close(outFds[1]);
    h.in = inFds[1];
    h.out = outFds[0];
    return h;
}

std::string ReadLine(int fd)
{
    std::string line;
    char c;
    while (read(fd, &c, 1) == 1 && c != '\n')
        line += c;
    return line;
}

// Lets the helper go on, and collects "<file> <error>" lines; the exit status in *pStatus.
std::map<std::string, std::string> Finish(Helper& h, int* pStatus)
{
    if (h.in >= 0)
        close(h.in);
    std::string text;
    char buf[256];
    for (ssize_t n; (n = read(h.out, buf, sizeof buf)) > 0;)
        text.append(buf, size_t(n));
    close(h.out);
    int status = 0;
    waitpid(h.pid, &status, 0);
    *pStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::map<std::string, std::string> results;
    std::istringstream lines(text);
    for (std::string file, error; lines >> file >> error;)
        results[file] = error;
    return results;
}

std::map<std::string, std::string> RunHelper(const std::string& location, const std::string& store, DWORD disposition,
                                       const std::string& tag, const std::vector<std::string>& files, int* pStatus)
{
    Helper h = Start(location, store, disposition, tag, false, files);
    return Finish(h, pStatus);
}

std::string Narrow(const char16_t* s)
{
    std::string out;
    for (; s && *s; ++s)
        out += char(*s);
    return out;
}

// What a store holds of one certificate, as the parent reads it back.
struct Stored
{
    Bytes der;
    std::string container;
    std::string provider;
    DWORD provType = 0;
    DWORD flags = 0;
    DWORD keySpec = 0;
    std::string friendly;
};

std::map<std::string, Stored> ReadStore(DWORD location, const char16_t* name)
{
    std::map<std::string, Stored> out;
    HCERTSTORE store =
        CertOpenStore(CERT_STORE_PROV_SYSTEM_W, kEnc, 0, location | CERT_STORE_READONLY_FLAG, name);
    EXPECT_NE(nullptr, store);
    if (!store)
        return out;
    PCCERT_CONTEXT c = nullptr;
    while ((c = CertEnumCertificatesInStore(store, c)) != nullptr)
    {
        BYTE sha1[20];
        DWORD cb = sizeof sha1;
        EXPECT_TRUE(CertGetCertificateContextProperty(c, CERT_SHA1_HASH_PROP_ID, sha1, &cb));
        Stored& s = out[Hex(sha1, 20)];
        s.der.assign(c->pbCertEncoded, c->pbCertEncoded + c->cbCertEncoded);
        cb = 0;
        if (CertGetCertificateContextProperty(c, CERT_KEY_PROV_INFO_PROP_ID, nullptr, &cb))
        {
            Bytes buf(cb);
            EXPECT_TRUE(CertGetCertificateContextProperty(c, CERT_KEY_PROV_INFO_PROP_ID, buf.data(), &cb));
            auto* kp = reinterpret_cast<CRYPT_KEY_PROV_INFO*>(buf.data());
            s.container = Narrow(kp->pwszContainerName);
            s.provider = Narrow(kp->pwszProvName);
            s.provType = kp->dwProvType;
            s.flags = kp->dwFlags;
            s.keySpec = kp->dwKeySpec;
        }
        cb = 0;
        if (CertGetCertificateContextProperty(c, CERT_FRIENDLY_NAME_PROP_ID, nullptr, &cb))
        {
            std::u16string fn(cb / 2, u'\0');
            EXPECT_TRUE(CertGetCertificateContextProperty(c, CERT_FRIENDLY_NAME_PROP_ID, fn.data(), &cb));
            s.friendly = Narrow(fn.c_str());
        }
    }
    CertCloseStore(store, 0);
    return out;
}

// The raw Blobs under ...\<store>\Certificates, by key name; each must be whole records.
std::map<std::string, Bytes> ReadBlobs(HKEY root, const std::u16string& certsKey)
{
    std::map<std::string, Bytes> out;
    HKEY k = nullptr;
    if (RegOpenKeyExW(root, certsKey.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS)
        return out;
    for (DWORD i = 0;; ++i)
    {
        WCHAR name[256];
        DWORD cch = 256;
        if (RegEnumKeyExW(k, i, name, &cch, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        HKEY sub = nullptr;
        EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyExW(k, name, 0, KEY_READ, &sub));
        DWORD type = 0, cb = 0;
        EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExW(sub, u"Blob", nullptr, &type, nullptr, &cb));
        Bytes blob(cb);
        EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExW(sub, u"Blob", nullptr, &type, blob.data(), &cb));
        EXPECT_EQ(DWORD(REG_BINARY), type);
        RegCloseKey(sub);
        out[Narrow(name)] = blob;
    }
    RegCloseKey(k);
    return out;
}

// The DER certificate of a Blob (record 32), after checking that its records fill it exactly.
Bytes CertificateOf(const Bytes& blob)
{
    std::map<DWORD, Bytes> records;
    EXPECT_TRUE(BlobRecords(blob, records)) << "records do not fill the Blob";
    return records[CERT_CERT_PROP_ID];
}

std::string ThumbprintOf(const Bytes& der)
{
    PCCERT_CONTEXT c = CertCreateCertificateContext(kEnc, der.data(), DWORD(der.size()));
    EXPECT_NE(nullptr, c);
    if (!c)
        return {};
    BYTE sha1[20];
    DWORD cb = sizeof sha1;
    EXPECT_TRUE(CertGetCertificateContextProperty(c, CERT_SHA1_HASH_PROP_ID, sha1, &cb));
    CertFreeCertificateContext(c);
    return Hex(sha1, 20);
}
} // namespace

class StoreProcessesTest : public CryptTest
{
protected:
    // Certificates made by openssl, as files the helpers read.
    std::vector<std::string> MakeFiles(const std::string& prefix, int count)
    {
        std::vector<std::string> files;
        for (int i = 0; i < count; ++i)
        {
            qm::test::CertSpec spec;
            spec.subject = "/CN=" + prefix + " " + std::to_string(i) + "/O=Quill";
            spec.serial = "0x" + std::to_string(1000 + s_serial++);
            std::string name = prefix + std::to_string(i);
            m_ders[name + ".der"] = Factory().Make(spec, name);
            files.push_back((Factory().Dir() / (name + ".der")).string());
        }
        return files;
    }

    std::map<std::string, qm::test::Der> m_ders; // by file name
    static inline int s_serial = 0;
};

TEST_F(StoreProcessesTest, CertificatesAndTheirPropertiesSurviveTheProcessThatAddedThem)
{
    auto mine = MakeFiles("mine", 2);
    auto ca = MakeFiles("ca", 1);
    int status = -1;
    auto added = RunHelper("user", "MY", CERT_STORE_ADD_NEW, "p1", mine, &status);
    ASSERT_EQ(0, status);
    EXPECT_EQ((std::map<std::string, std::string>{{"mine0.der", "0"}, {"mine1.der", "0"}}), added);
    added = RunHelper("machine", "CA", CERT_STORE_ADD_NEW, "p1", ca, &status);
    ASSERT_EQ(0, status);
    EXPECT_EQ((std::map<std::string, std::string>{{"ca0.der", "0"}}), added);

    // The test process, not elevated, reads both back with the properties set over there.
    auto my = ReadStore(CERT_SYSTEM_STORE_CURRENT_USER, u"MY");
    ASSERT_EQ(2u, my.size());
    for (const char* file : {"mine0.der", "mine1.der"})
    {
        SCOPED_TRACE(file);
        const Stored& s = my[ThumbprintOf(m_ders[file])];
        EXPECT_EQ(m_ders[file], s.der);
        EXPECT_EQ(std::string("p1-") + file, s.container);
        EXPECT_EQ("Microsoft Enhanced Cryptographic Provider v1.0", s.provider);
        EXPECT_EQ(DWORD(PROV_RSA_FULL), s.provType);
        EXPECT_EQ(0u, s.flags);
        EXPECT_EQ(DWORD(AT_KEYEXCHANGE), s.keySpec);
        EXPECT_EQ(std::string("p1-") + file, s.friendly);
    }
    auto machineCa = ReadStore(CERT_SYSTEM_STORE_LOCAL_MACHINE, u"CA");
    ASSERT_EQ(1u, machineCa.size());
    const Stored& s = machineCa.begin()->second;
    EXPECT_EQ(m_ders["ca0.der"], s.der);
    EXPECT_EQ("p1-ca0.der", s.container);
    EXPECT_EQ(DWORD(CRYPT_MACHINE_KEYSET), s.flags);
    EXPECT_EQ("p1-ca0.der", s.friendly);
    // Each certificate is in the one store it was added to.
    EXPECT_TRUE(ReadStore(CERT_SYSTEM_STORE_CURRENT_USER, u"CA").empty());
    EXPECT_TRUE(ReadStore(CERT_SYSTEM_STORE_LOCAL_MACHINE, u"MY").empty());

    // The key name is the SHA-1 thumbprint openssl computes over the certificate in the Blob.
    auto blobs = ReadBlobs(HKEY_LOCAL_MACHINE, kMachineCerts + u"CA\\Certificates");
    ASSERT_EQ(1u, blobs.size());
    Factory().WriteFile("from-blob.der", CertificateOf(blobs.begin()->second));
    std::string fingerprint;
    ASSERT_EQ(0, qm::test::CertFactory::Run("openssl x509 -inform DER -noout -fingerprint -sha1 -in " +
                                                (Factory().Dir() / "from-blob.der").string(),
                                            &fingerprint));
    std::string digits;
    for (char c : fingerprint.substr(fingerprint.find('=') + 1))
        if (std::isxdigit(static_cast<unsigned char>(c)))
            digits += char(std::toupper(static_cast<unsigned char>(c)));
    EXPECT_EQ(digits, blobs.begin()->first);

    // A later process that opens the store finds the certificate: CERT_STORE_ADD_NEW fails.
    added = RunHelper("user", "MY", CERT_STORE_ADD_NEW, "p2", {mine[0]}, &status);
    ASSERT_EQ(0, status);
    char exists[16];
    std::snprintf(exists, sizeof exists, "%lx", static_cast<unsigned long>(DWORD(CRYPT_E_EXISTS)));
    EXPECT_EQ(exists, added["mine0.der"]);
    EXPECT_EQ("p1-mine0.der", ReadStore(CERT_SYSTEM_STORE_CURRENT_USER, u"MY")[ThumbprintOf(m_ders["mine0.der"])]
                                  .container);
}

TEST_F(StoreProcessesTest, FourProcessesAddingToOneMachineStoreAtOnceLoseNothing)
{
    constexpr int kProcesses = 4, kEach = 5;
    std::vector<std::vector<std::string>> files;
    for (int p = 0; p < kProcesses; ++p)
        files.push_back(MakeFiles("at" + std::to_string(p) + "-", kEach));

    std::vector<Helper> helpers;
    for (int p = 0; p < kProcesses; ++p)
        helpers.push_back(Start("machine", "CA", CERT_STORE_ADD_NEW, "w" + std::to_string(p), true, files[p]));
    for (auto& h : helpers)
        ASSERT_EQ("open", ReadLine(h.out));
    // All four go on at the same moment.
    for (auto& h : helpers)
    {
        close(h.in);
        h.in = -1;
    }
    for (int p = 0; p < kProcesses; ++p)
    {
        int status = -1;
        auto results = Finish(helpers[p], &status);
        EXPECT_EQ(0, status);
        EXPECT_EQ(size_t(kEach), results.size());
        for (const auto& [file, error] : results)
            EXPECT_EQ("0", error) << file;
    }

    auto stored = ReadStore(CERT_SYSTEM_STORE_LOCAL_MACHINE, u"CA");
    EXPECT_EQ(size_t(kProcesses * kEach), stored.size());
    for (int p = 0; p < kProcesses; ++p)
        for (int i = 0; i < kEach; ++i)
        {
            std::string file = "at" + std::to_string(p) + "-" + std::to_string(i) + ".der";
            SCOPED_TRACE(file);
            auto it = stored.find(ThumbprintOf(m_ders[file]));
            ASSERT_NE(stored.end(), it);
            EXPECT_EQ(m_ders[file], it->second.der);
            EXPECT_EQ("w" + std::to_string(p) + "-" + file, it->second.container);
            EXPECT_EQ("w" + std::to_string(p) + "-" + file, it->second.friendly);
        }
    auto blobs = ReadBlobs(HKEY_LOCAL_MACHINE, kMachineCerts + u"CA\\Certificates");
    EXPECT_EQ(size_t(kProcesses * kEach), blobs.size());
    for (const auto& [key, blob] : blobs)
        EXPECT_EQ(key, ThumbprintOf(CertificateOf(blob)));
}

TEST_F(StoreProcessesTest, TwoProcessesAddingTheSameCertificateAsNewLeaveOneWholeCopy)
{
    auto file = MakeFiles("same", 1);
    // Both open the store before either adds: each adds against the copy it read, so both
    // succeed, as on Windows; the registry holds a single copy, the Blob of one of them.
    for (const char* location : {"user", "machine"})
    {
        SCOPED_TRACE(location);
        Helper a = Start(location, "MY", CERT_STORE_ADD_NEW, "a", true, file);
        Helper b = Start(location, "MY", CERT_STORE_ADD_NEW, "b", true, file);
        ASSERT_EQ("open", ReadLine(a.out));
        ASSERT_EQ("open", ReadLine(b.out));
        close(a.in);
        close(b.in);
        a.in = b.in = -1;
        int statusA = -1, statusB = -1;
        auto ra = Finish(a, &statusA);
        auto rb = Finish(b, &statusB);
        EXPECT_EQ(0, statusA);
        EXPECT_EQ(0, statusB);
        EXPECT_EQ("0", ra["same0.der"]);
        EXPECT_EQ("0", rb["same0.der"]);

        bool machine = std::string(location) == "machine";
        auto stored = ReadStore(machine ? CERT_SYSTEM_STORE_LOCAL_MACHINE : CERT_SYSTEM_STORE_CURRENT_USER, u"MY");
        ASSERT_EQ(1u, stored.size());
        const Stored& s = stored.begin()->second;
        EXPECT_EQ(m_ders["same0.der"], s.der);
        // The properties belong together: both from a, or both from b.
        EXPECT_TRUE(s.container == "a-same0.der" || s.container == "b-same0.der") << s.container;
        EXPECT_EQ(s.container, s.friendly);
        auto blobs = ReadBlobs(machine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER,
                               (machine ? kMachineCerts : kUserCerts) + u"MY\\Certificates");
        ASSERT_EQ(1u, blobs.size());
        EXPECT_EQ(m_ders["same0.der"], CertificateOf(blobs.begin()->second));
    }
}

TEST_F(StoreProcessesTest, AStoreOpenedWhileOthersAddHoldsEachCertificateOnce)
{
    // Certificates the store held before; then four processes add theirs while this one
    // opens the store again and again.
    auto before = MakeFiles("before", 6);
    qm::SetProcessElevated(true);
    HCERTSTORE ca = CertOpenStore(CERT_STORE_PROV_SYSTEM_W, kEnc, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, u"CA");
    ASSERT_NE(nullptr, ca);
    for (int i = 0; i < 6; ++i)
    {
        const auto& der = m_ders["before" + std::to_string(i) + ".der"];
        ASSERT_TRUE(CertAddEncodedCertificateToStore(ca, kEnc, der.data(), DWORD(der.size()), CERT_STORE_ADD_NEW,
                                                     nullptr));
    }
    CertCloseStore(ca, 0);
    qm::SetProcessElevated(false);

    constexpr int kProcesses = 4, kEach = 10;
    std::vector<Helper> helpers;
    for (int p = 0; p < kProcesses; ++p)
        helpers.push_back(Start("machine", "CA", CERT_STORE_ADD_NEW, "r" + std::to_string(p), true,
                                MakeFiles("during" + std::to_string(p) + "-", kEach)));
    for (auto& h : helpers)
        ASSERT_EQ("open", ReadLine(h.out));
    for (auto& h : helpers)
    {
        close(h.in);
        h.in = -1;
    }
    auto running = [&] {
        for (auto& h : helpers)
        {
            siginfo_t info{};
            if (waitid(P_PID, id_t(h.pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == 0)
                return true;
        }
        return false;
    };
    int openings = 0;
    do
    {
        ++openings;
        HCERTSTORE view = CertOpenStore(CERT_STORE_PROV_SYSTEM_W, kEnc, 0,
                                        CERT_SYSTEM_STORE_LOCAL_MACHINE | CERT_STORE_READONLY_FLAG, u"CA");
        ASSERT_NE(nullptr, view);
        std::map<std::string, int> seen;
        PCCERT_CONTEXT c = nullptr;
        while ((c = CertEnumCertificatesInStore(view, c)) != nullptr)
            ++seen[ThumbprintOf(Bytes(c->pbCertEncoded, c->pbCertEncoded + c->cbCertEncoded))];
        CertCloseStore(view, 0);
        for (const auto& [thumb, n] : seen)
            ASSERT_EQ(1, n) << "opening " << openings << " holds " << thumb << " " << n << " times";
        for (int i = 0; i < 6; ++i)
            ASSERT_EQ(1u, seen.count(ThumbprintOf(m_ders["before" + std::to_string(i) + ".der"])))
                << "opening " << openings;
    } while (running());
    for (auto& h : helpers)
    {
        int status = -1;
        auto results = Finish(h, &status);
        EXPECT_EQ(0, status);
        EXPECT_EQ(size_t(kEach), results.size());
    }
    EXPECT_EQ(size_t(6 + kProcesses * kEach), ReadStore(CERT_SYSTEM_STORE_LOCAL_MACHINE, u"CA").size());
}
