// A process changing key containers can be killed at any moment: what it reported done is
// there, the change it was in the middle of is there whole or not at all, and the temporary
// file it may leave (holding a private key) goes with the next change of that container.
#include <sys/stat.h>

#include <map>
#include <optional>
#include <set>
#include <sstream>

#include "csp_fixture.h"
#include "qm/killed_child.h"

namespace
{
const std::string kProvider = "Microsoft Enhanced Cryptographic Provider v1.0";
constexpr int kContainers = 3;

struct Container
{
    bool exists = false;
    std::map<DWORD, std::string> pub; // PUBLICKEYBLOB hex by key specification
    bool operator==(const Container& o) const { return exists == o.exists && pub == o.pub; }
};

struct Change
{
    std::string verb, name;
    DWORD spec = 0;
};

std::string FileStem(const std::string& name)
{
    static const char* hex = "0123456789abcdef";
    std::string s;
    for (unsigned char c : name)
        s += {hex[c >> 4], hex[c & 15]};
    return s + ".key";
}

std::string PublicKeyHex(HCRYPTPROV h, DWORD spec)
{
    HCRYPTKEY key = 0;
    if (!CryptGetUserKey(h, spec, &key))
        return {};
    DWORD size = 0;
    std::string hex;
    if (CryptExportKey(key, 0, PUBLICKEYBLOB, 0, nullptr, &size))
    {
        Bytes blob(size);
        if (CryptExportKey(key, 0, PUBLICKEYBLOB, 0, blob.data(), &size))
            for (DWORD i = 0; i < size; ++i)
            {
                char two[3];
                std::snprintf(two, sizeof two, "%02x", blob[i]);
                hex += two;
            }
    }
    CryptDestroyKey(key);
    return hex;
}

Container Actual(const std::string& name)
{
    Container c;
    std::u16string wide(name.begin(), name.end());
    HCRYPTPROV h = 0;
    if (!CryptAcquireContextW(&h, wide.c_str(), MS_ENHANCED_PROV_W, PROV_RSA_FULL, 0))
    {
        EXPECT_EQ(DWORD(NTE_BAD_KEYSET), GetLastError()) << name;
        return c;
    }
    c.exists = true;
    for (DWORD spec : {DWORD(AT_KEYEXCHANGE), DWORD(AT_SIGNATURE)})
        if (std::string pub = PublicKeyHex(h, spec); !pub.empty())
            c.pub[spec] = pub;
    CryptReleaseContext(h, 0);
    return c;
}
} // namespace

class ContainerKillTest : public CspTest
{
  protected:
    // The user's folder: the one beside the machine's own keys.
    std::filesystem::path Folder() const
    {
        std::error_code ec;
        for (const auto& entry : std::filesystem::directory_iterator(m_dir / "crypto" / "RSA", ec))
            if (entry.is_directory() && entry.path().filename() != "MachineKeys")
                return entry.path();
        return {};
    }

    // Temporary files in the user's folder, by the container file they belong to.
    std::map<std::string, std::vector<std::filesystem::path>> Leftovers() const
    {
        std::map<std::string, std::vector<std::filesystem::path>> out;
        std::error_code ec;
        for (const auto& entry : std::filesystem::directory_iterator(Folder(), ec))
        {
            std::string file = entry.path().filename().string();
            if (size_t at = file.find(".key.tmp"); at != std::string::npos)
                out[file.substr(0, at + 4)].push_back(entry.path());
        }
        return out;
    }

    // Takes in what a run reported done; the change it began and did not report.
    std::optional<Change> Apply(const qm::test::KilledRun& run)
    {
        std::optional<Change> open;
        for (const auto& line : run.lines)
        {
            std::istringstream in(line);
            Change c;
            in >> c.verb >> c.name >> c.spec;
            Container& model = m_model[c.name];
            if (c.verb == "created" || c.verb == "deleted")
                model = Container{c.verb == "created", {}};
            else if (c.verb == "genkeyed")
                in >> model.pub[c.spec];
            else
            {
                open = c;
                continue;
            }
            m_dirty.erase(c.name);
            open.reset();
        }
        if (open)
            m_dirty.insert(open->name);
        return open;
    }

