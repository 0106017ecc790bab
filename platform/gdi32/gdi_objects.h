// The GDI object table: pens, brushes, fonts, bitmaps and device contexts behind handles.
// Drawing targets are cairo image surfaces (RGB24, as GDI bitmaps have no alpha).
#pragma once

#include <cairo.h>
#include <pango/pangocairo.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "wingdi.h"

namespace qm::gdi
{
enum class Kind
{
    Pen,
    Brush,
    Font,
    Bitmap,
    Dc,
};

struct Object
{
    explicit Object(Kind k) : kind(k) {}
    virtual ~Object() = default;
    Kind kind;
    bool stock = false;
    int selectedInto = 0; // DCs that have it selected
};

struct Pen : Object
{
    Pen() : Object(Kind::Pen) {}
    int style = PS_SOLID;
    int width = 1;
    COLORREF color = 0;
};

struct Brush : Object
{
    Brush() : Object(Kind::Brush) {}
    bool null = false;
    COLORREF color = 0;
};

// A font resolved to a pango description: size in pixels and a horizontal stretch that
// gives the requested average character width.
struct Font : Object
{
    Font() : Object(Kind::Font) {}
    ~Font() override;
    LOGFONTW logfont{};
    PangoFontDescription* description = nullptr;
    double emPixels = 12;
    double stretchX = 1.0;
    int ascent = 0;
    int descent = 0;
    int averageWidth = 0; // after stretching
};

struct Bitmap : Object
{
    Bitmap() : Object(Kind::Bitmap) {}
    ~Bitmap() override;
    cairo_surface_t* surface = nullptr;
    int width = 0;
    int height = 0;
};

// Where a window DC draws: the top-level window's surface, the window's client origin in
// it, and the visible part (client area less children) as rectangles in surface coordinates.
struct WindowTarget
{
    cairo_surface_t* surface = nullptr;
    POINT origin{};
    RECT bounds{};               // what may be drawn, surface coordinates
    std::vector<RECT> excluded;  // children, surface coordinates
};

struct Dc : Object
{
    Dc() : Object(Kind::Dc) {}
    ~Dc() override;
    bool memory = false;
    HWND window = nullptr;
    WindowTarget target;
    Bitmap* bitmap = nullptr; // memory DCs
    HGDIOBJ pen = nullptr;
    HGDIOBJ brush = nullptr;
    HGDIOBJ font = nullptr;
    HGDIOBJ bitmapHandle = nullptr;
    COLORREF textColor = 0;
    COLORREF bkColor = 0xFFFFFF;
    int bkMode = OPAQUE;
    POINT position{};
    std::optional<RECT> clip; // logical coordinates
    struct Saved
    {
        HGDIOBJ pen, brush, font, bitmap;
        COLORREF textColor, bkColor;
        int bkMode;
        std::optional<RECT> clip;
    };
    std::vector<Saved> saved;
};

// Handle validation and lookup; null for anything else (including deleted objects).
Object* Lookup(HGDIOBJ h);
template <class T> T* As(HGDIOBJ h, Kind k)
{
    Object* o = Lookup(h);
    return o && o->kind == k ? static_cast<T*>(o) : nullptr;
}
inline Dc* AsDc(HDC h) { return As<Dc>(h, Kind::Dc); }
HGDIOBJ Insert(std::unique_ptr<Object> object);
void Erase(HGDIOBJ h);
// Objects that live as long as the process (system colour brushes).
void MarkStock(HGDIOBJ h);

// A DC drawing on a window surface (user32's GetDC/BeginPaint).
HDC CreateWindowDc(HWND hwnd, const WindowTarget& target);
void DeleteWindowDc(HDC hdc);

// A cairo context on the DC's surface, translated to its logical origin and clipped;
// null when the DC has nothing to draw on. Destroy with cairo_destroy.
cairo_t* BeginDrawing(Dc* dc);

// Surface accounting for leak checks.
cairo_surface_t* NewSurface(int width, int height);
void ReleaseSurface(cairo_surface_t* surface);

// Text: the DC's font (DEFAULT_GUI_FONT's when none is usable).
Font* CurrentFont(Dc* dc);
Font* DefaultGuiFont();
// Width and height of a single line of text in pixels.
SIZE MeasureLine(Font* font, const std::u16string& text);
void DrawLine(cairo_t* cr, Font* font, const std::u16string& text, double x, double y, COLORREF color);

inline void SetSourceColor(cairo_t* cr, COLORREF c)
{
    cairo_set_source_rgb(cr, GetRValue(c) / 255.0, GetGValue(c) / 255.0, GetBValue(c) / 255.0);
}
} // namespace qm::gdi
