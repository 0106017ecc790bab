#include "pkcs11_link.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>

#include "../advapi32/text.h"
#include "libloaderapi.h"
#include "qm/machine.h"
#include "token_errors.h"
#include "winreg.h"

namespace qm::tokencsp
{
namespace
{
std::recursive_mutex g_lock;
CK_FUNCTION_LIST* g_functions = nullptr;
int g_sessions = 0; // the library is initialised while sessions are open

std::optional<std::u16string> ReadString(HKEY key, const char16_t* name)
{
    DWORD type = 0, size = 0;
    if (RegQueryValueExW(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        type != REG_SZ)
        return std::nullopt;
    std::u16string value(size / 2 + 1, u'\0');
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(value.data()), &size) !=
        ERROR_SUCCESS)
        return std::nullopt;
    value.resize(size / 2);
    while (!value.empty() && value.back() == u'\0')
        value.pop_back();
    return value;
}

std::string Narrow(const std::u16string& s)
{
    std::string out;
    for (char16_t c : s)
        out += c < 0x80 ? char(c) : '?';
    return out;
}

DWORD LoadFunctions(const std::u16string& library, CK_FUNCTION_LIST** functions)
{
    if (g_functions)
    {
        *functions = g_functions;
        return 0;
    }
    HMODULE module = LoadLibraryW(library.c_str());
    if (!module)
        return QM_TOKEN_E_NO_LIBRARY;
    auto get = reinterpret_cast<CK_C_GetFunctionList>(
        reinterpret_cast<void*>(GetProcAddress(module, "C_GetFunctionList")));
    // The library stays loaded for the process, as the vendor's CSP keeps it.
    if (!get || get(&g_functions) != CKR_OK || !g_functions)
        return QM_TOKEN_E_NO_LIBRARY;
    *functions = g_functions;
    return 0;
}

std::string Trimmed(const unsigned char* text, size_t size)
{
    std::string s(reinterpret_cast<const char*>(text), size);
    while (!s.empty() && s.back() == ' ')
        s.pop_back();
    return s;
}
} // namespace

std::optional<TokenConfig> ReadTokenConfig(const std::string& providerName)
{
    std::u16string path = u"SOFTWARE\\Quillmark\\TokenCSP\\" + qm::advapi::FromUtf8(providerName);
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return std::nullopt;
    auto library = ReadString(key, u"PKCS11Library");
    auto label = ReadString(key, u"TokenLabel");
    auto pin = ReadString(key, u"PIN");
    RegCloseKey(key);
    if (!library || !label || !pin)
        return std::nullopt;
    return TokenConfig{*library, Narrow(*label), Narrow(*pin)};
}

Attr UlongAttr(CK_ATTRIBUTE_TYPE type, CK_ULONG value)
{
    Bytes b(sizeof value);
    std::memcpy(b.data(), &value, sizeof value);
    return {type, b};
}

Attr BoolAttr(CK_ATTRIBUTE_TYPE type, bool value)
{
    return {type, Bytes{BYTE(value ? CK_TRUE : CK_FALSE)}};
}

Attr BytesAttr(CK_ATTRIBUTE_TYPE type, const Bytes& value)
{
    return {type, value};
}

Attr TextAttr(CK_ATTRIBUTE_TYPE type, const std::string& value)
{
    return {type, Bytes(value.begin(), value.end())};
}

DWORD DeviceError(CK_RV rv)
{
    return rv == CKR_OK ? 0 : QM_TOKEN_E_DEVICE;
}