    void Check(const std::optional<Change>& open)
    {
        for (int i = 0; i < kContainers; ++i)
        {
            std::string name = "kill" + std::to_string(i);
            SCOPED_TRACE(name);
            Container actual = Actual(name);
            Container& model = m_model[name];
            if (!open || open->name != name)
            {
                EXPECT_TRUE(model == actual);
                continue;
            }
            // The open change: whole or not at all.
            if (open->verb == "create")
                EXPECT_TRUE(actual.pub.empty());
            else if (open->verb == "delete")
                EXPECT_TRUE(!actual.exists || actual == model);
            else
            {
                EXPECT_TRUE(actual.exists);
                DWORD other = open->spec == AT_KEYEXCHANGE ? AT_SIGNATURE : AT_KEYEXCHANGE;
                auto keyOf = [other](const Container& c) {
                    auto it = c.pub.find(other);
                    return it == c.pub.end() ? std::string() : it->second;
                };
                EXPECT_EQ(keyOf(model), keyOf(actual));
                EXPECT_TRUE(actual.pub.count(open->spec) == 1 || model.pub.count(open->spec) == 0);
            }
            model = actual;
        }
        // Leftovers only of containers whose writer was killed and that nothing changed since.
        for (const auto& [stem, files] : Leftovers())
        {
            bool dirty = false;
            for (const auto& name : m_dirty)
                dirty = dirty || FileStem(name) == stem;
            EXPECT_TRUE(dirty) << stem << " keeps a temporary file";
            for (const auto& file : files)
                EXPECT_EQ(std::filesystem::perms::owner_read | std::filesystem::perms::owner_write,
                          std::filesystem::status(file).permissions() & std::filesystem::perms::all);
        }
    }

    std::map<std::string, Container> m_model; // as last reported
    std::set<std::string> m_dirty;            // written by a killed writer since their last change
};

TEST_F(ContainerKillTest, AWriterKilledAtAnyMomentLosesNothingAndItsLeftoversGo)
{
    int amongWrites = 0; // rounds killed after their first change began
    qm::test::KillAtRandomMoments(
        QM_CONTAINER_KILL_WRITER, {kProvider, std::to_string(kContainers)}, 50,
        [&](const qm::test::KilledRun& run) { Check(Apply(run)); }, &amongWrites);
    if (HasFailure())
        return;
    EXPECT_GT(amongWrites, 25);

    // The next change of each container takes what a killed writer left.
    for (int i = 0; i < kContainers; ++i)
    {
        std::string name = "kill" + std::to_string(i);
        std::u16string wide(name.begin(), name.end());
        DWORD e = AcquireError(wide.c_str(), MS_ENHANCED_PROV_W, CRYPT_DELETEKEYSET);
        EXPECT_TRUE(e == 0 || e == DWORD(NTE_BAD_KEYSET)) << std::hex << e;
    }
    EXPECT_TRUE(Leftovers().empty());
}

TEST_F(ContainerKillTest, AWriterKilledBetweenWritingAndRenamingLeavesTheOldContainer)
{
    const std::vector<std::string> hook{"QM_KILL_AT=container-temp-written"};
    const std::vector<std::string> args{kProvider, "1"};
    // Killed creating: no container, a temporary file the next creation removes.
    auto run = qm::test::RunAndKill(QM_CONTAINER_KILL_WRITER, args, hook, std::chrono::seconds(5));
    ASSERT_TRUE(run.ready);
    ASSERT_TRUE(run.killed);
    EXPECT_EQ(std::vector<std::string>{"create kill0"}, run.lines);
    EXPECT_FALSE(Actual("kill0").exists);
    EXPECT_EQ(1u, Leftovers().size());
    HCRYPTPROV h = Acquire(u"kill0", MS_ENHANCED_PROV_W, CRYPT_NEWKEYSET);
    CryptReleaseContext(h, 0);
    EXPECT_TRUE(Leftovers().empty());

    // Killed writing a key: the container as it was; the temporary file, which holds the new
    // private key, readable by the owner only and gone with the deletion of the container.
    run = qm::test::RunAndKill(QM_CONTAINER_KILL_WRITER, args, hook, std::chrono::seconds(5));
    ASSERT_TRUE(run.killed);
    EXPECT_EQ(std::vector<std::string>{"genkey kill0 1"}, run.lines);
    Container c = Actual("kill0");
    EXPECT_TRUE(c.exists);
    EXPECT_TRUE(c.pub.empty());
    auto left = Leftovers();
    ASSERT_EQ(1u, left.size());
    ASSERT_EQ(1u, left.begin()->second.size());
    EXPECT_EQ(std::filesystem::perms::owner_read | std::filesystem::perms::owner_write,
              std::filesystem::status(left.begin()->second[0]).permissions() & std::filesystem::perms::all);
    EXPECT_GT(std::filesystem::file_size(left.begin()->second[0]), 300u); // a 512-bit PRIVATEKEYBLOB
    EXPECT_EQ(0u, AcquireError(u"kill0", MS_ENHANCED_PROV_W, CRYPT_DELETEKEYSET));
    EXPECT_TRUE(Leftovers().empty());
}
