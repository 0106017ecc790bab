// CoCreateGuid: random GUIDs of version 4, variant 10.
#include <sys/random.h>

#include <cstring>

#include "objbase.h"
#include "winerror.h"

QMAPI HRESULT WINAPI CoCreateGuid(GUID* pguid)
{
    if (!pguid)
        return E_INVALIDARG;
    unsigned char bytes[16];
    size_t got = 0;
    while (got < sizeof bytes)
    {
        ssize_t n = getrandom(bytes + got, sizeof bytes - got, 0);
        if (n <= 0)
            return E_FAIL;
        got += size_t(n);
    }
    bytes[7] = (bytes[7] & 0x0F) | 0x40; // Data3's high nibble: version 4
    bytes[8] = (bytes[8] & 0x3F) | 0x80;
    std::memcpy(pguid, bytes, sizeof bytes);
    return S_OK;
}
