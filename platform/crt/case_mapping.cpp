// Simple case mapping of the BMP for the wide-string functions.
#include <algorithm>
#include <cstdint>
#include <iterator>

#include "crtwide.h"

namespace
{
struct CasePair
{
    uint16_t from;
    uint16_t to;
};
#include "case_table.inc"

template <size_t N>
char16_t Map(const CasePair (&table)[N], char16_t c)
{
    auto it = std::lower_bound(std::begin(table), std::end(table), c,
                               [](const CasePair& p, char16_t v) { return p.from < v; });
    return (it != std::end(table) && it->from == c) ? static_cast<char16_t>(it->to) : c;
}
} // namespace

char16_t towlower(char16_t c)
{
    if (c < 0x80)
        return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c;
    return Map(kToLower, c);
}

char16_t towupper(char16_t c)
{
    if (c < 0x80)
        return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - 32) : c;
    return Map(kToUpper, c);
}
