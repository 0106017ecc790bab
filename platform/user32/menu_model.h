// Menus as user32 keeps them: items of strings and separators, the live menus, and each
// window's system menu. Internal to user32.
#pragma once

#include <string>
#include <vector>

#include "winuser.h"

namespace qm::win
{
struct MenuItem
{
    UINT flags = 0;
    UINT_PTR id = 0;
    std::u16string text;
};

struct Menu
{
    std::vector<MenuItem> items;
};

// The menu behind a handle, null for a bad or destroyed one.
Menu* LiveMenu(HMENU h);
bool Selectable(const MenuItem& i);
// The letter after '&' (upper case), 0 when there is none.
char16_t Mnemonic(const std::u16string& text);
// Runs the menu at (x, y) for owner until a choice (its id) or a dismissal (0).
UINT_PTR TrackMenu(Menu* menu, int x, int y, HWND owner);
} // namespace qm::win
