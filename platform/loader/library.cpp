// LoadLibrary, FreeLibrary, GetProcAddress over the dynamic loader, and the DllMain calls
// made by the glue that qm_windows_dll() links into a library.
#include <dlfcn.h>
#include <link.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "ansi.h"
#include "libloaderapi.h"
#include "library_environment.h"
#include "module_table.h"
#include "qm/machine.h"
#include "qm/module.h"
#include "utf.h"
#include "winbase.h"

namespace qm::loader
{
namespace
{
// Tells DllMain whether it runs for LoadLibrary/FreeLibrary (lpReserved NULL) or for the
// program's start and end (non-NULL), and collects failed attaches during a load.
thread_local int t_loadDepth = 0;
thread_local int t_freeDepth = 0;
thread_local std::vector<uintptr_t> t_failedAttach;

HMODULE AsHandle(uintptr_t base)
{
    return reinterpret_cast<HMODULE>(base);
}

DWORD ClassifyDlError(const char* message)
{
    std::string text = message ? message : "";
    if (text.find("undefined symbol") != std::string::npos)
        return ERROR_PROC_NOT_FOUND;
    if (text.find("invalid ELF header") != std::string::npos || text.find("wrong ELF class") != std::string::npos ||
        text.find("file too short") != std::string::npos || text.find("ELF file") != std::string::npos ||
        text.find("not an ELF") != std::string::npos)
        return ERROR_BAD_EXE_FORMAT;
    return ERROR_MOD_NOT_FOUND;
}

uintptr_t BaseOfHandle(void* handle)
{
    link_map* map = nullptr;
    if (dlinfo(handle, RTLD_DI_LINKMAP, &map) != 0 || !map)
        return 0;
    auto module = ModuleContaining(map->l_ld);
    return module ? module->base : 0;
}

struct LoadAttempt
{
    HMODULE module = nullptr;
    DWORD error = ERROR_MOD_NOT_FOUND;
    bool final = false; // the file was there; do not try other candidates
};

LoadAttempt TryLoad(const std::string& file)
{
    LoadAttempt attempt;
    bool isPath = file.find('/') != std::string::npos;
    std::error_code ec;
    if (isPath && !std::filesystem::is_regular_file(file, ec))
        return attempt;

    if (isPath && std::filesystem::path(file).parent_path() ==
                      qm::MachineDirectory() / "drive_c" / "Windows" / "System32")
        PrepareSystemLibrary(file);

    auto failedBefore = t_failedAttach.size();
    ++t_loadDepth;
    void* handle = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    --t_loadDepth;
    if (!handle)
    {
        const char* message = dlerror();
        attempt.error = ClassifyDlError(message);
        // A bare name that the loader did not find may still be found as another candidate.
        attempt.final = isPath || attempt.error != ERROR_MOD_NOT_FOUND ||
                        std::string(message ? message : "").find(file + ":") != 0;
        return attempt;
    }
    attempt.final = true;
    if (t_failedAttach.size() > failedBefore)
    {
        t_failedAttach.resize(failedBefore);
        // As on Windows, a library whose DllMain refused the attach is unloaded again
        // (its DllMain then sees DLL_PROCESS_DETACH).
        ++t_freeDepth;
        dlclose(handle);
        --t_freeDepth;
        attempt.error = ERROR_DLL_INIT_FAILED;
        return attempt;
    }
    attempt.module = AsHandle(BaseOfHandle(handle));
    if (!attempt.module)
    {
        dlclose(handle);
        attempt.error = ERROR_MOD_NOT_FOUND;
    }
    return attempt;
}

// Windows file names ignore case: a folder's entry that differs from the name only in case
// is the file asked for.
std::string InFolder(const std::filesystem::path& dir, const std::string& file)
{
    std::error_code ec;
    auto exact = dir / file;
    if (std::filesystem::exists(std::filesystem::symlink_status(exact, ec)))
        return exact.string();
    for (const auto& entry : std::filesystem::directory_iterator(dir, ec))
    {
        auto name = entry.path().filename().string();
        if (name.size() == file.size() &&
            std::equal(name.begin(), name.end(), file.begin(), [](unsigned char a, unsigned char b) {
                return std::tolower(a) == std::tolower(b);
            }))
            return entry.path().string();
    }
    return exact.string();
}

std::vector<std::string> LoadCandidates(const std::string& name)
{
    std::vector<std::string> candidates;
    if (name.find('/') != std::string::npos)
        return LibraryFileNames(name);
    // An already loaded module of that name is found first, as on Windows.
    if (auto loaded = ModuleNamed(name))
        candidates.push_back(loaded->path);
    auto programDir = std::filesystem::path(ProgramModule().path).parent_path();
    for (const auto& file : LibraryFileNames(name))
        candidates.push_back(InFolder(programDir, file));
    // The machine's system folder maps Windows library names to libraries of this system
    // (a link C:\Windows\System32\<name> to the library that stands in for it).
    auto systemDir = qm::MachineDirectory() / "drive_c" / "Windows" / "System32";
    for (const auto& file : LibraryFileNames(name))
        candidates.push_back(InFolder(systemDir, file));
    for (const auto& file : LibraryFileNames(name))
        candidates.push_back(file);
    return candidates;
}

HMODULE Load(const std::string& name)
{
    if (name.empty())
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    DWORD error = ERROR_MOD_NOT_FOUND;
    for (const auto& candidate : LoadCandidates(name))
    {
        auto attempt = TryLoad(candidate);
        if (attempt.module)
            return attempt.module;
        if (attempt.final)
        {
            error = attempt.error;
            break;
        }
    }
    SetLastError(error);
    return nullptr;
}

// A dlopen handle for a loaded module, adding one reference (NULL: the program).
void* OpenLoaded(const ModuleInfo& module, int extraFlags = 0)
{
    if (module.isProgram)
        return dlopen(nullptr, RTLD_LAZY);
    return dlopen(module.path.c_str(), RTLD_NOLOAD | RTLD_LAZY | extraFlags);
}
} // namespace

bool AddModuleReference(const ModuleInfo& module, bool pin)
{
    void* handle = OpenLoaded(module, pin ? RTLD_NODELETE : 0);
    return handle != nullptr;
}
} // namespace qm::loader

