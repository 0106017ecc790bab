#include "CertificateListCtrl.h"

#include <commctrl.h>
#include <cryptuiapi.h>

#include "FoundationLibrary.h"
#include "HResult.h"
#include "ModuleHandle.h"
#include "Trace.h"

#define SOURCE_UNIT u"CertificateListCtrl"

namespace
{
#define IDB_SYSTEM_CERTIFICATE 105
#define IDB_KEY_CERTIFICATE 106
#define IDB_CERTIFICATE_FRAME 107

#define ICON_OFFSET 14
#define ICON_SIZE 48
#define TEXT_LEFT 80
#define TEXT_RIGHT_MARGIN 15
#define TOOLTIP_TEXT_CCH 256

struct HIGHLIGHT_COLORS
{
    BYTE rgbTop[3];
    BYTE rgbBottom[3];
    BYTE rgbBorder[3];
};

const HIGHLIGHT_COLORS s_stSelected = {{0xDD, 0xEC, 0xFD}, {0xC2, 0xDC, 0xFD}, {0x7D, 0xB6, 0xCE}};
const HIGHLIGHT_COLORS s_stHot = {{0xFD, 0xFE, 0xFF}, {0xB9, 0xD7, 0xFC}, {0xF3, 0xF8, 0xFF}};

struct TEXT_LINE_FONT
{
    LPCWSTR lpwszFace;
    int nHeight;
    int nWidth;
};

// Faces of the four lines: with the YaHei flag, and without it.
const TEXT_LINE_FONT s_rgLineFonts[2][4] = {
    {{u"Arial", 16, 8}, {u"Arial", 14, 6}, {u"Arial", 14, 6}, {u"Arial", 14, 6}},
    {{u"Microsoft YaHei", 20, 8}, {u"Microsoft YaHei", 18, 6}, {u"Microsoft YaHei", 18, 6},
     {u"Microsoft YaHei", 18, 6}},
};
const int s_rgLineTops[4] = {5, 25, 40, 55};

void SetVertex(TRIVERTEX& vertex, LONG x, LONG y, const BYTE rgb[3])
{
    vertex.x = x;
    vertex.y = y;
    vertex.Red = static_cast<COLOR16>(rgb[0] << 8);
    vertex.Green = static_cast<COLOR16>(rgb[1] << 8);
    vertex.Blue = static_cast<COLOR16>(rgb[2] << 8);
    vertex.Alpha = 0;
}

void PaintHighlight(HDC hDC, int cx, int cy, const HIGHLIGHT_COLORS& colors)
{
    TRIVERTEX rgVertex[2];
    SetVertex(rgVertex[0], 1, 1, colors.rgbTop);
    SetVertex(rgVertex[1], cx - 1, cy - 1, colors.rgbBottom);
    GRADIENT_RECT stRect = {0, 1};
    GradientFill(hDC, rgVertex, 2, &stRect, 1, GRADIENT_FILL_RECT_V);

    HPEN hPen = CreatePen(PS_SOLID, 1, RGB(colors.rgbBorder[0], colors.rgbBorder[1], colors.rgbBorder[2]));
    HGDIOBJ hOldPen = SelectObject(hDC, hPen);
    HGDIOBJ hOldBrush = SelectObject(hDC, GetStockObject(NULL_BRUSH));
    RoundRect(hDC, 0, 0, cx, cy, 6, 6);
    SelectObject(hDC, hOldBrush);
    SelectObject(hDC, hOldPen);
    DeleteObject(hPen);
}
} // namespace

CCertificateList::~CCertificateList()
{
    ReleaseImages();
    m_vtrEntries.clear();
}

void CCertificateList::OnFinalMessage(HWND /*hWnd*/)
{
    // The images go with the window, while GDI+ still runs; the tooltip went with it too.
    ReleaseImages();
    m_vtrEntries.clear();
    m_hToolTip = nullptr;
    m_nMouseTracked = 0;
}

void CCertificateList::ReleaseImages()
{
    delete m_pSystemCertImage;
    delete m_pKeyCertImage;
    delete m_pFrameImage;
    m_pSystemCertImage = nullptr;
    m_pKeyCertImage = nullptr;
    m_pFrameImage = nullptr;
}

BOOL CCertificateList::ProcessWindowMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult,
                                            DWORD /*dwMsgMapID*/)
{
    BOOL bHandled = TRUE;
    switch (uMsg)
    {
    case WM_MOUSEMOVE:
        lResult = OnMouseMove(uMsg, wParam, lParam, bHandled);
        return bHandled;
    case WM_LBUTTONDBLCLK:
        lResult = OnLButtonDblClk(uMsg, wParam, lParam, bHandled);
        return bHandled;
    case WM_MOUSELEAVE:
        lResult = OnMouseLeave(uMsg, wParam, lParam, bHandled);
        return bHandled;
    case OCM_DRAWITEM:
        lResult = OnDrawItem(uMsg, wParam, lParam, bHandled);
        return bHandled;
    case OCM_MEASUREITEM:
        lResult = OnMeasureItem(uMsg, wParam, lParam, bHandled);
        return bHandled;
    }
    return DefaultReflectionHandler(hWnd, uMsg, wParam, lParam, lResult);
}

