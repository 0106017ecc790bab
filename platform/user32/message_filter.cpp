// ChangeWindowMessageFilter: the user-interface privilege filter of the process. Every
// process of the machine has the same integrity level, so nothing is ever filtered; the
// call only checks its request, as Windows does for a process allowed to change the filter.
#include "winbase.h"
#include "winuser.h"

QMAPI BOOL WINAPI ChangeWindowMessageFilter(UINT message, DWORD dwFlag)
{
    (void)message;
    if (dwFlag != MSGFLT_ADD && dwFlag != MSGFLT_REMOVE)
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return TRUE;
}
