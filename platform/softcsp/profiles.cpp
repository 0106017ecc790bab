#include "profiles.h"

namespace qm::softcsp
{
namespace
{
using cspkit::AlgInfo;

constexpr DWORD kSigning = CRYPT_FLAG_SIGNING;
constexpr DWORD kSsl = CRYPT_FLAG_PCT1 | CRYPT_FLAG_SSL2 | CRYPT_FLAG_SSL3 | CRYPT_FLAG_TLS1;

const AlgInfo kMd5{CALG_MD5, 128, 128, 128, kSsl, "MD5", "Message Digest 5 (MD5)"};
const AlgInfo kSha1{
    CALG_SHA1, 160, 160, 160, kSsl | kSigning, "SHA-1", "Secure Hash Algorithm (SHA-1)"};
const AlgInfo kSha256{CALG_SHA_256, 256, 256, 256, 0, "SHA-256", "Secure Hash Algorithm (SHA-256)"};
const AlgInfo kSha384{CALG_SHA_384, 384, 384, 384, 0, "SHA-384", "Secure Hash Algorithm (SHA-384)"};
const AlgInfo kSha512{CALG_SHA_512, 512, 512, 512, 0, "SHA-512", "Secure Hash Algorithm (SHA-512)"};
const AlgInfo k3Des112{CALG_3DES_112, 128, 128, 128, 0, "3DES TWO KEY", "Two Key Triple DES"};
const AlgInfo k3Des{CALG_3DES, 192, 192, 192, kSsl, "3DES", "Three Key Triple DES"};
const AlgInfo kAes128{
    CALG_AES_128, 128, 128, 128, 0, "AES 128", "Advanced Encryption Standard (AES) 128 bit"};
const AlgInfo kAes192{
    CALG_AES_192, 192, 192, 192, 0, "AES 192", "Advanced Encryption Standard (AES) 192 bit"};
const AlgInfo kAes256{
    CALG_AES_256, 256, 256, 256, 0, "AES 256", "Advanced Encryption Standard (AES) 256 bit"};

AlgInfo RsaSign(DWORD def, DWORD min, DWORD max)
{
    return {CALG_RSA_SIGN, def, min, max, kSsl | kSigning, "RSA_SIGN", "RSA Signature"};
}
AlgInfo RsaKeyx(DWORD def, DWORD min, DWORD max)
{
    return {CALG_RSA_KEYX, def, min, max, kSsl, "RSA_KEYX", "RSA Key Exchange"};
}

Profile Make(std::string name, DWORD type, DWORD def, DWORD keyxMax, bool tripleDes, bool aes)
{
    Profile p;
    p.name = std::move(name);
    p.type = type;
    p.rsaDefault = def;
    p.rsaMax = keyxMax;
    if (tripleDes)
        p.algs.insert(p.algs.end(), {k3Des112, k3Des});
    if (aes)
        p.algs.insert(p.algs.end(), {kAes128, kAes192, kAes256});
    p.algs.insert(p.algs.end(), {kSha1, kMd5});
    if (aes)
        p.algs.insert(p.algs.end(), {kSha256, kSha384, kSha512});
    p.algs.push_back(RsaSign(def, p.rsaMin, p.rsaSignMax));
    p.algs.push_back(RsaKeyx(def, p.rsaMin, keyxMax));
    return p;
}

const std::vector<Profile>& Profiles()
{
    static const std::vector<Profile> profiles = {
        // The Base provider limits exchange keys to 1024 bits, not signature keys.
        Make(MS_DEF_PROV_A, PROV_RSA_FULL, 512, 1024, false, false),
        Make(MS_ENHANCED_PROV_A, PROV_RSA_FULL, 1024, 16384, true, false),
        Make(MS_STRONG_PROV_A, PROV_RSA_FULL, 1024, 16384, true, false),
        Make(MS_ENH_RSA_AES_PROV_A, PROV_RSA_AES, 1024, 16384, true, true),
    };
    return profiles;
}
} // namespace

bool Profile::Offers(ALG_ID alg) const
{
    for (const auto& a : algs)
        if (a.alg == alg)
            return true;
    return false;
}

const Profile& ProfileFor(const std::string& name, DWORD type)
{
    for (const auto& p : Profiles())
        if (p.name == name)
            return p;
    return type == PROV_RSA_AES ? Profiles()[3] : Profiles()[1];
}
} // namespace qm::softcsp
