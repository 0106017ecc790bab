// The files behind the key containers: the user's name must be one folder of the machine,
// and temporary files of a write never outlive the next change of their container.
#include <sys/stat.h>

#include <cstdlib>
#include <fstream>
#include <set>

#include "csp_fixture.h"

namespace
{
// Every path below `dir`.
std::set<std::string> Tree(const std::filesystem::path& dir)
{
    std::set<std::string> paths;
    std::error_code ec;
    for (auto it = std::filesystem::recursive_directory_iterator(dir, ec);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ec))
        paths.insert(it->path().lexically_relative(dir).string());
    return paths;
}

class ScopedUser
{
  public:
    explicit ScopedUser(const char* name)
    {
        if (const char* old = std::getenv("USER"))
            m_old = old;
        ::setenv("USER", name, 1);
    }
    ~ScopedUser()
    {
        if (m_old.empty())
            ::unsetenv("USER");
        else
            ::setenv("USER", m_old.c_str(), 1);
    }

  private:
    std::string m_old;
};

std::filesystem::path UserFolder(const std::filesystem::path& machine, const std::string& user)
{
    return machine / "crypto" / "RSA" / user;
}
} // namespace

TEST_F(CspTest, AUserNameThatIsNotOneFolderIsRefusedAndWritesNothing)
{
    const std::filesystem::path outside = m_dir.parent_path() / ("qm-outside-" + std::to_string(::getpid()));
    for (const char* user : {"../../../qm-outside", "a/b", "a\\b", "..", ".", "/tmp"})
    {
        SCOPED_TRACE(user);
        ScopedUser scoped(user);
        auto before = Tree(m_dir);
        EXPECT_EQ(DWORD(ERROR_INVALID_NAME), AcquireError(u"c", MS_ENHANCED_PROV_W, CRYPT_NEWKEYSET));
        EXPECT_EQ(DWORD(ERROR_INVALID_NAME), AcquireError(nullptr, MS_ENHANCED_PROV_W, CRYPT_NEWKEYSET));
        EXPECT_EQ(DWORD(ERROR_INVALID_NAME), AcquireError(u"c", MS_ENHANCED_PROV_W, 0));
        EXPECT_EQ(DWORD(ERROR_INVALID_NAME), AcquireError(u"c", MS_ENHANCED_PROV_W, CRYPT_DELETEKEYSET));
        EXPECT_EQ(before, Tree(m_dir));
        EXPECT_FALSE(std::filesystem::exists(m_dir.parent_path() / "qm-outside"));
        EXPECT_FALSE(std::filesystem::exists(outside));

        // Hashing needs no container, and the machine's own keys no user folder.
        HCRYPTPROV h = Acquire(nullptr, MS_ENHANCED_PROV_W, CRYPT_VERIFYCONTEXT);
        HCRYPTHASH hash = 0;
        EXPECT_TRUE(CryptCreateHash(h, CALG_SHA1, 0, 0, &hash));
        CryptDestroyHash(hash);
        CryptReleaseContext(h, 0);
        CryptReleaseContext(Acquire(u"m", MS_ENHANCED_PROV_W, CRYPT_NEWKEYSET | CRYPT_MACHINE_KEYSET), 0);
        EXPECT_EQ(0u, AcquireError(u"m", MS_ENHANCED_PROV_W, CRYPT_DELETEKEYSET | CRYPT_MACHINE_KEYSET));
    }
    // Dots inside a name are an ordinary folder.
    ScopedUser scoped("first.last");
    CryptReleaseContext(Acquire(nullptr, MS_ENHANCED_PROV_W, CRYPT_NEWKEYSET), 0);
    EXPECT_TRUE(std::filesystem::is_directory(UserFolder(m_dir, "first.last")));
}

