// MultiByteToWideChar / WideCharToMultiByte: argument checks and size handling as Windows
// does them; UTF-8 here, other code pages through iconv.
#include <cstring>
#include <string>

#include "ansi_codec.h"
#include "utf8_codec.h"
#include "winbase.h"
#include "winnls.h"

namespace
{
bool IsUtf(UINT cp)
{
    return cp == CP_UTF8 || cp == CP_UTF7;
}

// CP_ACP and friends to a real code page; 0 for one that cannot be converted.
UINT ResolveCodePage(UINT cp)
{
    switch (cp)
    {
    case CP_ACP:
    case CP_THREAD_ACP:
        return GetACP();
    case CP_OEMCP:
        return GetOEMCP();
    case CP_MACCP:
        return 10000;
    case 1200: // UTF-16 is not a multi-byte code page
    case 1201:
    case 12000:
    case 12001:
        return 0;
    default:
        return cp;
    }
}

int Fail(DWORD error)
{
    SetLastError(error);
    return 0;
}

template <typename Char>
int Deliver(const std::basic_string<Char>& result, Char* out, int outSize)
{
    if (result.size() > 0x7FFFFFFF)
        return Fail(ERROR_ARITHMETIC_OVERFLOW);
    const int n = static_cast<int>(result.size());
    if (outSize == 0)
        return n;
    if (n > outSize)
    {
        std::memcpy(out, result.data(), static_cast<size_t>(outSize) * sizeof(Char));
        return Fail(ERROR_INSUFFICIENT_BUFFER);
    }
    std::memcpy(out, result.data(), static_cast<size_t>(n) * sizeof(Char));
    return n;
}

// The result of a UTF-8 conversion already written into the caller's buffer (as much of it
// as fits): the same answers as Deliver gives.
int Delivered(size_t needed, int outSize)
{
    if (needed > 0x7FFFFFFF)
        return Fail(ERROR_ARITHMETIC_OVERFLOW);
    const int n = static_cast<int>(needed);
    if (outSize != 0 && n > outSize)
        return Fail(ERROR_INSUFFICIENT_BUFFER);
    return n;
}

// UTF-8 conversions write into the caller's buffer as they go; a strict one is checked
// first, so that bad input leaves the buffer untouched.
template <typename In, typename Out, typename Convert>
int ConvertUtf8(Convert convert, const In* in, size_t len, bool strict, Out* out, int outSize)
{
    size_t needed = 0;
    if (strict && outSize != 0 && !convert(in, len, true, nullptr, 0, needed))
        return Fail(ERROR_NO_UNICODE_TRANSLATION);
    if (!convert(in, len, strict, out, static_cast<size_t>(outSize), needed))
        return Fail(ERROR_NO_UNICODE_TRANSLATION);
    return Delivered(needed, outSize);
}
} // namespace

BOOL IsValidCodePage(UINT CodePage)
{
    if (CodePage == CP_UTF8)
        return TRUE;
    if (CodePage == CP_ACP || CodePage == CP_OEMCP || CodePage == CP_MACCP || CodePage == CP_THREAD_ACP)
        return FALSE; // not real code page numbers
    UINT cp = ResolveCodePage(CodePage);
    return cp != 0 && qm::kernel32::IsIconvCodePage(cp);
}

int MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCCH lpMultiByteStr, int cbMultiByte, LPWSTR lpWideCharStr,
                        int cchWideChar)
{
    if (!lpMultiByteStr || cbMultiByte == 0 || cbMultiByte < -1 || cchWideChar < 0 ||
        (cchWideChar > 0 && !lpWideCharStr) ||
        static_cast<const void*>(lpMultiByteStr) == static_cast<const void*>(lpWideCharStr))
        return Fail(ERROR_INVALID_PARAMETER);

    const UINT cp = ResolveCodePage(CodePage);
    if (cp == 0)
        return Fail(ERROR_INVALID_PARAMETER);
    const DWORD allowed = IsUtf(cp) ? (cp == CP_UTF8 ? MB_ERR_INVALID_CHARS : 0)
                                    : (MB_PRECOMPOSED | MB_COMPOSITE | MB_USEGLYPHCHARS | MB_ERR_INVALID_CHARS);
    if ((dwFlags & ~allowed) || ((dwFlags & MB_PRECOMPOSED) && (dwFlags & MB_COMPOSITE)))
        return Fail(ERROR_INVALID_FLAGS);

    const size_t len = cbMultiByte == -1 ? std::strlen(lpMultiByteStr) + 1 : static_cast<size_t>(cbMultiByte);
    const bool strict = (dwFlags & MB_ERR_INVALID_CHARS) != 0;
    if (cp == CP_UTF8)
    {
        auto decode = [](const char* in, size_t n, bool s, char16_t* out, size_t cap, size_t& needed) {
            return qm::kernel32::DecodeUtf8(in, n, s, out, cap, needed);
        };
        return ConvertUtf8(decode, lpMultiByteStr, len, strict, lpWideCharStr, cchWideChar);
    }
    if (!qm::kernel32::IsIconvCodePage(cp))
        return Fail(ERROR_INVALID_PARAMETER);
    std::u16string wide;
    if (!qm::kernel32::DecodeAnsi(cp, lpMultiByteStr, len, strict, wide))
        return Fail(ERROR_NO_UNICODE_TRANSLATION);
    return Deliver(wide, lpWideCharStr, cchWideChar);
}

int WideCharToMultiByte(UINT CodePage, DWORD dwFlags, LPCWCH lpWideCharStr, int cchWideChar, LPSTR lpMultiByteStr,
                        int cbMultiByte, LPCCH lpDefaultChar, LPBOOL lpUsedDefaultChar)
{
    if (!lpWideCharStr || cchWideChar == 0 || cchWideChar < -1 || cbMultiByte < 0 ||
        (cbMultiByte > 0 && !lpMultiByteStr) ||
        static_cast<const void*>(lpWideCharStr) == static_cast<const void*>(lpMultiByteStr))
        return Fail(ERROR_INVALID_PARAMETER);

    const UINT cp = ResolveCodePage(CodePage);
    if (cp == 0)
        return Fail(ERROR_INVALID_PARAMETER);
    if (IsUtf(cp))
    {
        if (lpDefaultChar || lpUsedDefaultChar)
            return Fail(ERROR_INVALID_PARAMETER);
        if (dwFlags & ~static_cast<DWORD>(cp == CP_UTF8 ? WC_ERR_INVALID_CHARS : 0))
            return Fail(ERROR_INVALID_FLAGS);
    }
    else
    {
        const DWORD allowed = WC_COMPOSITECHECK | WC_DISCARDNS | WC_SEPCHARS | WC_DEFAULTCHAR | WC_NO_BEST_FIT_CHARS;
        if (dwFlags & ~allowed)
            return Fail(ERROR_INVALID_FLAGS);
    }

    size_t len = 0;
    if (cchWideChar == -1)
    {
        while (lpWideCharStr[len])
            ++len;
        ++len;
    }
    else
        len = static_cast<size_t>(cchWideChar);

    std::string bytes;
    if (cp == CP_UTF8)
    {
        auto encode = [](const char16_t* in, size_t n, bool s, char* out, size_t cap, size_t& needed) {
            return qm::kernel32::EncodeUtf8(in, n, s, out, cap, needed);
        };
        return ConvertUtf8(encode, lpWideCharStr, len, (dwFlags & WC_ERR_INVALID_CHARS) != 0, lpMultiByteStr,
                           cbMultiByte);
    }
    else
    {
        if (!qm::kernel32::IsIconvCodePage(cp))
            return Fail(ERROR_INVALID_PARAMETER);
        std::string defaultChar = "?";
        if (lpDefaultChar && *lpDefaultChar)
            defaultChar.assign(lpDefaultChar, strnlen(lpDefaultChar, 2));
        bool used = false;
        if (!qm::kernel32::EncodeAnsi(cp, lpWideCharStr, len, defaultChar, (dwFlags & WC_NO_BEST_FIT_CHARS) != 0,
                                      bytes, &used))
            return Fail(ERROR_INVALID_PARAMETER);
        if (lpUsedDefaultChar)
            *lpUsedDefaultChar = used ? TRUE : FALSE;
    }
    return Deliver(bytes, lpMultiByteStr, cbMultiByte);
}
