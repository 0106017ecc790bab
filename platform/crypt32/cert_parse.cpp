// DER certificate to CERT_INFO. OpenSSL decides whether the bytes are a certificate at all;
// the fields are then taken from the DER itself, so that names and serial numbers are the
// certificate's own bytes.
#include "openssl_glue.h"
#include "store.h"

namespace qm::crypt
{
namespace
{
using der::Element;
using der::Reader;

bool ParseAlgorithm(const Element& seq, std::string* pOid, CRYPT_OBJID_BLOB* pParams, Reader& outer)
{
    Reader r(seq.content);
    auto oid = r.Expect(der::kOid);
    if (!oid || !der::OidFromContent(oid->content, pOid))
    {
        outer.Fail(r.Ok() ? CRYPT_E_ASN1_CORRUPT : r.error());
        return false;
    }
    pParams->cbData = 0;
    pParams->pbData = nullptr;
    if (!r.AtEnd())
    {
        auto params = r.Next();
        if (!params)
        {
            outer.Fail(r.error());
            return false;
        }
        pParams->cbData = static_cast<DWORD>(params->whole.size());
        pParams->pbData = const_cast<BYTE*>(params->whole.data());
    }
    return true;
}

bool ParseBits(const Element& e, CRYPT_BIT_BLOB* pOut)
{
    if (e.content.empty() || e.content[0] > 7 || (e.content.size() == 1 && e.content[0] != 0))
        return false;
    pOut->cUnusedBits = e.content[0];
    pOut->cbData = static_cast<DWORD>(e.content.size() - 1);
    pOut->pbData = pOut->cbData ? const_cast<BYTE*>(e.content.data() + 1) : nullptr;
    return true;
}

HRESULT ParseTbs(CertElement* c)
{
    Reader top(c->encoded);
    auto cert = top.Expect(der::kSequence);
    if (!cert)
        return top.error();
    if (!top.AtEnd())
        return CRYPT_E_ASN1_CORRUPT;
    Reader certR(cert->content);
    auto tbs = certR.Expect(der::kSequence);
    auto outerAlg = certR.Expect(der::kSequence);
    auto sig = certR.Expect(der::kBitString);
    if (!certR.Ok())
        return certR.error();

    Reader r(tbs->content);
    CERT_INFO& info = c->info;
    info.dwVersion = CERT_V1;
    if (auto ver = r.Optional(0xA0))
    {
        HRESULT hr = S_OK;
        auto vi = der::ReadSingle(ver->content, der::kInteger, &hr);
        int64_t v = 0;
        if (!vi || !der::IntegerToInt64(vi->content, &v) || v < 0 || v > 2)
            return vi ? CRYPT_E_ASN1_CORRUPT : hr;
        info.dwVersion = static_cast<DWORD>(v);
    }
    auto serial = r.Expect(der::kInteger);
    auto sigAlg = r.Expect(der::kSequence);
    auto issuer = r.Expect(der::kSequence);
    auto validity = r.Expect(der::kSequence);
    auto subject = r.Expect(der::kSequence);
    auto spki = r.Expect(der::kSequence);
    if (!r.Ok())
        return r.error();
    if (serial->content.empty())
        return CRYPT_E_ASN1_CORRUPT;
    c->serial = der::ReverseBytes(serial->content);
    info.SerialNumber.cbData = static_cast<DWORD>(c->serial.size());
    info.SerialNumber.pbData = c->serial.data();

    if (!ParseAlgorithm(*sigAlg, &c->sigOid, &info.SignatureAlgorithm.Parameters, r))
        return r.error();
    info.SignatureAlgorithm.pszObjId = c->sigOid.data();

    info.Issuer.cbData = static_cast<DWORD>(issuer->whole.size());
    info.Issuer.pbData = const_cast<BYTE*>(issuer->whole.data());
    info.Subject.cbData = static_cast<DWORD>(subject->whole.size());
    info.Subject.pbData = const_cast<BYTE*>(subject->whole.data());

    Reader vr(validity->content);
    auto nb = vr.Next();
    auto na = vr.Next();
    if (!vr.Ok())
        return vr.error();
    if (!der::TimeToFileTime(nb->tag, nb->content, &info.NotBefore) ||
        !der::TimeToFileTime(na->tag, na->content, &info.NotAfter))
        return CRYPT_E_ASN1_CORRUPT;

    Reader pr(spki->content);
    auto spkiAlg = pr.Expect(der::kSequence);
    auto spkiBits = pr.Expect(der::kBitString);
    if (!pr.Ok())
        return pr.error();
    if (!ParseAlgorithm(*spkiAlg, &c->spkiOid, &info.SubjectPublicKeyInfo.Algorithm.Parameters, pr))
        return pr.error();
    info.SubjectPublicKeyInfo.Algorithm.pszObjId = c->spkiOid.data();
    if (!ParseBits(*spkiBits, &info.SubjectPublicKeyInfo.PublicKey))
        return CRYPT_E_ASN1_CORRUPT;

    if (auto iuid = r.Optional(0x81))
    {
        if (!ParseBits(*iuid, &info.IssuerUniqueId))
            return CRYPT_E_ASN1_CORRUPT;
    }
    if (auto suid = r.Optional(0x82))
    {
        if (!ParseBits(*suid, &info.SubjectUniqueId))
            return CRYPT_E_ASN1_CORRUPT;
    }
    if (auto extWrap = r.Optional(0xA3))
    {
        HRESULT hr = S_OK;
        auto extSeq = der::ReadSingle(extWrap->content, der::kSequence, &hr);
        if (!extSeq)
            return hr;
        Reader er(extSeq->content);
        std::vector<der::Element> items;
        while (!er.AtEnd())
        {
            auto ext = er.Expect(der::kSequence);
            if (!ext)
                return er.error();
            items.push_back(*ext);
        }
        c->extOids.resize(items.size());
        c->exts.resize(items.size());
        for (size_t i = 0; i < items.size(); ++i)
        {
            Reader xr(items[i].content);
            auto oid = xr.Expect(der::kOid);
            auto crit = xr.Optional(der::kBoolean);
            auto val = xr.Expect(der::kOctetString);
            if (!xr.Ok())
                return xr.error();
            if (!xr.AtEnd() || !der::OidFromContent(oid->content, &c->extOids[i]) ||
                (crit && crit->content.size() != 1))
                return CRYPT_E_ASN1_CORRUPT;
            CERT_EXTENSION& x = c->exts[i];
            x.fCritical = crit && crit->content[0] ? TRUE : FALSE;
            x.Value.cbData = static_cast<DWORD>(val->content.size());
            x.Value.pbData = const_cast<BYTE*>(val->content.data());
        }
        for (size_t i = 0; i < items.size(); ++i)
            c->exts[i].pszObjId = c->extOids[i].data();
        info.cExtension = static_cast<DWORD>(c->exts.size());
        info.rgExtension = c->exts.empty() ? nullptr : c->exts.data();
    }
    if (!r.AtEnd())
        return CRYPT_E_ASN1_CORRUPT;
    (void)outerAlg;
    (void)sig;
    return S_OK;
}
// The certificate with both names replaced by empty ones. OpenSSL refuses name values that
// are not strings (an OCTET STRING, say); Windows keeps them as encoded blobs. Such a
// certificate is checked by OpenSSL in this form, its names by the name parser.
Bytes WithEmptyNames(const CertElement& c)
{
    Reader top(c.encoded);
    auto cert = top.Expect(der::kSequence);
    Reader certR(cert->content);
    auto tbs = certR.Expect(der::kSequence);
    Bytes tbsBody;
    Reader r(tbs->content);
    while (!r.AtEnd())
    {
        auto e = r.Next();
        if (!e)
            break;
        bool name = e->whole.data() == c.info.Issuer.pbData || e->whole.data() == c.info.Subject.pbData;
        der::Append(tbsBody, name ? der::Tlv(der::kSequence, View()) : Bytes(e->whole.begin(), e->whole.end()));
    }
    Bytes body = der::Tlv(der::kSequence, tbsBody);
    while (!certR.AtEnd())
    {
        auto e = certR.Next();
        if (!e)
            break;
        der::Append(body, e->whole);
    }
    return der::Tlv(der::kSequence, body);
}

bool NamesParse(const CertElement& c)
{
    return SUCCEEDED(CheckName(View(c.info.Issuer.pbData, c.info.Issuer.cbData))) &&
           SUCCEEDED(CheckName(View(c.info.Subject.pbData, c.info.Subject.cbData)));
}
} // namespace

HRESULT CreateElement(View data, CertElement** ppOut)
{
    *ppOut = nullptr;
    if (data.empty())
        return CRYPT_E_ASN1_EOD;
    // OpenSSL must accept it as a certificate.
    bool whole = ossl::IsCertificate(data);

    auto c = std::make_unique<CertElement>();
    c->encoded.assign(data.begin(), data.end());
    HRESULT hr = ParseTbs(c.get());
    if (FAILED(hr))
        return hr;
    if (!whole && !(NamesParse(*c) && ossl::IsCertificate(WithEmptyNames(*c))))
        return CRYPT_E_ASN1_CORRUPT;
    c->ctx.dwCertEncodingType = X509_ASN_ENCODING;
    c->ctx.pbCertEncoded = c->encoded.data();
    c->ctx.cbCertEncoded = static_cast<DWORD>(c->encoded.size());
    c->ctx.pCertInfo = &c->info;
    c->ctx.hCertStore = nullptr;
    *ppOut = c.release();
    return S_OK;
}
} // namespace qm::crypt
