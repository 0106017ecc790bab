// CLSID_StdGlobalInterfaceTable: the process's one table of registered interfaces. Its
// cookies are never reused within a process, so a stale cookie cannot reach a newer object.
#include "global_interface_table.h"

#include <map>
#include <mutex>

#include "objidl.h"

const IID IID_IGlobalInterfaceTable = {0x00000146, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const CLSID CLSID_StdGlobalInterfaceTable = {
    0x00000323, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

namespace
{
// Lives for the whole process, as the system's table does: its own count never frees it.
class GlobalInterfaceTable final : public IGlobalInterfaceTable
{
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IGlobalInterfaceTable)
        {
            *ppv = static_cast<IGlobalInterfaceTable*>(this);
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }

    STDMETHODIMP RegisterInterfaceInGlobal(IUnknown* pUnk, REFIID riid, DWORD* pdwCookie) override
    {
        if (!pUnk || !pdwCookie)
            return E_INVALIDARG;
        *pdwCookie = 0;
        void* itf = nullptr;
        HRESULT hr = pUnk->QueryInterface(riid, &itf);
        if (FAILED(hr))
            return hr;
        std::lock_guard lock(m_lock);
        DWORD cookie = m_next++;
        m_entries[cookie] = static_cast<IUnknown*>(itf);
        *pdwCookie = cookie;
        return S_OK;
    }

    STDMETHODIMP RevokeInterfaceFromGlobal(DWORD dwCookie) override
    {
        IUnknown* itf = nullptr;
        {
            std::lock_guard lock(m_lock);
            auto it = m_entries.find(dwCookie);
            if (it == m_entries.end())
                return E_INVALIDARG;
            itf = it->second;
            m_entries.erase(it);
        }
        itf->Release(); // outside the lock: the object's destructor may use the table
        return S_OK;
    }

    STDMETHODIMP GetInterfaceFromGlobal(DWORD dwCookie, REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_INVALIDARG;
        *ppv = nullptr;
        IUnknown* itf = nullptr;
        {
            std::lock_guard lock(m_lock);
            auto it = m_entries.find(dwCookie);
            if (it == m_entries.end())
                return E_INVALIDARG;
            itf = it->second;
            itf->AddRef();
        }
        HRESULT hr = itf->QueryInterface(riid, ppv);
        itf->Release();
        return hr;
    }

private:
    std::mutex m_lock;
    std::map<DWORD, IUnknown*> m_entries;
    DWORD m_next = 0x100;
};

GlobalInterfaceTable& Table()
{
    // Never destroyed: interfaces still registered at exit are not released into
    // modules that may be gone.
    static auto* table = new GlobalInterfaceTable;
    return *table;
}

class TableFactory final : public IClassFactory
{
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IClassFactory)
        {
            *ppv = static_cast<IClassFactory*>(this);
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        *ppv = nullptr;
        if (pUnkOuter)
            return CLASS_E_NOAGGREGATION;
        return Table().QueryInterface(riid, ppv);
    }
    STDMETHODIMP LockServer(BOOL) override { return S_OK; }
};
} // namespace

namespace qm::com
{
bool BuiltinClassObject(REFCLSID clsid, REFIID riid, void** ppv, HRESULT* hr)
{
    if (clsid != CLSID_StdGlobalInterfaceTable)
        return false;
    static TableFactory factory;
    *hr = factory.QueryInterface(riid, ppv);
    return true;
}
} // namespace qm::com