HRESULT CCertificateList::Initialize(HMODULE hResourceModule, INT nYaHei, CertificateDisplayEntries vtrEntries)
{
    static const WCHAR s_wszName[] = u"CCertificateList::Initialize";
    TraceHelper trace(s_wszName);
    m_nMouseTracked = 0;
    m_nYaHei = nYaHei;

    ReleaseImages();
    struct
    {
        UINT nID;
        Gdiplus::Image** ppImage;
        LPCWSTR lpwszStep;
    } rgImages[] = {
        {IDB_SYSTEM_CERTIFICATE, &m_pSystemCertImage, u"LoadImageFromResource (System certificate)"},
        {IDB_KEY_CERTIFICATE, &m_pKeyCertImage, u"LoadImageFromResource (Key certificate)"},
        {IDB_CERTIFICATE_FRAME, &m_pFrameImage, u"LoadImageFromResource (Certificate frame)"},
    };
    for (const auto& image : rgImages)
    {
        HRESULT hResult = LoadImageFromResource(hResourceModule, image.nID, image.ppImage);
        if (FAILED(hResult))
        {
            TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, image.lpwszStep, u"FAILED(hResult)", hResult);
            return hResult;
        }
    }

    m_vtrEntries = std::move(vtrEntries);

    if (m_hToolTip && ::IsWindow(m_hToolTip))
    {
        ::DestroyWindow(m_hToolTip);
    }
    m_hToolTip = CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, 0, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                                 CW_USEDEFAULT, m_hWnd, nullptr, g_hModuleInstance, nullptr);

    TTTOOLINFOW stToolInfo = {};
    stToolInfo.cbSize = sizeof(stToolInfo);
    stToolInfo.uFlags = TTF_IDISHWND;
    stToolInfo.hwnd = GetParent();
    stToolInfo.uId = reinterpret_cast<UINT_PTR>(m_hWnd);
    stToolInfo.hinst = g_hModuleInstance;
    stToolInfo.lpszText = const_cast<LPWSTR>(u"");
    ::SendMessageW(m_hToolTip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&stToolInfo));
    ::SendMessageW(m_hToolTip, TTM_ACTIVATE, TRUE, 0);
    return S_OK;
}

int CCertificateList::HitTestItem()
{
    POINT pt = {};
    GetCursorPos(&pt);
    ::ScreenToClient(m_hWnd, &pt);
    for (int i = 0; i < GetCount(); ++i)
    {
        RECT rc = {};
        if (GetItemRect(i, &rc) != LB_ERR && PtInRect(&rc, pt))
        {
            return i;
        }
    }
    return -1;
}

LRESULT CCertificateList::OnMouseMove(UINT /*uMsg*/, WPARAM /*wParam*/, LPARAM /*lParam*/, BOOL& bHandled)
{
    if (!m_nMouseTracked)
    {
        TRACKMOUSEEVENT stTrack = {sizeof(TRACKMOUSEEVENT), TME_LEAVE, m_hWnd, HOVER_DEFAULT};
        if (TrackMouseEvent(&stTrack))
        {
            m_nMouseTracked = 1;
        }
    }
    if (m_hToolTip)
    {
        ::SendMessageW(m_hToolTip, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(GetCurrentMessage()));
    }
    Invalidate(FALSE);
    bHandled = FALSE;
    return 0;
}

LRESULT CCertificateList::OnMouseLeave(UINT /*uMsg*/, WPARAM /*wParam*/, LPARAM /*lParam*/, BOOL& bHandled)
{
    m_nMouseTracked = 0;
    Invalidate(FALSE);
    bHandled = FALSE;
    return 0;
}

LRESULT CCertificateList::OnLButtonDblClk(UINT /*uMsg*/, WPARAM /*wParam*/, LPARAM /*lParam*/, BOOL& bHandled)
{
    bHandled = FALSE;
    int nIndex = HitTestItem();
    if (nIndex < 0 || nIndex >= static_cast<int>(m_vtrEntries.size()))
    {
        return 0;
    }
    CRYPTUI_VIEWCERTIFICATE_STRUCTW stView = {};
    stView.dwSize = sizeof(stView);
    stView.hwndParent = m_hWnd;
    stView.pCertContext = m_vtrEntries[nIndex].pCertContext;
    BOOL fPropertiesChanged = FALSE;
    CryptUIDlgViewCertificateW(&stView, &fPropertiesChanged);
    return 0;
}

LRESULT CCertificateList::OnMeasureItem(UINT /*uMsg*/, WPARAM /*wParam*/, LPARAM lParam, BOOL& /*bHandled*/)
{
    auto* pMeasure = reinterpret_cast<LPMEASUREITEMSTRUCT>(lParam);
    if (pMeasure)
    {
        pMeasure->itemHeight = CERTIFICATE_ROW_HEIGHT;
    }
    return TRUE;
}

