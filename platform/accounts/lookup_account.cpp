// LookupAccountSidW over the machine's accounts.
#include <algorithm>

#include "machine_accounts.h"
#include "securitybaseapi.h"
#include "winbase.h"

QMAPI BOOL WINAPI LookupAccountSidW(LPCWSTR lpSystemName, PSID Sid, LPWSTR Name, LPDWORD cchName,
                                    LPWSTR ReferencedDomainName, LPDWORD cchReferencedDomainName,
                                    PSID_NAME_USE peUse)
{
    using namespace qm::accounts;
    const size_t size = SidSize(Sid);
    if (!size || !cchName || !cchReferencedDomainName || !peUse)
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const std::u16string computer = ComputerName();
    if (lpSystemName && *lpSystemName)
    {
        std::u16string system = lpSystemName;
        if (system.rfind(u"\\\\", 0) == 0)
            system.erase(0, 2);
        if (system.size() != computer.size() ||
            !std::equal(system.begin(), system.end(), computer.begin(), [](char16_t a, char16_t b) {
                auto up = [](char16_t c) { return c >= u'a' && c <= u'z' ? char16_t(c - 32) : c; };
                return up(a) == up(b);
            }))
        {
            SetLastError(ERROR_NONE_MAPPED);
            return FALSE;
        }
    }
    std::optional<Account> account;
    if (LSTATUS error = AccountWithSid(static_cast<const BYTE*>(Sid), size, &account))
    {
        SetLastError(DWORD(error));
        return FALSE;
    }
    if (!account)
    {
        SetLastError(ERROR_NONE_MAPPED);
        return FALSE;
    }
    const DWORD needName = DWORD(account->name.size() + 1), needDomain = DWORD(computer.size() + 1);
    if (*cchName < needName || *cchReferencedDomainName < needDomain || !Name || !ReferencedDomainName)
    {
        *cchName = needName;
        *cchReferencedDomainName = needDomain;
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    std::copy(account->name.c_str(), account->name.c_str() + needName, Name);
    std::copy(computer.c_str(), computer.c_str() + needDomain, ReferencedDomainName);
    *cchName = needName - 1;
    *cchReferencedDomainName = needDomain - 1;
    *peUse = SidTypeUser;
    return TRUE;
}
