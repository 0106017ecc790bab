// The thread's last error.
#include "winbase.h"

namespace
{
thread_local DWORD t_lastError = ERROR_SUCCESS;
}

DWORD GetLastError(void)
{
    return t_lastError;
}

void SetLastError(DWORD dwErrCode)
{
    t_lastError = dwErrCode;
}