LRESULT CCertificateList::OnDrawItem(UINT /*uMsg*/, WPARAM /*wParam*/, LPARAM lParam, BOOL& /*bHandled*/)
{
    auto* pDraw = reinterpret_cast<LPDRAWITEMSTRUCT>(lParam);
    // An empty list asks for its focus rectangle as item -1: there is no card to draw.
    if (!pDraw || pDraw->itemID >= m_vtrEntries.size())
    {
        return TRUE;
    }
    const CertificateDisplayEntry& entry = m_vtrEntries[pDraw->itemID];
    const RECT& rcItem = pDraw->rcItem;
    int cx = rcItem.right - rcItem.left;
    int cy = rcItem.bottom - rcItem.top;
    if (cx <= 0 || cy <= 0)
    {
        return TRUE;
    }
    int nHot = HitTestItem();
    bool bHot = nHot == static_cast<int>(pDraw->itemID);
    bool bSelected = (pDraw->itemState & ODS_SELECTED) != 0;

    // Drawn off screen and copied in one piece, so a repaint on every mouse move does not flicker.
    HDC hMemDC = CreateCompatibleDC(pDraw->hDC);
    HBITMAP hBitmap = CreateCompatibleBitmap(pDraw->hDC, cx, cy);
    HGDIOBJ hOldBitmap = SelectObject(hMemDC, hBitmap);
    DrawCard(hMemDC, entry, cx, cy, bSelected, bHot);
    BitBlt(pDraw->hDC, rcItem.left, rcItem.top, cx, cy, hMemDC, 0, 0, SRCCOPY);
    SelectObject(hMemDC, hOldBitmap);
    DeleteObject(hBitmap);
    DeleteDC(hMemDC);

    if (bHot)
    {
        UpdateToolTip(entry);
    }
    return TRUE;
}

void CCertificateList::DrawCard(HDC hDC, const CertificateDisplayEntry& entry, int cx, int cy, bool bSelected,
                                bool bHot)
{
    Gdiplus::Graphics graphics(hDC);
    RECT rcCard = {0, 0, cx, cy};
    FillRect(hDC, &rcCard, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    if (bSelected)
    {
        PaintHighlight(hDC, cx, cy, s_stSelected);
    }
    else if (bHot)
    {
        PaintHighlight(hDC, cx, cy, s_stHot);
    }

    Gdiplus::Image* pIcon = entry.nKeyFlag == 1 ? m_pKeyCertImage : m_pSystemCertImage;
    if (pIcon)
    {
        graphics.DrawImage(pIcon, Gdiplus::Rect(ICON_OFFSET, ICON_OFFSET, ICON_SIZE, ICON_SIZE), 0, 0,
                           static_cast<INT>(pIcon->GetWidth()), static_cast<INT>(pIcon->GetHeight()),
                           Gdiplus::UnitPixel);
    }
    if (m_pFrameImage)
    {
        INT nFrameWidth = static_cast<INT>(m_pFrameImage->GetWidth());
        INT nFrameHeight = static_cast<INT>(m_pFrameImage->GetHeight());
        graphics.DrawImage(m_pFrameImage, (CERTIFICATE_ROW_HEIGHT - nFrameWidth) / 2,
                           (CERTIFICATE_ROW_HEIGHT - nFrameHeight) / 2, nFrameWidth, nFrameHeight);
    }

    const std::u16string* rgLines[4] = {&entry.strSubjectCN, &entry.strIssuer, &entry.strSerial, &entry.strValidity};
    const TEXT_LINE_FONT* pFonts = s_rgLineFonts[m_nYaHei ? 1 : 0];
    for (int i = 0; i < 4; ++i)
    {
        DrawTextWithFont(pFonts[i].lpwszFace, hDC, rgLines[i]->c_str(), TEXT_LEFT, s_rgLineTops[i],
                         cx - TEXT_RIGHT_MARGIN, pFonts[i].nWidth, pFonts[i].nHeight, RGB(0, 0, 0));
    }
}

void CCertificateList::UpdateToolTip(const CertificateDisplayEntry& entry)
{
    if (!m_hToolTip)
    {
        return;
    }
    WCHAR wszText[TOOLTIP_TEXT_CCH] = {};
    TTTOOLINFOW stToolInfo = {};
    stToolInfo.cbSize = sizeof(stToolInfo);
    stToolInfo.uFlags = TTF_IDISHWND;
    stToolInfo.hwnd = GetParent();
    stToolInfo.uId = reinterpret_cast<UINT_PTR>(m_hWnd);
    stToolInfo.lpszText = wszText;
    ::SendMessageW(m_hToolTip, TTM_GETTEXTW, TOOLTIP_TEXT_CCH, reinterpret_cast<LPARAM>(&stToolInfo));
    if (wcscmp(wszText, entry.strSubjectCN.c_str()) != 0)
    {
        stToolInfo.hinst = g_hModuleInstance;
        stToolInfo.lpszText = const_cast<LPWSTR>(entry.strSubjectCN.c_str());
        ::SendMessageW(m_hToolTip, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&stToolInfo));
    }
}
