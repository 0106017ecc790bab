// LoadString over string-table resources: block (id / 16) + 1 of RT_STRING holds 16
// counted UTF-16 strings.
#include <algorithm>
#include <cstring>
#include <optional>
#include <string_view>

#include "ansi.h"
#include "resource_lookup.h"
#include "resource_registry.h"
#include "winbase.h"
#include "winuser.h"

using namespace qm::loader;

namespace
{
constexpr WORD kRtString = 6;

// The string, or nullopt when it does not exist (last error set when the block is missing).
std::optional<std::u16string_view> FindString(HINSTANCE hInstance, UINT uID)
{
    WORD id = static_cast<WORD>(uID);
    auto found = FindInModule(hInstance, ResourceKey::Id(kRtString), ResourceKey::Id(static_cast<WORD>((id >> 4) + 1)),
                              std::nullopt);
    if (!found.entry)
    {
        SetLastError(found.error);
        return std::nullopt;
    }
    auto p = found.data;
    size_t size = found.entry->dataSize;
    size_t pos = 0;
    for (unsigned index = 0; index <= (id & 15u); ++index)
    {
        if (pos + 2 > size)
            return std::nullopt;
        WORD len;
        std::memcpy(&len, p + pos, 2);
        pos += 2;
        if (pos + size_t{len} * 2 > size)
            return std::nullopt;
        if (index == (id & 15u))
        {
            if (len == 0)
                return std::nullopt;
            return std::u16string_view(reinterpret_cast<const char16_t*>(p + pos), len);
        }
        pos += size_t{len} * 2;
    }
    return std::nullopt;
}
} // namespace

QMAPI int WINAPI LoadStringW(HINSTANCE hInstance, UINT uID, LPWSTR lpBuffer, int cchBufferMax)
{
    if (!lpBuffer || cchBufferMax < 0)
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    auto text = FindString(hInstance, uID);
    if (cchBufferMax == 0)
    {
        // The caller gets a pointer to the resource itself.
        *reinterpret_cast<LPCWSTR*>(lpBuffer) = text ? text->data() : nullptr;
        return text ? static_cast<int>(text->size()) : 0;
    }
    size_t n = text ? std::min(text->size(), static_cast<size_t>(cchBufferMax - 1)) : 0;
    if (n)
        std::memcpy(lpBuffer, text->data(), n * sizeof(WCHAR));
    lpBuffer[n] = 0;
    return static_cast<int>(n);
}

QMAPI int WINAPI LoadStringA(HINSTANCE hInstance, UINT uID, LPSTR lpBuffer, int cchBufferMax)
{
    if (!lpBuffer || cchBufferMax <= 0)
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    auto text = FindString(hInstance, uID);
    std::string ansi;
    if (text)
    {
        // The longest prefix that fits, never splitting a character or a surrogate pair.
        size_t chars = text->size();
        for (;;)
        {
            ansi = Utf16ToAnsi(text->substr(0, chars));
            if (ansi.size() < static_cast<size_t>(cchBufferMax) || chars == 0)
                break;
            --chars;
            if (chars > 0 && (*text)[chars - 1] >= 0xD800 && (*text)[chars - 1] <= 0xDBFF)
                --chars;
        }
        if (ansi.size() >= static_cast<size_t>(cchBufferMax))
            ansi.clear();
    }
    std::memcpy(lpBuffer, ansi.data(), ansi.size());
    lpBuffer[ansi.size()] = 0;
    return static_cast<int>(ansi.size());
}
