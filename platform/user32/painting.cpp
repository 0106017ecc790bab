// Painting: each top-level window draws into its own cairo surface (its children draw into
// the same one, clipped to their place), update rectangles, WM_PAINT and WM_NCPAINT, the
// frame, caption and scroll bar, and rendering to PNG.
#include <algorithm>

#include "gdi_objects.h"
#include "qm/windowing.h"
#include "window_manager.h"
#include "winbase.h"

namespace qm::win
{
namespace
{
constexpr COLORREF kActiveCaption = RGB(153, 180, 209);
constexpr COLORREF kInactiveCaption = RGB(191, 205, 219);
constexpr COLORREF kFrameOutline = RGB(100, 100, 100);
constexpr COLORREF kCloseBox = RGB(199, 80, 80);

cairo_surface_t* SurfaceFor(Window* root)
{
    if (!root->surface)
    {
        root->surface = qm::gdi::NewSurface(root->rect.right - root->rect.left, root->rect.bottom - root->rect.top);
        cairo_t* cr = cairo_create(root->surface);
        cairo_set_source_rgb(cr, 1, 1, 1);
        cairo_paint(cr);
        cairo_destroy(cr);
    }
    return root->surface;
}

// The window's top-left corner in its root's surface.
POINT OffsetInRoot(const Window* w, const Window* root)
{
    RECT s = ScreenRect(w);
    return {s.left - root->rect.left, s.top - root->rect.top};
}

// The target of a DC on the window: client area (or the whole window), less the children,
// within every ancestor's client area.
bool TargetOf(HWND hwnd, bool wholeWindow, qm::gdi::WindowTarget* t)
{
    Window* w = Find(hwnd);
    Window* root = Find(RootOf(hwnd));
    if (!w || !root)
        return false;
    t->surface = SurfaceFor(root);
    POINT off = OffsetInRoot(w, root);
    RECT c = ClientInWindow(w);
    RECT bounds = wholeWindow ? RECT{0, 0, w->rect.right - w->rect.left, w->rect.bottom - w->rect.top} : c;
    OffsetRect(&bounds, off.x, off.y);
    t->origin = wholeWindow ? off : POINT{off.x + c.left, off.y + c.top};
    for (Window* a = IsTopLevel(w) ? nullptr : Find(w->parent); a; a = IsTopLevel(a) ? nullptr : Find(a->parent))
    {
        POINT ao = OffsetInRoot(a, root);
        RECT ac = ClientInWindow(a);
        OffsetRect(&ac, ao.x, ao.y);
        IntersectRect(&bounds, &bounds, &ac);
    }
    t->bounds = bounds;
    t->excluded.clear();
    POINT co{off.x + c.left, off.y + c.top};
    for (HWND child : w->children)
    {
        Window* k = Find(child);
        if (k && (k->style & WS_VISIBLE))
        {
            RECT r = k->rect;
            OffsetRect(&r, co.x, co.y);
            t->excluded.push_back(r);
        }
    }
    return true;
}

HBRUSH Solid(COLORREF c) { return CreateSolidBrush(c); }

void Fill(HDC dc, RECT r, COLORREF c)
{
    HBRUSH b = Solid(c);
    FillRect(dc, &r, b);
    DeleteObject(b);
}

void DrawScrollBar(HDC dc, Window* w, RECT bar)
{
    Fill(dc, bar, RGB(240, 240, 240));
    int arrow = std::min<LONG>(GetSystemMetrics(SM_CYVSCROLL), (bar.bottom - bar.top) / 2);
    RECT up{bar.left, bar.top, bar.right, bar.top + arrow};
    RECT down{bar.left, bar.bottom - arrow, bar.right, bar.bottom};
    Fill(dc, up, RGB(220, 220, 220));
    Fill(dc, down, RGB(220, 220, 220));
    int track = bar.bottom - bar.top - 2 * arrow;
    if (w->scrollMax > 0 && track > 8)
    {
        int total = w->scrollMax + 1;
        int thumb = std::max(8, track * std::min(w->scrollPage, total) / total);
        int range = std::max(total - w->scrollPage, 1);
        int pos = up.bottom + (track - thumb) * std::clamp(w->scrollPos, 0, range) / range;
        RECT t{bar.left + 2, pos, bar.right - 2, pos + thumb};
        Fill(dc, t, RGB(205, 205, 205));
    }
}
} // namespace

void FreeSurface(Window* w)
{
    qm::gdi::ReleaseSurface(w->surface);
    w->surface = nullptr;
}

void InvalidateWindowTree(HWND hwnd)
{
    Window* w = Find(hwnd);
    if (!w)
        return;
    w->needsFrame = true;
    InvalidateRect(hwnd, nullptr, TRUE);
    for (HWND child : w->children)
        InvalidateWindowTree(child);
}

void DrawNonClient(HWND hwnd)
{
    Window* w = Find(hwnd);
    if (!w)
        return;
    w->needsFrame = false;
    HDC dc = GetWindowDC(hwnd);
    if (!dc)
        return;
    RECT r{0, 0, w->rect.right - w->rect.left, w->rect.bottom - w->rect.top};
    bool framed = (w->style & (WS_THICKFRAME | WS_DLGFRAME)) || (w->exStyle & WS_EX_DLGMODALFRAME);
    if (framed)
    {
        int f = GetSystemMetrics((w->style & WS_THICKFRAME) ? SM_CXFRAME : SM_CXDLGFRAME);
        COLORREF caption = GetActiveWindow() == hwnd ? kActiveCaption : kInactiveCaption;
        RECT inner = r;
        InflateRect(&inner, -f, -f);
        RECT sides[4] = {{r.left, r.top, r.right, inner.top}, {r.left, inner.bottom, r.right, r.bottom},
                         {r.left, inner.top, inner.left, inner.bottom}, {inner.right, inner.top, r.right, inner.bottom}};
        for (const RECT& s : sides)
            Fill(dc, s, caption);
        HBRUSH outline = Solid(kFrameOutline);
        FrameRect(dc, &r, outline);
        DeleteObject(outline);
        if (HasCaption(w))
        {
            int cap = GetSystemMetrics(SM_CYCAPTION);
            RECT bar{inner.left, inner.top, inner.right, inner.top + cap};
            Fill(dc, bar, caption);
            RECT title{bar.left + 6, bar.top, bar.right - cap - 4, bar.bottom};
            if (HICON icon = CaptionIcon(w))
            {
                RECT at = CaptionIconInWindow(w);
                DrawIconEx(dc, at.left, at.top, icon, at.right - at.left, at.bottom - at.top, 0, nullptr, DI_NORMAL);
                title.left = at.right + 4;
            }
            HGDIOBJ old = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
            SetBkMode(dc, TRANSPARENT);
            SetTextColor(dc, 0);
            DrawTextW(dc, w->text.c_str(), -1, &title, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
            SelectObject(dc, old);
            if (w->style & WS_SYSMENU)
            {
                RECT box = CloseBoxInWindow(w);
                Fill(dc, box, kCloseBox);
                HPEN pen = CreatePen(PS_SOLID, 2, RGB(255, 255, 255));
                HGDIOBJ oldPen = SelectObject(dc, pen);
                int cx = (box.left + box.right) / 2, cy = (box.top + box.bottom) / 2, d = 4;
                MoveToEx(dc, cx - d, cy - d, nullptr);
                LineTo(dc, cx + d, cy + d);
                MoveToEx(dc, cx + d, cy - d, nullptr);
                LineTo(dc, cx - d, cy + d);
                SelectObject(dc, oldPen);
                DeleteObject(pen);
            }
        }
        r = inner;
    }
    else if (w->style & WS_BORDER)
    {
        HBRUSH black = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
        FrameRect(dc, &r, black);
        InflateRect(&r, -1, -1);
    }
    if (w->exStyle & WS_EX_CLIENTEDGE)
    {
        DrawEdge(dc, &r, EDGE_SUNKEN, BF_RECT);
        InflateRect(&r, -1, -1);
        DrawEdge(dc, &r, BDR_SUNKENINNER, BF_RECT);
        InflateRect(&r, -1, -1);
    }
    if (w->exStyle & WS_EX_STATICEDGE)
    {
        DrawEdge(dc, &r, BDR_SUNKENOUTER, BF_RECT);
        InflateRect(&r, -1, -1);
    }
    if (w->vscroll)
    {
        RECT c = ClientInWindow(w);
        RECT bar{c.right, c.top, c.right + GetSystemMetrics(SM_CXVSCROLL), c.bottom};
        DrawScrollBar(dc, w, bar);
    }
    ReleaseDC(hwnd, dc);
}

void UpdateScrollBar(HWND hwnd, int max, int page, int pos)
{
    Window* w = Find(hwnd);
    if (!w)
        return;
    bool show = (w->style & WS_VSCROLL) && max >= page && max > 0;
    bool changed = show != w->vscroll;
    w->scrollMax = max;
    w->scrollPage = page;
    w->scrollPos = pos;
    w->vscroll = show;
    w->needsFrame = true;
    if (changed)
    {
        RECT c = ClientInWindow(w);
        SendMessageW(hwnd, WM_SIZE, 0, MAKELPARAM(c.right - c.left, c.bottom - c.top));
        InvalidateRect(hwnd, nullptr, TRUE);
    }
    else if (!w->needsPaint)
    {
        // The frame alone: repaint it now, the client area is unchanged.
        if (IsWindowVisible(hwnd))
            DrawNonClient(hwnd);
    }
}

static HWND FindPaintable(HWND hwnd, std::thread::id thread)
{
    Window* w = Find(hwnd);
    if (!w || !(w->style & WS_VISIBLE))
        return nullptr;
    if (w->thread == thread && (w->needsPaint || w->needsFrame) && !w->inPaint)
        return hwnd;
    for (HWND child : w->children)
        if (HWND found = FindPaintable(child, thread))
            return found;
    return nullptr;
}

HWND FindWindowToPaint(std::thread::id thread)
{
    for (HWND top : TopLevelWindows())
        if (HWND found = FindPaintable(top, thread))
        {
            Window* w = Find(found);
            if (!w->needsPaint) // only the frame
            {
                DrawNonClient(found);
                return FindWindowToPaint(thread);
            }
            return found;
        }
    return nullptr;
}

void PaintNow(HWND hwnd)
{
    Window* w = Find(hwnd);
    if (!w)
        return;
    if (w->needsFrame)
        DrawNonClient(hwnd);
    if (w->needsPaint && !w->inPaint)
    {
        SendMessageW(hwnd, WM_PAINT, 0, 0);
        if (Window* still = Find(hwnd); still && still->needsPaint)
            ValidateRect(hwnd, nullptr);
    }
    w = Find(hwnd);
    if (!w)
        return;
    std::vector<HWND> kids = w->children;
    for (auto it = kids.rbegin(); it != kids.rend(); ++it)
        PaintNow(*it);
}

bool RenderWindowToPng(HWND hwnd, const std::filesystem::path& file)
{
    Window* w = Find(hwnd);
    Window* root = w ? Find(RootOf(hwnd)) : nullptr;
    if (!root)
        return false;
    PaintNow(root->handle);
    cairo_surface_t* s = SurfaceFor(root);
    POINT off = OffsetInRoot(w, root);
    int width = w->rect.right - w->rect.left, height = w->rect.bottom - w->rect.top;
    cairo_surface_t* out = cairo_image_surface_create(CAIRO_FORMAT_RGB24, std::max(width, 1), std::max(height, 1));
    cairo_t* cr = cairo_create(out);
    cairo_set_source_surface(cr, s, -off.x, -off.y);
    cairo_paint(cr);
    cairo_destroy(cr);
    bool ok = cairo_surface_write_to_png(out, file.c_str()) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(out);
    return ok;
}

COLORREF WindowPixel(HWND hwnd, int x, int y)
{
    Window* w = Find(hwnd);
    Window* root = w ? Find(RootOf(hwnd)) : nullptr;
    if (!root || x < 0 || y < 0 || x >= w->rect.right - w->rect.left || y >= w->rect.bottom - w->rect.top)
        return CLR_INVALID;
    PaintNow(root->handle);
    POINT off = OffsetInRoot(w, root);
    cairo_surface_t* s = SurfaceFor(root);
    cairo_surface_flush(s);
    auto* row = cairo_image_surface_get_data(s) + static_cast<size_t>(y + off.y) * cairo_image_surface_get_stride(s);
    uint32_t p = reinterpret_cast<uint32_t*>(row)[x + off.x];
    return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
}

cairo_surface_t* RootSurface(HWND root)
{
    Window* w = Find(root);
    return w ? SurfaceFor(w) : nullptr;
}
} // namespace qm::win

using namespace qm::win;

QMAPI BOOL WINAPI InvalidateRect(HWND hWnd, const RECT* lpRect, BOOL bErase)
{
    if (!hWnd)
    {
        for (HWND top : TopLevelWindows())
            InvalidateWindowTree(top);
        return TRUE;
    }
    Window* w = Get(hWnd);
    if (!w)
        return FALSE;
    RECT c = ClientInWindow(w);
    RECT all{0, 0, c.right - c.left, c.bottom - c.top};
    RECT r = all;
    if (lpRect)
        IntersectRect(&r, lpRect, &all);
    if (IsRectEmpty(&r))
        return TRUE;
    if (w->needsPaint)
        UnionRect(&w->update, &w->update, &r);
    else
        w->update = r;
    w->needsPaint = true;
    if (bErase)
        w->needsErase = true;
    return TRUE;
}

QMAPI BOOL WINAPI ValidateRect(HWND hWnd, const RECT* lpRect)
{
    Window* w = Get(hWnd);
    if (!w)
        return FALSE;
    if (!lpRect)
    {
        w->needsPaint = false;
        w->needsErase = false;
        SetRectEmpty(&w->update);
        return TRUE;
    }
    RECT r = *lpRect;
    if (r.left <= w->update.left && r.top <= w->update.top && r.right >= w->update.right &&
        r.bottom >= w->update.bottom)
        return ValidateRect(hWnd, nullptr);
    return TRUE;
}

QMAPI BOOL WINAPI GetUpdateRect(HWND hWnd, LPRECT lpRect, BOOL bErase)
{
    Window* w = Get(hWnd);
    if (!w)
        return FALSE;
    if (lpRect)
        *lpRect = w->needsPaint ? w->update : RECT{};
    return w->needsPaint;
}

QMAPI BOOL WINAPI UpdateWindow(HWND hWnd)
{
    if (!Get(hWnd))
        return FALSE;
    if (IsWindowVisible(hWnd))
        PaintNow(hWnd);
    return TRUE;
}

QMAPI HDC WINAPI BeginPaint(HWND hWnd, LPPAINTSTRUCT lpPaint)
{
    Window* w = Get(hWnd);
    if (!w || !lpPaint)
        return nullptr;
    if (w->needsFrame)
        DrawNonClient(hWnd);
    *lpPaint = {};
    RECT c = ClientInWindow(w);
    lpPaint->rcPaint = w->needsPaint ? w->update : RECT{0, 0, 0, 0};
    bool erase = w->needsErase;
    w->needsPaint = false;
    w->needsErase = false;
    w->inPaint = true;
    qm::gdi::WindowTarget t;
    if (!TargetOf(hWnd, false, &t))
        return nullptr;
    HDC dc = qm::gdi::CreateWindowDc(hWnd, t);
    qm::gdi::AsDc(dc)->clip = lpPaint->rcPaint;
    lpPaint->hdc = dc;
    (void)c;
    if (erase)
        lpPaint->fErase = !SendMessageW(hWnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    return dc;
}

QMAPI BOOL WINAPI EndPaint(HWND hWnd, const PAINTSTRUCT* lpPaint)
{
    if (Window* w = Find(hWnd))
        w->inPaint = false;
    if (lpPaint)
        qm::gdi::DeleteWindowDc(lpPaint->hdc);
    if (HWND root = RootOf(hWnd))
        PresentWindow(root);
    return TRUE;
}

QMAPI HDC WINAPI GetDC(HWND hWnd)
{
    if (!hWnd)
    {
        // The screen: a scratch surface of the screen's size is not kept; a 1 x 1 memory
        // DC serves measuring and compatible objects.
        return CreateCompatibleDC(nullptr);
    }
    qm::gdi::WindowTarget t;
    if (!Get(hWnd) || !TargetOf(hWnd, false, &t))
        return nullptr;
    return qm::gdi::CreateWindowDc(hWnd, t);
}

QMAPI HDC WINAPI GetWindowDC(HWND hWnd)
{
    qm::gdi::WindowTarget t;
    if (!Get(hWnd) || !TargetOf(hWnd, true, &t))
        return nullptr;
    return qm::gdi::CreateWindowDc(hWnd, t);
}

QMAPI int WINAPI ReleaseDC(HWND hWnd, HDC hDC)
{
    qm::gdi::Dc* dc = qm::gdi::AsDc(hDC);
    if (!dc)
        return 0;
    if (dc->memory)
        return DeleteDC(hDC);
    qm::gdi::DeleteWindowDc(hDC);
    return 1;
}

QMAPI HWND WINAPI WindowFromDC(HDC hDC)
{
    qm::gdi::Dc* dc = qm::gdi::AsDc(hDC);
    return dc ? dc->window : nullptr;
}
