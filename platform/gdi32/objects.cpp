// The object table, stock objects, selection and deletion.
#include <atomic>
#include <mutex>
#include <unordered_map>

#include "gdi_objects.h"
#include "qm/windowing.h"
#include "winbase.h"
#include "winuser.h"

namespace qm::gdi
{
namespace
{
std::mutex g_lock;
std::unordered_map<HGDIOBJ, std::unique_ptr<Object>>& Table()
{
    static auto* table = new std::unordered_map<HGDIOBJ, std::unique_ptr<Object>>;
    return *table;
}
std::atomic<size_t> g_surfaces{0};

HGDIOBJ MakeStock(std::unique_ptr<Object> o)
{
    o->stock = true;
    return Insert(std::move(o));
}

struct StockObjects
{
    HGDIOBJ objects[20] = {};
    StockObjects()
    {
        auto brush = [](bool null, COLORREF c) {
            auto b = std::make_unique<Brush>();
            b->null = null;
            b->color = c;
            return MakeStock(std::move(b));
        };
        auto pen = [](int style, COLORREF c) {
            auto p = std::make_unique<Pen>();
            p->style = style;
            p->color = c;
            return MakeStock(std::move(p));
        };
        objects[WHITE_BRUSH] = brush(false, RGB(255, 255, 255));
        objects[LTGRAY_BRUSH] = brush(false, RGB(192, 192, 192));
        objects[GRAY_BRUSH] = brush(false, RGB(128, 128, 128));
        objects[DKGRAY_BRUSH] = brush(false, RGB(64, 64, 64));
        objects[BLACK_BRUSH] = brush(false, 0);
        objects[NULL_BRUSH] = brush(true, 0);
        objects[WHITE_PEN] = pen(PS_SOLID, RGB(255, 255, 255));
        objects[BLACK_PEN] = pen(PS_SOLID, 0);
        objects[NULL_PEN] = pen(PS_NULL, 0);
        objects[DC_BRUSH] = brush(false, RGB(255, 255, 255));
        objects[DC_PEN] = pen(PS_SOLID, 0);
        // The dialog font of Windows: 8 point "MS Shell Dlg" at 96 dpi.
        LOGFONTW lf{};
        lf.lfHeight = -11;
        lf.lfWeight = FW_NORMAL;
        lf.lfCharSet = DEFAULT_CHARSET;
        const char16_t face[] = u"MS Shell Dlg";
        for (size_t i = 0; i < sizeof(face) / sizeof(face[0]); ++i)
            lf.lfFaceName[i] = face[i];
        HFONT gui = CreateFontIndirectW(&lf);
        static_cast<Object*>(Lookup(gui))->stock = true;
        objects[DEFAULT_GUI_FONT] = gui;
        LOGFONTW sys = lf;
        sys.lfHeight = 16;
        sys.lfWeight = FW_BOLD;
        HFONT sysFont = CreateFontIndirectW(&sys);
        static_cast<Object*>(Lookup(sysFont))->stock = true;
        objects[SYSTEM_FONT] = sysFont;
        auto bmp = std::make_unique<Bitmap>();
        bmp->width = 1;
        bmp->height = 1;
        bmp->surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 1, 1);
        m_defaultBitmap = MakeStock(std::move(bmp));
    }
    HGDIOBJ m_defaultBitmap = nullptr;
};

StockObjects& Stock()
{
    static auto* stock = new StockObjects;
    return *stock;
}
} // namespace

Object* Lookup(HGDIOBJ h)
{
    if (!h)
        return nullptr;
    std::lock_guard lock(g_lock);
    auto it = Table().find(h);
    return it == Table().end() ? nullptr : it->second.get();
}

HGDIOBJ Insert(std::unique_ptr<Object> object)
{
    HGDIOBJ h = object.get();
    std::lock_guard lock(g_lock);
    Table().emplace(h, std::move(object));
    return h;
}

void Erase(HGDIOBJ h)
{
    std::unique_ptr<Object> doomed;
    {
        std::lock_guard lock(g_lock);
        auto it = Table().find(h);
        if (it == Table().end())
            return;
        doomed = std::move(it->second);
        Table().erase(it);
    }
}

void MarkStock(HGDIOBJ h)
{
    if (Object* o = Lookup(h))
        o->stock = true;
}

cairo_surface_t* NewSurface(int width, int height)
{
    ++g_surfaces;
    return cairo_image_surface_create(CAIRO_FORMAT_RGB24, std::max(width, 1), std::max(height, 1));
}

void ReleaseSurface(cairo_surface_t* surface)
{
    if (!surface)
        return;
    --g_surfaces;
    cairo_surface_destroy(surface);
}

Bitmap::~Bitmap()
{
    if (stock)
        cairo_surface_destroy(surface);
    else
        ReleaseSurface(surface);
}

Font::~Font()
{
    if (description)
        pango_font_description_free(description);
}

Dc::~Dc() = default;

HGDIOBJ DefaultBitmap() { return Stock().m_defaultBitmap; }

