// NetUserGetLocalGroups and NetApiBufferFree over the machine's accounts.
#include <cstdlib>
#include <cstring>

#include "crtwide.h"
#include "lm.h"
#include "machine_accounts.h"
#include "winbase.h"

namespace
{
bool IsThisComputer(LPCWSTR server)
{
    if (!server || !*server)
        return true;
    std::u16string name = server;
    if (name.rfind(u"\\\\", 0) == 0)
        name.erase(0, 2);
    return _wcsicmp(name.c_str(), qm::accounts::ComputerName().c_str()) == 0;
}

// "COMPUTER\name" names the same account as "name" when COMPUTER is this machine.
bool AccountPart(const std::u16string& user, std::u16string* name)
{
    auto slash = user.find(u'\\');
    if (slash == std::u16string::npos)
    {
        *name = user;
        return true;
    }
    if (!IsThisComputer(user.substr(0, slash).c_str()) || slash == 0)
        return false;
    *name = user.substr(slash + 1);
    return true;
}
} // namespace

QMAPI NET_API_STATUS WINAPI NetUserGetLocalGroups(LPCWSTR servername, LPCWSTR username, DWORD level, DWORD,
                                                  LPBYTE* bufptr, DWORD prefmaxlen, LPDWORD entriesread,
                                                  LPDWORD totalentries)
{
    if (!username || !bufptr || !entriesread || !totalentries)
        return ERROR_INVALID_PARAMETER;
    *bufptr = nullptr;
    *entriesread = *totalentries = 0;
    if (level != 0)
        return ERROR_INVALID_LEVEL;
    if (!IsThisComputer(servername))
        return NERR_InvalidComputer;
    std::u16string name;
    std::optional<qm::accounts::Account> account;
    if (AccountPart(username, &name))
        if (LSTATUS error = qm::accounts::AccountNamed(name, &account))
            return NET_API_STATUS(error);
    if (!account)
        return NERR_UserNotFound;

    const auto& groups = account->localGroups;
    // Entries first, then their strings, in one block.
    size_t count = 0, bytes = 0;
    for (const auto& group : groups)
    {
        size_t more = sizeof(LOCALGROUP_USERS_INFO_0) + (group.size() + 1) * sizeof(WCHAR);
        if (prefmaxlen != MAX_PREFERRED_LENGTH && bytes + more > prefmaxlen)
            break;
        bytes += more;
        ++count;
    }
    auto* block = static_cast<BYTE*>(std::calloc(1, bytes ? bytes : 1));
    if (!block)
        return ERROR_NOT_ENOUGH_MEMORY;
    auto* entries = reinterpret_cast<LOCALGROUP_USERS_INFO_0*>(block);
    auto* text = reinterpret_cast<WCHAR*>(block + count * sizeof(LOCALGROUP_USERS_INFO_0));
    for (size_t i = 0; i < count; ++i)
    {
        entries[i].lgrui0_name = text;
        std::memcpy(text, groups[i].c_str(), (groups[i].size() + 1) * sizeof(WCHAR));
        text += groups[i].size() + 1;
    }
    *bufptr = block;
    *entriesread = DWORD(count);
    *totalentries = DWORD(groups.size());
    return count < groups.size() ? ERROR_MORE_DATA : NERR_Success;
}

QMAPI NET_API_STATUS WINAPI NetApiBufferFree(LPVOID Buffer)
{
    std::free(Buffer);
    return NERR_Success;
}
