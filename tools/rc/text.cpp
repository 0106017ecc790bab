#include "text.h"

#include <cctype>

#include "qm/utf.h"

namespace qm::rc
{
namespace
{
// Decodes escapes into a sequence of code units: bytes for narrow literals (to be read as
// UTF-8), UTF-16 units for wide literals (their plain text is UTF-8 too).
struct Unit
{
    uint32_t value;
    bool escaped; // from \x or octal: taken as is, not as UTF-8
};

std::vector<Unit> Unescape(const Token& t)
{
    std::vector<Unit> out;
    const std::string& s = t.text;
    uint32_t max = t.isWide ? 0xFFFF : 0xFF;
    for (size_t i = 0; i < s.size(); ++i)
    {
        char c = s[i];
        if (c == '"' && i + 1 < s.size() && s[i + 1] == '"')
        {
            out.push_back({'"', false});
            ++i;
            continue;
        }
        if (c != '\\')
        {
            out.push_back({static_cast<unsigned char>(c), false});
            continue;
        }
        if (++i >= s.size())
            throw RcError(t.where, "string ends with a backslash");
        char e = s[i];
        switch (e)
        {
        case 'n': out.push_back({'\n', false}); break;
        case 'r': out.push_back({'\r', false}); break;
        case 't': out.push_back({'\t', false}); break;
        case 'a': out.push_back({'\a', false}); break;
        case 'b': out.push_back({'\b', false}); break;
        case 'f': out.push_back({'\f', false}); break;
        case 'v': out.push_back({'\v', false}); break;
        case '\\': out.push_back({'\\', false}); break;
        case '"': out.push_back({'"', false}); break;
        case '\'': out.push_back({'\'', false}); break;
        case '?': out.push_back({'?', false}); break;
        case 'x':
        case 'X':
        {
            uint32_t v = 0;
            size_t digits = 0;
            while (i + 1 < s.size() && std::isxdigit(static_cast<unsigned char>(s[i + 1])) &&
                   digits < (t.isWide ? 4u : 2u))
            {
                char h = static_cast<char>(std::tolower(static_cast<unsigned char>(s[++i])));
                v = v * 16 + static_cast<uint32_t>(h <= '9' ? h - '0' : h - 'a' + 10);
                ++digits;
            }
            if (digits == 0)
                throw RcError(t.where, "\\x needs hex digits");
            out.push_back({v, true});
            break;
        }
        default:
            if (e >= '0' && e <= '7')
            {
                uint32_t v = static_cast<uint32_t>(e - '0');
                for (int k = 0; k < 2 && i + 1 < s.size() && s[i + 1] >= '0' && s[i + 1] <= '7'; ++k)
                    v = v * 8 + static_cast<uint32_t>(s[++i] - '0');
                if (v > max)
                    throw RcError(t.where, "octal escape out of range");
                out.push_back({v, true});
                break;
            }
            throw RcError(t.where, std::string("unknown escape sequence '\\") + e + "'");
        }
    }
    return out;
}
} // namespace

std::u16string Utf8ToUtf16(const std::string& text, const SourceLocation& where)
{
    std::u16string out;
    for (size_t i = 0; i < text.size();)
    {
        char32_t cp = 0;
        size_t length = utf::DecodeUtf8(text, i, &cp);
        if (length == 0 || utf::IsSurrogate(cp))
            throw RcError(where, "text is not valid UTF-8");
        utf::AppendUtf16(out, cp);
        i += length;
    }
    return out;
}

std::string Utf16ToUtf8(const std::u16string& text)
{
    std::string out;
    for (size_t i = 0; i < text.size();)
        utf::AppendUtf8(out, utf::NextUtf16(text, i));
    return out;
}

std::u16string DecodeText(const Token& literal)
{
    // Plain characters are UTF-8; escaped units stand for themselves.
    std::u16string out;
    std::string pending;
    auto flush = [&] {
        out += Utf8ToUtf16(pending, literal.where);
        pending.clear();
    };
    for (const Unit& u : Unescape(literal))
    {
        if (u.escaped)
        {
            flush();
            out.push_back(static_cast<char16_t>(u.value));
        }
        else
            pending.push_back(static_cast<char>(u.value));
    }
    flush();
    return out;
}

std::vector<uint8_t> DecodeBytes(const Token& literal)
{
    std::vector<uint8_t> out;
    if (literal.isWide)
    {
        for (char16_t c : DecodeText(literal))
        {
            out.push_back(static_cast<uint8_t>(c & 0xFF));
            out.push_back(static_cast<uint8_t>(c >> 8));
        }
        return out;
    }
    std::string plain;
    for (const Unit& u : Unescape(literal))
    {
        if (!u.escaped)
            plain.push_back(static_cast<char>(u.value));
        out.push_back(static_cast<uint8_t>(u.value));
    }
    Utf8ToUtf16(plain, literal.where); // the plain text must be UTF-8 all the same
    return out;
}
} // namespace qm::rc
