// Fonts on pango: Windows faces resolved to installed stand-ins, sizes in pixels, the
// average-width stretch, metrics, extents and plain text output.
#include <algorithm>
#include <cmath>
#include <map>
#include <mutex>

#include "gdi_objects.h"
#include "qm/utf.h"
#include "qm/windowing.h"
#include "winbase.h"

namespace qm::gdi
{
namespace
{
std::recursive_mutex g_textLock;

std::string ToUtf8(const std::u16string& s)
{
    return utf::Utf16ToUtf8(s);
}

std::u16string Lower(std::u16string s)
{
    for (auto& c : s)
        if (c >= u'A' && c <= u'Z')
            c = static_cast<char16_t>(c - u'A' + u'a');
    return s;
}

PangoContext* Context()
{
    static PangoContext* context = [] {
        PangoContext* c = pango_font_map_create_context(pango_cairo_font_map_get_default());
        cairo_font_options_t* options = cairo_font_options_create();
        cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
        cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
        cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
        pango_cairo_context_set_font_options(c, options);
        cairo_font_options_destroy(options);
        return c;
    }();
    return context;
}

struct Metrics
{
    double ascent, descent, averageWidth; // pixels
};

Metrics MetricsOf(PangoFontDescription* d)
{
    PangoFontMetrics* m = pango_context_get_metrics(Context(), d, pango_language_from_string("en"));
    Metrics out{pango_font_metrics_get_ascent(m) / double(PANGO_SCALE),
                pango_font_metrics_get_descent(m) / double(PANGO_SCALE),
                pango_font_metrics_get_approximate_char_width(m) / double(PANGO_SCALE)};
    pango_font_metrics_unref(m);
    return out;
}

PangoLayout* Layout(Font* font, const std::u16string& text)
{
    PangoLayout* layout = pango_layout_new(Context());
    pango_layout_set_font_description(layout, font->description);
    std::string utf8 = ToUtf8(text);
    pango_layout_set_text(layout, utf8.data(), static_cast<int>(utf8.size()));
    return layout;
}

void Resolve(Font* f)
{
    std::u16string face;
    for (WCHAR c : f->logfont.lfFaceName)
    {
        if (!c)
            break;
        face += c;
    }
    if (face.empty())
        face = u"MS Shell Dlg";
    f->description = pango_font_description_new();
    pango_font_description_set_family(f->description, qm::win::FontStandIn(face).c_str());
    pango_font_description_set_weight(f->description,
                                      static_cast<PangoWeight>(f->logfont.lfWeight ? std::clamp<int>(f->logfont.lfWeight, 100, 900) : 400));
    if (f->logfont.lfItalic)
        pango_font_description_set_style(f->description, PANGO_STYLE_ITALIC);
    LONG h = f->logfont.lfHeight;
    if (h == 0)
        h = -12;
    if (h < 0)
        f->emPixels = -h;
    else
    {
        pango_font_description_set_absolute_size(f->description, 100 * PANGO_SCALE);
        Metrics probe = MetricsOf(f->description);
        f->emPixels = h * 100.0 / std::max(probe.ascent + probe.descent, 1.0);
    }
    pango_font_description_set_absolute_size(f->description, f->emPixels * PANGO_SCALE);
    Metrics m = MetricsOf(f->description);
    f->ascent = static_cast<int>(std::lround(m.ascent));
    f->descent = static_cast<int>(std::lround(m.descent));
    if (f->logfont.lfWidth > 0 && m.averageWidth > 0)
        f->stretchX = f->logfont.lfWidth / m.averageWidth;
    f->averageWidth = static_cast<int>(std::lround(m.averageWidth * f->stretchX));
}
} // namespace

Font* DefaultGuiFont() { return As<Font>(GetStockObject(DEFAULT_GUI_FONT), Kind::Font); }

Font* CurrentFont(Dc* dc)
{
    Font* f = As<Font>(dc->font, Kind::Font);
    return f ? f : DefaultGuiFont();
}

SIZE MeasureLine(Font* font, const std::u16string& text)
{
    std::lock_guard lock(g_textLock);
    if (text.empty())
        return {0, font->ascent + font->descent};
    PangoLayout* layout = Layout(font, text);
    PangoRectangle logical;
    pango_layout_get_extents(layout, nullptr, &logical);
    g_object_unref(layout);
    double width = logical.width / double(PANGO_SCALE) * font->stretchX;
    return {static_cast<LONG>(std::lround(width)), font->ascent + font->descent};
}

void DrawLine(cairo_t* cr, Font* font, const std::u16string& text, double x, double y, COLORREF color)
{
    if (text.empty())
        return;
    std::lock_guard lock(g_textLock);
    PangoLayout* layout = Layout(font, text);
    double baseline = pango_layout_get_baseline(layout) / double(PANGO_SCALE);
    cairo_save(cr);
    cairo_translate(cr, x, y + font->ascent - baseline);
    cairo_scale(cr, font->stretchX, 1.0);
    SetSourceColor(cr, color);
    cairo_move_to(cr, 0, 0);
    pango_cairo_show_layout(cr, layout);
    cairo_restore(cr);
    g_object_unref(layout);
}
} // namespace qm::gdi

using namespace qm::gdi;

