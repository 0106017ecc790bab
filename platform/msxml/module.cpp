// The in-process server: class factory, DllGetClassObject and self-registration.
#include <dlfcn.h>

#include <filesystem>

#include "dom_document.h"
#include "live_objects.h"
#include "qm/com_registration.h"

namespace qm::msxml
{
namespace
{
std::atomic<long> g_serverLocks{0};

// One static factory: it lives as long as the module, so references only count locks.
class CDocumentFactory final : public IClassFactory
{
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        if (ppv == nullptr)
            return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IClassFactory)
        {
            *ppv = static_cast<IClassFactory*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override
    {
        ++g_serverLocks;
        return 2;
    }
    STDMETHODIMP_(ULONG) Release() override
    {
        --g_serverLocks;
        return 1;
    }
    STDMETHODIMP CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppvObject) override
    {
        if (ppvObject == nullptr)
            return E_INVALIDARG;
        *ppvObject = nullptr;
        if (pUnkOuter != nullptr)
            return CLASS_E_NOAGGREGATION;
        return CDocument::Create(riid, ppvObject);
    }
    STDMETHODIMP LockServer(BOOL fLock) override
    {
        fLock ? ++g_serverLocks : --g_serverLocks;
        return S_OK;
    }
};

CDocumentFactory g_factory;

std::filesystem::path ThisModulePath()
{
    Dl_info info{};
    if (dladdr(reinterpret_cast<const void*>(&ThisModulePath), &info) == 0 || info.dli_fname == nullptr)
        return {};
    return std::filesystem::absolute(info.dli_fname);
}
} // namespace
} // namespace qm::msxml

QMAPI HRESULT STDMETHODCALLTYPE DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv)
{
    if (ppv == nullptr)
        return E_INVALIDARG;
    *ppv = nullptr;
    if (rclsid != CLSID_DOMDocument)
        return CLASS_E_CLASSNOTAVAILABLE;
    return qm::msxml::g_factory.QueryInterface(riid, ppv);
}

QMAPI HRESULT STDMETHODCALLTYPE DllCanUnloadNow()
{
    return qm::msxml::g_liveObjects == 0 && qm::msxml::g_serverLocks == 0 ? S_OK : S_FALSE;
}

QMAPI HRESULT STDMETHODCALLTYPE DllRegisterServer()
{
    const std::filesystem::path module = qm::msxml::ThisModulePath();
    if (module.empty())
        return SELFREG_E_CLASS;
    return qm::RegisterInprocServer(CLSID_DOMDocument, module, u"Both", u"XML DOM Document");
}

QMAPI HRESULT STDMETHODCALLTYPE DllUnregisterServer()
{
    return qm::UnregisterInprocServer(CLSID_DOMDocument);
}

// Test hook: DOM objects (documents, nodes, node lists) alive in this module.
QMAPI LONG QmMsxmlLiveObjectCount()
{
    return static_cast<LONG>(qm::msxml::g_liveObjects.load());
}
