#include "diagnostics.h"

#include <cstdint>
#include <cstdio>

namespace nphost
{
namespace
{
int g_problems = 0;

void Emit(std::string_view prefix, std::string_view text)
{
    std::fprintf(stderr, "nphost: %.*s%.*s\n", int(prefix.size()), prefix.data(), int(text.size()),
                 text.data());
    std::fflush(stderr);
}
} // namespace

void Note(std::string_view text) { Emit("", text); }

void Fault(std::string_view text)
{
    ++g_problems;
    Emit("error: ", text);
}

void Leak(std::string_view text)
{
    ++g_problems;
    Emit("leak: ", text);
}

int ProblemCount() { return g_problems; }

std::string Hex(const void* pointer)
{
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%p", pointer);
    return buffer;
}

std::string Hex32(uint32_t value)
{
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "0x%08X", value);
    return buffer;
}

std::string Preview(const void* data, size_t size)
{
    const auto* bytes = static_cast<const unsigned char*>(data);
    std::string text;
    for (size_t i = 0; i < size && i < 40; ++i)
        text += (bytes[i] >= 0x20 && bytes[i] < 0x7F) ? char(bytes[i]) : '.';
    if (size > 40)
        text += "...";
    return text;
}
} // namespace nphost
