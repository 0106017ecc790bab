// Hex text of byte strings and byte-order reversal.
#pragma once

#include <string> // before windows.h: the CRT's char16_t overloads must not join std::

#include <windows.h>

// Hex text into bytes in CryptoAPI order: byte 0 is the last digit pair. A final odd digit
// is ignored; the output has 4 spare zero bytes. Non-hex text: E_INVALIDARG.
HRESULT ConvertStringToBinaryData(DWORD* pcbData, LPCWSTR lpwszHex, BYTE** ppbData);

// Reverses the bytes in place.
void SwapByteOrder(BYTE* pbData, DWORD cbData);

// Lower-case hex text, two digits a byte; bOrder selects the byte order of the text.
HRESULT ConvertBinaryDataToStringOrdered(LPWSTR* ppwszHex, DWORD cbData, const BYTE* pbData, bool bFromLast);
