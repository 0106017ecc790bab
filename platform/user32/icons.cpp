// Icons from RT_GROUP_ICON/RT_ICON resources: the image nearest the size asked for,
// decoded (PNG, or a bitmap of 32, 24, 8, 4 or 1 bits with its AND mask) into a cairo
// surface with alpha, and drawn with that alpha.
#include <cairo.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>
#include <set>
#include <tuple>
#include <vector>

#include "gdi_objects.h"
#include "libloaderapi.h"
#include "window_manager.h"
#include "winbase.h"

namespace qm::win
{
namespace
{
struct Icon
{
    cairo_surface_t* surface = nullptr; // ARGB32
    bool shared = false;
};

std::mutex g_lock;
std::set<Icon*> g_icons;
// Shared icons by module, name, cx, cy and LR_DEFAULTSIZE.
std::map<std::tuple<HINSTANCE, std::u16string, int, int, bool>, Icon*> g_shared;

Icon* Live(HICON h)
{
    std::lock_guard lock(g_lock);
    auto* icon = reinterpret_cast<Icon*>(h);
    return g_icons.count(icon) ? icon : nullptr;
}

uint32_t U32(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }
uint16_t U16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }

struct PngReader
{
    const uint8_t* data;
    size_t size, pos = 0;
};

cairo_surface_t* DecodePng(const uint8_t* data, size_t size)
{
    PngReader r{data, size};
    cairo_surface_t* s = cairo_image_surface_create_from_png_stream(
        [](void* closure, unsigned char* out, unsigned int length) {
            auto* rd = static_cast<PngReader*>(closure);
            if (length > rd->size - rd->pos)
                return CAIRO_STATUS_READ_ERROR;
            std::memcpy(out, rd->data + rd->pos, length);
            rd->pos += length;
            return CAIRO_STATUS_SUCCESS;
        },
        &r);
    if (cairo_surface_status(s) != CAIRO_STATUS_SUCCESS)
    {
        cairo_surface_destroy(s);
        return nullptr;
    }
    return s;
}

// A DIB icon image: the header, the palette, the colour bits bottom-up, then the AND mask.
cairo_surface_t* DecodeDib(const uint8_t* data, size_t size)
{
    if (size < 40 || U32(data) < 40 || U32(data) > size)
        return nullptr;
    int32_t width = int32_t(U32(data + 4)), height2 = int32_t(U32(data + 8));
    uint16_t bits = U16(data + 14);
    uint32_t compression = U32(data + 16), used = U32(data + 32);
    int height = height2 / 2;
    if (width <= 0 || width > 512 || height <= 0 || height > 512 || compression != 0)
        return nullptr;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32)
        return nullptr;
    size_t colours = bits <= 8 ? (used ? used : 1u << bits) : 0;
    if (colours > 256)
        return nullptr;
    size_t palette = U32(data), stride = ((size_t(width) * bits + 31) / 32) * 4;
    size_t maskStride = ((size_t(width) + 31) / 32) * 4;
    size_t pixels = palette + colours * 4;
    size_t mask = pixels + stride * size_t(height);
    if (mask + maskStride * size_t(height) > size)
        return nullptr;
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    uint8_t* out = cairo_image_surface_get_data(s);
    int outStride = cairo_image_surface_get_stride(s);
    bool anyAlpha = false;
    if (bits == 32)
        for (int y = 0; y < height && !anyAlpha; ++y)
            for (int x = 0; x < width && !anyAlpha; ++x)
                anyAlpha = data[pixels + size_t(y) * stride + size_t(x) * 4 + 3] != 0;
    for (int y = 0; y < height; ++y)
    {
        const uint8_t* row = data + pixels + size_t(height - 1 - y) * stride;
        const uint8_t* mrow = data + mask + size_t(height - 1 - y) * maskStride;
        auto* o = reinterpret_cast<uint32_t*>(out + size_t(y) * size_t(outStride));
        for (int x = 0; x < width; ++x)
        {
            uint8_t b, g, r, a = 255;
            if (bits >= 24)
            {
                const uint8_t* p = row + size_t(x) * (bits / 8);
                b = p[0], g = p[1], r = p[2];
                if (bits == 32 && anyAlpha)
                    a = p[3];
            }
            else
            {
                unsigned index = (row[size_t(x) * bits / 8] >> (8 - bits - (x * bits) % 8)) & ((1u << bits) - 1);
                if (index >= colours)
                    index = 0;
                const uint8_t* c = data + palette + index * 4;
                b = c[0], g = c[1], r = c[2];
            }
            if (!(bits == 32 && anyAlpha) && (mrow[x / 8] & (0x80 >> (x % 8))))
                a = 0;
            // premultiplied, as cairo keeps it
            o[x] = uint32_t(a) << 24 | uint32_t(r * a / 255) << 16 | uint32_t(g * a / 255) << 8 | uint32_t(b * a / 255);
        }
    }
    cairo_surface_mark_dirty(s);
    return s;
}

