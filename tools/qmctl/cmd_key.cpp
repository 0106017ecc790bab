// qmctl key: providers, key containers and their keys, and the certificates bound to keys
// (in the user's MY store for the platform's providers, on the key for a token).
#include <cstdio>
#include <cstring>

#include "command.h"
#include "key_files.h"
#include "kit/kit.h"
#include "reg_text.h"
#include "../../platform/tokencsp/sm2.h"
#include "windows.h"
#include "wincrypt.h"

namespace qmctl
{
namespace
{
std::string ErrorText(DWORD e)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", unsigned(e));
    return text;
}

int CryptFail(const std::string& what)
{
    return Fail(what + " failed with " + ErrorText(GetLastError()));
}

bool HasFlag(const Args& args, const char* flag)
{
    for (const auto& a : args)
        if (a == flag)
            return true;
    return false;
}

std::string Option(const Args& args, const std::string& name, const std::string& fallback)
{
    for (size_t i = 0; i + 1 < args.size(); ++i)
        if (args[i] == name)
            return args[i + 1];
    return fallback;
}

// The provider's type as the provider key gives it (0: not registered).
DWORD ProviderType(const std::u16string& name)
{
    for (DWORD i = 0;; ++i)
    {
        DWORD type = 0, size = 0;
        if (!CryptEnumProvidersW(i, nullptr, 0, &type, nullptr, &size))
            return 0;
        std::u16string found(size / 2, u'\0');
        if (CryptEnumProvidersW(i, nullptr, 0, &type, found.data(), &size) && found.c_str() == name)
            return type;
    }
}

bool IsPlatformProvider(const std::u16string& name)
{
    return name.find(u"Microsoft") != std::u16string::npos;
}

struct CContext
{
    HCRYPTPROV h = 0;
    ~CContext()
    {
        if (h)
            CryptReleaseContext(h, 0);
    }
};

// Opens a container, making it when asked and missing.
bool Open(const std::u16string& provider, const std::u16string& container, bool create,
          CContext* ctx)
{
    DWORD type = ProviderType(provider);
    if (!type)
    {
        Fail("no provider " + Utf8(provider));
        return false;
    }
    if (CryptAcquireContextW(&ctx->h, container.c_str(), provider.c_str(), type, 0))
        return true;
    if (create && GetLastError() == DWORD(NTE_BAD_KEYSET) &&
        CryptAcquireContextW(&ctx->h, container.c_str(), provider.c_str(), type, CRYPT_NEWKEYSET))
        return true;
    CryptFail("CryptAcquireContext(" + Utf8(container) + ")");
    return false;
}

qm::cspkit::Bytes PublicBlob(HCRYPTKEY key)
{
    DWORD size = 0;
    qm::cspkit::Bytes blob;
    if (CryptExportKey(key, 0, PUBLICKEYBLOB, 0, nullptr, &size))
    {
        blob.resize(size);
        if (!CryptExportKey(key, 0, PUBLICKEYBLOB, 0, blob.data(), &size))
            blob.clear();
    }
    return blob;
}

int BindCertificate(const std::u16string& provider, const std::u16string& container, DWORD spec,
                    const qm::cspkit::Bytes& der, HCRYPTPROV h)
{
    if (!IsPlatformProvider(provider))
    {
        HCRYPTKEY key = 0;
        if (!CryptGetUserKey(h, spec, &key))
            return CryptFail("CryptGetUserKey");
        BOOL ok = CryptSetKeyParam(key, KP_CERTIFICATE, der.data(), 0);
        CryptDestroyKey(key);
        return ok ? kOk : CryptFail("CryptSetKeyParam(KP_CERTIFICATE)");
    }
    HCERTSTORE store =
        CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_CURRENT_USER, u"MY");
    if (!store)
        return CryptFail("CertOpenStore(MY)");
    PCCERT_CONTEXT cert = nullptr;
    BOOL ok =
        CertAddEncodedCertificateToStore(store, X509_ASN_ENCODING | PKCS_7_ASN_ENCODING, der.data(),
                                         DWORD(der.size()), CERT_STORE_ADD_REPLACE_EXISTING, &cert);
    if (ok)
    {
        std::u16string c = container, p = provider;
        CRYPT_KEY_PROV_INFO info{};
        info.pwszContainerName = c.data();
        info.pwszProvName = p.data();
        info.dwProvType = ProviderType(provider);
        info.dwKeySpec = spec;
        ok = CertSetCertificateContextProperty(cert, CERT_KEY_PROV_INFO_PROP_ID, 0, &info);
        CertFreeCertificateContext(cert);
    }
    DWORD error = GetLastError();
    CertCloseStore(store, 0);
    SetLastError(error);
    return ok ? kOk : CryptFail("adding the certificate to MY");
}

