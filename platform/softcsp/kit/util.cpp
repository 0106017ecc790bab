#include <openssl/rand.h>

#include <algorithm>
#include <cstring>

#include "kit.h"
#include "winbase.h"

namespace qm::cspkit
{
BOOL Fail(DWORD error)
{
    SetLastError(error);
    return FALSE;
}

BOOL CopyOut(const void* value, DWORD size, BYTE* buffer, DWORD* length)
{
    if (!length)
        return Fail(ERROR_INVALID_PARAMETER);
    DWORD available = *length;
    *length = size;
    if (!buffer)
        return TRUE;
    if (available < size)
        return Fail(ERROR_MORE_DATA);
    if (size)
        std::memcpy(buffer, value, size);
    return TRUE;
}

BOOL CopyDword(DWORD value, BYTE* buffer, DWORD* length)
{
    return CopyOut(&value, sizeof value, buffer, length);
}

BOOL CopyText(const std::string& text, BYTE* buffer, DWORD* length)
{
    return CopyOut(text.c_str(), DWORD(text.size() + 1), buffer, length);
}

Bytes Reversed(Bytes bytes)
{
    std::reverse(bytes.begin(), bytes.end());
    return bytes;
}

bool RandomBytes(BYTE* buffer, size_t length)
{
    return length == 0 || RAND_bytes(buffer, int(length)) == 1;
}

BOOL EnumAlg(const std::vector<AlgInfo>& algs, size_t& cursor, DWORD param, BYTE* data,
             DWORD* length, DWORD flags)
{
    if (flags & CRYPT_FIRST)
        cursor = 0;
    if (cursor >= algs.size())
        return Fail(ERROR_NO_MORE_ITEMS);
    const AlgInfo& a = algs[cursor];
    BOOL ok;
    if (param == PP_ENUMALGS_EX)
    {
        PROV_ENUMALGS_EX e{};
        e.aiAlgid = a.alg;
        e.dwDefaultLen = a.defaultLen;
        e.dwMinLen = a.minLen;
        e.dwMaxLen = a.maxLen;
        e.dwProtocols = a.protocols;
        e.dwNameLen = DWORD(std::strlen(a.name) + 1);
        std::strncpy(e.szName, a.name, sizeof e.szName - 1);
        e.dwLongNameLen = DWORD(std::strlen(a.longName) + 1);
        std::strncpy(e.szLongName, a.longName, sizeof e.szLongName - 1);
        ok = CopyOut(&e, sizeof e, data, length);
    }
    else
    {
        PROV_ENUMALGS e{};
        e.aiAlgid = a.alg;
        e.dwBitLen = a.defaultLen;
        e.dwNameLen = DWORD(std::strlen(a.name) + 1);
        std::strncpy(e.szName, a.name, sizeof e.szName - 1);
        ok = CopyOut(&e, sizeof e, data, length);
    }
    // A size query does not move the enumeration on.
    if (ok && data)
        ++cursor;
    return ok;
}
} // namespace qm::cspkit
