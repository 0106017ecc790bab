// ANSI code pages through iconv: one converter per thread and direction, reset per call.
#include "ansi_codec.h"
#include "code_page_tables.h"

#include <iconv.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <utility>

namespace qm::kernel32
{
namespace
{
std::string IconvName(UINT cp)
{
    switch (cp)
    {
    case 20127: return "ASCII";
    case 20936: return "GB2312";
    case 54936: return "GB18030";
    case 65000: return "UTF-7";
    case 10000: return "MACINTOSH";
    case 20866: return "KOI8-R";
    case 51932: return "EUC-JP";
    case 51949: return "EUC-KR";
    default: break;
    }
    if (cp >= 28591 && cp <= 28599)
        return "ISO-8859-" + std::to_string(cp - 28590);
    return "CP" + std::to_string(cp);
}

class Converters
{
public:
    ~Converters()
    {
        for (auto& [key, cd] : m_open)
            if (cd != reinterpret_cast<iconv_t>(-1))
                iconv_close(cd);
    }

    // toWide: code page -> UTF-16LE; otherwise the reverse. (iconv_t)-1 when unknown.
    iconv_t Get(UINT cp, bool toWide)
    {
        auto key = std::make_pair(cp, toWide);
        auto it = m_open.find(key);
        if (it == m_open.end())
        {
            std::string name = IconvName(cp);
            iconv_t cd = toWide ? iconv_open("UTF-16LE", name.c_str()) : iconv_open(name.c_str(), "UTF-16LE");
            it = m_open.emplace(key, cd).first;
        }
        if (it->second != reinterpret_cast<iconv_t>(-1))
            iconv(it->second, nullptr, nullptr, nullptr, nullptr);
        return it->second;
    }

private:
    std::map<std::pair<UINT, bool>, iconv_t> m_open;
};

thread_local Converters t_converters;

const iconv_t kNone = reinterpret_cast<iconv_t>(-1);

// Runs cd over in; calls onBad(offset) for bytes iconv refuses, which returns how many
// input bytes to skip (0: give up).
template <typename OnBad>
bool Run(iconv_t cd, const char* in, size_t len, std::string& out, OnBad onBad)
{
    char chunk[4096];
    char* src = const_cast<char*>(in);
    size_t left = len;
    while (left > 0)
    {
        char* dst = chunk;
        size_t room = sizeof(chunk);
        size_t rc = iconv(cd, &src, &left, &dst, &room);
        out.append(chunk, dst - chunk);
        if (rc != static_cast<size_t>(-1))
            continue;
        if (errno == E2BIG)
            continue;
        size_t skip = onBad(static_cast<size_t>(src - in));
        if (skip == 0)
            return false;
        skip = skip < left ? skip : left;
        src += skip;
        left -= skip;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    char* dst = chunk;
    size_t room = sizeof(chunk);
    iconv(cd, nullptr, nullptr, &dst, &room); // flush any shift state
    out.append(chunk, dst - chunk);
    return true;
}
} // namespace

bool IsIconvCodePage(UINT codePage)
{
    return t_converters.Get(codePage, true) != kNone && t_converters.Get(codePage, false) != kNone;
}

bool DecodeAnsi(UINT codePage, const char* in, size_t len, bool strict, std::u16string& out)
{
    iconv_t cd = t_converters.Get(codePage, true);
    if (cd == kNone)
        return false;
    std::string bytes;
    bool ok = Run(cd, in, len, bytes, [&](size_t offset) -> size_t {
        char16_t c = 0;
        size_t used = 0;
        if (WindowsDecoding(codePage, in + offset, len - offset, &c, &used))
        {
            bytes.push_back(static_cast<char>(c & 0xFF));
            bytes.push_back(static_cast<char>(c >> 8));
            return used;
        }
        if (strict)
            return 0;
        bytes.append("?\0", 2); // '?' in UTF-16LE
        return 1;
    });
    if (!ok)
        return false;
    out.resize(bytes.size() / 2);
    for (size_t i = 0; i < out.size(); ++i)
        out[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                       (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
    return true;
}

bool EncodeAnsi(UINT codePage, const char16_t* in, size_t len, const std::string& defaultChar, bool noBestFit,
                std::string& out, bool* usedDefault)
{
    iconv_t cd = t_converters.Get(codePage, false);
    if (cd == kNone)
        return false;
    std::string wide(len * 2, '\0');
    for (size_t i = 0; i < len; ++i)
    {
        wide[2 * i] = static_cast<char>(in[i] & 0xFF);
        wide[2 * i + 1] = static_cast<char>(in[i] >> 8);
    }
    return Run(cd, wide.data(), wide.size(), out, [&](size_t offset) -> size_t {
        size_t unit = offset / 2;
        std::string mapped = WindowsEncoding(codePage, in[unit], !noBestFit);
        if (!mapped.empty())
        {
            out.append(mapped);
            return 2;
        }
        *usedDefault = true;
        // Windows converts UTF-16 units: a surrogate pair without a mapping is two defaults.
        bool pair = unit + 1 < len && in[unit] >= 0xD800 && in[unit] <= 0xDBFF && in[unit + 1] >= 0xDC00 &&
                    in[unit + 1] <= 0xDFFF;
        out.append(defaultChar);
        if (pair)
            out.append(defaultChar);
        return pair ? 4 : 2;
    });
}
} // namespace qm::kernel32
