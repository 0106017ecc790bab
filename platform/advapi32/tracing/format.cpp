#include "format.h"

#include <chrono>
#include <cstdio>
#include <ctime>

#include "../text.h"

namespace qm::etw
{
std::string FormatGuid(const GUID& g)
{
    char buf[40];
    std::snprintf(buf, sizeof buf, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", unsigned(g.Data1),
                  unsigned(g.Data2), unsigned(g.Data3), g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4],
                  g.Data4[5], g.Data4[6], g.Data4[7]);
    return buf;
}

namespace
{
bool IsWideText(const std::vector<BYTE>& arg)
{
    return arg.size() >= 2 && arg.size() % 2 == 0 && arg[arg.size() - 1] == 0 && arg[arg.size() - 2] == 0;
}

std::string Quote(const std::vector<BYTE>& arg)
{
    std::u16string text;
    for (size_t i = 0; i + 1 < arg.size(); i += 2)
        text += char16_t(arg[i] | (arg[i + 1] << 8));
    while (!text.empty() && text.back() == 0)
        text.pop_back();
    std::string out = "\"";
    for (char c : advapi::ToUtf8(text))
    {
        switch (c)
        {
        case '\\': out += "\\\\"; break;
        case '"': out += "\\\""; break;
        case '\r': out += "\\r"; break;
        case '\n': out += "\\n"; break;
        case '\t': out += "\\t"; break;
        default:
            if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
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

std::string Now()
{
    using namespace std::chrono;
    auto now = system_clock::now();
    auto us = duration_cast<microseconds>(now.time_since_epoch()).count();
    std::time_t secs = std::time_t(us / 1000000);
    std::tm tm{};
    gmtime_r(&secs, &tm);
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d.%06lldZ", tm.tm_year + 1900, tm.tm_mon + 1,
                  tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, static_cast<long long>(us % 1000000));
    return buf;
}
} // namespace

std::string FormatArg(const std::vector<BYTE>& arg)
{
    char buf[24];
    if (arg.size() == 4)
    {
        uint32_t v = arg[0] | (arg[1] << 8) | (arg[2] << 16) | (uint32_t(arg[3]) << 24);
        std::snprintf(buf, sizeof buf, "0x%08x", v);
        return buf;
    }
    if (arg.size() == 8)
    {
        uint64_t v = 0;
        for (int i = 7; i >= 0; --i)
            v = (v << 8) | arg[size_t(i)];
        std::snprintf(buf, sizeof buf, "0x%016llx", static_cast<unsigned long long>(v));
        return buf;
    }
    if (IsWideText(arg))
        return Quote(arg);
    std::string out = "hex:";
    for (BYTE b : arg)
    {
        std::snprintf(buf, sizeof buf, "%02x", b);
        out += buf;
    }
    return out;
}

std::string FormatLine(const GUID& provider, ULONG messageFlags, const GUID* source, USHORT number,
                       const std::vector<std::vector<BYTE>>& args)
{
    char flags[16];
    std::snprintf(flags, sizeof flags, "0x%08x", unsigned(messageFlags));
    std::string line = Now() + " " + FormatGuid(provider) + " " + flags + " " + FormatGuid(source ? *source : GUID{}) +
                       " " + std::to_string(number);
    for (const auto& arg : args)
        line += " " + FormatArg(arg);
    return line;
}
} // namespace qm::etw
