// Enumerating subkeys and values, and the summary of a key.
#include <cstring>

#include "keys.h"

namespace qm::reg
{
namespace
{
LSTATUS ForEnum(HKEY hKey, REGSAM needed, Key& key)
{
    if (!Resolve(hKey, key))
        return ERROR_INVALID_HANDLE;
    return (key.access & needed) == needed ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
}

// A name into a caller's buffer of `*count` characters; the count becomes the length
// without the terminator. A short buffer leaves both untouched.
LSTATUS CopyName(const std::u16string& name, LPWSTR out, LPDWORD count)
{
    if (name.size() + 1 > *count)
        return ERROR_MORE_DATA;
    std::memcpy(out, name.data(), name.size() * sizeof(WCHAR));
    out[name.size()] = 0;
    *count = DWORD(name.size());
    return ERROR_SUCCESS;
}

void SetFileTime(int64_t ticks, PFILETIME out)
{
    if (!out)
        return;
    out->dwLowDateTime = DWORD(uint64_t(ticks) & 0xFFFFFFFF);
    out->dwHighDateTime = DWORD(uint64_t(ticks) >> 32);
}
} // namespace
} // namespace qm::reg

using namespace qm::reg;

QMAPI LSTATUS WINAPI RegEnumKeyExW(HKEY hKey, DWORD dwIndex, LPWSTR lpName, LPDWORD lpcchName, LPDWORD lpReserved,
                                   LPWSTR lpClass, LPDWORD lpcchClass, PFILETIME lpftLastWriteTime)
{
    if (!lpName || !lpcchName || (lpClass && !lpcchClass))
        return ERROR_INVALID_PARAMETER;
    Key key;
    if (LSTATUS st = ForEnum(hKey, KEY_ENUMERATE_SUB_KEYS, key); st != ERROR_SUCCESS)
        return st;
    if (LSTATUS st = Settle(key, false); st != ERROR_SUCCESS)
        return st == ERROR_FILE_NOT_FOUND ? LSTATUS(ERROR_NO_MORE_ITEMS) : st;
    KeyRow row;
    if (LSTATUS st = key.hive->SubKeyAt(key.id, dwIndex, row); st != ERROR_SUCCESS)
        return st;
    if (LSTATUS st = CopyName(row.name, lpName, lpcchName); st != ERROR_SUCCESS)
        return st;
    if (lpClass)
        if (LSTATUS st = CopyName(row.className, lpClass, lpcchClass); st != ERROR_SUCCESS)
            return st;
    SetFileTime(row.mtime, lpftLastWriteTime);
    return ERROR_SUCCESS;
}

QMAPI LSTATUS WINAPI RegEnumValueW(HKEY hKey, DWORD dwIndex, LPWSTR lpValueName, LPDWORD lpcchValueName,
                                   LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData)
{
    if (!lpValueName || !lpcchValueName || (lpData && !lpcbData))
        return ERROR_INVALID_PARAMETER;
    Key key;
    if (LSTATUS st = ForEnum(hKey, KEY_QUERY_VALUE, key); st != ERROR_SUCCESS)
        return st;
    if (LSTATUS st = Settle(key, false); st != ERROR_SUCCESS)
        return st == ERROR_FILE_NOT_FOUND ? LSTATUS(ERROR_NO_MORE_ITEMS) : st;
    ValueRow row;
    if (LSTATUS st = key.hive->ValueAt(key.id, dwIndex, row); st != ERROR_SUCCESS)
        return st;
    if (LSTATUS st = CopyName(row.name, lpValueName, lpcchValueName); st != ERROR_SUCCESS)
        return st;
    if (lpType)
        *lpType = row.type;
    if (!lpcbData)
        return ERROR_SUCCESS;
    DWORD have = *lpcbData;
    *lpcbData = DWORD(row.data.size());
    if (!lpData)
        return ERROR_SUCCESS;
    if (have < row.data.size())
        return ERROR_MORE_DATA;
    if (!row.data.empty())
        std::memcpy(lpData, row.data.data(), row.data.size());
    return ERROR_SUCCESS;
}

QMAPI LSTATUS WINAPI RegQueryInfoKeyW(HKEY hKey, LPWSTR lpClass, LPDWORD lpcchClass, LPDWORD lpReserved,
                                      LPDWORD lpcSubKeys, LPDWORD lpcbMaxSubKeyLen, LPDWORD lpcbMaxClassLen,
                                      LPDWORD lpcValues, LPDWORD lpcbMaxValueNameLen, LPDWORD lpcbMaxValueLen,
                                      LPDWORD lpcbSecurityDescriptor, PFILETIME lpftLastWriteTime)
{
    if (lpClass && !lpcchClass)
        return ERROR_INVALID_PARAMETER;
    Key key;
    if (LSTATUS st = ForEnum(hKey, KEY_QUERY_VALUE, key); st != ERROR_SUCCESS)
        return st;
    KeyInfo info;
    if (LSTATUS st = Settle(key, false); st == ERROR_SUCCESS)
    {
        if (st = key.hive->Info(key.id, info); st != ERROR_SUCCESS)
            return st;
    }
    else if (st != ERROR_FILE_NOT_FOUND)
        return st; // a key still to be made is an empty one
    LSTATUS result = ERROR_SUCCESS;
    if (lpClass)
    {
        if (info.className.size() + 1 > *lpcchClass)
        {
            *lpcchClass = DWORD(info.className.size());
            result = ERROR_MORE_DATA;
        }
        else
            CopyName(info.className, lpClass, lpcchClass);
    }
    else if (lpcchClass)
        *lpcchClass = DWORD(info.className.size());
    if (lpcSubKeys)
        *lpcSubKeys = info.subKeys;
    if (lpcbMaxSubKeyLen)
        *lpcbMaxSubKeyLen = info.maxSubKeyLen;
    if (lpcbMaxClassLen)
        *lpcbMaxClassLen = info.maxClassLen;
    if (lpcValues)
        *lpcValues = info.values;
    if (lpcbMaxValueNameLen)
        *lpcbMaxValueNameLen = info.maxValueNameLen;
    if (lpcbMaxValueLen)
        *lpcbMaxValueLen = info.maxValueLen;
    if (lpcbSecurityDescriptor)
        *lpcbSecurityDescriptor = 0;
    SetFileTime(info.mtime, lpftLastWriteTime);
    return result;
}
