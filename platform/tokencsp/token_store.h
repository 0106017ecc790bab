// Key containers on the token: a data object names each container; its key pairs and
// certificates carry the container name as label and the key specification as id.
#pragma once

#include <optional>

#include "pkcs11_link.h"
#include "sm2.h"

namespace qm::tokencsp
{
struct KeyRecord
{
    DWORD spec = 0;
    bool sm2 = false;
    CK_OBJECT_HANDLE object = 0; // the private key on the token
    DWORD bits = 0;
    Sm2Key sm2Key;
    cspkit::RsaKey rsaPublic; // n and e
};

class CTokenStore
{
  public:
    explicit CTokenStore(std::shared_ptr<CTokenSession> session) : m_session(std::move(session)) {}

    std::vector<std::string> Containers();
    bool Exists(const std::string& name);
    DWORD Create(const std::string& name);
    DWORD Delete(const std::string& name);

    std::optional<KeyRecord> Key(const std::string& name, DWORD spec);
    DWORD PutSm2(const std::string& name, DWORD spec, const Sm2Key& key);
    DWORD PutRsa(const std::string& name, DWORD spec, const cspkit::RsaKey& key, bool exportable);
    DWORD GenerateRsa(const std::string& name, DWORD spec, DWORD bits, bool exportable);

    DWORD SetCertificate(const std::string& name, DWORD spec, const Bytes& der);
    std::optional<Bytes> Certificate(const std::string& name, DWORD spec);

    // PKCS#1 v1.5 with the token's key, numbers big-endian.
    DWORD RsaSign(CK_OBJECT_HANDLE key, const Bytes& digestInfo, Bytes* signature);
    DWORD RsaDecrypt(CK_OBJECT_HANDLE key, const Bytes& cipher, Bytes* plain);

  private:
    void RemoveKey(const std::string& name, DWORD spec);
    std::shared_ptr<CTokenSession> m_session;
};
} // namespace qm::tokencsp
