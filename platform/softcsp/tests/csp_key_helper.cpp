// Works on the machine of $QM_MACHINE from another process:
//   csp_key_helper containers PROVIDER PREFIX COUNT   new containers PREFIX0.., each with a key
//   csp_key_helper genkey PROVIDER CONTAINER KEYSPEC     a key pair of KEYSPEC in an existing
//   container csp_key_helper pub PROVIDER CONTAINER KEYSPEC        prints the PUBLICKEYBLOB in hex
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "windows.h"
#include "wincrypt.h"

namespace
{
std::u16string Wide(const std::string& s)
{
    return std::u16string(s.begin(), s.end());
}

int Genkey(HCRYPTPROV h, DWORD spec)
{
    HCRYPTKEY key = 0;
    if (!CryptGenKey(h, spec, 512 << 16, &key))
        return 3;
    CryptDestroyKey(key);
    return 0;
}
} // namespace

int main(int argc, char** argv)
{
    if (argc != 5)
        return 2;
    std::string command = argv[1];
    std::u16string provider = Wide(argv[2]);
    HCRYPTPROV h = 0;
    if (command == "containers")
    {
        for (int i = 0; i < std::atoi(argv[4]); ++i)
        {
            std::u16string name = Wide(argv[3] + std::to_string(i));
            if (!CryptAcquireContextW(&h, name.c_str(), provider.c_str(), PROV_RSA_FULL,
                                      CRYPT_NEWKEYSET))
                return 3;
            int rc = Genkey(h, AT_KEYEXCHANGE);
            CryptReleaseContext(h, 0);
            if (rc)
                return rc;
        }
        return 0;
    }
    std::u16string container = Wide(argv[3]);
    DWORD spec = DWORD(std::atoi(argv[4]));
    if (!CryptAcquireContextW(&h, container.c_str(), provider.c_str(), PROV_RSA_FULL, 0))
        return 3;
    int rc = 2;
    if (command == "genkey")
        rc = Genkey(h, spec);
    else if (command == "pub")
    {
        HCRYPTKEY key = 0;
        DWORD size = 0;
        rc = 3;
        if (CryptGetUserKey(h, spec, &key) &&
            CryptExportKey(key, 0, PUBLICKEYBLOB, 0, nullptr, &size))
        {
            std::vector<BYTE> blob(size);
            if (CryptExportKey(key, 0, PUBLICKEYBLOB, 0, blob.data(), &size))
            {
                for (BYTE b : blob)
                    std::printf("%02x", b);
                rc = 0;
            }
            CryptDestroyKey(key);
        }
    }
    CryptReleaseContext(h, 0);
    return rc;
}
