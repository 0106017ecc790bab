#include "util.h"

#include <cstring>

#include "openssl_glue.h"
#include "qm/utf.h"

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

// Names come from certificates, so malformed UTF-8 (overlong forms, encoded surrogates,
// values past U+10FFFF) becomes U+FFFD rather than a different character.
std::u16string Utf8ToUtf16(std::string_view s)
{
    return utf::Utf8ToUtf16(s);
}

std::string Utf16ToUtf8(std::u16string_view s)
{
    return utf::Utf16ToUtf8(s);
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
