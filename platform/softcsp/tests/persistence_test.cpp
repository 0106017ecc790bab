// Containers live in the machine: another process sees them, and processes working at
// once lose nothing.
#include "csp_fixture.h"
#include "qm/child_process.h"

namespace
{
pid_t Spawn(std::vector<std::string> args)
{
    pid_t pid = qm::test::SpawnChild(QM_CSP_KEY_HELPER, std::move(args));
    EXPECT_NE(-1, pid);
    return pid;
}

int Wait(pid_t pid)
{
    return qm::test::WaitChild(pid);
}

std::string Output(std::vector<std::string> args, int* status)
{
    return qm::test::ChildOutput(QM_CSP_KEY_HELPER, std::move(args), status);
}

const std::string kEnhanced = "Microsoft Enhanced Cryptographic Provider v1.0";
} // namespace

TEST_F(CspTest, KeysSurviveTheProcessThatMadeThem)
{
    HCRYPTPROV h = Acquire(u"kept", MS_ENHANCED_PROV_W, CRYPT_NEWKEYSET);
    HCRYPTKEY key = 0;
    ASSERT_TRUE(CryptGenKey(h, AT_KEYEXCHANGE, 1024 << 16, &key));
    Bytes pub = Export(key, PUBLICKEYBLOB);
    CryptDestroyKey(key);
    CryptReleaseContext(h, 0);

    int status = -1;
    std::string hex = Output({"pub", kEnhanced, "kept", "1"}, &status);
    ASSERT_EQ(0, status);
    std::string expected;
    for (BYTE b : pub)
    {
        char two[3];
        std::snprintf(two, sizeof two, "%02x", b);
        expected += two;
    }
    EXPECT_EQ(expected, hex);

    // And the other way round: a key another process adds is the container's key here.
    ASSERT_EQ(0, Wait(Spawn({"genkey", kEnhanced, "kept", "2"})));
    h = Acquire(u"kept", MS_ENHANCED_PROV_W, 0);
    EXPECT_TRUE(CryptGetUserKey(h, AT_SIGNATURE, &key));
    CryptDestroyKey(key);
    CryptReleaseContext(h, 0);
}

TEST_F(CspTest, ProcessesAddingAtOnceLoseNothing)
{
    CryptReleaseContext(Acquire(u"shared", MS_ENHANCED_PROV_W, CRYPT_NEWKEYSET), 0);
    std::vector<pid_t> pids = {
        Spawn({"containers", kEnhanced, "first-", "6"}),
        Spawn({"containers", kEnhanced, "second-", "6"}),
        Spawn({"genkey", kEnhanced, "shared", "1"}),
        Spawn({"genkey", kEnhanced, "shared", "2"}),
    };
    for (pid_t pid : pids)
        EXPECT_EQ(0, Wait(pid));

    for (const char* prefix : {"first-", "second-"})
        for (int i = 0; i < 6; ++i)
        {
            std::string name = prefix + std::to_string(i);
            std::u16string wide(name.begin(), name.end());
            HCRYPTPROV h = Acquire(wide.c_str(), MS_ENHANCED_PROV_W, 0);
            HCRYPTKEY key = 0;
            EXPECT_TRUE(CryptGetUserKey(h, AT_KEYEXCHANGE, &key)) << name;
            CryptDestroyKey(key);
            CryptReleaseContext(h, 0);
        }
    HCRYPTPROV h = Acquire(u"shared", MS_ENHANCED_PROV_W, 0);
    for (DWORD spec : {AT_KEYEXCHANGE, AT_SIGNATURE})
    {
        HCRYPTKEY key = 0;
        EXPECT_TRUE(CryptGetUserKey(h, spec, &key)) << "key spec " << spec;
        CryptDestroyKey(key);
    }
    CryptReleaseContext(h, 0);
}
