// Files on drive C of the machine, the user's temporary folder, and PathFileExistsW.
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <set>
#include <string>

#include "fileapi.h"
#include "kernel_objects.h"
#include "qm/machine.h"
#include "shlwapi_path.h"
#include "utf8_codec.h"
#include "winbase.h"
#include "winerror.h"

namespace
{
// File handles are heap records, so no integer of another kind passes for one.
struct FileHandle
{
    int fd;
};

std::mutex g_lock;
std::set<FileHandle*> g_handles;

std::string UserName()
{
    if (const char* user = std::getenv("USER"); user && *user)
        return user;
    if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_name)
        return pw->pw_name;
    return "User";
}

// "C:\a\b" (either slash, drive letter of either case) to the machine's drive_c; empty for
// any other path, and for paths that climb out of the drive.
std::string LinuxPath(LPCWSTR lpPath)
{
    if (!lpPath)
        return {};
    std::u16string path(lpPath);
    // An absolute Linux path, as GetModuleFileNameW reports a module's file, names itself;
    // a backslash separates its parts as in any Windows path (a program adds "\sub\file" to
    // its folder).
    if (!path.empty() && path[0] == u'/')
    {
        std::string utf8;
        if (!qm::kernel32::EncodeUtf8(path.data(), path.size(), true, utf8))
            return {};
        for (char& c : utf8)
            if (c == '\\')
                c = '/';
        return std::filesystem::path(utf8).lexically_normal().string();
    }
    if (path.size() < 2 || (path[0] != u'C' && path[0] != u'c') || path[1] != u':')
        return {};
    std::string utf8;
    if (!qm::kernel32::EncodeUtf8(path.data() + 2, path.size() - 2, true, utf8))
        return {};
    std::string rel;
    for (char c : utf8)
        rel += c == '\\' ? '/' : c;
    std::filesystem::path relative = std::filesystem::path(rel).relative_path().lexically_normal();
    if (!relative.empty() && *relative.begin() == "..")
        return {};
    return (qm::MachineDirectory() / "drive_c" / relative).string();
}

DWORD ErrorOfErrno(int e)
{
    switch (e)
    {
    case ENOENT:
    case ENOTDIR:
        return ERROR_PATH_NOT_FOUND;
    case EEXIST:
        return ERROR_FILE_EXISTS;
    case EACCES:
    case EPERM:
    case EISDIR:
        return ERROR_ACCESS_DENIED;
    case ENOSPC:
        return ERROR_WRITE_FAULT;
    default:
        return ERROR_ACCESS_DENIED;
    }
}

FileHandle* Lookup(HANDLE h)
{
    std::lock_guard<std::mutex> guard(g_lock);
    auto* p = static_cast<FileHandle*>(h);
    return g_handles.count(p) ? p : nullptr;
}
} // namespace

