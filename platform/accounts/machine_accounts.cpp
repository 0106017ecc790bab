// Reading the machine's accounts from its registry.
#include "machine_accounts.h"

#include <unistd.h>

#include <cstring>

#include "crtwide.h"
#include "winbase.h"
#include "winreg.h"

namespace qm::accounts
{
namespace
{
const char16_t kUsersKey[] = u"SOFTWARE\\Quillmark\\Machine\\Users";

std::optional<std::u16string> ReadText(HKEY key, LPCWSTR name, DWORD wantedType)
{
    DWORD type = 0, size = 0;
    if (RegQueryValueExW(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS || type != wantedType)
        return std::nullopt;
    std::u16string data(size / sizeof(char16_t) + 1, u'\0');
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size) != ERROR_SUCCESS)
        return std::nullopt;
    data.resize(size / sizeof(char16_t));
    return data;
}

LSTATUS ReadAccount(HKEY users, const std::u16string& name, Account* account)
{
    *account = Account{name, {}, {}};
    HKEY key = nullptr;
    if (LSTATUS error = RegOpenKeyExW(users, name.c_str(), 0, KEY_READ, &key))
        return error;
    if (auto text = ReadText(key, u"Sid", REG_SZ))
    {
        std::u16string sid(text->c_str()); // up to the terminator
        if (!SidFromText(sid, &account->sid))
            account->sid.clear();
    }
    if (auto list = ReadText(key, u"LocalGroups", REG_MULTI_SZ))
    {
        // Strings end at each terminator; an empty string ends the list.
        size_t pos = 0;
        while (pos < list->size() && (*list)[pos] != u'\0')
        {
            size_t end = list->find(u'\0', pos);
            if (end == std::u16string::npos)
                end = list->size();
            account->localGroups.push_back(list->substr(pos, end - pos));
            pos = end + 1;
        }
    }
    RegCloseKey(key);
    return ERROR_SUCCESS;
}

// A walk that cannot read on is an error, not the end of the accounts.
template <typename Match>
LSTATUS FindAccount(Match match, std::optional<Account>* found)
{
    found->reset();
    HKEY users = nullptr;
    LSTATUS error = RegOpenKeyExW(HKEY_LOCAL_MACHINE, kUsersKey, 0, KEY_READ, &users);
    if (error != ERROR_SUCCESS)
        return error == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : error;
    for (DWORD index = 0;; ++index)
    {
        WCHAR name[256] = {};
        DWORD cch = 256;
        error = RegEnumKeyExW(users, index, name, &cch, nullptr, nullptr, nullptr, nullptr);
        if (error != ERROR_SUCCESS)
            break;
        Account account;
        error = ReadAccount(users, name, &account);
        if (error == ERROR_FILE_NOT_FOUND)
            continue; // deleted since it was listed
        if (error != ERROR_SUCCESS)
            break;
        if (match(account))
        {
            *found = std::move(account);
            break;
        }
    }
    RegCloseKey(users);
    return error == ERROR_NO_MORE_ITEMS ? ERROR_SUCCESS : error;
}
} // namespace

LSTATUS AccountNamed(const std::u16string& name, std::optional<Account>* account)
{
    return FindAccount([&](const Account& a) { return _wcsicmp(a.name.c_str(), name.c_str()) == 0; }, account);
}

LSTATUS AccountWithSid(const BYTE* sid, size_t size, std::optional<Account>* account)
{
    return FindAccount(
        [&](const Account& a) { return a.sid.size() == size && std::memcmp(a.sid.data(), sid, size) == 0; },
        account);
}

std::u16string ComputerName()
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"SYSTEM\\CurrentControlSet\\Control\\ComputerName\\ComputerName", 0,
                      KEY_READ, &key) == ERROR_SUCCESS)
    {
        auto text = ReadText(key, u"ComputerName", REG_SZ);
        RegCloseKey(key);
        if (text && !std::u16string(text->c_str()).empty())
            return text->c_str();
    }
    char host[256] = {};
    if (::gethostname(host, sizeof host - 1) != 0 || !*host)
        return u"WORKSTATION";
    std::u16string name;
    for (const char* p = host; *p && *p != '.'; ++p)
        name += char16_t((*p >= 'a' && *p <= 'z') ? *p - 'a' + 'A' : static_cast<unsigned char>(*p));
    return name;
}
} // namespace qm::accounts
