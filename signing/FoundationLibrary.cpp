#include "FoundationLibrary.h"

#include <cstring>

#include "HResult.h"
#include "Trace.h"

#define SOURCE_UNIT u"FoundationLibrary"

HRESULT LoadImageFromResource(HMODULE hModule, UINT nResourceID, Gdiplus::Image** ppImage)
{
    static const WCHAR s_wszName[] = u"LoadImageFromResource";
    TraceHelper trace(s_wszName);
    HRSRC hResource = FindResourceW(hModule, MAKEINTRESOURCEW(nResourceID), u"PNG");
    if (hResource == nullptr)
    {
        HRESULT hResult = HResultFromLastErrorKeepCustomer();
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"FindResource", u"hResource == NULL", hResult);
        return hResult;
    }
    DWORD dwResSize = SizeofResource(hModule, hResource);
    if (dwResSize == 0)
    {
        HRESULT hResult = HResultFromLastErrorKeepCustomer();
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"SizeofResource", u"dwResSize == 0", hResult);
        return hResult;
    }
    HGLOBAL hResData = LoadResource(hModule, hResource);
    const void* lpResData = hResData ? LockResource(hResData) : nullptr;
    if (lpResData == nullptr)
    {
        HRESULT hResult = HResultFromLastErrorKeepCustomer();
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"LoadResource", u"lpResData == NULL", hResult);
        return hResult;
    }
    HRESULT hResult = _LoadImageFromData(dwResSize, static_cast<const BYTE*>(lpResData), ppImage);
    if (FAILED(hResult))
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"_LoadImageFromData", u"FAILED(hResult)", hResult);
    }
    return hResult;
}

HRESULT _LoadImageFromData(DWORD dwImageDataSize, const BYTE* pImageData, Gdiplus::Image** ppImage)
{
    static const WCHAR s_wszName[] = u"_LoadImageFromData";
    TraceHelper trace(s_wszName);
    if (pImageData == nullptr || dwImageDataSize == 0 || ppImage == nullptr)
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"Check parameter", u"pImageData == NULL || dwImageDataSize == 0",
                          E_INVALIDARG);
        return E_INVALIDARG;
    }
    *ppImage = nullptr;
    HGLOBAL hMemoryObject = GlobalAlloc(GMEM_FIXED, dwImageDataSize);
    if (hMemoryObject == nullptr)
    {
        HRESULT hResult = HResultFromLastErrorKeepCustomer();
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"GlobalAlloc", u"hMemoryObject == NULL", hResult);
        return hResult;
    }
    void* pMemoryBlock = GlobalLock(hMemoryObject);
    if (pMemoryBlock == nullptr)
    {
        HRESULT hResult = HResultFromLastErrorKeepCustomer();
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"GlobalLock", u"pMemoryBlock == NULL", hResult);
        GlobalFree(hMemoryObject);
        return hResult;
    }
    memcpy(pMemoryBlock, pImageData, dwImageDataSize);
    GlobalUnlock(hMemoryObject);

    // The stream owns the block and the image holds the stream, so all three go together.
    IStream* pStream = nullptr;
    HRESULT hResult = CreateStreamOnHGlobal(hMemoryObject, TRUE, &pStream);
    if (FAILED(hResult))
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"CreateStreamOnHGlobal", u"FAILED(hResult)", hResult);
        GlobalFree(hMemoryObject);
        return hResult;
    }
    *ppImage = Gdiplus::Image::FromStream(pStream);
    pStream->Release();
    if (*ppImage == nullptr)
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, s_wszName, u"FromStream", u"*ppImage == NULL", E_POINTER);
        return E_POINTER;
    }
    return S_OK;
}

void DrawTextWithFont(LPCWSTR lpwszFaceName, HDC hDC, LPCWSTR lpwszText, int x, int y, int nRightLimit, int nWidth,
                      int nHeight, COLORREF crColor)
{
    LOGFONTW lf = {};
    GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof(lf), &lf);
    lf.lfWidth = nWidth;
    lf.lfHeight = nHeight;
    lf.lfWeight = FW_NORMAL;
    if (lpwszFaceName)
    {
        wcsncpy_s(lf.lfFaceName, LF_FACESIZE, lpwszFaceName, _TRUNCATE);
    }
    HFONT hFont = CreateFontIndirectW(&lf);
    HGDIOBJ hOldFont = SelectObject(hDC, hFont);
    SetTextColor(hDC, crColor);
    SetBkMode(hDC, TRANSPARENT);

    RECT rc = {0, 0, 0, 0};
    DrawTextW(hDC, lpwszText, -1, &rc, DT_CALCRECT);
    OffsetRect(&rc, x, y);
    if (nRightLimit > 0 && rc.right >= nRightLimit)
    {
        rc.right = nRightLimit;
    }
    DrawTextW(hDC, lpwszText, -1, &rc, 0);

    SelectObject(hDC, hOldFont);
    DeleteObject(hFont);
}
