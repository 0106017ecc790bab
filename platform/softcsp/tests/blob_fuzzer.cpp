// Key blobs from anywhere: CryptImportKey through the software provider, the RSA blob
// reader, and the token's envelope readers must refuse bad input cleanly.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>

#include "../../tokencsp/envelopes.h"
#include "kit/kit.h"
#include "qm/csp_registration.h"
#include "qm/machine.h"
#include "windows.h"

namespace
{
std::filesystem::path g_machine;

void RemoveMachine()
{
    std::error_code ec;
    std::filesystem::remove_all(g_machine, ec);
}

struct Setup
{
    HCRYPTPROV prov = 0;
    HCRYPTKEY exchange = 0;
    Setup()
    {
        auto dir =
            std::filesystem::temp_directory_path() / ("qm-blob-fuzz-" + std::to_string(::getpid()));
        qm::SetMachineDirectory(dir);
        g_machine = dir;
        std::atexit(RemoveMachine);
        qm::SetProcessElevated(true);
        qm::RegisterPlatformCryptProviders(QM_RSAENH_PATH);
        CryptAcquireContextW(&prov, nullptr, MS_ENHANCED_PROV_W, PROV_RSA_FULL,
                             CRYPT_VERIFYCONTEXT);
        CryptGenKey(prov, AT_KEYEXCHANGE, 512 << 16, &exchange);
    }
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static Setup setup;
    HCRYPTKEY key = 0;
    if (CryptImportKey(setup.prov, data, DWORD(size), 0, 0, &key))
        CryptDestroyKey(key);
    if (CryptImportKey(setup.prov, data, DWORD(size), setup.exchange, 0, &key))
        CryptDestroyKey(key);

    qm::cspkit::RsaKey rsa;
    ALG_ID alg = 0;
    qm::cspkit::ParseRsaBlob(data, DWORD(size), &rsa, &alg);

    qm::cspkit::Bytes bytes(data, data + size), a, b;
    qm::tokencsp::ReadRsaEnvelope(bytes, &a, &b);
    // Blobs of exactly header + address size carry a pointer; every other length is read.
    if (size != 16 + sizeof(ULONG_PTR) && size != 20 + sizeof(ULONG_PTR))
    {
        DWORD error = 0;
        qm::tokencsp::ReadEnvelopeBlob(data, DWORD(size), &error);
    }
    return 0;
}
