// RegisterWindowMessageW: one id per name (compared without case), from 0xC000 up.
#include <map>
#include <mutex>
#include <string>

#include "winbase.h"
#include "winuser.h"

namespace
{
std::u16string Folded(LPCWSTR name)
{
    std::u16string s(name);
    for (auto& c : s)
        if (c >= u'a' && c <= u'z')
            c = char16_t(c - u'a' + u'A');
    return s;
}
} // namespace

QMAPI UINT WINAPI RegisterWindowMessageW(LPCWSTR lpString)
{
    static std::mutex lock;
    static std::map<std::u16string, UINT> ids;
    if (!lpString || !*lpString)
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::lock_guard guard(lock);
    auto [it, added] = ids.emplace(Folded(lpString), UINT(0xC000 + ids.size()));
    if (it->second > 0xFFFF)
    {
        ids.erase(it);
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return 0;
    }
    return it->second;
}
