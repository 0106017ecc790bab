// GUIDs as registry text: "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}".
#include <cstring>

#include "objbase.h"

namespace
{
constexpr int kGuidChars = 38;

int HexValue(char16_t c)
{
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= u'a' && c <= u'f')
        return c - u'a' + 10;
    if (c >= u'A' && c <= u'F')
        return c - u'A' + 10;
    return -1;
}

// Reads `digits` hex digits at text[pos]; false on a non-digit.
bool ReadHex(const char16_t* text, int pos, int digits, uint32_t& value)
{
    value = 0;
    for (int i = 0; i < digits; ++i)
    {
        const int v = HexValue(text[pos + i]);
        if (v < 0)
            return false;
        value = (value << 4) | static_cast<uint32_t>(v);
    }
    return true;
}

bool ParseGuid(const char16_t* text, GUID& guid)
{
    for (int i = 0; i < kGuidChars; ++i)
        if (text[i] == 0)
            return false;
    if (text[0] != u'{' || text[9] != u'-' || text[14] != u'-' || text[19] != u'-' || text[24] != u'-' ||
        text[37] != u'}' || text[38] != 0)
        return false;
    uint32_t v = 0;
    GUID g{};
    if (!ReadHex(text, 1, 8, v))
        return false;
    g.Data1 = v;
    if (!ReadHex(text, 10, 4, v))
        return false;
    g.Data2 = static_cast<uint16_t>(v);
    if (!ReadHex(text, 15, 4, v))
        return false;
    g.Data3 = static_cast<uint16_t>(v);
    static constexpr int kBytePos[8] = {20, 22, 25, 27, 29, 31, 33, 35};
    for (int i = 0; i < 8; ++i)
    {
        if (!ReadHex(text, kBytePos[i], 2, v))
            return false;
        g.Data4[i] = static_cast<uint8_t>(v);
    }
    guid = g;
    return true;
}

void FormatGuid(const GUID& g, char16_t* out)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    int pos = 0;
    auto put = [&](uint32_t value, int digits) {
        for (int i = digits - 1; i >= 0; --i)
            out[pos++] = static_cast<char16_t>(kHex[(value >> (4 * i)) & 0xF]);
    };
    out[pos++] = u'{';
    put(g.Data1, 8);
    out[pos++] = u'-';
    put(g.Data2, 4);
    out[pos++] = u'-';
    put(g.Data3, 4);
    out[pos++] = u'-';
    put(g.Data4[0], 2);
    put(g.Data4[1], 2);
    out[pos++] = u'-';
    for (int i = 2; i < 8; ++i)
        put(g.Data4[i], 2);
    out[pos++] = u'}';
    out[pos] = 0;
}

HRESULT StringFromGuidAlloc(REFGUID guid, LPOLESTR* result)
{
    if (result == nullptr)
        return E_INVALIDARG;
    *result = static_cast<LPOLESTR>(CoTaskMemAlloc((kGuidChars + 1) * sizeof(OLECHAR)));
    if (*result == nullptr)
        return E_OUTOFMEMORY;
    FormatGuid(guid, *result);
    return S_OK;
}
} // namespace

int WINAPI StringFromGUID2(REFGUID rguid, LPOLESTR lpsz, int cchMax)
{
    if (lpsz == nullptr || cchMax < kGuidChars + 1)
        return 0;
    FormatGuid(rguid, lpsz);
    return kGuidChars + 1;
}

HRESULT WINAPI CLSIDFromString(LPCOLESTR lpsz, LPCLSID pclsid)
{
    if (pclsid == nullptr)
        return E_INVALIDARG;
    if (lpsz == nullptr)
    {
        *pclsid = GUID_NULL;
        return NOERROR;
    }
    if (!ParseGuid(lpsz, *pclsid))
    {
        *pclsid = GUID_NULL;
        return CO_E_CLASSSTRING;
    }
    return NOERROR;
}

HRESULT WINAPI IIDFromString(LPCOLESTR lpsz, LPIID lpiid)
{
    if (lpiid == nullptr)
        return E_INVALIDARG;
    if (lpsz == nullptr)
    {
        *lpiid = GUID_NULL;
        return S_OK;
    }
    return ParseGuid(lpsz, *lpiid) ? S_OK : E_INVALIDARG;
}

HRESULT WINAPI StringFromCLSID(REFCLSID rclsid, LPOLESTR* lplpsz)
{
    return StringFromGuidAlloc(rclsid, lplpsz);
}

HRESULT WINAPI StringFromIID(REFIID rclsid, LPOLESTR* lplpsz)
{
    return StringFromGuidAlloc(rclsid, lplpsz);
}
