// CryptEncodeObject(Ex): DER for the structure types the kit encodes.
#include <cstring>

#include "store.h"
#include "struct_types.h"

namespace qm::crypt
{
namespace
{
using der::Tlv;


View ViewOf(const CRYPT_INTEGER_BLOB& b) { return View(b.pbData, b.pbData ? b.cbData : 0); }

HRESULT CheckBlob(const CRYPT_INTEGER_BLOB& b) { return b.cbData && !b.pbData ? E_INVALIDARG : S_OK; }

HRESULT Oid(LPCSTR psz, Bytes* pOut)
{
    Bytes content;
    if (!psz || !der::OidToContent(psz, &content))
        return CRYPT_E_OID_FORMAT;
    *pOut = Tlv(der::kOid, content);
    return S_OK;
}

// Empty parameters are written as NULL, as Windows writes algorithm identifiers.
HRESULT AlgorithmId(const CRYPT_ALGORITHM_IDENTIFIER& a, Bytes* pOut)
{
    Bytes body;
    HRESULT hr = Oid(a.pszObjId, &body);
    if (FAILED(hr))
        return hr;
    if (FAILED(CheckBlob(a.Parameters)))
        return E_INVALIDARG;
    if (a.Parameters.cbData)
        der::Append(body, ViewOf(a.Parameters));
    else
        der::Append(body, Bytes{der::kNull, 0});
    *pOut = Tlv(der::kSequence, body);
    return S_OK;
}

HRESULT BitString(const CRYPT_BIT_BLOB& b, bool trimTrailingZeros, Bytes* pOut)
{
    if (b.cbData && !b.pbData)
        return E_INVALIDARG;
    Bytes bits(b.pbData, b.pbData + b.cbData);
    DWORD unused = b.cbData ? (b.cUnusedBits & 7) : 0;
    if (!bits.empty())
        bits.back() &= static_cast<BYTE>(0xFF << unused);
    if (trimTrailingZeros)
    {
        // A named bit list is written without trailing zero bits.
        while (!bits.empty() && bits.back() == 0)
            bits.pop_back();
        unused = 0;
        if (!bits.empty())
            while (!(bits.back() & (1u << unused)))
                ++unused;
    }
    Bytes content{static_cast<BYTE>(unused)};
    der::Append(content, bits);
    *pOut = Tlv(der::kBitString, content);
    return S_OK;
}

HRESULT Attributes(const CRYPT_ATTRIBUTES& attrs, BYTE tag, Bytes* pOut);

HRESULT Attribute(const CRYPT_ATTRIBUTE& a, Bytes* pOut)
{
    Bytes body;
    HRESULT hr = Oid(a.pszObjId, &body);
    if (FAILED(hr))
        return hr;
    if (a.cValue && !a.rgValue)
        return E_INVALIDARG;
    std::vector<Bytes> values;
    for (DWORD i = 0; i < a.cValue; ++i)
    {
        if (FAILED(CheckBlob(a.rgValue[i])) || a.rgValue[i].cbData == 0)
            return CRYPT_E_ASN1_CORRUPT;
        values.emplace_back(a.rgValue[i].pbData, a.rgValue[i].pbData + a.rgValue[i].cbData);
    }
    der::SortSetOf(values);
    Bytes set;
    for (const auto& v : values)
        der::Append(set, v);
    der::Append(body, Tlv(der::kSet, set));
    *pOut = Tlv(der::kSequence, body);
    return S_OK;
}

HRESULT Attributes(const CRYPT_ATTRIBUTES& attrs, BYTE tag, Bytes* pOut)
{
    if (attrs.cAttr && !attrs.rgAttr)
        return E_INVALIDARG;
    std::vector<Bytes> items;
    for (DWORD i = 0; i < attrs.cAttr; ++i)
    {
        Bytes one;
        HRESULT hr = Attribute(attrs.rgAttr[i], &one);
        if (FAILED(hr))
            return hr;
        items.push_back(std::move(one));
    }
    der::SortSetOf(items);
    Bytes body;
    for (const auto& it : items)
        der::Append(body, it);
    *pOut = Tlv(tag, body);
    return S_OK;
}

HRESULT ContentInfo(const CRYPT_CONTENT_INFO& ci, Bytes* pOut)
{
    Bytes body;
    HRESULT hr = Oid(ci.pszObjId, &body);
    if (FAILED(hr))
        return hr;
    if (FAILED(CheckBlob(ci.Content)))
        return E_INVALIDARG;
    if (ci.Content.cbData)
        der::Append(body, Tlv(0xA0, ViewOf(ci.Content)));
    *pOut = Tlv(der::kSequence, body);
    return S_OK;
}

HRESULT SignerInfo(const CMSG_SIGNER_INFO& si, Bytes* pOut)
{
    if (FAILED(CheckBlob(si.Issuer)) || FAILED(CheckBlob(si.SerialNumber)) || FAILED(CheckBlob(si.EncryptedHash)) ||
        si.Issuer.cbData == 0 || si.SerialNumber.cbData == 0)
        return E_INVALIDARG;
    Bytes body = der::IntegerFromUnsigned(si.dwVersion);
    Bytes ias(si.Issuer.pbData, si.Issuer.pbData + si.Issuer.cbData);
    der::Append(ias, der::IntegerFromLittleEndian(ViewOf(si.SerialNumber)));
    der::Append(body, Tlv(der::kSequence, ias));
    Bytes alg;
    HRESULT hr = AlgorithmId(si.HashAlgorithm, &alg);
    if (FAILED(hr))
        return hr;
    der::Append(body, alg);
    if (si.AuthAttrs.cAttr)
    {
        Bytes attrs;
        if (FAILED(hr = Attributes(si.AuthAttrs, 0xA0, &attrs)))
            return hr;
        der::Append(body, attrs);
    }
    if (FAILED(hr = AlgorithmId(si.HashEncryptionAlgorithm, &alg)))
        return hr;
    der::Append(body, alg);
    der::Append(body, Tlv(der::kOctetString, ViewOf(si.EncryptedHash)));
    if (si.UnauthAttrs.cAttr)
    {
        Bytes attrs;
        if (FAILED(hr = Attributes(si.UnauthAttrs, 0xA1, &attrs)))
            return hr;
        der::Append(body, attrs);
    }
    *pOut = Tlv(der::kSequence, body);
    return S_OK;
}

// Wide values: cbData counts bytes; a zero count with a text means up to its terminator.
std::u16string WideValue(const CERT_RDN_VALUE_BLOB& v)
{
    auto* p = reinterpret_cast<const char16_t*>(v.pbData);
    if (!p)
        return {};
    size_t n = v.cbData ? v.cbData / 2 : WideLength(p);
    std::u16string s;
    for (size_t i = 0; i < n; ++i)
    {
        char16_t c;
        std::memcpy(&c, v.pbData + 2 * i, 2);
        s.push_back(c);
    }
    return s;
}

HRESULT AnyString(const CERT_NAME_VALUE& nv, Bytes* pOut)
{
    if (FAILED(CheckBlob(nv.Value)))
        return E_INVALIDARG;
    View raw = ViewOf(nv.Value);
    DWORD type = nv.dwValueType & CERT_RDN_TYPE_MASK;
    BYTE tag = 0;
    switch (type)
    {
    case CERT_RDN_ENCODED_BLOB: {
        HRESULT hr = S_OK;
        if (!der::ReadSingle(raw, raw.empty() ? 0 : raw[0], &hr))
            return CRYPT_E_ASN1_CORRUPT;
        *pOut = Bytes(raw.begin(), raw.end());
        return S_OK;
    }
    case CERT_RDN_OCTET_STRING: tag = der::kOctetString; break;
    // 8-bit strings are written as given: Windows checks no alphabet here.
    case CERT_RDN_NUMERIC_STRING: tag = der::kNumericString; break;
    case CERT_RDN_PRINTABLE_STRING: tag = der::kPrintableString; break;
    case CERT_RDN_IA5_STRING: tag = der::kIa5String; break;
    case CERT_RDN_T61_STRING: tag = der::kT61String; break;
    case CERT_RDN_VIDEOTEX_STRING: tag = der::kVideotexString; break;
    case CERT_RDN_GRAPHIC_STRING: tag = der::kGraphicString; break;
    case CERT_RDN_VISIBLE_STRING: tag = der::kVisibleString; break;
    case CERT_RDN_GENERAL_STRING: tag = der::kGeneralString; break;
    case CERT_RDN_BMP_STRING: {
        Bytes be;
        for (char16_t c : WideValue(nv.Value))
            be.push_back(static_cast<BYTE>(c >> 8)), be.push_back(static_cast<BYTE>(c));
        *pOut = Tlv(der::kBmpString, be);
        return S_OK;
    }
    case CERT_RDN_UTF8_STRING: {
        std::string u8 = Utf16ToUtf8(WideValue(nv.Value));
        *pOut = Tlv(der::kUtf8String, View(reinterpret_cast<const BYTE*>(u8.data()), u8.size()));
        return S_OK;
    }
    case CERT_RDN_UNIVERSAL_STRING: {
        // Code points as 32-bit integers.
        Bytes be;
        for (size_t i = 0; i + 3 < raw.size(); i += 4)
        {
            DWORD cp;
            std::memcpy(&cp, raw.data() + i, 4);
            for (int k = 3; k >= 0; --k)
                be.push_back(static_cast<BYTE>(cp >> (8 * k)));
        }
        *pOut = Tlv(der::kUniversalString, be);
        return S_OK;
    }
    default:
        return CRYPT_E_NOT_CHAR_STRING;
    }
    *pOut = Tlv(tag, raw);
    return S_OK;
}

HRESULT PublicKeyInfo(const CERT_PUBLIC_KEY_INFO& pk, Bytes* pOut)
{
    Bytes body;
    HRESULT hr = AlgorithmId(pk.Algorithm, &body);
    if (FAILED(hr))
        return hr;
    Bytes bits;
    if (FAILED(hr = BitString(pk.PublicKey, false, &bits)))
        return hr;
    der::Append(body, bits);
    *pOut = Tlv(der::kSequence, body);
    return S_OK;
}
} // namespace

// PUBLICKEYBLOB of an RSA key (header, RSAPUBKEY, modulus least significant byte first)
// to the DER RSAPublicKey.
HRESULT EncodeRsaPublicKeyBlob(View blob, Bytes* pOut)
{
    if (blob.size() < sizeof(BLOBHEADER) + sizeof(RSAPUBKEY))
        return CRYPT_E_ASN1_BADARGS;
    BLOBHEADER head;
    RSAPUBKEY rsa;
    std::memcpy(&head, blob.data(), sizeof head);
    std::memcpy(&rsa, blob.data() + sizeof head, sizeof rsa);
    size_t modLen = rsa.bitlen / 8;
    if (head.bType != PUBLICKEYBLOB || rsa.magic != 0x31415352 || rsa.bitlen == 0 || rsa.bitlen % 8 ||
        blob.size() < sizeof head + sizeof rsa + modLen)
        return CRYPT_E_ASN1_BADARGS;
    Bytes le(blob.begin() + sizeof head + sizeof rsa, blob.begin() + sizeof head + sizeof rsa + modLen);
    le.push_back(0); // unsigned: a sign byte that minimal encoding drops again when not needed
    Bytes body = der::IntegerFromLittleEndian(le);
    der::Append(body, der::IntegerFromUnsigned(rsa.pubexp));
    *pOut = der::Tlv(der::kSequence, body);
    return S_OK;
}

HRESULT EncodeStruct(LPCSTR type, const void* pv, Bytes* pOut)
{
    switch (StructTypeOf(type))
    {
    case StructType::KeyUsage:
        return BitString(*static_cast<const CRYPT_BIT_BLOB*>(pv), true, pOut);
    case StructType::Bits:
        return BitString(*static_cast<const CRYPT_BIT_BLOB*>(pv), false, pOut);
    case StructType::OctetString: {
        auto& b = *static_cast<const CRYPT_DATA_BLOB*>(pv);
        if (FAILED(CheckBlob(b)))
            return E_INVALIDARG;
        *pOut = Tlv(der::kOctetString, ViewOf(b));
        return S_OK;
    }
    case StructType::AlgorithmId:
        return AlgorithmId(*static_cast<const CRYPT_ALGORITHM_IDENTIFIER*>(pv), pOut);
    case StructType::Attribute:
        return Attribute(*static_cast<const CRYPT_ATTRIBUTE*>(pv), pOut);
    case StructType::ContentInfo:
        return ContentInfo(*static_cast<const CRYPT_CONTENT_INFO*>(pv), pOut);
    case StructType::SignerInfo:
        return SignerInfo(*static_cast<const CMSG_SIGNER_INFO*>(pv), pOut);
    case StructType::AnyString:
        return AnyString(*static_cast<const CERT_NAME_VALUE*>(pv), pOut);
    case StructType::PublicKeyInfo:
        return PublicKeyInfo(*static_cast<const CERT_PUBLIC_KEY_INFO*>(pv), pOut);
    case StructType::RsaPublicKeyBlob: {
        // The caller's blob runs as far as its RSAPUBKEY says.
        auto* p = static_cast<const BYTE*>(pv);
        RSAPUBKEY rsa;
        std::memcpy(&rsa, p + sizeof(BLOBHEADER), sizeof rsa);
        if (rsa.bitlen > 16384 * 8)
            return CRYPT_E_ASN1_BADARGS;
        return EncodeRsaPublicKeyBlob(View(p, sizeof(BLOBHEADER) + sizeof(RSAPUBKEY) + rsa.bitlen / 8), pOut);
    }
    case StructType::Unknown:
        break;
    }
    return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
}
} // namespace qm::crypt

