// gdi32: device contexts, bitmaps, pens, brushes, fonts and drawing. Drawing is done with
// cairo, text with pango; GDI objects are handles into the stand-in's object table.
#pragma once

#include "windef.h"

QM_DECLARE_HANDLE(HDC);
typedef void* HGDIOBJ;
QM_DECLARE_HANDLE(HBITMAP);
QM_DECLARE_HANDLE(HBRUSH);
QM_DECLARE_HANDLE(HPEN);
QM_DECLARE_HANDLE(HFONT);
QM_DECLARE_HANDLE(HRGN);
QM_DECLARE_HANDLE(HPALETTE);

typedef DWORD COLORREF;
typedef DWORD* LPCOLORREF;
#define RGB(r, g, b) ((COLORREF)(((BYTE)(r) | ((WORD)((BYTE)(g)) << 8)) | (((DWORD)(BYTE)(b)) << 16)))
#define GetRValue(rgb) (LOBYTE(rgb))
#define GetGValue(rgb) (LOBYTE(((WORD)(rgb)) >> 8))
#define GetBValue(rgb) (LOBYTE((rgb) >> 16))
#define CLR_INVALID 0xFFFFFFFF

// ---- Device contexts -----------------------------------------------------------------
// A memory DC starts with a 1 x 1 monochrome bitmap selected, as on Windows.
QMAPI HDC WINAPI CreateCompatibleDC(HDC hdc);
QMAPI BOOL WINAPI DeleteDC(HDC hdc);
QMAPI int WINAPI SaveDC(HDC hdc);
QMAPI BOOL WINAPI RestoreDC(HDC hdc, int nSavedDC);

#define HORZRES 8
#define VERTRES 10
#define BITSPIXEL 12
#define LOGPIXELSX 88
#define LOGPIXELSY 90
// 96 dots per inch, 32 bits per pixel; HORZRES/VERTRES are the screen size.
QMAPI int WINAPI GetDeviceCaps(HDC hdc, int index);

// ---- Objects ---------------------------------------------------------------------------
#define OBJ_PEN 1
#define OBJ_BRUSH 2
#define OBJ_DC 3
#define OBJ_FONT 6
#define OBJ_BITMAP 7
#define OBJ_MEMDC 10

#define WHITE_BRUSH 0
#define LTGRAY_BRUSH 1
#define GRAY_BRUSH 2
#define DKGRAY_BRUSH 3
#define BLACK_BRUSH 4
#define NULL_BRUSH 5
#define HOLLOW_BRUSH NULL_BRUSH
#define WHITE_PEN 6
#define BLACK_PEN 7
#define NULL_PEN 8
#define SYSTEM_FONT 13
#define DEFAULT_GUI_FONT 17
#define DC_BRUSH 18
#define DC_PEN 19

// Stock objects are never deleted (DeleteObject answers TRUE and does nothing).
QMAPI HGDIOBJ WINAPI GetStockObject(int i);
// Returns the previous object of that kind; a bitmap already selected into another DC
// is refused (NULL).
QMAPI HGDIOBJ WINAPI SelectObject(HDC hdc, HGDIOBJ h);
// FALSE for an object still selected into a DC (it stays valid, as on Windows).
QMAPI BOOL WINAPI DeleteObject(HGDIOBJ ho);
QMAPI int WINAPI GetObjectW(HANDLE h, int c, LPVOID pv);
QMAPI DWORD WINAPI GetObjectType(HGDIOBJ h);
QMAPI HGDIOBJ WINAPI GetCurrentObject(HDC hdc, UINT type);
#define GetObject GetObjectW

// ---- Bitmaps ---------------------------------------------------------------------------
typedef struct tagBITMAP
{
    LONG bmType;
    LONG bmWidth;
    LONG bmHeight;
    LONG bmWidthBytes;
    WORD bmPlanes;
    WORD bmBitsPixel;
    LPVOID bmBits;
} BITMAP, *PBITMAP, *LPBITMAP;

