// Parses the embedded message tables on first use.
#include "message_table.h"

#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <utility>

#include "utf8_codec.h"

namespace qm::kernel32
{
namespace
{
using Table = std::map<std::pair<DWORD, LANGID>, std::u16string>;

struct Loaded
{
    Table messages;
    std::map<DWORD, int> codes; // code -> number of languages holding it
    std::vector<LANGID> languages;
};

void ParseLine(const std::string& line, LANGID lang, Loaded& out)
{
    size_t start = line.find_first_not_of(" \t");
    if (start == std::string::npos || line[start] == '#')
        return;
    size_t gap = line.find_first_of(" \t", start);
    if (gap == std::string::npos)
        return;
    std::string number = line.substr(start, gap - start);
    DWORD code = static_cast<DWORD>(std::strtoul(number.c_str(), nullptr, 0));
    size_t textStart = line.find_first_not_of(" \t", gap);
    std::string raw = textStart == std::string::npos ? std::string() : line.substr(textStart);
    while (!raw.empty() && (raw.back() == '\r' || raw.back() == ' '))
        raw.pop_back();
    std::string text;
    for (size_t i = 0; i < raw.size(); ++i)
    {
        if (raw[i] == '\\' && i + 1 < raw.size() && raw[i + 1] == 'n')
        {
            text += "\r\n";
            ++i;
        }
        else if (raw[i] == '\\' && i + 1 < raw.size() && raw[i + 1] == '\\')
        {
            text += '\\';
            ++i;
        }
        else
            text += raw[i];
    }
    text += "\r\n";
    std::u16string wide;
    DecodeUtf8(text.data(), text.size(), false, wide);
    if (out.messages.emplace(std::make_pair(code, lang), std::move(wide)).second)
        ++out.codes[code];
}

const Loaded& Messages()
{
    static const Loaded loaded = [] {
        Loaded l;
        for (size_t i = 0; i < kSystemMessageSourceCount; ++i)
        {
            const MessageSource& src = kSystemMessageSources[i];
            l.languages.push_back(src.language);
            const char* p = src.text;
            while (*p)
            {
                const char* end = std::strchr(p, '\n');
                size_t len = end ? static_cast<size_t>(end - p) : std::strlen(p);
                ParseLine(std::string(p, len), src.language, l);
                p += len + (end ? 1 : 0);
            }
        }
        return l;
    }();
    return loaded;
}
} // namespace

MessageLookup FindSystemMessage(DWORD code, LANGID language, std::u16string& text)
{
    if ((code & 0xFFFF0000u) == 0x80070000u)
        code &= 0xFFFF;
    const Loaded& l = Messages();
    if (!l.codes.count(code))
        return MessageLookup::NoSuchMessage;
    auto it = l.messages.find({code, language});
    if (it == l.messages.end())
        return MessageLookup::NoSuchLanguage;
    text = it->second;
    return MessageLookup::Found;
}

std::vector<LANGID> SystemMessageLanguages()
{
    return Messages().languages;
}
} // namespace qm::kernel32
