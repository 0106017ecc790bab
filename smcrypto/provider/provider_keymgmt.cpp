// Key management for EC keys: takes over keys of the library's EC and SM2 key types, so the
// provider's SM2 operations can use them. Keys on other curves are also held by the library's
// own EC key management, which generates, exports, checks and describes them.
#include "dispatch.h"
#include "ec_keydata.h"
#include "provider.h"

#include <openssl/core_names.h>
#include <openssl/crypto.h>
#include <openssl/ec.h>
#include <openssl/evp.h>
#include <openssl/objects.h>
#include <openssl/param_build.h>
#include <openssl/params.h>

#include "smcrypto/sm2.h"

bool SmIsSm2Key(const SM_EC_KEYDATA *pKey)
{
    return pKey && pKey->pGroup && (pKey->nNid == SmNidSm2Curve() || pKey->nNid == SmNidSm2TestCurve());
}

namespace
{

// An empty key in the library context that its other-curve keys are held in.
SM_EC_KEYDATA *AllocKey(OSSL_LIB_CTX *pLibCtx)
{
    SM_EC_KEYDATA *pKey = static_cast<SM_EC_KEYDATA *>(OPENSSL_zalloc(sizeof(SM_EC_KEYDATA)));
    if (pKey)
        pKey->pLibCtx = pLibCtx;
    return pKey;
}

void *NewKey(void *pvProvCtx)
{
    return AllocKey(SmLibCtx(pvProvCtx));
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
    EVP_PKEY_free(pKey->pStock);
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

int ImportOurs(SM_EC_KEYDATA *pKey, int nSelection, const OSSL_PARAM rgParams[])
{
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

EVP_PKEY *StockFromData(OSSL_LIB_CTX *pLibCtx, int nSelection, const OSSL_PARAM rgParams[])
{
    EVP_PKEY_CTX *pCtx = EVP_PKEY_CTX_new_from_name(pLibCtx, "EC", SM_STOCK_QUERY);
    EVP_PKEY *pStock = nullptr;
    if (!pCtx || EVP_PKEY_fromdata_init(pCtx) != 1 ||
        EVP_PKEY_fromdata(pCtx, &pStock, nSelection & OSSL_KEYMGMT_SELECT_ALL, const_cast<OSSL_PARAM *>(rgParams)) != 1)
        pStock = nullptr;
    EVP_PKEY_CTX_free(pCtx);
    return pStock;
}

int Import(void *pv, int nSelection, const OSSL_PARAM rgParams[])
{
    SM_EC_KEYDATA *pKey = static_cast<SM_EC_KEYDATA *>(pv);
    if (!ImportOurs(pKey, nSelection, rgParams))
        return 0;
    if (!SmIsSm2Key(pKey))
    {
        pKey->pStock = StockFromData(pKey->pLibCtx, nSelection, rgParams);
        if (!pKey->pStock)
            return 0;
    }
    return 1;
}

int Export(void *pv, int nSelection, OSSL_CALLBACK *pfnParams, void *pvArg)
{
    // Keys on the SM2 curves stay here; the others go out as the library holds them.
    SM_EC_KEYDATA *pKey = static_cast<SM_EC_KEYDATA *>(pv);
    return pKey && pKey->pStock && EVP_PKEY_export(pKey->pStock, nSelection, pfnParams, pvArg) == 1;
}

// The SM2 key type also gives out keys on the SM2 curves, so the library can encode them; the EC
// key type keeps them, so that only this provider signs them.
int ExportSm2(void *pv, int nSelection, OSSL_CALLBACK *pfnParams, void *pvArg)
{
    SM_EC_KEYDATA *pKey = static_cast<SM_EC_KEYDATA *>(pv);
    if (!pKey || !SmIsSm2Key(pKey))
        return Export(pv, nSelection, pfnParams, pvArg);
    OSSL_PARAM_BLD *pBld = OSSL_PARAM_BLD_new();
    BN_CTX *pCtx = BN_CTX_new();
    BIGNUM *pbnP = BN_new(), *pbnA = BN_new(), *pbnB = BN_new();
    unsigned char *pbPub = nullptr, *pbG = nullptr;
    bool bOk = pBld && pCtx && pbnB;
    if (bOk && (nSelection & OSSL_KEYMGMT_SELECT_DOMAIN_PARAMETERS))
    {
        if (pKey->nNid == SmNidSm2Curve())
            bOk = OSSL_PARAM_BLD_push_utf8_string(pBld, OSSL_PKEY_PARAM_GROUP_NAME, SN_sm2, 0);
        else
        {
            size_t cbG = EC_POINT_point2buf(pKey->pGroup, EC_GROUP_get0_generator(pKey->pGroup),
                                            POINT_CONVERSION_UNCOMPRESSED, &pbG, pCtx);
            bOk = cbG && EC_GROUP_get_curve(pKey->pGroup, pbnP, pbnA, pbnB, pCtx) &&
                  OSSL_PARAM_BLD_push_utf8_string(pBld, OSSL_PKEY_PARAM_EC_FIELD_TYPE, SN_X9_62_prime_field, 0) &&
                  OSSL_PARAM_BLD_push_BN(pBld, OSSL_PKEY_PARAM_EC_P, pbnP) &&
                  OSSL_PARAM_BLD_push_BN(pBld, OSSL_PKEY_PARAM_EC_A, pbnA) &&
                  OSSL_PARAM_BLD_push_BN(pBld, OSSL_PKEY_PARAM_EC_B, pbnB) &&
                  OSSL_PARAM_BLD_push_octet_string(pBld, OSSL_PKEY_PARAM_EC_GENERATOR, pbG, cbG) &&
                  OSSL_PARAM_BLD_push_BN(pBld, OSSL_PKEY_PARAM_EC_ORDER, EC_GROUP_get0_order(pKey->pGroup)) &&
                  OSSL_PARAM_BLD_push_BN(pBld, OSSL_PKEY_PARAM_EC_COFACTOR, EC_GROUP_get0_cofactor(pKey->pGroup));
        }
    }
    if (bOk && (nSelection & OSSL_KEYMGMT_SELECT_PUBLIC_KEY) && pKey->pPublic)
    {
        size_t cbPub = EC_POINT_point2buf(pKey->pGroup, pKey->pPublic, POINT_CONVERSION_UNCOMPRESSED, &pbPub, pCtx);
        bOk = cbPub && OSSL_PARAM_BLD_push_octet_string(pBld, OSSL_PKEY_PARAM_PUB_KEY, pbPub, cbPub);
    }
    if (bOk && (nSelection & OSSL_KEYMGMT_SELECT_PRIVATE_KEY) && pKey->pbnD)
        bOk = OSSL_PARAM_BLD_push_BN(pBld, OSSL_PKEY_PARAM_PRIV_KEY, pKey->pbnD);
    OSSL_PARAM *pParams = bOk ? OSSL_PARAM_BLD_to_param(pBld) : nullptr;
    int nResult = pParams ? pfnParams(pParams, pvArg) : 0;
    OSSL_PARAM_free(pParams);
    OSSL_PARAM_BLD_free(pBld);
    OPENSSL_free(pbPub);
    OPENSSL_free(pbG);
    BN_free(pbnP);
    BN_free(pbnA);
    BN_free(pbnB);
    BN_CTX_free(pCtx);
    return nResult;
}

// Key generation is the library's; keys it makes on the SM2 curves are then ours alone.
struct SM_EC_GEN_CTX
{
    OSSL_LIB_CTX *pLibCtx;
    int nSelection;
    EVP_PKEY_CTX *pStockCtx;
};

void GenCleanup(void *pvGen)
{
    SM_EC_GEN_CTX *pGen = static_cast<SM_EC_GEN_CTX *>(pvGen);
    if (!pGen)
        return;
    EVP_PKEY_CTX_free(pGen->pStockCtx);
    OPENSSL_free(pGen);
}

void *GenInit(void *pvProvCtx, int nSelection, const OSSL_PARAM rgParams[])
{
    SM_EC_GEN_CTX *pGen = static_cast<SM_EC_GEN_CTX *>(OPENSSL_zalloc(sizeof(SM_EC_GEN_CTX)));
    if (!pGen)
        return nullptr;
    pGen->pLibCtx = SmLibCtx(pvProvCtx);
    pGen->nSelection = nSelection;
    pGen->pStockCtx = EVP_PKEY_CTX_new_from_name(pGen->pLibCtx, "EC", SM_STOCK_QUERY);
    bool bKeyPair = (nSelection & OSSL_KEYMGMT_SELECT_KEYPAIR) != 0;
    if (!pGen->pStockCtx ||
        (bKeyPair ? EVP_PKEY_keygen_init(pGen->pStockCtx) : EVP_PKEY_paramgen_init(pGen->pStockCtx)) != 1 ||
        (rgParams && EVP_PKEY_CTX_set_params(pGen->pStockCtx, rgParams) != 1))
    {
        GenCleanup(pGen);
        return nullptr;
    }
    return pGen;
}

// The SM2 key type's generation makes keys on the recommended curve unless told otherwise.
void *GenInitSm2(void *pvProvCtx, int nSelection, const OSSL_PARAM rgParams[])
{
    SM_EC_GEN_CTX *pGen = static_cast<SM_EC_GEN_CTX *>(GenInit(pvProvCtx, nSelection, nullptr));
    OSSL_PARAM rgGroup[] = {
        OSSL_PARAM_construct_utf8_string(OSSL_PKEY_PARAM_GROUP_NAME, const_cast<char *>(SN_sm2), 0), OSSL_PARAM_END};
    if (pGen && (EVP_PKEY_CTX_set_params(pGen->pStockCtx, rgGroup) != 1 ||
                 (rgParams && EVP_PKEY_CTX_set_params(pGen->pStockCtx, rgParams) != 1)))
    {
        GenCleanup(pGen);
        return nullptr;
    }
    return pGen;
}

int GenSetParams(void *pvGen, const OSSL_PARAM rgParams[])
{
    SM_EC_GEN_CTX *pGen = static_cast<SM_EC_GEN_CTX *>(pvGen);
    return EVP_PKEY_CTX_set_params(pGen->pStockCtx, rgParams) == 1;
}

int GenSetTemplate(void *pvGen, void *pvTemplate)
{
    SM_EC_GEN_CTX *pGen = static_cast<SM_EC_GEN_CTX *>(pvGen);
    SM_EC_KEYDATA *pTemplate = static_cast<SM_EC_KEYDATA *>(pvTemplate);
    if (pTemplate && pTemplate->pGroup)
    {
        const char *pszName = OBJ_nid2sn(EC_GROUP_get_curve_name(pTemplate->pGroup));
        OSSL_PARAM rgParams[] = {
            OSSL_PARAM_construct_utf8_string(OSSL_PKEY_PARAM_GROUP_NAME, const_cast<char *>(pszName), 0),
            OSSL_PARAM_END};
        return pszName && EVP_PKEY_CTX_set_params(pGen->pStockCtx, rgParams) == 1;
    }
    return 0;
}

const OSSL_PARAM *StockList(void *pvProvCtx, const OSSL_PARAM *(*pfnList)(const EVP_KEYMGMT *))
{
    static const OSSL_PARAM c_rgNone[] = {OSSL_PARAM_END};
    EVP_KEYMGMT *pStock = EVP_KEYMGMT_fetch(SmLibCtx(pvProvCtx), "EC", SM_STOCK_QUERY);
    const OSSL_PARAM *pList = pStock ? pfnList(pStock) : nullptr;
    EVP_KEYMGMT_free(pStock);  // the library keeps its key management, and the list with it
    return pList ? pList : c_rgNone;
}

const OSSL_PARAM *GenSettableParams(void *, void *pvProvCtx)
{
    return StockList(pvProvCtx, EVP_KEYMGMT_gen_settable_params);
}

void *Gen(void *pvGen, OSSL_CALLBACK *, void *)
{
    SM_EC_GEN_CTX *pGen = static_cast<SM_EC_GEN_CTX *>(pvGen);
    EVP_PKEY *pStock = nullptr;
    if (EVP_PKEY_generate(pGen->pStockCtx, &pStock) != 1)
        return nullptr;
    SM_EC_KEYDATA *pKey = AllocKey(pGen->pLibCtx);
    struct CArg
    {
        SM_EC_KEYDATA *pKey;
        int nSelection;
    } arg = {pKey, pGen->nSelection & OSSL_KEYMGMT_SELECT_ALL};
    auto fnImport = [](const OSSL_PARAM rgParams[], void *pv) -> int {
        CArg *pArg = static_cast<CArg *>(pv);
        return ImportOurs(pArg->pKey, pArg->nSelection | OSSL_KEYMGMT_SELECT_DOMAIN_PARAMETERS, rgParams);
    };
    if (!pKey || EVP_PKEY_export(pStock, arg.nSelection | OSSL_KEYMGMT_SELECT_DOMAIN_PARAMETERS, fnImport, &arg) != 1)
    {
        EVP_PKEY_free(pStock);
        FreeKey(pKey);
        return nullptr;
    }
    if (SmIsSm2Key(pKey))
        EVP_PKEY_free(pStock);
    else
        pKey->pStock = pStock;
    return pKey;
}

void *Dup(const void *pv, int)
{
    const SM_EC_KEYDATA *pKey = static_cast<const SM_EC_KEYDATA *>(pv);
    SM_EC_KEYDATA *pNew = pKey ? AllocKey(pKey->pLibCtx) : nullptr;
    if (!pNew)
        return nullptr;
    pNew->nNid = pKey->nNid;
    bool bOk = true;
    if (pKey->pGroup)
        bOk = (pNew->pGroup = EC_GROUP_dup(pKey->pGroup)) != nullptr;
    if (bOk && pKey->pbnD)
        bOk = (pNew->pbnD = BN_dup(pKey->pbnD)) != nullptr;
    if (bOk && pKey->pPublic)
        bOk = (pNew->pPublic = EC_POINT_dup(pKey->pPublic, pKey->pGroup)) != nullptr;
    if (bOk && pKey->pbnX)
        bOk = (pNew->pbnX = BN_dup(pKey->pbnX)) && (pNew->pbnY = BN_dup(pKey->pbnY));
    if (bOk && pKey->pStock)
        bOk = (pNew->pStock = EVP_PKEY_dup(pKey->pStock)) != nullptr;
    if (!bOk)
    {
        FreeKey(pNew);
        return nullptr;
    }
    return pNew;
}

int Match(const void *pv1, const void *pv2, int nSelection)
{
    const SM_EC_KEYDATA *pKey1 = static_cast<const SM_EC_KEYDATA *>(pv1);
    const SM_EC_KEYDATA *pKey2 = static_cast<const SM_EC_KEYDATA *>(pv2);
    if (pKey1->pStock && pKey2->pStock)
        return (nSelection & OSSL_KEYMGMT_SELECT_KEYPAIR) ? EVP_PKEY_eq(pKey1->pStock, pKey2->pStock) == 1
                                                         : EVP_PKEY_parameters_eq(pKey1->pStock, pKey2->pStock) == 1;
    if (!pKey1->pGroup || !pKey2->pGroup || EC_GROUP_cmp(pKey1->pGroup, pKey2->pGroup, nullptr) != 0)
        return 0;
    if (nSelection & OSSL_KEYMGMT_SELECT_KEYPAIR)
        return pKey1->pPublic && pKey2->pPublic &&
               EC_POINT_cmp(pKey1->pGroup, pKey1->pPublic, pKey2->pPublic, nullptr) == 0;
    return 1;
}

int Validate(const void *pv, int nSelection, int nCheckType)
{
    const SM_EC_KEYDATA *pKey = static_cast<const SM_EC_KEYDATA *>(pv);
    if (!pKey->pStock)
        return Has(pv, nSelection);
    EVP_PKEY_CTX *pCtx = EVP_PKEY_CTX_new_from_pkey(pKey->pLibCtx, pKey->pStock, SM_STOCK_QUERY);
    int nOk = 0;
    if (pCtx)
    {
        if ((nSelection & OSSL_KEYMGMT_SELECT_KEYPAIR) == OSSL_KEYMGMT_SELECT_KEYPAIR)
            nOk = EVP_PKEY_check(pCtx);
        else if (nSelection & OSSL_KEYMGMT_SELECT_PRIVATE_KEY)
            nOk = EVP_PKEY_private_check(pCtx);
        else if (nSelection & OSSL_KEYMGMT_SELECT_PUBLIC_KEY)
            nOk = EVP_PKEY_public_check(pCtx);
        else
            nOk = EVP_PKEY_param_check(pCtx);
    }
    EVP_PKEY_CTX_free(pCtx);
    (void)nCheckType;
    return nOk == 1;
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

const OSSL_PARAM *GettableParams(void *pvProvCtx)
{
    const OSSL_PARAM *pStock = StockList(pvProvCtx, EVP_KEYMGMT_gettable_params);
    return pStock->key ? pStock : c_rgGettable;
}

const OSSL_PARAM *SettableParams(void *pvProvCtx)
{
    return StockList(pvProvCtx, EVP_KEYMGMT_settable_params);
}

int SetParams(void *pv, const OSSL_PARAM rgParams[])
{
    SM_EC_KEYDATA *pKey = static_cast<SM_EC_KEYDATA *>(pv);
    return pKey->pStock ? EVP_PKEY_set_params(pKey->pStock, const_cast<OSSL_PARAM *>(rgParams)) == 1 : 1;
}

int GetParams(void *pv, OSSL_PARAM rgParams[])
{
    SM_EC_KEYDATA *pKey = static_cast<SM_EC_KEYDATA *>(pv);
    if (pKey && pKey->pStock)
        return EVP_PKEY_get_params(pKey->pStock, rgParams) == 1;
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

// EC keys held here are signed through "ECDSA": SM2 on the SM2 curves, the library's ECDSA on
// others. Keys of the SM2 type are signed through "SM2".
const char *QueryOperationName(int nOperation)
{
    return nOperation == OSSL_OP_SIGNATURE ? "ECDSA" : nullptr;
}

const char *QueryOperationNameSm2(int nOperation)
{
    return nOperation == OSSL_OP_SIGNATURE ? "SM2" : nullptr;
}

} // namespace

#define SM_EC_KEY_MANAGEMENT_COMMON                                                                                   \
    SmFn(OSSL_FUNC_KEYMGMT_NEW, NewKey), SmFn(OSSL_FUNC_KEYMGMT_FREE, FreeKey), SmFn(OSSL_FUNC_KEYMGMT_HAS, Has),         \
        SmFn(OSSL_FUNC_KEYMGMT_IMPORT, Import), SmFn(OSSL_FUNC_KEYMGMT_IMPORT_TYPES, ImportTypes),                        \
        SmFn(OSSL_FUNC_KEYMGMT_EXPORT_TYPES, ImportTypes),                                                               \
        SmFn(OSSL_FUNC_KEYMGMT_GEN_SET_PARAMS, GenSetParams),                                                            \
        SmFn(OSSL_FUNC_KEYMGMT_GEN_SET_TEMPLATE, GenSetTemplate),                                                        \
        SmFn(OSSL_FUNC_KEYMGMT_GEN_SETTABLE_PARAMS, GenSettableParams), SmFn(OSSL_FUNC_KEYMGMT_GEN, Gen),                \
        SmFn(OSSL_FUNC_KEYMGMT_GEN_CLEANUP, GenCleanup), SmFn(OSSL_FUNC_KEYMGMT_MATCH, Match),                           \
        SmFn(OSSL_FUNC_KEYMGMT_VALIDATE, Validate), SmFn(OSSL_FUNC_KEYMGMT_GET_PARAMS, GetParams),                       \
        SmFn(OSSL_FUNC_KEYMGMT_GETTABLE_PARAMS, GettableParams), SmFn(OSSL_FUNC_KEYMGMT_SET_PARAMS, SetParams),          \
        SmFn(OSSL_FUNC_KEYMGMT_SETTABLE_PARAMS, SettableParams), SmFn(OSSL_FUNC_KEYMGMT_DUP, Dup)

const OSSL_DISPATCH g_rgEcKeyManagementFunctions[] = {
    SM_EC_KEY_MANAGEMENT_COMMON,
    SmFn(OSSL_FUNC_KEYMGMT_GEN_INIT, GenInit),
    SmFn(OSSL_FUNC_KEYMGMT_EXPORT, Export),
    SmFn(OSSL_FUNC_KEYMGMT_QUERY_OPERATION_NAME, QueryOperationName),
    {0, nullptr},
};

const OSSL_DISPATCH g_rgSm2KeyManagementFunctions[] = {
    SM_EC_KEY_MANAGEMENT_COMMON,
    SmFn(OSSL_FUNC_KEYMGMT_GEN_INIT, GenInitSm2),
    SmFn(OSSL_FUNC_KEYMGMT_EXPORT, ExportSm2),
    SmFn(OSSL_FUNC_KEYMGMT_QUERY_OPERATION_NAME, QueryOperationNameSm2),
    {0, nullptr},
};