DWORD SpecOf(const std::string& text)
{
    return text == "1" ? AT_KEYEXCHANGE : text == "2" ? AT_SIGNATURE : 0;
}

int Providers()
{
    for (DWORD i = 0;; ++i)
    {
        DWORD type = 0, size = 0;
        if (!CryptEnumProvidersW(i, nullptr, 0, &type, nullptr, &size))
            return kOk;
        std::u16string name(size / 2, u'\0');
        if (CryptEnumProvidersW(i, nullptr, 0, &type, name.data(), &size))
            std::printf("%u\t%s\n", unsigned(type), Utf8(name.c_str()).c_str());
    }
}

// The certificate on the key (KP_CERTIFICATE), empty when there is none.
qm::cspkit::Bytes KeyCertificate(HCRYPTKEY key)
{
    DWORD size = 0;
    qm::cspkit::Bytes der;
    if (CryptGetKeyParam(key, KP_CERTIFICATE, nullptr, &size, 0))
    {
        der.resize(size);
        if (CryptGetKeyParam(key, KP_CERTIFICATE, der.data(), &size, 0))
            der.resize(size);
        else
            der.clear();
    }
    return der;
}

// SHA-1 of a key's PUBLICKEYBLOB and of the certificate on it, in hex ("-" for none).
std::string KeyFacts(HCRYPTKEY key)
{
    std::string facts;
    for (const qm::cspkit::Bytes& data : {PublicBlob(key), KeyCertificate(key)})
        facts += "\t" + (data.empty() ? std::string("-") : Sha1Hex(data));
    return facts;
}

int Containers(const Args& args)
{
    bool withKeys = args.size() == 2 && args[1] == "--keys";
    if (args.size() != 1 && !withKeys)
        return Fail("usage: qmctl key containers PROVIDER [--keys]", kUsage);
    std::u16string provider = Utf16(args[0]);
    CContext ctx;
    DWORD type = ProviderType(provider);
    if (!type ||
        !CryptAcquireContextW(&ctx.h, nullptr, provider.c_str(), type, CRYPT_VERIFYCONTEXT))
        return CryptFail("CryptAcquireContext(" + args[0] + ")");
    DWORD longest = 0;
    if (!CryptGetProvParam(ctx.h, PP_ENUMCONTAINERS, nullptr, &longest, CRYPT_FIRST))
        return GetLastError() == ERROR_NO_MORE_ITEMS ? kOk : CryptFail("PP_ENUMCONTAINERS");
    std::vector<char> name(longest + 1);
    for (DWORD flags = CRYPT_FIRST;; flags = CRYPT_NEXT)
    {
        DWORD size = DWORD(name.size());
        if (!CryptGetProvParam(ctx.h, PP_ENUMCONTAINERS, reinterpret_cast<BYTE*>(name.data()),
                               &size, flags))
            break;
        std::string line = name.data();
        std::vector<std::string> keyLines; // --keys: one line per key
        CContext keys;
        std::u16string wide = Utf16(name.data());
        if (CryptAcquireContextW(&keys.h, wide.c_str(), provider.c_str(), type, 0))
            for (DWORD spec : {AT_KEYEXCHANGE, AT_SIGNATURE})
            {
                HCRYPTKEY key = 0;
                if (CryptGetUserKey(keys.h, spec, &key))
                {
                    const char* specName = spec == AT_KEYEXCHANGE ? "exchange" : "signature";
                    if (withKeys)
                        keyLines.push_back(std::string(name.data()) + "\t" + specName +
                                           KeyFacts(key));
                    else
                        line += std::string("\t") + specName;
                    CryptDestroyKey(key);
                }
            }
        if (keyLines.empty())
            std::printf("%s\n", line.c_str());
        for (const std::string& keyLine : keyLines)
            std::printf("%s\n", keyLine.c_str());
    }
    return kOk;
}

int Gen(const Args& args)
{
    if (args.size() < 3 || !SpecOf(args[2]))
        return Fail(
            "usage: qmctl key gen PROVIDER CONTAINER KEYSPEC [--sm2] [--bits N] [--exportable]",
            kUsage);
    std::u16string provider = Utf16(args[0]), container = Utf16(args[1]);
    DWORD spec = SpecOf(args[2]);
    bool sm2 = HasFlag(args, "--sm2");
    DWORD bits = DWORD(std::stoul(Option(args, "--bits", sm2 ? "256" : "0")));
    CContext ctx;
    if (!Open(provider, container, true, &ctx))
        return kFailed;
    ALG_ID alg = sm2 ? (spec == AT_KEYEXCHANGE ? 0xBE00 : 0x3E00) : spec;
    HCRYPTKEY key = 0;
    if (!CryptGenKey(ctx.h, alg,
                     (bits << 16) | (HasFlag(args, "--exportable") ? CRYPT_EXPORTABLE : 0), &key))
        return CryptFail("CryptGenKey");
    CryptDestroyKey(key);
    return kOk;
}

