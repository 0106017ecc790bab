// window.external of the assistant's pages: one method, KivoSysCall (CmdId, Args), handed
// to the job dispatcher. One instance lives for the whole run; Release never deletes it.
#pragma once

#include "oaidl.h"

class IKivoJobHost;

class CKivoImpIDispatch : public IDispatch
{
public:
    CKivoImpIDispatch() = default;
    virtual ~CKivoImpIDispatch() = default;

    // The main window the calls are dispatched for (the framework's main window).
    void SetMainWindow(IKivoJobHost* pMainWnd) { m_pMainWnd = pMainWnd; }
    ULONG RefCount() const { return m_nRef; }

    STDMETHOD(QueryInterface)(REFIID riid, void** ppvObject) override;
    STDMETHOD_(ULONG, AddRef)() override;
    STDMETHOD_(ULONG, Release)() override;
    STDMETHOD(GetTypeInfoCount)(UINT* pctinfo) override;
    STDMETHOD(GetTypeInfo)(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo) override;
    STDMETHOD(GetIDsOfNames)(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid, DISPID* rgDispId) override;
    STDMETHOD(Invoke)(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags, DISPPARAMS* pDispParams,
                      VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr) override;

private:
    ULONG m_nRef = 0;
    IKivoJobHost* m_pMainWnd = nullptr;
};
