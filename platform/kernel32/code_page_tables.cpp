// Windows' table for code page 936 (GBK with Windows' additions) where it differs from
// iconv's CP936, and the best-fit characters WideCharToMultiByte writes unless it is given
// WC_NO_BEST_FIT_CHARS. Add entries here as the kit meets them.
#include "code_page_tables.h"

#include <cstring>

namespace qm::kernel32
{
namespace
{
struct Entry
{
    UINT codePage;
    const char* bytes; // zero-terminated, one or two bytes
    char16_t wide;
    bool bestFit;      // only from wide to bytes, and only without WC_NO_BEST_FIT_CHARS
};

const Entry kEntries[] = {
    // A lone 0xFF is a character of its own in Windows' table, in the private use area.
    {936, "\xFF", 0xF8F5, false},
    // Best fit: signs GBK lacks, written as their full-width forms.
    {936, "\xA3\xA4", 0x00A5, true}, // YEN SIGN as FULLWIDTH YEN SIGN
    {936, "\xA1\xE9", 0x00A2, true}, // CENT SIGN as FULLWIDTH CENT SIGN
    {936, "\xA1\xEA", 0x00A3, true}, // POUND SIGN as FULLWIDTH POUND SIGN
};
} // namespace

bool WindowsDecoding(UINT codePage, const char* in, size_t len, char16_t* out, size_t* used)
{
    for (const Entry& e : kEntries)
    {
        size_t n = std::strlen(e.bytes);
        if (e.codePage == codePage && !e.bestFit && n <= len && std::memcmp(in, e.bytes, n) == 0)
        {
            *out = e.wide;
            *used = n;
            return true;
        }
    }
    return false;
}

std::string WindowsEncoding(UINT codePage, char16_t c, bool bestFit)
{
    for (const Entry& e : kEntries)
        if (e.codePage == codePage && e.wide == c && (bestFit || !e.bestFit))
            return e.bytes;
    return {};
}
} // namespace qm::kernel32
