// Arbitrary bytes through the ASN.1 reader: every node it hands out lies inside the buffer.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "Asn1TlvParser.h"

namespace
{
void Check(const ASN1Node& node, size_t size, bool complete)
{
    if (complete && (node.wIndefinite || node.ullValueOffset + node.dwValueLength > size))
        abort();
    if (complete)
    {
        // Touch every value byte, so the sanitizer sees a read past the end.
        volatile BYTE sink = 0;
        for (DWORD i = 0; i < node.dwValueLength; ++i)
            sink = sink ^ node.Value()[i];
    }
    for (const ASN1Node* child : node.vtrChildren)
        Check(*child, size, complete);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // An exact-size copy: the fuzzer's buffer may be followed by readable bytes.
    std::unique_ptr<BYTE[]> copy(new BYTE[size ? size : 1]);
    if (size)
        memcpy(copy.get(), data, size);
    ASN1Node* root = nullptr;
    HRESULT hr = DecodeASN1Memory(&root, size ? copy.get() : nullptr, static_cast<DWORD>(size));
    std::unique_ptr<ASN1Node> hold(root);
    if (hr == E_ASN1_DECODE_FAILED && root)
        abort();
    if (root)
        Check(*root, size, hr == S_OK);

    RSA_PRIVATE_KEY_PARTS parts;
    if (SUCCEEDED(DecodePrivateKey(size ? copy.get() : nullptr, static_cast<DWORD>(size), &parts)))
        FreeRsaPrivateKeyParts(&parts);
    return 0;
}
