#include "containers.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "qm/machine.h"

namespace qm::softcsp
{
namespace
{
constexpr char kMagic[8] = {'Q', 'M', 'K', 'C', 'N', 'T', '0', '1'};

class CLock
{
  public:
    explicit CLock(const std::filesystem::path& dir)
    {
        m_fd = ::open((dir / ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (m_fd >= 0)
            ::flock(m_fd, LOCK_EX);
    }
    ~CLock()
    {
        if (m_fd >= 0)
            ::close(m_fd); // releases the lock
    }

  private:
    int m_fd = -1;
};

void PutU32(std::string& out, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(char(v >> (8 * i)));
}

bool GetU32(const std::string& in, size_t& at, uint32_t* v)
{
    if (at + 4 > in.size())
        return false;
    *v = 0;
    for (int i = 0; i < 4; ++i)
        *v |= uint32_t(uint8_t(in[at + i])) << (8 * i);
    at += 4;
    return true;
}

struct ContainerFile
{
    std::string name;
    std::vector<StoredKey> keys;
};

std::optional<ContainerFile> Read(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::stringstream buffer;
    buffer << in.rdbuf();
    std::string data = buffer.str();
    if (data.size() < sizeof kMagic || data.compare(0, sizeof kMagic, kMagic, sizeof kMagic) != 0)
        return std::nullopt;
    size_t at = sizeof kMagic;
    ContainerFile c;
    uint32_t length = 0, count = 0;
    if (!GetU32(data, at, &length) || at + length > data.size())
        return std::nullopt;
    c.name = data.substr(at, length);
    at += length;
    if (!GetU32(data, at, &count) || count > 16)
        return std::nullopt;
    for (uint32_t i = 0; i < count; ++i)
    {
        StoredKey k;
        uint32_t blobLength = 0;
        if (!GetU32(data, at, &k.spec) || !GetU32(data, at, &k.flags) ||
            !GetU32(data, at, &blobLength) || at + blobLength > data.size())
            return std::nullopt;
        k.blob.assign(data.begin() + long(at), data.begin() + long(at + blobLength));
        at += blobLength;
        c.keys.push_back(std::move(k));
    }
    return c;
}

bool Write(const std::filesystem::path& file, const ContainerFile& c)
{
    std::string data(kMagic, sizeof kMagic);
    PutU32(data, uint32_t(c.name.size()));
    data += c.name;
    PutU32(data, uint32_t(c.keys.size()));
    for (const auto& k : c.keys)
    {
        PutU32(data, k.spec);
        PutU32(data, k.flags);
        PutU32(data, uint32_t(k.blob.size()));
        data.append(reinterpret_cast<const char*>(k.blob.data()), k.blob.size());
    }
    static std::atomic<unsigned> counter{0};
    auto temp = file;
    temp += ".tmp" + std::to_string(::getpid()) + "." + std::to_string(counter++);
    int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    bool ok = ::write(fd, data.data(), data.size()) == ssize_t(data.size()) && ::fsync(fd) == 0;
    ::close(fd);
    std::error_code ec;
    if (ok)
        std::filesystem::rename(temp, file, ec);
    if (!ok || ec)
    {
        std::filesystem::remove(temp, ec);
        return false;
    }
    return true;
}

std::string UserName()
{
    if (const char* user = std::getenv("USER"); user && *user)
        return user;
    if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_name)
        return pw->pw_name;
    return "User";
}
} // namespace

std::string DefaultContainerName()
{
    return UserName();
}

CContainerStore::CContainerStore(bool machineKeys)
{
    m_dir = qm::MachineDirectory() / "crypto" / "RSA" /
            (machineKeys ? std::string("MachineKeys") : UserName());
    std::error_code ec;
    std::filesystem::create_directories(m_dir, ec);
}

std::filesystem::path CContainerStore::FileOf(const std::string& name) const
{
    // Container names may hold any character; the file is named by their hex form.
    static const char* hex = "0123456789abcdef";
    std::string file;
    for (unsigned char c : name)
    {
        file += hex[c >> 4];
        file += hex[c & 15];
    }
    // Long names are cut and told apart by their hash.
    if (file.size() > 200)
        file = file.substr(0, 180) + "-" + std::to_string(std::hash<std::string>{}(name));
    return m_dir / (file + ".key");
}

bool CContainerStore::Exists(const std::string& name) const
{
    auto c = Read(FileOf(name));
    return c && c->name == name;
}

DWORD CContainerStore::Create(const std::string& name)
{
    CLock lock(m_dir);
    if (Exists(name))
        return DWORD(NTE_EXISTS);
    return Write(FileOf(name), ContainerFile{name, {}}) ? 0 : DWORD(NTE_FAIL);
}

DWORD CContainerStore::Delete(const std::string& name)
{
    CLock lock(m_dir);
    if (!Exists(name))
        return DWORD(NTE_BAD_KEYSET);
    std::error_code ec;
    std::filesystem::remove(FileOf(name), ec);
    return ec ? DWORD(NTE_FAIL) : 0;
}

DWORD CContainerStore::PutKey(const std::string& name, const StoredKey& key)
{
    CLock lock(m_dir);
    auto c = Read(FileOf(name));
    if (!c || c->name != name)
        return DWORD(NTE_BAD_KEYSET);
    bool replaced = false;
    for (auto& k : c->keys)
        if (k.spec == key.spec)
        {
            k = key;
            replaced = true;
        }
    if (!replaced)
        c->keys.push_back(key);
    return Write(FileOf(name), *c) ? 0 : DWORD(NTE_FAIL);
}

std::optional<StoredKey> CContainerStore::GetKey(const std::string& name, DWORD spec) const
{
    auto c = Read(FileOf(name));
    if (!c || c->name != name)
        return std::nullopt;
    for (const auto& k : c->keys)
        if (k.spec == spec)
            return k;
    return std::nullopt;
}

std::vector<std::string> CContainerStore::List() const
{
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(m_dir, ec))
        if (entry.path().extension() == ".key")
            if (auto c = Read(entry.path()))
                names.push_back(c->name);
    std::sort(names.begin(), names.end());
    return names;
}
} // namespace qm::softcsp
