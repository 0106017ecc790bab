// qmctl store: certificates of the system stores of the user or the machine.
#include <cstdio>
#include <vector>

#include "command.h"
#include "key_files.h"
#include "reg_text.h"
#include "reg_walk.h"
#include "windows.h"
#include "wincrypt.h"

namespace qmctl
{
namespace
{
bool Location(const std::string& text, DWORD* flags, HKEY* root, const char16_t** key)
{
    if (text == "user")
    {
        *flags = CERT_SYSTEM_STORE_CURRENT_USER;
        *root = HKEY_CURRENT_USER;
        *key = u"Software\\Microsoft\\SystemCertificates";
        return true;
    }
    if (text == "machine")
    {
        *flags = CERT_SYSTEM_STORE_LOCAL_MACHINE;
        *root = HKEY_LOCAL_MACHINE;
        *key = u"SOFTWARE\\Microsoft\\SystemCertificates";
        return true;
    }
    return false;
}

std::string Failure(const std::string& what)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", unsigned(GetLastError()));
    return what + " failed with " + text;
}

int Add(const Args& args)
{
    DWORD flags = 0;
    HKEY root = nullptr;
    const char16_t* key = nullptr;
    if (args.size() != 3 || !Location(args[0], &flags, &root, &key))
        return Fail("usage: qmctl store add user|machine STORE CERTFILE", kUsage);
    Bytes der;
    std::string error;
    if (!ReadCertificateFile(args[2], &der, &error))
        return Fail(error);
    std::u16string name = Utf16(args[1]);
    HCERTSTORE store = CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, flags, name.c_str());
    if (!store)
        return Fail(Failure("CertOpenStore(" + args[1] + ")"));
    BOOL ok = CertAddEncodedCertificateToStore(store, X509_ASN_ENCODING | PKCS_7_ASN_ENCODING,
                                               der.data(), DWORD(der.size()),
                                               CERT_STORE_ADD_REPLACE_EXISTING, nullptr);
    std::string message = ok ? "" : Failure("CertAddEncodedCertificateToStore");
    CertCloseStore(store, 0);
    return ok ? kOk : Fail(message);
}

// The key a certificate is linked to: "PROVIDER<TAB>CONTAINER<TAB>KEYSPEC", or "-".
std::string KeyLink(PCCERT_CONTEXT cert)
{
    DWORD size = 0;
    if (!CertGetCertificateContextProperty(cert, CERT_KEY_PROV_INFO_PROP_ID, nullptr, &size))
        return "-";
    std::vector<BYTE> buffer(size);
    if (!CertGetCertificateContextProperty(cert, CERT_KEY_PROV_INFO_PROP_ID, buffer.data(), &size))
        return "-";
    const auto* info = reinterpret_cast<const CRYPT_KEY_PROV_INFO*>(buffer.data());
    return Utf8(info->pwszProvName ? info->pwszProvName : u"") + "\t" +
           Utf8(info->pwszContainerName ? info->pwszContainerName : u"") + "\t" +
           std::to_string(info->dwKeySpec);
}

int List(const Args& args)
{
    DWORD flags = 0;
    HKEY root = nullptr;
    const char16_t* key = nullptr;
    Args rest = args;
    bool withKeys = !rest.empty() && rest.back() == "--keys";
    if (withKeys)
        rest.pop_back();
    if (rest.empty() || rest.size() > 2 || (withKeys && rest.size() != 2) ||
        !Location(rest[0], &flags, &root, &key))
        return Fail("usage: qmctl store list user|machine [STORE [--keys]]", kUsage);
    if (rest.size() == 1)
    {
        LSTATUS st = PrintSubKeyNames(root, key);
        return st == ERROR_SUCCESS ? kOk : Fail("stores of " + args[0] + ": " + StatusText(st));
    }
    std::u16string name = Utf16(rest[1]);
    HCERTSTORE store = CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0,
                                     flags | CERT_STORE_READONLY_FLAG, name.c_str());
    if (!store)
        return Fail(Failure("CertOpenStore(" + rest[1] + ")"));
    for (PCCERT_CONTEXT cert = nullptr; (cert = CertEnumCertificatesInStore(store, cert));)
    {
        BYTE hash[20];
        DWORD size = sizeof hash;
        std::string line;
        if (CertGetCertificateContextProperty(cert, CERT_SHA1_HASH_PROP_ID, hash, &size))
            line = HexText(hash, size);
        char16_t subject[512] = {};
        CertNameToStrW(X509_ASN_ENCODING, &cert->pCertInfo->Subject, CERT_X500_NAME_STR, subject,
                       512);
        line += "\t" + Utf8(subject);
        if (withKeys)
            line += "\t" + KeyLink(cert);
        std::printf("%s\n", line.c_str());
    }
    CertCloseStore(store, 0);
    return kOk;
}

int Run(const Args& args)
{
    if (!args.empty() && args[0] == "add")
        return Add(Args(args.begin() + 1, args.end()));
    if (!args.empty() && args[0] == "list")
        return List(Args(args.begin() + 1, args.end()));
    return Fail("usage: qmctl store add|list ...", kUsage);
}

const CommandRegistration kStore({
    "store",
    "qmctl store add user|machine STORE CERTFILE\n"
    "qmctl store list user|machine [STORE [--keys]]\n",
    "  add: a certificate file (PEM or DER) into a system store of the current user or the\n"
    "  local machine, replacing an existing copy. list: the system stores, or the\n"
    "  certificates of one (SHA-1 thumbprint and subject); --keys adds the key each is\n"
    "  linked to (provider, container and key spec), or \"-\".\n",
    Run,
});
} // namespace
} // namespace qmctl
