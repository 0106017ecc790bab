#include "token_store.h"

#include <algorithm>
#include <cstring>

#include "token_errors.h"

namespace qm::tokencsp
{
bool CertificateSubject(const Bytes& der, Bytes* subject);

namespace
{
const char kContainerApplication[] = "Quillmark key container";
const Bytes kSm2Curve = {0x06, 0x08, 0x2A, 0x81, 0x1C, 0xCF, 0x55, 0x01, 0x82, 0x2D};

Bytes Id(DWORD spec)
{
    return Bytes{BYTE(spec)};
}

std::vector<Attr> ContainerMatch(const std::string& name)
{
    return {UlongAttr(CKA_CLASS, CKO_DATA), TextAttr(CKA_APPLICATION, kContainerApplication),
            TextAttr(CKA_LABEL, name)};
}

std::vector<Attr> KeyMatch(const std::string& name, DWORD spec, CK_OBJECT_CLASS cls)
{
    return {UlongAttr(CKA_CLASS, cls), TextAttr(CKA_LABEL, name), BytesAttr(CKA_ID, Id(spec))};
}

Bytes Strip(Bytes b)
{
    size_t zeros = 0;
    while (zeros + 1 < b.size() && b[zeros] == 0)
        ++zeros;
    b.erase(b.begin(), b.begin() + long(zeros));
    return b;
}
} // namespace

std::vector<std::string> CTokenStore::Containers()
{
    std::vector<std::string> names;
    for (auto object : m_session->Find(
             {UlongAttr(CKA_CLASS, CKO_DATA), TextAttr(CKA_APPLICATION, kContainerApplication)}))
        if (auto label = m_session->Get(object, CKA_LABEL))
            names.emplace_back(label->begin(), label->end());
    std::sort(names.begin(), names.end());
    names.erase(std::unique(names.begin(), names.end()), names.end());
    return names;
}

bool CTokenStore::Exists(const std::string& name)
{
    return !m_session->Find(ContainerMatch(name)).empty();
}

DWORD CTokenStore::Create(const std::string& name)
{
    if (Exists(name))
        return DWORD(NTE_EXISTS);
    CK_OBJECT_HANDLE object = 0;
    return m_session->Create({UlongAttr(CKA_CLASS, CKO_DATA), BoolAttr(CKA_TOKEN, true),
                              BoolAttr(CKA_PRIVATE, true),
                              TextAttr(CKA_APPLICATION, kContainerApplication),
                              TextAttr(CKA_LABEL, name), TextAttr(CKA_VALUE, name)},
                             &object);
}

DWORD CTokenStore::Delete(const std::string& name)
{
    if (!Exists(name))
        return DWORD(NTE_BAD_KEYSET);
    for (auto object : m_session->Find({TextAttr(CKA_LABEL, name)}))
        m_session->Destroy(object);
    return 0;
}

void CTokenStore::RemoveKey(const std::string& name, DWORD spec)
{
    for (CK_OBJECT_CLASS cls : {CKO_PRIVATE_KEY, CKO_PUBLIC_KEY, CKO_CERTIFICATE})
        for (auto object : m_session->Find(KeyMatch(name, spec, cls)))
            m_session->Destroy(object);
}

std::optional<KeyRecord> CTokenStore::Key(const std::string& name, DWORD spec)
{
    auto found = m_session->Find(KeyMatch(name, spec, CKO_PRIVATE_KEY));
    if (found.empty())
        return std::nullopt;
    KeyRecord r;
    r.spec = spec;
    r.object = found.front();
    auto type = m_session->Get(r.object, CKA_KEY_TYPE);
    CK_KEY_TYPE keyType = CKK_RSA;
    if (type && type->size() == sizeof keyType)
        std::memcpy(&keyType, type->data(), sizeof keyType);
    if (keyType == CKK_EC)
    {
        auto d = m_session->Get(r.object, CKA_VALUE);
        if (!d || !Sm2FromPrivate(*d, &r.sm2Key))
            return std::nullopt;
        r.sm2 = true;
        r.bits = 256;
        return r;
    }
    auto n = m_session->Get(r.object, CKA_MODULUS);
    auto e = m_session->Get(r.object, CKA_PUBLIC_EXPONENT);
    if (!n || !e)
        return std::nullopt;
    r.rsaPublic.n = Strip(*n);
    r.rsaPublic.e = Strip(*e);
    r.rsaPublic.bits = DWORD(n->size() * 8);
    r.bits = r.rsaPublic.bits;
    return r;
}

DWORD CTokenStore::PutSm2(const std::string& name, DWORD spec, const Sm2Key& key)
{
    RemoveKey(name, spec);
    CK_OBJECT_HANDLE object = 0;
    return m_session->Create({UlongAttr(CKA_CLASS, CKO_PRIVATE_KEY),
                              UlongAttr(CKA_KEY_TYPE, CKK_EC), BoolAttr(CKA_TOKEN, true),
                              BoolAttr(CKA_PRIVATE, true), BoolAttr(CKA_SENSITIVE, false),
                              BoolAttr(CKA_EXTRACTABLE, true), BoolAttr(CKA_SIGN, true),
                              TextAttr(CKA_LABEL, name), BytesAttr(CKA_ID, Id(spec)),
                              BytesAttr(CKA_EC_PARAMS, kSm2Curve), BytesAttr(CKA_VALUE, key.d)},
                             &object);
}

DWORD CTokenStore::PutRsa(const std::string& name, DWORD spec, const cspkit::RsaKey& key,
                          bool exportable)
{
    RemoveKey(name, spec);
    CK_OBJECT_HANDLE object = 0;
    return m_session->Create(
        {UlongAttr(CKA_CLASS, CKO_PRIVATE_KEY), UlongAttr(CKA_KEY_TYPE, CKK_RSA),
         BoolAttr(CKA_TOKEN, true), BoolAttr(CKA_PRIVATE, true),
         BoolAttr(CKA_SENSITIVE, !exportable), BoolAttr(CKA_EXTRACTABLE, exportable),
         BoolAttr(CKA_SIGN, true), BoolAttr(CKA_DECRYPT, true), TextAttr(CKA_LABEL, name),
         BytesAttr(CKA_ID, Id(spec)), BytesAttr(CKA_MODULUS, key.n),
         BytesAttr(CKA_PUBLIC_EXPONENT, key.e), BytesAttr(CKA_PRIVATE_EXPONENT, key.d),
         BytesAttr(CKA_PRIME_1, key.p), BytesAttr(CKA_PRIME_2, key.q),
         BytesAttr(CKA_EXPONENT_1, key.dp), BytesAttr(CKA_EXPONENT_2, key.dq),
         BytesAttr(CKA_COEFFICIENT, key.qi)},
        &object);
}

DWORD CTokenStore::GenerateRsa(const std::string& name, DWORD spec, DWORD bits, bool exportable)
{
    RemoveKey(name, spec);
    CK_MECHANISM mechanism{CKM_RSA_PKCS_KEY_PAIR_GEN, nullptr, 0};
    CK_ULONG modulusBits = bits;
    CK_BYTE exponent[] = {1, 0, 1};
    CK_BBOOL yes = CK_TRUE, no = CK_FALSE;
    CK_BBOOL sensitive = exportable ? CK_FALSE : CK_TRUE,
             extractable = exportable ? CK_TRUE : CK_FALSE;
    CK_BYTE id = BYTE(spec);
    CK_ATTRIBUTE pub[] = {
        {CKA_TOKEN, &no, 1},
        {CKA_MODULUS_BITS, &modulusBits, sizeof modulusBits},
        {CKA_PUBLIC_EXPONENT, exponent, sizeof exponent},
        {CKA_VERIFY, &yes, 1},
        {CKA_ENCRYPT, &yes, 1},
    };
    CK_ATTRIBUTE priv[] = {
        {CKA_TOKEN, &yes, 1},
        {CKA_PRIVATE, &yes, 1},
        {CKA_SENSITIVE, &sensitive, 1},
        {CKA_EXTRACTABLE, &extractable, 1},
        {CKA_SIGN, &yes, 1},
        {CKA_DECRYPT, &yes, 1},
        {CKA_LABEL, const_cast<char*>(name.data()), name.size()},
        {CKA_ID, &id, 1},
    };
    CK_OBJECT_HANDLE hPub = 0, hPriv = 0;
    CK_RV rv = m_session->F()->C_GenerateKeyPair(m_session->Handle(), &mechanism, pub, 5, priv, 8,
                                                 &hPub, &hPriv);
    if (rv == CKR_OK)
        m_session->Destroy(hPub); // the private key object carries the modulus and exponent
    return DeviceError(rv);
}

DWORD CTokenStore::SetCertificate(const std::string& name, DWORD spec, const Bytes& der)
{
    Bytes subjectDer;
    if (!CertificateSubject(der, &subjectDer))
        return DWORD(NTE_BAD_DATA);
    for (auto object : m_session->Find(KeyMatch(name, spec, CKO_CERTIFICATE)))
        m_session->Destroy(object);
    CK_OBJECT_HANDLE object = 0;
    return m_session->Create({UlongAttr(CKA_CLASS, CKO_CERTIFICATE),
                              UlongAttr(CKA_CERTIFICATE_TYPE, CKC_X_509), BoolAttr(CKA_TOKEN, true),
                              BoolAttr(CKA_PRIVATE, false), TextAttr(CKA_LABEL, name),
                              BytesAttr(CKA_ID, Id(spec)), BytesAttr(CKA_SUBJECT, subjectDer),
                              BytesAttr(CKA_VALUE, der)},
                             &object);
}

std::optional<Bytes> CTokenStore::Certificate(const std::string& name, DWORD spec)
{
    auto found = m_session->Find(KeyMatch(name, spec, CKO_CERTIFICATE));
    if (found.empty())
        return std::nullopt;
    return m_session->Get(found.front(), CKA_VALUE);
}

DWORD CTokenStore::RsaSign(CK_OBJECT_HANDLE key, const Bytes& digestInfo, Bytes* signature)
{
    CK_MECHANISM mechanism{CKM_RSA_PKCS, nullptr, 0};
    auto* f = m_session->F();
    if (CK_RV rv = f->C_SignInit(m_session->Handle(), &mechanism, key); rv != CKR_OK)
        return DeviceError(rv);
    CK_ULONG size = 0;
    Bytes data = digestInfo;
    if (CK_RV rv = f->C_Sign(m_session->Handle(), data.data(), data.size(), nullptr, &size);
        rv != CKR_OK)
        return DeviceError(rv);
    signature->assign(size, 0);
    CK_RV rv = f->C_Sign(m_session->Handle(), data.data(), data.size(), signature->data(), &size);
    signature->resize(size);
    return DeviceError(rv);
}

DWORD CTokenStore::RsaDecrypt(CK_OBJECT_HANDLE key, const Bytes& cipher, Bytes* plain)
{
    CK_MECHANISM mechanism{CKM_RSA_PKCS, nullptr, 0};
    auto* f = m_session->F();
    if (CK_RV rv = f->C_DecryptInit(m_session->Handle(), &mechanism, key); rv != CKR_OK)
        return DeviceError(rv);
    Bytes data = cipher;
    CK_ULONG size = data.size();
    plain->assign(size, 0);
    CK_RV rv = f->C_Decrypt(m_session->Handle(), data.data(), data.size(), plain->data(), &size);
    plain->resize(rv == CKR_OK ? size : 0);
    if (rv == CKR_ENCRYPTED_DATA_INVALID || rv == CKR_ENCRYPTED_DATA_LEN_RANGE)
        return DWORD(NTE_BAD_DATA);
    return DeviceError(rv);
}
} // namespace qm::tokencsp
