// CryptDecodeObject(Ex): DER to the structures the kit reads, laid out as Windows lays
// them out: the structure first, then the data its pointers point to, in one block.
#include <cstring>
#include <functional>
#include <memory>

#include "store.h"
#include "struct_types.h"

namespace qm::crypt
{
namespace
{
using der::Element;
using der::Reader;

// Lays a structure and its data out in one block. Run once without a base to measure,
// then with the block to fill; the pointers it hands out are null while measuring.
class Layout
{
public:
    explicit Layout(BYTE* base) : m_base(base) {}
    size_t Size() const { return m_size; }

    template <class T>
    T* Struct(size_t count = 1)
    {
        return static_cast<T*>(Reserve(sizeof(T) * count));
    }
    BYTE* Bytes(View v, bool terminate = false)
    {
        BYTE* p = static_cast<BYTE*>(Reserve(v.size() + (terminate ? 2 : 0)));
        if (p && !v.empty())
            std::memcpy(p, v.data(), v.size());
        return v.empty() && !terminate ? nullptr : p;
    }
    char* Text(const std::string& s)
    {
        return reinterpret_cast<char*>(Bytes(View(reinterpret_cast<const BYTE*>(s.c_str()), s.size() + 1)));
    }
    void Blob(View v, CRYPT_INTEGER_BLOB* pBlob)
    {
        BYTE* p = Bytes(v);
        if (pBlob)
        {
            pBlob->cbData = static_cast<DWORD>(v.size());
            pBlob->pbData = p;
        }
    }

private:
    void* Reserve(size_t n)
    {
        size_t at = (m_size + 7) & ~size_t(7);
        m_size = at + n;
        return m_base ? m_base + at : nullptr;
    }
    BYTE* m_base;
    size_t m_size = 0;
};

// The parsed forms, kept as views into the encoding until laid out.
struct AlgView
{
    std::string oid;
    View params;
};

HRESULT ReadOid(const Element& e, std::string* pOut)
{
    return der::OidFromContent(e.content, pOut) ? S_OK : CRYPT_E_ASN1_CORRUPT;
}

HRESULT ReadAlg(const Element& seq, AlgView* pOut)
{
    Reader r(seq.content);
    auto oid = r.Expect(der::kOid);
    if (!oid)
        return r.error();
    HRESULT hr = ReadOid(*oid, &pOut->oid);
    if (FAILED(hr))
        return hr;
    if (!r.AtEnd())
    {
        auto p = r.Next();
        if (!p)
            return r.error();
        pOut->params = p->whole;
    }
    return r.AtEnd() ? S_OK : CRYPT_E_ASN1_CORRUPT;
}

void PutAlg(Layout& l, const AlgView& a, CRYPT_ALGORITHM_IDENTIFIER* p)
{
    char* oid = l.Text(a.oid);
    l.Blob(a.params, p ? &p->Parameters : nullptr);
    if (p)
        p->pszObjId = oid;
}

HRESULT ReadBits(const Element& e, View* pBits, DWORD* pUnused)
{
    if (e.content.empty() || e.content[0] > 7 || (e.content.size() == 1 && e.content[0]))
        return CRYPT_E_ASN1_CORRUPT;
    *pUnused = e.content[0];
    *pBits = e.content.subspan(1);
    return S_OK;
}

void PutBits(Layout& l, View bits, DWORD unused, CRYPT_BIT_BLOB* p)
{
    BYTE* data = l.Bytes(bits);
    if (p)
    {
        p->cbData = static_cast<DWORD>(bits.size());
        p->pbData = data;
        p->cUnusedBits = unused;
    }
}

struct AttrView
{
    std::string oid;
    std::vector<View> values;
};

HRESULT ReadAttr(const Element& seq, AttrView* pOut)
{
    Reader r(seq.content);
    auto oid = r.Expect(der::kOid);
    auto set = r.Expect(der::kSet);
    if (!r.Ok())
        return r.error();
    if (!r.AtEnd())
        return CRYPT_E_ASN1_CORRUPT;
    HRESULT hr = ReadOid(*oid, &pOut->oid);
    if (FAILED(hr))
        return hr;
    Reader vr(set->content);
    while (!vr.AtEnd())
    {
        auto v = vr.Next();
        if (!v)
            return vr.error();
        pOut->values.push_back(v->whole);
    }
    return S_OK;
}

void PutAttr(Layout& l, const AttrView& a, CRYPT_ATTRIBUTE* p)
{
    char* oid = l.Text(a.oid);
    auto* values = a.values.empty() ? nullptr : l.Struct<CRYPT_ATTR_BLOB>(a.values.size());
    for (size_t i = 0; i < a.values.size(); ++i)
        l.Blob(a.values[i], values ? &values[i] : nullptr);
    if (p)
    {
        p->pszObjId = oid;
        p->cValue = static_cast<DWORD>(a.values.size());
        p->rgValue = values;
    }
}

HRESULT ReadAttrs(const Element& e, std::vector<AttrView>* pOut)
{
    Reader r(e.content);
    while (!r.AtEnd())
    {
        auto a = r.Expect(der::kSequence);
        if (!a)
            return r.error();
        AttrView v;
        HRESULT hr = ReadAttr(*a, &v);
        if (FAILED(hr))
            return hr;
        pOut->push_back(std::move(v));
    }
    return S_OK;
}

void PutAttrs(Layout& l, const std::vector<AttrView>& attrs, CRYPT_ATTRIBUTES* p)
{
    auto* arr = attrs.empty() ? nullptr : l.Struct<CRYPT_ATTRIBUTE>(attrs.size());
    for (size_t i = 0; i < attrs.size(); ++i)
        PutAttr(l, attrs[i], arr ? &arr[i] : nullptr);
    if (p)
    {
        p->cAttr = static_cast<DWORD>(attrs.size());
        p->rgAttr = arr;
    }
}

// A decoded value: parse once, then lay out twice.
using Filler = std::function<void(Layout&)>;

HRESULT DecodeKeyUsageOrBits(View data, Filler* pFill)
{
    HRESULT hr = S_OK;
    auto e = der::ReadSingle(data, der::kBitString, &hr);
    if (!e)
        return hr;
    View bits;
    DWORD unused = 0;
    if (FAILED(hr = ReadBits(*e, &bits, &unused)))
        return hr;
    *pFill = [bits, unused](Layout& l) {
        auto* p = l.Struct<CRYPT_BIT_BLOB>();
        PutBits(l, bits, unused, p);
    };
    return S_OK;
}

HRESULT DecodeOctets(View data, Filler* pFill)
{
    HRESULT hr = S_OK;
    auto e = der::ReadSingle(data, der::kOctetString, &hr);
    if (!e)
        return hr;
    View v = e->content;
    *pFill = [v](Layout& l) {
        auto* p = l.Struct<CRYPT_DATA_BLOB>();
        l.Blob(v, p);
    };
    return S_OK;
}

HRESULT DecodeAlg(View data, Filler* pFill)
{
    HRESULT hr = S_OK;
    auto e = der::ReadSingle(data, der::kSequence, &hr);
    if (!e)
        return hr;
    AlgView a;
    if (FAILED(hr = ReadAlg(*e, &a)))
        return hr;
    *pFill = [a](Layout& l) {
        auto* p = l.Struct<CRYPT_ALGORITHM_IDENTIFIER>();
        PutAlg(l, a, p);
    };
    return S_OK;
}

HRESULT DecodeAttr(View data, Filler* pFill)
{
    HRESULT hr = S_OK;
    auto e = der::ReadSingle(data, der::kSequence, &hr);
    if (!e)
        return hr;
    AttrView a;
    if (FAILED(hr = ReadAttr(*e, &a)))
        return hr;
    *pFill = [a](Layout& l) {
        auto* p = l.Struct<CRYPT_ATTRIBUTE>();
        PutAttr(l, a, p);
    };
    return S_OK;
}

HRESULT DecodeContentInfo(View data, Filler* pFill)
{
    HRESULT hr = S_OK;
    auto e = der::ReadSingle(data, der::kSequence, &hr);
    if (!e)
        return hr;
    Reader r(e->content);
    auto oid = r.Expect(der::kOid);
    if (!oid)
        return r.error();
    std::string oidText;
    if (FAILED(hr = ReadOid(*oid, &oidText)))
        return hr;
    View content;
    if (auto wrap = r.Optional(0xA0))
    {
        // The content is the one element inside the explicit tag.
        auto inner = der::ReadSingle(wrap->content, wrap->content.empty() ? 0 : wrap->content[0], &hr);
        if (!inner)
            return hr;
        content = inner->whole;
    }
    if (!r.Ok())
        return r.error();
    if (!r.AtEnd())
        return CRYPT_E_ASN1_CORRUPT;
    *pFill = [oidText, content](Layout& l) {
        auto* p = l.Struct<CRYPT_CONTENT_INFO>();
        char* o = l.Text(oidText);
        l.Blob(content, p ? &p->Content : nullptr);
        if (p)
            p->pszObjId = o;
    };
    return S_OK;
}

HRESULT DecodeSignerInfo(View data, Filler* pFill)
{
    HRESULT hr = S_OK;
    auto e = der::ReadSingle(data, der::kSequence, &hr);
    if (!e)
        return hr;
    Reader r(e->content);
    auto ver = r.Expect(der::kInteger);
    auto ias = r.Expect(der::kSequence);
    auto hashAlg = r.Expect(der::kSequence);
    if (!r.Ok())
        return r.error();
    auto auth = r.Optional(0xA0);
    auto encAlg = r.Expect(der::kSequence);
    auto sig = r.Expect(der::kOctetString);
    if (!r.Ok())
        return r.error();
    auto unauth = r.Optional(0xA1);
    if (!r.AtEnd())
        return CRYPT_E_ASN1_CORRUPT;
    int64_t version = 0;
    if (!der::IntegerToInt64(ver->content, &version) || version < 0 || version > 0xFFFFFFFF)
        return CRYPT_E_ASN1_CORRUPT;
    Reader ir(ias->content);
    auto issuer = ir.Expect(der::kSequence);
    auto serial = ir.Expect(der::kInteger);
    if (!ir.Ok())
        return ir.error();
    if (!ir.AtEnd() || serial->content.empty())
        return CRYPT_E_ASN1_CORRUPT;
    AlgView h, s;
    std::vector<AttrView> authAttrs, unauthAttrs;
    if (FAILED(hr = ReadAlg(*hashAlg, &h)) || FAILED(hr = ReadAlg(*encAlg, &s)) ||
        (auth && FAILED(hr = ReadAttrs(*auth, &authAttrs))) || (unauth && FAILED(hr = ReadAttrs(*unauth, &unauthAttrs))))
        return hr;
    auto serialLe = std::make_shared<Bytes>(der::ReverseBytes(serial->content));
    View issuerView = issuer->whole, sigView = sig->content;
    *pFill = [=](Layout& l) {
        auto* p = l.Struct<CMSG_SIGNER_INFO>();
        if (p)
            p->dwVersion = static_cast<DWORD>(version);
        l.Blob(issuerView, p ? &p->Issuer : nullptr);
        l.Blob(*serialLe, p ? &p->SerialNumber : nullptr);
        PutAlg(l, h, p ? &p->HashAlgorithm : nullptr);
        PutAlg(l, s, p ? &p->HashEncryptionAlgorithm : nullptr);
        l.Blob(sigView, p ? &p->EncryptedHash : nullptr);
        PutAttrs(l, authAttrs, p ? &p->AuthAttrs : nullptr);
        PutAttrs(l, unauthAttrs, p ? &p->UnauthAttrs : nullptr);
    };
    return S_OK;
}

DWORD RdnTypeOfTag(BYTE tag)
{
    switch (tag)
    {
    case der::kOctetString: return CERT_RDN_OCTET_STRING;
    case der::kNumericString: return CERT_RDN_NUMERIC_STRING;
    case der::kPrintableString: return CERT_RDN_PRINTABLE_STRING;
    case der::kT61String: return CERT_RDN_T61_STRING;
    case der::kVideotexString: return CERT_RDN_VIDEOTEX_STRING;
    case der::kIa5String: return CERT_RDN_IA5_STRING;
    case der::kGraphicString: return CERT_RDN_GRAPHIC_STRING;
    case der::kVisibleString: return CERT_RDN_VISIBLE_STRING;
    case der::kGeneralString: return CERT_RDN_GENERAL_STRING;
    case der::kUniversalString: return CERT_RDN_UNIVERSAL_STRING;
    case der::kBmpString: return CERT_RDN_BMP_STRING;
    case der::kUtf8String: return CERT_RDN_UTF8_STRING;
    default: return 0;
    }
}

HRESULT DecodeAnyString(View data, Filler* pFill)
{
    HRESULT hr = S_OK;
    auto e = der::ReadSingle(data, data.empty() ? 0 : data[0], &hr);
    if (!e)
        return hr;
    DWORD type = RdnTypeOfTag(e->tag);
    if (!type)
        return CRYPT_E_NOT_CHAR_STRING;
    auto value = std::make_shared<Bytes>();
    if (type == CERT_RDN_BMP_STRING || type == CERT_RDN_UTF8_STRING)
    {
        // Wide types come back as UTF-16 text, as Windows hands them out.
        std::u16string w;
        if (type == CERT_RDN_UTF8_STRING)
        {
            w = Utf8ToUtf16(std::string_view(reinterpret_cast<const char*>(e->content.data()), e->content.size()));
        }
        else
        {
            if (e->content.size() % 2)
                return CRYPT_E_ASN1_CORRUPT;
            for (size_t i = 0; i < e->content.size(); i += 2)
                w.push_back(static_cast<char16_t>((e->content[i] << 8) | e->content[i + 1]));
        }
        value->resize(w.size() * 2);
        if (!w.empty())
            std::memcpy(value->data(), w.data(), value->size());
    }
    else if (type == CERT_RDN_UNIVERSAL_STRING)
    {
        if (e->content.size() % 4)
            return CRYPT_E_ASN1_CORRUPT;
        for (size_t i = 0; i < e->content.size(); i += 4)
        {
            DWORD cp = (static_cast<DWORD>(e->content[i]) << 24) | (e->content[i + 1] << 16) |
                       (e->content[i + 2] << 8) | e->content[i + 3];
            BYTE le[4];
            std::memcpy(le, &cp, 4);
            value->insert(value->end(), le, le + 4);
        }
    }
    else
    {
        value->assign(e->content.begin(), e->content.end());
    }
    *pFill = [type, value](Layout& l) {
        auto* p = l.Struct<CERT_NAME_VALUE>();
        // Texts keep a terminator after the counted bytes.
        BYTE* data = l.Bytes(*value, true);
        if (p)
        {
            p->dwValueType = type;
            p->Value.cbData = static_cast<DWORD>(value->size());
            p->Value.pbData = data;
        }
    };
    return S_OK;
}

HRESULT DecodePublicKeyInfo(View data, Filler* pFill)
{
    HRESULT hr = S_OK;
    auto e = der::ReadSingle(data, der::kSequence, &hr);
    if (!e)
        return hr;
    Reader r(e->content);
    auto alg = r.Expect(der::kSequence);
    auto bits = r.Expect(der::kBitString);
    if (!r.Ok())
        return r.error();
    if (!r.AtEnd())
        return CRYPT_E_ASN1_CORRUPT;
    AlgView a;
    View key;
    DWORD unused = 0;
    if (FAILED(hr = ReadAlg(*alg, &a)) || FAILED(hr = ReadBits(*bits, &key, &unused)))
        return hr;
    *pFill = [a, key, unused](Layout& l) {
        auto* p = l.Struct<CERT_PUBLIC_KEY_INFO>();
        PutAlg(l, a, p ? &p->Algorithm : nullptr);
        PutBits(l, key, unused, p ? &p->PublicKey : nullptr);
    };
    return S_OK;
}

// RSAPublicKey DER to PUBLICKEYBLOB (CALG_RSA_KEYX, modulus least significant byte first).
HRESULT DecodeRsaPublicKey(View data, Filler* pFill)
{
    HRESULT hr = S_OK;
    auto e = der::ReadSingle(data, der::kSequence, &hr);
    if (!e)
        return hr;
    Reader r(e->content);
    auto n = r.Expect(der::kInteger);
    auto x = r.Expect(der::kInteger);
    if (!r.Ok())
        return r.error();
    if (!r.AtEnd())
        return CRYPT_E_ASN1_CORRUPT;
    View mod = n->content;
    while (mod.size() > 1 && mod[0] == 0)
        mod = mod.subspan(1);
    int64_t exp = 0;
    if (mod.empty() || (mod[0] & 0x80 && n->content[0] != 0) || !der::IntegerToInt64(x->content, &exp) || exp <= 0 ||
        exp > 0xFFFFFFFF || mod.size() > 16384)
        return CRYPT_E_ASN1_CORRUPT;
    auto blob = std::make_shared<Bytes>(sizeof(BLOBHEADER) + sizeof(RSAPUBKEY));
    BLOBHEADER head{PUBLICKEYBLOB, CUR_BLOB_VERSION, 0, CALG_RSA_KEYX};
    RSAPUBKEY rsa{0x31415352, static_cast<DWORD>(mod.size() * 8), static_cast<DWORD>(exp)};
    std::memcpy(blob->data(), &head, sizeof head);
    std::memcpy(blob->data() + sizeof head, &rsa, sizeof rsa);
    der::Append(*blob, der::ReverseBytes(mod));
    *pFill = [blob](Layout& l) { l.Bytes(*blob); };
    return S_OK;
}

HRESULT DecodeStruct(LPCSTR type, View data, Filler* pFill)
{
    switch (StructTypeOf(type))
    {
    case StructType::KeyUsage:
    case StructType::Bits:
        return DecodeKeyUsageOrBits(data, pFill);
    case StructType::OctetString:
        return DecodeOctets(data, pFill);
    case StructType::AlgorithmId:
        return DecodeAlg(data, pFill);
    case StructType::Attribute:
        return DecodeAttr(data, pFill);
    case StructType::ContentInfo:
        return DecodeContentInfo(data, pFill);
    case StructType::SignerInfo:
        return DecodeSignerInfo(data, pFill);
    case StructType::AnyString:
        return DecodeAnyString(data, pFill);
    case StructType::PublicKeyInfo:
        return DecodePublicKeyInfo(data, pFill);
    case StructType::RsaPublicKeyBlob:
        return DecodeRsaPublicKey(data, pFill);
    case StructType::Unknown:
        break;
    }
    return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
}
} // namespace
} // namespace qm::crypt

