#include "reg_text.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "qm/utf.h"

namespace qmctl
{
std::u16string Utf16(const std::string& s)
{
    std::u16string out;
    for (size_t i = 0; i < s.size();)
    {
        unsigned char b = s[i];
        char32_t c = b;
        size_t n = b < 0x80 ? 1 : (b & 0xE0) == 0xC0 ? 2 : (b & 0xF0) == 0xE0 ? 3 : (b & 0xF8) == 0xF0 ? 4 : 1;
        if (n > 1 && i + n <= s.size())
        {
            c = b & (0xFF >> (n + 1));
            for (size_t k = 1; k < n; ++k)
                c = (c << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
        }
        else if (n > 1)
            c = 0xFFFD, n = 1;
        i += n;
        qm::utf::AppendUtf16(out, c);
    }
    return out;
}

std::string Utf8(const std::u16string& s)
{
    std::string out;
    for (size_t i = 0; i < s.size();)
        qm::utf::AppendUtf8(out, qm::utf::NextUtf16(s, i));
    return out;
}

std::string KeyPath::Display() const
{
    return subKey.empty() ? rootName : rootName + "\\" + Utf8(subKey);
}

namespace
{
bool SameIgnoringCase(const std::string& a, const char* b)
{
    return strcasecmp(a.c_str(), b) == 0;
}

struct Root
{
    const char* shortName;
    const char* longName;
    HKEY key;
};
const Root kRoots[] = {
    {"HKLM", "HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
    {"HKCU", "HKEY_CURRENT_USER", HKEY_CURRENT_USER},
    {"HKCR", "HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},
};

const struct
{
    DWORD type;
    const char* name;
} kTypes[] = {{REG_NONE, "REG_NONE"},     {REG_SZ, "REG_SZ"},       {REG_EXPAND_SZ, "REG_EXPAND_SZ"},
              {REG_BINARY, "REG_BINARY"}, {REG_DWORD, "REG_DWORD"}, {REG_MULTI_SZ, "REG_MULTI_SZ"},
              {REG_QWORD, "REG_QWORD"}};

std::u16string Units(const std::vector<BYTE>& data)
{
    std::u16string text;
    for (size_t i = 0; i + 1 < data.size(); i += 2)
        text += char16_t(data[i] | (data[i + 1] << 8));
    return text;
}

std::u16string StripTerminators(std::u16string text)
{
    while (!text.empty() && text.back() == 0)
        text.pop_back();
    return text;
}

std::vector<std::u16string> MultiItems(const std::vector<BYTE>& data)
{
    std::u16string all = StripTerminators(Units(data));
    std::vector<std::u16string> items;
    if (all.empty())
        return items;
    size_t start = 0;
    for (;;)
    {
        size_t end = all.find(u'\0', start);
        items.push_back(all.substr(start, end == std::u16string::npos ? std::u16string::npos : end - start));
        if (end == std::u16string::npos)
            break;
        start = end + 1;
    }
    return items;
}

std::string Hex(const std::vector<BYTE>& data)
{
    std::string out;
    char buf[4];
    for (BYTE b : data)
    {
        std::snprintf(buf, sizeof buf, "%02x", b);
        out += buf;
    }
    return out;
}

std::string Quote(const std::string& text)
{
    std::string out = "\"";
    for (char c : text)
    {
        switch (c)
        {
        case '\\': out += "\\\\"; break;
        case '"': out += "\\\""; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (static_cast<unsigned char>(c) < 0x20)
            {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\x%02x", static_cast<unsigned char>(c));
                out += buf;
            }
            else
                out += c;
        }
    }
    return out + "\"";
}

uint64_t Little(const std::vector<BYTE>& data)
{
    uint64_t v = 0;
    for (size_t i = data.size(); i-- > 0;)
        v = (v << 8) | data[i];
    return v;
}

void AppendText(std::vector<BYTE>& out, const std::u16string& text)
{
    for (char16_t c : text)
    {
        out.push_back(BYTE(c & 0xFF));
        out.push_back(BYTE(c >> 8));
    }
    out.push_back(0);
    out.push_back(0);
}
} // namespace

std::optional<KeyPath> ParseKeyPath(const std::string& text)
{
    std::string rootText = text.substr(0, text.find('\\'));
    std::string rest = text.size() > rootText.size() ? text.substr(rootText.size() + 1) : std::string();
    for (const auto& root : kRoots)
        if (SameIgnoringCase(rootText, root.shortName) || SameIgnoringCase(rootText, root.longName))
        {
            while (!rest.empty() && rest.back() == '\\')
                rest.pop_back();
            if (!rest.empty() && rest.front() == '\\')
                return std::nullopt;
            return KeyPath{root.key, root.longName, Utf16(rest)};
        }
    return std::nullopt;
}

std::optional<DWORD> ParseType(const std::string& name)
{
    for (const auto& t : kTypes)
        if (SameIgnoringCase(name, t.name))
            return t.type;
    return std::nullopt;
}

std::string TypeName(DWORD type)
{
    for (const auto& t : kTypes)
        if (t.type == type)
            return t.name;
    return "REG_TYPE_" + std::to_string(type);
}

std::optional<std::vector<BYTE>> ParseData(DWORD type, const std::string& text, const std::string& separator,
                                           std::string& error)
{
    std::vector<BYTE> out;
    switch (type)
    {
    case REG_SZ:
    case REG_EXPAND_SZ:
        AppendText(out, Utf16(text));
        return out;
    case REG_MULTI_SZ:
    {
        size_t start = 0;
        while (!text.empty())
        {
            size_t end = separator.empty() ? std::string::npos : text.find(separator, start);
            AppendText(out, Utf16(text.substr(start, end == std::string::npos ? std::string::npos : end - start)));
            if (end == std::string::npos)
                break;
            start = end + separator.size();
        }
        out.push_back(0);
        out.push_back(0);
        return out;
    }
    case REG_DWORD:
    case REG_QWORD:
    {
        char* end = nullptr;
        errno = 0;
        unsigned long long v = std::strtoull(text.c_str(), &end, 0);
        bool fits = type == REG_QWORD || v <= 0xFFFFFFFFull;
        if (text.empty() || text[0] == '-' || !end || *end || errno || !fits)
        {
            error = "not a " + TypeName(type) + " number: " + text;
            return std::nullopt;
        }
        for (int i = 0; i < (type == REG_DWORD ? 4 : 8); ++i)
            out.push_back(BYTE(v >> (8 * i)));
        return out;
    }
    default: // REG_BINARY, REG_NONE: hex digits
    {
        if (text.size() % 2)
        {
            error = "hex data needs an even number of digits: " + text;
            return std::nullopt;
        }
        for (size_t i = 0; i < text.size(); i += 2)
        {
            char pair[3] = {text[i], text[i + 1], 0};
            char* end = nullptr;
            unsigned long b = std::strtoul(pair, &end, 16);
            if (!std::isxdigit(static_cast<unsigned char>(pair[0])) || !end || *end)
            {
                error = "not hex data: " + text;
                return std::nullopt;
            }
            out.push_back(BYTE(b));
        }
        return out;
    }
    }
}

std::string PlainData(DWORD type, const std::vector<BYTE>& data, const std::string& separator)
{
    switch (type)
    {
    case REG_SZ:
    case REG_EXPAND_SZ:
        return Utf8(StripTerminators(Units(data)));
    case REG_MULTI_SZ:
    {
        std::string out;
        auto items = MultiItems(data);
        for (size_t i = 0; i < items.size(); ++i)
            out += (i ? separator : "") + Utf8(items[i]);
        return out;
    }
    case REG_DWORD:
    case REG_QWORD:
        if (data.size() == (type == REG_DWORD ? 4u : 8u))
            return std::to_string(Little(data));
        return Hex(data);
    default:
        return Hex(data);
    }
}

std::string DumpData(DWORD type, const std::vector<BYTE>& data)
{
    std::string out = TypeName(type) + ":";
    char buf[24];
    switch (type)
    {
    case REG_SZ:
    case REG_EXPAND_SZ:
        return out + Quote(Utf8(StripTerminators(Units(data))));
    case REG_MULTI_SZ:
    {
        auto items = MultiItems(data);
        for (size_t i = 0; i < items.size(); ++i)
            out += (i ? "," : "") + Quote(Utf8(items[i]));
        return out;
    }
    case REG_DWORD:
        if (data.size() == 4)
        {
            std::snprintf(buf, sizeof buf, "0x%08llx", static_cast<unsigned long long>(Little(data)));
            return out + buf;
        }
        return out + "hex:" + Hex(data);
    case REG_QWORD:
        if (data.size() == 8)
        {
            std::snprintf(buf, sizeof buf, "0x%016llx", static_cast<unsigned long long>(Little(data)));
            return out + buf;
        }
        return out + "hex:" + Hex(data);
    default:
        return out + Hex(data);
    }
}

std::string QuoteName(const std::u16string& name)
{
    return name.empty() ? "@" : Quote(Utf8(name));
}
} // namespace qmctl
