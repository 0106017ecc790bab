// The registration helpers of the ATL library (atl.dll) that a local or in-process COM
// server calls from its registration switches.
#pragma once

#include "objbase.h"

struct _ATL_REGMAP_ENTRY
{
    LPCOLESTR szKey;
    LPCOLESTR szData;
};

struct IRegistrar;

// Applies the registrar script held as resource lpszRes of type "REGISTRY" in hInst:
// registers it (bRegister TRUE) or removes it. The replacements are pMapEntries (ending
// with a null key) and %MODULE% = the module's full path. The script is parsed whole before
// anything is written: a faulty script gives DISP_E_EXCEPTION and changes nothing. A
// registry failure gives HRESULT_FROM_WIN32 of it (E_ACCESSDENIED-like ERROR_ACCESS_DENIED
// under HKCR without elevation). pReg must be null (the registrar is built in).
QMAPI HRESULT WINAPI AtlUpdateRegistryFromResourceD(HINSTANCE hInst, LPCOLESTR lpszRes, BOOL bRegister,
                                                    _ATL_REGMAP_ENTRY* pMapEntries, IRegistrar* pReg);

// Registers the type library held as resource "TYPELIB" #1 of hInst (lpszIndex null) or
// #lpszIndex, as RegisterTypeLib does: HKCR\TypeLib\{libid}\<major.minor> with its 0\win32
// path, FLAGS and HELPDIR (the module's folder), and HKCR\Interface\{iid} for each dual or
// dispatch interface. AtlUnRegisterTypeLib removes what RegisterTypeLib wrote.
QMAPI HRESULT WINAPI AtlRegisterTypeLib(HINSTANCE hInstTypeLib, LPCOLESTR lpszIndex);
QMAPI HRESULT WINAPI AtlUnRegisterTypeLib(HINSTANCE hInstTypeLib, LPCOLESTR lpszIndex);
