// CryptoAPI dispatch: the providers of the registry, their loaded modules, and the handles
// advapi32 gives out for provider contexts, keys and hashes of those modules.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "qm/csp_spi.h"

namespace qm::crypto
{
struct ProviderEntry
{
    std::u16string name;
    std::u16string imagePath;
    DWORD type = 0;
};

// The providers under the provider key, in the registry's order. No key is no provider;
// a key that cannot be read is its registry error, never a shorter list.
DWORD RegisteredProviders(std::vector<ProviderEntry>& result);
std::optional<ProviderEntry> FindProvider(const std::u16string& name);
// The default provider's name for a type (Provider Types\Type NNN "Name").
std::optional<std::u16string> DefaultProviderName(DWORD type);

struct ProviderModule
{
#define QM_CSP_FIELD(name, params) PFN_##name name = nullptr;
    QM_CSP_ENTRY_POINTS(QM_CSP_FIELD)
    QM_CSP_OPTIONAL_ENTRY_POINTS(QM_CSP_FIELD) // null when the module lacks them
#undef QM_CSP_FIELD
};

// Loads the module of an image path once per process; null with NTE_PROV_DLL_NOT_FOUND
// (no such library) or NTE_PROVIDER_DLL_FAIL (not a provider module).
const ProviderModule* LoadProviderModule(const std::u16string& imagePath);

struct Context
{
    const ProviderModule* module = nullptr;
    HCRYPTPROV inner = 0;
    int refs = 1;
};

// What a key or hash handle resolves to: its provider's module and inner handles.
struct Resolved
{
    const ProviderModule* module = nullptr;
    HCRYPTPROV prov = 0; // the provider's own context handle
    ULONG_PTR inner = 0; // the provider's own key or hash handle
    HCRYPTPROV outerProv = 0;
};

// Handle tables: a handle is only accepted while it is live, and a key or hash only while
// its context is.
HCRYPTPROV NewContext(const ProviderModule* module, HCRYPTPROV inner);
std::optional<Context> ContextOf(HCRYPTPROV handle); // nullopt: ERROR_INVALID_PARAMETER is set
// Drops one reference; true when it was the last one (the caller then releases inner).
bool DropContext(HCRYPTPROV handle, Context* out);
bool AddContextRef(HCRYPTPROV handle);

HCRYPTKEY NewKey(HCRYPTPROV prov, HCRYPTKEY inner);
std::optional<Resolved> KeyOf(HCRYPTKEY handle); // nullopt: NTE_BAD_KEY is set
void ForgetKey(HCRYPTKEY handle);

HCRYPTHASH NewHash(HCRYPTPROV prov, HCRYPTHASH inner);
std::optional<Resolved> HashOf(HCRYPTHASH handle); // nullopt: NTE_BAD_HASH is set
void ForgetHash(HCRYPTHASH handle);

// The provider's own handle behind an optional key or hash argument (0 stays 0); false
// when the handle is not live, with the error set.
bool InnerKey(HCRYPTKEY handle, HCRYPTKEY* inner);
bool InnerHash(HCRYPTHASH handle, HCRYPTHASH* inner);

BOOL Fail(DWORD error);
} // namespace qm::crypto