using namespace qm::crypt;

QMAPI BOOL WINAPI CryptDecodeObjectEx(DWORD dwCertEncodingType, LPCSTR lpszStructType, const BYTE* pbEncoded,
                                      DWORD cbEncoded, DWORD dwFlags, PCRYPT_DECODE_PARA pDecodePara,
                                      void* pvStructInfo, DWORD* pcbStructInfo)
{
    if (!pcbStructInfo)
        return Fail(static_cast<DWORD>(E_INVALIDARG));
    if (!AsnEncoding(dwCertEncodingType) || StructTypeOf(lpszStructType) == StructType::Unknown)
        return Fail(static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    if (!pbEncoded && cbEncoded)
        return Fail(static_cast<DWORD>(E_INVALIDARG));
    if (cbEncoded == 0)
        return Fail(CRYPT_E_ASN1_EOD);
    Filler fill;
    HRESULT hr = DecodeStruct(lpszStructType, View(pbEncoded, cbEncoded), &fill);
    if (FAILED(hr))
        return Fail(hr);
    Layout measure(nullptr);
    fill(measure);
    size_t size = measure.Size();

    BYTE* block = nullptr;
    if (dwFlags & CRYPT_DECODE_ALLOC_FLAG)
    {
        if (!pvStructInfo)
            return Fail(static_cast<DWORD>(E_INVALIDARG));
        void* p = pDecodePara && pDecodePara->pfnAlloc ? pDecodePara->pfnAlloc(size) : LocalAlloc(LPTR, size);
        if (!p)
            return Fail(static_cast<DWORD>(E_OUTOFMEMORY));
        std::memset(p, 0, size);
        block = static_cast<BYTE*>(p);
        *static_cast<void**>(pvStructInfo) = p;
    }
    else
    {
        if (!pvStructInfo)
        {
            *pcbStructInfo = static_cast<DWORD>(size);
            return TRUE;
        }
        if (*pcbStructInfo < size)
        {
            *pcbStructInfo = static_cast<DWORD>(size);
            return Fail(static_cast<DWORD>(ERROR_MORE_DATA));
        }
        block = static_cast<BYTE*>(pvStructInfo);
        std::memset(block, 0, size);
    }
    Layout layout(block);
    fill(layout);
    *pcbStructInfo = static_cast<DWORD>(size);
    return TRUE;
}

QMAPI BOOL WINAPI CryptDecodeObject(DWORD dwCertEncodingType, LPCSTR lpszStructType, const BYTE* pbEncoded,
                                    DWORD cbEncoded, DWORD dwFlags, void* pvStructInfo, DWORD* pcbStructInfo)
{
    return CryptDecodeObjectEx(dwCertEncodingType, lpszStructType, pbEncoded, cbEncoded,
                               dwFlags & ~DWORD(CRYPT_DECODE_ALLOC_FLAG), nullptr, pvStructInfo, pcbStructInfo);
}
