// Scripts of input for the modal dialogs a plug-in opens: comma-separated steps such as
// "tab,tab,down,key:Return", "click:Cancel", "close" or "png:shot.png".
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace nphost
{
struct DialogStep
{
    enum class Kind
    {
        Key,         // a key press (down and up) to the control with the focus
        Click,       // a left click on a control of the dialog
        DoubleClick, // a double-click on a control
        Move,        // the mouse moved over a control
        Close,       // a click on the dialog's close box
        Png,         // the dialog rendered into a PNG file
    };
    Kind kind = Kind::Key;
    uint32_t vk = 0;
    // Control: "#<id>" or its window text ('&' mnemonics left out).
    std::string control;
    // Point in the control's client area; its centre when absent.
    std::optional<std::pair<int, int>> point;
    std::string file;
    std::string text; // the step as written, for messages
};

using DialogScript = std::vector<DialogStep>;

// Nothing and a message in error when the text is not a script.
std::optional<DialogScript> ParseDialogScript(std::string_view text, std::string& error);

// The key names a script knows, for the help text.
std::string DialogKeyNames();
} // namespace nphost
