// Text conversions and script literals.
#include <glib.h>

#include <cstdio>

#include "browser.h"

namespace qm::web
{
std::string ToUtf8(const std::u16string& text)
{
    gchar* s = g_utf16_to_utf8(reinterpret_cast<const gunichar2*>(text.data()), static_cast<glong>(text.size()),
                               nullptr, nullptr, nullptr);
    std::string out = s ? s : "";
    g_free(s);
    return out;
}

std::u16string ToUtf16(const std::string& text)
{
    glong n = 0;
    gunichar2* s = g_utf8_to_utf16(text.data(), static_cast<glong>(text.size()), nullptr, &n, nullptr);
    std::u16string out = s ? std::u16string(reinterpret_cast<const char16_t*>(s), n) : std::u16string();
    g_free(s);
    return out;
}

std::string JsQuote(const std::string& text)
{
    std::string out = "\"";
    for (unsigned char c : text)
    {
        switch (c)
        {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '<': // never closes a script element the text lands in
            out += "\\u003c";
            break;
        default:
            if (c < 0x20)
            {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04x", c);
                out += buf;
            }
            else
                out += static_cast<char>(c);
        }
    }
    // U+2028 and U+2029 end lines in older script engines.
    for (std::string sep : {"\xE2\x80\xA8", "\xE2\x80\xA9"})
        for (size_t at = out.find(sep); at != std::string::npos; at = out.find(sep, at))
            out.replace(at, sep.size(), sep[2] == '\xA8' ? "\\u2028" : "\\u2029");
    return out + "\"";
}
} // namespace qm::web
