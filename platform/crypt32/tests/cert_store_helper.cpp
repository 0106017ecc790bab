// Adds certificates to a system store of the machine of $QM_MACHINE from another process:
//   cert_store_helper user|machine STORE DISPOSITION TAG [--wait] FILE...
// Each DER file is added with a key-provider property (container TAG-<file name>) and then
// given the friendly name TAG-<file name> in the store, so its Blob is written twice.
// Prints one line per file: its name and the last error of the add (0 on success).
// --wait: prints "open" once the store is open, then waits for the end of standard input,
// so that several helpers add at the same moment.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
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

std::string BaseName(const std::string& path)
{
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

DWORD AddOne(HCERTSTORE store, const std::string& file, DWORD disposition, const std::string& tag, bool machine)
{
    std::ifstream in(file, std::ios::binary);
    std::vector<BYTE> der((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    PCCERT_CONTEXT source =
        CertCreateCertificateContext(X509_ASN_ENCODING | PKCS_7_ASN_ENCODING, der.data(), DWORD(der.size()));
    if (!source)
        return GetLastError();
    std::u16string label = Wide(tag + "-" + BaseName(file));
    CRYPT_KEY_PROV_INFO kp{};
    kp.pwszContainerName = label.data();
    kp.pwszProvName = const_cast<LPWSTR>(MS_ENHANCED_PROV_W);
    kp.dwProvType = PROV_RSA_FULL;
    kp.dwFlags = machine ? CRYPT_MACHINE_KEYSET : 0;
    kp.dwKeySpec = AT_KEYEXCHANGE;
    DWORD error = 0;
    PCCERT_CONTEXT added = nullptr;
    if (!CertSetCertificateContextProperty(source, CERT_KEY_PROV_INFO_PROP_ID, 0, &kp) ||
        !CertAddCertificateContextToStore(store, source, disposition, &added))
    {
        error = GetLastError();
    }
    else
    {
        CRYPT_DATA_BLOB name{DWORD((label.size() + 1) * sizeof(WCHAR)), reinterpret_cast<BYTE*>(label.data())};
        if (!CertSetCertificateContextProperty(added, CERT_FRIENDLY_NAME_PROP_ID, 0, &name))
            error = GetLastError();
        CertFreeCertificateContext(added);
    }
    CertFreeCertificateContext(source);
    return error;
}
} // namespace

int main(int argc, char** argv)
{
    if (argc < 6)
        return 2;
    bool machine = std::strcmp(argv[1], "machine") == 0;
    std::u16string storeName = Wide(argv[2]);
    DWORD disposition = DWORD(std::atoi(argv[3]));
    std::string tag = argv[4];
    int first = 5;
    bool wait = std::strcmp(argv[first], "--wait") == 0;
    if (wait)
        ++first;

    HCERTSTORE store = CertOpenStore(CERT_STORE_PROV_SYSTEM_W, X509_ASN_ENCODING | PKCS_7_ASN_ENCODING, 0,
                                     machine ? CERT_SYSTEM_STORE_LOCAL_MACHINE : CERT_SYSTEM_STORE_CURRENT_USER,
                                     storeName.c_str());
    if (!store)
    {
        std::printf("open %lx\n", static_cast<unsigned long>(GetLastError()));
        return 3;
    }
    if (wait)
    {
        std::printf("open\n");
        std::fflush(stdout);
        char c;
        while (std::fread(&c, 1, 1, stdin) == 1)
        {
        }
    }
    for (int i = first; i < argc; ++i)
        std::printf("%s %lx\n", BaseName(argv[i]).c_str(),
                    static_cast<unsigned long>(AddOne(store, argv[i], disposition, tag, machine)));
    CertCloseStore(store, 0);
    return 0;
}
