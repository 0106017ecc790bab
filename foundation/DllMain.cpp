#include "ModuleHandle.h"


// Every reason code is accepted; only the attach stores the handle.
BOOL WINAPI DllMain(HINSTANCE hinstDLL, DWORD dwReason, LPVOID lpvReserved)
{
    if (dwReason == DLL_PROCESS_ATTACH)
    {
        g_hModuleInstance = hinstDLL;
    }
    return TRUE;
}