using namespace qm::loader;

QMAPI HMODULE WINAPI LoadLibraryW(LPCWSTR lpLibFileName)
{
    if (!lpLibFileName)
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return Load(Utf16ToUtf8(lpLibFileName));
}

QMAPI HMODULE WINAPI LoadLibraryA(LPCSTR lpLibFileName)
{
    auto wide = AnsiToUtf16(lpLibFileName);
    if (!wide)
    {
        SetLastError(lpLibFileName ? ERROR_MOD_NOT_FOUND : ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return LoadLibraryW(wide->c_str());
}

QMAPI BOOL WINAPI FreeLibrary(HMODULE hLibModule)
{
    auto module = ModuleAt(reinterpret_cast<uintptr_t>(hLibModule));
    if (!module)
    {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return FALSE;
    }
    if (module->isProgram)
        return TRUE;
    void* handle = OpenLoaded(*module);
    if (!handle)
    {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return FALSE;
    }
    dlclose(handle); // the reference just taken
    ++t_freeDepth;
    dlclose(handle); // the caller's
    --t_freeDepth;
    return TRUE;
}

QMAPI FARPROC WINAPI GetProcAddress(HMODULE hModule, LPCSTR lpProcName)
{
    auto module = hModule ? ModuleAt(reinterpret_cast<uintptr_t>(hModule)) : std::optional(ProgramModule());
    if (!module)
    {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    if (!lpProcName || IS_INTRESOURCE(lpProcName) || !*lpProcName)
    {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return nullptr;
    }
    void* handle = OpenLoaded(*module);
    if (!handle)
    {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    void* symbol = dlsym(handle, lpProcName);
    dlclose(handle);
    // Only the module's own exports count, not those of the libraries it uses.
    auto owner = symbol ? ModuleContaining(symbol) : std::nullopt;
    if (!owner || owner->base != module->base)
    {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return nullptr;
    }
    return reinterpret_cast<FARPROC>(symbol);
}

QMAPI BOOL WINAPI DisableThreadLibraryCalls(HMODULE hLibModule)
{
    if (!ModuleAt(reinterpret_cast<uintptr_t>(hLibModule)))
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return TRUE;
}

namespace qm
{
HMODULE ModuleFromAddress(const void* address)
{
    auto module = ModuleContaining(address);
    return module ? reinterpret_cast<HMODULE>(module->base) : nullptr;
}

void RunDllEntry(const void* anchor, DllEntryProc entry, DWORD reason)
{
    HMODULE module = ModuleFromAddress(anchor);
    bool dynamic = reason == DLL_PROCESS_ATTACH ? t_loadDepth > 0 : t_freeDepth > 0;
    LPVOID reserved = dynamic ? nullptr : reinterpret_cast<LPVOID>(1);
    DWORD savedError = GetLastError();
    BOOL ok = entry(module, reason, reserved);
    SetLastError(savedError);
    if (reason != DLL_PROCESS_ATTACH || ok)
        return;
    if (dynamic)
    {
        t_failedAttach.push_back(reinterpret_cast<uintptr_t>(module));
        return;
    }
    // A library the program was linked with refused to start: Windows ends the process.
    std::fprintf(stderr, "DllMain of a library the program needs failed to initialise (ERROR_DLL_INIT_FAILED)\n");
    std::_Exit(EXIT_FAILURE);
}
} // namespace qm
