// Shapes, fills, gradients, blits and pixels on cairo. GDI draws without anti-aliasing and
// excludes the right and bottom edges of rectangles; so does this.
#include <algorithm>
#include <cmath>

#include "gdi_objects.h"
#include "winbase.h"
#include "winuser.h"

namespace qm::gdi
{
static cairo_surface_t* SurfaceOf(Dc* dc, POINT* origin)
{
    *origin = {0, 0};
    if (dc->memory)
        return dc->bitmap ? dc->bitmap->surface : nullptr;
    *origin = dc->target.origin;
    return dc->target.surface;
}

cairo_t* BeginDrawing(Dc* dc)
{
    POINT origin;
    cairo_surface_t* surface = SurfaceOf(dc, &origin);
    if (!surface)
        return nullptr;
    cairo_t* cr = cairo_create(surface);
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
    if (!dc->memory)
    {
        const RECT& b = dc->target.bounds;
        cairo_rectangle_int_t all{b.left, b.top, b.right - b.left, b.bottom - b.top};
        cairo_region_t* region = cairo_region_create_rectangle(&all);
        for (const RECT& r : dc->target.excluded)
        {
            cairo_rectangle_int_t cut{r.left, r.top, r.right - r.left, r.bottom - r.top};
            cairo_region_subtract_rectangle(region, &cut);
        }
        int n = cairo_region_num_rectangles(region);
        for (int i = 0; i < n; ++i)
        {
            cairo_rectangle_int_t r;
            cairo_region_get_rectangle(region, i, &r);
            cairo_rectangle(cr, r.x, r.y, r.width, r.height);
        }
        cairo_region_destroy(region);
        cairo_clip(cr);
        cairo_translate(cr, origin.x, origin.y);
    }
    if (dc->clip)
    {
        const RECT& c = *dc->clip;
        cairo_rectangle(cr, c.left, c.top, c.right - c.left, c.bottom - c.top);
        cairo_clip(cr);
    }
    return cr;
}

static Pen* CurrentPen(Dc* dc) { return As<Pen>(dc->pen, Kind::Pen); }
static Brush* CurrentBrush(Dc* dc) { return As<Brush>(dc->brush, Kind::Brush); }

static bool StrokePath(cairo_t* cr, Dc* dc)
{
    Pen* pen = CurrentPen(dc);
    if (!pen || pen->style == PS_NULL)
        return false;
    SetSourceColor(cr, pen->color);
    cairo_set_line_width(cr, pen->width);
    cairo_stroke(cr);
    return true;
}

static void FillPreserve(cairo_t* cr, Dc* dc)
{
    Brush* brush = CurrentBrush(dc);
    if (!brush || brush->null)
        return;
    SetSourceColor(cr, brush->color);
    cairo_fill_preserve(cr);
}

// A closed outline traced at pixel centres so that a 1-pixel pen covers exactly the
// outermost pixels of (left, top)-(right - 1, bottom - 1).
static void RoundedPath(cairo_t* cr, double l, double t, double r, double b, double rx, double ry)
{
    cairo_new_path(cr);
    if (rx <= 0 || ry <= 0)
    {
        cairo_rectangle(cr, l, t, r - l, b - t);
        return;
    }
    rx = std::min(rx, (r - l) / 2);
    ry = std::min(ry, (b - t) / 2);
    auto corner = [&](double cx, double cy, double a0, double a1) {
        cairo_save(cr);
        cairo_translate(cr, cx, cy);
        cairo_scale(cr, rx, ry);
        cairo_arc(cr, 0, 0, 1, a0, a1);
        cairo_restore(cr);
    };
    corner(r - rx, t + ry, -M_PI / 2, 0);
    corner(r - rx, b - ry, 0, M_PI / 2);
    corner(l + rx, b - ry, M_PI / 2, M_PI);
    corner(l + rx, t + ry, M_PI, 3 * M_PI / 2);
    cairo_close_path(cr);
}

static BOOL Shape(HDC hdc, int left, int top, int right, int bottom, int ew, int eh)
{
    Dc* dc = AsDc(hdc);
    if (!dc)
        return FALSE;
    cairo_t* cr = BeginDrawing(dc);
    if (!cr)
        return FALSE;
    if (right < left)
        std::swap(left, right);
    if (bottom < top)
        std::swap(top, bottom);
    Pen* pen = CurrentPen(dc);
    bool outline = pen && pen->style != PS_NULL;
    double inset = outline ? pen->width / 2.0 : 0;
    RoundedPath(cr, left + inset, top + inset, right - inset, bottom - inset, ew / 2.0, eh / 2.0);
    FillPreserve(cr, dc);
    if (!StrokePath(cr, dc))
        cairo_new_path(cr);
    cairo_destroy(cr);
    return TRUE;
}
} // namespace qm::gdi

