// DrawTextW (user32) on the GDI text routines: lines, word breaks, alignment, clipping and
// measuring with DT_CALCRECT.
#include <algorithm>

#include "gdi_objects.h"
#include "winuser.h"

using namespace qm::gdi;

namespace
{
std::u16string StripPrefixes(const std::u16string& s)
{
    std::u16string out;
    for (size_t i = 0; i < s.size(); ++i)
    {
        if (s[i] == u'&' && i + 1 < s.size())
            ++i;
        else if (s[i] == u'&')
            continue;
        out += s[i];
    }
    return out;
}

std::vector<std::u16string> Lines(const std::u16string& text, UINT format, Font* font, LONG width)
{
    std::vector<std::u16string> hard;
    if (format & DT_SINGLELINE)
    {
        std::u16string one;
        for (char16_t c : text)
            if (c != u'\r' && c != u'\n')
                one += c;
        hard.push_back(one);
    }
    else
    {
        std::u16string cur;
        for (size_t i = 0; i < text.size(); ++i)
        {
            if (text[i] == u'\r' || text[i] == u'\n')
            {
                if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
                    ++i;
                hard.push_back(cur);
                cur.clear();
            }
            else
                cur += text[i];
        }
        hard.push_back(cur);
    }
    if (!(format & DT_WORDBREAK) || (format & DT_SINGLELINE) || width <= 0)
        return hard;
    std::vector<std::u16string> out;
    for (const auto& line : hard)
    {
        std::u16string cur;
        size_t i = 0;
        while (i < line.size())
        {
            size_t end = line.find(u' ', i);
            std::u16string word = line.substr(i, end == std::u16string::npos ? std::u16string::npos : end - i);
            std::u16string candidate = cur.empty() ? word : cur + u" " + word;
            if (!cur.empty() && MeasureLine(font, candidate).cx > width)
            {
                out.push_back(cur);
                cur = word;
            }
            else
                cur = candidate;
            if (end == std::u16string::npos)
                break;
            i = end + 1;
        }
        out.push_back(cur);
    }
    return out;
}
} // namespace

QMAPI int WINAPI DrawTextW(HDC hdc, LPCWSTR lpchText, int cchText, LPRECT lprc, UINT format)
{
    Dc* dc = AsDc(hdc);
    if (!dc || !lprc || (!lpchText && cchText != 0))
        return 0;
    std::u16string text = cchText < 0 ? std::u16string(lpchText) : std::u16string(lpchText ? lpchText : u"", cchText);
    if (!(format & DT_NOPREFIX))
        text = StripPrefixes(text);
    Font* font = CurrentFont(dc);
    LONG lineHeight = font->ascent + font->descent;
    auto lines = Lines(text, format, font, lprc->right - lprc->left);
    std::vector<LONG> widths;
    LONG widest = 0;
    for (const auto& l : lines)
    {
        widths.push_back(MeasureLine(font, l).cx);
        widest = std::max(widest, widths.back());
    }
    LONG height = lineHeight * static_cast<LONG>(lines.size());
    if (format & DT_CALCRECT)
    {
        lprc->right = lprc->left + widest;
        lprc->bottom = lprc->top + height;
        return height;
    }
    cairo_t* cr = BeginDrawing(dc);
    if (!cr)
        return 0;
    if (!(format & DT_NOCLIP))
    {
        cairo_rectangle(cr, lprc->left, lprc->top, lprc->right - lprc->left, lprc->bottom - lprc->top);
        cairo_clip(cr);
    }
    LONG y = lprc->top;
    if (format & DT_SINGLELINE)
    {
        if (format & DT_VCENTER)
            y = lprc->top + (lprc->bottom - lprc->top - lineHeight) / 2;
        else if (format & DT_BOTTOM)
            y = lprc->bottom - lineHeight;
    }
    LONG top = y;
    for (size_t i = 0; i < lines.size(); ++i, y += lineHeight)
    {
        LONG x = lprc->left;
        if (format & DT_CENTER)
            x = lprc->left + (lprc->right - lprc->left - widths[i]) / 2;
        else if (format & DT_RIGHT)
            x = lprc->right - widths[i];
        if (dc->bkMode == OPAQUE)
        {
            SetSourceColor(cr, dc->bkColor);
            cairo_rectangle(cr, x, y, widths[i], lineHeight);
            cairo_fill(cr);
        }
        DrawLine(cr, font, lines[i], x, y, dc->textColor);
    }
    cairo_destroy(cr);
    return (y - top) + (top - lprc->top);
}
