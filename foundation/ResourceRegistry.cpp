#include "ResourceRegistry.h"

#include <cstring>

#include "HResult.h"
#include "Trace.h"
#include "ZeroedArray.h"

HRESULT LoadModuleResource(HMODULE hModule, DWORD dwResourceId, BYTE** ppbData, DWORD* pcbData)
{
    TraceHelper trace(u"LoadModuleResource");
    if (!ppbData || !pcbData)
    {
        TraceResult(E_POINTER, u"Check parameter");
        return E_POINTER;
    }

    HRSRC hResInfo = FindResourceW(hModule, MAKEINTRESOURCEW(dwResourceId), u"CERTIFICATE");
    if (!hResInfo)
    {
        HRESULT hResult = HResultOfFailedCall();
        TraceResult(hResult, u"FindResource FAILED.");
        return hResult;
    }

    DWORD cbResource = SizeofResource(hModule, hResInfo);
    if (cbResource == 0)
    {
        HRESULT hResult = HResultOfFailedCall();
        TraceResult(hResult, u"SizeofResource FAILED.");
        return hResult;
    }

    HGLOBAL hResData = LoadResource(hModule, hResInfo);
    const void* pvResource = hResData ? LockResource(hResData) : nullptr;
    if (!pvResource)
    {
        HRESULT hResult = HResultOfFailedCall();
        TraceResult(hResult, u"LoadResource FAILED.");
        return hResult;
    }

    BYTE* pbData = NewZeroedArray<BYTE>(cbResource);
    if (!pbData)
    {
        TraceResult(E_OUTOFMEMORY, u"Dispatch memory failed.");
        return E_OUTOFMEMORY;
    }
    memcpy(pbData, pvResource, cbResource);
    *ppbData = pbData;
    *pcbData = cbResource;
    QM_TRACE_INFO(dwResourceId, cbResource);
    return S_OK;
}

HRESULT RegWriteBinaryValue(LPCWSTR lpwszKeyPath, LPCWSTR lpwszSubKey, const BYTE* pbData, DWORD cbData)
{
    TraceHelper trace(u"RegWriteBinaryValue");
    if (!lpwszKeyPath || !lpwszSubKey || (!pbData && cbData))
    {
        TraceResult(E_POINTER, u"Check parameter");
        return E_POINTER;
    }
    QM_TRACE_INFO(lpwszKeyPath, lpwszSubKey, cbData);

    HKEY hKey = nullptr;
    LSTATUS lStatus = RegOpenKeyExW(HKEY_LOCAL_MACHINE, lpwszKeyPath, 0, KEY_ALL_ACCESS, &hKey);
    if (lStatus != ERROR_SUCCESS)
    {
        HRESULT hResult = HResultFromWin32((DWORD)lStatus);
        TraceResult(hResult, u"RegOpenKeyEx FAILED.");
        return hResult;
    }

    HKEY hSubKey = nullptr;
    DWORD dwDisposition = 0;
    lStatus = RegCreateKeyExW(hKey, lpwszSubKey, 0, const_cast<LPWSTR>(u""), REG_OPTION_NON_VOLATILE,
                              KEY_READ | KEY_CREATE_SUB_KEY | KEY_SET_VALUE, nullptr, &hSubKey, &dwDisposition);
    if (lStatus != ERROR_SUCCESS)
    {
        HRESULT hResult = HResultFromWin32((DWORD)lStatus);
        TraceResult(hResult, u"RegCreateKeyEx FAILED.");
        RegCloseKey(hKey);
        return hResult;
    }

    HRESULT hResult = S_OK;
    lStatus = RegSetValueExW(hSubKey, u"Blob", 0, REG_BINARY, pbData, cbData);
    if (lStatus != ERROR_SUCCESS)
    {
        hResult = HResultFromWin32((DWORD)lStatus);
        TraceResult(hResult, u"RegSetValueEx FAILED.");
    }

    RegCloseKey(hSubKey);
    RegCloseKey(hKey);
    return hResult;
}

HRESULT DeleteRegistryKey(LPCWSTR lpwszSubKey)
{
    TraceHelper trace(u"DeleteRegistryKey");
    if (!lpwszSubKey)
    {
        TraceResult(E_POINTER, u"Check parameter");
        return E_POINTER;
    }
    QM_TRACE_INFO(ROOT_CERTIFICATES_KEY, lpwszSubKey);

    HKEY hKey = nullptr;
    LSTATUS lStatus = RegOpenKeyExW(HKEY_LOCAL_MACHINE, ROOT_CERTIFICATES_KEY, 0, KEY_ALL_ACCESS, &hKey);
    if (lStatus != ERROR_SUCCESS)
    {
        HRESULT hResult = HResultFromWin32((DWORD)lStatus);
        TraceResult(hResult, u"RegOpenKeyEx FAILED.");
        return hResult;
    }

    HRESULT hResult = HResultFromWin32((DWORD)RegDeleteKeyW(hKey, lpwszSubKey));
    TraceResult(hResult, u"RegDeleteKey");
    RegCloseKey(hKey);
    return hResult;
}
