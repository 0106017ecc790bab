// Key management for EC keys: takes over keys of the library's EC and SM2 key types, so the
// provider's SM2 operations can use them.
#include "dispatch.h"
#include "ec_keydata.h"
#include "provider.h"

#include <openssl/core_names.h>
#include <openssl/crypto.h>
#include <openssl/ec.h>
#include <openssl/evp.h>
#include <openssl/objects.h>
#include <openssl/params.h>

#include "smcrypto/sm2.h"

bool SmIsSm2Key(const SM_EC_KEYDATA *pKey)
{
    return pKey && pKey->pGroup && (pKey->nNid == SmNidSm2Curve() || pKey->nNid == SmNidSm2TestCurve());
}

namespace
{

void *NewKey(void *)
{
    return OPENSSL_zalloc(sizeof(SM_EC_KEYDATA));
}

void FreeKey(void *pv)
{
    SM_EC_KEYDATA *pKey = static_cast<SM_EC_KEYDATA *>(pv);
    if (!pKey)
        return;
    BN_clear_free(pKey->pbnD);
    BN_free(pKey->pbnX);
    BN_free(pKey->pbnY);
    EC_POINT_free(pKey->pPublic);
    EC_GROUP_free(pKey->pGroup);
    OPENSSL_free(pKey);
}

int Has(const void *pv, int nSelection)
{
    const SM_EC_KEYDATA *pKey = static_cast<const SM_EC_KEYDATA *>(pv);
    if (!pKey)
        return 0;
    bool bOk = true;
    if (nSelection & OSSL_KEYMGMT_SELECT_DOMAIN_PARAMETERS)
        bOk = bOk && pKey->pGroup;
    if (nSelection & OSSL_KEYMGMT_SELECT_PUBLIC_KEY)
        bOk = bOk && pKey->pPublic;
    if (nSelection & OSSL_KEYMGMT_SELECT_PRIVATE_KEY)
        bOk = bOk && pKey->pbnD;
    return bOk;
}

EC_GROUP *GroupFromParams(const OSSL_PARAM rgParams[])
{
    const OSSL_PARAM *p = OSSL_PARAM_locate_const(rgParams, OSSL_PKEY_PARAM_GROUP_NAME);
    const char *pszName = nullptr;
    if (p && OSSL_PARAM_get_utf8_string_ptr(p, &pszName))
    {
        // Our curves are known by their object names; the library's by its own.
        int nNid = OBJ_txt2nid(pszName);
        if (nNid == NID_undef)
            nNid = EC_curve_nist2nid(pszName);
        EC_GROUP *pGroup = nNid != NID_undef ? SmCurveNewByNid(nNid) : nullptr;
        if (pGroup)
            return pGroup;
    }
    return EC_GROUP_new_from_params(rgParams, nullptr, nullptr);
}

int Import(void *pv, int nSelection, const OSSL_PARAM rgParams[])
{
    SM_EC_KEYDATA *pKey = static_cast<SM_EC_KEYDATA *>(pv);
    if (!pKey || !(nSelection & OSSL_KEYMGMT_SELECT_DOMAIN_PARAMETERS))
        return 0;
    pKey->pGroup = GroupFromParams(rgParams);
    if (!pKey->pGroup)
        return 0;
    pKey->nNid = SmCurveNidOfGroup(pKey->pGroup);
    BN_CTX *pCtx = BN_CTX_new();
    bool bOk = pCtx != nullptr;
    if (bOk && (nSelection & OSSL_KEYMGMT_SELECT_PRIVATE_KEY))
    {
        // Whole-key exports ask for the private part of public keys too: it is there or it is not.
        const OSSL_PARAM *p = OSSL_PARAM_locate_const(rgParams, OSSL_PKEY_PARAM_PRIV_KEY);
        if (p)
            bOk = OSSL_PARAM_get_BN(p, &pKey->pbnD);
        else
            bOk = (nSelection & OSSL_KEYMGMT_SELECT_PUBLIC_KEY) != 0;
    }
    if (bOk && (nSelection & OSSL_KEYMGMT_SELECT_KEYPAIR))
    {
        const OSSL_PARAM *p = OSSL_PARAM_locate_const(rgParams, OSSL_PKEY_PARAM_PUB_KEY);
        pKey->pPublic = EC_POINT_new(pKey->pGroup);
        bOk = pKey->pPublic != nullptr;
        if (bOk && p && p->data_type == OSSL_PARAM_OCTET_STRING)
            bOk = EC_POINT_oct2point(pKey->pGroup, pKey->pPublic, static_cast<const unsigned char *>(p->data),
                                     p->data_size, pCtx);
        else if (bOk && pKey->pbnD)
            bOk = EC_POINT_mul(pKey->pGroup, pKey->pPublic, pKey->pbnD, nullptr, nullptr, pCtx);
        else
            bOk = false;
        pKey->pbnX = BN_new();
        pKey->pbnY = BN_new();
        bOk = bOk && pKey->pbnX && pKey->pbnY &&
              EC_POINT_get_affine_coordinates(pKey->pGroup, pKey->pPublic, pKey->pbnX, pKey->pbnY, pCtx);
    }
    BN_CTX_free(pCtx);
    return bOk;
}

const OSSL_PARAM c_rgImportTypes[] = {
    OSSL_PARAM_utf8_string(OSSL_PKEY_PARAM_GROUP_NAME, nullptr, 0),
    OSSL_PARAM_utf8_string(OSSL_PKEY_PARAM_EC_FIELD_TYPE, nullptr, 0),
    OSSL_PARAM_BN(OSSL_PKEY_PARAM_EC_P, nullptr, 0),
    OSSL_PARAM_BN(OSSL_PKEY_PARAM_EC_A, nullptr, 0),
    OSSL_PARAM_BN(OSSL_PKEY_PARAM_EC_B, nullptr, 0),
    OSSL_PARAM_octet_string(OSSL_PKEY_PARAM_EC_GENERATOR, nullptr, 0),
    OSSL_PARAM_BN(OSSL_PKEY_PARAM_EC_ORDER, nullptr, 0),
    OSSL_PARAM_BN(OSSL_PKEY_PARAM_EC_COFACTOR, nullptr, 0),
    OSSL_PARAM_octet_string(OSSL_PKEY_PARAM_EC_SEED, nullptr, 0),
    OSSL_PARAM_utf8_string(OSSL_PKEY_PARAM_EC_ENCODING, nullptr, 0),
    OSSL_PARAM_utf8_string(OSSL_PKEY_PARAM_EC_POINT_CONVERSION_FORMAT, nullptr, 0),
    OSSL_PARAM_octet_string(OSSL_PKEY_PARAM_PUB_KEY, nullptr, 0),
    OSSL_PARAM_BN(OSSL_PKEY_PARAM_PRIV_KEY, nullptr, 0),
    OSSL_PARAM_END,
};

const OSSL_PARAM *ImportTypes(int)
{
    return c_rgImportTypes;
}

const OSSL_PARAM c_rgGettable[] = {
    OSSL_PARAM_int(OSSL_PKEY_PARAM_BITS, nullptr),
    OSSL_PARAM_int(OSSL_PKEY_PARAM_SECURITY_BITS, nullptr),
    OSSL_PARAM_int(OSSL_PKEY_PARAM_MAX_SIZE, nullptr),
    OSSL_PARAM_END,
};

const OSSL_PARAM *GettableParams(void *)
{
    return c_rgGettable;
}

int GetParams(void *pv, OSSL_PARAM rgParams[])
{
    SM_EC_KEYDATA *pKey = static_cast<SM_EC_KEYDATA *>(pv);
    if (!pKey || !pKey->pGroup)
        return 0;
    int cBits = EC_GROUP_order_bits(pKey->pGroup);
    // DER SEQUENCE of two INTEGERs each at most one byte longer than the order.
    int cbOrder = (cBits + 7) / 8;
    int cbMax = 2 + 2 * (2 + cbOrder + 1);
    OSSL_PARAM *p;
    if ((p = OSSL_PARAM_locate(rgParams, OSSL_PKEY_PARAM_BITS)) && !OSSL_PARAM_set_int(p, cBits))
        return 0;
    if ((p = OSSL_PARAM_locate(rgParams, OSSL_PKEY_PARAM_SECURITY_BITS)) && !OSSL_PARAM_set_int(p, cBits / 2))
        return 0;
    if ((p = OSSL_PARAM_locate(rgParams, OSSL_PKEY_PARAM_MAX_SIZE)) && !OSSL_PARAM_set_int(p, cbMax))
        return 0;
    return 1;
}

const char *QueryOperationName(int nOperation)
{
    return nOperation == OSSL_OP_SIGNATURE ? "SM2" : nullptr;
}

} // namespace

const OSSL_DISPATCH g_rgEcKeyManagementFunctions[] = {
    SmFn(OSSL_FUNC_KEYMGMT_NEW, NewKey),
    SmFn(OSSL_FUNC_KEYMGMT_FREE, FreeKey),
    SmFn(OSSL_FUNC_KEYMGMT_HAS, Has),
    SmFn(OSSL_FUNC_KEYMGMT_IMPORT, Import),
    SmFn(OSSL_FUNC_KEYMGMT_IMPORT_TYPES, ImportTypes),
    SmFn(OSSL_FUNC_KEYMGMT_GET_PARAMS, GetParams),
    SmFn(OSSL_FUNC_KEYMGMT_GETTABLE_PARAMS, GettableParams),
    SmFn(OSSL_FUNC_KEYMGMT_QUERY_OPERATION_NAME, QueryOperationName),
    {0, nullptr},
};
