// Object table entries of the SM algorithms.
#include "smcrypto/objects.h"

#include <mutex>

#include <openssl/evp.h>
#include <openssl/objects.h>

namespace
{

struct OBJECT_ROW
{
    int SM_OBJECT_IDS::*pnid;
    const char *pszOid;
    const char *pszShortName;
    const char *pszLongName;
};

const OBJECT_ROW c_rgObjects[] = {
    {&SM_OBJECT_IDS::nidSm2Curve, "1.2.156.10197.1.301", "ChinaSM2256", "prime256v1SM2"},
    {&SM_OBJECT_IDS::nidSm2TestCurve, "1.2.156.10197.1.888", "ChinaSM2TEST256", "prime256v1SM2TEST"},
    {&SM_OBJECT_IDS::nidSm3, "1.2.156.10197.1.401", "sm3", "ChinaSM3"},
    {&SM_OBJECT_IDS::nidSm4Cbc, "1.2.156.10197.1.104", "sm4-cbc", "ChinaSM4-CBC"},
    {&SM_OBJECT_IDS::nidSm2Sm3, "1.2.156.10197.1.501", "sm2-sm3", "ChinaSM2withSM3"},
    {&SM_OBJECT_IDS::nidSm1Cbc, "1.2.156.10197.1.102", "sm1-cbc", "ChinaSM1-CBC"},
    {&SM_OBJECT_IDS::nidZuc, "1.2.156.10197.1.105", "zuc", "ChinaZUC"},
    {&SM_OBJECT_IDS::nidSm2Sm3Pkcs7, "1.2.156.10197.1.301.1", "sm2-sm3-pkcs7", "ChinaSM2withSM3PKCS7"},
    {&SM_OBJECT_IDS::nidSmPkcs7Data, "1.2.156.10197.6.1.4.2.1", "sm-pkcs7-data", "SM-pkcs7-data"},
    {&SM_OBJECT_IDS::nidSmPkcs7Signed, "1.2.156.10197.6.1.4.2.2", "sm-pkcs7-signedData", "SM-pkcs7-signed"},
};

int FindOrCreate(const OBJECT_ROW &row)
{
    ASN1_OBJECT *pObj = OBJ_txt2obj(row.pszOid, 1);
    int nid = pObj ? OBJ_obj2nid(pObj) : NID_undef;
    ASN1_OBJECT_free(pObj);
    if (nid != NID_undef)
        return nid;
    nid = OBJ_create(row.pszOid, row.pszShortName, row.pszLongName);
    if (nid == NID_undef)
    {
        // A name already taken by another object: keep the identifier with the long name only.
        nid = OBJ_create(row.pszOid, nullptr, row.pszLongName);
    }
    return nid;
}

SM_OBJECT_IDS g_Ids;
std::once_flag g_Once;

} // namespace

const SM_OBJECT_IDS &SmObjectIds()
{
    std::call_once(g_Once, [] {
        for (const OBJECT_ROW &row : c_rgObjects)
            g_Ids.*row.pnid = FindOrCreate(row);
        // PKCS#7 signing looks the signature identifier up by digest and key type.
        OBJ_add_sigid(g_Ids.nidSm2Sm3Pkcs7, g_Ids.nidSm3, EVP_PKEY_EC);
    });
    return g_Ids;
}
