// The SM2 curves: the recommended curve and the test curve of the worked examples.
#include "smcrypto/objects.h"
#include "smcrypto/sm2.h"
#include "sm2_internal.h"

#include <openssl/err.h>

#include <iterator>
#include <mutex>

namespace
{

struct CURVE_ROW
{
    int SM_OBJECT_IDS::*pnid;
    const char *pszP, *pszA, *pszB, *pszXG, *pszYG, *pszN;
};

const CURVE_ROW c_rgCurves[] = {
    {&SM_OBJECT_IDS::nidSm2Curve,
     "FFFFFFFEFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF00000000FFFFFFFFFFFFFFFF",
     "FFFFFFFEFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF00000000FFFFFFFFFFFFFFFC",
     "28E9FA9E9D9F5E344D5A9E4BCF6509A7F39789F515AB8F92DDBCBD414D940E93",
     "32C4AE2C1F1981195F9904466A39C9948FE30BBFF2660BE1715A4589334C74C7",
     "BC3736A2F4F6779C59BDCEE36B692153D0A9877CC62A474002DF32E52139F0A0",
     "FFFFFFFEFFFFFFFFFFFFFFFFFFFFFFFF7203DF6B21C6052B53BBF40939D54123"},
    {&SM_OBJECT_IDS::nidSm2TestCurve,
     "8542D69E4C044F18E8B92435BF6FF7DE457283915C45517D722EDB8B08F1DFC3",
     "787968B4FA32C3FD2417842E73BBFEFF2F3C848B6831D7E0EC65228B3937E498",
     "63E4C6D3B23B0C849CF84241484BFE48F61D59A5B16BA06E6E12D1DA27C5249A",
     "421DEBD61B62EAB6746434EBC3CC315E32220B3BADD50BDC4C4E6C147FEDD43D",
     "0680512BCBB42C07D47349D2153B70C4E5D7FDFCBFA36EA1A85841B9E46E09A2",
     "8542D69E4C044F18E8B92435BF6FF7DD297720630485628D5AE74EE7C32E79B7"},
};

const CURVE_ROW *FindRow(int nNid)
{
    const SM_OBJECT_IDS &ids = SmObjectIds();
    for (const CURVE_ROW &row : c_rgCurves)
        if (ids.*row.pnid == nNid)
            return &row;
    return nullptr;
}

struct CCurveNumbers
{
    BIGNUM *p = nullptr, *a = nullptr, *b = nullptr, *x = nullptr, *y = nullptr, *n = nullptr;
    ~CCurveNumbers()
    {
        BN_free(p); BN_free(a); BN_free(b); BN_free(x); BN_free(y); BN_free(n);
    }
    bool Load(const CURVE_ROW &row)
    {
        return BN_hex2bn(&p, row.pszP) && BN_hex2bn(&a, row.pszA) && BN_hex2bn(&b, row.pszB) &&
               BN_hex2bn(&x, row.pszXG) && BN_hex2bn(&y, row.pszYG) && BN_hex2bn(&n, row.pszN);
    }
};

EC_GROUP *NewFromRow(const CURVE_ROW &row, int nNid)
{
    CCurveNumbers num;
    if (!num.Load(row))
        return nullptr;
    EC_GROUP *pGroup = EC_GROUP_new_curve_GFp(num.p, num.a, num.b, nullptr);
    EC_POINT *pG = pGroup ? EC_POINT_new(pGroup) : nullptr;
    bool bOk = pG && EC_POINT_set_affine_coordinates(pGroup, pG, num.x, num.y, nullptr) &&
               EC_GROUP_set_generator(pGroup, pG, num.n, BN_value_one());
    EC_POINT_free(pG);
    if (!bOk)
    {
        EC_GROUP_free(pGroup);
        return nullptr;
    }
    EC_GROUP_set_curve_name(pGroup, nNid);
    EC_GROUP_set_asn1_flag(pGroup, OPENSSL_EC_NAMED_CURVE);
    return pGroup;
}

// Each curve's parameters are parsed and checked once; callers get their own copy of the group.
// The groups go when the library (or the provider module holding this copy) is unloaded.
struct CPrototypes
{
    std::once_flag rgOnce[std::size(c_rgCurves)];
    EC_GROUP *rgpGroup[std::size(c_rgCurves)] = {};
    ~CPrototypes()
    {
        for (EC_GROUP *pGroup : rgpGroup)
            EC_GROUP_free(pGroup);
    }
};

const EC_GROUP *Prototype(const CURVE_ROW &row)
{
    static CPrototypes s_prototypes;
    size_t i = size_t(&row - c_rgCurves);
    std::call_once(s_prototypes.rgOnce[i],
                   [&] { s_prototypes.rgpGroup[i] = NewFromRow(row, SmObjectIds().*row.pnid); });
    return s_prototypes.rgpGroup[i];
}

} // namespace

int SmNidSm2Curve()
{
    return SmObjectIds().nidSm2Curve;
}

int SmNidSm2TestCurve()
{
    return SmObjectIds().nidSm2TestCurve;
}

EC_GROUP *SmCurveNewByNid(int nNid)
{
    const CURVE_ROW *pRow = FindRow(nNid);
    if (!pRow)
        return EC_GROUP_new_by_curve_name(nNid);
    const EC_GROUP *pPrototype = Prototype(*pRow);
    return pPrototype ? EC_GROUP_dup(pPrototype) : nullptr;
}

int SmCurveNidOfGroup(const EC_GROUP *pGroup)
{
    const SM_OBJECT_IDS &ids = SmObjectIds();
    for (const CURVE_ROW &row : c_rgCurves)
    {
        const EC_GROUP *pOurs = Prototype(row);
        if (pOurs && EC_GROUP_cmp(pOurs, pGroup, nullptr) == 0)
            return ids.*row.pnid;
    }
    return EC_GROUP_get_curve_name(pGroup);
}
