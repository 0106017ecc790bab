// BSTR: [UINT byte length][text][zero WCHAR], the pointer handed out points at the text.
#include <cstdlib>
#include <cstring>

#include "crtwide.h"
#include "oleauto.h"

namespace
{
constexpr size_t kPrefix = sizeof(UINT);
constexpr UINT kMaxBytes = 0xFFFFFFFFu - kPrefix - sizeof(OLECHAR) - 16;

UINT* PrefixOf(BSTR s)
{
    return reinterpret_cast<UINT*>(reinterpret_cast<char*>(s) - kPrefix);
}

// A block for `bytes` bytes of text, filled from src when given (else zeros), terminated.
BSTR Allocate(const void* src, UINT bytes)
{
    if (bytes > kMaxBytes)
        return nullptr;
    // Room for an odd byte count plus a whole zero WCHAR after it.
    const size_t total = kPrefix + bytes + sizeof(OLECHAR) + 1;
    // Without a source, calloc: fresh pages of a large block are already zero.
    auto* block = static_cast<char*>(src ? std::malloc(total) : std::calloc(1, total));
    if (!block)
        return nullptr;
    std::memcpy(block, &bytes, kPrefix);
    char* text = block + kPrefix;
    if (src)
    {
        std::memcpy(text, src, bytes);
        std::memset(text + bytes, 0, total - kPrefix - bytes);
    }
    return reinterpret_cast<BSTR>(text);
}
} // namespace

BSTR SysAllocString(const OLECHAR* psz)
{
    if (!psz)
        return nullptr;
    return SysAllocStringLen(psz, static_cast<UINT>(wcslen(psz)));
}

BSTR SysAllocStringLen(const OLECHAR* strIn, UINT ui)
{
    if (ui > kMaxBytes / sizeof(OLECHAR))
        return nullptr;
    return Allocate(strIn, ui * static_cast<UINT>(sizeof(OLECHAR)));
}

BSTR SysAllocStringByteLen(LPCSTR psz, UINT len)
{
    return Allocate(psz, len);
}

INT SysReAllocStringLen(BSTR* pbstr, const OLECHAR* psz, UINT len)
{
    if (!pbstr)
        return FALSE;
    // psz may point into *pbstr: copy before freeing.
    BSTR fresh = SysAllocStringLen(psz, len);
    if (!fresh)
        return FALSE;
    SysFreeString(*pbstr);
    *pbstr = fresh;
    return TRUE;
}

INT SysReAllocString(BSTR* pbstr, const OLECHAR* psz)
{
    if (!pbstr)
        return FALSE;
    return SysReAllocStringLen(pbstr, psz, psz ? static_cast<UINT>(wcslen(psz)) : 0);
}

UINT SysStringLen(BSTR pbstr)
{
    return pbstr ? *PrefixOf(pbstr) / static_cast<UINT>(sizeof(OLECHAR)) : 0;
}

UINT SysStringByteLen(BSTR bstr)
{
    return bstr ? *PrefixOf(bstr) : 0;
}

void SysFreeString(BSTR bstrString)
{
    if (bstrString)
        std::free(PrefixOf(bstrString));
}