static void Select(Dc* dc, HGDIOBJ& slot, HGDIOBJ h)
{
    if (Object* old = Lookup(slot))
        --old->selectedInto;
    slot = h;
    if (Object* now = Lookup(h))
        ++now->selectedInto;
}

static void InitDc(Dc* dc)
{
    Select(dc, dc->pen, GetStockObject(BLACK_PEN));
    Select(dc, dc->brush, GetStockObject(WHITE_BRUSH));
    Select(dc, dc->font, GetStockObject(SYSTEM_FONT));
}

HDC CreateWindowDc(HWND hwnd, const WindowTarget& target)
{
    auto dc = std::make_unique<Dc>();
    dc->window = hwnd;
    dc->target = target;
    Dc* raw = dc.get();
    HDC h = static_cast<HDC>(Insert(std::move(dc)));
    InitDc(raw);
    return h;
}

void DeleteWindowDc(HDC hdc)
{
    Dc* dc = AsDc(hdc);
    if (!dc || dc->memory)
        return;
    Select(dc, dc->pen, nullptr);
    Select(dc, dc->brush, nullptr);
    Select(dc, dc->font, nullptr);
    Erase(hdc);
}
} // namespace qm::gdi

using namespace qm::gdi;

size_t qm::win::LiveGdiObjects()
{
    std::lock_guard lock(g_lock);
    size_t n = 0;
    for (const auto& [h, o] : Table())
        if (!o->stock)
            ++n;
    return n;
}

size_t qm::win::LiveSurfaces() { return g_surfaces.load(); }

QMAPI HGDIOBJ WINAPI GetStockObject(int i)
{
    if (i < 0 || i >= 20)
        return nullptr;
    return Stock().objects[i];
}

QMAPI HDC WINAPI CreateCompatibleDC(HDC hdc)
{
    if (hdc && !AsDc(hdc))
        return nullptr;
    auto dc = std::make_unique<Dc>();
    dc->memory = true;
    Dc* raw = dc.get();
    HDC h = static_cast<HDC>(Insert(std::move(dc)));
    InitDc(raw);
    Select(raw, raw->bitmapHandle, DefaultBitmap());
    raw->bitmap = As<Bitmap>(raw->bitmapHandle, Kind::Bitmap);
    return h;
}

QMAPI BOOL WINAPI DeleteDC(HDC hdc)
{
    Dc* dc = AsDc(hdc);
    if (!dc)
    {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!dc->memory)
        return FALSE; // window DCs go back with ReleaseDC/EndPaint
    Select(dc, dc->pen, nullptr);
    Select(dc, dc->brush, nullptr);
    Select(dc, dc->font, nullptr);
    Select(dc, dc->bitmapHandle, nullptr);
    Erase(hdc);
    return TRUE;
}

