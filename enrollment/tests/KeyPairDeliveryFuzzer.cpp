// Arbitrary delivered key-pair texts through both readings and the certificate reading: no
// read past the text, every array handed out is freed, and a failure hands nothing out.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "KeyPairDelivery.h"

namespace
{
// One character a byte: the delivered texts are ASCII, and every UTF-16 unit below 0x100 can
// still be reached.
std::u16string TextOf(const uint8_t* data, size_t size)
{
    return std::u16string(data, data + size);
}

void ReadBoth(const std::u16string& wstrText, bool bEx)
{
    BYTE* pbSessionKey = nullptr;
    DWORD cbSessionKey = 0;
    BYTE* pbPrivateKey = nullptr;
    DWORD cbPrivateKey = 0;
    ALG_ID algSession = 0xFFFF;
    HRESULT hResult = bEx ? ParseEncryptCertPrivateKeyDataEx(wstrText, &pbSessionKey, &cbSessionKey, &algSession,
                                                             &pbPrivateKey, &cbPrivateKey)
                          : ParseEncryptCertPrivateKeyData(wstrText, &pbSessionKey, &cbSessionKey, &algSession,
                                                           &pbPrivateKey, &cbPrivateKey);
    if (FAILED(hResult))
    {
        if (pbSessionKey || pbPrivateKey)
            abort();
        return;
    }
    // A success always carries the private key, and the session key exactly with its algorithm.
    if (!pbPrivateKey || !cbPrivateKey || (algSession != 0 && algSession != CALG_3DES) ||
        (algSession == CALG_3DES) != (pbSessionKey != nullptr) || (!bEx && algSession == 0))
        abort();
    volatile BYTE sink = 0;
    for (DWORD i = 0; i < cbSessionKey; ++i)
        sink = sink ^ pbSessionKey[i];
    for (DWORD i = 0; i < cbPrivateKey; ++i)
        sink = sink ^ pbPrivateKey[i];
    delete[] pbSessionKey;
    delete[] pbPrivateKey;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::u16string wstrText = TextOf(data, size);
    ReadBoth(wstrText, false);
    ReadBoth(wstrText, true);

    std::u16string wstrCert = wstrText;
    BYTE* pbCert = nullptr;
    DWORD cbCert = 0;
    if (SUCCEEDED(ParseEncryptCertPublicKeyCert(wstrCert, &pbCert, &cbCert)))
        delete[] pbCert;
    return 0;
}
