// PNG resources as GDI+ images, and one line of text in a chosen font.
#pragma once

#include <string> // before windows.h: the CRT's char16_t overloads must not join std::

#include <windows.h>
#include <gdiplus.h>

// The "PNG" resource nResourceID of hModule as a new image the caller deletes.
HRESULT LoadImageFromResource(HMODULE hModule, UINT nResourceID, Gdiplus::Image** ppImage);

// An image over a copy of the bytes; the copy lives as long as the image.
HRESULT _LoadImageFromData(DWORD dwImageDataSize, const BYTE* pImageData, Gdiplus::Image** ppImage);

// Draws lpwszText at (x, y) in the face (null: the GUI font's face) with the given average
// width and cell height; a positive nRightLimit cuts the text's rectangle there.
void DrawTextWithFont(LPCWSTR lpwszFaceName, HDC hDC, LPCWSTR lpwszText, int x, int y, int nRightLimit, int nWidth,
                      int nHeight, COLORREF crColor);
