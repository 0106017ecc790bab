// UTF-8 codec for CP_UTF8.
#include "utf8_codec.h"

namespace qm::kernel32
{
namespace
{
bool InRange(unsigned char b, unsigned char lo, unsigned char hi)
{
    return b >= lo && b <= hi;
}

void PutCodePoint(char32_t cp, std::u16string& out)
{
    if (cp >= 0x10000)
    {
        cp -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    }
    else
        out.push_back(static_cast<char16_t>(cp));
}
} // namespace

bool DecodeUtf8(const char* in, size_t len, bool strict, std::u16string& out)
{
    const auto* s = reinterpret_cast<const unsigned char*>(in);
    size_t i = 0;
    while (i < len)
    {
        const unsigned char b0 = s[i];
        if (b0 < 0x80)
        {
            out.push_back(b0);
            ++i;
            continue;
        }
        int need;
        unsigned char lo = 0x80, hi = 0xBF; // range of the second byte
        char32_t cp;
        if (InRange(b0, 0xC2, 0xDF))
            need = 1, cp = b0 & 0x1F;
        else if (InRange(b0, 0xE0, 0xEF))
        {
            need = 2, cp = b0 & 0x0F;
            if (b0 == 0xE0)
                lo = 0xA0; // overlong
            else if (b0 == 0xED)
                hi = 0x9F; // surrogates
        }
        else if (InRange(b0, 0xF0, 0xF4))
        {
            need = 3, cp = b0 & 0x07;
            if (b0 == 0xF0)
                lo = 0x90; // overlong
            else if (b0 == 0xF4)
                hi = 0x8F; // above U+10FFFF
        }
        else
            need = 0; // C0, C1, F5..FF and stray continuation bytes

        size_t j = i + 1;
        bool ok = need > 0;
        for (int k = 0; ok && k < need; ++k, ++j)
        {
            if (j >= len || !InRange(s[j], k == 0 ? lo : 0x80, k == 0 ? hi : 0xBF))
                ok = false;
            else
                cp = (cp << 6) | (s[j] & 0x3F);
            if (!ok)
                break;
        }
        if (!ok)
        {
            if (strict)
                return false;
            out.push_back(u'\xFFFD');
            i = (need > 0) ? j : i + 1; // the maximal subpart: lead plus the valid continuations
            continue;
        }
        PutCodePoint(cp, out);
        i = j;
    }
    return true;
}

bool EncodeUtf8(const char16_t* in, size_t len, bool strict, std::string& out)
{
    for (size_t i = 0; i < len; ++i)
    {
        char32_t cp = in[i];
        if (cp >= 0xD800 && cp <= 0xDFFF)
        {
            if (cp <= 0xDBFF && i + 1 < len && in[i + 1] >= 0xDC00 && in[i + 1] <= 0xDFFF)
            {
                cp = 0x10000 + ((cp - 0xD800) << 10) + (in[i + 1] - 0xDC00);
                ++i;
            }
            else
            {
                if (strict)
                    return false;
                cp = 0xFFFD;
            }
        }
        if (cp < 0x80)
            out.push_back(static_cast<char>(cp));
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
    return true;
}
} // namespace qm::kernel32
