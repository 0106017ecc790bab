// Key-container files of the software provider, as any program with access to the user's
// folder could leave them: the bytes become the file of one container, which is then opened,
// listed and used through the provider. Bad files fail cleanly; a key that loads can be
// exported and used.
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "qm/csp_registration.h"
#include "qm/fuzz_harness.h"
#include "windows.h"

namespace
{
const char16_t kContainer[] = u"fuzzbox";

std::filesystem::path g_file;

void UseKey(HCRYPTPROV prov, DWORD spec)
{
    HCRYPTKEY key = 0;
    if (!CryptGetUserKey(prov, spec, &key))
        return;
    DWORD cb = 0;
    if (!CryptExportKey(key, 0, PUBLICKEYBLOB, 0, nullptr, &cb) || cb == 0)
        __builtin_trap(); // a key that loads has a public half
    std::vector<BYTE> blob(cb);
    if (!CryptExportKey(key, 0, PUBLICKEYBLOB, 0, blob.data(), &cb) || cb > blob.size())
        __builtin_trap();
    cb = 0;
    if (CryptExportKey(key, 0, PRIVATEKEYBLOB, 0, nullptr, &cb))
    {
        blob.resize(cb);
        if (!CryptExportKey(key, 0, PRIVATEKEYBLOB, 0, blob.data(), &cb))
            __builtin_trap();
    }
    DWORD bits = 0, cbBits = sizeof bits;
    CryptGetKeyParam(key, KP_KEYLEN, reinterpret_cast<BYTE*>(&bits), &cbBits, 0);
    // A signature over a few bytes: the private half is whole.
    HCRYPTHASH hash = 0;
    if (CryptCreateHash(prov, CALG_SHA1, 0, 0, &hash))
    {
        CryptHashData(hash, reinterpret_cast<const BYTE*>("fuzz"), 4, 0);
        DWORD cbSig = 0;
        if (CryptSignHashW(hash, spec, nullptr, 0, nullptr, &cbSig) && cbSig)
        {
            std::vector<BYTE> sig(cbSig);
            CryptSignHashW(hash, spec, nullptr, 0, sig.data(), &cbSig);
        }
        CryptDestroyHash(hash);
    }
    CryptDestroyKey(key);
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // The user's folder is named by the user; a fixed name keeps the file's place known.
    setenv("USER", "fuzz", 1);
    const std::filesystem::path& machine = qm::fuzz::UseScratchMachine("qm-container-fuzz");
    qm::SetProcessElevated(true);
    if (qm::RegisterPlatformCryptProviders(QM_RSAENH_PATH) != ERROR_SUCCESS)
        __builtin_trap();
    // A real container made by the provider shows where its file lives.
    HCRYPTPROV prov = 0;
    if (!CryptAcquireContextW(&prov, kContainer, MS_ENHANCED_PROV_W, PROV_RSA_FULL, CRYPT_NEWKEYSET))
        __builtin_trap();
    CryptReleaseContext(prov, 0);
    for (const auto& entry : std::filesystem::recursive_directory_iterator(machine / "crypto"))
        if (entry.path().extension() == ".key")
            g_file = entry.path();
    if (g_file.empty())
        __builtin_trap();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    {
        std::ofstream out(g_file, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), std::streamsize(size));
    }
    HCRYPTPROV prov = 0;
    if (CryptAcquireContextW(&prov, kContainer, MS_ENHANCED_PROV_W, PROV_RSA_FULL, 0))
    {
        UseKey(prov, AT_KEYEXCHANGE);
        UseKey(prov, AT_SIGNATURE);
        // The listing reads every container file of the folder.
        std::vector<BYTE> name(1024);
        for (DWORD flags = CRYPT_FIRST;; flags = 0)
        {
            DWORD cb = DWORD(name.size());
            if (!CryptGetProvParam(prov, PP_ENUMCONTAINERS, name.data(), &cb, flags))
                break;
        }
        CryptReleaseContext(prov, 0);
    }
    return 0;
}
