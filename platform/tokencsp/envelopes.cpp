#include "envelopes.h"

#include <cstring>

namespace qm::tokencsp
{
namespace
{
DWORD Dword(const BYTE* p)
{
    DWORD v = 0;
    std::memcpy(&v, p, 4);
    return v;
}

// One TLV at *at; false when it does not fit.
bool Tlv(const Bytes& der, size_t* at, BYTE* tag, size_t* start, size_t* length)
{
    size_t i = *at;
    if (i + 2 > der.size())
        return false;
    *tag = der[i++];
    size_t n = der[i++];
    if (n & 0x80)
    {
        size_t bytes = n & 0x7F;
        if (bytes == 0 || bytes > 4 || i + bytes > der.size())
            return false;
        n = 0;
        while (bytes--)
            n = (n << 8) | der[i++];
    }
    if (n > der.size() - i)
        return false;
    *start = i;
    *length = n;
    *at = i + n;
    return true;
}
} // namespace

std::optional<Envelope> ReadEnvelopeBlob(const BYTE* blob, DWORD length, DWORD* error)
{
    *error = 0;
    if (length < 16 || blob[0] != PRIVATEKEYBLOB)
        return std::nullopt;
    ALG_ID first = Dword(blob + 4), second = Dword(blob + 8);
    if (first != second || (first != CALG_RSA_KEYX && first != kSm2ExchangeAlg))
        return std::nullopt;
    Envelope e;
    e.sm2 = first == kSm2ExchangeAlg;
    size_t header = e.sm2 ? 16 : 20;
    if (length < header)
    {
        *error = DWORD(NTE_BAD_DATA);
        return e;
    }
    if (!e.sm2)
        e.keyBits = Dword(blob + 12);
    DWORD dataBits = Dword(blob + header - 4);
    if (dataBits % 8 || dataBits == 0 || dataBits > 8 * 65536)
    {
        *error = DWORD(NTE_BAD_DATA);
        return e;
    }
    size_t dataLength = dataBits / 8;
    if (length == header + sizeof(ULONG_PTR))
    {
        ULONG_PTR address = 0;
        std::memcpy(&address, blob + header, sizeof address);
        if (!address)
        {
            *error = DWORD(NTE_BAD_DATA);
            return e;
        }
        const BYTE* p = reinterpret_cast<const BYTE*>(address);
        e.data.assign(p, p + dataLength);
    }
    else if (length == header + dataLength)
        e.data.assign(blob + header, blob + length);
    else
        *error = DWORD(NTE_BAD_DATA);
    return e;
}

bool ReadRsaEnvelope(const Bytes& der, Bytes* sessionKey, Bytes* privateKey)
{
    size_t at = 0, start = 0, length = 0;
    BYTE tag = 0;
    if (!Tlv(der, &at, &tag, &start, &length) || tag != 0x30 || at != der.size())
        return false;
    std::vector<std::pair<size_t, size_t>> octets;
    size_t inner = start;
    while (inner < start + length)
    {
        size_t s = 0, n = 0;
        if (!Tlv(der, &inner, &tag, &s, &n))
            return false;
        if (tag == 0x04)
            octets.emplace_back(s, n);
    }
    if (octets.size() != 2)
        return false;
    sessionKey->assign(der.begin() + long(octets[0].first),
                       der.begin() + long(octets[0].first + octets[0].second));
    privateKey->assign(der.begin() + long(octets[1].first),
                       der.begin() + long(octets[1].first + octets[1].second));
    return true;
}
} // namespace qm::tokencsp
