// Step traces and results shared by the installer's source units.
#pragma once

#include <string> // before windows.h: the CRT's char16_t overloads must not join std::

#include <windows.h>

#include "HResult.h"
#include "Trace.h"

#define CHAIN_DELETE_UNIT u"CertificateChainDelete"
#define CHAIN_OPERATE_UNIT u"CertificateChainOperate"

// 0xA0071402, "XML file parse failed.": a chain document lacks an element it must have.
#define E_XML_PARSE_FAILED MAKE_OWN_HRESULT(0x1402)


// "%ws - %ws" on success, the failure form with the line of the check otherwise.
#define CHAIN_STEP(unit, operation, step, reason, hr)                        \
    do                                                                      \
    {                                                                       \
        HRESULT hrStep_ = (hr);                                             \
        if (FAILED(hrStep_))                                                \
            TraceStepFailed((unit), __LINE__, (operation), (step), (reason), hrStep_); \
        else                                                                \
            TraceStepSucceeded((operation), (step));                        \
    } while (0)

// Holds one COM interface reference and releases it when the scope ends.
template <class T>
class CInterfaceHolder
{
public:
    CInterfaceHolder() = default;
    ~CInterfaceHolder() { Release(); }
    CInterfaceHolder(const CInterfaceHolder&) = delete;
    CInterfaceHolder& operator=(const CInterfaceHolder&) = delete;

    void Release()
    {
        if (m_p)
        {
            m_p->Release();
            m_p = nullptr;
        }
    }
    T** operator&()
    {
        Release();
        return &m_p;
    }
    T* operator->() const { return m_p; }
    operator T*() const { return m_p; }
    T* Detach()
    {
        T* p = m_p;
        m_p = nullptr;
        return p;
    }

private:
    T* m_p = nullptr;
};

// Holds one BSTR.
class CBstrHolder
{
public:
    CBstrHolder() = default;
    ~CBstrHolder() { SysFreeString(m_bstr); }
    CBstrHolder(const CBstrHolder&) = delete;
    CBstrHolder& operator=(const CBstrHolder&) = delete;

    BSTR* operator&()
    {
        SysFreeString(m_bstr);
        m_bstr = nullptr;
        return &m_bstr;
    }
    operator BSTR() const { return m_bstr; }

private:
    BSTR m_bstr = nullptr;
};
