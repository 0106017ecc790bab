#include "PluginForms.h"

#include "Base64Encoding.h"
#include "DerEncoding.h"
#include "HexEncoding.h"

namespace SigningForm
{
HRESULT ConvertBinaryDataToString(LPWSTR* ppwszHex, DWORD cbData, const BYTE* pbData, DWORD dwOrder)
{
    return ConvertBinaryDataToStringOrdered(ppwszHex, cbData, pbData, dwOrder == 1);
}

HRESULT Base64EncodeEx(DWORD dwFlags, LPSTR* ppszText, const BYTE* pbData, DWORD cbData, DWORD* pcchText)
{
    return Base64EncodeWithFlags(dwFlags, ppszText, pbData, cbData, pcchText);
}

HRESULT SM2EncodeRawSignature(BYTE** ppbEncoded, DWORD* pcbEncoded, const BYTE* pbRaw, DWORD cbRaw)
{
    return SM2EncodeRawSignatureAs(ppbEncoded, pcbEncoded, pbRaw, cbRaw, true);
}
} // namespace SigningForm

namespace EnrollmentForm
{
HRESULT ConvertBinaryDataToString(LPWSTR* ppwszHex, DWORD cbData, const BYTE* pbData)
{
    return ConvertBinaryDataToStringOrdered(ppwszHex, cbData, pbData, true);
}

HRESULT Base64EncodeEx(DWORD cbData, LPSTR* ppszText, const BYTE* pbData, DWORD* pcchText)
{
    return Base64EncodeWithFlags(0, ppszText, pbData, cbData, pcchText);
}

HRESULT SM2EncodeRawSignature(BYTE** ppbEncoded, DWORD* pcbEncoded, const BYTE* pbRaw, DWORD cbRaw)
{
    return SM2EncodeRawSignatureAs(ppbEncoded, pcbEncoded, pbRaw, cbRaw, false);
}
} // namespace EnrollmentForm
