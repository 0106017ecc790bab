// Setting, reading and deleting values.
#include <cstring>

#include "../text.h"
#include "keys.h"

namespace qm::reg
{
namespace
{
LSTATUS OpenForValues(HKEY hKey, REGSAM needed, Key& key)
{
    if (!Resolve(hKey, key))
        return ERROR_INVALID_HANDLE;
    if ((key.access & needed) != needed)
        return ERROR_ACCESS_DENIED;
    return ERROR_SUCCESS;
}

// Copies `data` out the way RegQueryValueEx does: a size query without a buffer,
// ERROR_MORE_DATA with the size needed when the buffer is short.
LSTATUS CopyOut(const std::vector<BYTE>& data, LPBYTE out, LPDWORD size)
{
    if (out && !size)
        return ERROR_INVALID_PARAMETER;
    if (!size)
        return ERROR_SUCCESS;
    DWORD have = *size;
    *size = DWORD(data.size());
    if (!out)
        return ERROR_SUCCESS;
    if (have < data.size())
        return ERROR_MORE_DATA;
    if (!data.empty())
        std::memcpy(out, data.data(), data.size());
    return ERROR_SUCCESS;
}

bool IsString(DWORD type)
{
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

DWORD TypeBit(DWORD type)
{
    switch (type)
    {
    case REG_NONE: return RRF_RT_REG_NONE;
    case REG_SZ: return RRF_RT_REG_SZ;
    case REG_EXPAND_SZ: return RRF_RT_REG_EXPAND_SZ;
    case REG_BINARY: return RRF_RT_REG_BINARY;
    case REG_DWORD: return RRF_RT_REG_DWORD;
    case REG_MULTI_SZ: return RRF_RT_REG_MULTI_SZ;
    case REG_QWORD: return RRF_RT_REG_QWORD;
    default: return 0;
    }
}

// %NAME% replaced with the environment's value; unknown names stay as written.
std::u16string Expand(const std::u16string& text)
{
    std::u16string out;
    size_t i = 0;
    while (i < text.size())
    {
        size_t end = text[i] == u'%' ? text.find(u'%', i + 1) : std::u16string::npos;
        if (end == std::u16string::npos)
        {
            out += text[i++];
            continue;
        }
        std::string name = advapi::ToUtf8(text.substr(i + 1, end - i - 1));
        const char* value = name.empty() ? nullptr : std::getenv(name.c_str());
        if (value)
        {
            out += advapi::FromUtf8(value);
            i = end + 1;
        }
        else
        {
            out += text.substr(i, end - i);
            i = end;
        }
    }
    return out;
}
} // namespace

// Shared with the ANSI entry points.
LSTATUS QueryValueRow(HKEY hKey, const std::u16string& name, ValueRow& row)
{
    Key key;
    if (LSTATUS st = OpenForValues(hKey, KEY_QUERY_VALUE, key); st != ERROR_SUCCESS)
        return st;
    if (name.size() > QM_REG_MAX_VALUE_NAME)
        return ERROR_FILE_NOT_FOUND;
    if (LSTATUS st = Settle(key, false); st != ERROR_SUCCESS)
        return st;
    return key.hive->GetValue(key.id, name, row);
}

LSTATUS SetValueRow(HKEY hKey, const std::u16string& name, DWORD type, const BYTE* data, DWORD size)
{
    if (size && !data)
        return ERROR_NOACCESS;
    if (name.size() > QM_REG_MAX_VALUE_NAME)
        return ERROR_INVALID_PARAMETER;
    Key key;
    if (LSTATUS st = OpenForValues(hKey, KEY_SET_VALUE, key); st != ERROR_SUCCESS)
        return st;
    if (LSTATUS st = CheckElevation(key, KEY_SET_VALUE); st != ERROR_SUCCESS)
        return st;
    if (LSTATUS st = Settle(key, true); st != ERROR_SUCCESS)
        return st;
    return key.hive->SetValue(key.id, name, type, data, size);
}

LSTATUS CopyValueOut(const std::vector<BYTE>& data, LPBYTE out, LPDWORD size)
{
    return CopyOut(data, out, size);
}
} // namespace qm::reg

using namespace qm::reg;

QMAPI LSTATUS WINAPI RegSetValueExW(HKEY hKey, LPCWSTR lpValueName, DWORD Reserved, DWORD dwType,
                                    const BYTE* lpData, DWORD cbData)
{
    return SetValueRow(hKey, ValueName(lpValueName), dwType, lpData, cbData);
}

QMAPI LSTATUS WINAPI RegQueryValueExW(HKEY hKey, LPCWSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType,
                                      LPBYTE lpData, LPDWORD lpcbData)
{
    if (lpData && !lpcbData)
        return ERROR_INVALID_PARAMETER;
    ValueRow row;
    if (LSTATUS st = QueryValueRow(hKey, ValueName(lpValueName), row); st != ERROR_SUCCESS)
        return st;
    if (lpType)
        *lpType = row.type;
    return CopyOut(row.data, lpData, lpcbData);
}

QMAPI LSTATUS WINAPI RegGetValueW(HKEY hkey, LPCWSTR lpSubKey, LPCWSTR lpValue, DWORD dwFlags, LPDWORD pdwType,
                                  PVOID pvData, LPDWORD pcbData)
{
    if ((pvData && !pcbData) || !(dwFlags & RRF_RT_ANY))
        return ERROR_INVALID_PARAMETER;
    // Asking for the unexpanded type without RRF_NOEXPAND is refused, as Windows does.
    if ((dwFlags & RRF_RT_REG_EXPAND_SZ) && !(dwFlags & RRF_NOEXPAND) && (dwFlags & RRF_RT_ANY) != RRF_RT_ANY)
        return ERROR_INVALID_PARAMETER;
    DWORD have = pcbData ? *pcbData : 0;
    auto fail = [&](LSTATUS st) {
        if ((dwFlags & RRF_ZEROONFAILURE) && pvData && have)
            std::memset(pvData, 0, have);
        return st;
    };
    HKEY key = hkey;
    HKEY opened = nullptr;
    if (lpSubKey && *lpSubKey)
    {
        if (LSTATUS st = RegOpenKeyExW(hkey, lpSubKey, 0, KEY_QUERY_VALUE, &opened); st != ERROR_SUCCESS)
            return fail(st);
        key = opened;
    }
    ValueRow row;
    LSTATUS st = QueryValueRow(key, ValueName(lpValue), row);
    if (opened)
        RegCloseKey(opened);
    if (st != ERROR_SUCCESS)
        return fail(st);
    if (row.type == REG_EXPAND_SZ && !(dwFlags & RRF_NOEXPAND))
    {
        std::u16string text(reinterpret_cast<const char16_t*>(row.data.data()), row.data.size() / 2);
        while (!text.empty() && text.back() == 0)
            text.pop_back();
        text = Expand(text);
        row.data.assign(reinterpret_cast<const BYTE*>(text.data()),
                        reinterpret_cast<const BYTE*>(text.data() + text.size()));
        row.type = REG_SZ;
    }
    if (!(TypeBit(row.type) & dwFlags))
        return fail(ERROR_UNSUPPORTED_TYPE);
    if (row.type == REG_DWORD && row.data.size() != 4 && !(dwFlags & RRF_RT_REG_BINARY))
        return fail(ERROR_DATATYPE_MISMATCH);
    if (row.type == REG_QWORD && row.data.size() != 8 && !(dwFlags & RRF_RT_REG_BINARY))
        return fail(ERROR_DATATYPE_MISMATCH);
    if (IsString(row.type))
    {
        // Strings come back terminated (a double terminator for REG_MULTI_SZ).
        if (row.data.size() % 2)
            row.data.push_back(0);
        size_t want = row.type == REG_MULTI_SZ ? 4 : 2;
        auto ends = [&](size_t n) {
            if (row.data.size() < n)
                return false;
            for (size_t i = row.data.size() - n; i < row.data.size(); ++i)
                if (row.data[i])
                    return false;
            return true;
        };
        while (!ends(want))
            row.data.insert(row.data.end(), {0, 0});
    }
    if (pdwType)
        *pdwType = row.type;
    st = CopyOut(row.data, static_cast<LPBYTE>(pvData), pcbData);
    return st == ERROR_SUCCESS ? st : fail(st);
}

QMAPI LSTATUS WINAPI RegDeleteValueW(HKEY hKey, LPCWSTR lpValueName)
{
    Key key;
    if (!Resolve(hKey, key))
        return ERROR_INVALID_HANDLE;
    if (!(key.access & KEY_SET_VALUE) || CheckElevation(key, KEY_SET_VALUE) != ERROR_SUCCESS)
        return ERROR_ACCESS_DENIED;
    if (LSTATUS st = Settle(key, false); st != ERROR_SUCCESS)
        return st;
    return key.hive->DeleteValue(key.id, ValueName(lpValueName));
}
