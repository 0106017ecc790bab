// Containers live in the machine: another process sees them, and processes working at
// once lose nothing.
#include <spawn.h>
#include <sys/wait.h>

#include "csp_fixture.h"

extern char** environ;

namespace
{
pid_t Spawn(std::vector<std::string> args, int outFd = -1)
{
    args.insert(args.begin(), QM_CSP_KEY_HELPER);
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (outFd >= 0)
        posix_spawn_file_actions_adddup2(&actions, outFd, 1);
    pid_t pid = -1;
    EXPECT_EQ(0, posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ));
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

int Wait(pid_t pid)
{
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string Output(std::vector<std::string> args, int* status)
{
    int fds[2];
    EXPECT_EQ(0, pipe(fds));
    pid_t pid = Spawn(std::move(args), fds[1]);
    close(fds[1]);
    std::string out;
    char buf[256];
    for (ssize_t n; (n = read(fds[0], buf, sizeof buf)) > 0;)
        out.append(buf, size_t(n));
    close(fds[0]);
    *status = Wait(pid);
    return out;
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
