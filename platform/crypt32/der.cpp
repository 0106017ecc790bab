#include "der.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "wincrypt.h"

namespace qm::der
{
std::optional<Element> Reader::Next()
{
    if (!Ok())
        return std::nullopt;
    if (AtEnd())
    {
        Fail(CRYPT_E_ASN1_EOD);
        return std::nullopt;
    }
    size_t start = m_pos;
    size_t p = m_pos;
    BYTE tag = m_data[p++];
    if ((tag & 0x1F) == 0x1F)
    {
        // High tag numbers appear in none of the structures read here.
        Fail(CRYPT_E_ASN1_BADTAG);
        return std::nullopt;
    }
    if (p >= m_data.size())
    {
        Fail(CRYPT_E_ASN1_EOD);
        return std::nullopt;
    }
    size_t len = m_data[p++];
    if (len & 0x80)
    {
        size_t n = len & 0x7F;
        if (n == 0)
        {
            Fail(CRYPT_E_ASN1_CORRUPT); // indefinite length is not DER
            return std::nullopt;
        }
        if (n > 4)
        {
            Fail(CRYPT_E_ASN1_LARGE);
            return std::nullopt;
        }
        if (p + n > m_data.size())
        {
            Fail(CRYPT_E_ASN1_EOD);
            return std::nullopt;
        }
        len = 0;
        for (size_t i = 0; i < n; ++i)
            len = (len << 8) | m_data[p++];
    }
    if (len > m_data.size() - p)
    {
        Fail(CRYPT_E_ASN1_EOD);
        return std::nullopt;
    }
    Element e;
    e.tag = tag;
    e.content = m_data.subspan(p, len);
    e.whole = m_data.subspan(start, p + len - start);
    m_pos = p + len;
    return e;
}

std::optional<Element> Reader::Expect(BYTE tag)
{
    if (!Ok())
        return std::nullopt;
    if (AtEnd())
    {
        Fail(CRYPT_E_ASN1_EOD);
        return std::nullopt;
    }
    if (PeekTag() != tag)
    {
        Fail(CRYPT_E_ASN1_BADTAG);
        return std::nullopt;
    }
    return Next();
}

std::optional<Element> Reader::Optional(BYTE tag)
{
    if (!Ok() || AtEnd() || PeekTag() != tag)
        return std::nullopt;
    return Next();
}

std::optional<Element> ReadSingle(View data, BYTE tag, HRESULT* pError)
{
    Reader r(data);
    auto e = r.Expect(tag);
    if (e && !r.AtEnd())
        r.Fail(CRYPT_E_ASN1_CORRUPT);
    if (!r.Ok())
    {
        *pError = r.error();
        return std::nullopt;
    }
    return e;
}

void AppendLength(Bytes& out, size_t len)
{
    if (len < 0x80)
    {
        out.push_back(static_cast<BYTE>(len));
        return;
    }
    BYTE tmp[8];
    int n = 0;
    while (len)
    {
        tmp[n++] = static_cast<BYTE>(len & 0xFF);
        len >>= 8;
    }
    out.push_back(static_cast<BYTE>(0x80 | n));
    while (n)
        out.push_back(tmp[--n]);
}

Bytes Tlv(BYTE tag, View content)
{
    Bytes out;
    out.reserve(content.size() + 6);
    out.push_back(tag);
    AppendLength(out, content.size());
    out.insert(out.end(), content.begin(), content.end());
    return out;
}

void Append(Bytes& out, View more) { out.insert(out.end(), more.begin(), more.end()); }

Bytes IntegerFromLittleEndian(View le)
{
    Bytes be(le.rbegin(), le.rend());
    if (be.empty())
        be.push_back(0);
    // Drop redundant sign bytes.
    size_t i = 0;
    while (i + 1 < be.size() &&
           ((be[i] == 0x00 && !(be[i + 1] & 0x80)) || (be[i] == 0xFF && (be[i + 1] & 0x80))))
        ++i;
    return Tlv(kInteger, View(be).subspan(i));
}

Bytes ReverseBytes(View v) { return Bytes(v.rbegin(), v.rend()); }

Bytes IntegerFromUnsigned(uint64_t v)
{
    Bytes be;
    do
    {
        be.insert(be.begin(), static_cast<BYTE>(v & 0xFF));
        v >>= 8;
    } while (v);
    if (be[0] & 0x80)
        be.insert(be.begin(), 0);
    return Tlv(kInteger, be);
}

bool IntegerToInt64(View content, int64_t* pValue)
{
    if (content.empty() || content.size() > 8)
        return false;
    int64_t v = (content[0] & 0x80) ? -1 : 0;
    for (BYTE b : content)
        v = static_cast<int64_t>((static_cast<uint64_t>(v) << 8) | b);
    *pValue = v;
    return true;
}

bool OidToContent(const char* psz, Bytes* pOut)
{
    if (!psz || !*psz)
        return false;
    std::vector<uint64_t> arcs;
    const char* p = psz;
    while (true)
    {
        if (*p < '0' || *p > '9')
            return false;
        uint64_t v = 0;
        while (*p >= '0' && *p <= '9')
        {
            if (v > (UINT64_MAX - 9) / 10)
                return false;
            v = v * 10 + static_cast<uint64_t>(*p - '0');
            ++p;
        }
        arcs.push_back(v);
        if (*p == 0)
            break;
        if (*p != '.')
            return false;
        ++p;
    }
    if (arcs.size() < 2 || arcs[0] > 2 || (arcs[0] < 2 && arcs[1] > 39))
        return false;
    Bytes out;
    auto put = [&out](uint64_t v) {
        BYTE tmp[10];
        int n = 0;
        do
        {
            tmp[n++] = static_cast<BYTE>(v & 0x7F);
            v >>= 7;
        } while (v);
        while (n > 1)
            out.push_back(static_cast<BYTE>(tmp[--n] | 0x80));
        out.push_back(tmp[0]);
    };
    put(arcs[0] * 40 + arcs[1]);
    for (size_t i = 2; i < arcs.size(); ++i)
        put(arcs[i]);
    *pOut = std::move(out);
    return true;
}

bool OidFromContent(View content, std::string* pOut)
{
    if (content.empty())
        return false;
    std::string text;
    uint64_t v = 0;
    bool first = true;
    size_t bytesInArc = 0;
    for (size_t i = 0; i < content.size(); ++i)
    {
        BYTE b = content[i];
        if (bytesInArc == 0 && b == 0x80)
            return false; // non-minimal arc
        if (++bytesInArc > 9)
            return false;
        v = (v << 7) | (b & 0x7F);
        if (b & 0x80)
        {
            if (i + 1 == content.size())
                return false;
            continue;
        }
        if (first)
        {
            uint64_t a = v < 40 ? 0 : (v < 80 ? 1 : 2);
            text = std::to_string(a) + "." + std::to_string(v - a * 40);
            first = false;
        }
        else
        {
            text += "." + std::to_string(v);
        }
        v = 0;
        bytesInArc = 0;
    }
    *pOut = std::move(text);
    return true;
}

namespace
{
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

bool Digits(View c, size_t pos, size_t n, int* pOut)
{
    if (pos + n > c.size())
        return false;
    int v = 0;
    for (size_t i = 0; i < n; ++i)
    {
        BYTE ch = c[pos + i];
        if (ch < '0' || ch > '9')
            return false;
        v = v * 10 + (ch - '0');
    }
    *pOut = v;
    return true;
}
} // namespace

bool TimeToFileTime(BYTE tag, View c, FILETIME* pOut)
{
    int year = 0, mon = 0, day = 0, hour = 0, min = 0, sec = 0;
    size_t p = 0;
    if (tag == kUtcTime)
    {
        if (!Digits(c, 0, 2, &year))
            return false;
        year += year >= 50 ? 1900 : 2000;
        p = 2;
    }
    else if (tag == kGeneralizedTime)
    {
        if (!Digits(c, 0, 4, &year))
            return false;
        p = 4;
    }
    else
    {
        return false;
    }
    if (!Digits(c, p, 2, &mon) || !Digits(c, p + 2, 2, &day) || !Digits(c, p + 4, 2, &hour) ||
        !Digits(c, p + 6, 2, &min))
        return false;
    p += 8;
    if (p < c.size() && c[p] >= '0' && c[p] <= '9')
    {
        if (!Digits(c, p, 2, &sec))
            return false;
        p += 2;
    }
    int64_t frac100ns = 0;
    if (tag == kGeneralizedTime && p < c.size() && (c[p] == '.' || c[p] == ','))
    {
        ++p;
        int64_t scale = 1000000; // 100 ns units per tenth of a second
        while (p < c.size() && c[p] >= '0' && c[p] <= '9')
        {
            frac100ns += (c[p] - '0') * scale;
            scale /= 10;
            ++p;
        }
    }
    int64_t offsetMin = 0;
    if (p < c.size() && c[p] == 'Z')
    {
        ++p;
    }
    else if (p < c.size() && (c[p] == '+' || c[p] == '-'))
    {
        int oh = 0, om = 0;
        if (!Digits(c, p + 1, 2, &oh) || !Digits(c, p + 3, 2, &om))
            return false;
        offsetMin = (oh * 60 + om) * (c[p] == '+' ? 1 : -1);
        p += 5;
    }
    if (p != c.size())
        return false;
    if (mon < 1 || mon > 12 || day < 1 || day > 31 || hour > 23 || min > 59 || sec > 60)
        return false;
    int64_t days = DaysFromCivil(year, static_cast<unsigned>(mon), static_cast<unsigned>(day)) -
                   DaysFromCivil(1601, 1, 1);
    int64_t secs = days * 86400 + hour * 3600 + min * 60 + sec - offsetMin * 60;
    if (secs < 0)
        return false;
    uint64_t ft = static_cast<uint64_t>(secs) * 10000000ULL + static_cast<uint64_t>(frac100ns);
    pOut->dwLowDateTime = static_cast<DWORD>(ft & 0xFFFFFFFF);
    pOut->dwHighDateTime = static_cast<DWORD>(ft >> 32);
    return true;
}

void SortSetOf(std::vector<Bytes>& items)
{
    std::sort(items.begin(), items.end(), [](const Bytes& a, const Bytes& b) {
        size_t n = std::min(a.size(), b.size());
        int c = n ? std::memcmp(a.data(), b.data(), n) : 0;
        return c != 0 ? c < 0 : a.size() < b.size();
    });
}
} // namespace qm::der
