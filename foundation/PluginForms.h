// The helpers whose form differs between the two plug-ins. Each plug-in brings its own
// form into scope with using-declarations (signing/SigningForms.h, enrollment/EnrollmentForms.h).
#pragma once

#include <string> // before windows.h: the CRT's char16_t overloads must not join std::

#include <windows.h>

namespace SigningForm
{
// dwOrder 1 writes the bytes from the last to the first, any other value from the first.
HRESULT ConvertBinaryDataToString(LPWSTR* ppwszHex, DWORD cbData, const BYTE* pbData, DWORD dwOrder);
// Flags of the codec; callers pass BASE64_FLAG_NO_CRLF.
HRESULT Base64EncodeEx(DWORD dwFlags, LPSTR* ppszText, const BYTE* pbData, DWORD cbData, DWORD* pcchText);
// OCTET STRING { SEQUENCE { INTEGER r, INTEGER s } }.
HRESULT SM2EncodeRawSignature(BYTE** ppbEncoded, DWORD* pcbEncoded, const BYTE* pbRaw, DWORD cbRaw);
} // namespace SigningForm

namespace EnrollmentForm
{
// Always from the last byte to the first.
HRESULT ConvertBinaryDataToString(LPWSTR* ppwszHex, DWORD cbData, const BYTE* pbData);
// Padded, CR LF after every 76 characters of complete groups.
HRESULT Base64EncodeEx(DWORD cbData, LPSTR* ppszText, const BYTE* pbData, DWORD* pcchText);
// SEQUENCE { INTEGER r, INTEGER s }.
HRESULT SM2EncodeRawSignature(BYTE** ppbEncoded, DWORD* pcbEncoded, const BYTE* pbRaw, DWORD cbRaw);
} // namespace EnrollmentForm