TEST_F(CspTest, TemporaryFilesOfAContainerGoWithItsNextWriteOrDelete)
{
    ScopedUser scoped("tester");
    HCRYPTPROV h = Acquire(u"kept", MS_ENHANCED_PROV_W, CRYPT_NEWKEYSET);
    CryptReleaseContext(Acquire(u"other", MS_ENHANCED_PROV_W, CRYPT_NEWKEYSET), 0);
    const auto folder = UserFolder(m_dir, "tester");
    std::filesystem::path file, otherFile;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        if (entry.path().extension() == ".key")
            (entry.path().filename().string().rfind("6b657074", 0) == 0 ? file : otherFile) = entry.path();
    ASSERT_FALSE(file.empty()); // "kept" in hex
    ASSERT_FALSE(otherFile.empty());
    EXPECT_EQ(std::filesystem::perms::owner_read | std::filesystem::perms::owner_write,
              std::filesystem::status(file).permissions() & std::filesystem::perms::all);

    // What a writer killed between writing and renaming leaves behind.
    auto plant = [](const std::filesystem::path& of, int n) {
        auto temp = of;
        temp += ".tmp" + std::to_string(90000 + n) + ".0";
        std::ofstream(temp) << "private key";
        return temp;
    };
    auto left1 = plant(file, 1), left2 = plant(file, 2), otherLeft = plant(otherFile, 3);

    // Reading the container removes nothing; the next write removes its leftovers only.
    HCRYPTKEY key = 0;
    EXPECT_FALSE(CryptGetUserKey(h, AT_KEYEXCHANGE, &key));
    EXPECT_TRUE(std::filesystem::exists(left1));
    ASSERT_TRUE(CryptGenKey(h, AT_KEYEXCHANGE, 512 << 16, &key)) << std::hex << GetLastError();
    CryptDestroyKey(key);
    CryptReleaseContext(h, 0);
    EXPECT_FALSE(std::filesystem::exists(left1));
    EXPECT_FALSE(std::filesystem::exists(left2));
    EXPECT_TRUE(std::filesystem::exists(otherLeft));

    // Deleting a container removes its leftovers, and so does deleting one whose creation
    // was killed before its file was in place.
    EXPECT_EQ(0u, AcquireError(u"other", MS_ENHANCED_PROV_W, CRYPT_DELETEKEYSET));
    EXPECT_FALSE(std::filesystem::exists(otherLeft));
    otherLeft = plant(otherFile, 4);
    EXPECT_EQ(DWORD(NTE_BAD_KEYSET), AcquireError(u"other", MS_ENHANCED_PROV_W, CRYPT_DELETEKEYSET));
    EXPECT_FALSE(std::filesystem::exists(otherLeft));

    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    EXPECT_EQ((std::set<std::string>{".lock", file.filename().string()}), names);
}

// A user without keys has no folder yet: the walk simply ends. A folder that is there but
// cannot be read fails the walk with its error, never as an empty list.
TEST_F(CspTest, AContainerFolderThatCannotBeReadFailsTheWalkNotEndsIt)
{
    ScopedUser scoped("tester");
    auto firstError = [](HCRYPTPROV h, bool sizeQuery) {
        std::vector<char> name(MAX_PATH + 1);
        DWORD size = DWORD(name.size());
        if (CryptGetProvParam(h, PP_ENUMCONTAINERS, sizeQuery ? nullptr : reinterpret_cast<BYTE*>(name.data()),
                              &size, CRYPT_FIRST))
            return DWORD(0);
        return GetLastError();
    };
    HCRYPTPROV h = Acquire(nullptr, MS_ENHANCED_PROV_W, CRYPT_VERIFYCONTEXT);
    const auto folder = UserFolder(m_dir, "tester");
    ASSERT_FALSE(std::filesystem::exists(folder));
    EXPECT_EQ(DWORD(ERROR_NO_MORE_ITEMS), firstError(h, false));

    // Something that is not a folder where the folder should be.
    std::filesystem::create_directories(folder.parent_path());
    std::ofstream(folder) << "not a folder";
    EXPECT_EQ(DWORD(ERROR_DIRECTORY), firstError(h, true));
    EXPECT_EQ(DWORD(ERROR_DIRECTORY), firstError(h, false));
    DWORD size = MAX_PATH + 1;
    std::vector<char> name(size);
    EXPECT_FALSE(CryptGetProvParam(h, PP_ENUMCONTAINERS, reinterpret_cast<BYTE*>(name.data()), &size, CRYPT_NEXT));
    EXPECT_EQ(DWORD(ERROR_DIRECTORY), GetLastError()) << "a failed read is not a walk begun";

    // Once the folder can be read, the walk goes on as usual.
    std::filesystem::remove(folder);
    CryptReleaseContext(Acquire(u"kept", MS_ENHANCED_PROV_W, CRYPT_NEWKEYSET), 0);
    EXPECT_EQ(0u, firstError(h, false));

    // Permissions hold back only a user who is not root.
    if (::geteuid() != 0)
    {
        std::filesystem::permissions(folder, std::filesystem::perms::none);
        EXPECT_EQ(DWORD(ERROR_ACCESS_DENIED), firstError(h, false));
        std::filesystem::permissions(folder, std::filesystem::perms::owner_all);
    }
    CryptReleaseContext(h, 0);
}
