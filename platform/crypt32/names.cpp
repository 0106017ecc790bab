// Distinguished names as text: CertNameToStrW and CertGetNameStringW, with Windows'
// attribute keys, separators and quoting.
#include <algorithm>
#include <cstring>

#include "store.h"

namespace qm::crypt
{
struct NameAttr
{
    std::string oid;
    BYTE tag = 0;
    View value;
    View whole;
};
using Rdn = std::vector<NameAttr>;

// Splits an encoded Name into its RDNs and attributes.
HRESULT ParseName(View name, std::vector<Rdn>* pOut)
{
    using der::Reader;
    HRESULT hr = S_OK;
    auto seq = der::ReadSingle(name, der::kSequence, &hr);
    if (!seq)
        return hr;
    Reader r(seq->content);
    while (!r.AtEnd())
    {
        auto set = r.Expect(der::kSet);
        if (!set)
            return r.error();
        Rdn rdn;
        Reader sr(set->content);
        while (!sr.AtEnd())
        {
            auto atv = sr.Expect(der::kSequence);
            if (!atv)
                return sr.error();
            Reader ar(atv->content);
            auto oid = ar.Expect(der::kOid);
            auto val = ar.Next();
            if (!ar.Ok())
                return ar.error();
            NameAttr a;
            if (!ar.AtEnd() || !der::OidFromContent(oid->content, &a.oid))
                return CRYPT_E_ASN1_CORRUPT;
            a.tag = val->tag;
            a.value = val->content;
            a.whole = val->whole;
            rdn.push_back(a);
        }
        pOut->push_back(std::move(rdn));
    }
    return S_OK;
}

HRESULT CheckName(View name)
{
    std::vector<Rdn> rdns;
    return ParseName(name, &rdns);
}

// The value of a string attribute as UTF-16; false for values that are not strings.
bool AttrText(const NameAttr& a, std::u16string* pOut)
{
    switch (a.tag)
    {
    case der::kUtf8String:
        *pOut = Utf8ToUtf16(std::string_view(reinterpret_cast<const char*>(a.value.data()), a.value.size()));
        return true;
    case der::kPrintableString:
    case der::kIa5String:
    case der::kNumericString:
    case der::kVisibleString:
    case der::kT61String:
    case der::kVideotexString:
    case der::kGraphicString:
    case der::kGeneralString:
        *pOut = Latin1ToUtf16(a.value);
        return true;
    case der::kBmpString:
        pOut->clear();
        for (size_t i = 0; i + 1 < a.value.size(); i += 2)
            pOut->push_back(static_cast<char16_t>((a.value[i] << 8) | a.value[i + 1]));
        return true;
    case der::kUniversalString: {
        std::u16string out;
        for (size_t i = 0; i + 3 < a.value.size(); i += 4)
        {
            char32_t cp = (static_cast<char32_t>(a.value[i]) << 24) | (a.value[i + 1] << 16) | (a.value[i + 2] << 8) |
                          a.value[i + 3];
            if (cp >= 0x10000 && cp < 0x110000)
            {
                cp -= 0x10000;
                out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
                out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
            }
            else
            {
                out.push_back(static_cast<char16_t>(cp < 0x110000 ? cp : 0xFFFD));
            }
        }
        *pOut = out;
        return true;
    }
    default:
        return false;
    }
}

namespace
{
struct X500Key
{
    const char* oid;
    const char16_t* key;
};

// The keys Windows writes in X.500 name strings.
const X500Key kKeys[] = {
    {szOID_COMMON_NAME, u"CN"},
    {szOID_SUR_NAME, u"SN"},
    {szOID_DEVICE_SERIAL_NUMBER, u"SERIALNUMBER"},
    {szOID_COUNTRY_NAME, u"C"},
    {szOID_LOCALITY_NAME, u"L"},
    {szOID_STATE_OR_PROVINCE_NAME, u"S"},
    {szOID_STREET_ADDRESS, u"STREET"},
    {szOID_ORGANIZATION_NAME, u"O"},
    {szOID_ORGANIZATIONAL_UNIT_NAME, u"OU"},
    {szOID_TITLE, u"T"},
    {szOID_DESCRIPTION, u"Description"},
    {szOID_POSTAL_CODE, u"PostalCode"},
    {szOID_POST_OFFICE_BOX, u"POBox"},
    {szOID_TELEPHONE_NUMBER, u"Phone"},
    {szOID_X21_ADDRESS, u"X21Address"},
    {szOID_GIVEN_NAME, u"G"},
    {szOID_INITIALS, u"I"},
    {szOID_DN_QUALIFIER, u"dnQualifier"},
    {szOID_DOMAIN_COMPONENT, u"DC"},
    {szOID_RSA_emailAddr, u"E"},
    {szOID_RSA_unstructName, u"UnstructuredName"},
    {szOID_RSA_unstructAddr, u"UnstructuredAddress"},
};

std::u16string KeyFor(const std::string& oid, DWORD strType)
{
    if (strType == CERT_X500_NAME_STR)
    {
        for (const auto& k : kKeys)
            if (oid == k.oid)
                return k.key;
        return u"OID." + Utf8ToUtf16(oid);
    }
    return Utf8ToUtf16(oid);
}

bool NeedsQuotes(const std::u16string& v)
{
    if (v.empty())
        return false;
    auto space = [](char16_t c) { return c == u' ' || c == u'\t'; };
    if (space(v.front()) || space(v.back()))
        return true;
    for (char16_t c : v)
        if (c == u',' || c == u'+' || c == u'=' || c == u'"' || c == u'\n' || c == u'\r' || c == u'<' ||
            c == u'>' || c == u'#' || c == u';')
            return true;
    return false;
}

// The value as the name-string functions write it: values that are no strings as "#" and
// the hex of their encoding.
std::u16string AttrString(const NameAttr& a)
{
    std::u16string v;
    if (!AttrText(a, &v))
        v = u"#" + HexUpper(a.whole);
    return v;
}

std::u16string ValueText(const NameAttr& a, bool quoting)
{
    std::u16string v;
    if (!AttrText(a, &v))
        return AttrString(a);
    if (!quoting || !NeedsQuotes(v))
        return v;
    std::u16string q = u"\"";
    for (char16_t c : v)
    {
        if (c == u'"')
            q += u"\"\"";
        else
            q.push_back(c);
    }
    q += u"\"";
    return q;
}

DWORD CopyText(const std::u16string& text, LPWSTR psz, DWORD csz)
{
    DWORD need = static_cast<DWORD>(text.size() + 1);
    if (!psz || csz == 0)
        return need;
    DWORD n = std::min<DWORD>(need - 1, csz - 1);
    std::memcpy(psz, text.data(), n * sizeof(WCHAR));
    psz[n] = 0;
    return n + 1;
}
} // namespace

HRESULT NameToString(View name, DWORD dwStrType, std::u16string* pOut)
{
    std::vector<Rdn> rdns;
    HRESULT hr = ParseName(name, &rdns);
    if (FAILED(hr))
        return hr;
    DWORD type = dwStrType & 0xFFFF;
    if (type != CERT_SIMPLE_NAME_STR && type != CERT_OID_NAME_STR && type != CERT_X500_NAME_STR)
        return E_INVALIDARG;
    const char16_t* rdnSep = u", ";
    if (dwStrType & CERT_NAME_STR_SEMICOLON_FLAG)
        rdnSep = u"; ";
    else if (dwStrType & CERT_NAME_STR_CRLF_FLAG)
        rdnSep = u"\r\n";
    const char16_t* attrSep = (dwStrType & CERT_NAME_STR_NO_PLUS_FLAG) ? u" " : u" + ";
    bool quoting = !(dwStrType & CERT_NAME_STR_NO_QUOTING_FLAG);
    if (dwStrType & CERT_NAME_STR_REVERSE_FLAG)
        std::reverse(rdns.begin(), rdns.end());
    std::u16string out;
    for (size_t i = 0; i < rdns.size(); ++i)
    {
        if (i)
            out += rdnSep;
        for (size_t j = 0; j < rdns[i].size(); ++j)
        {
            if (j)
                out += attrSep;
            const NameAttr& a = rdns[i][j];
            if (type != CERT_SIMPLE_NAME_STR)
                out += KeyFor(a.oid, type) + u"=";
            out += ValueText(a, quoting);
        }
    }
    *pOut = std::move(out);
    return S_OK;
}

// The first value of an attribute type in a name, as text.
bool FindAttrText(View name, const char* oid, std::u16string* pOut)
{
    std::vector<Rdn> rdns;
    if (FAILED(ParseName(name, &rdns)))
        return false;
    for (const auto& rdn : rdns)
        for (const auto& a : rdn)
            if (a.oid == oid)
            {
                *pOut = AttrString(a);
                return true;
            }
    return false;
}

DWORD CopyNameText(const std::u16string& text, LPWSTR psz, DWORD csz) { return CopyText(text, psz, csz); }
} // namespace qm::crypt

