// Named mutexes shared by every process of the machine. Each open handle holds a shared
// flock on the object's file under the machine; a creator that cannot take the file
// exclusively knows another handle exists. A guard file serialises creators, so the check
// and the taking of the shared lock are one step.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "kernel_objects.h"
#include "qm/machine.h"
#include "synchapi.h"
#include "utf8_codec.h"
#include "winbase.h"
#include "winnls.h"

namespace
{
class MutexObject : public qm::kernel32::KernelObject
{
public:
    explicit MutexObject(int fd) : m_fd(fd) {}
    ~MutexObject() override
    {
        if (m_fd >= 0)
            ::close(m_fd); // drops this handle's shared lock
    }
    // Ownership is not supported: a wait on a mutex fails.
    DWORD Wait(DWORD) override { return WAIT_FAILED; }

private:
    int m_fd;
};

// The object's file name: the name folded to upper case, hex-encoded, so any name is safe.
std::string ObjectFileName(const std::u16string& name)
{
    std::string out;
    char hex[5];
    for (char16_t c : name)
    {
        if (c >= u'a' && c <= u'z')
            c = char16_t(c - u'a' + u'A');
        std::snprintf(hex, sizeof hex, "%04x", unsigned(c));
        out += hex;
    }
    return out;
}

int OpenLocked(const std::filesystem::path& file, int operation)
{
    int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0)
        return -1;
    int rc;
    do
        rc = ::flock(fd, operation);
    while (rc != 0 && errno == EINTR);
    if (rc != 0)
    {
        int e = errno;
        ::close(fd);
        errno = e;
        return -1;
    }
    return fd;
}
} // namespace

QMAPI HANDLE WINAPI CreateMutexW(LPSECURITY_ATTRIBUTES lpMutexAttributes, BOOL bInitialOwner, LPCWSTR lpName)
{
    // The descriptor is checked as the object manager captures it; what it grants is not
    // kept, since every process of the machine may open the object anyway.
    if (lpMutexAttributes && lpMutexAttributes->lpSecurityDescriptor)
    {
        auto* sd = static_cast<SECURITY_DESCRIPTOR*>(lpMutexAttributes->lpSecurityDescriptor);
        if (sd->Revision != SECURITY_DESCRIPTOR_REVISION)
        {
            SetLastError(ERROR_UNKNOWN_REVISION);
            return nullptr;
        }
        if (!IsValidSecurityDescriptor(sd))
        {
            SetLastError(ERROR_INVALID_SECURITY_DESCR);
            return nullptr;
        }
    }
    if (bInitialOwner)
    {
        SetLastError(ERROR_NOT_SUPPORTED);
        return nullptr;
    }
    if (!lpName || !*lpName)
    {
        HANDLE h = qm::kernel32::AddObject(std::make_shared<MutexObject>(-1));
        SetLastError(ERROR_SUCCESS);
        return h;
    }
    std::u16string name(lpName);
    if (name.size() > MAX_PATH)
    {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return nullptr;
    }
    std::error_code ec;
    std::filesystem::path dir = qm::MachineDirectory() / "objects" / "mutex";
    std::filesystem::create_directories(dir, ec);
    std::filesystem::path file = dir / ObjectFileName(name);
    int guard = OpenLocked(file.string() + ".guard", LOCK_EX);
    if (guard < 0)
    {
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    bool exists = false;
    int fd = OpenLocked(file, LOCK_EX | LOCK_NB);
    if (fd >= 0)
        ::flock(fd, LOCK_SH); // no one else holds it; the guard keeps creators out meanwhile
    else if (errno == EWOULDBLOCK)
    {
        exists = true;
        fd = OpenLocked(file, LOCK_SH);
    }
    ::close(guard);
    if (fd < 0)
    {
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    HANDLE h = qm::kernel32::AddObject(std::make_shared<MutexObject>(fd));
    SetLastError(exists ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return h;
}

QMAPI HANDLE WINAPI CreateMutexA(LPSECURITY_ATTRIBUTES lpMutexAttributes, BOOL bInitialOwner, LPCSTR lpName)
{
    if (!lpName)
        return CreateMutexW(lpMutexAttributes, bInitialOwner, nullptr);
    int n = MultiByteToWideChar(CP_ACP, 0, lpName, -1, nullptr, 0);
    if (n <= 0)
        return nullptr;
    std::u16string wide(size_t(n), u'\0');
    MultiByteToWideChar(CP_ACP, 0, lpName, -1, wide.data(), n);
    return CreateMutexW(lpMutexAttributes, bInitialOwner, wide.c_str());
}

// OpenMutex finds the object only while some handle to it is open: a file whose lock can be
// taken exclusively is a leftover of closed handles, not a mutex.
QMAPI HANDLE WINAPI OpenMutexW(DWORD dwDesiredAccess, BOOL bInheritHandle, LPCWSTR lpName)
{
    if (!lpName || !*lpName)
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    std::u16string name(lpName);
    if (name.size() > MAX_PATH)
    {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return nullptr;
    }
    std::filesystem::path dir = qm::MachineDirectory() / "objects" / "mutex";
    std::filesystem::path file = dir / ObjectFileName(name);
    std::error_code ec;
    if (!std::filesystem::exists(file, ec))
    {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return nullptr;
    }
    int guard = OpenLocked(file.string() + ".guard", LOCK_EX);
    if (guard < 0)
    {
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    int fd = OpenLocked(file, LOCK_EX | LOCK_NB);
    bool exists = false;
    if (fd >= 0)
        ::close(fd);
    else if (errno == EWOULDBLOCK)
    {
        exists = true;
        fd = OpenLocked(file, LOCK_SH);
    }
    ::close(guard);
    if (!exists)
    {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return nullptr;
    }
    if (fd < 0)
    {
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    SetLastError(ERROR_SUCCESS);
    return qm::kernel32::AddObject(std::make_shared<MutexObject>(fd));
}

QMAPI HANDLE WINAPI OpenMutexA(DWORD dwDesiredAccess, BOOL bInheritHandle, LPCSTR lpName)
{
    if (!lpName)
        return OpenMutexW(dwDesiredAccess, bInheritHandle, nullptr);
    int n = MultiByteToWideChar(CP_ACP, 0, lpName, -1, nullptr, 0);
    if (n <= 0)
        return nullptr;
    std::u16string wide(size_t(n), u'\0');
    MultiByteToWideChar(CP_ACP, 0, lpName, -1, wide.data(), n);
    return OpenMutexW(dwDesiredAccess, bInheritHandle, wide.c_str());
}
