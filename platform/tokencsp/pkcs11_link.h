// The token behind PKCS#11: its library (loaded by its Windows file name), sessions with
// the user logged in, and the objects the provider keeps there.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "kit/kit.h"
#include "p11-kit/pkcs11.h"

namespace qm::tokencsp
{
using cspkit::Bytes;

struct TokenConfig
{
    std::u16string library; // Windows file name of the PKCS#11 library
    std::string tokenLabel;
    std::string pin;
};
// HKLM\SOFTWARE\Quillmark\TokenCSP\<provider>: "PKCS11Library", "TokenLabel", "PIN".
std::optional<TokenConfig> ReadTokenConfig(const std::string& providerName);

// An attribute of a search or a new object.
struct Attr
{
    CK_ATTRIBUTE_TYPE type;
    Bytes value;
};
Attr UlongAttr(CK_ATTRIBUTE_TYPE type, CK_ULONG value);
Attr BoolAttr(CK_ATTRIBUTE_TYPE type, bool value);
Attr BytesAttr(CK_ATTRIBUTE_TYPE type, const Bytes& value);
Attr TextAttr(CK_ATTRIBUTE_TYPE type, const std::string& value);

class CTokenSession
{
  public:
    ~CTokenSession();
    // Opens a logged-in read/write session on the configured token; 0 or an error code.
    static DWORD Open(const TokenConfig& config, std::shared_ptr<CTokenSession>* session);

    CK_FUNCTION_LIST* F() const { return m_f; }
    CK_SESSION_HANDLE Handle() const { return m_session; }
    std::vector<CK_OBJECT_HANDLE> Find(const std::vector<Attr>& match);
    DWORD Create(const std::vector<Attr>& attrs, CK_OBJECT_HANDLE* object);
    void Destroy(CK_OBJECT_HANDLE object);
    std::optional<Bytes> Get(CK_OBJECT_HANDLE object, CK_ATTRIBUTE_TYPE type);

  private:
    CK_FUNCTION_LIST* m_f = nullptr;
    CK_SESSION_HANDLE m_session = 0;
};

DWORD DeviceError(CK_RV rv);
} // namespace qm::tokencsp
