// SM2_PRIVATEKEY decoding.
#include "smcrypto/sm2_private_key.h"

#include <openssl/err.h>
#include <openssl/x509.h>

#include "sm2_internal.h"
#include "smcrypto/sm2.h"
#include "smcrypto/sm2_asn1.h"

namespace
{

constexpr int SM_R_MISSING_PRIVATE_KEY = 125;

EC_GROUP *GroupFromParameters(const ASN1_TYPE *pParams)
{
    if (!pParams)
        return nullptr;
    if (pParams->type == V_ASN1_OBJECT)
        return SmCurveNewByNid(OBJ_obj2nid(pParams->value.object));
    if (pParams->type != V_ASN1_SEQUENCE)
        return nullptr;
    // Explicit parameters: recognised as one of our curves when they are one.
    const unsigned char *pb = pParams->value.sequence->data;
    EC_GROUP *pGroup = d2i_ECPKParameters(nullptr, &pb, pParams->value.sequence->length);
    if (!pGroup)
        return nullptr;
    int nNid = SmCurveNidOfGroup(pGroup);
    if (nNid == SmNidSm2Curve() || nNid == SmNidSm2TestCurve())
    {
        EC_GROUP_free(pGroup);
        return SmCurveNewByNid(nNid);
    }
    return pGroup;
}

bool Fill(EC_KEY *pKey, const SM2_PRIVATEKEY *pAsn)
{
    EC_GROUP *pGroup = GroupFromParameters(pAsn->parameters);
    if (!pGroup)
    {
        SM_RAISE(ERR_LIB_EC, SM_R_EC_LIB);
        return false;
    }
    bool bOk = EC_KEY_set_group(pKey, pGroup) == 1;
    EC_GROUP_free(pGroup);
    if (!bOk)
    {
        SM_RAISE(ERR_LIB_EC, SM_R_EC_LIB);
        return false;
    }
    EC_KEY_set_enc_flags(pKey, 0);
    if (!pAsn->privateKey)
    {
        SM_RAISE(ERR_LIB_EC, SM_R_MISSING_PRIVATE_KEY);
        return false;
    }
    BIGNUM *pbnD = ASN1_INTEGER_to_BN(pAsn->privateKey, nullptr);
    bOk = pbnD && EC_KEY_set_private_key(pKey, pbnD) == 1;
    BN_clear_free(pbnD);
    if (!bOk)
    {
        SM_RAISE(ERR_LIB_EC, SM_R_BN_LIB);
        return false;
    }
    const EC_GROUP *pKeyGroup = EC_KEY_get0_group(pKey);
    EC_POINT *pPub = EC_POINT_new(pKeyGroup);
    if (!pPub)
    {
        SM_RAISE(ERR_LIB_EC, SM_R_MALLOC);
        return false;
    }
    if (pAsn->publicKey && ASN1_STRING_length(pAsn->publicKey) > 0)
    {
        const unsigned char *pb = ASN1_STRING_get0_data(pAsn->publicKey);
        size_t cb = size_t(ASN1_STRING_length(pAsn->publicKey));
        // The first byte, less its low (y parity) bit, is the point form.
        EC_KEY_set_conv_form(pKey, point_conversion_form_t(pb[0] & ~1));
        bOk = EC_POINT_oct2point(pKeyGroup, pPub, pb, cb, nullptr) == 1;
    }
    else
    {
        bOk = EC_POINT_mul(pKeyGroup, pPub, EC_KEY_get0_private_key(pKey), nullptr, nullptr, nullptr) == 1;
    }
    bOk = bOk && EC_KEY_set_public_key(pKey, pPub) == 1;
    EC_POINT_free(pPub);
    if (!bOk)
        SM_RAISE(ERR_LIB_EC, SM_R_EC_LIB);
    return bOk;
}

} // namespace

EC_KEY *d2i_SM2PrivateKey(EC_KEY **ppKey, const unsigned char **ppbIn, long cbIn)
{
    if (!ppbIn || !*ppbIn)
    {
        SM_RAISE(ERR_LIB_EC, SM_R_EC_LIB);
        return nullptr;
    }
    const unsigned char *pb = *ppbIn;
    SM2_PRIVATEKEY *pAsn = d2i_SM2_PRIVATEKEY(nullptr, &pb, cbIn);
    if (!pAsn)
    {
        SM_RAISE(ERR_LIB_EC, SM_R_EC_LIB);
        return nullptr;
    }
    EC_KEY *pKey = ppKey && *ppKey ? *ppKey : EC_KEY_new();
    if (!pKey)
    {
        SM2_PRIVATEKEY_free(pAsn);
        SM_RAISE(ERR_LIB_EC, SM_R_MALLOC);
        return nullptr;
    }
    bool bOk = Fill(pKey, pAsn);
    SM2_PRIVATEKEY_free(pAsn);
    if (!bOk)
    {
        if (!ppKey || *ppKey != pKey)
            EC_KEY_free(pKey);
        return nullptr;
    }
    if (ppKey)
        *ppKey = pKey;
    *ppbIn = pb;
    return pKey;
}

EVP_PKEY *SmD2iEcPrivateKey(EVP_PKEY **ppKey, const unsigned char **ppbIn, long cbIn)
{
    if (!ppbIn || !*ppbIn)
        return nullptr;
    const unsigned char *pb = *ppbIn;
    ERR_set_mark();
    EVP_PKEY *pStock = d2i_PrivateKey(EVP_PKEY_EC, nullptr, &pb, cbIn);
    if (pStock)
    {
        ERR_pop_to_mark();
        *ppbIn = pb;
        if (ppKey)
        {
            EVP_PKEY_free(*ppKey);
            *ppKey = pStock;
        }
        return pStock;
    }
    pb = *ppbIn;
    ERR_set_mark();  // our own errors give way to the stock one
    EC_KEY *pEc = d2i_SM2PrivateKey(nullptr, &pb, cbIn);
    if (pEc && EC_GROUP_get_curve_name(EC_KEY_get0_group(pEc)) == SmNidSm2TestCurve())
    {
        // The library has no name for the test curve: the key carries its parameters.
        EC_GROUP *pGroup = EC_GROUP_dup(EC_KEY_get0_group(pEc));
        bool bOk = pGroup != nullptr;
        if (bOk)
        {
            EC_GROUP_set_curve_name(pGroup, NID_undef);
            EC_GROUP_set_asn1_flag(pGroup, OPENSSL_EC_EXPLICIT_CURVE);
            bOk = EC_KEY_set_group(pEc, pGroup) == 1;
        }
        EC_GROUP_free(pGroup);
        if (!bOk)
        {
            EC_KEY_free(pEc);
            pEc = nullptr;
        }
    }
    EVP_PKEY *pKey = pEc ? EVP_PKEY_new() : nullptr;
    if (!pKey || !EVP_PKEY_assign_EC_KEY(pKey, pEc))
    {
        EVP_PKEY_free(pKey);
        EC_KEY_free(pEc);
        ERR_pop_to_mark();
        ERR_clear_last_mark();
        return nullptr;
    }
    ERR_pop_to_mark();
    ERR_pop_to_mark();
    *ppbIn = pb;
    if (ppKey)
    {
        EVP_PKEY_free(*ppKey);
        *ppKey = pKey;
    }
    return pKey;
}