using namespace qm::crypt;
namespace der = qm::der;

QMAPI DWORD WINAPI CertNameToStrW(DWORD dwCertEncodingType, PCERT_NAME_BLOB pName, DWORD dwStrType, LPWSTR psz,
                                  DWORD csz)
{
    std::u16string text;
    if (!pName)
    {
        SetLastError(static_cast<DWORD>(E_INVALIDARG));
        return CopyText(text, psz, csz);
    }
    HRESULT hr = NameToString(View(pName->pbData, pName->cbData), dwStrType, &text);
    if (FAILED(hr))
    {
        SetLastError(static_cast<DWORD>(hr));
        text.clear();
    }
    return CopyText(text, psz, csz);
}

namespace
{
// rfc822Name [1] or dNSName [2] entries of the alternative-name extension.
bool AltName(const CERT_INFO* info, bool issuer, BYTE choice, std::u16string* pOut)
{
    const char* oid = issuer ? szOID_ISSUER_ALT_NAME2 : szOID_SUBJECT_ALT_NAME2;
    for (DWORD i = 0; i < info->cExtension; ++i)
    {
        if (std::strcmp(info->rgExtension[i].pszObjId, oid) != 0)
            continue;
        HRESULT hr = S_OK;
        auto seq = der::ReadSingle(View(info->rgExtension[i].Value.pbData, info->rgExtension[i].Value.cbData),
                                   der::kSequence, &hr);
        if (!seq)
            return false;
        der::Reader r(seq->content);
        while (!r.AtEnd())
        {
            auto gn = r.Next();
            if (!gn)
                return false;
            if (gn->tag == (0x80 | choice))
            {
                *pOut = Latin1ToUtf16(gn->content);
                return true;
            }
        }
    }
    return false;
}
} // namespace

