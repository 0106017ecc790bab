// GetFileVersionInfo: the version resource of a library or program, read from its file
// without running it, as Windows reads a DLL's resources as a data file.
#include <algorithm>
#include <cstring>
#include <filesystem>

#include "../loader/elf_sections.h"
#include "../loader/module_table.h"
#include "../loader/resource_directory.h"
#include "../loader/utf.h"
#include "qm/resource_format.h"
#include "winbase.h"
#include "winver.h"

using namespace qm::loader;

namespace
{
constexpr WORD kRtVersion = 16;

struct VersionResource
{
    DWORD error = 0;
    std::vector<uint8_t> bytes;
};

std::string HostPath(LPCWSTR name)
{
    std::string path = Utf16ToUtf8(name);
    // A bare file name means the loaded module of that name, if there is one.
    if (path.find('/') == std::string::npos)
        if (auto module = ModuleNamed(path))
            return module->path;
    return path;
}

VersionResource ReadVersionResource(LPCWSTR fileName)
{
    VersionResource result;
    if (!fileName || !*fileName)
    {
        result.error = ERROR_INVALID_PARAMETER;
        return result;
    }
    std::string path = HostPath(fileName);
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec))
    {
        result.error = ERROR_FILE_NOT_FOUND;
        return result;
    }
    auto section = ReadElfSection(path, qm::rsrc::kSectionName);
    if (section.error)
    {
        result.error = section.error;
        return result;
    }
    auto dirs = ParseSection(section.bytes.data(), section.bytes.size());
    if (!dirs)
    {
        result.error = ERROR_BAD_FORMAT;
        return result;
    }
    auto found = FindResourceIn(*dirs, ResourceKey::Id(kRtVersion), ResourceKey::Id(VS_VERSION_INFO), std::nullopt);
    if (!found.entry)
    {
        result.error = found.error;
        return result;
    }
    // Shorter than the root node's header, it is no version block: a size answer for it
    // would be one that GetFileVersionInfoW cannot fill.
    if (found.entry->dataSize < 6)
    {
        result.error = ERROR_BAD_FORMAT;
        return result;
    }
    auto data = found.data;
    result.bytes.assign(data, data + found.entry->dataSize);
    return result;
}
} // namespace

QMAPI DWORD WINAPI GetFileVersionInfoSizeW(LPCWSTR lptstrFilename, LPDWORD lpdwHandle)
{
    if (lpdwHandle)
        *lpdwHandle = 0;
    auto resource = ReadVersionResource(lptstrFilename);
    if (resource.error)
    {
        SetLastError(resource.error);
        return 0;
    }
    return static_cast<DWORD>(resource.bytes.size());
}

QMAPI BOOL WINAPI GetFileVersionInfoW(LPCWSTR lptstrFilename, DWORD dwHandle, DWORD dwLen, LPVOID lpData)
{
    if (!lpData)
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    auto resource = ReadVersionResource(lptstrFilename);
    if (resource.error)
    {
        SetLastError(resource.error);
        return FALSE;
    }
    if (dwLen < 6)
    {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    // A short buffer gets the beginning, as on Windows; the root length is cut to match so
    // that VerQueryValueW never reads past what was copied.
    size_t n = std::min<size_t>(dwLen, resource.bytes.size());
    std::memcpy(lpData, resource.bytes.data(), n);
    WORD rootLength;
    std::memcpy(&rootLength, lpData, 2);
    if (rootLength > n)
    {
        rootLength = static_cast<WORD>(n);
        std::memcpy(lpData, &rootLength, 2);
    }
    return TRUE;
}