int Import(const Args& args)
{
    if (args.size() < 4 || !SpecOf(args[2]))
        return Fail(
            "usage: qmctl key import PROVIDER CONTAINER KEYSPEC KEYFILE [CERTFILE] [--exportable]",
            kUsage);
    std::u16string provider = Utf16(args[0]), container = Utf16(args[1]);
    DWORD spec = SpecOf(args[2]);
    std::string error;
    KeyFile file;
    if (!ReadKeyFile(args[3], &file, &error))
        return Fail(error);
    qm::cspkit::Bytes cert;
    bool withCert = args.size() > 4 && args[4].rfind("--", 0) != 0;
    if (withCert && !ReadCertificateFile(args[4], &cert, &error))
        return Fail(error);
    CContext ctx;
    if (!Open(provider, container, true, &ctx))
        return kFailed;
    DWORD flags = HasFlag(args, "--exportable") ? CRYPT_EXPORTABLE : 0;
    HCRYPTKEY key = 0;
    if (!file.sm2)
    {
        qm::cspkit::RsaKey rsa;
        if (!qm::cspkit::RsaFromPkcs1(file.rsaPkcs1, &rsa))
            return Fail(args[3] + ": unusable RSA key");
        qm::cspkit::Bytes blob =
            qm::cspkit::PrivateKeyBlob(rsa, spec == AT_KEYEXCHANGE ? CALG_RSA_KEYX : CALG_RSA_SIGN);
        if (!CryptImportKey(ctx.h, blob.data(), DWORD(blob.size()), 0, flags, &key))
            return CryptFail("CryptImportKey");
    }
    else
    {
        // An SM2 key reaches the token the way a delivered encryption key does: encrypted
        // to a temporary exchange key of the container, which it then replaces.
        if (spec != AT_KEYEXCHANGE || IsPlatformProvider(provider))
            return Fail("SM2 keys import onto a token as exchange keys (key spec 1)");
        HCRYPTKEY temp = 0;
        if (!CryptGenKey(ctx.h, 0xBE00, 256 << 16, &temp))
            return CryptFail("CryptGenKey(temporary)");
        qm::cspkit::Bytes tempBlob = PublicBlob(temp);
        CryptDestroyKey(temp);
        if (tempBlob.size() < 140)
            return Fail("the temporary key cannot be exported");
        qm::tokencsp::Sm2Key tempKey;
        tempKey.x =
            qm::cspkit::Reversed(qm::cspkit::Bytes(tempBlob.begin() + 12, tempBlob.begin() + 44));
        tempKey.y =
            qm::cspkit::Reversed(qm::cspkit::Bytes(tempBlob.begin() + 76, tempBlob.begin() + 108));
        qm::cspkit::Bytes cipher;
        if (!qm::tokencsp::Sm2Encrypt(tempKey, file.sm2Private, &cipher))
            return Fail("SM2 encryption failed");
        qm::cspkit::Bytes blob = {PRIVATEKEYBLOB, CUR_BLOB_VERSION, 1, 0};
        for (DWORD v : {DWORD(0xBE00), DWORD(0xBE00), DWORD(cipher.size() * 8)})
            for (int i = 0; i < 4; ++i)
                blob.push_back(BYTE(v >> (8 * i)));
        blob.insert(blob.end(), cipher.begin(), cipher.end());
        if (!CryptImportKey(ctx.h, blob.data(), DWORD(blob.size()), 0, flags, &key))
            return CryptFail("CryptImportKey");
    }
    CryptDestroyKey(key);
    return withCert ? BindCertificate(provider, container, spec, cert, ctx.h) : kOk;
}

int Cert(const Args& args)
{
    if (args.size() != 4 || !SpecOf(args[2]))
        return Fail("usage: qmctl key cert PROVIDER CONTAINER KEYSPEC CERTFILE", kUsage);
    std::string error;
    qm::cspkit::Bytes cert;
    if (!ReadCertificateFile(args[3], &cert, &error))
        return Fail(error);
    std::u16string provider = Utf16(args[0]), container = Utf16(args[1]);
    CContext ctx;
    if (!Open(provider, container, false, &ctx))
        return kFailed;
    return BindCertificate(provider, container, SpecOf(args[2]), cert, ctx.h);
}

