#include "dialog_builder.h"

namespace qm::cryptui
{
CDialogBuilder::CDialogBuilder(DWORD style, short cx, short cy, const std::u16string& title, WORD pointSize,
                               const std::u16string& face)
{
    PutDword(style | DS_SETFONT);
    PutDword(0);
    Put(0); // control count, counted below
    Put(0);
    Put(0);
    Put(static_cast<WORD>(cx));
    Put(static_cast<WORD>(cy));
    Put(0); // no menu
    Put(0); // the dialog class
    PutText(title);
    Put(pointSize);
    PutText(face);
}

void CDialogBuilder::PutText(const std::u16string& s)
{
    for (char16_t c : s)
        Put(c);
    Put(0);
}

void CDialogBuilder::AddControl(WORD classOrdinal, WORD id, DWORD style, short x, short y, short cx, short cy,
                                const std::u16string& text)
{
    if (m_words.size() % 2)
        Put(0); // DWORD alignment
    PutDword(style | WS_CHILD | WS_VISIBLE);
    PutDword(0);
    Put(static_cast<WORD>(x));
    Put(static_cast<WORD>(y));
    Put(static_cast<WORD>(cx));
    Put(static_cast<WORD>(cy));
    Put(id);
    Put(0xFFFF);
    Put(classOrdinal);
    PutText(text);
    Put(0); // no creation data
    ++m_words[4];
}
} // namespace qm::cryptui