QMAPI HANDLE WINAPI CreateFileW(LPCWSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                                LPSECURITY_ATTRIBUTES lpSecurityAttributes, DWORD dwCreationDisposition,
                                DWORD dwFlagsAndAttributes, HANDLE hTemplateFile)
{
    std::string path = LinuxPath(lpFileName);
    if (path.empty())
    {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    bool read = dwDesiredAccess & GENERIC_READ, write = dwDesiredAccess & GENERIC_WRITE;
    int flags = O_CLOEXEC | (read && write ? O_RDWR : write ? O_WRONLY : O_RDONLY);
    switch (dwCreationDisposition)
    {
    case CREATE_NEW:
        flags |= O_CREAT | O_EXCL;
        break;
    case CREATE_ALWAYS:
        flags |= O_CREAT | O_TRUNC;
        break;
    case OPEN_EXISTING:
        break;
    case OPEN_ALWAYS:
        flags |= O_CREAT;
        break;
    case TRUNCATE_EXISTING:
        flags |= O_TRUNC;
        break;
    default:
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    bool existed = ::access(path.c_str(), F_OK) == 0;
    int fd = ::open(path.c_str(), flags, 0644);
    if (fd < 0)
    {
        int e = errno;
        DWORD error = ErrorOfErrno(e);
        if (e == ENOENT && (dwCreationDisposition == OPEN_EXISTING || dwCreationDisposition == TRUNCATE_EXISTING) &&
            std::filesystem::is_directory(std::filesystem::path(path).parent_path()))
            error = ERROR_FILE_NOT_FOUND;
        SetLastError(error);
        return INVALID_HANDLE_VALUE;
    }
    auto* handle = new FileHandle{fd};
    {
        std::lock_guard<std::mutex> guard(g_lock);
        g_handles.insert(handle);
    }
    // As on Windows: success, with ERROR_ALREADY_EXISTS when an existing file was opened.
    SetLastError(existed && (dwCreationDisposition == CREATE_ALWAYS || dwCreationDisposition == OPEN_ALWAYS)
                     ? ERROR_ALREADY_EXISTS
                     : ERROR_SUCCESS);
    return handle;
}

QMAPI BOOL WINAPI WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite,
                            LPDWORD lpNumberOfBytesWritten, LPOVERLAPPED lpOverlapped)
{
    FileHandle* file = Lookup(hFile);
    if (!file)
    {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (lpNumberOfBytesWritten)
        *lpNumberOfBytesWritten = 0;
    if (!lpBuffer && nNumberOfBytesToWrite)
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const char* p = static_cast<const char*>(lpBuffer);
    DWORD done = 0;
    while (done < nNumberOfBytesToWrite)
    {
        ssize_t n = ::write(file->fd, p + done, nNumberOfBytesToWrite - done);
        if (n < 0)
        {
            if (errno == EINTR)
                continue;
            SetLastError(ErrorOfErrno(errno));
            return FALSE;
        }
        done += DWORD(n);
    }
    if (lpNumberOfBytesWritten)
        *lpNumberOfBytesWritten = done;
    return TRUE;
}

QMAPI BOOL WINAPI ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead, LPDWORD lpNumberOfBytesRead,
                           LPOVERLAPPED lpOverlapped)
{
    FileHandle* file = Lookup(hFile);
    if (!file)
    {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (lpNumberOfBytesRead)
        *lpNumberOfBytesRead = 0;
    ssize_t n;
    do
        n = ::read(file->fd, lpBuffer, nNumberOfBytesToRead);
    while (n < 0 && errno == EINTR);
    if (n < 0)
    {
        SetLastError(ErrorOfErrno(errno));
        return FALSE;
    }
    if (lpNumberOfBytesRead)
        *lpNumberOfBytesRead = DWORD(n);
    return TRUE;
}

QMAPI BOOL WINAPI CloseHandle(HANDLE hObject)
{
    FileHandle* file = nullptr;
    {
        std::lock_guard<std::mutex> guard(g_lock);
        auto* p = static_cast<FileHandle*>(hObject);
        if (g_handles.erase(p))
            file = p;
    }
    if (!file)
    {
        if (qm::kernel32::CloseObject(hObject))
            return TRUE;
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    ::close(file->fd);
    delete file;
    return TRUE;
}

QMAPI BOOL WINAPI DeleteFileW(LPCWSTR lpFileName)
{
    std::string path = LinuxPath(lpFileName);
    if (path.empty())
    {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return FALSE;
    }
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0)
    {
        SetLastError(errno == ENOENT && std::filesystem::is_directory(std::filesystem::path(path).parent_path())
                         ? ERROR_FILE_NOT_FOUND
                         : ErrorOfErrno(errno));
        return FALSE;
    }
    if (S_ISDIR(st.st_mode) || ::unlink(path.c_str()) != 0)
    {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    return TRUE;
}

QMAPI DWORD WINAPI GetFileAttributesW(LPCWSTR lpFileName)
{
    std::string path = LinuxPath(lpFileName);
    struct stat st;
    if (path.empty() || ::stat(path.c_str(), &st) != 0)
    {
        SetLastError(path.empty() || errno != ENOENT ? ERROR_PATH_NOT_FOUND : ERROR_FILE_NOT_FOUND);
        return INVALID_FILE_ATTRIBUTES;
    }
    return S_ISDIR(st.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL;
}

QMAPI BOOL WINAPI PathFileExistsW(LPCWSTR pszPath)
{
    DWORD saved = GetLastError();
    BOOL exists = GetFileAttributesW(pszPath) != INVALID_FILE_ATTRIBUTES;
    SetLastError(saved);
    return exists;
}

QMAPI DWORD WINAPI GetTempPathW(DWORD nBufferLength, LPWSTR lpBuffer)
{
    std::string user = UserName();
    std::u16string wuser;
    if (!qm::kernel32::DecodeUtf8(user.data(), user.size(), false, wuser))
        wuser = u"User";
    std::u16string path = u"C:\\Users\\" + wuser + u"\\AppData\\Local\\Temp\\";
    std::error_code ec;
    std::filesystem::create_directories(LinuxPath(path.c_str()), ec);
    if (nBufferLength < path.size() + 1 || !lpBuffer)
        return DWORD(path.size() + 1);
    path.copy(lpBuffer, path.size());
    lpBuffer[path.size()] = 0;
    return DWORD(path.size());
}

namespace qm::kernel32
{
std::string MachinePath(LPCWSTR path) { return LinuxPath(path); }

int FileDescriptor(HANDLE handle)
{
    FileHandle* file = Lookup(handle);
    return file ? file->fd : -1;
}

DWORD ErrorOfLinuxError(int e) { return ErrorOfErrno(e); }
} // namespace qm::kernel32
