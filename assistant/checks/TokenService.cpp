#include "TokenService.h"

#include <string>

#include "CheckText.h"
#include "MiddlewareConfig.h"
#include "synchapi.h"
#include "windows.h"

int CheckDovraRunning()
{
    std::string strName = std::string(g_middlewareConfig.mutexPrefix) + "_Torvel_single_instance";
    HANDLE hMutex = OpenMutexA(MUTEX_ALL_ACCESS, FALSE, strName.c_str());
    if (hMutex)
    {
        CloseHandle(hMutex);
        return 1;
    }
    WriteCheckLog(AcpFromWide(u"Dovra未启动").c_str());
    return 0;
}
