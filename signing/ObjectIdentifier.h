// OBJECT IDENTIFIER in DER from its dotted text.
#pragma once

#include <string> // before windows.h: the CRT's char16_t overloads must not join std::

#include <windows.h>

// 06 L arcs; text that is not a well-formed OID gives E_INVALIDARG. The caller frees the
// output with delete[].
HRESULT EncodeObjectIdentifier(LPCSTR pszOid, BYTE** ppbEncoded, DWORD* pcbEncoded);
