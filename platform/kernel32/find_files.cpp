// FindFirstFileW, FindNextFileW and FindClose over the machine's folders. A search lists the
// matching names of one folder, "." and ".." first except in a drive's root, as Windows does.
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "fileapi.h"
#include "kernel_objects.h"
#include "utf8_codec.h"
#include "winbase.h"
#include "winerror.h"

namespace
{
struct FoundEntry
{
    std::u16string name;
    bool folder = false;
    unsigned long long size = 0;
    long long writeSeconds = 0;
};

struct Search
{
    std::vector<FoundEntry> entries;
    size_t next = 0;
};

std::mutex g_lock;
std::set<Search*> g_searches;

char16_t Fold(char16_t c)
{
    return c >= u'a' && c <= u'z' ? char16_t(c - u'a' + u'A') : c;
}

// Windows wildcards without regard to case; a trailing ".*" also matches a name without a dot.
bool Matches(const char16_t* pattern, const char16_t* name)
{
    if (!*pattern)
        return !*name;
    if (pattern[0] == u'.' && pattern[1] == u'*' && !pattern[2] && !*name)
        return true;
    if (*pattern == u'*')
    {
        for (const char16_t* rest = name;; ++rest)
        {
            if (Matches(pattern + 1, rest))
                return true;
            if (!*rest)
                return false;
        }
    }
    if (!*name)
        return false;
    if (*pattern == u'?' || Fold(*pattern) == Fold(*name))
        return Matches(pattern + 1, name + 1);
    return false;
}

FILETIME FileTimeOf(long long unixSeconds)
{
    // 100 ns units since 1601-01-01.
    unsigned long long ticks = (unsigned long long)(unixSeconds + 11644473600LL) * 10000000ULL;
    FILETIME ft;
    ft.dwLowDateTime = DWORD(ticks & 0xFFFFFFFFu);
    ft.dwHighDateTime = DWORD(ticks >> 32);
    return ft;
}

void Fill(const FoundEntry& entry, LPWIN32_FIND_DATAW data)
{
    *data = {};
    data->dwFileAttributes = entry.folder ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL;
    data->ftCreationTime = data->ftLastAccessTime = data->ftLastWriteTime = FileTimeOf(entry.writeSeconds);
    data->nFileSizeHigh = DWORD(entry.size >> 32);
    data->nFileSizeLow = DWORD(entry.size & 0xFFFFFFFFu);
    std::copy(entry.name.begin(), entry.name.end(), data->cFileName);
}

bool Stat(const std::string& path, FoundEntry& entry)
{
    struct stat st = {};
    if (::stat(path.c_str(), &st) != 0)
        return false;
    entry.folder = S_ISDIR(st.st_mode);
    entry.size = entry.folder ? 0 : (unsigned long long)st.st_size;
    entry.writeSeconds = st.st_mtime;
    return true;
}
} // namespace

QMAPI HANDLE WINAPI FindFirstFileW(LPCWSTR lpFileName, LPWIN32_FIND_DATAW lpFindFileData)
{
    if (!lpFileName || !lpFindFileData)
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    std::u16string text(lpFileName);
    size_t cut = text.find_last_of(u"\\/");
    std::u16string folder = cut == std::u16string::npos ? u"" : text.substr(0, cut + 1);
    std::u16string pattern = cut == std::u16string::npos ? text : text.substr(cut + 1);
    std::string dir = qm::kernel32::MachinePath(folder.c_str());
    std::error_code ec;
    if (dir.empty() || pattern.empty() || !std::filesystem::is_directory(dir, ec))
    {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    const bool driveRoot = std::filesystem::path(dir).lexically_normal() ==
                           std::filesystem::path(qm::kernel32::MachinePath(u"C:\\")).lexically_normal();

    auto search = std::make_unique<Search>();
    std::vector<FoundEntry> named;
    for (const auto& item : std::filesystem::directory_iterator(dir, ec))
    {
        FoundEntry entry;
        std::string utf8 = item.path().filename().string();
        if (!qm::kernel32::DecodeUtf8(utf8.data(), utf8.size(), true, entry.name) || entry.name.size() >= MAX_PATH)
            continue; // a name Windows could not report
        if (!Matches(pattern.c_str(), entry.name.c_str()) || !Stat(item.path().string(), entry))
            continue;
        named.push_back(std::move(entry));
    }
    std::sort(named.begin(), named.end(), [](const FoundEntry& a, const FoundEntry& b) {
        return std::lexicographical_compare(a.name.begin(), a.name.end(), b.name.begin(), b.name.end(),
                                            [](char16_t x, char16_t y) { return Fold(x) < Fold(y); });
    });
    if (!driveRoot)
        for (const char16_t* dots : {u".", u".."})
        {
            FoundEntry entry;
            entry.name = dots;
            if (Matches(pattern.c_str(), dots) && Stat(dir, entry))
                search->entries.push_back(entry);
        }
    search->entries.insert(search->entries.end(), named.begin(), named.end());
    if (search->entries.empty())
    {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    Fill(search->entries[0], lpFindFileData);
    search->next = 1;
    std::lock_guard<std::mutex> guard(g_lock);
    Search* handle = search.release();
    g_searches.insert(handle);
    SetLastError(ERROR_SUCCESS);
    return handle;
}

QMAPI BOOL WINAPI FindNextFileW(HANDLE hFindFile, LPWIN32_FIND_DATAW lpFindFileData)
{
    std::lock_guard<std::mutex> guard(g_lock);
    auto* search = static_cast<Search*>(hFindFile);
    if (!g_searches.count(search) || !lpFindFileData)
    {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (search->next >= search->entries.size())
    {
        SetLastError(ERROR_NO_MORE_FILES);
        return FALSE;
    }
    Fill(search->entries[search->next++], lpFindFileData);
    return TRUE;
}

QMAPI BOOL WINAPI FindClose(HANDLE hFindFile)
{
    std::lock_guard<std::mutex> guard(g_lock);
    auto* search = static_cast<Search*>(hFindFile);
    if (!g_searches.erase(search))
    {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    delete search;
    return TRUE;
}
