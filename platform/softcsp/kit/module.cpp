#include "module.h"

#include <algorithm>

namespace qm::cspkit
{
BOOL ContainerWalk::Next(const std::function<std::vector<std::string>()>& list, BYTE* data,
                         DWORD* length, DWORD flags)
{
    if ((flags & CRYPT_FIRST) || !started)
    {
        names = list();
        cursor = 0;
        started = true;
    }
    if (!data && (flags & CRYPT_FIRST))
    {
        if (names.empty())
            return Fail(ERROR_NO_MORE_ITEMS);
        size_t longest = 0;
        for (const auto& n : names)
            longest = std::max(longest, n.size() + 1);
        *length = DWORD(longest);
        return TRUE;
    }
    if (cursor >= names.size())
        return Fail(ERROR_NO_MORE_ITEMS);
    if (!CopyText(names[cursor], data, length))
        return FALSE;
    if (data)
        ++cursor;
    return TRUE;
}
} // namespace qm::cspkit
