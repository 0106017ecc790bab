// The text of a result code that page script receives.
#pragma once

#include <string> // before windows.h: the CRT's char16_t overloads must not join std::

#include <windows.h>

#define ERROR_TEXT_CCH 512

// The string-table message for an own code (customer bit set), else the system's message,
// followed by "\n(0x%08x)". Written into a buffer of ERROR_TEXT_CCH characters.
void FormatErrorText(HRESULT hrCode, WCHAR (&wszText)[ERROR_TEXT_CCH]);

// The same text as a new BSTR for an agent's GetLastErrorDesc (*pbstrText null when memory ran
// out); E_POINTER without an out-parameter.
HRESULT AllocErrorText(HRESULT hrCode, BSTR* pbstrText);
