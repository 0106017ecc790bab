// Security identifiers: text form to binary form, and their validity.
#include <cstring>

#include "machine_accounts.h"
#include "securitybaseapi.h"
#include "winbase.h"

namespace qm::accounts
{
namespace
{
bool ParseNumber(const std::u16string& text, size_t* pos, uint64_t limit, uint64_t* out)
{
    size_t start = *pos;
    uint64_t value = 0;
    while (*pos < text.size() && text[*pos] >= u'0' && text[*pos] <= u'9')
    {
        value = value * 10 + (text[*pos] - u'0');
        if (value > limit)
            return false;
        ++*pos;
    }
    *out = value;
    return *pos > start;
}
} // namespace

bool SidFromText(const std::u16string& text, std::vector<BYTE>* sid)
{
    if (text.size() < 2 || (text[0] != u'S' && text[0] != u's') || text[1] != u'-')
        return false;
    size_t pos = 2;
    uint64_t revision = 0, authority = 0;
    if (!ParseNumber(text, &pos, 255, &revision) || revision != SID_REVISION || pos >= text.size() ||
        text[pos++] != u'-' || !ParseNumber(text, &pos, 0xFFFFFFFFFFFFull, &authority))
        return false;
    std::vector<DWORD> subs;
    while (pos < text.size())
    {
        uint64_t sub = 0;
        if (text[pos++] != u'-' || !ParseNumber(text, &pos, 0xFFFFFFFFull, &sub) ||
            subs.size() == SID_MAX_SUB_AUTHORITIES)
            return false;
        subs.push_back(DWORD(sub));
    }
    sid->assign(8 + 4 * subs.size(), 0);
    (*sid)[0] = BYTE(revision);
    (*sid)[1] = BYTE(subs.size());
    for (int i = 0; i < 6; ++i) // the authority is big-endian, the sub-authorities native
        (*sid)[2 + i] = BYTE(authority >> (8 * (5 - i)));
    std::memcpy(sid->data() + 8, subs.data(), 4 * subs.size());
    return true;
}

size_t SidSize(const void* sid)
{
    if (!sid)
        return 0;
    auto* bytes = static_cast<const BYTE*>(sid);
    if (bytes[0] != SID_REVISION || bytes[1] > SID_MAX_SUB_AUTHORITIES)
        return 0;
    return 8 + 4 * size_t(bytes[1]);
}
} // namespace qm::accounts

QMAPI BOOL WINAPI IsValidSid(PSID pSid) { return qm::accounts::SidSize(pSid) != 0; }

QMAPI DWORD WINAPI GetLengthSid(PSID pSid) { return DWORD(qm::accounts::SidSize(pSid)); }
