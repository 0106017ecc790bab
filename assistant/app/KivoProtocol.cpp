#include "KivoProtocol.h"

#include <atomic>

#include "KivoModule.h"
#include "oaidl.h"

const CLSID CLSID_KivoProtocol = {0x76E04540, 0x7128, 0x4CA9, {0xA0, 0x2F, 0x9A, 0xDA, 0x30, 0xDF, 0xD7, 0x97}};
const IID IID_IKivoProtocol = {0x31FB725B, 0xFE72, 0x4328, {0x83, 0x1A, 0x4B, 0x49, 0x47, 0x27, 0x1B, 0x42}};

namespace
{
// IKivoProtocol: a dual interface without members of its own.
class CKivoProtocol : public IDispatch
{
public:
    CKivoProtocol() { KivoModule().Lock(); }
    virtual ~CKivoProtocol() { KivoModule().Unlock(); }

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IDispatch || riid == IID_IKivoProtocol)
        {
            *ppv = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++m_cRef; }
    STDMETHODIMP_(ULONG) Release() override
    {
        ULONG n = --m_cRef;
        if (n == 0)
            delete this;
        return n;
    }
    STDMETHODIMP GetTypeInfoCount(UINT* pctinfo) override
    {
        if (!pctinfo)
            return E_POINTER;
        *pctinfo = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** ppTInfo) override
    {
        if (ppTInfo)
            *ppTInfo = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT cNames, LCID, DISPID* rgDispId) override
    {
        for (UINT i = 0; rgDispId && i < cNames; ++i)
            rgDispId[i] = DISPID(-1);
        return cNames ? DISP_E_UNKNOWNNAME : S_OK;
    }
    STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override
    {
        return DISP_E_MEMBERNOTFOUND;
    }

private:
    std::atomic<ULONG> m_cRef{1};
};

class CKivoProtocolFactory : public IClassFactory
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
    // The one factory lives as long as the program.
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        *ppv = nullptr;
        if (pUnkOuter)
            return CLASS_E_NOAGGREGATION;
        auto* object = new CKivoProtocol;
        HRESULT hr = object->QueryInterface(riid, ppv);
        object->Release();
        return hr;
    }
    STDMETHODIMP LockServer(BOOL fLock) override
    {
        if (fLock)
            KivoModule().Lock();
        else
            KivoModule().Unlock();
        return S_OK;
    }
};
} // namespace

IClassFactory* KivoProtocolFactory()
{
    static CKivoProtocolFactory factory;
    return &factory;
}
