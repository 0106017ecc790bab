// GetModuleHandle and GetModuleFileName.
#include <algorithm>
#include <cstring>

#include "ansi.h"
#include "libloaderapi.h"
#include "module_table.h"
#include "utf.h"
#include "winbase.h"

using namespace qm::loader;

namespace
{
std::optional<ModuleInfo> ModuleForHandle(HMODULE hModule)
{
    if (!hModule)
        return ProgramModule();
    return ModuleAt(reinterpret_cast<uintptr_t>(hModule));
}

HMODULE ByName(const std::u16string& name)
{
    auto module = ModuleNamed(Utf16ToUtf8(name));
    if (!module)
    {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    return reinterpret_cast<HMODULE>(module->base);
}

// Windows' copy rule: a short buffer gets nSize-1 characters and a terminator, the result
// is nSize and the last error ERROR_INSUFFICIENT_BUFFER.
template <typename Char>
DWORD CopyTruncated(const std::basic_string<Char>& text, Char* buffer, DWORD nSize)
{
    if (nSize == 0)
    {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    if (!buffer)
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (text.size() < nSize)
    {
        std::copy(text.begin(), text.end(), buffer);
        buffer[text.size()] = 0;
        return static_cast<DWORD>(text.size());
    }
    std::copy_n(text.begin(), nSize - 1, buffer);
    buffer[nSize - 1] = 0;
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return nSize;
}
} // namespace

QMAPI HMODULE WINAPI GetModuleHandleW(LPCWSTR lpModuleName)
{
    if (!lpModuleName)
        return reinterpret_cast<HMODULE>(ProgramModule().base);
    return ByName(lpModuleName);
}

QMAPI HMODULE WINAPI GetModuleHandleA(LPCSTR lpModuleName)
{
    if (!lpModuleName)
        return GetModuleHandleW(nullptr);
    auto wide = AnsiToUtf16(lpModuleName);
    if (!wide)
    {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    return ByName(*wide);
}

QMAPI BOOL WINAPI GetModuleHandleExW(DWORD dwFlags, LPCWSTR lpModuleName, HMODULE* phModule)
{
    constexpr DWORD kKnown = GET_MODULE_HANDLE_EX_FLAG_PIN | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT |
                             GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS;
    if (!phModule || (dwFlags & ~kKnown) ||
        ((dwFlags & GET_MODULE_HANDLE_EX_FLAG_PIN) && (dwFlags & GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT)))
    {
        if (phModule)
            *phModule = nullptr;
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::optional<ModuleInfo> module;
    if (dwFlags & GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS)
        module = ModuleContaining(lpModuleName);
    else if (!lpModuleName)
        module = ProgramModule();
    else
        module = ModuleNamed(Utf16ToUtf8(lpModuleName));
    if (!module)
    {
        *phModule = nullptr;
        SetLastError(ERROR_MOD_NOT_FOUND);
        return FALSE;
    }
    if (!(dwFlags & GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT) && !module->isProgram)
        AddModuleReference(*module, (dwFlags & GET_MODULE_HANDLE_EX_FLAG_PIN) != 0);
    *phModule = reinterpret_cast<HMODULE>(module->base);
    return TRUE;
}

QMAPI DWORD WINAPI GetModuleFileNameW(HMODULE hModule, LPWSTR lpFilename, DWORD nSize)
{
    auto module = ModuleForHandle(hModule);
    if (!module || module->path.empty())
    {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return 0;
    }
    return CopyTruncated(Utf8ToUtf16(module->path), lpFilename, nSize);
}

QMAPI DWORD WINAPI GetModuleFileNameA(HMODULE hModule, LPSTR lpFilename, DWORD nSize)
{
    auto module = ModuleForHandle(hModule);
    if (!module || module->path.empty())
    {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return 0;
    }
    return CopyTruncated(Utf16ToAnsi(Utf8ToUtf16(module->path)), lpFilename, nSize);
}