cairo_surface_t* Scaled(cairo_surface_t* s, int cx, int cy)
{
    int w = cairo_image_surface_get_width(s), h = cairo_image_surface_get_height(s);
    if (w == cx && h == cy)
        return s;
    cairo_surface_t* out = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, cx, cy);
    cairo_t* cr = cairo_create(out);
    cairo_scale(cr, double(cx) / w, double(cy) / h);
    cairo_set_source_surface(cr, s, 0, 0);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_BEST);
    cairo_paint(cr);
    cairo_destroy(cr);
    cairo_surface_destroy(s);
    return out;
}

std::u16string NameKey(LPCWSTR name)
{
    return IS_INTRESOURCE(name) ? u"#" + std::u16string(1, char16_t(reinterpret_cast<uintptr_t>(name))) : std::u16string(name);
}

Icon* Load(HINSTANCE module, LPCWSTR name, int cx, int cy, bool defaultSize)
{
    HRSRC group = FindResourceW(module, name, RT_GROUP_ICON);
    if (!group)
        return nullptr;
    DWORD size = SizeofResource(module, group);
    auto* dir = static_cast<const uint8_t*>(LockResource(LoadResource(module, group)));
    if (!dir || size < 6 || U16(dir + 2) != 1 || size < 6 + 14u * U16(dir + 4) || U16(dir + 4) == 0)
    {
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return nullptr;
    }
    int wantX = cx ? cx : defaultSize ? GetSystemMetrics(SM_CXICON) : 0;
    // Nearest in size, then the most colours.
    int best = -1;
    long bestScore = 0;
    for (int i = 0; i < U16(dir + 4); ++i)
    {
        const uint8_t* e = dir + 6 + 14 * i;
        int w = e[0] ? e[0] : 256;
        long score = (wantX ? -std::abs(w - wantX) * 1000L : w * 1000L) + U16(e + 6);
        if (best < 0 || score > bestScore)
            best = i, bestScore = score;
    }
    const uint8_t* e = dir + 6 + 14 * best;
    HRSRC image = FindResourceW(module, MAKEINTRESOURCEW(U16(e + 12)), RT_ICON);
    if (!image)
        return nullptr;
    DWORD imageSize = SizeofResource(module, image);
    auto* bytes = static_cast<const uint8_t*>(LockResource(LoadResource(module, image)));
    cairo_surface_t* s = nullptr;
    if (bytes && imageSize >= 8 && std::memcmp(bytes, "\x89PNG", 4) == 0)
        s = DecodePng(bytes, imageSize);
    else if (bytes)
        s = DecodeDib(bytes, imageSize);
    if (!s)
    {
        SetLastError(ERROR_INVALID_DATA);
        return nullptr;
    }
    if (wantX)
        s = Scaled(s, wantX, cy ? cy : defaultSize ? GetSystemMetrics(SM_CYICON) : wantX);
    auto* icon = new Icon{s};
    std::lock_guard lock(g_lock);
    g_icons.insert(icon);
    return icon;
}
} // namespace

cairo_surface_t* IconSurface(HICON h)
{
    Icon* icon = Live(h);
    return icon ? icon->surface : nullptr;
}
} // namespace qm::win

using namespace qm::win;

