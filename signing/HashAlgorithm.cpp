#include "HashAlgorithm.h"

#include "Pkcs7Writer.h"
#include "Trace.h"

namespace
{
struct HASH_NAME
{
    LPCWSTR lpwszName;
    ALG_ID uHashAlgorithm;
};

const HASH_NAME g_rgHashNames[] = {
    {u"SHA-1", CALG_SHA1},
    {u"SHA-256", CALG_SHA_256},
    {u"MD-5", CALG_MD5},
};
} // namespace

ALG_ID GetHashAlgorithmIDByName(LPCWSTR lpwszHashAlg)
{
    TraceHelper trace(u"GetHashAlgorithmIDByName");
    if (!lpwszHashAlg)
    {
        return 0;
    }
    for (const HASH_NAME& entry : g_rgHashNames)
    {
        if (_wcsicmp(lpwszHashAlg, entry.lpwszName) == 0)
        {
            return entry.uHashAlgorithm;
        }
    }
    QM_TRACE_INFO(u"GetHashAlgorithmIDByName", lpwszHashAlg);
    return 0;
}

DWORD GetHashDigestSize(ALG_ID uHashAlgorithm)
{
    switch (uHashAlgorithm)
    {
    case CALG_MD5:
        return 16;
    case CALG_SHA1:
        return 20;
    case CALG_SHA_256:
    case CALG_SM3:
        return 32;
    default:
        return 0;
    }
}

BOOL HashDataInPieces(HCRYPTHASH hHash, const BYTE* pbData, DWORD cbData)
{
    DWORD cbDone = 0;
    while (cbDone < cbData)
    {
        DWORD cbPiece = cbData - cbDone > HASH_PIECE_SIZE - 1 ? HASH_PIECE_SIZE : cbData - cbDone;
        if (!CryptHashData(hHash, pbData + cbDone, cbPiece, 0))
        {
            return FALSE;
        }
        cbDone += cbPiece;
    }
    return TRUE;
}
