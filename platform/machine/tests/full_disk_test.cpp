// A machine on a full disk: a process started then reads everything (registry, stores,
// providers, key containers); its writes fail with ERROR_DISK_FULL and change nothing; once
// there is room again, the machine is as it was and takes the same writes.
#include <errno.h>
#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <random>
#include <sstream>

#include "../../crypt32/tests/cert_factory.h"
#include "qm/child_process.h"
#include "qm/machine.h"
#include "windows.h"
#include "wincrypt.h"

namespace
{
constexpr DWORD kEnc = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;

using Lines = std::map<std::string, std::string>;

Lines Probe(std::vector<std::string> args)
{
    int status = -1;
    std::string out = qm::test::ChildOutput(QM_FULL_DISK_PROBE, std::move(args), &status);
    EXPECT_EQ(0, status) << out;
    Lines lines;
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);)
        lines[line.substr(0, line.find(' '))] = line.substr(line.find(' ') + 1);
    return lines;
}

} // namespace

class FullDiskTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (geteuid() != 0)
            GTEST_SKIP() << "mounting a small tmpfs for the machine needs root";
        // A mount namespace of this process: the tmpfs goes when the test ends, however it ends.
        if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
            GTEST_SKIP() << "no mount namespace for a tmpfs: " << std::strerror(errno);
        std::random_device rd;
        m_dir = std::filesystem::temp_directory_path() / ("qm-full-" + std::to_string(rd()));
        std::filesystem::create_directories(m_dir);
        if (mount("tmpfs", m_dir.c_str(), "tmpfs", 0, "size=4m,mode=0700") != 0)
        {
            std::filesystem::remove(m_dir);
            GTEST_SKIP() << "cannot mount a tmpfs: " << std::strerror(errno);
        }
        m_mounted = true;
        qm::SetMachineDirectory(m_dir);
        qm::SetProcessElevated(false); // decided now, before QM_ELEVATED is set for a child
    }
    void TearDown() override
    {
        qm::SetProcessElevated(false);
        if (m_mounted)
        {
            umount2(m_dir.c_str(), MNT_DETACH);
            std::error_code ec;
            std::filesystem::remove_all(m_dir, ec);
        }
    }

    // Writes until the disk has no room left.
    void Fill()
    {
        int fd = ::open((m_dir / "fill").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        ASSERT_GE(fd, 0);
        std::vector<char> block(4096, 'f');
        ssize_t n;
        while ((n = ::write(fd, block.data(), block.size())) > 0)
        {
        }
        EXPECT_EQ(ENOSPC, errno);
        ::close(fd);
    }
    void Free() { std::filesystem::remove(m_dir / "fill"); }

    std::filesystem::path m_dir;
    bool m_mounted = false;
};

TEST_F(FullDiskTest, ReadsWorkWritesFailWithDiskFullAndNothingIsLost)
{
    // A machine with providers, a root, a personal certificate, a value and a key container.
    qm::test::CertFactory factory;
    qm::test::CertSpec spec;
    spec.key = "ec";
    spec.subject = "/CN=Full disk root";
    factory.Make(spec, "root");
    spec.subject = "/CN=Full disk mine";
    spec.serial = "0x1002";
    factory.Make(spec, "mine");
    spec.subject = "/CN=Full disk new";
    spec.serial = "0x1003";
    factory.Make(spec, "new");
    const std::string newCert = (factory.Dir() / "new.der").string();

    // Made by another process: this one never opens the machine's hives, so when the disk
    // is full no process has them open, as after a restart.
    ::setenv("QM_ELEVATED", "1", 1);
    int status = -1;
    std::string rsaenh;
    for (const char16_t* p = QM_RSAENH_PATH; *p; ++p)
        rsaenh += char(*p);
    std::string out = qm::test::ChildOutput(QM_FULL_DISK_PROBE,
                                            {"setup", rsaenh, (factory.Dir() / "root.der").string(),
                                             (factory.Dir() / "mine.der").string()},
                                            &status);
    ::unsetenv("QM_ELEVATED");
    ASSERT_EQ(0, status) << out;

    const Lines before = Probe({"read"});
    EXPECT_EQ("kept", before.at("value"));
    EXPECT_EQ("1", before.at("root"));
    EXPECT_EQ("1", before.at("my"));
    EXPECT_GT(std::stoi(before.at("providers")), 0);
    EXPECT_GT(before.at("container").size(), 100u);

    Fill();
    // A process started on the full disk reads all of it.
    EXPECT_EQ(before, Probe({"read"}));

    // Every write fails as Windows reports a full disk, and leaves the machine as it was.
    const std::string diskFull = "70";          // ERROR_DISK_FULL
    const std::string diskFullHr = "80070070";  // as an HRESULT
    Lines writes = Probe({"write", newCert});
    EXPECT_EQ(diskFull, writes["set"]);
    EXPECT_EQ(diskFull, writes["add-value"]);
    EXPECT_EQ(diskFull, writes["create-key"]);
    EXPECT_EQ(diskFullHr, writes["add-cert"]);
    EXPECT_EQ(diskFull, writes["new-container"]);
    EXPECT_EQ(diskFull, writes["new-key"]);
    EXPECT_EQ(before, Probe({"read"}));

    // Room again: nothing was lost, no half-written file is left, and the writes go through.
    Free();
    EXPECT_EQ(before, Probe({"read"}));
    for (const auto& entry : std::filesystem::recursive_directory_iterator(m_dir))
    {
        std::string name = entry.path().filename().string();
        EXPECT_EQ(std::string::npos, name.find(".tmp")) << entry.path();
        if (name.find("-journal") != std::string::npos)
            EXPECT_EQ(0u, std::filesystem::file_size(entry.path())) << entry.path();
    }
    writes = Probe({"write", newCert});
    for (const char* what : {"set", "add-value", "create-key", "add-cert", "new-container", "new-key"})
        EXPECT_EQ("0", writes[what]) << what;
    Lines after = Probe({"read"});
    EXPECT_EQ("changed", after.at("value"));
    EXPECT_EQ("2", after.at("my"));
    EXPECT_NE(before.at("container"), after.at("container"));
}
