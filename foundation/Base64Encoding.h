// Base64 codec (standard alphabet, "=" padding) shared by both plug-ins' wrappers.
#pragma once

#include <string> // before windows.h: the CRT's char16_t overloads must not join std::

#include <windows.h>
#include <oleauto.h>

#include "ByteBuffer.h"

#define BASE64_FLAG_NO_PADDING 0x00000001
#define BASE64_FLAG_NO_CRLF 0x00000002

// Characters a line holds before CR LF, counted over complete 3-byte groups.
#define BASE64_LINE_CHARS 76

// Output size the codec needs for cbData bytes, terminator not counted.
unsigned long long Base64EncodedSize(DWORD cbData, DWORD dwFlags);

// Encodes into pszText (room for cchText characters); FALSE on null arguments or a too
// small buffer. *pcchWritten receives the characters written.
BOOL Base64Encode(const BYTE* pbData, DWORD cbData, DWORD dwFlags, LPSTR pszText, unsigned long long cchText,
                  DWORD* pcchWritten);

// Both plug-ins' wrappers: allocate, encode, hand out. dwFlags as above.
HRESULT Base64EncodeWithFlags(DWORD dwFlags, LPSTR* ppszText, const BYTE* pbData, DWORD cbData, DWORD* pcchText);

// Skips characters outside the alphabet; a zero character that begins a group ends the text.
HRESULT Base64DecodeEx(int nTextLength, BYTE** ppbData, LPCSTR pszText, DWORD* pcbData);

// The Base64 text of the parts joined, as one new BSTR of exactly its length; no joined copy
// of the bytes is made. Same text and flags as Base64Encode.
HRESULT Base64EncodePartsToBstr(DWORD dwFlags, const BYTE_PART* rgParts, DWORD cParts, BSTR* pbstrText,
                                DWORD* pcchText);