QMAPI HBITMAP WINAPI CreateCompatibleBitmap(HDC hdc, int cx, int cy);

#define SRCCOPY 0x00CC0020
#define BLACKNESS 0x00000042
#define WHITENESS 0x00FF0062
QMAPI BOOL WINAPI BitBlt(HDC hdc, int x, int y, int cx, int cy, HDC hdcSrc, int x1, int y1, DWORD rop);
QMAPI COLORREF WINAPI GetPixel(HDC hdc, int x, int y);
QMAPI COLORREF WINAPI SetPixel(HDC hdc, int x, int y, COLORREF color);

// ---- Pens and brushes ------------------------------------------------------------------
#define PS_SOLID 0
#define PS_DASH 1
#define PS_DOT 2
#define PS_NULL 5
typedef struct tagLOGPEN
{
    UINT lopnStyle;
    POINT lopnWidth;
    COLORREF lopnColor;
} LOGPEN, *PLOGPEN, *LPLOGPEN;
QMAPI HPEN WINAPI CreatePen(int iStyle, int cWidth, COLORREF color);

#define BS_SOLID 0
#define BS_NULL 1
#define BS_HOLLOW BS_NULL
typedef struct tagLOGBRUSH
{
    UINT lbStyle;
    COLORREF lbColor;
    ULONG_PTR lbHatch;
} LOGBRUSH, *PLOGBRUSH, *LPLOGBRUSH;
QMAPI HBRUSH WINAPI CreateSolidBrush(COLORREF color);

// ---- Shapes ----------------------------------------------------------------------------
// Outlined with the selected pen, filled with the selected brush; right and bottom are
// excluded, as on Windows.
QMAPI BOOL WINAPI Rectangle(HDC hdc, int left, int top, int right, int bottom);
QMAPI BOOL WINAPI RoundRect(HDC hdc, int left, int top, int right, int bottom, int width, int height);
QMAPI BOOL WINAPI MoveToEx(HDC hdc, int x, int y, LPPOINT lppt);
QMAPI BOOL WINAPI LineTo(HDC hdc, int x, int y);

typedef USHORT COLOR16;
typedef struct _TRIVERTEX
{
    LONG x;
    LONG y;
    COLOR16 Red;
    COLOR16 Green;
    COLOR16 Blue;
    COLOR16 Alpha;
} TRIVERTEX, *PTRIVERTEX, *LPTRIVERTEX;
typedef struct _GRADIENT_RECT
{
    ULONG UpperLeft;
    ULONG LowerRight;
} GRADIENT_RECT, *PGRADIENT_RECT, *LPGRADIENT_RECT;
typedef struct _GRADIENT_TRIANGLE
{
    ULONG Vertex1;
    ULONG Vertex2;
    ULONG Vertex3;
} GRADIENT_TRIANGLE, *PGRADIENT_TRIANGLE;
#define GRADIENT_FILL_RECT_H 0x00000000
#define GRADIENT_FILL_RECT_V 0x00000001
#define GRADIENT_FILL_TRIANGLE 0x00000002
// Rectangles only (triangles fail with ERROR_INVALID_PARAMETER). Channels are 16-bit; the
// high byte is the colour drawn.
QMAPI BOOL WINAPI GradientFill(HDC hdc, PTRIVERTEX pVertex, ULONG nVertex, PVOID pMesh, ULONG nMesh, ULONG ulMode);

// ---- Text ------------------------------------------------------------------------------
#define LF_FACESIZE 32
#define FW_DONTCARE 0
#define FW_NORMAL 400
#define FW_BOLD 700
#define DEFAULT_CHARSET 1
#define ANSI_CHARSET 0
#define GB2312_CHARSET 134
#define OUT_DEFAULT_PRECIS 0
#define CLIP_DEFAULT_PRECIS 0
#define DEFAULT_QUALITY 0
#define CLEARTYPE_QUALITY 5
#define DEFAULT_PITCH 0
#define FF_DONTCARE 0

