// Changes key containers of $QM_MACHINE without end, to be killed at any moment:
//   container_kill_writer PROVIDER COUNT
// Goes round the containers kill0 .. kill<COUNT-1>: a missing one is created; an existing one
// gets a new exchange key, then a new signature key, then is deleted. Before each change it
// prints "create|genkey|delete NAME [SPEC]", after it "created NAME", "genkeyed NAME SPEC
// <PUBLICKEYBLOB in hex>" or "deleted NAME".
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "windows.h"
#include "wincrypt.h"

namespace
{
void Say(const std::string& line)
{
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

std::string PublicKeyHex(HCRYPTKEY key)
{
    DWORD size = 0;
    if (!CryptExportKey(key, 0, PUBLICKEYBLOB, 0, nullptr, &size))
        return {};
    std::vector<BYTE> blob(size);
    if (!CryptExportKey(key, 0, PUBLICKEYBLOB, 0, blob.data(), &size))
        return {};
    std::string hex;
    for (DWORD i = 0; i < size; ++i)
    {
        char two[3];
        std::snprintf(two, sizeof two, "%02x", blob[i]);
        hex += two;
    }
    return hex;
}
} // namespace

int main(int argc, char** argv)
{
    if (argc != 3)
        return 2;
    std::string narrow = argv[1];
    std::u16string provider(narrow.begin(), narrow.end());
    int count = std::atoi(argv[2]);
    std::map<std::string, int> step; // what comes next for an existing container
    // The provider module loaded and its first key made before "ready", so that the kills
    // fall among the writes.
    HCRYPTPROV verify = 0;
    HCRYPTKEY warm = 0;
    if (!CryptAcquireContextW(&verify, nullptr, provider.c_str(), PROV_RSA_FULL, CRYPT_VERIFYCONTEXT) ||
        !CryptGenKey(verify, AT_KEYEXCHANGE, 512 << 16, &warm))
        return 3;
    CryptDestroyKey(warm);
    CryptReleaseContext(verify, 0);
    Say("ready");
    for (int i = 0;; ++i)
    {
        std::string name = "kill" + std::to_string(i % count);
        std::u16string wide(name.begin(), name.end());
        HCRYPTPROV h = 0;
        if (!CryptAcquireContextW(&h, wide.c_str(), provider.c_str(), PROV_RSA_FULL, 0))
        {
            if (GetLastError() != DWORD(NTE_BAD_KEYSET))
                return 3;
            Say("create " + name);
            if (!CryptAcquireContextW(&h, wide.c_str(), provider.c_str(), PROV_RSA_FULL, CRYPT_NEWKEYSET))
                return 4;
            CryptReleaseContext(h, 0);
            Say("created " + name);
            step[name] = 0;
            continue;
        }
        int next = step[name]++ % 3;
        if (next == 2)
        {
            CryptReleaseContext(h, 0);
            Say("delete " + name);
            if (!CryptAcquireContextW(&h, wide.c_str(), provider.c_str(), PROV_RSA_FULL, CRYPT_DELETEKEYSET))
                return 5;
            Say("deleted " + name);
            continue;
        }
        DWORD spec = next == 0 ? AT_KEYEXCHANGE : AT_SIGNATURE;
        std::string tail = name + " " + std::to_string(spec);
        Say("genkey " + tail);
        HCRYPTKEY key = 0;
        if (!CryptGenKey(h, spec, (512 << 16) | CRYPT_EXPORTABLE, &key))
            return 6;
        std::string pub = PublicKeyHex(key);
        CryptDestroyKey(key);
        CryptReleaseContext(h, 0);
        if (pub.empty())
            return 7;
        Say("genkeyed " + tail + " " + pub);
    }
}
