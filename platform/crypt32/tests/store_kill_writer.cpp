// Changes the current user's MY store of $QM_MACHINE without end, to be killed at any moment:
//   store_kill_writer FILE...
// Goes round the DER files: a certificate that is not in the store is added and given the
// friendly name "kill-<thumbprint>"; one that is, is deleted. Before each change it prints
// "add <thumbprint>" or "delete <thumbprint>", after it "added ..." or "deleted ...".
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "windows.h"
#include "wincrypt.h"

namespace
{
constexpr DWORD kEnc = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;

void Say(const char* what, const std::string& thumb)
{
    std::printf("%s %s\n", what, thumb.c_str());
    std::fflush(stdout);
}

std::string Thumbprint(PCCERT_CONTEXT c)
{
    BYTE sha1[20];
    DWORD cb = sizeof sha1;
    if (!CertGetCertificateContextProperty(c, CERT_SHA1_HASH_PROP_ID, sha1, &cb))
        return {};
    std::string s;
    for (BYTE b : sha1)
    {
        char two[3];
        std::snprintf(two, sizeof two, "%02X", b);
        s += two;
    }
    return s;
}
} // namespace

int main(int argc, char** argv)
{
    std::vector<PCCERT_CONTEXT> certs;
    for (int i = 1; i < argc; ++i)
    {
        std::ifstream in(argv[i], std::ios::binary);
        std::vector<BYTE> der((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        PCCERT_CONTEXT c = CertCreateCertificateContext(kEnc, der.data(), DWORD(der.size()));
        if (!c)
            return 2;
        certs.push_back(c);
    }
    if (certs.empty())
        return 2;
    HCERTSTORE store =
        CertOpenStore(CERT_STORE_PROV_SYSTEM_W, kEnc, 0, CERT_SYSTEM_STORE_CURRENT_USER, u"MY");
    if (!store)
        return 3;
    std::printf("ready\n");
    std::fflush(stdout);
    for (size_t i = 0;; ++i)
    {
        PCCERT_CONTEXT c = certs[i % certs.size()];
        std::string thumb = Thumbprint(c);
        PCCERT_CONTEXT found = CertFindCertificateInStore(store, kEnc, 0, CERT_FIND_EXISTING, c, nullptr);
        if (found)
        {
            Say("delete", thumb);
            if (!CertDeleteCertificateFromStore(found))
                return 4;
            Say("deleted", thumb);
            continue;
        }
        Say("add", thumb);
        PCCERT_CONTEXT added = nullptr;
        if (!CertAddCertificateContextToStore(store, c, CERT_STORE_ADD_NEW, &added))
            return 5;
        std::u16string name = u"kill-";
        name.append(thumb.begin(), thumb.end());
        CRYPT_DATA_BLOB blob{DWORD((name.size() + 1) * sizeof(WCHAR)), reinterpret_cast<BYTE*>(name.data())};
        BOOL named = CertSetCertificateContextProperty(added, CERT_FRIENDLY_NAME_PROP_ID, 0, &blob);
        CertFreeCertificateContext(added);
        if (!named)
            return 6;
        Say("added", thumb);
    }
}
