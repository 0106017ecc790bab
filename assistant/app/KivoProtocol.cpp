#include "KivoProtocol.h"

#include <atomic>
#include <cstdio>
#include <string>

#include "KivoModule.h"
#include "fileapi.h"
#include "oaidl.h"
#include "urlmon.h"
#include "windows.h"

const CLSID CLSID_KivoProtocol = {0x76E04540, 0x7128, 0x4CA9, {0xA0, 0x2F, 0x9A, 0xDA, 0x30, 0xDF, 0xD7, 0x97}};
const IID IID_IKivoProtocol = {0x31FB725B, 0xFE72, 0x4328, {0x83, 0x1A, 0x4B, 0x49, 0x47, 0x27, 0x1B, 0x42}};

namespace
{
// IKivoProtocol (a dual interface without members of its own), IInternetProtocol and
// IInternetProtocolInfo: a protocol that serves the picture "\images\test.gif" beside the
// program.
class CKivoProtocol : public IDispatch, public IInternetProtocol, public IInternetProtocolInfo
{
public:
    CKivoProtocol() { KivoModule().Lock(); }
    virtual ~CKivoProtocol() { KivoModule().Unlock(); }

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IDispatch || riid == IID_IKivoProtocol)
            *ppv = static_cast<IDispatch*>(this);
        else if (riid == IID_IInternetProtocolRoot || riid == IID_IInternetProtocol)
            *ppv = static_cast<IInternetProtocol*>(this);
        else if (riid == IID_IInternetProtocolInfo)
            *ppv = static_cast<IInternetProtocolInfo*>(this);
        else
        {
            *ppv = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++m_cRef; }
    STDMETHODIMP_(ULONG) Release() override
    {
        ULONG n = --m_cRef;
        if (n == 0)
            delete this;
        return n;
    }

    // IDispatch
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

    // IInternetProtocolRoot
    STDMETHODIMP Start(LPCWSTR, IInternetProtocolSink*, IInternetBindInfo*, DWORD, HANDLE_PTR) override { return S_OK; }
    STDMETHODIMP Continue(PROTOCOLDATA*) override { return S_OK; }
    STDMETHODIMP Abort(HRESULT, DWORD) override { return S_OK; }
    STDMETHODIMP Terminate(DWORD) override { return S_OK; }
    STDMETHODIMP Suspend() override { return E_NOTIMPL; }
    STDMETHODIMP Resume() override { return E_NOTIMPL; }

    // IInternetProtocol
    STDMETHODIMP Read(void* pv, ULONG cb, ULONG* pcbRead) override;
    STDMETHODIMP Seek(LARGE_INTEGER, DWORD, ULARGE_INTEGER*) override { return E_NOTIMPL; }
    STDMETHODIMP LockRequest(DWORD) override { return S_OK; }
    STDMETHODIMP UnlockRequest() override { return S_OK; }

    // IInternetProtocolInfo
    STDMETHODIMP ParseUrl(LPCWSTR, PARSEACTION, DWORD, LPWSTR, DWORD, DWORD*, DWORD) override
    {
        return INET_E_DEFAULT_ACTION;
    }
    STDMETHODIMP CombineUrl(LPCWSTR, LPCWSTR, DWORD, LPWSTR, DWORD, DWORD*, DWORD) override
    {
        return INET_E_DEFAULT_ACTION;
    }
    STDMETHODIMP CompareUrl(LPCWSTR pwzUrl1, LPCWSTR pwzUrl2, DWORD) override
    {
        return pwzUrl1 && pwzUrl2 ? S_FALSE : E_POINTER;
    }
    STDMETHODIMP QueryInfo(LPCWSTR, QUERYOPTION, DWORD, LPVOID, DWORD, DWORD*, DWORD) override
    {
        return INET_E_DEFAULT_ACTION;
    }

private:
    std::atomic<ULONG> m_cRef{1};
    ULONG m_nPos = 0; // the running read position
};

STDMETHODIMP CKivoProtocol::Read(void* pv, ULONG cb, ULONG* pcbRead)
{
    if (pcbRead)
        *pcbRead = 0;
    WCHAR szModule[MAX_PATH] = {};
    DWORD n = GetModuleFileNameW(nullptr, szModule, MAX_PATH);
    std::u16string path(szModule, n < MAX_PATH ? n : 0);
    size_t slash = path.find_last_of(u"\\/");
    path = (slash == std::u16string::npos ? std::u16string() : path.substr(0, slash)) + u"\\images\\test.gif";
    // Opened for each read, others may read it meanwhile but not write.
    HANDLE hFile = CreateFileW(path.c_str(), GENERIC_READ, 1 /*FILE_SHARE_READ*/, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
    if (hFile == INVALID_HANDLE_VALUE)
    {
        ShowKivoProtocolMessage(u"Can not open file.");
        return S_FALSE;
    }
    DWORD dwLength = SetFilePointer(hFile, 0, nullptr, FILE_END);
    HRESULT hr = S_FALSE;
    if (dwLength != INVALID_SET_FILE_POINTER && m_nPos < dwLength && pv)
    {
        SetFilePointer(hFile, LONG(m_nPos), nullptr, FILE_BEGIN);
        DWORD dwRead = 0;
        if (ReadFile(hFile, pv, cb, &dwRead, nullptr))
        {
            m_nPos += dwRead;
            if (pcbRead)
                *pcbRead = dwRead;
            hr = S_OK;
        }
    }
    CloseHandle(hFile);
    return hr;
}

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

__attribute__((weak)) void ShowKivoProtocolMessage(const std::u16string& strText)
{
    std::string text(strText.begin(), strText.end()); // the protocol's texts are ASCII
    std::fprintf(stderr, "%s\n", text.c_str());
}

IClassFactory* KivoProtocolFactory()
{
    static CKivoProtocolFactory factory;
    return &factory;
}
