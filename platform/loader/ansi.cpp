#include "ansi.h"

#include <cstring>

#include "winnls.h"

namespace qm::loader
{
std::optional<std::u16string> AnsiToUtf16(LPCSTR text)
{
    if (!text)
        return std::nullopt;
    int len = static_cast<int>(std::strlen(text));
    if (len == 0)
        return std::u16string();
    int n = MultiByteToWideChar(CP_ACP, 0, text, len, nullptr, 0);
    if (n <= 0)
        return std::nullopt;
    std::u16string out(static_cast<size_t>(n), u'\0');
    MultiByteToWideChar(CP_ACP, 0, text, len, out.data(), n);
    return out;
}

std::string Utf16ToAnsi(std::u16string_view text)
{
    if (text.empty())
        return {};
    int len = static_cast<int>(text.size());
    int n = WideCharToMultiByte(CP_ACP, 0, text.data(), len, nullptr, 0, nullptr, nullptr);
    if (n <= 0)
        return {};
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, text.data(), len, out.data(), n, nullptr, nullptr);
    return out;
}
} // namespace qm::loader
