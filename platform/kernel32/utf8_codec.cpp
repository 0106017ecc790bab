// UTF-8 codec for CP_UTF8.
#include "utf8_codec.h"

#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace qm::kernel32
{
namespace
{
bool InRange(unsigned char b, unsigned char lo, unsigned char hi)
{
    return b >= lo && b <= hi;
}

// Length of the ASCII run at the start of in (at most n units); the run is copied to dst
// when dst is not null. Sixteen units at a time: large texts are mostly ASCII.
size_t AsciiRun(const unsigned char* in, size_t n, char16_t* dst)
{
    size_t i = 0;
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    for (; n - i >= 16; i += 16)
    {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
        if (_mm_movemask_epi8(v) != 0)
            break;
        if (dst)
        {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), _mm_unpacklo_epi8(v, zero));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i + 8), _mm_unpackhi_epi8(v, zero));
        }
    }
#endif
    for (; i < n && in[i] < 0x80; ++i)
        if (dst)
            dst[i] = in[i];
    return i;
}

size_t AsciiRun(const char16_t* in, size_t n, char* dst)
{
    size_t i = 0;
#if defined(__SSE2__)
    const __m128i high = _mm_set1_epi16(static_cast<short>(0xFF80));
    const __m128i zero = _mm_setzero_si128();
    for (; n - i >= 16; i += 16)
    {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i + 8));
        const __m128i bits = _mm_and_si128(_mm_or_si128(a, b), high);
        if (_mm_movemask_epi8(_mm_cmpeq_epi16(bits, zero)) != 0xFFFF)
            break;
        if (dst)
            _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), _mm_packus_epi16(a, b));
    }
#endif
    for (; i < n && in[i] < 0x80; ++i)
        if (dst)
            dst[i] = static_cast<char>(in[i]);
    return i;
}

// Writes what fits into a fixed buffer and counts everything.
template <typename Char>
class BufferSink
{
public:
    BufferSink(Char* out, size_t capacity) : m_out(out), m_capacity(capacity) {}
    void Put(Char c)
    {
        if (m_count < m_capacity)
            m_out[m_count] = c;
        ++m_count;
    }
    // The ASCII run at the start of in (at most n units): what fits is written, the rest
    // only counted. Returns the run's length.
    template <typename In>
    size_t PutAsciiRun(const In* in, size_t n)
    {
        const size_t room = m_count < m_capacity ? m_capacity - m_count : 0;
        size_t run = AsciiRun(in, n < room ? n : room, room ? m_out + m_count : nullptr);
        if (run == room && run < n)
            run += AsciiRun(in + run, n - run, nullptr);
        m_count += run;
        return run;
    }
    size_t Count() const { return m_count; }

private:
    Char* m_out;
    size_t m_capacity;
    size_t m_count = 0;
};

template <typename Char>
class StringSink
{
public:
    explicit StringSink(std::basic_string<Char>& out) : m_out(out) {}
    void Put(Char c) { m_out.push_back(c); }
    template <typename In>
    size_t PutAsciiRun(const In* in, size_t n)
    {
        const size_t run = AsciiRun(in, n, nullptr);
        m_out.append(in, in + run);
        return run;
    }

private:
    std::basic_string<Char>& m_out;
};

template <typename Sink>
void PutCodePoint(char32_t cp, Sink& out)
{
    if (cp >= 0x10000)
    {
        cp -= 0x10000;
        out.Put(static_cast<char16_t>(0xD800 + (cp >> 10)));
        out.Put(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    }
    else
        out.Put(static_cast<char16_t>(cp));
}

template <typename Sink>
bool Decode(const char* in, size_t len, bool strict, Sink& out)
{
    const auto* s = reinterpret_cast<const unsigned char*>(in);
    size_t i = 0;
    while (i < len)
    {
        const unsigned char b0 = s[i];
        if (b0 < 0x80)
        {
            // A run of ASCII, the common case, without the per-unit checks.
            i += out.PutAsciiRun(s + i, len - i);
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
            out.Put(u'\xFFFD');
            i = (need > 0) ? j : i + 1; // the maximal subpart: lead plus the valid continuations
            continue;
        }
        PutCodePoint(cp, out);
        i = j;
    }
    return true;
}

template <typename Sink>
bool Encode(const char16_t* in, size_t len, bool strict, Sink& out)
{
    for (size_t i = 0; i < len; ++i)
    {
        char32_t cp = in[i];
        if (cp < 0x80)
        {
            // A run of ASCII, the common case, without the per-unit checks.
            i += out.PutAsciiRun(in + i, len - i) - 1;
            continue;
        }
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
        if (cp < 0x800)
        {
            out.Put(static_cast<char>(0xC0 | (cp >> 6)));
            out.Put(static_cast<char>(0x80 | (cp & 0x3F)));
        }
        else if (cp < 0x10000)
        {
            out.Put(static_cast<char>(0xE0 | (cp >> 12)));
            out.Put(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.Put(static_cast<char>(0x80 | (cp & 0x3F)));
        }
        else
        {
            out.Put(static_cast<char>(0xF0 | (cp >> 18)));
            out.Put(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.Put(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.Put(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    return true;
}
} // namespace

bool DecodeUtf8(const char* in, size_t len, bool strict, std::u16string& out)
{
    StringSink<char16_t> sink(out);
    return Decode(in, len, strict, sink);
}

bool EncodeUtf8(const char16_t* in, size_t len, bool strict, std::string& out)
{
    StringSink<char> sink(out);
    return Encode(in, len, strict, sink);
}

bool DecodeUtf8(const char* in, size_t len, bool strict, char16_t* out, size_t capacity, size_t& needed)
{
    BufferSink<char16_t> sink(out, capacity);
    const bool ok = Decode(in, len, strict, sink);
    needed = sink.Count();
    return ok;
}

bool EncodeUtf8(const char16_t* in, size_t len, bool strict, char* out, size_t capacity, size_t& needed)
{
    BufferSink<char> sink(out, capacity);
    const bool ok = Encode(in, len, strict, sink);
    needed = sink.Count();
    return ok;
}
} // namespace qm::kernel32
