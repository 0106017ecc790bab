// Fuzz target over what crypt32 decodes from outside: structures (CryptDecodeObjectEx),
// DER certificates (CertCreateCertificateContext and the name texts), and the serialized
// "Blob" values of registry-backed stores. The first input byte picks the road; two roads
// edit a valid seed certificate or blob so that the parsers are reached deep inside.
#include <cstddef>
#include <cstdlib>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "qm/fuzz_harness.h"
#include "winbase.h"
#include "wincrypt.h"
#include "winreg.h"

namespace
{
using Bytes = std::vector<uint8_t>;
constexpr DWORD kEnc = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;

// openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -days 30 -set_serial 0x00A1
//   -subj "/C=CN/O=Quill+OU=Fuzz/CN=Seed, \"quoted\"" -addext keyUsage=digitalSignature,keyEncipherment
//   -addext subjectKeyIdentifier=hash -outform DER
const uint8_t kSeedCert[] = {
    0x30, 0x82, 0x01, 0xD5, 0x30, 0x82, 0x01, 0x7C, 0xA0, 0x03, 0x02, 0x01, 0x02, 0x02, 0x02, 0x00,
    0xA1, 0x30, 0x0A, 0x06, 0x08, 0x2A, 0x86, 0x48, 0xCE, 0x3D, 0x04, 0x03, 0x02, 0x30, 0x43, 0x31,
    0x0B, 0x30, 0x09, 0x06, 0x03, 0x55, 0x04, 0x06, 0x13, 0x02, 0x43, 0x4E, 0x31, 0x1B, 0x30, 0x0B,
    0x06, 0x03, 0x55, 0x04, 0x0B, 0x0C, 0x04, 0x46, 0x75, 0x7A, 0x7A, 0x30, 0x0C, 0x06, 0x03, 0x55,
    0x04, 0x0A, 0x0C, 0x05, 0x51, 0x75, 0x69, 0x6C, 0x6C, 0x31, 0x17, 0x30, 0x15, 0x06, 0x03, 0x55,
    0x04, 0x03, 0x0C, 0x0E, 0x53, 0x65, 0x65, 0x64, 0x2C, 0x20, 0x22, 0x71, 0x75, 0x6F, 0x74, 0x65,
    0x64, 0x22, 0x30, 0x1E, 0x17, 0x0D, 0x32, 0x36, 0x31, 0x32, 0x31, 0x30, 0x31, 0x33, 0x33, 0x33,
    0x32, 0x35, 0x5A, 0x17, 0x0D, 0x32, 0x37, 0x30, 0x31, 0x30, 0x39, 0x31, 0x33, 0x33, 0x33, 0x32,
    0x35, 0x5A, 0x30, 0x43, 0x31, 0x0B, 0x30, 0x09, 0x06, 0x03, 0x55, 0x04, 0x06, 0x13, 0x02, 0x43,
    0x4E, 0x31, 0x1B, 0x30, 0x0B, 0x06, 0x03, 0x55, 0x04, 0x0B, 0x0C, 0x04, 0x46, 0x75, 0x7A, 0x7A,
    0x30, 0x0C, 0x06, 0x03, 0x55, 0x04, 0x0A, 0x0C, 0x05, 0x51, 0x75, 0x69, 0x6C, 0x6C, 0x31, 0x17,
    0x30, 0x15, 0x06, 0x03, 0x55, 0x04, 0x03, 0x0C, 0x0E, 0x53, 0x65, 0x65, 0x64, 0x2C, 0x20, 0x22,
    0x71, 0x75, 0x6F, 0x74, 0x65, 0x64, 0x22, 0x30, 0x59, 0x30, 0x13, 0x06, 0x07, 0x2A, 0x86, 0x48,
    0xCE, 0x3D, 0x02, 0x01, 0x06, 0x08, 0x2A, 0x86, 0x48, 0xCE, 0x3D, 0x03, 0x01, 0x07, 0x03, 0x42,
    0x00, 0x04, 0x43, 0x60, 0x99, 0x55, 0xED, 0xCC, 0xA6, 0x06, 0x82, 0xB1, 0xB9, 0xDC, 0x5A, 0xF0,
    0x18, 0x93, 0x1F, 0xBC, 0x42, 0xF1, 0xA7, 0x10, 0xBE, 0x60, 0x61, 0x79, 0xE1, 0x83, 0x8D, 0x64,
    0xAA, 0x27, 0x3A, 0x36, 0x43, 0x15, 0xD9, 0x2F, 0x75, 0xF6, 0x2F, 0xF8, 0x4F, 0xC0, 0x38, 0x2A,
    0xA7, 0x57, 0x10, 0x7C, 0x26, 0x7C, 0x38, 0x40, 0x33, 0xBA, 0xD3, 0x28, 0xE2, 0x70, 0x73, 0xCD,
    0x6F, 0x14, 0xA3, 0x60, 0x30, 0x5E, 0x30, 0x1F, 0x06, 0x03, 0x55, 0x1D, 0x23, 0x04, 0x18, 0x30,
    0x16, 0x80, 0x14, 0x26, 0x41, 0x59, 0xA2, 0x5A, 0xF4, 0xC9, 0x10, 0x93, 0xC7, 0x9F, 0x0B, 0x9A,
    0xDF, 0x2C, 0xF0, 0xCC, 0x82, 0xEB, 0xB4, 0x30, 0x0F, 0x06, 0x03, 0x55, 0x1D, 0x13, 0x01, 0x01,
    0xFF, 0x04, 0x05, 0x30, 0x03, 0x01, 0x01, 0xFF, 0x30, 0x0B, 0x06, 0x03, 0x55, 0x1D, 0x0F, 0x04,
    0x04, 0x03, 0x02, 0x05, 0xA0, 0x30, 0x1D, 0x06, 0x03, 0x55, 0x1D, 0x0E, 0x04, 0x16, 0x04, 0x14,
    0x26, 0x41, 0x59, 0xA2, 0x5A, 0xF4, 0xC9, 0x10, 0x93, 0xC7, 0x9F, 0x0B, 0x9A, 0xDF, 0x2C, 0xF0,
    0xCC, 0x82, 0xEB, 0xB4, 0x30, 0x0A, 0x06, 0x08, 0x2A, 0x86, 0x48, 0xCE, 0x3D, 0x04, 0x03, 0x02,
    0x03, 0x47, 0x00, 0x30, 0x44, 0x02, 0x20, 0x61, 0x9B, 0x87, 0x6F, 0x59, 0x64, 0x65, 0x45, 0xA3,
    0xC8, 0x39, 0x79, 0x5F, 0x52, 0xB4, 0xF0, 0x3A, 0x80, 0x6C, 0x7C, 0xAF, 0xA3, 0x8E, 0x7D, 0x91,
    0x1A, 0x0E, 0x6D, 0xBF, 0xD9, 0xA3, 0x33, 0x02, 0x20, 0x76, 0xE4, 0x7F, 0xE6, 0x6B, 0xB7, 0xC0,
    0xA9, 0xC1, 0xA8, 0x0F, 0x6E, 0x40, 0x70, 0x53, 0x27, 0x96, 0xB5, 0xDA, 0x80, 0xD3, 0x7F, 0x9B,
    0xE2, 0x3F, 0x91, 0x9A, 0x73, 0xBB, 0x7C, 0x4F, 0xDA,
};

const char16_t kCertificatesKey[] = u"Software\\Microsoft\\SystemCertificates\\MY\\Certificates";
const char16_t kThumbprint[] = u"00112233445566778899AABBCCDDEEFF00112233";

Bytes g_seedBlob; // the seed certificate as the MY store writes it, with properties

// Reads every byte a decoded blob points at, so that a pointer past the block shows.
volatile uint8_t g_sink;
void Touch(const void* p, size_t n)
{
    auto* b = static_cast<const uint8_t*>(p);
    for (size_t i = 0; i < n; ++i)
        g_sink = g_sink + b[i];
}
void Touch(const CRYPT_DATA_BLOB& b)
{
    Touch(b.pbData, b.cbData);
}
void Touch(const CRYPT_BIT_BLOB& b)
{
    Touch(b.pbData, b.cbData);
    if (b.cUnusedBits > 7)
        __builtin_trap();
}
void Touch(LPCSTR psz)
{
    if (psz)
        Touch(psz, std::strlen(psz) + 1);
}
void Touch(const CRYPT_ALGORITHM_IDENTIFIER& a)
{
    Touch(a.pszObjId);
    Touch(a.Parameters);
}
void Touch(const CRYPT_ATTRIBUTE& a)
{
    Touch(a.pszObjId);
    for (DWORD i = 0; i < a.cValue; ++i)
        Touch(a.rgValue[i]);
}
void Touch(const CRYPT_ATTRIBUTES& a)
{
    for (DWORD i = 0; i < a.cAttr; ++i)
        Touch(a.rgAttr[i]);
}

// Structure types are small integers or OID texts.
bool Is(LPCSTR type, LPCSTR known)
{
    bool intType = (reinterpret_cast<uintptr_t>(type) >> 16) == 0;
    bool intKnown = (reinterpret_cast<uintptr_t>(known) >> 16) == 0;
    if (intType || intKnown)
        return type == known;
    return std::strcmp(type, known) == 0;
}

void TouchStruct(LPCSTR type, const void* p, DWORD cb)
{
    if (Is(type, X509_KEY_USAGE) || Is(type, X509_BITS) || Is(type, szOID_KEY_USAGE))
        Touch(*static_cast<const CRYPT_BIT_BLOB*>(p));
    else if (Is(type, X509_OCTET_STRING) || Is(type, szOID_SUBJECT_KEY_IDENTIFIER))
        Touch(*static_cast<const CRYPT_DATA_BLOB*>(p));
    else if (Is(type, X509_ALGORITHM_IDENTIFIER))
        Touch(*static_cast<const CRYPT_ALGORITHM_IDENTIFIER*>(p));
    else if (Is(type, PKCS_ATTRIBUTE))
        Touch(*static_cast<const CRYPT_ATTRIBUTE*>(p));
    else if (Is(type, PKCS_CONTENT_INFO))
    {
        auto* c = static_cast<const CRYPT_CONTENT_INFO*>(p);
        Touch(c->pszObjId);
        Touch(c->Content);
    }
    else if (Is(type, PKCS7_SIGNER_INFO))
    {
        auto* s = static_cast<const CMSG_SIGNER_INFO*>(p);
        Touch(s->Issuer);
        Touch(s->SerialNumber);
        Touch(s->HashAlgorithm);
        Touch(s->HashEncryptionAlgorithm);
        Touch(s->EncryptedHash);
        Touch(s->AuthAttrs);
        Touch(s->UnauthAttrs);
    }
    else if (Is(type, X509_ANY_STRING))
        Touch(static_cast<const CERT_NAME_VALUE*>(p)->Value);
    else if (Is(type, X509_PUBLIC_KEY_INFO))
    {
        auto* k = static_cast<const CERT_PUBLIC_KEY_INFO*>(p);
        Touch(k->Algorithm);
        Touch(k->PublicKey);
    }
    else
        Touch(p, cb);
}

// Every structure type, by size query, exact buffer, short buffer and allocation.
void DecodeStructures(const uint8_t* data, DWORD size)
{
    static const LPCSTR kTypes[] = {X509_KEY_USAGE,         X509_OCTET_STRING, X509_BITS,
                                    X509_ALGORITHM_IDENTIFIER, PKCS_ATTRIBUTE, PKCS_CONTENT_INFO,
                                    PKCS7_SIGNER_INFO,      X509_ANY_STRING,   X509_PUBLIC_KEY_INFO,
                                    RSA_CSP_PUBLICKEYBLOB,  szOID_SUBJECT_KEY_IDENTIFIER, szOID_KEY_USAGE};
    for (LPCSTR type : kTypes)
    {
        DWORD cb = 0;
        if (!CryptDecodeObjectEx(kEnc, type, data, size, 0, nullptr, nullptr, &cb))
            continue;
        if (cb == 0)
            __builtin_trap();
        Bytes out(cb);
        DWORD cbShort = cb - 1;
        if (CryptDecodeObjectEx(kEnc, type, data, size, 0, nullptr, out.data(), &cbShort) ||
            GetLastError() != ERROR_MORE_DATA || cbShort != cb)
            __builtin_trap();
        DWORD cbOut = cb;
        if (!CryptDecodeObjectEx(kEnc, type, data, size, 0, nullptr, out.data(), &cbOut) || cbOut > cb)
            __builtin_trap();
        TouchStruct(type, out.data(), cbOut);
        void* allocated = nullptr;
        DWORD cbAlloc = 0;
        if (CryptDecodeObjectEx(kEnc, type, data, size, CRYPT_DECODE_ALLOC_FLAG, nullptr, &allocated, &cbAlloc))
        {
            TouchStruct(type, allocated, cbAlloc);
            LocalFree(allocated);
        }
    }
}

void NameTexts(PCERT_NAME_BLOB name)
{
    for (DWORD type : {DWORD(CERT_SIMPLE_NAME_STR), DWORD(CERT_OID_NAME_STR), DWORD(CERT_X500_NAME_STR)})
        for (DWORD flags : {DWORD(0), DWORD(CERT_NAME_STR_REVERSE_FLAG | CERT_NAME_STR_NO_QUOTING_FLAG)})
        {
            DWORD cch = CertNameToStrW(kEnc, name, type | flags, nullptr, 0);
            if (cch == 0 || cch > 1000000)
                __builtin_trap(); // a size answer counts the terminator at least
            std::u16string text(cch, u'\0');
            DWORD written = CertNameToStrW(kEnc, name, type | flags, text.data(), cch);
            if (written != cch || text[cch - 1] != 0)
                __builtin_trap();
            // A buffer one short gets a terminated, cut text.
            if (cch > 1)
            {
                std::u16string cut(cch - 1, u'x');
                DWORD n = CertNameToStrW(kEnc, name, type | flags, cut.data(), cch - 1);
                if (n > cch - 1 || (n && cut[n - 1] != 0))
                    __builtin_trap();
            }
        }
}

void UseCertificate(PCCERT_CONTEXT cert)
{
    PCERT_INFO info = cert->pCertInfo;
    Touch(cert->pbCertEncoded, cert->cbCertEncoded);
    Touch(info->SerialNumber);
    Touch(info->SignatureAlgorithm);
    Touch(info->SubjectPublicKeyInfo.Algorithm);
    Touch(info->SubjectPublicKeyInfo.PublicKey);
    for (DWORD i = 0; i < info->cExtension; ++i)
    {
        Touch(info->rgExtension[i].pszObjId);
        Touch(info->rgExtension[i].Value);
    }
    NameTexts(&info->Subject);
    NameTexts(&info->Issuer);
    for (DWORD type : {DWORD(CERT_NAME_SIMPLE_DISPLAY_TYPE), DWORD(CERT_NAME_ATTR_TYPE)})
    {
        void* para = type == CERT_NAME_ATTR_TYPE ? const_cast<char*>(szOID_COMMON_NAME) : nullptr;
        DWORD cch = CertGetNameStringW(cert, type, 0, para, nullptr, 0);
        std::u16string text(cch ? cch : 1, u'\0');
        CertGetNameStringW(cert, type, 0, para, text.data(), DWORD(text.size()));
    }
    for (LPCSTR oid : {szOID_KEY_USAGE, szOID_SUBJECT_KEY_IDENTIFIER})
        if (PCERT_EXTENSION ext = CertFindExtension(oid, info->cExtension, info->rgExtension))
            DecodeStructures(ext->Value.pbData, ext->Value.cbData);
    CertVerifyTimeValidity(nullptr, info);
    for (DWORD id = CertEnumCertificateContextProperties(cert, 0); id; id = CertEnumCertificateContextProperties(cert, id))
    {
        DWORD cb = 0;
        if (!CertGetCertificateContextProperty(cert, id, nullptr, &cb))
            continue;
        Bytes value(cb ? cb : 1);
        if (CertGetCertificateContextProperty(cert, id, value.data(), &cb) && id == CERT_KEY_PROV_INFO_PROP_ID)
        {
            auto* kp = reinterpret_cast<const CRYPT_KEY_PROV_INFO*>(value.data());
            for (LPCWSTR text : {kp->pwszContainerName, kp->pwszProvName})
                if (text)
                    Touch(text, (std::char_traits<char16_t>::length(text) + 1) * 2);
            for (DWORD i = 0; i < kp->cProvParam; ++i)
                Touch(kp->rgProvParam[i].pbData, kp->rgProvParam[i].cbData);
        }
    }
    PCCERT_CONTEXT dup = CertDuplicateCertificateContext(cert);
    CertFreeCertificateContext(dup);
}

void ParseCertificate(const uint8_t* data, size_t size)
{
    PCCERT_CONTEXT cert = CertCreateCertificateContext(kEnc, data, DWORD(size));
    if (!cert)
        return;
    UseCertificate(cert);
    CertFreeCertificateContext(cert);
}

// The blob as the value of one certificate of the user's "MY" store, read back by a fresh open.
void ParseStoreBlob(const uint8_t* data, size_t size)
{
    std::u16string path = std::u16string(kCertificatesKey) + u"\\" + kThumbprint;
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        __builtin_trap();
    RegSetValueExW(key, u"Blob", 0, REG_BINARY, data, DWORD(size));
    RegCloseKey(key);
    HCERTSTORE store = CertOpenStore(CERT_STORE_PROV_SYSTEM_W, kEnc, 0, CERT_SYSTEM_STORE_CURRENT_USER, u"MY");
    if (!store)
        __builtin_trap();
    PCCERT_CONTEXT cert = nullptr;
    while ((cert = CertEnumCertificatesInStore(store, cert)) != nullptr)
        UseCertificate(cert);
    CertCloseStore(store, 0);
}

// Edits of a seed: a 2-byte cut length, then (2-byte offset, value) pairs.
Bytes Edited(const Bytes& seed, const uint8_t* data, size_t size)
{
    Bytes out = seed;
    size_t pos = 0;
    if (size >= 2)
    {
        size_t cut = (size_t(data[0]) << 8 | data[1]) % (seed.size() + 1);
        if (cut)
            out.resize(cut);
        pos = 2;
    }
    for (; pos + 3 <= size && !out.empty(); pos += 3)
        out[(size_t(data[pos]) << 8 | data[pos + 1]) % out.size()] = data[pos + 2];
    return out;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // The store roads write the registry: a scratch machine on tmpfs.
    qm::fuzz::UseScratchMachine("qm-decode-fuzz");

    // The seed blob: the seed certificate in "MY" with a key-provider record and a name.
    HCERTSTORE my = CertOpenStore(CERT_STORE_PROV_SYSTEM_W, kEnc, 0, CERT_SYSTEM_STORE_CURRENT_USER, u"MY");
    PCCERT_CONTEXT added = nullptr;
    if (!my || !CertAddEncodedCertificateToStore(my, kEnc, kSeedCert, sizeof kSeedCert, CERT_STORE_ADD_NEW, &added))
        __builtin_trap();
    CRYPT_KEY_PROV_PARAM param{PP_KEYEXCHANGE_PIN, const_cast<BYTE*>(kSeedCert), 4, 0};
    CRYPT_KEY_PROV_INFO kp{const_cast<LPWSTR>(u"seed"), const_cast<LPWSTR>(u"Quill Token CSP"), PROV_RSA_FULL, 0, 1,
                           &param, AT_SIGNATURE};
    CRYPT_DATA_BLOB friendly{10, reinterpret_cast<BYTE*>(const_cast<char16_t*>(u"Seed"))};
    CertSetCertificateContextProperty(added, CERT_KEY_PROV_INFO_PROP_ID, 0, &kp);
    CertSetCertificateContextProperty(added, CERT_FRIENDLY_NAME_PROP_ID, 0, &friendly);
    BYTE hash[20];
    DWORD cbHash = sizeof hash;
    CertGetCertificateContextProperty(added, CERT_SHA1_HASH_PROP_ID, hash, &cbHash);
    CertFreeCertificateContext(added);
    CertCloseStore(my, 0);

    std::u16string path = kCertificatesKey;
    path += u'\\';
    for (DWORD i = 0; i < cbHash; ++i)
        for (int shift : {4, 0})
            path += u"0123456789ABCDEF"[(hash[i] >> shift) & 0xF];
    HKEY key = nullptr;
    DWORD type = 0, cb = 0;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS ||
        RegQueryValueExW(key, u"Blob", nullptr, &type, nullptr, &cb) != ERROR_SUCCESS)
        __builtin_trap();
    g_seedBlob.resize(cb);
    RegQueryValueExW(key, u"Blob", nullptr, &type, g_seedBlob.data(), &cb);
    RegCloseKey(key);
    // Only the fuzzed value stays in the store.
    RegDeleteKeyW(HKEY_CURRENT_USER, path.c_str());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const uint8_t* body = data + 1;
    const size_t cbBody = size - 1;
    static const Bytes seedCert(kSeedCert, kSeedCert + sizeof kSeedCert);
    switch (data[0] % 5)
    {
    case 0: DecodeStructures(body, DWORD(cbBody)); break;
    case 1: ParseCertificate(body, cbBody); break;
    case 2:
    {
        Bytes cert = Edited(seedCert, body, cbBody);
        ParseCertificate(cert.data(), cert.size());
        break;
    }
    case 3: ParseStoreBlob(body, cbBody); break;
    case 4:
    {
        Bytes blob = Edited(g_seedBlob, body, cbBody);
        ParseStoreBlob(blob.data(), blob.size());
        break;
    }
    }
    return 0;
}