QMAPI DWORD WINAPI CertGetNameStringW(PCCERT_CONTEXT pCertContext, DWORD dwType, DWORD dwFlags, void* pvTypePara,
                                      LPWSTR pszNameString, DWORD cchNameString)
{
    std::u16string text;
    CertElement* e = ElementOf(pCertContext);
    if (!e)
    {
        SetLastError(static_cast<DWORD>(E_INVALIDARG));
        return CopyText(text, pszNameString, cchNameString);
    }
    bool issuer = (dwFlags & CERT_NAME_ISSUER_FLAG) != 0;
    View name = issuer ? View(e->info.Issuer.pbData, e->info.Issuer.cbData)
                       : View(e->info.Subject.pbData, e->info.Subject.cbData);
    switch (dwType)
    {
    case CERT_NAME_EMAIL_TYPE:
        if (!AltName(&e->info, issuer, 1, &text))
            FindAttrText(name, szOID_RSA_emailAddr, &text);
        break;
    case CERT_NAME_RDN_TYPE: {
        DWORD strType = pvTypePara ? *static_cast<DWORD*>(pvTypePara) : CERT_X500_NAME_STR;
        if (FAILED(NameToString(name, strType, &text)))
            text.clear();
        break;
    }
    case CERT_NAME_ATTR_TYPE:
        if (pvTypePara)
            FindAttrText(name, static_cast<const char*>(pvTypePara), &text);
        break;
    case CERT_NAME_FRIENDLY_DISPLAY_TYPE: {
        DWORD cb = 0;
        if (!issuer && CertGetCertificateContextProperty(pCertContext, CERT_FRIENDLY_NAME_PROP_ID, nullptr, &cb) &&
            cb >= 2)
        {
            std::u16string fn(cb / 2, 0);
            CertGetCertificateContextProperty(pCertContext, CERT_FRIENDLY_NAME_PROP_ID, fn.data(), &cb);
            fn.resize(WideLength(fn.c_str()));
            if (!fn.empty())
            {
                text = fn;
                break;
            }
        }
        [[fallthrough]];
    }
    case CERT_NAME_SIMPLE_DISPLAY_TYPE: {
        // Windows' order: common name, organizational unit, organization, e-mail address,
        // then the e-mail address of the alternative name.
        const char* order[] = {szOID_COMMON_NAME, szOID_ORGANIZATIONAL_UNIT_NAME, szOID_ORGANIZATION_NAME,
                               szOID_RSA_emailAddr};
        bool found = false;
        for (const char* oid : order)
            if ((found = FindAttrText(name, oid, &text)))
                break;
        if (!found && !AltName(&e->info, issuer, 1, &text))
        {
            // Lacking all of those, the first attribute of the name.
            std::vector<Rdn> rdns;
            if (SUCCEEDED(ParseName(name, &rdns)) && !rdns.empty() && !rdns[0].empty())
                text = AttrString(rdns[0][0]);
        }
        break;
    }
    case CERT_NAME_DNS_TYPE:
        if (!AltName(&e->info, issuer, 2, &text))
            FindAttrText(name, szOID_COMMON_NAME, &text);
        break;
    default:
        break;
    }
    return CopyText(text, pszNameString, cchNameString);
}

QMAPI BOOL WINAPI CertCompareCertificateName(DWORD dwCertEncodingType, PCERT_NAME_BLOB pCertName1,
                                             PCERT_NAME_BLOB pCertName2)
{
    if (!pCertName1 || !pCertName2)
        return Fail(static_cast<DWORD>(E_INVALIDARG));
    return pCertName1->cbData == pCertName2->cbData &&
           (pCertName1->cbData == 0 || std::memcmp(pCertName1->pbData, pCertName2->pbData, pCertName1->cbData) == 0);
}
