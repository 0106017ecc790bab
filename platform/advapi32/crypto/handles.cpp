// Provider modules and the handle tables of contexts, keys and hashes.
#include <map>
#include <mutex>
#include <unordered_map>

#include "dispatch.h"
#include "libloaderapi.h"
#include "winbase.h"

namespace qm::crypto
{
namespace
{
std::mutex g_lock;

std::map<std::u16string, std::unique_ptr<ProviderModule>>& Modules()
{
    static std::map<std::u16string, std::unique_ptr<ProviderModule>> modules;
    return modules;
}

// Handles are small counters, never addresses, so a stale or forged handle is refused.
ULONG_PTR g_next = 0x1000;
std::unordered_map<ULONG_PTR, std::unique_ptr<Context>> g_contexts;
} // namespace

BOOL Fail(DWORD error)
{
    SetLastError(error);
    return FALSE;
}

const ProviderModule* LoadProviderModule(const std::u16string& imagePath)
{
    std::lock_guard lock(g_lock);
    auto& modules = Modules();
    if (auto it = modules.find(imagePath); it != modules.end())
        return it->second.get();
    HMODULE library = LoadLibraryW(imagePath.c_str());
    if (!library)
    {
        SetLastError(GetLastError() == ERROR_MOD_NOT_FOUND ? DWORD(NTE_PROV_DLL_NOT_FOUND)
                                                           : DWORD(NTE_PROVIDER_DLL_FAIL));
        return nullptr;
    }
    auto module = std::make_unique<ProviderModule>();
    bool complete = true;
#define QM_CSP_BIND(name, params)                                                                  \
    module->name =                                                                                 \
        reinterpret_cast<PFN_##name>(reinterpret_cast<void*>(GetProcAddress(library, #name)));     \
    complete = complete && module->name;
    QM_CSP_ENTRY_POINTS(QM_CSP_BIND)
#undef QM_CSP_BIND
#define QM_CSP_BIND_OPTIONAL(name, params)                                                         \
    module->name =                                                                                 \
        reinterpret_cast<PFN_##name>(reinterpret_cast<void*>(GetProcAddress(library, #name)));
    QM_CSP_OPTIONAL_ENTRY_POINTS(QM_CSP_BIND_OPTIONAL)
#undef QM_CSP_BIND_OPTIONAL
    if (!complete)
    {
        FreeLibrary(library);
        SetLastError(DWORD(NTE_PROVIDER_DLL_FAIL));
        return nullptr;
    }
    // Provider modules stay loaded for the life of the process, as advapi32 keeps them.
    auto* result = module.get();
    modules.emplace(imagePath, std::move(module));
    return result;
}

HCRYPTPROV NewContext(const ProviderModule* module, HCRYPTPROV inner)
{
    std::lock_guard lock(g_lock);
    auto context = std::make_unique<Context>();
    context->module = module;
    context->inner = inner;
    ULONG_PTR handle = ++g_next;
    g_contexts.emplace(handle, std::move(context));
    return handle;
}

std::optional<Context> ContextOf(HCRYPTPROV handle)
{
    std::lock_guard lock(g_lock);
    auto it = g_contexts.find(handle);
    if (it == g_contexts.end())
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return std::nullopt;
    }
    return *it->second;
}

bool AddContextRef(HCRYPTPROV handle)
{
    std::lock_guard lock(g_lock);
    auto it = g_contexts.find(handle);
    if (it == g_contexts.end())
        return false;
    ++it->second->refs;
    return true;
}

bool DropContext(HCRYPTPROV handle, Context* out)
{
    std::lock_guard lock(g_lock);
    auto it = g_contexts.find(handle);
    if (it == g_contexts.end())
        return false;
    if (--it->second->refs > 0)
        return false;
    *out = *it->second;
    g_contexts.erase(it);
    return true;
}

namespace
{
struct Entry
{
    HCRYPTPROV prov;
    ULONG_PTR inner;
};
std::unordered_map<ULONG_PTR, Entry> g_keyTable;
std::unordered_map<ULONG_PTR, Entry> g_hashTable;

std::optional<Resolved> Resolve(std::unordered_map<ULONG_PTR, Entry>& table, ULONG_PTR handle,
                                DWORD error)
{
    std::lock_guard lock(g_lock);
    auto it = table.find(handle);
    auto ctx = it == table.end() ? g_contexts.end() : g_contexts.find(it->second.prov);
    if (it == table.end() || ctx == g_contexts.end())
    {
        SetLastError(error);
        return std::nullopt;
    }
    return Resolved{ctx->second->module, ctx->second->inner, it->second.inner, it->second.prov};
}

ULONG_PTR Add(std::unordered_map<ULONG_PTR, Entry>& table, HCRYPTPROV prov, ULONG_PTR inner)
{
    std::lock_guard lock(g_lock);
    ULONG_PTR handle = ++g_next;
    table[handle] = Entry{prov, inner};
    return handle;
}

void Forget(std::unordered_map<ULONG_PTR, Entry>& table, ULONG_PTR handle)
{
    std::lock_guard lock(g_lock);
    table.erase(handle);
}

bool InnerOf(std::unordered_map<ULONG_PTR, Entry>& table, ULONG_PTR handle, DWORD error,
             ULONG_PTR* inner)
{
    *inner = 0;
    if (!handle)
        return true;
    auto resolved = Resolve(table, handle, error);
    if (!resolved)
        return false;
    *inner = resolved->inner;
    return true;
}
} // namespace

HCRYPTKEY NewKey(HCRYPTPROV prov, HCRYPTKEY inner)
{
    return Add(g_keyTable, prov, inner);
}

std::optional<Resolved> KeyOf(HCRYPTKEY handle)
{
    return Resolve(g_keyTable, handle, DWORD(NTE_BAD_KEY));
}

void ForgetKey(HCRYPTKEY handle)
{
    Forget(g_keyTable, handle);
}

HCRYPTHASH NewHash(HCRYPTPROV prov, HCRYPTHASH inner)
{
    return Add(g_hashTable, prov, inner);
}

std::optional<Resolved> HashOf(HCRYPTHASH handle)
{
    return Resolve(g_hashTable, handle, DWORD(NTE_BAD_HASH));
}

void ForgetHash(HCRYPTHASH handle)
{
    Forget(g_hashTable, handle);
}

bool InnerKey(HCRYPTKEY handle, HCRYPTKEY* inner)
{
    return InnerOf(g_keyTable, handle, DWORD(NTE_BAD_KEY), inner);
}

bool InnerHash(HCRYPTHASH handle, HCRYPTHASH* inner)
{
    return InnerOf(g_hashTable, handle, DWORD(NTE_BAD_HASH), inner);
}
} // namespace qm::crypto
