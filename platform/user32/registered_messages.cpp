// RegisterWindowMessageW/A: one id per name (compared without case), from 0xC000 up, the
// same in every process of the machine, as Windows gives it to every process of a session.
// The names live in one file under the machine, in registration order; the line number is
// the id's offset.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <map>
#include <mutex>
#include <string>

#include "qm/machine.h"
#include "qm/utf.h"
#include "window_manager.h"
#include "winbase.h"
#include "winuser.h"

namespace
{
constexpr UINT kFirstId = 0xC000;
constexpr UINT kLastId = 0xFFFF;

std::string FoldedUtf8(LPCWSTR name)
{
    std::u16string s(name);
    for (auto& c : s)
        if (c >= u'a' && c <= u'z')
            c = char16_t(c - u'a' + u'A');
        else if (c == u'\n' || c == u'\r')
            c = u' '; // a name is one line of the table
    return qm::utf::Utf16ToUtf8(s);
}

// The id of the name in the machine's table, adding it at the end when it is new; 0 when
// the table cannot be used or is full.
UINT MachineId(const std::string& name)
{
    std::filesystem::path dir = qm::MachineDirectory() / "session";
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    int fd = ::open((dir / "window-messages").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0)
        return 0;
    ::flock(fd, LOCK_EX);
    std::string all;
    char buf[4096];
    for (ssize_t n; (n = ::read(fd, buf, sizeof buf)) > 0;)
        all.append(buf, size_t(n));
    UINT id = kFirstId;
    size_t pos = 0;
    UINT found = 0;
    while (pos < all.size())
    {
        size_t end = all.find('\n', pos);
        if (end == std::string::npos)
            break; // a line cut off by a crash is not a name
        if (all.compare(pos, end - pos, name) == 0)
        {
            found = id;
            break;
        }
        ++id;
        pos = end + 1;
    }
    if (!found && id <= kLastId)
    {
        std::string line = name + "\n";
        ::lseek(fd, off_t(pos), SEEK_SET);
        if (::ftruncate(fd, off_t(pos)) == 0 && ::write(fd, line.data(), line.size()) == ssize_t(line.size()))
            found = id;
    }
    ::flock(fd, LOCK_UN);
    ::close(fd);
    return found;
}
} // namespace

QMAPI UINT WINAPI RegisterWindowMessageW(LPCWSTR lpString)
{
    static std::mutex lock;
    static std::map<std::pair<std::string, std::string>, UINT> known;
    if (!lpString || !*lpString)
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::string name = FoldedUtf8(lpString);
    std::lock_guard guard(lock);
    auto key = std::make_pair(qm::MachineDirectory().string(), name);
    if (auto it = known.find(key); it != known.end())
        return it->second;
    UINT id = MachineId(name);
    if (!id)
    {
        // A machine whose table cannot be written still gets ids for this process, from the
        // top of the range down, away from the machine's.
        static UINT s_nextLocal = kLastId;
        if (s_nextLocal < kFirstId)
        {
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return 0;
        }
        id = s_nextLocal--;
    }
    known.emplace(key, id);
    return id;
}

QMAPI UINT WINAPI RegisterWindowMessageA(LPCSTR lpString)
{
    if (!lpString || !*lpString)
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::u16string wide = qm::win::WideFromAnsi(lpString);
    if (wide.empty())
        return 0;
    return RegisterWindowMessageW(wide.c_str());
}