using namespace qm::crypt;

QMAPI BOOL WINAPI CryptEncodeObjectEx(DWORD dwCertEncodingType, LPCSTR lpszStructType, const void* pvStructInfo,
                                      DWORD dwFlags, PCRYPT_ENCODE_PARA pEncodePara, void* pvEncoded,
                                      DWORD* pcbEncoded)
{
    if (!pcbEncoded)
        return Fail(static_cast<DWORD>(E_INVALIDARG));
    if (!AsnEncoding(dwCertEncodingType) || StructTypeOf(lpszStructType) == StructType::Unknown)
    {
        *pcbEncoded = 0;
        return Fail(static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    }
    if (!pvStructInfo)
        return Fail(static_cast<DWORD>(E_INVALIDARG));
    Bytes out;
    HRESULT hr = EncodeStruct(lpszStructType, pvStructInfo, &out);
    if (FAILED(hr))
    {
        *pcbEncoded = 0;
        return Fail(hr);
    }
    if (dwFlags & CRYPT_ENCODE_ALLOC_FLAG)
    {
        if (!pvEncoded)
            return Fail(static_cast<DWORD>(E_INVALIDARG));
        void* p = pEncodePara && pEncodePara->pfnAlloc ? pEncodePara->pfnAlloc(out.size())
                                                       : LocalAlloc(LMEM_FIXED, out.size());
        if (!p)
            return Fail(static_cast<DWORD>(E_OUTOFMEMORY));
        std::memcpy(p, out.data(), out.size());
        *static_cast<void**>(pvEncoded) = p;
        *pcbEncoded = static_cast<DWORD>(out.size());
        return TRUE;
    }
    return CopyOut(out.data(), out.size(), pvEncoded, pcbEncoded);
}

QMAPI BOOL WINAPI CryptEncodeObject(DWORD dwCertEncodingType, LPCSTR lpszStructType, const void* pvStructInfo,
                                    BYTE* pbEncoded, DWORD* pcbEncoded)
{
    return CryptEncodeObjectEx(dwCertEncodingType, lpszStructType, pvStructInfo, 0, nullptr, pbEncoded, pcbEncoded);
}
