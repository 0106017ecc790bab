#include "util.h"

#include <cstring>

#include "openssl_glue.h"

namespace qm::crypt
{
BOOL CopyOut(const void* pSrc, size_t cbSrc, void* pvOut, DWORD* pcbOut)
{
    if (!pcbOut)
        return Fail(static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    if (!pvOut)
    {
        *pcbOut = static_cast<DWORD>(cbSrc);
        return TRUE;
    }
    if (*pcbOut < cbSrc)
    {
        *pcbOut = static_cast<DWORD>(cbSrc);
        return Fail(static_cast<DWORD>(ERROR_MORE_DATA));
    }
    if (cbSrc)
        std::memcpy(pvOut, pSrc, cbSrc);
    *pcbOut = static_cast<DWORD>(cbSrc);
    return TRUE;
}

std::u16string Utf8ToUtf16(std::string_view s)
{
    std::u16string out;
    size_t i = 0;
    while (i < s.size())
    {
        unsigned char c = static_cast<unsigned char>(s[i]);
        char32_t cp = 0xFFFD;
        size_t n = 1;
        if (c < 0x80)
            cp = c;
        else if ((c & 0xE0) == 0xC0)
            n = 2, cp = c & 0x1F;
        else if ((c & 0xF0) == 0xE0)
            n = 3, cp = c & 0x0F;
        else if ((c & 0xF8) == 0xF0)
            n = 4, cp = c & 0x07;
        else
            n = 0;
        bool ok = n > 0 && i + n <= s.size();
        for (size_t k = 1; ok && k < n; ++k)
        {
            unsigned char cc = static_cast<unsigned char>(s[i + k]);
            if ((cc & 0xC0) != 0x80)
                ok = false;
            else
                cp = (cp << 6) | (cc & 0x3F);
        }
        if (!ok)
        {
            out.push_back(0xFFFD);
            ++i;
            continue;
        }
        i += n;
        if (cp >= 0x10000)
        {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        }
        else
        {
            out.push_back(static_cast<char16_t>(cp));
        }
    }
    return out;
}

std::string Utf16ToUtf8(std::u16string_view s)
{
    std::string out;
    for (size_t i = 0; i < s.size(); ++i)
    {
        char32_t cp = s[i];
        if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] < 0xE000)
        {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (s[i + 1] - 0xDC00);
            ++i;
        }
        else if (cp >= 0xD800 && cp < 0xE000)
        {
            cp = 0xFFFD;
        }
        if (cp < 0x80)
        {
            out.push_back(static_cast<char>(cp));
        }
        else if (cp < 0x800)
        {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
        else if (cp < 0x10000)
        {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
        else
        {
            out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    return out;
}

std::u16string Latin1ToUtf16(View v)
{
    std::u16string out;
    out.reserve(v.size());
    for (BYTE b : v)
        out.push_back(b);
    return out;
}

size_t WideLength(const WCHAR* psz)
{
    size_t n = 0;
    if (psz)
        while (psz[n])
            ++n;
    return n;
}

Bytes Sha1(View v) { return ossl::Hash(ossl::Digest::Sha1, v); }
Bytes Md5(View v) { return ossl::Hash(ossl::Digest::Md5, v); }
Bytes Sha256(View v) { return ossl::Hash(ossl::Digest::Sha256, v); }

std::u16string HexUpper(View v)
{
    static const char16_t* digits = u"0123456789ABCDEF";
    std::u16string out;
    for (BYTE b : v)
    {
        out.push_back(digits[b >> 4]);
        out.push_back(digits[b & 15]);
    }
    return out;
}

namespace
{
void PutDword(Bytes& out, DWORD v)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<BYTE>(v >> (8 * i)));
}
DWORD GetDword(const BYTE* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<DWORD>(p[3]) << 24); }
} // namespace

Bytes SerializeRecords(const std::vector<PropertyRecord>& records)
{
    Bytes out;
    for (const auto& r : records)
    {
        PutDword(out, r.id);
        PutDword(out, 1);
        PutDword(out, static_cast<DWORD>(r.data.size()));
        der::Append(out, r.data);
    }
    return out;
}

bool ParseRecords(View blob, std::vector<PropertyRecord>* pOut)
{
    size_t pos = 0;
    while (pos < blob.size())
    {
        if (blob.size() - pos < 12)
            return false;
        DWORD id = GetDword(blob.data() + pos);
        DWORD len = GetDword(blob.data() + pos + 8);
        pos += 12;
        if (len > blob.size() - pos)
            return false;
        pOut->push_back({id, Bytes(blob.begin() + pos, blob.begin() + pos + len)});
        pos += len;
    }
    return true;
}
} // namespace qm::crypt
