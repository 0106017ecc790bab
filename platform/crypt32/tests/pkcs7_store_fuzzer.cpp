// PKCS#7 stores (CERT_STORE_PROV_PKCS7) over arbitrary messages: the store opens or fails
// cleanly, and each certificate it lists is a whole certificate whose texts and properties
// can be read, copied into a memory store and found there again.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "winbase.h"
#include "wincrypt.h"

namespace
{
constexpr DWORD kEnc = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;

void UseCertificate(PCCERT_CONTEXT cert, HCERTSTORE memory)
{
    // The encoded bytes are one certificate on their own.
    PCCERT_CONTEXT again = CertCreateCertificateContext(kEnc, cert->pbCertEncoded, cert->cbCertEncoded);
    if (!again)
        __builtin_trap();
    CertFreeCertificateContext(again);
    for (DWORD type : {DWORD(CERT_NAME_SIMPLE_DISPLAY_TYPE), DWORD(CERT_NAME_RDN_TYPE)})
        for (DWORD flags : {DWORD(0), DWORD(CERT_NAME_ISSUER_FLAG)})
        {
            DWORD strType = CERT_X500_NAME_STR;
            void* para = type == CERT_NAME_RDN_TYPE ? &strType : nullptr;
            DWORD cch = CertGetNameStringW(cert, type, flags, para, nullptr, 0);
            if (cch == 0)
                __builtin_trap(); // the terminator is always counted
            std::u16string text(cch, u'x');
            if (CertGetNameStringW(cert, type, flags, para, text.data(), cch) != cch || text[cch - 1] != 0)
                __builtin_trap();
        }
    BYTE hash[20];
    DWORD cbHash = sizeof hash;
    if (!CertGetCertificateContextProperty(cert, CERT_SHA1_HASH_PROP_ID, hash, &cbHash) || cbHash != 20)
        __builtin_trap();
    PCCERT_CONTEXT added = nullptr;
    if (!CertAddCertificateContextToStore(memory, cert, CERT_STORE_ADD_USE_EXISTING, &added))
        __builtin_trap();
    CRYPT_HASH_BLOB blob{cbHash, hash};
    PCCERT_CONTEXT found = CertFindCertificateInStore(memory, kEnc, 0, CERT_FIND_SHA1_HASH, &blob, nullptr);
    if (!found)
        __builtin_trap();
    CertFreeCertificateContext(found);
    CertFreeCertificateContext(added);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // An exact-size copy: a read past the message must reach the sanitizer.
    std::unique_ptr<BYTE[]> copy(new BYTE[size ? size : 1]);
    if (size)
        std::memcpy(copy.get(), data, size);
    CRYPT_DATA_BLOB message{DWORD(size), copy.get()};
    HCERTSTORE store = CertOpenStore(CERT_STORE_PROV_PKCS7, kEnc, 0, 0, &message);
    if (!store)
    {
        if (GetLastError() == ERROR_SUCCESS)
            __builtin_trap(); // a failure says why
        return 0;
    }
    HCERTSTORE memory = CertOpenStore(CERT_STORE_PROV_MEMORY, 0, 0, 0, nullptr);
    if (!memory)
        __builtin_trap();
    // The message may go once the store is open: it keeps copies.
    std::memset(copy.get(), 0xA5, size);
    DWORD count = 0;
    PCCERT_CONTEXT cert = nullptr;
    while ((cert = CertEnumCertificatesInStore(store, cert)) != nullptr)
    {
        UseCertificate(cert, memory);
        ++count;
    }
    DWORD copied = 0;
    while ((cert = CertEnumCertificatesInStore(memory, cert)) != nullptr)
        ++copied;
    if (copied > count)
        __builtin_trap();
    CertCloseStore(memory, 0);
    CertCloseStore(store, 0);
    return 0;
}
