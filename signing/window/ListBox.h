// The list box's messages as calls.
#pragma once

#include "Window.h"

template <class TBase = CWindow>
class CListBoxT : public TBase
{
public:
    CListBoxT(HWND hWnd = nullptr) : TBase(hWnd) {}

    int GetCount() const { return static_cast<int>(this->SendMessage(LB_GETCOUNT)); }
    int GetCurSel() const { return static_cast<int>(this->SendMessage(LB_GETCURSEL)); }
    int SetCurSel(int nSelect) { return static_cast<int>(this->SendMessage(LB_SETCURSEL, nSelect)); }
    int AddString(LPCWSTR lpszItem)
    {
        return static_cast<int>(this->SendMessage(LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(lpszItem)));
    }
    int GetItemRect(int nIndex, LPRECT lpRect) const
    {
        return static_cast<int>(this->SendMessage(LB_GETITEMRECT, nIndex, reinterpret_cast<LPARAM>(lpRect)));
    }
    void ResetContent() { this->SendMessage(LB_RESETCONTENT); }
};

typedef CListBoxT<CWindow> CListBox;
