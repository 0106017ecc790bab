#include "struct_types.h"

#include <cstring>

namespace qm::crypt
{
namespace
{
struct Known
{
    LPCSTR id;
    StructType type;
};
const Known kPredefined[] = {
    {X509_KEY_USAGE, StructType::KeyUsage},
    {X509_OCTET_STRING, StructType::OctetString},
    {X509_BITS, StructType::Bits},
    {X509_ALGORITHM_IDENTIFIER, StructType::AlgorithmId},
    {PKCS_ATTRIBUTE, StructType::Attribute},
    {PKCS_CONTENT_INFO, StructType::ContentInfo},
    {PKCS7_SIGNER_INFO, StructType::SignerInfo},
    {X509_ANY_STRING, StructType::AnyString},
    {X509_PUBLIC_KEY_INFO, StructType::PublicKeyInfo},
    {RSA_CSP_PUBLICKEYBLOB, StructType::RsaPublicKeyBlob},
};
const Known kByOid[] = {
    {szOID_KEY_USAGE, StructType::KeyUsage},
    {szOID_SUBJECT_KEY_IDENTIFIER, StructType::OctetString},
};
} // namespace

StructType StructTypeOf(LPCSTR type)
{
    if (!type)
        return StructType::Unknown;
    if (reinterpret_cast<ULONG_PTR>(type) <= 0xFFFF)
    {
        for (const auto& k : kPredefined)
            if (k.id == type)
                return k.type;
        return StructType::Unknown;
    }
    for (const auto& k : kByOid)
        if (std::strcmp(type, k.id) == 0)
            return k.type;
    return StructType::Unknown;
}

bool AsnEncoding(DWORD enc)
{
    return (enc & CERT_ENCODING_TYPE_MASK) == X509_ASN_ENCODING ||
           (enc & CMSG_ENCODING_TYPE_MASK) == PKCS_7_ASN_ENCODING;
}
} // namespace qm::crypt
