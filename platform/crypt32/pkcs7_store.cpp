// The certificates of a PKCS#7 SignedData message, for the PKCS7 store provider.
#include <cstring>

#include "store.h"

namespace qm::crypt
{
HRESULT ParsePkcs7Certificates(View data, std::vector<Bytes>* pOut)
{
    using der::Reader;
    HRESULT hr = S_OK;
    auto ci = der::ReadSingle(data, der::kSequence, &hr);
    if (!ci)
        return hr;
    Reader r(ci->content);
    auto oid = r.Expect(der::kOid);
    auto explicitContent = r.Expect(0xA0);
    if (!r.Ok())
        return r.error();
    std::string oidText;
    if (!der::OidFromContent(oid->content, &oidText))
        return CRYPT_E_ASN1_CORRUPT;
    if (oidText != szOID_RSA_signedData)
        return CRYPT_E_INVALID_MSG_TYPE;
    auto sd = der::ReadSingle(explicitContent->content, der::kSequence, &hr);
    if (!sd)
        return hr;
    Reader s(sd->content);
    s.Expect(der::kInteger);
    s.Expect(der::kSet);
    s.Expect(der::kSequence);
    if (!s.Ok())
        return s.error();
    if (auto certs = s.Optional(0xA0))
    {
        Reader c(certs->content);
        while (!c.AtEnd())
        {
            auto cert = c.Next();
            if (!cert)
                return c.error();
            // Only plain certificates; attribute certificates and others are left out.
            if (cert->tag == der::kSequence)
                pOut->emplace_back(cert->whole.begin(), cert->whole.end());
        }
    }
    s.Optional(0xA1);
    s.Expect(der::kSet);
    if (!s.Ok())
        return s.error();
    if (!s.AtEnd())
        return CRYPT_E_ASN1_CORRUPT;
    return S_OK;
}
} // namespace qm::crypt
