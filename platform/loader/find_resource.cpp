// FindResource and friends over the registered resource directories.
#include "ansi.h"
#include "libloaderapi.h"
#include "module_table.h"
#include "resource_lookup.h"
#include "resource_registry.h"
#include "qm/nls.h"
#include "winbase.h"

namespace qm::loader
{
Found FindInModule(HMODULE hModule, const ResourceKey& type, const ResourceKey& name,
                   std::optional<LANGID> exactLanguage)
{
    uintptr_t base = hModule ? reinterpret_cast<uintptr_t>(hModule) : ProgramModule().base;
    bool known = false;
    auto dirs = ModuleResources(base, &known);
    if (!known && !ModuleAt(base))
        return {nullptr, nullptr, ERROR_MOD_NOT_FOUND};
    return FindResourceIn(dirs, type, name, exactLanguage);
}
} // namespace qm::loader

using namespace qm::loader;

namespace
{
HRSRC Finish(const Found& found)
{
    if (!found.entry)
    {
        SetLastError(found.error);
        return nullptr;
    }
    return reinterpret_cast<HRSRC>(const_cast<qm::rsrc::Entry*>(found.entry));
}

std::optional<ResourceKey> AnsiKey(LPCSTR value)
{
    if (IS_INTRESOURCE(value))
        return ResourceKey::Id(static_cast<WORD>(reinterpret_cast<uintptr_t>(value)));
    auto wide = AnsiToUtf16(value);
    if (!wide)
        return std::nullopt;
    return ResourceKey::From(wide->c_str());
}
} // namespace

QMAPI HRSRC WINAPI FindResourceW(HMODULE hModule, LPCWSTR lpName, LPCWSTR lpType)
{
    return Finish(FindInModule(hModule, ResourceKey::From(lpType), ResourceKey::From(lpName), std::nullopt));
}

QMAPI HRSRC WINAPI FindResourceA(HMODULE hModule, LPCSTR lpName, LPCSTR lpType)
{
    auto type = AnsiKey(lpType);
    auto name = AnsiKey(lpName);
    if (!type || !name)
    {
        SetLastError(!type ? ERROR_RESOURCE_TYPE_NOT_FOUND : ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    return Finish(FindInModule(hModule, *type, *name, std::nullopt));
}

QMAPI HRSRC WINAPI FindResourceExW(HMODULE hModule, LPCWSTR lpType, LPCWSTR lpName, WORD wLanguage)
{
    std::optional<LANGID> exact;
    if (wLanguage != MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL))
        exact = qm::ResolveLanguageId(wLanguage);
    return Finish(FindInModule(hModule, ResourceKey::From(lpType), ResourceKey::From(lpName), exact));
}

QMAPI DWORD WINAPI SizeofResource(HMODULE hModule, HRSRC hResInfo)
{
    if (!hResInfo || !DirectoryHolding(hResInfo))
    {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    return reinterpret_cast<const qm::rsrc::Entry*>(hResInfo)->dataSize;
}

QMAPI HGLOBAL WINAPI LoadResource(HMODULE hModule, HRSRC hResInfo)
{
    auto dir = hResInfo ? DirectoryHolding(hResInfo) : std::nullopt;
    if (!dir)
    {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return const_cast<uint8_t*>(dir->Data(*reinterpret_cast<const qm::rsrc::Entry*>(hResInfo)));
}

QMAPI LPVOID WINAPI LockResource(HGLOBAL hResData)
{
    return hResData;
}

QMAPI BOOL WINAPI FreeResource(HGLOBAL hResData)
{
    return FALSE;
}
