// COM: apartments per thread, activation of in-process servers registered under
// HKEY_CLASSES_ROOT\CLSID\{clsid}\InprocServer32, task memory and GUID strings.
#pragma once

#include "windef.h"
#include "winerror.h"
#include "unknwn.h"
#include "oaidl.h"

typedef enum tagCOINIT
{
    COINIT_MULTITHREADED = 0x0,
    COINIT_APARTMENTTHREADED = 0x2,
    COINIT_DISABLE_OLE1DDE = 0x4,
    COINIT_SPEED_OVER_MEMORY = 0x8,
} COINIT;

typedef enum tagCLSCTX
{
    CLSCTX_INPROC_SERVER = 0x1,
    CLSCTX_INPROC_HANDLER = 0x2,
    CLSCTX_LOCAL_SERVER = 0x4,
    CLSCTX_INPROC_SERVER16 = 0x8,
    CLSCTX_REMOTE_SERVER = 0x10,
} CLSCTX;
#define CLSCTX_INPROC (CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER)
#define CLSCTX_SERVER (CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER)
#define CLSCTX_ALL (CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER)

typedef CLSID* LPCLSID;
typedef IID* LPIID;

struct _COSERVERINFO;
typedef struct _COSERVERINFO COSERVERINFO;

// Exports an in-process server provides.
typedef HRESULT(STDMETHODCALLTYPE* LPFNGETCLASSOBJECT)(REFCLSID, REFIID, LPVOID*);
typedef HRESULT(STDMETHODCALLTYPE* LPFNCANUNLOADNOW)(void);

// S_OK the first time on a thread, S_FALSE when the thread is already in that mode (both
// must be balanced by CoUninitialize), RPC_E_CHANGED_MODE for the other mode (not counted).
QMAPI HRESULT WINAPI CoInitializeEx(LPVOID pvReserved, DWORD dwCoInit);
QMAPI HRESULT WINAPI CoInitialize(LPVOID pvReserved);
QMAPI void WINAPI CoUninitialize(void);

// In-process servers are activated from the registry; local servers only when their class
// object is registered in this process (CoRegisterClassObject). Without COM initialised on the calling thread:
// CO_E_NOTINITIALIZED. Class not registered (for CLSCTX_INPROC_SERVER): REGDB_E_CLASSNOTREG.
// Server module that cannot be loaded: HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND); without a
// DllGetClassObject: CO_E_ERRORINDLL. Otherwise what the class factory returns.
QMAPI HRESULT WINAPI CoGetClassObject(REFCLSID rclsid, DWORD dwClsContext, COSERVERINFO* pServerInfo, REFIID riid,
                                      LPVOID* ppv);
QMAPI HRESULT WINAPI CoCreateInstance(REFCLSID rclsid, LPUNKNOWN pUnkOuter, DWORD dwClsContext, REFIID riid,
                                      LPVOID* ppv);

// Class objects of a server (an .exe) for activation from this process.
typedef enum tagREGCLS
{
    REGCLS_SINGLEUSE = 0,
    REGCLS_MULTIPLEUSE = 1,
    REGCLS_MULTI_SEPARATE = 2,
    REGCLS_SUSPENDED = 4,
    REGCLS_SURROGATE = 8,
} REGCLS;
// The object is AddRef'd until revoked. CO_E_OBJISREG: a single-use registration of the class
// for that context is already there. CoGetClassObject with CLSCTX_LOCAL_SERVER finds the
// object registered in this process; other processes do not reach it here.
QMAPI HRESULT WINAPI CoRegisterClassObject(REFCLSID rclsid, LPUNKNOWN pUnk, DWORD dwClsContext, DWORD flags,
                                           LPDWORD lpdwRegister);
// CO_E_OBJNOTREG for an unknown cookie.
QMAPI HRESULT WINAPI CoRevokeClassObject(DWORD dwRegister);
QMAPI HRESULT WINAPI CoResumeClassObjects(void);

QMAPI LPVOID WINAPI CoTaskMemAlloc(SIZE_T cb);
QMAPI LPVOID WINAPI CoTaskMemRealloc(LPVOID pv, SIZE_T cb);
QMAPI void WINAPI CoTaskMemFree(LPVOID pv);

// A new random GUID (version 4, RFC 4122 variant).
QMAPI HRESULT WINAPI CoCreateGuid(GUID* pguid);

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" in upper case; returns the characters written
// with the terminator (39), or 0 when cchMax is too small.
QMAPI int WINAPI StringFromGUID2(REFGUID rguid, LPOLESTR lpsz, int cchMax);
// The text in braces (hex digits of either case); NULL gives CLSID_NULL. Bad text:
// CO_E_CLASSSTRING from CLSIDFromString, E_INVALIDARG from IIDFromString.
QMAPI HRESULT WINAPI CLSIDFromString(LPCOLESTR lpsz, LPCLSID pclsid);
QMAPI HRESULT WINAPI IIDFromString(LPCOLESTR lpsz, LPIID lpiid);
// Allocated with CoTaskMemAlloc.
QMAPI HRESULT WINAPI StringFromCLSID(REFCLSID rclsid, LPOLESTR* lplpsz);
QMAPI HRESULT WINAPI StringFromIID(REFIID rclsid, LPOLESTR* lplpsz);