std::string qm::win::FontStandIn(const std::u16string& face)
{
    static const std::map<std::u16string, std::string> standIns = {
        {u"arial", "Liberation Sans"},
        {u"ms shell dlg", "Liberation Sans"},
        {u"ms shell dlg 2", "Liberation Sans"},
        {u"ms sans serif", "Liberation Sans"},
        {u"microsoft sans serif", "Liberation Sans"},
        {u"tahoma", "Liberation Sans"},
        {u"segoe ui", "Liberation Sans"},
        {u"system", "Liberation Sans"},
        {u"times new roman", "Liberation Serif"},
        {u"courier new", "Liberation Mono"},
        {u"microsoft yahei", "WenQuanYi Micro Hei"},
        {u"\u5fae\u8f6f\u96c5\u9ed1", "WenQuanYi Micro Hei"},
        {u"simsun", "WenQuanYi Micro Hei"},
        {u"\u5b8b\u4f53", "WenQuanYi Micro Hei"},
        {u"simhei", "WenQuanYi Micro Hei"},
    };
    auto it = standIns.find(Lower(face));
    return it != standIns.end() ? it->second : ToUtf8(face);
}

QMAPI HFONT WINAPI CreateFontIndirectW(const LOGFONTW* lplf)
{
    if (!lplf)
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto f = std::make_unique<Font>();
    f->logfont = *lplf;
    f->logfont.lfFaceName[LF_FACESIZE - 1] = 0;
    {
        std::lock_guard lock(g_textLock);
        Resolve(f.get());
    }
    return static_cast<HFONT>(Insert(std::move(f)));
}

QMAPI HFONT WINAPI CreateFontW(int cHeight, int cWidth, int cEscapement, int cOrientation, int cWeight, DWORD bItalic,
                               DWORD bUnderline, DWORD bStrikeOut, DWORD iCharSet, DWORD iOutPrecision,
                               DWORD iClipPrecision, DWORD iQuality, DWORD iPitchAndFamily, LPCWSTR pszFaceName)
{
    LOGFONTW lf{};
    lf.lfHeight = cHeight;
    lf.lfWidth = cWidth;
    lf.lfEscapement = cEscapement;
    lf.lfOrientation = cOrientation;
    lf.lfWeight = cWeight;
    lf.lfItalic = static_cast<BYTE>(bItalic);
    lf.lfUnderline = static_cast<BYTE>(bUnderline);
    lf.lfStrikeOut = static_cast<BYTE>(bStrikeOut);
    lf.lfCharSet = static_cast<BYTE>(iCharSet);
    lf.lfOutPrecision = static_cast<BYTE>(iOutPrecision);
    lf.lfClipPrecision = static_cast<BYTE>(iClipPrecision);
    lf.lfQuality = static_cast<BYTE>(iQuality);
    lf.lfPitchAndFamily = static_cast<BYTE>(iPitchAndFamily);
    for (int i = 0; pszFaceName && pszFaceName[i] && i < LF_FACESIZE - 1; ++i)
        lf.lfFaceName[i] = pszFaceName[i];
    return CreateFontIndirectW(&lf);
}

QMAPI BOOL WINAPI GetTextMetricsW(HDC hdc, LPTEXTMETRICW lptm)
{
    Dc* dc = AsDc(hdc);
    if (!dc || !lptm)
        return FALSE;
    Font* f = CurrentFont(dc);
    *lptm = {};
    lptm->tmAscent = f->ascent;
    lptm->tmDescent = f->descent;
    lptm->tmHeight = f->ascent + f->descent;
    lptm->tmInternalLeading = std::max<LONG>(0, lptm->tmHeight - static_cast<LONG>(std::lround(f->emPixels)));
    lptm->tmAveCharWidth = f->averageWidth;
    lptm->tmMaxCharWidth = f->averageWidth * 2;
    lptm->tmWeight = f->logfont.lfWeight ? f->logfont.lfWeight : FW_NORMAL;
    lptm->tmDigitizedAspectX = 96;
    lptm->tmDigitizedAspectY = 96;
    lptm->tmFirstChar = 0x20;
    lptm->tmLastChar = 0xFFFC;
    lptm->tmDefaultChar = 0x1F;
    lptm->tmBreakChar = 0x20;
    lptm->tmItalic = f->logfont.lfItalic;
    lptm->tmCharSet = f->logfont.lfCharSet;
    return TRUE;
}

QMAPI BOOL WINAPI GetTextExtentPoint32W(HDC hdc, LPCWSTR lpString, int c, LPSIZE psizl)
{
    Dc* dc = AsDc(hdc);
    if (!dc || !psizl || c < 0 || (c > 0 && !lpString))
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *psizl = MeasureLine(CurrentFont(dc), std::u16string(lpString ? lpString : u"", c));
    return TRUE;
}

QMAPI BOOL WINAPI TextOutW(HDC hdc, int x, int y, LPCWSTR lpString, int c)
{
    Dc* dc = AsDc(hdc);
    if (!dc || c < 0 || (c > 0 && !lpString))
        return FALSE;
    std::u16string text(lpString ? lpString : u"", c);
    Font* font = CurrentFont(dc);
    cairo_t* cr = BeginDrawing(dc);
    if (!cr)
        return FALSE;
    if (dc->bkMode == OPAQUE)
    {
        SIZE s = MeasureLine(font, text);
        SetSourceColor(cr, dc->bkColor);
        cairo_rectangle(cr, x, y, s.cx, s.cy);
        cairo_fill(cr);
    }
    DrawLine(cr, font, text, x, y, dc->textColor);
    cairo_destroy(cr);
    return TRUE;
}
