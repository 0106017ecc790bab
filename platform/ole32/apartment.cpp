// CoInitializeEx / CoUninitialize: each thread enters an apartment (single- or
// multi-threaded) and counts its initialisations. Marshalling between apartments is not
// modelled: objects are called directly from whatever thread holds them.
#include "apartment.h"

#include "objbase.h"

namespace
{
struct ThreadComState
{
    unsigned count = 0;
    bool multithreaded = false;
};

thread_local ThreadComState g_thread;

constexpr DWORD kKnownFlags =
    COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE | COINIT_SPEED_OVER_MEMORY;
} // namespace

namespace qm::com
{
bool IsThreadInitialised() { return g_thread.count > 0; }
} // namespace qm::com

HRESULT WINAPI CoInitializeEx(LPVOID pvReserved, DWORD dwCoInit)
{
    if (pvReserved != nullptr || (dwCoInit & ~kKnownFlags) != 0)
        return E_INVALIDARG;
    const bool multithreaded = (dwCoInit & COINIT_APARTMENTTHREADED) == 0;
    if (g_thread.count == 0)
    {
        g_thread.count = 1;
        g_thread.multithreaded = multithreaded;
        return S_OK;
    }
    if (g_thread.multithreaded != multithreaded)
        return RPC_E_CHANGED_MODE;
    ++g_thread.count;
    return S_FALSE;
}

HRESULT WINAPI CoInitialize(LPVOID pvReserved)
{
    return CoInitializeEx(pvReserved, COINIT_APARTMENTTHREADED);
}

void WINAPI CoUninitialize(void)
{
    // An unbalanced call is ignored, as on Windows.
    if (g_thread.count > 0)
        --g_thread.count;
}
