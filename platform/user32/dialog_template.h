// RT_DIALOG templates, classic (DLGTEMPLATE) and extended (DLGTEMPLATEEX), read with bounds
// checks: a template that runs past its end is refused.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "winuser.h"

namespace qm::win
{
struct DialogItem
{
    DWORD style = 0;
    DWORD exStyle = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    DWORD id = 0;
    std::u16string className; // predefined classes by name
    std::u16string text;
    std::vector<uint8_t> creationData;
};

struct DialogTemplate
{
    bool extended = false;
    DWORD style = 0;
    DWORD exStyle = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    std::u16string className; // empty: the dialog class
    std::u16string title;
    bool hasFont = false;
    WORD pointSize = 0;
    WORD weight = FW_NORMAL;
    BYTE italic = 0;
    BYTE charset = DEFAULT_CHARSET;
    std::u16string face;
    std::vector<DialogItem> items;
};

// `size` 0: the template's size is not known (DialogBoxIndirectParamW); reading is then
// bounded only by the template's own structure.
std::optional<DialogTemplate> ParseDialogTemplate(const void* data, size_t size);
} // namespace qm::win