DWORD CTokenSession::Open(const TokenConfig& config, std::shared_ptr<CTokenSession>* out)
{
    std::lock_guard lock(g_lock);
    CK_FUNCTION_LIST* f = nullptr;
    if (DWORD e = LoadFunctions(config.library, &f))
        return e;
    if (g_sessions == 0)
    {
        // The machine keeps the token's storage; its configuration is found there.
        auto conf = qm::MachineDirectory() / "softhsm2.conf";
        std::error_code ec;
        if (std::filesystem::exists(conf, ec))
            ::setenv("SOFTHSM2_CONF", conf.c_str(), 1);
        CK_RV rv = f->C_Initialize(nullptr);
        if (rv != CKR_OK && rv != CKR_CRYPTOKI_ALREADY_INITIALIZED)
            return QM_TOKEN_E_NO_LIBRARY;
    }
    ++g_sessions;
    auto session = std::shared_ptr<CTokenSession>(new CTokenSession());
    session->m_f = f;

    CK_ULONG count = 0;
    std::vector<CK_SLOT_ID> slots;
    if (f->C_GetSlotList(CK_TRUE, nullptr, &count) == CKR_OK && count)
    {
        slots.resize(count);
        if (f->C_GetSlotList(CK_TRUE, slots.data(), &count) != CKR_OK)
            slots.clear();
        slots.resize(count);
    }
    std::optional<CK_SLOT_ID> slot;
    for (CK_SLOT_ID s : slots)
    {
        CK_TOKEN_INFO info{};
        if (f->C_GetTokenInfo(s, &info) == CKR_OK && (info.flags & CKF_TOKEN_INITIALIZED) &&
            Trimmed(info.label, sizeof info.label) == config.tokenLabel)
        {
            slot = s;
            break;
        }
    }
    if (!slot)
        return QM_TOKEN_E_NO_TOKEN; // the destructor gives back the library reference
    if (f->C_OpenSession(*slot, CKF_SERIAL_SESSION | CKF_RW_SESSION, nullptr, nullptr,
                         &session->m_session) != CKR_OK)
        return QM_TOKEN_E_NO_TOKEN;
    CK_RV rv = f->C_Login(session->m_session, CKU_USER,
                          reinterpret_cast<CK_UTF8CHAR*>(const_cast<char*>(config.pin.data())),
                          config.pin.size());
    if (rv != CKR_OK && rv != CKR_USER_ALREADY_LOGGED_IN)
        return QM_TOKEN_E_LOGIN;
    *out = session;
    return 0;
}

CTokenSession::~CTokenSession()
{
    std::lock_guard lock(g_lock);
    if (m_session)
        m_f->C_CloseSession(m_session);
    if (--g_sessions == 0 && m_f)
        m_f->C_Finalize(nullptr);
}

namespace
{
std::vector<CK_ATTRIBUTE> Template(const std::vector<Attr>& attrs)
{
    std::vector<CK_ATTRIBUTE> t;
    for (const auto& a : attrs)
        t.push_back({a.type, const_cast<BYTE*>(a.value.data()), a.value.size()});
    return t;
}
} // namespace

std::vector<CK_OBJECT_HANDLE> CTokenSession::Find(const std::vector<Attr>& match)
{
    std::vector<CK_OBJECT_HANDLE> found;
    auto t = Template(match);
    if (m_f->C_FindObjectsInit(m_session, t.data(), t.size()) != CKR_OK)
        return found;
    CK_OBJECT_HANDLE batch[32];
    CK_ULONG n = 0;
    while (m_f->C_FindObjects(m_session, batch, 32, &n) == CKR_OK && n)
        found.insert(found.end(), batch, batch + n);
    m_f->C_FindObjectsFinal(m_session);
    return found;
}

DWORD CTokenSession::Create(const std::vector<Attr>& attrs, CK_OBJECT_HANDLE* object)
{
    auto t = Template(attrs);
    return DeviceError(m_f->C_CreateObject(m_session, t.data(), t.size(), object));
}

void CTokenSession::Destroy(CK_OBJECT_HANDLE object)
{
    m_f->C_DestroyObject(m_session, object);
}

std::optional<Bytes> CTokenSession::Get(CK_OBJECT_HANDLE object, CK_ATTRIBUTE_TYPE type)
{
    CK_ATTRIBUTE a{type, nullptr, 0};
    if (m_f->C_GetAttributeValue(m_session, object, &a, 1) != CKR_OK ||
        a.ulValueLen == CK_UNAVAILABLE_INFORMATION)
        return std::nullopt;
    Bytes value(a.ulValueLen);
    a.pValue = value.data();
    if (m_f->C_GetAttributeValue(m_session, object, &a, 1) != CKR_OK)
        return std::nullopt;
    value.resize(a.ulValueLen);
    return value;
}
} // namespace qm::tokencsp
