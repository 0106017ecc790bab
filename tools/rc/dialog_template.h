// DIALOG and DIALOGEX resources: the template's fields and controls as the script states
// them, written in the RT_DIALOG layout (DLGTEMPLATE or DLGTEMPLATEEX with their items).
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace qm::rc
{
inline constexpr uint16_t kRtDialog = 5;

// A class, menu or text that is either absent, an ordinal or a string.
struct NameOrOrdinal
{
    enum class Kind
    {
        None,
        Ordinal,
        Text,
    } kind = Kind::None;
    uint16_t ordinal = 0;
    std::u16string text;
};

struct DialogControl
{
    NameOrOrdinal className;
    NameOrOrdinal text;
    uint32_t id = 0;
    int16_t x = 0, y = 0, cx = 0, cy = 0;
    uint32_t style = 0;
    uint32_t exStyle = 0;
    uint32_t helpId = 0;
};

struct DialogResource
{
    bool extended = false;
    int16_t x = 0, y = 0, cx = 0, cy = 0;
    uint32_t helpId = 0;
    uint32_t style = 0;
    uint32_t exStyle = 0;
    NameOrOrdinal menu;
    NameOrOrdinal className;
    std::u16string caption;
    bool hasFont = false;
    uint16_t pointSize = 0;
    uint16_t weight = 0;
    uint8_t italic = 0;
    uint8_t charset = 1;
    std::u16string face;
    std::vector<DialogControl> controls;
};

std::vector<uint8_t> BuildDialogTemplate(const DialogResource& dialog);

// The predefined class of a control name ("Button" = 0x80 ... "ComboBox" = 0x85), or 0.
uint16_t PredefinedControlClass(const std::u16string& name);

// Window, dialog and control style names and the dialog ids that scripts take from the
// Windows headers.
const std::map<std::string, std::string>& DialogConstants();
} // namespace qm::rc
