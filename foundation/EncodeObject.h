// CryptoAPI object encoding into a new buffer.
#pragma once

#include <string> // before windows.h: the CRT's char16_t overloads must not join std::

#include <windows.h>
#include <wincrypt.h>

// Encodes with X509_ASN_ENCODING | PKCS_7_ASN_ENCODING into a new BYTE[] the caller frees
// with delete[]. The buffer is handed out even when the second encoding fails.
HRESULT EncodeObject(const void* pvStructInfo, DWORD* pcbEncoded, LPCSTR lpszStructType, BYTE** ppbEncoded);
