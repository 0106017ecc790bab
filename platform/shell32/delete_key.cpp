// SHDeleteKeyW: the key and everything below it.
#include "shlwapi.h"
#include "winreg.h"

QMAPI LONG WINAPI SHDeleteKeyW(HKEY hkey, LPCWSTR pszSubKey)
{
    if (!pszSubKey || !*pszSubKey)
        return ERROR_INVALID_PARAMETER;
    return RegDeleteTreeW(hkey, pszSubKey);
}