using namespace qm::gdi;

QMAPI BOOL WINAPI Rectangle(HDC hdc, int left, int top, int right, int bottom)
{
    return Shape(hdc, left, top, right, bottom, 0, 0);
}

QMAPI BOOL WINAPI RoundRect(HDC hdc, int left, int top, int right, int bottom, int width, int height)
{
    return Shape(hdc, left, top, right, bottom, width, height);
}

QMAPI BOOL WINAPI MoveToEx(HDC hdc, int x, int y, LPPOINT lppt)
{
    Dc* dc = AsDc(hdc);
    if (!dc)
        return FALSE;
    if (lppt)
        *lppt = dc->position;
    dc->position = {x, y};
    return TRUE;
}

QMAPI BOOL WINAPI LineTo(HDC hdc, int x, int y)
{
    Dc* dc = AsDc(hdc);
    if (!dc)
        return FALSE;
    if (cairo_t* cr = BeginDrawing(dc))
    {
        cairo_move_to(cr, dc->position.x + 0.5, dc->position.y + 0.5);
        cairo_line_to(cr, x + 0.5, y + 0.5);
        StrokePath(cr, dc);
        cairo_destroy(cr);
    }
    dc->position = {x, y};
    return TRUE;
}

QMAPI BOOL WINAPI GradientFill(HDC hdc, PTRIVERTEX pVertex, ULONG nVertex, PVOID pMesh, ULONG nMesh, ULONG ulMode)
{
    Dc* dc = AsDc(hdc);
    if (!dc || !pVertex || !pMesh || (ulMode != GRADIENT_FILL_RECT_H && ulMode != GRADIENT_FILL_RECT_V))
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    cairo_t* cr = BeginDrawing(dc);
    if (!cr)
        return FALSE;
    auto* rects = static_cast<GRADIENT_RECT*>(pMesh);
    for (ULONG i = 0; i < nMesh; ++i)
    {
        if (rects[i].UpperLeft >= nVertex || rects[i].LowerRight >= nVertex)
            continue;
        const TRIVERTEX& a = pVertex[rects[i].UpperLeft];
        const TRIVERTEX& b = pVertex[rects[i].LowerRight];
        double l = std::min(a.x, b.x), r = std::max(a.x, b.x), t = std::min(a.y, b.y), bo = std::max(a.y, b.y);
        const TRIVERTEX& first = (ulMode == GRADIENT_FILL_RECT_V ? a.y <= b.y : a.x <= b.x) ? a : b;
        const TRIVERTEX& last = &first == &a ? b : a;
        cairo_pattern_t* p = ulMode == GRADIENT_FILL_RECT_V ? cairo_pattern_create_linear(0, t, 0, bo)
                                                            : cairo_pattern_create_linear(l, 0, r, 0);
        auto stop = [&](double at, const TRIVERTEX& v) {
            cairo_pattern_add_color_stop_rgb(p, at, (v.Red >> 8) / 255.0, (v.Green >> 8) / 255.0,
                                             (v.Blue >> 8) / 255.0);
        };
        stop(0, first);
        stop(1, last);
        cairo_set_source(cr, p);
        cairo_rectangle(cr, l, t, r - l, bo - t);
        cairo_fill(cr);
        cairo_pattern_destroy(p);
    }
    cairo_destroy(cr);
    return TRUE;
}

