// The ANSI entry points: names and string data through the machine's ANSI code page.
#include "keys.h"
#include "winnls.h"

namespace qm::reg
{
LSTATUS QueryValueRow(HKEY hKey, const std::u16string& name, ValueRow& row);
LSTATUS SetValueRow(HKEY hKey, const std::u16string& name, DWORD type, const BYTE* data, DWORD size);
LSTATUS CopyValueOut(const std::vector<BYTE>& data, LPBYTE out, LPDWORD size);

namespace
{
// `count` bytes of ANSI text (-1: up to and including the terminator) as UTF-16.
std::u16string Widen(const char* text, int count)
{
    if (!text || count == 0)
        return {};
    int n = MultiByteToWideChar(CP_ACP, 0, text, count, nullptr, 0);
    if (n <= 0)
        return {};
    std::u16string out(size_t(n), u'\0');
    MultiByteToWideChar(CP_ACP, 0, text, count, out.data(), n);
    if (count < 0 && !out.empty())
        out.pop_back(); // the terminator
    return out;
}

std::vector<BYTE> Narrow(const std::vector<BYTE>& wide)
{
    int units = int(wide.size() / 2);
    if (units == 0)
        return {};
    auto* text = reinterpret_cast<const WCHAR*>(wide.data());
    int n = WideCharToMultiByte(CP_ACP, 0, text, units, nullptr, 0, nullptr, nullptr);
    std::vector<BYTE> out(size_t(n > 0 ? n : 0));
    if (n > 0)
        WideCharToMultiByte(CP_ACP, 0, text, units, reinterpret_cast<LPSTR>(out.data()), n, nullptr, nullptr);
    return out;
}

bool IsString(DWORD type)
{
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

// An ANSI path as a wide one, or null for null.
struct WidePath
{
    std::u16string text;
    bool null;
    explicit WidePath(const char* path) : text(Widen(path, -1)), null(path == nullptr) {}
    const WCHAR* get() const { return null ? nullptr : text.c_str(); }
};
} // namespace
} // namespace qm::reg

using namespace qm::reg;

QMAPI LSTATUS WINAPI RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD ulOptions, REGSAM samDesired, PHKEY phkResult)
{
    return RegOpenKeyExW(hKey, WidePath(lpSubKey).get(), ulOptions, samDesired, phkResult);
}

QMAPI LSTATUS WINAPI RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD Reserved, LPSTR lpClass, DWORD dwOptions,
                                     REGSAM samDesired, const LPSECURITY_ATTRIBUTES lpSecurityAttributes,
                                     PHKEY phkResult, LPDWORD lpdwDisposition)
{
    WidePath cls(lpClass);
    return RegCreateKeyExW(hKey, WidePath(lpSubKey).get(), Reserved, const_cast<LPWSTR>(cls.get()), dwOptions,
                           samDesired, lpSecurityAttributes, phkResult, lpdwDisposition);
}

QMAPI LSTATUS WINAPI RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD Reserved, DWORD dwType, const BYTE* lpData,
                                    DWORD cbData)
{
    if (cbData && !lpData)
        return ERROR_NOACCESS;
    std::u16string name = Widen(lpValueName, -1);
    if (!IsString(dwType))
        return SetValueRow(hKey, name, dwType, lpData, cbData);
    std::u16string text = Widen(reinterpret_cast<const char*>(lpData), int(cbData));
    return SetValueRow(hKey, name, dwType, reinterpret_cast<const BYTE*>(text.data()),
                       DWORD(text.size() * sizeof(WCHAR)));
}

QMAPI LSTATUS WINAPI RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType,
                                      LPBYTE lpData, LPDWORD lpcbData)
{
    if (lpData && !lpcbData)
        return ERROR_INVALID_PARAMETER;
    ValueRow row;
    if (LSTATUS st = QueryValueRow(hKey, Widen(lpValueName, -1), row); st != ERROR_SUCCESS)
        return st;
    if (lpType)
        *lpType = row.type;
    if (IsString(row.type))
        row.data = Narrow(row.data);
    return CopyValueOut(row.data, lpData, lpcbData);
}

QMAPI LSTATUS WINAPI RegDeleteKeyA(HKEY hKey, LPCSTR lpSubKey)
{
    return RegDeleteKeyW(hKey, WidePath(lpSubKey).get());
}

QMAPI LSTATUS WINAPI RegDeleteValueA(HKEY hKey, LPCSTR lpValueName)
{
    return RegDeleteValueW(hKey, WidePath(lpValueName).get());
}