typedef struct tagLOGFONTW
{
    LONG lfHeight;
    LONG lfWidth;
    LONG lfEscapement;
    LONG lfOrientation;
    LONG lfWeight;
    BYTE lfItalic;
    BYTE lfUnderline;
    BYTE lfStrikeOut;
    BYTE lfCharSet;
    BYTE lfOutPrecision;
    BYTE lfClipPrecision;
    BYTE lfQuality;
    BYTE lfPitchAndFamily;
    WCHAR lfFaceName[LF_FACESIZE];
} LOGFONTW, *PLOGFONTW, *LPLOGFONTW;
typedef LOGFONTW LOGFONT;

// lfHeight < 0: character height in pixels; > 0: cell height; 0: the default (-12).
// lfWidth > 0 stretches the glyphs so that their average width is lfWidth pixels.
// Faces the machine lacks are replaced by an installed stand-in (qm/windowing.h).
QMAPI HFONT WINAPI CreateFontIndirectW(const LOGFONTW* lplf);
QMAPI HFONT WINAPI CreateFontW(int cHeight, int cWidth, int cEscapement, int cOrientation, int cWeight,
                               DWORD bItalic, DWORD bUnderline, DWORD bStrikeOut, DWORD iCharSet,
                               DWORD iOutPrecision, DWORD iClipPrecision, DWORD iQuality, DWORD iPitchAndFamily,
                               LPCWSTR pszFaceName);
#define CreateFontIndirect CreateFontIndirectW
#define CreateFont CreateFontW

typedef struct tagTEXTMETRICW
{
    LONG tmHeight;
    LONG tmAscent;
    LONG tmDescent;
    LONG tmInternalLeading;
    LONG tmExternalLeading;
    LONG tmAveCharWidth;
    LONG tmMaxCharWidth;
    LONG tmWeight;
    LONG tmOverhang;
    LONG tmDigitizedAspectX;
    LONG tmDigitizedAspectY;
    WCHAR tmFirstChar;
    WCHAR tmLastChar;
    WCHAR tmDefaultChar;
    WCHAR tmBreakChar;
    BYTE tmItalic;
    BYTE tmUnderlined;
    BYTE tmStruckOut;
    BYTE tmPitchAndFamily;
    BYTE tmCharSet;
} TEXTMETRICW, *PTEXTMETRICW, *LPTEXTMETRICW;
typedef TEXTMETRICW TEXTMETRIC;
QMAPI BOOL WINAPI GetTextMetricsW(HDC hdc, LPTEXTMETRICW lptm);
QMAPI BOOL WINAPI GetTextExtentPoint32W(HDC hdc, LPCWSTR lpString, int c, LPSIZE psizl);
QMAPI BOOL WINAPI TextOutW(HDC hdc, int x, int y, LPCWSTR lpString, int c);
#define GetTextMetrics GetTextMetricsW
#define GetTextExtentPoint32 GetTextExtentPoint32W
#define TextOut TextOutW

#define TRANSPARENT 1
#define OPAQUE 2
QMAPI COLORREF WINAPI SetTextColor(HDC hdc, COLORREF color);
QMAPI COLORREF WINAPI GetTextColor(HDC hdc);
QMAPI COLORREF WINAPI SetBkColor(HDC hdc, COLORREF color);
QMAPI COLORREF WINAPI GetBkColor(HDC hdc);
QMAPI int WINAPI SetBkMode(HDC hdc, int mode);
QMAPI int WINAPI GetBkMode(HDC hdc);

// ---- Clipping --------------------------------------------------------------------------
#define ERROR 0
#define NULLREGION 1
#define SIMPLEREGION 2
#define COMPLEXREGION 3
QMAPI int WINAPI IntersectClipRect(HDC hdc, int left, int top, int right, int bottom);
QMAPI int WINAPI GetClipBox(HDC hdc, LPRECT lprect);