QMAPI HGDIOBJ WINAPI SelectObject(HDC hdc, HGDIOBJ h)
{
    Dc* dc = AsDc(hdc);
    Object* o = Lookup(h);
    if (!dc || !o)
    {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    HGDIOBJ old = nullptr;
    switch (o->kind)
    {
    case Kind::Pen:
        old = dc->pen;
        Select(dc, dc->pen, h);
        break;
    case Kind::Brush:
        old = dc->brush;
        Select(dc, dc->brush, h);
        break;
    case Kind::Font:
        old = dc->font;
        Select(dc, dc->font, h);
        break;
    case Kind::Bitmap:
        if (!dc->memory || (o->selectedInto > 0 && !o->stock && dc->bitmapHandle != h))
            return nullptr;
        old = dc->bitmapHandle;
        Select(dc, dc->bitmapHandle, h);
        dc->bitmap = static_cast<Bitmap*>(o);
        break;
    case Kind::Dc:
        return nullptr;
    }
    return old;
}

QMAPI BOOL WINAPI DeleteObject(HGDIOBJ h)
{
    Object* o = Lookup(h);
    if (!o || o->kind == Kind::Dc)
    {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (o->stock)
        return TRUE;
    if (o->selectedInto > 0)
        return FALSE;
    Erase(h);
    return TRUE;
}

QMAPI DWORD WINAPI GetObjectType(HGDIOBJ h)
{
    Object* o = Lookup(h);
    if (!o)
        return 0;
    switch (o->kind)
    {
    case Kind::Pen:
        return OBJ_PEN;
    case Kind::Brush:
        return OBJ_BRUSH;
    case Kind::Font:
        return OBJ_FONT;
    case Kind::Bitmap:
        return OBJ_BITMAP;
    case Kind::Dc:
        return static_cast<Dc*>(o)->memory ? OBJ_MEMDC : OBJ_DC;
    }
    return 0;
}

QMAPI HGDIOBJ WINAPI GetCurrentObject(HDC hdc, UINT type)
{
    Dc* dc = AsDc(hdc);
    if (!dc)
        return nullptr;
    switch (type)
    {
    case OBJ_PEN:
        return dc->pen;
    case OBJ_BRUSH:
        return dc->brush;
    case OBJ_FONT:
        return dc->font;
    case OBJ_BITMAP:
        return dc->bitmapHandle;
    }
    return nullptr;
}

QMAPI int WINAPI GetObjectW(HANDLE h, int c, LPVOID pv)
{
    Object* o = Lookup(h);
    if (!o)
        return 0;
    auto copy = [&](const void* data, int size) {
        if (!pv)
            return size;
        if (c < size)
            return 0;
        memcpy(pv, data, size);
        return size;
    };
    switch (o->kind)
    {
    case Kind::Font:
        return copy(&static_cast<Font*>(o)->logfont, sizeof(LOGFONTW));
    case Kind::Pen: {
        auto* p = static_cast<Pen*>(o);
        LOGPEN lp{static_cast<UINT>(p->style), {p->width, 0}, p->color};
        return copy(&lp, sizeof lp);
    }
    case Kind::Brush: {
        auto* b = static_cast<Brush*>(o);
        LOGBRUSH lb{static_cast<UINT>(b->null ? BS_NULL : BS_SOLID), b->color, 0};
        return copy(&lb, sizeof lb);
    }
    case Kind::Bitmap: {
        auto* b = static_cast<Bitmap*>(o);
        BITMAP bm{0, b->width, b->height, b->width * 4, 1, 32, nullptr};
        return copy(&bm, sizeof bm);
    }
    case Kind::Dc:
        return 0;
    }
    return 0;
}

QMAPI HPEN WINAPI CreatePen(int iStyle, int cWidth, COLORREF color)
{
    auto p = std::make_unique<Pen>();
    p->style = iStyle;
    p->width = cWidth < 1 ? 1 : cWidth;
    p->color = color;
    return static_cast<HPEN>(Insert(std::move(p)));
}

QMAPI HBRUSH WINAPI CreateSolidBrush(COLORREF color)
{
    auto b = std::make_unique<Brush>();
    b->color = color;
    return static_cast<HBRUSH>(Insert(std::move(b)));
}

QMAPI HBITMAP WINAPI CreateCompatibleBitmap(HDC hdc, int cx, int cy)
{
    if (!AsDc(hdc) || cx < 0 || cy < 0)
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (cx == 0 || cy == 0)
        return static_cast<HBITMAP>(DefaultBitmap());
    auto b = std::make_unique<Bitmap>();
    b->width = cx;
    b->height = cy;
    b->surface = NewSurface(cx, cy);
    if (cairo_surface_status(b->surface) != CAIRO_STATUS_SUCCESS)
    {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    return static_cast<HBITMAP>(Insert(std::move(b)));
}

QMAPI int WINAPI SaveDC(HDC hdc)
{
    Dc* dc = AsDc(hdc);
    if (!dc)
        return 0;
    dc->saved.push_back({dc->pen, dc->brush, dc->font, dc->bitmapHandle, dc->textColor, dc->bkColor, dc->bkMode, dc->clip});
    for (HGDIOBJ h : {dc->pen, dc->brush, dc->font, dc->bitmapHandle})
        if (Object* o = Lookup(h))
            ++o->selectedInto;
    return static_cast<int>(dc->saved.size());
}

QMAPI BOOL WINAPI RestoreDC(HDC hdc, int nSavedDC)
{
    Dc* dc = AsDc(hdc);
    if (!dc || dc->saved.empty())
        return FALSE;
    int level = nSavedDC < 0 ? static_cast<int>(dc->saved.size()) + nSavedDC + 1 : nSavedDC;
    if (level < 1 || level > static_cast<int>(dc->saved.size()))
        return FALSE;
    while (static_cast<int>(dc->saved.size()) >= level)
    {
        Dc::Saved s = dc->saved.back();
        dc->saved.pop_back();
        for (HGDIOBJ h : {s.pen, s.brush, s.font, s.bitmap})
            if (Object* o = Lookup(h))
                --o->selectedInto;
        if (static_cast<int>(dc->saved.size()) + 1 == level)
        {
            Select(dc, dc->pen, s.pen);
            Select(dc, dc->brush, s.brush);
            Select(dc, dc->font, s.font);
            if (dc->memory)
            {
                Select(dc, dc->bitmapHandle, s.bitmap);
                dc->bitmap = As<Bitmap>(s.bitmap, Kind::Bitmap);
            }
            dc->textColor = s.textColor;
            dc->bkColor = s.bkColor;
            dc->bkMode = s.bkMode;
            dc->clip = s.clip;
        }
    }
    return TRUE;
}

QMAPI int WINAPI GetDeviceCaps(HDC hdc, int index)
{
    switch (index)
    {
    case LOGPIXELSX:
    case LOGPIXELSY:
        return 96;
    case BITSPIXEL:
        return 32;
    case HORZRES:
        return GetSystemMetrics(SM_CXSCREEN);
    case VERTRES:
        return GetSystemMetrics(SM_CYSCREEN);
    }
    return 0;
}
