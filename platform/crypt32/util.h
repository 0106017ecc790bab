// Small shared helpers of the CryptoAPI stand-in: last-error returns, the size-query
// convention of output buffers, UTF conversions and digests.
#pragma once

#include <string>
#include <vector>

#include "der.h"
#include "winbase.h"
#include "wincrypt.h"

namespace qm::crypt
{
using der::Bytes;
using der::View;

inline BOOL Fail(DWORD err)
{
    SetLastError(err);
    return FALSE;
}
inline BOOL Fail(HRESULT hr) { return Fail(static_cast<DWORD>(hr)); }

// The Windows convention for output buffers: a null buffer asks for the size (TRUE); a
// short buffer gets ERROR_MORE_DATA with the size needed; otherwise the data is copied.
BOOL CopyOut(const void* pSrc, size_t cbSrc, void* pvOut, DWORD* pcbOut);

std::u16string Utf8ToUtf16(std::string_view s);
std::string Utf16ToUtf8(std::u16string_view s);
// Latin-1 bytes (PrintableString, IA5String, T61String as 8-bit text) to UTF-16.
std::u16string Latin1ToUtf16(View v);
size_t WideLength(const WCHAR* psz);

Bytes Sha1(View v);
Bytes Md5(View v);
Bytes Sha256(View v);

// Upper-case hex, as thumbprints are written in the registry.
std::u16string HexUpper(View v);

// Serialized property records: id, encoding type (1), length, data.
struct PropertyRecord
{
    DWORD id;
    Bytes data;
};
Bytes SerializeRecords(const std::vector<PropertyRecord>& records);
// False when a record runs past the end.
bool ParseRecords(View blob, std::vector<PropertyRecord>* pOut);
} // namespace qm::crypt
