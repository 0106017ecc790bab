#include "module.h"

#include <algorithm>
#include <cstring>

namespace qm::cspkit
{
BOOL ContainerWalk::Next(const std::function<DWORD(std::vector<std::string>*)>& list, BYTE* data,
                         DWORD* length, DWORD flags)
{
    if ((flags & CRYPT_FIRST) || !started)
    {
        names.clear();
        cursor = 0;
        started = true;
        if (DWORD error = list(&names))
        {
            // The next call reads the list again rather than walking a part of it.
            names.clear();
            started = false;
            return Fail(error);
        }
    }
    if (cursor >= names.size())
        return Fail(ERROR_NO_MORE_ITEMS);
    // The size query answers the longest name a container can have, so that one buffer
    // serves a walk during which containers come and go.
    if (!data)
    {
        *length = MAX_PATH + 1;
        return TRUE;
    }
    const DWORD need = DWORD(names[cursor].size() + 1);
    if (*length < need)
    {
        *length = need;
        return Fail(ERROR_MORE_DATA);
    }
    // A name that fits leaves the caller's length as it was.
    std::memcpy(data, names[cursor].c_str(), need);
    ++cursor;
    return TRUE;
}
} // namespace qm::cspkit
