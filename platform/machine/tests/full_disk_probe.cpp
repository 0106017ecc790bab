// A fresh process on the machine of $QM_MACHINE, as a program started on a full disk is:
//   full_disk_probe setup RSAENH ROOT MY  (elevated) providers, a root, a personal certificate,
//                                         a value and a key container
//   full_disk_probe read                  prints what it reads, one "<what> <result>" line each
//   full_disk_probe write DER-FILE        tries one write of each kind, prints its error (0 = done)
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "qm/csp_registration.h"
#include "windows.h"
#include "wincrypt.h"

namespace
{
constexpr DWORD kEnc = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;

void Say(const char* what, unsigned long value)
{
    std::printf("%s %lx\n", what, value);
}

void SayText(const char* what, const std::string& text)
{
    std::printf("%s %s\n", what, text.c_str());
}

// The certificates of a system store as a count, or "error <last error>".
std::string StoreCount(DWORD location, const char16_t* name)
{
    HCERTSTORE store = CertOpenStore(CERT_STORE_PROV_SYSTEM_W, kEnc, 0, location, name);
    if (!store)
        return "error " + std::to_string(GetLastError());
    int n = 0;
    PCCERT_CONTEXT c = nullptr;
    while ((c = CertEnumCertificatesInStore(store, c)) != nullptr)
        ++n;
    CertCloseStore(store, 0);
    return std::to_string(n);
}

std::vector<BYTE> ReadFile(const char* file)
{
    std::ifstream in(file, std::ios::binary);
    return std::vector<BYTE>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

bool Add(DWORD location, const char16_t* name, const char* derFile)
{
    std::vector<BYTE> der = ReadFile(derFile);
    HCERTSTORE store = CertOpenStore(CERT_STORE_PROV_SYSTEM_W, kEnc, 0, location, name);
    if (!store)
        return false;
    BOOL added = CertAddEncodedCertificateToStore(store, kEnc, der.data(), DWORD(der.size()), CERT_STORE_ADD_NEW,
                                                  nullptr);
    CertCloseStore(store, 0);
    return added;
}

int Setup(const char* rsaenh, const char* root, const char* mine)
{
    std::string path = rsaenh;
    if (qm::RegisterPlatformCryptProviders(std::u16string(path.begin(), path.end())) != ERROR_SUCCESS)
        return 3;
    if (!Add(CERT_SYSTEM_STORE_LOCAL_MACHINE, u"ROOT", root) || !Add(CERT_SYSTEM_STORE_CURRENT_USER, u"MY", mine))
        return 4;
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, u"Software\\Quill\\Probe", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return 5;
    const char16_t text[] = u"kept";
    LSTATUS st = RegSetValueExW(key, u"Text", 0, REG_SZ, reinterpret_cast<const BYTE*>(text), sizeof text);
    RegCloseKey(key);
    if (st != ERROR_SUCCESS)
        return 5;
    HCRYPTPROV h = 0;
    HCRYPTKEY k = 0;
    if (!CryptAcquireContextW(&h, u"probe", MS_ENHANCED_PROV_W, PROV_RSA_FULL, CRYPT_NEWKEYSET))
        return 6;
    BOOL made = CryptGenKey(h, AT_KEYEXCHANGE, (512 << 16) | CRYPT_EXPORTABLE, &k);
    if (k)
        CryptDestroyKey(k);
    CryptReleaseContext(h, 0);
    return made ? 0 : 7;
}

int Read()
{
    HKEY key = nullptr;
    LSTATUS st = RegOpenKeyExW(HKEY_CURRENT_USER, u"Software\\Quill\\Probe", 0, KEY_READ, &key);
    std::string text = "error " + std::to_string(st);
    if (st == ERROR_SUCCESS)
    {
        char16_t value[64] = {};
        DWORD size = sizeof value - sizeof(char16_t);
        st = RegQueryValueExW(key, u"Text", nullptr, nullptr, reinterpret_cast<BYTE*>(value), &size);
        text = st == ERROR_SUCCESS ? std::string(value, value + size / 2 - 1) : "error " + std::to_string(st);
        RegCloseKey(key);
    }
    SayText("value", text);
    SayText("root", StoreCount(CERT_SYSTEM_STORE_LOCAL_MACHINE | CERT_STORE_READONLY_FLAG, u"ROOT"));
    SayText("my", StoreCount(CERT_SYSTEM_STORE_CURRENT_USER, u"MY"));

    int providers = 0;
    for (DWORD i = 0;; ++i)
    {
        DWORD type = 0, cb = 0;
        if (!CryptEnumProvidersW(i, nullptr, 0, &type, nullptr, &cb))
        {
            if (GetLastError() != ERROR_NO_MORE_ITEMS)
                providers = -int(GetLastError());
            break;
        }
        ++providers;
    }
    SayText("providers", std::to_string(providers));

    HCRYPTPROV h = 0;
    std::string container = "error";
    if (CryptAcquireContextW(&h, u"probe", MS_ENHANCED_PROV_W, PROV_RSA_FULL, 0))
    {
        HCRYPTKEY k = 0;
        DWORD size = 0;
        if (CryptGetUserKey(h, AT_KEYEXCHANGE, &k) && CryptExportKey(k, 0, PUBLICKEYBLOB, 0, nullptr, &size))
        {
            std::vector<BYTE> blob(size);
            CryptExportKey(k, 0, PUBLICKEYBLOB, 0, blob.data(), &size);
            container.clear();
            for (BYTE b : blob)
            {
                char two[3];
                std::snprintf(two, sizeof two, "%02x", b);
                container += two;
            }
        }
        if (k)
            CryptDestroyKey(k);
        CryptReleaseContext(h, 0);
    }
    else
        container += " " + std::to_string(GetLastError());
    SayText("container", container);
    return 0;
}

int Write(const char* derFile)
{
    HKEY key = nullptr;
    LSTATUS st = RegCreateKeyExW(HKEY_CURRENT_USER, u"Software\\Quill\\Probe", 0, nullptr, 0, KEY_ALL_ACCESS,
                                 nullptr, &key, nullptr);
    if (st != ERROR_SUCCESS)
        return 3;
    const char16_t text[] = u"changed";
    Say("set", RegSetValueExW(key, u"Text", 0, REG_SZ, reinterpret_cast<const BYTE*>(text), sizeof text));
    std::vector<BYTE> big(64 * 1024, 0x5A);
    Say("add-value", RegSetValueExW(key, u"Big", 0, REG_BINARY, big.data(), DWORD(big.size())));
    HKEY sub = nullptr;
    Say("create-key", RegCreateKeyExW(key, u"New", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &sub, nullptr));
    if (sub)
        RegCloseKey(sub);
    RegCloseKey(key);

    std::vector<BYTE> der = ReadFile(derFile);
    HCERTSTORE store = CertOpenStore(CERT_STORE_PROV_SYSTEM_W, kEnc, 0, CERT_SYSTEM_STORE_CURRENT_USER, u"MY");
    if (!store)
        return 4;
    BOOL added = CertAddEncodedCertificateToStore(store, kEnc, der.data(), DWORD(der.size()), CERT_STORE_ADD_NEW,
                                                  nullptr);
    Say("add-cert", added ? 0 : GetLastError());
    CertCloseStore(store, 0);

    HCRYPTPROV h = 0;
    BOOL created = CryptAcquireContextW(&h, u"probe-new", MS_ENHANCED_PROV_W, PROV_RSA_FULL, CRYPT_NEWKEYSET);
    Say("new-container", created ? 0 : GetLastError());
    if (h)
        CryptReleaseContext(h, 0);
    h = 0;
    unsigned long keyResult = 0;
    if (CryptAcquireContextW(&h, u"probe", MS_ENHANCED_PROV_W, PROV_RSA_FULL, 0))
    {
        HCRYPTKEY k = 0;
        keyResult = CryptGenKey(h, AT_KEYEXCHANGE, (512 << 16) | CRYPT_EXPORTABLE, &k) ? 0 : GetLastError();
        if (k)
            CryptDestroyKey(k);
        CryptReleaseContext(h, 0);
    }
    else
        keyResult = GetLastError();
    Say("new-key", keyResult);
    return 0;
}
} // namespace

int main(int argc, char** argv)
{
    if (argc >= 5 && std::strcmp(argv[1], "setup") == 0)
        return Setup(argv[2], argv[3], argv[4]);
    if (argc >= 2 && std::strcmp(argv[1], "read") == 0)
        return Read();
    if (argc >= 3 && std::strcmp(argv[1], "write") == 0)
        return Write(argv[2]);
    return 2;
}
