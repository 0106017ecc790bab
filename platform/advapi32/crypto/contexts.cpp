// CryptEnumProvidersW, CryptAcquireContextW and the calls on a provider context.
#include <cstring>

#include "../text.h"
#include "dispatch.h"
#include "winbase.h"

using namespace qm::crypto;

namespace
{
// Copies a value for the size-query protocol: a null buffer asks the size, a short one
// gets ERROR_MORE_DATA and the size needed.
BOOL CopyOut(const void* value, DWORD size, BYTE* buffer, DWORD* length)
{
    DWORD available = *length;
    *length = size;
    if (!buffer)
        return TRUE;
    if (available < size)
        return Fail(ERROR_MORE_DATA);
    std::memcpy(buffer, value, size);
    return TRUE;
}
} // namespace

QMAPI BOOL WINAPI CryptEnumProvidersW(DWORD dwIndex, DWORD* pdwReserved, DWORD dwFlags,
                                      DWORD* pdwProvType, LPWSTR szProvName, DWORD* pcbProvName)
{
    if (pdwReserved || !pcbProvName)
        return Fail(ERROR_INVALID_PARAMETER);
    if (dwFlags)
        return Fail(DWORD(NTE_BAD_FLAGS));
    std::vector<ProviderEntry> providers;
    if (DWORD error = RegisteredProviders(providers))
        return Fail(error);
    if (dwIndex >= providers.size())
        return Fail(ERROR_NO_MORE_ITEMS);
    const auto& entry = providers[dwIndex];
    if (pdwProvType)
        *pdwProvType = entry.type;
    return CopyOut(entry.name.c_str(), DWORD((entry.name.size() + 1) * sizeof(char16_t)),
                   reinterpret_cast<BYTE*>(szProvName), pcbProvName);
}

QMAPI BOOL WINAPI CryptGetDefaultProviderW(DWORD dwProvType, DWORD* pdwReserved, DWORD dwFlags,
                                           LPWSTR pszProvName, DWORD* pcbProvName)
{
    if (pdwReserved || !pcbProvName)
        return Fail(ERROR_INVALID_PARAMETER);
    if (dwFlags & ~(CRYPT_MACHINE_DEFAULT | CRYPT_USER_DEFAULT))
        return Fail(DWORD(NTE_BAD_FLAGS));
    auto name = DefaultProviderName(dwProvType);
    if (!name)
        return Fail(DWORD(NTE_PROV_TYPE_NOT_DEF));
    return CopyOut(name->c_str(), DWORD((name->size() + 1) * sizeof(char16_t)),
                   reinterpret_cast<BYTE*>(pszProvName), pcbProvName);
}

QMAPI BOOL WINAPI CryptAcquireContextW(HCRYPTPROV* phProv, LPCWSTR szContainer, LPCWSTR szProvider,
                                       DWORD dwProvType, DWORD dwFlags)
{
    if (!phProv)
        return Fail(ERROR_INVALID_PARAMETER);
    *phProv = 0;
    if (dwProvType == 0 || dwProvType > 999)
        return Fail(DWORD(NTE_BAD_PROV_TYPE));
    std::u16string providerName;
    if (szProvider && *szProvider)
        providerName = szProvider;
    else if (auto name = DefaultProviderName(dwProvType))
        providerName = *name;
    else
        return Fail(DWORD(NTE_PROV_TYPE_NOT_DEF));

    auto entry = FindProvider(providerName);
    if (!entry)
        return Fail(DWORD(NTE_KEYSET_NOT_DEF));
    if (entry->type != dwProvType)
        return Fail(DWORD(NTE_PROV_TYPE_NO_MATCH));
    const ProviderModule* module = LoadProviderModule(entry->imagePath);
    if (!module)
        return FALSE;

    std::string container;
    bool hasContainer = szContainer != nullptr;
    if (hasContainer)
        container = qm::advapi::ToUtf8(szContainer);
    std::string narrowName = qm::advapi::ToUtf8(entry->name);
    VTableProvStruc table{};
    table.Version = 3;
    table.dwProvType = entry->type;
    table.pszProvName = narrowName.data();

    HCRYPTPROV inner = 0;
    // Flags are the provider's to judge: vendor values pass through unchanged.
    if (!module->CPAcquireContext(&inner, hasContainer ? container.c_str() : nullptr, dwFlags,
                                  &table))
        return FALSE;
    // A deleted key set leaves no context behind, and neither does a provider that
    // answered a vendor request without one.
    if ((dwFlags & CRYPT_DELETEKEYSET) || inner == 0)
    {
        if (inner)
            module->CPReleaseContext(inner, 0);
        SetLastError(ERROR_SUCCESS);
        return TRUE;
    }
    *phProv = NewContext(module, inner);
    return TRUE;
}

QMAPI BOOL WINAPI CryptReleaseContext(HCRYPTPROV hProv, DWORD dwFlags)
{
    if (!ContextOf(hProv))
        return FALSE;
    if (dwFlags)
        return Fail(DWORD(NTE_BAD_FLAGS));
    Context last;
    if (DropContext(hProv, &last))
        return last.module->CPReleaseContext(last.inner, 0);
    return TRUE;
}

QMAPI BOOL WINAPI CryptContextAddRef(HCRYPTPROV hProv, DWORD* pdwReserved, DWORD dwFlags)
{
    if (pdwReserved)
        return Fail(ERROR_INVALID_PARAMETER);
    if (dwFlags)
        return Fail(DWORD(NTE_BAD_FLAGS));
    if (!AddContextRef(hProv))
        return Fail(ERROR_INVALID_PARAMETER);
    return TRUE;
}

QMAPI BOOL WINAPI CryptGetProvParam(HCRYPTPROV hProv, DWORD dwParam, BYTE* pbData,
                                    DWORD* pdwDataLen, DWORD dwFlags)
{
    auto context = ContextOf(hProv);
    if (!context)
        return FALSE;
    if (!pdwDataLen)
        return Fail(ERROR_INVALID_PARAMETER);
    return context->module->CPGetProvParam(context->inner, dwParam, pbData, pdwDataLen, dwFlags);
}

QMAPI BOOL WINAPI CryptSetProvParam(HCRYPTPROV hProv, DWORD dwParam, const BYTE* pbData,
                                    DWORD dwFlags)
{
    auto context = ContextOf(hProv);
    if (!context)
        return FALSE;
    return context->module->CPSetProvParam(context->inner, dwParam, pbData, dwFlags);
}

QMAPI BOOL WINAPI CryptGenRandom(HCRYPTPROV hProv, DWORD dwLen, BYTE* pbBuffer)
{
    auto context = ContextOf(hProv);
    if (!context)
        return FALSE;
    if (!pbBuffer && dwLen)
        return Fail(ERROR_INVALID_PARAMETER);
    return context->module->CPGenRandom(context->inner, dwLen, pbBuffer);
}
