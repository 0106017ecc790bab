// Binds window handles to the C++ objects that handle their messages. A window procedure
// is a plain function; it finds its object here by the handle it is called with.
#pragma once

#include <string> // before windows.h: the CRT's char16_t overloads must not join std::

#include <windows.h>

class CWndProcThunk
{
public:
    CWndProcThunk() = default;
    ~CWndProcThunk() { Unbind(); }
    CWndProcThunk(const CWndProcThunk&) = delete;
    CWndProcThunk& operator=(const CWndProcThunk&) = delete;

    // Routes hWnd's messages to pObject; an earlier binding of this thunk is dropped.
    void Bind(HWND hWnd, void* pObject);
    void Unbind();

    // The object bound to hWnd, or null.
    static void* Lookup(HWND hWnd);

    // The object whose window is being created on this thread: the first message of the new
    // window binds it (a dialog's procedure sees its handle only then).
    static void SetPending(void* pObject);
    static void* TakePending();

private:
    HWND m_hWnd = nullptr;
};
