#include "MiddlewareVersion.h"

#include <cstring>
#include <string>

#include "windows.h"

namespace
{
int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Digit pairs to bytes, at most 32; any character that is not a hex digit makes all bytes 0.
void DecodeHex(const char* text, unsigned char out[32])
{
    std::memset(out, 0, 32);
    size_t length = std::strlen(text);
    for (size_t i = 0; i < length; ++i)
        if (HexDigit(text[i]) < 0)
            return;
    for (size_t i = 0; i + 1 < length + 1 && i / 2 < 32; i += 2)
    {
        int high = HexDigit(text[i]);
        int low = i + 1 < length ? HexDigit(text[i + 1]) : 0;
        out[i / 2] = static_cast<unsigned char>(high * 16 + low);
    }
}

void ReplaceDots(std::string& text)
{
    for (auto& c : text)
        if (c == '.')
            c = '0';
}

// "1.0.18.601" and "1.0.18.0601" both become "10180601".
std::string Normalise(std::string text)
{
    size_t p1 = text.find('.');
    if (p1 == std::string::npos)
        return text;
    text.erase(p1, 1);
    size_t p2 = text.find('.');
    if (p2 == std::string::npos)
        return text;
    size_t p3 = text.find('.', p2 + 1);
    if (p3 == std::string::npos)
    {
        ReplaceDots(text);
        return text;
    }
    size_t after = text.size() - p3 - 1;
    if (p3 - p2 == 2)
    {
        if (after != 3)
            text.erase(p3, 1);
        ReplaceDots(text);
    }
    else if (p3 - p2 == 3)
    {
        if (after == 3)
        {
            text.erase(p2, 1);
            ReplaceDots(text);
        }
        else
        {
            text.erase(p2, 1);
            text.erase(p3 - 1, 1);
        }
    }
    return text;
}
} // namespace

int CompareVersionHex(const char* installed, const char* expected)
{
    if (!installed)
        return 0;
    if (!expected)
        return 1;
    unsigned char a[32], b[32];
    DecodeHex(installed, a);
    DecodeHex(expected, b);
    for (int i = 0; i < 4; ++i)
        if (a[i] != b[i])
            return a[i] > b[i] ? 1 : 0;
    return 1;
}

int ReadMiddlewareVersion(char* buffer, const char* key, const char* expected)
{
    HKEY h = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, 0, KEY_QUERY_VALUE, &h) != ERROR_SUCCESS)
        return 0;
    char value[261] = {};
    DWORD size = 260;
    LSTATUS st = RegQueryValueExA(h, "Version", nullptr, nullptr, reinterpret_cast<BYTE*>(value), &size);
    RegCloseKey(h);
    if (st != ERROR_SUCCESS)
        return 0;
    std::string text = Normalise(value);
    if (text.size() < 8)
        text.append(8 - text.size(), '0');
    std::memset(buffer, 0, 260);
    std::memcpy(buffer, text.data(), text.size() < 259 ? text.size() : 259);
    return CompareVersionHex(buffer, expected);
}
