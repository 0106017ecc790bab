// Extension lookup, validity periods, key comparison and the intended key usage.
#include <cstring>

#include "store.h"

using namespace qm::crypt;

QMAPI PCERT_EXTENSION WINAPI CertFindExtension(LPCSTR pszObjId, DWORD cExtensions, CERT_EXTENSION rgExtensions[])
{
    if (!pszObjId || (cExtensions && !rgExtensions))
    {
        SetLastError(static_cast<DWORD>(E_INVALIDARG));
        return nullptr;
    }
    for (DWORD i = 0; i < cExtensions; ++i)
        if (rgExtensions[i].pszObjId && std::strcmp(rgExtensions[i].pszObjId, pszObjId) == 0)
            return &rgExtensions[i];
    SetLastError(static_cast<DWORD>(CRYPT_E_NOT_FOUND));
    return nullptr;
}

namespace
{
uint64_t Ticks(const FILETIME& f) { return (static_cast<uint64_t>(f.dwHighDateTime) << 32) | f.dwLowDateTime; }
} // namespace

QMAPI LONG WINAPI CertVerifyTimeValidity(LPFILETIME pTimeToVerify, PCERT_INFO pCertInfo)
{
    if (!pCertInfo)
        return 0;
    FILETIME now{};
    if (pTimeToVerify)
        now = *pTimeToVerify;
    else
        GetSystemTimeAsFileTime(&now);
    if (Ticks(now) < Ticks(pCertInfo->NotBefore))
        return -1;
    if (Ticks(now) > Ticks(pCertInfo->NotAfter))
        return 1;
    return 0;
}

QMAPI BOOL WINAPI CertComparePublicKeyInfo(DWORD dwCertEncodingType, PCERT_PUBLIC_KEY_INFO pPublicKey1,
                                           PCERT_PUBLIC_KEY_INFO pPublicKey2)
{
    if (!pPublicKey1 || !pPublicKey2)
        return FALSE;
    const CRYPT_BIT_BLOB& a = pPublicKey1->PublicKey;
    const CRYPT_BIT_BLOB& b = pPublicKey2->PublicKey;
    return a.cbData == b.cbData && a.cUnusedBits == b.cUnusedBits &&
           (a.cbData == 0 || std::memcmp(a.pbData, b.pbData, a.cbData) == 0);
}

QMAPI BOOL WINAPI CertGetIntendedKeyUsage(DWORD dwCertEncodingType, PCERT_INFO pCertInfo, BYTE* pbKeyUsage,
                                          DWORD cbKeyUsage)
{
    if (!pCertInfo || (cbKeyUsage && !pbKeyUsage))
        return Fail(static_cast<DWORD>(E_INVALIDARG));
    if (cbKeyUsage)
        std::memset(pbKeyUsage, 0, cbKeyUsage);
    PCERT_EXTENSION ext = CertFindExtension(szOID_KEY_USAGE, pCertInfo->cExtension, pCertInfo->rgExtension);
    if (!ext)
    {
        SetLastError(0);
        return FALSE;
    }
    HRESULT hr = S_OK;
    auto bits = qm::der::ReadSingle(View(ext->Value.pbData, ext->Value.cbData), qm::der::kBitString, &hr);
    if (!bits || bits->content.empty())
        return Fail(bits ? CRYPT_E_ASN1_CORRUPT : hr);
    for (size_t i = 1; i < bits->content.size() && i - 1 < cbKeyUsage; ++i)
        pbKeyUsage[i - 1] = bits->content[i];
    return TRUE;
}
