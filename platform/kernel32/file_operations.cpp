// Copying and renaming files, the file pointer and the end of a file.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "fileapi.h"
#include "kernel_objects.h"
#include "winbase.h"

using qm::kernel32::ErrorOfLinuxError;
using qm::kernel32::FileDescriptor;
using qm::kernel32::MachinePath;

namespace
{
bool FailWith(DWORD error)
{
    SetLastError(error);
    return false;
}

// ERROR_FILE_NOT_FOUND or ERROR_PATH_NOT_FOUND for a source that is not there.
DWORD MissingError(const std::string& path)
{
    return std::filesystem::is_directory(std::filesystem::path(path).parent_path()) ? ERROR_FILE_NOT_FOUND
                                                                                    : ERROR_PATH_NOT_FOUND;
}
} // namespace

QMAPI BOOL WINAPI CopyFileW(LPCWSTR lpExistingFileName, LPCWSTR lpNewFileName, BOOL bFailIfExists)
{
    std::string from = MachinePath(lpExistingFileName), to = MachinePath(lpNewFileName);
    if (from.empty() || to.empty())
        return FailWith(ERROR_PATH_NOT_FOUND);
    int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0)
        return FailWith(errno == ENOENT ? MissingError(from) : ErrorOfLinuxError(errno));
    int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (bFailIfExists ? O_EXCL : O_TRUNC);
    int out = ::open(to.c_str(), flags, 0644);
    if (out < 0)
    {
        DWORD error = errno == EEXIST ? ERROR_FILE_EXISTS : errno == ENOENT ? ERROR_PATH_NOT_FOUND
                                                                             : ErrorOfLinuxError(errno);
        ::close(in);
        return FailWith(error);
    }
    char buffer[65536];
    bool ok = true;
    for (;;)
    {
        ssize_t n = ::read(in, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
        {
            ok = n == 0;
            break;
        }
        for (ssize_t done = 0; ok && done < n;)
        {
            ssize_t w = ::write(out, buffer + done, size_t(n - done));
            if (w < 0 && errno == EINTR)
                continue;
            ok = w > 0;
            done += w > 0 ? w : 0;
        }
        if (!ok)
            break;
    }
    DWORD error = ok ? ERROR_SUCCESS : ErrorOfLinuxError(errno);
    ::close(in);
    if (::close(out) != 0 && ok)
    {
        ok = false;
        error = ERROR_WRITE_FAULT;
    }
    if (!ok)
        return FailWith(error);
    return TRUE;
}

QMAPI BOOL WINAPI MoveFileW(LPCWSTR lpExistingFileName, LPCWSTR lpNewFileName)
{
    std::string from = MachinePath(lpExistingFileName), to = MachinePath(lpNewFileName);
    if (from.empty() || to.empty())
        return FailWith(ERROR_PATH_NOT_FOUND);
    std::error_code ec;
    if (!std::filesystem::exists(std::filesystem::symlink_status(from, ec)))
        return FailWith(MissingError(from));
    // Unlike rename(2), Windows never replaces an existing target here.
    if (std::filesystem::exists(std::filesystem::symlink_status(to, ec)))
        return FailWith(ERROR_ALREADY_EXISTS);
    if (::rename(from.c_str(), to.c_str()) != 0)
        return FailWith(errno == ENOENT ? ERROR_PATH_NOT_FOUND : ErrorOfLinuxError(errno));
    return TRUE;
}

QMAPI DWORD WINAPI SetFilePointer(HANDLE hFile, LONG lDistanceToMove, PLONG lpDistanceToMoveHigh, DWORD dwMoveMethod)
{
    int fd = FileDescriptor(hFile);
    if (fd < 0)
    {
        SetLastError(ERROR_INVALID_HANDLE);
        return INVALID_SET_FILE_POINTER;
    }
    int64_t distance = lpDistanceToMoveHigh ? (int64_t(*lpDistanceToMoveHigh) << 32) | uint32_t(lDistanceToMove)
                                            : int64_t(lDistanceToMove);
    int whence = dwMoveMethod == FILE_BEGIN ? SEEK_SET : dwMoveMethod == FILE_CURRENT ? SEEK_CUR
                                                       : dwMoveMethod == FILE_END     ? SEEK_END
                                                                                      : -1;
    if (whence < 0)
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_SET_FILE_POINTER;
    }
    off_t pos = ::lseek(fd, off_t(distance), whence);
    if (pos < 0)
    {
        SetLastError(ERROR_NEGATIVE_SEEK);
        return INVALID_SET_FILE_POINTER;
    }
    if (lpDistanceToMoveHigh)
        *lpDistanceToMoveHigh = LONG(int64_t(pos) >> 32);
    SetLastError(ERROR_SUCCESS);
    return DWORD(uint64_t(pos) & 0xFFFFFFFF);
}

QMAPI BOOL WINAPI SetEndOfFile(HANDLE hFile)
{
    int fd = FileDescriptor(hFile);
    if (fd < 0)
        return FailWith(ERROR_INVALID_HANDLE);
    off_t pos = ::lseek(fd, 0, SEEK_CUR);
    if (pos < 0 || ::ftruncate(fd, pos) != 0)
        return FailWith(ErrorOfLinuxError(errno));
    return TRUE;
}

QMAPI BOOL WINAPI FlushFileBuffers(HANDLE hFile)
{
    int fd = FileDescriptor(hFile);
    if (fd < 0)
        return FailWith(ERROR_INVALID_HANDLE);
    ::fdatasync(fd);
    return TRUE;
}
