// UTF-8 / UTF-16 conversion and "||" list splitting.
#pragma once

#include <list>
#include <string>

#include <windows.h>

// Outputs are array-new buffers the caller frees with delete[]; lengths exclude the terminator.
HRESULT UTF16ToUTF8(LPCWSTR lpwszText, LPSTR* ppszUTF8, DWORD* pcbUTF8);
// The same for a text whose length (without a zero inside it) is known.
HRESULT UTF16ToUTF8N(LPCWSTR lpwszText, size_t cchText, LPSTR* ppszUTF8, DWORD* pcbUTF8);
HRESULT UTF8ToUTF16(LPCSTR lpszUTF8, LPWSTR* ppwszText, DWORD* pcchText);
// The same for a counted text, which ends early at a zero byte, without copying it first.
HRESULT UTF8ToUTF16N(LPCSTR pchUTF8, size_t cbUTF8, LPWSTR* ppwszText, DWORD* pcchText);

// Appends the pieces of the text between "||" separators; stops at the first empty piece.
void SplitStrings(LPCWSTR lpwszText, std::list<std::u16string>& lstStrings);