QMAPI HANDLE WINAPI LoadImageW(HINSTANCE hInst, LPCWSTR name, UINT type, int cx, int cy, UINT fuLoad)
{
    if (type != IMAGE_ICON || !name || cx < 0 || cy < 0)
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    bool defaultSize = fuLoad & LR_DEFAULTSIZE;
    if (fuLoad & LR_SHARED)
    {
        auto key = std::make_tuple(hInst, NameKey(name), cx, cy, defaultSize);
        {
            std::lock_guard lock(g_lock);
            if (auto it = g_shared.find(key); it != g_shared.end())
                return it->second;
        }
        Icon* icon = Load(hInst, name, cx, cy, defaultSize);
        if (!icon)
            return nullptr;
        std::lock_guard lock(g_lock);
        icon->shared = true;
        g_shared[key] = icon;
        return icon;
    }
    return Load(hInst, name, cx, cy, defaultSize);
}

QMAPI HICON WINAPI LoadIconW(HINSTANCE hInstance, LPCWSTR lpIconName)
{
    return static_cast<HICON>(LoadImageW(hInstance, lpIconName, IMAGE_ICON, 0, 0, LR_DEFAULTSIZE | LR_SHARED));
}

QMAPI HICON WINAPI LoadIconA(HINSTANCE hInstance, LPCSTR lpIconName)
{
    if (IS_INTRESOURCE(lpIconName))
        return LoadIconW(hInstance, reinterpret_cast<LPCWSTR>(lpIconName));
    std::u16string name;
    for (const char* p = lpIconName; *p; ++p)
        name += char16_t(static_cast<unsigned char>(*p)); // resource names are ASCII
    return LoadIconW(hInstance, name.c_str());
}

QMAPI BOOL WINAPI DestroyIcon(HICON hIcon)
{
    Icon* icon = Live(hIcon);
    if (!icon)
    {
        SetLastError(ERROR_INVALID_CURSOR_HANDLE);
        return FALSE;
    }
    if (icon->shared)
        return TRUE; // shared icons live as long as the process
    {
        std::lock_guard lock(g_lock);
        g_icons.erase(icon);
    }
    cairo_surface_destroy(icon->surface);
    delete icon;
    return TRUE;
}

QMAPI BOOL WINAPI DrawIconEx(HDC hdc, int xLeft, int yTop, HICON hIcon, int cxWidth, int cyWidth, UINT, HBRUSH,
                             UINT)
{
    cairo_surface_t* s = IconSurface(hIcon);
    qm::gdi::Dc* dc = qm::gdi::AsDc(hdc);
    if (!s || !dc)
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    cairo_t* cr = qm::gdi::BeginDrawing(dc);
    if (!cr)
        return FALSE;
    int w = cairo_image_surface_get_width(s), h = cairo_image_surface_get_height(s);
    int cx = cxWidth ? cxWidth : w, cy = cyWidth ? cyWidth : h;
    cairo_translate(cr, xLeft, yTop);
    cairo_scale(cr, double(cx) / w, double(cy) / h);
    cairo_set_source_surface(cr, s, 0, 0);
    cairo_paint(cr);
    cairo_destroy(cr);
    return TRUE;
}

QMAPI BOOL WINAPI DrawIcon(HDC hDC, int X, int Y, HICON hIcon) { return DrawIconEx(hDC, X, Y, hIcon, 0, 0, 0, nullptr, DI_NORMAL); }

QMAPI BOOL WINAPI IsIconic(HWND) { return FALSE; }

namespace qm::win
{
HICON CaptionIcon(const Window* w)
{
    if (!w || !HasCaption(w) || !(w->style & WS_SYSMENU) || (w->exStyle & WS_EX_DLGMODALFRAME))
        return nullptr;
    HICON icon = w->iconSmall ? w->iconSmall : w->iconBig;
    return IconSurface(icon) ? icon : nullptr;
}

RECT CaptionIconInWindow(const Window* w)
{
    RECT box = CloseBoxInWindow(w);
    int f = box.top - 2;
    int cap = GetSystemMetrics(SM_CYCAPTION), size = GetSystemMetrics(SM_CXSMICON);
    int top = f + (cap - size) / 2;
    return {f + 4, top, f + 4 + size, top + size};
}
} // namespace qm::win
