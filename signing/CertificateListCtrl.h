// The selection dialog's list: every certificate drawn as an 80-pixel card with an icon, a
// frame and four lines; hover and selection highlights, a tooltip, the viewer on double-click.
#pragma once

#include <gdiplus.h>

#include "CertificateDisplayEntry.h"
#include "window/ListBox.h"
#include "window/WindowImpl.h"

#define CERTIFICATE_ROW_HEIGHT 80

class CCertificateList : public CWindowImpl<CCertificateList, CListBoxT<CWindow>, CWinTraits<0x56000000, 0>>
{
public:
    CCertificateList() = default;
    ~CCertificateList() override;

    BOOL ProcessWindowMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult,
                              DWORD dwMsgMapID = 0) override;
    void OnFinalMessage(HWND hWnd) override;

    HRESULT Initialize(HMODULE hResourceModule, INT nYaHei, CertificateDisplayEntries vtrEntries);
    // The item under the mouse cursor, or -1.
    int HitTestItem();

private:
    LRESULT OnMouseMove(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnLButtonDblClk(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnMouseLeave(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnDrawItem(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnMeasureItem(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);

    void DrawCard(HDC hDC, const CertificateDisplayEntry& entry, int cx, int cy, bool bSelected, bool bHot);
    void UpdateToolTip(const CertificateDisplayEntry& entry);
    void ReleaseImages();

    INT m_nMouseTracked = 0;
    INT m_nYaHei = 0;
    Gdiplus::Image* m_pSystemCertImage = nullptr;
    Gdiplus::Image* m_pKeyCertImage = nullptr;
    Gdiplus::Image* m_pFrameImage = nullptr;
    CertificateDisplayEntries m_vtrEntries;
    HWND m_hToolTip = nullptr;
};
