// A text resource of a module: UTF-16 when it starts with its byte-order mark, else the
// ANSI code page's text, as the registrar reads its scripts.
#pragma once

#include <string>

#include "objbase.h"

namespace qm::atl
{
HRESULT ResourceText(HINSTANCE module, LPCWSTR name, LPCWSTR type, std::u16string& text);

} // namespace qm::atl
