// InternetGetConnectedState from the machine's configuration.
#include "winbase.h"
#include "wininet.h"
#include "winreg.h"

QMAPI BOOL WINAPI InternetGetConnectedState(LPDWORD lpdwFlags, DWORD)
{
    DWORD flags = 0, type = 0, size = sizeof flags;
    HKEY key = nullptr;
    bool stated = false;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Quillmark\\Machine", 0, KEY_QUERY_VALUE, &key) ==
        ERROR_SUCCESS)
    {
        stated = RegQueryValueExW(key, u"InternetConnectedState", nullptr, &type, reinterpret_cast<BYTE*>(&flags),
                                  &size) == ERROR_SUCCESS &&
                 type == REG_DWORD;
        RegCloseKey(key);
    }
    if (lpdwFlags)
        *lpdwFlags = stated ? flags : 0;
    return stated ? TRUE : FALSE;
}
