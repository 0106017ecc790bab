#include "KivoModule.h"

#include "KivoProtocol.h"
#include "atlbase.h"
#include "windows.h"

const char16_t CKivoModule::kAppId[] = u"{AF292A48-E8B6-40F3-A619-DD6BC988C08A}";

namespace
{
constexpr WORD kAppIdScript = 103;
constexpr WORD kClassScript = 106;

// Runs one of the program's registry scripts, whose %APPID% is the program's AppID.
HRESULT UpdateFromScript(WORD nScript, BOOL bRegister)
{
    _ATL_REGMAP_ENTRY map[] = {{u"APPID", CKivoModule::kAppId}, {nullptr, nullptr}};
    return AtlUpdateRegistryFromResourceD(nullptr, MAKEINTRESOURCEW(nScript), bRegister, map, nullptr);
}
} // namespace

CKivoModule& KivoModule()
{
    static CKivoModule module;
    return module;
}

HRESULT CKivoModule::UpdateRegistryAppId(BOOL bRegister)
{
    return UpdateFromScript(kAppIdScript, bRegister);
}

HRESULT CKivoModule::RegisterServer()
{
    HRESULT hr = UpdateFromScript(kClassScript, TRUE);
    if (SUCCEEDED(hr))
        hr = AtlRegisterTypeLib(nullptr, nullptr);
    return hr;
}

HRESULT CKivoModule::UnregisterServer()
{
    HRESULT hr = UpdateFromScript(kClassScript, FALSE);
    if (SUCCEEDED(hr))
        hr = AtlUnRegisterTypeLib(nullptr, nullptr);
    return hr;
}

HRESULT CKivoModule::RegisterClassObjects()
{
    IClassFactory* factory = KivoProtocolFactory();
    return CoRegisterClassObject(CLSID_KivoProtocol, factory, CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE,
                                 &m_dwClassCookie);
}

void CKivoModule::RevokeClassObjects()
{
    if (m_dwClassCookie)
        CoRevokeClassObject(m_dwClassCookie);
    m_dwClassCookie = 0;
}

LONG CKivoModule::Lock() { return ++m_nLockCnt; }

LONG CKivoModule::Unlock()
{
    LONG n = --m_nLockCnt;
    // Released by every client: a server started for COM has nothing left to do. The
    // server's objects live in the user-interface thread's apartment, so this runs there.
    if (n == 0 && m_bServer)
        PostQuitMessage(0);
    return n;
}

HRESULT CKivoModule::GetGITPtr(IGlobalInterfaceTable** ppGIT)
{
    if (!ppGIT)
        return E_POINTER;
    *ppGIT = nullptr;
    std::lock_guard lock(m_gitLock);
    if (!m_pGIT)
    {
        HRESULT hr = CoCreateInstance(CLSID_StdGlobalInterfaceTable, nullptr, CLSCTX_INPROC_SERVER,
                                      IID_IGlobalInterfaceTable, reinterpret_cast<void**>(&m_pGIT));
        if (FAILED(hr))
        {
            m_pGIT = nullptr;
            return hr;
        }
    }
    m_pGIT->AddRef();
    *ppGIT = m_pGIT;
    return S_OK;
}

CKivoModule::~CKivoModule()
{
    if (m_pGIT)
        m_pGIT->Release();
}