QMAPI BOOL WINAPI BitBlt(HDC hdc, int x, int y, int cx, int cy, HDC hdcSrc, int x1, int y1, DWORD rop)
{
    Dc* dst = AsDc(hdc);
    if (!dst)
        return FALSE;
    cairo_t* cr = BeginDrawing(dst);
    if (!cr)
        return FALSE;
    if (rop == BLACKNESS || rop == WHITENESS)
    {
        SetSourceColor(cr, rop == BLACKNESS ? 0 : 0xFFFFFF);
    }
    else
    {
        Dc* src = AsDc(hdcSrc);
        POINT origin{};
        cairo_surface_t* surface = nullptr;
        if (src)
        {
            if (src->memory)
                surface = src->bitmap ? src->bitmap->surface : nullptr;
            else
            {
                surface = src->target.surface;
                origin = src->target.origin;
            }
        }
        if (!surface || rop != SRCCOPY)
        {
            cairo_destroy(cr);
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        cairo_set_source_surface(cr, surface, x - x1 - origin.x, y - y1 - origin.y);
    }
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_rectangle(cr, x, y, cx, cy);
    cairo_fill(cr);
    cairo_destroy(cr);
    return TRUE;
}

static uint32_t* PixelAt(Dc* dc, int x, int y)
{
    cairo_surface_t* s;
    if (dc->memory)
        s = dc->bitmap ? dc->bitmap->surface : nullptr;
    else
    {
        s = dc->target.surface;
        x += dc->target.origin.x;
        y += dc->target.origin.y;
        const RECT& b = dc->target.bounds;
        if (x < b.left || y < b.top || x >= b.right || y >= b.bottom)
            return nullptr;
    }
    if (!s)
        return nullptr;
    int w = cairo_image_surface_get_width(s), h = cairo_image_surface_get_height(s);
    if (x < 0 || y < 0 || x >= w || y >= h)
        return nullptr;
    cairo_surface_flush(s);
    auto* row = cairo_image_surface_get_data(s) + static_cast<size_t>(y) * cairo_image_surface_get_stride(s);
    return reinterpret_cast<uint32_t*>(row) + x;
}

QMAPI COLORREF WINAPI GetPixel(HDC hdc, int x, int y)
{
    Dc* dc = AsDc(hdc);
    uint32_t* p = dc ? PixelAt(dc, x, y) : nullptr;
    if (!p)
        return CLR_INVALID;
    return RGB((*p >> 16) & 0xFF, (*p >> 8) & 0xFF, *p & 0xFF);
}

QMAPI COLORREF WINAPI SetPixel(HDC hdc, int x, int y, COLORREF color)
{
    Dc* dc = AsDc(hdc);
    uint32_t* p = dc ? PixelAt(dc, x, y) : nullptr;
    if (!p)
        return CLR_INVALID;
    *p = (GetRValue(color) << 16) | (GetGValue(color) << 8) | GetBValue(color);
    cairo_surface_t* s = dc->memory ? dc->bitmap->surface : dc->target.surface;
    cairo_surface_mark_dirty(s);
    return color & 0xFFFFFF;
}

QMAPI int WINAPI FillRect(HDC hDC, const RECT* lprc, HBRUSH hbr)
{
    Dc* dc = AsDc(hDC);
    if (!dc || !lprc)
        return 0;
    // COLOR_* + 1 stands for the system colour's brush, as on Windows.
    if (reinterpret_cast<uintptr_t>(hbr) <= 40)
        hbr = GetSysColorBrush(static_cast<int>(reinterpret_cast<uintptr_t>(hbr)) - 1);
    Brush* brush = As<Brush>(hbr, Kind::Brush);
    if (!brush)
        return 0;
    if (brush->null)
        return 1;
    cairo_t* cr = BeginDrawing(dc);
    if (!cr)
        return 0;
    SetSourceColor(cr, brush->color);
    cairo_rectangle(cr, lprc->left, lprc->top, lprc->right - lprc->left, lprc->bottom - lprc->top);
    cairo_fill(cr);
    cairo_destroy(cr);
    return 1;
}

QMAPI int WINAPI FrameRect(HDC hDC, const RECT* lprc, HBRUSH hbr)
{
    if (!lprc || lprc->right <= lprc->left || lprc->bottom <= lprc->top)
        return 0;
    RECT sides[4] = {{lprc->left, lprc->top, lprc->right, lprc->top + 1},
                     {lprc->left, lprc->bottom - 1, lprc->right, lprc->bottom},
                     {lprc->left, lprc->top, lprc->left + 1, lprc->bottom},
                     {lprc->right - 1, lprc->top, lprc->right, lprc->bottom}};
    for (const RECT& r : sides)
        if (!FillRect(hDC, &r, hbr))
            return 0;
    return 1;
}

QMAPI BOOL WINAPI DrawEdge(HDC hdc, LPRECT qrc, UINT edge, UINT grfFlags)
{
    if (!qrc)
        return FALSE;
    bool sunken = edge & (BDR_SUNKENOUTER | BDR_SUNKENINNER);
    HBRUSH light = GetSysColorBrush(COLOR_BTNHIGHLIGHT), dark = GetSysColorBrush(COLOR_BTNSHADOW);
    HBRUSH topLeft = sunken ? dark : light, bottomRight = sunken ? light : dark;
    RECT r = *qrc;
    if (grfFlags & BF_TOP)
    {
        RECT s{r.left, r.top, r.right, r.top + 1};
        FillRect(hdc, &s, topLeft);
    }
    if (grfFlags & BF_LEFT)
    {
        RECT s{r.left, r.top, r.left + 1, r.bottom};
        FillRect(hdc, &s, topLeft);
    }
    if (grfFlags & BF_BOTTOM)
    {
        RECT s{r.left, r.bottom - 1, r.right, r.bottom};
        FillRect(hdc, &s, bottomRight);
    }
    if (grfFlags & BF_RIGHT)
    {
        RECT s{r.right - 1, r.top, r.right, r.bottom};
        FillRect(hdc, &s, bottomRight);
    }
    return TRUE;
}

QMAPI BOOL WINAPI DrawFocusRect(HDC hDC, const RECT* lprc)
{
    Dc* dc = AsDc(hDC);
    if (!dc || !lprc)
        return FALSE;
    cairo_t* cr = BeginDrawing(dc);
    if (!cr)
        return FALSE;
    double dash[] = {1.0};
    cairo_set_dash(cr, dash, 1, 0);
    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_set_line_width(cr, 1);
    cairo_rectangle(cr, lprc->left + 0.5, lprc->top + 0.5, lprc->right - lprc->left - 1, lprc->bottom - lprc->top - 1);
    cairo_stroke(cr);
    cairo_destroy(cr);
    return TRUE;
}

QMAPI int WINAPI IntersectClipRect(HDC hdc, int left, int top, int right, int bottom)
{
    Dc* dc = AsDc(hdc);
    if (!dc)
        return ERROR;
    RECT r{left, top, right, bottom};
    if (dc->clip)
        IntersectRect(&r, &*dc->clip, &r);
    dc->clip = r;
    return IsRectEmpty(&r) ? NULLREGION : SIMPLEREGION;
}

QMAPI int WINAPI GetClipBox(HDC hdc, LPRECT lprect)
{
    Dc* dc = AsDc(hdc);
    if (!dc || !lprect)
        return ERROR;
    RECT all;
    if (dc->memory)
        all = {0, 0, dc->bitmap ? dc->bitmap->width : 1, dc->bitmap ? dc->bitmap->height : 1};
    else
    {
        all = dc->target.bounds;
        OffsetRect(&all, -dc->target.origin.x, -dc->target.origin.y);
    }
    if (dc->clip)
        IntersectRect(&all, &all, &*dc->clip);
    *lprect = all;
    return IsRectEmpty(&all) ? NULLREGION : SIMPLEREGION;
}

QMAPI COLORREF WINAPI SetTextColor(HDC hdc, COLORREF color)
{
    Dc* dc = AsDc(hdc);
    if (!dc)
        return CLR_INVALID;
    COLORREF old = dc->textColor;
    dc->textColor = color;
    return old;
}

QMAPI COLORREF WINAPI GetTextColor(HDC hdc)
{
    Dc* dc = AsDc(hdc);
    return dc ? dc->textColor : CLR_INVALID;
}

QMAPI COLORREF WINAPI SetBkColor(HDC hdc, COLORREF color)
{
    Dc* dc = AsDc(hdc);
    if (!dc)
        return CLR_INVALID;
    COLORREF old = dc->bkColor;
    dc->bkColor = color;
    return old;
}

QMAPI COLORREF WINAPI GetBkColor(HDC hdc)
{
    Dc* dc = AsDc(hdc);
    return dc ? dc->bkColor : CLR_INVALID;
}

QMAPI int WINAPI SetBkMode(HDC hdc, int mode)
{
    Dc* dc = AsDc(hdc);
    if (!dc || (mode != TRANSPARENT && mode != OPAQUE))
        return 0;
    int old = dc->bkMode;
    dc->bkMode = mode;
    return old;
}

QMAPI int WINAPI GetBkMode(HDC hdc)
{
    Dc* dc = AsDc(hdc);
    return dc ? dc->bkMode : 0;
}
