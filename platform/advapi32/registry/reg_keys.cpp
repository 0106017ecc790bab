// Opening, creating, closing and deleting keys.
#include "keys.h"
#include "qm/registry_values.h"

namespace qm::reg
{
namespace
{
LSTATUS OpenKey(HKEY parent, const WCHAR* subKey, REGSAM sam, PHKEY result)
{
    if (!result)
        return ERROR_INVALID_PARAMETER;
    *result = nullptr;
    Key key;
    if (!Resolve(parent, key))
        return ERROR_INVALID_HANDLE;
    std::vector<std::u16string> parts;
    if (LSTATUS st = SplitPath(subKey, parts); st != ERROR_SUCCESS)
        return st;
    sam = Normalize(sam, key.machine);
    KeyId id;
    if (LSTATUS st = key.hive->Find(key.id, Below(key, parts), id); st != ERROR_SUCCESS)
    {
        // The classes root itself opens while its key is still to be made.
        if (st != ERROR_FILE_NOT_FOUND || !parts.empty() || key.missing.empty())
            return st;
        id = key.id;
    }
    else
        key.missing.clear();
    if (LSTATUS st = CheckElevation(key, sam); st != ERROR_SUCCESS)
        return st;
    key.id = id;
    key.access = sam;
    *result = NewHandle(key);
    return ERROR_SUCCESS;
}
} // namespace
} // namespace qm::reg

using namespace qm::reg;

QMAPI LSTATUS WINAPI RegOpenKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD ulOptions, REGSAM samDesired, PHKEY phkResult)
{
    return OpenKey(hKey, lpSubKey, samDesired, phkResult);
}

QMAPI LSTATUS WINAPI RegOpenKeyW(HKEY hKey, LPCWSTR lpSubKey, PHKEY phkResult)
{
    return OpenKey(hKey, lpSubKey, MAXIMUM_ALLOWED, phkResult);
}

QMAPI LSTATUS WINAPI RegCreateKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD Reserved, LPWSTR lpClass, DWORD dwOptions,
                                     REGSAM samDesired, const LPSECURITY_ATTRIBUTES lpSecurityAttributes,
                                     PHKEY phkResult, LPDWORD lpdwDisposition)
{
    if (!phkResult || !lpSubKey)
        return ERROR_INVALID_PARAMETER;
    *phkResult = nullptr;
    Key key;
    if (!Resolve(hKey, key))
        return ERROR_INVALID_HANDLE;
    std::vector<std::u16string> parts;
    if (LSTATUS st = SplitPath(lpSubKey, parts); st != ERROR_SUCCESS)
        return st;
    REGSAM sam = Normalize(samDesired, key.machine);
    KeyId id;
    bool created = false;
    parts = Below(key, parts);
    LSTATUS st = key.hive->Find(key.id, parts, id);
    if (st == ERROR_FILE_NOT_FOUND)
    {
        // Making a key needs the right to add subkeys, through the handle and on the hive.
        if (!(key.access & KEY_CREATE_SUB_KEY) || CheckElevation(key, KEY_CREATE_SUB_KEY) != ERROR_SUCCESS)
            return ERROR_ACCESS_DENIED;
        st = key.hive->Create(key.id, parts, ValueName(lpClass), id, created);
    }
    if (st != ERROR_SUCCESS)
        return st;
    key.missing.clear();
    if (LSTATUS denied = CheckElevation(key, sam); denied != ERROR_SUCCESS)
        return denied;
    key.id = id;
    key.access = sam;
    *phkResult = NewHandle(key);
    if (lpdwDisposition)
        *lpdwDisposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    return ERROR_SUCCESS;
}

QMAPI LSTATUS WINAPI RegCreateKeyW(HKEY hKey, LPCWSTR lpSubKey, PHKEY phkResult)
{
    return RegCreateKeyExW(hKey, lpSubKey ? lpSubKey : u"", 0, nullptr, 0, MAXIMUM_ALLOWED, nullptr, phkResult,
                           nullptr);
}

QMAPI LSTATUS WINAPI RegCloseKey(HKEY hKey)
{
    if (hKey == HKEY_LOCAL_MACHINE || hKey == HKEY_CURRENT_USER || hKey == HKEY_CLASSES_ROOT ||
        hKey == HKEY_USERS)
        return ERROR_SUCCESS;
    return Release(hKey) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

QMAPI LSTATUS WINAPI RegFlushKey(HKEY hKey)
{
    Key key;
    if (!Resolve(hKey, key))
        return ERROR_INVALID_HANDLE;
    return key.hive->Flush();
}

namespace
{
// The key that RegDeleteKey / RegDeleteTree act on, with the machine hive's elevation rule.
LSTATUS FindForDelete(HKEY hKey, LPCWSTR lpSubKey, Key& key, KeyId& id)
{
    if (!Resolve(hKey, key))
        return ERROR_INVALID_HANDLE;
    std::vector<std::u16string> parts;
    if (LSTATUS st = SplitPath(lpSubKey, parts); st != ERROR_SUCCESS)
        return st;
    if (LSTATUS st = key.hive->Find(key.id, Below(key, parts), id); st != ERROR_SUCCESS)
        return st;
    key.missing.clear();
    return CheckElevation(key, DELETE);
}
} // namespace

QMAPI LSTATUS WINAPI RegDeleteKeyW(HKEY hKey, LPCWSTR lpSubKey)
{
    if (!lpSubKey)
        return ERROR_INVALID_PARAMETER;
    Key key;
    KeyId id;
    if (LSTATUS st = FindForDelete(hKey, lpSubKey, key, id); st != ERROR_SUCCESS)
        return st;
    return key.hive->DeleteKey(id);
}

QMAPI LSTATUS WINAPI RegDeleteTreeW(HKEY hKey, LPCWSTR lpSubKey)
{
    Key key;
    KeyId id;
    if (LSTATUS st = FindForDelete(hKey, lpSubKey, key, id); st != ERROR_SUCCESS)
        return st;
    // Without a subkey name the handle's key stays and only its contents go.
    bool self = lpSubKey && *lpSubKey;
    if (!self && !(key.access & KEY_SET_VALUE))
        return ERROR_ACCESS_DENIED;
    return key.hive->DeleteTree(id, self);
}

namespace qm::reg
{
LSTATUS CreateKeyWithValues(HKEY hKey, const WCHAR* subKey, const std::vector<NewValue>& values)
{
    if (!subKey)
        return ERROR_INVALID_PARAMETER;
    Key key;
    if (!Resolve(hKey, key))
        return ERROR_INVALID_HANDLE;
    std::vector<std::u16string> parts;
    if (LSTATUS st = SplitPath(subKey, parts); st != ERROR_SUCCESS)
        return st;
    if (!(key.access & KEY_CREATE_SUB_KEY) || CheckElevation(key, KEY_CREATE_SUB_KEY | KEY_SET_VALUE) != ERROR_SUCCESS)
        return ERROR_ACCESS_DENIED;
    std::vector<ValueRow> rows;
    for (const auto& v : values)
    {
        if (v.name.size() > QM_REG_MAX_VALUE_NAME)
            return ERROR_INVALID_PARAMETER;
        rows.push_back(ValueRow{v.name, v.type, v.data});
    }
    KeyId id;
    bool created = false;
    return key.hive->CreateWithValues(key.id, Below(key, parts), rows, id, created);
}
} // namespace qm::reg