int Issue(const Args& args)
{
    if (args.size() < 6 || !SpecOf(args[2]))
        return Fail(
            "usage: qmctl key issue PROVIDER CONTAINER KEYSPEC SUBJECT CAKEY CACERT [--days "
            "N] [--out FILE]",
            kUsage);
    std::u16string provider = Utf16(args[0]), container = Utf16(args[1]);
    DWORD spec = SpecOf(args[2]);
    CContext ctx;
    if (!Open(provider, container, false, &ctx))
        return kFailed;
    HCRYPTKEY key = 0;
    if (!CryptGetUserKey(ctx.h, spec, &key))
        return CryptFail("CryptGetUserKey");
    qm::cspkit::Bytes blob = PublicBlob(key);
    CryptDestroyKey(key);
    PublicKey pub;
    ALG_ID alg = 0;
    if (blob.size() >= 8)
        std::memcpy(&alg, blob.data() + 4, 4);
    if (blob.size() == 140 && (alg == 0xBE00 || alg == 0x3E00))
    {
        pub.sm2 = true;
        pub.sm2X = qm::cspkit::Reversed(qm::cspkit::Bytes(blob.begin() + 12, blob.begin() + 44));
        pub.sm2Y = qm::cspkit::Reversed(qm::cspkit::Bytes(blob.begin() + 76, blob.begin() + 108));
    }
    else
    {
        qm::cspkit::RsaKey rsa;
        if (qm::cspkit::ParseRsaBlob(blob.data(), DWORD(blob.size()), &rsa, &alg) != 0)
            return Fail("the key's public part cannot be read");
        pub.rsaModulus = rsa.n;
        pub.rsaExponent = 0;
        for (BYTE b : rsa.e)
            pub.rsaExponent = (pub.rsaExponent << 8) | b;
    }
    std::string error;
    qm::cspkit::Bytes cert;
    if (!IssueCertificate(pub, args[3], args[4], args[5], std::stoi(Option(args, "--days", "365")),
                          spec == AT_SIGNATURE, &cert, &error))
        return Fail(error);
    if (std::string out = Option(args, "--out", ""); !out.empty())
        if (FILE* f = std::fopen(out.c_str(), "wb"))
        {
            std::fwrite(cert.data(), 1, cert.size(), f);
            std::fclose(f);
        }
    return BindCertificate(provider, container, spec, cert, ctx.h);
}

int Delete(const Args& args)
{
    if (args.size() != 2)
        return Fail("usage: qmctl key delete PROVIDER CONTAINER", kUsage);
    std::u16string provider = Utf16(args[0]), container = Utf16(args[1]);
    HCRYPTPROV h = 0;
    DWORD type = ProviderType(provider);
    if (!type ||
        !CryptAcquireContextW(&h, container.c_str(), provider.c_str(), type, CRYPT_DELETEKEYSET))
        return CryptFail("CryptAcquireContext(CRYPT_DELETEKEYSET)");
    return kOk;
}

int Run(const Args& args)
{
    if (args.empty())
        return Fail("usage: qmctl key providers|containers|gen|import|cert|issue|delete ...",
                    kUsage);
    Args rest(args.begin() + 1, args.end());
    const std::string& verb = args[0];
    if (verb == "providers" && rest.empty())
        return Providers();
    if (verb == "containers")
        return Containers(rest);
    if (verb == "gen")
        return Gen(rest);
    if (verb == "import")
        return Import(rest);
    if (verb == "cert")
        return Cert(rest);
    if (verb == "issue")
        return Issue(rest);
    if (verb == "delete")
        return Delete(rest);
    return Fail("unknown key command " + verb, kUsage);
}

const CommandRegistration kKey({
    "key",
    "qmctl key providers\n"
    "qmctl key containers PROVIDER [--keys]\n"
    "qmctl key gen PROVIDER CONTAINER KEYSPEC [--sm2] [--bits N] [--exportable]\n"
    "qmctl key import PROVIDER CONTAINER KEYSPEC KEYFILE [CERTFILE] [--exportable]\n"
    "qmctl key cert PROVIDER CONTAINER KEYSPEC CERTFILE\n"
    "qmctl key issue PROVIDER CONTAINER KEYSPEC SUBJECT CAKEY CACERT [--days N] [--out FILE]\n"
    "qmctl key delete PROVIDER CONTAINER\n",
    "  KEYSPEC is 1 (AT_KEYEXCHANGE) or 2 (AT_SIGNATURE). providers: type and name of each "
    "provider.\n"
    "  containers: each container with the keys it holds; --keys: a line per key, CONTAINER,\n"
    "  exchange|signature, SHA-1 of its PUBLICKEYBLOB and of the certificate on it (or -).\n"
    "  gen: a key pair (RSA, or SM2 on\n"
    "  a token with --sm2), the container made when missing. import: an RSA or SM2 private\n"
    "  key file (PEM or DER), with its certificate bound to the key. cert: binds a\n"
    "  certificate to a container's key: on a \"Microsoft\" provider it goes to the user's\n"
    "  MY store with the key-provider property, on a token onto the key (KP_CERTIFICATE).\n"
    "  issue: a certificate for the key's public part, signed by the CA key and certificate\n"
    "  files, bound as cert does. delete: removes a container.\n",
    Run,
});
} // namespace
} // namespace qmctl
