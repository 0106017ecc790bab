// The local COM server of the program: its AppID, registry scripts, type library, class
// objects and lock count.
#pragma once

#include <atomic>
#include <mutex>

#include "objbase.h"
#include "objidl.h"

class CKivoModule
{
public:
    // {AF292A48-E8B6-40F3-A619-DD6BC988C08A}
    static const char16_t kAppId[];

    // Registry script 103 (HKCR\AppID) with %APPID%.
    HRESULT UpdateRegistryAppId(BOOL bRegister);
    // Registry script 106 (ProgIDs and CLSID) and the type library (resource 1).
    HRESULT RegisterServer();
    HRESULT UnregisterServer();

    // CoRegisterClassObject for CLSID_KivoProtocol as a local server; revoked by
    // RevokeClassObjects.
    HRESULT RegisterClassObjects();
    void RevokeClassObjects();

    // The server's objects lock the module; in server mode the last unlock ends the
    // program's message loop.
    LONG Lock();
    LONG Unlock();
    LONG GetLockCount() const { return m_nLockCnt.load(); }
    void SetServerMode(bool bServer) { m_bServer = bServer; }

    // The process's global interface table, created on first request and kept; the caller
    // gets its own reference.
    HRESULT GetGITPtr(IGlobalInterfaceTable** ppGIT);

    ~CKivoModule();

private:
    std::atomic<LONG> m_nLockCnt{0};
    DWORD m_dwClassCookie = 0;
    bool m_bServer = false;
    std::mutex m_gitLock;
    IGlobalInterfaceTable* m_pGIT = nullptr;
};

CKivoModule& KivoModule();
