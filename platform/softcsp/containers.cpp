#include "containers.h"

#include <errno.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "qm/kill_point.h"
#include "qm/machine.h"

namespace qm::softcsp
{
namespace
{
constexpr char kMagic[8] = {'Q', 'M', 'K', 'C', 'N', 'T', '0', '1'};
constexpr char kTempMark[] = ".tmp"; // after the container's file name

// What a failed file operation tells the caller: a full disk as Windows reports it.
DWORD ErrorOf(int error)
{
    return error == ENOSPC || error == EDQUOT ? DWORD(ERROR_DISK_FULL) : DWORD(NTE_FAIL);
}

// What a folder that cannot be read tells the caller, in Windows' words.
DWORD ReadErrorOf(int error)
{
    switch (error)
    {
    case EACCES:
    case EPERM:
        return ERROR_ACCESS_DENIED;
    case ENOTDIR:
        return ERROR_DIRECTORY;
    default:
        return ERROR_READ_FAULT;
    }
}

bool WriteAll(int fd, const std::string& data)
{
    for (size_t done = 0; done < data.size();)
    {
        ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n == 0)
            errno = EIO;
        if (n <= 0)
            return false;
        done += size_t(n);
    }
    return true;
}

// Held for every change of a folder's containers; a lock that cannot be had (no room for
// its file, say) fails the change rather than letting it go on unguarded.
class CLock
{
  public:
    explicit CLock(const std::filesystem::path& dir)
    {
        m_fd = ::open((dir / ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (m_fd < 0 || ::flock(m_fd, LOCK_EX) != 0)
            m_error = ErrorOf(errno);
    }
    ~CLock()
    {
        if (m_fd >= 0)
            ::close(m_fd); // releases the lock
    }
    DWORD Error() const { return m_error; }

  private:
    int m_fd = -1;
    DWORD m_error = 0;
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

// Writes the whole container next to its file, readable by the owner only, and renames it
// over the file. Every failure removes the temporary file; one left by a killed writer goes
// with the next change of that container (RemoveLeftovers).
DWORD Write(const std::filesystem::path& file, const ContainerFile& c)
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
    temp += kTempMark + std::to_string(::getpid()) + "." + std::to_string(counter++);
    int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0)
        return ErrorOf(errno);
    int error = 0;
    if (!WriteAll(fd, data) || ::fsync(fd) != 0)
        error = errno;
    if (::close(fd) != 0 && !error)
        error = errno;
    if (!error)
    {
        qm::KillPoint("container-temp-written");
        if (::rename(temp.c_str(), file.c_str()) != 0)
            error = errno;
    }
    if (error)
    {
        ::unlink(temp.c_str());
        return ErrorOf(error);
    }
    return 0;
}

// Temporary files of `file` that killed writers left; called under the folder's lock, when
// no writer of this machine is between its open and its rename.
void RemoveLeftovers(const std::filesystem::path& file)
{
    std::string prefix = file.filename().string() + kTempMark;
    std::error_code ec;
    std::vector<std::filesystem::path> leftovers;
    for (auto it = std::filesystem::directory_iterator(file.parent_path(), ec);
         !ec && it != std::filesystem::directory_iterator(); it.increment(ec))
        if (it->path().filename().string().compare(0, prefix.size(), prefix) == 0)
            leftovers.push_back(it->path());
    for (const auto& path : leftovers)
        std::filesystem::remove(path, ec);
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

bool IsFolderName(const std::string& name)
{
    return !name.empty() && name != "." && name != ".." && name.find_first_of("/\\") == std::string::npos;
}

CContainerStore::CContainerStore(bool machineKeys)
{
    std::string folder = machineKeys ? std::string("MachineKeys") : UserName();
    // The user's name becomes a folder of the machine: one that leaves it is no location.
    if (!IsFolderName(folder))
    {
        m_error = ERROR_INVALID_NAME;
        return;
    }
    m_dir = qm::MachineDirectory() / "crypto" / "RSA" / folder;
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
    if (m_error)
        return false;
    auto c = Read(FileOf(name));
    return c && c->name == name;
}

DWORD CContainerStore::Create(const std::string& name)
{
    if (m_error)
        return m_error;
    std::error_code ec;
    std::filesystem::create_directories(m_dir, ec);
    CLock lock(m_dir);
    if (lock.Error())
        return lock.Error();
    RemoveLeftovers(FileOf(name));
    if (Exists(name))
        return DWORD(NTE_EXISTS);
    return Write(FileOf(name), ContainerFile{name, {}});
}

DWORD CContainerStore::Delete(const std::string& name)
{
    if (m_error)
        return m_error;
    if (!std::filesystem::is_directory(m_dir))
        return DWORD(NTE_BAD_KEYSET);
    CLock lock(m_dir);
    if (lock.Error())
        return lock.Error();
    RemoveLeftovers(FileOf(name));
    if (!Exists(name))
        return DWORD(NTE_BAD_KEYSET);
    std::error_code ec;
    std::filesystem::remove(FileOf(name), ec);
    return ec ? DWORD(NTE_FAIL) : 0;
}

DWORD CContainerStore::PutKey(const std::string& name, const StoredKey& key)
{
    if (m_error)
        return m_error;
    if (!std::filesystem::is_directory(m_dir))
        return DWORD(NTE_BAD_KEYSET);
    CLock lock(m_dir);
    if (lock.Error())
        return lock.Error();
    RemoveLeftovers(FileOf(name));
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
    return Write(FileOf(name), *c);
}

std::optional<StoredKey> CContainerStore::GetKey(const std::string& name, DWORD spec) const
{
    if (m_error)
        return std::nullopt;
    auto c = Read(FileOf(name));
    if (!c || c->name != name)
        return std::nullopt;
    for (const auto& k : c->keys)
        if (k.spec == spec)
            return k;
    return std::nullopt;
}

DWORD CContainerStore::List(std::vector<std::string>* names) const
{
    names->clear();
    if (m_error)
        return m_error;
    std::error_code ec;
    for (auto it = std::filesystem::directory_iterator(m_dir, ec);
         !ec && it != std::filesystem::directory_iterator(); it.increment(ec))
        if (it->path().extension() == ".key")
            if (auto c = Read(it->path()))
                names->push_back(c->name);
    if (ec && ec != std::errc::no_such_file_or_directory)
    {
        names->clear();
        return ReadErrorOf(ec.value());
    }
    std::sort(names->begin(), names->end());
    return 0;
}
} // namespace qm::softcsp
