#include "resource_text.h"

#include "libloaderapi.h"
#include "winbase.h"
#include "winnls.h"

namespace qm::atl
{
HRESULT ResourceText(HINSTANCE module, LPCWSTR name, LPCWSTR type, std::u16string& text)
{
    HRSRC found = FindResourceW(module, name, type);
    if (!found)
        return HRESULT_FROM_WIN32(ERROR_RESOURCE_NAME_NOT_FOUND);
    DWORD size = SizeofResource(module, found);
    auto* bytes = static_cast<const unsigned char*>(LockResource(LoadResource(module, found)));
    if (!bytes)
        return HRESULT_FROM_WIN32(ERROR_RESOURCE_NAME_NOT_FOUND);
    text.clear();
    if (size >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE)
    {
        for (DWORD i = 2; i + 1 < size; i += 2)
            text += char16_t(bytes[i] | (bytes[i + 1] << 8));
        return S_OK;
    }
    if (size == 0)
        return S_OK;
    int n = MultiByteToWideChar(CP_ACP, 0, reinterpret_cast<const char*>(bytes), int(size), nullptr, 0);
    if (n <= 0)
        return E_FAIL;
    text.resize(size_t(n));
    MultiByteToWideChar(CP_ACP, 0, reinterpret_cast<const char*>(bytes), int(size), text.data(), n);
    return S_OK;
}
} // namespace qm::atl
