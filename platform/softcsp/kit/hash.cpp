// Hash objects over OpenSSL's digests.
#include <openssl/evp.h>

#include <cstring>

#include "kit.h"

namespace qm::cspkit
{
namespace
{
const EVP_MD* MdOf(ALG_ID alg)
{
    switch (alg)
    {
    case CALG_MD5:
        return EVP_md5();
    case CALG_SHA1:
        return EVP_sha1();
    case CALG_SHA_256:
        return EVP_sha256();
    case CALG_SHA_384:
        return EVP_sha384();
    case CALG_SHA_512:
        return EVP_sha512();
    case 0x800F:
        return EVP_sm3();
    default:
        return nullptr;
    }
}
} // namespace

DWORD HashSize(ALG_ID alg)
{
    const EVP_MD* md = MdOf(alg);
    return md ? DWORD(EVP_MD_get_size(md)) : 0;
}

HashObject::HashObject(ALG_ID alg) : m_alg(alg)
{
    auto* ctx = EVP_MD_CTX_new();
    if (ctx && EVP_DigestInit_ex(ctx, MdOf(alg), nullptr) != 1)
    {
        EVP_MD_CTX_free(ctx);
        ctx = nullptr;
    }
    m_ctx = ctx;
}

HashObject::~HashObject()
{
    EVP_MD_CTX_free(static_cast<EVP_MD_CTX*>(m_ctx));
}

std::unique_ptr<HashObject> HashObject::Clone() const
{
    auto copy = std::make_unique<HashObject>(m_alg);
    if (m_ctx && copy->m_ctx &&
        EVP_MD_CTX_copy_ex(static_cast<EVP_MD_CTX*>(copy->m_ctx), static_cast<const EVP_MD_CTX*>(m_ctx)) != 1)
        return nullptr;
    copy->m_value = m_value;
    copy->m_finished = m_finished;
    return copy;
}

DWORD HashObject::Update(const BYTE* data, DWORD length)
{
    if (m_finished)
        return DWORD(NTE_BAD_HASH_STATE);
    if (!m_ctx || EVP_DigestUpdate(static_cast<EVP_MD_CTX*>(m_ctx), data, length) != 1)
        return DWORD(NTE_FAIL);
    return 0;
}

DWORD HashObject::SetValue(const BYTE* value)
{
    m_value.assign(value, value + Size());
    m_finished = true;
    return 0;
}

DWORD HashObject::Value(Bytes* out)
{
    if (!m_finished)
    {
        unsigned size = 0;
        m_value.assign(EVP_MAX_MD_SIZE, 0);
        if (!m_ctx ||
            EVP_DigestFinal_ex(static_cast<EVP_MD_CTX*>(m_ctx), m_value.data(), &size) != 1)
            return DWORD(NTE_FAIL);
        m_value.resize(size);
        m_finished = true;
    }
    *out = m_value;
    return 0;
}

BOOL GetHashParam(HashObject& hash, DWORD param, BYTE* data, DWORD* length, DWORD flags)
{
    if (flags)
        return Fail(DWORD(NTE_BAD_FLAGS));
    switch (param)
    {
    case HP_ALGID:
        return CopyDword(hash.Alg(), data, length);
    case HP_HASHSIZE:
        return CopyDword(hash.Size(), data, length);
    case HP_HASHVAL:
    {
        // A size query leaves the hash open for more data, as on Windows.
        if (!data)
            return CopyOut(nullptr, hash.Size(), nullptr, length);
        if (*length < hash.Size())
            return CopyOut(nullptr, hash.Size(), data, length);
        Bytes value;
        if (DWORD e = hash.Value(&value))
            return Fail(e);
        return CopyOut(value.data(), DWORD(value.size()), data, length);
    }
    default:
        return Fail(DWORD(NTE_BAD_TYPE));
    }
}

BOOL SetHashParam(HashObject& hash, DWORD param, const BYTE* data, DWORD flags)
{
    if (flags)
        return Fail(DWORD(NTE_BAD_FLAGS));
    if (param != HP_HASHVAL)
        return Fail(DWORD(NTE_BAD_TYPE));
    hash.SetValue(data);
    return TRUE;
}
} // namespace qm::cspkit
