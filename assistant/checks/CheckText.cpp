#include "CheckText.h"

#include <atomic>
#include <cstdio>
#include <vector>

namespace
{
std::atomic<PFN_CHECK_LOG_WRITER> g_logWriter{nullptr};
}

std::string AcpFromWide(const char16_t* text)
{
    int size = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 0)
        return {};
    std::string out(size_t(size), '\0');
    WideCharToMultiByte(CP_ACP, 0, text, -1, out.data(), size, nullptr, nullptr);
    out.resize(size_t(size - 1));
    return out;
}

std::u16string WideFromAcp(const char* text)
{
    int size = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (size <= 0)
        return {};
    std::u16string out(size_t(size), u'\0');
    MultiByteToWideChar(CP_ACP, 0, text, -1, out.data(), size);
    out.resize(size_t(size - 1));
    return out;
}

void SetCheckLogWriter(PFN_CHECK_LOG_WRITER writer)
{
    g_logWriter = writer;
}

void WriteCheckLog(LPCSTR text)
{
    if (auto writer = g_logWriter.load())
        writer(text);
}

void WriteCheckLogFormat(const char16_t* format, const char* arg1, const char* arg2, const char* arg3)
{
    // The template's code-page bytes never contain '%' beyond its own directives (GBK trail
    // bytes start at 0x40), so it can be formatted after conversion.
    std::string pattern = AcpFromWide(format);
    int size = std::snprintf(nullptr, 0, pattern.c_str(), arg1 ? arg1 : "", arg2 ? arg2 : "", arg3 ? arg3 : "");
    if (size < 0)
        return;
    std::vector<char> text(size_t(size) + 1);
    std::snprintf(text.data(), text.size(), pattern.c_str(), arg1 ? arg1 : "", arg2 ? arg2 : "", arg3 ? arg3 : "");
    WriteCheckLog(text.data());
}
