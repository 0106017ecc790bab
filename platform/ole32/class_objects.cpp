// CoRegisterClassObject / CoRevokeClassObject: the class objects a local server offers.
// Activation finds them from this process (CLSCTX_LOCAL_SERVER); other processes do not
// reach them, since no calls are marshalled between processes.
#include <map>
#include <mutex>

#include "apartment.h"
#include "class_objects.h"
#include "objbase.h"

namespace
{
struct Registration
{
    CLSID clsid;
    IUnknown* object;
    DWORD context;
    DWORD flags;
};

std::mutex g_lock;
std::map<DWORD, Registration> g_table;
DWORD g_next = 1;
} // namespace

namespace qm::com
{
bool RegisteredClassObject(REFCLSID clsid, DWORD context, REFIID riid, void** ppv, HRESULT* hr)
{
    IUnknown* object = nullptr;
    {
        std::lock_guard lock(g_lock);
        for (auto& [cookie, r] : g_table)
            if (r.clsid == clsid && (r.context & context) && !(r.flags & REGCLS_SUSPENDED))
            {
                object = r.object;
                object->AddRef();
                break;
            }
    }
    if (!object)
        return false;
    *hr = object->QueryInterface(riid, ppv);
    object->Release();
    return true;
}
} // namespace qm::com

HRESULT WINAPI CoRegisterClassObject(REFCLSID rclsid, LPUNKNOWN pUnk, DWORD dwClsContext, DWORD flags,
                                     LPDWORD lpdwRegister)
{
    if (!lpdwRegister || !pUnk)
        return E_INVALIDARG;
    *lpdwRegister = 0;
    if (!qm::com::IsThreadInitialised())
        return CO_E_NOTINITIALIZED;
    std::lock_guard lock(g_lock);
    for (auto& [cookie, r] : g_table)
        if (r.clsid == rclsid && (r.context & dwClsContext) && !(flags & REGCLS_MULTI_SEPARATE))
            if (!(r.flags & (REGCLS_MULTIPLEUSE | REGCLS_MULTI_SEPARATE)))
                return CO_E_OBJISREG;
    pUnk->AddRef();
    DWORD cookie = g_next++;
    g_table[cookie] = {rclsid, pUnk, dwClsContext, flags};
    *lpdwRegister = cookie;
    return S_OK;
}

HRESULT WINAPI CoRevokeClassObject(DWORD dwRegister)
{
    IUnknown* object = nullptr;
    {
        std::lock_guard lock(g_lock);
        auto it = g_table.find(dwRegister);
        if (it == g_table.end())
            return CO_E_OBJNOTREG;
        object = it->second.object;
        g_table.erase(it);
    }
    object->Release();
    return S_OK;
}

HRESULT WINAPI CoResumeClassObjects(void)
{
    std::lock_guard lock(g_lock);
    for (auto& [cookie, r] : g_table)
        r.flags &= ~DWORD(REGCLS_SUSPENDED);
    return S_OK;
}
