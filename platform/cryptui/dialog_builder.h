// Builds an in-memory DLGTEMPLATE, for dialogs that have no resource.
#pragma once

#include <string>
#include <vector>

#include "winuser.h"

namespace qm::cryptui
{
class CDialogBuilder
{
public:
    CDialogBuilder(DWORD style, short cx, short cy, const std::u16string& title, WORD pointSize,
                   const std::u16string& face);
    void AddControl(WORD classOrdinal, WORD id, DWORD style, short x, short y, short cx, short cy,
                    const std::u16string& text);
    LPCDLGTEMPLATEW Template() const { return reinterpret_cast<LPCDLGTEMPLATEW>(m_words.data()); }

private:
    void Put(WORD w) { m_words.push_back(w); }
    void PutDword(DWORD d)
    {
        Put(static_cast<WORD>(d));
        Put(static_cast<WORD>(d >> 16));
    }
    void PutText(const std::u16string& s);
    std::vector<WORD> m_words;
};
} // namespace qm::cryptui
