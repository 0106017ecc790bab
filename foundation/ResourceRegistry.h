// Module resources and the machine's root-certificate registry keys.
#pragma once

#include <string> // before windows.h: the CRT's char16_t overloads must not join std::

#include <windows.h>

// Copies the "CERTIFICATE" resource with the numeric id into a new array (not terminated).
HRESULT LoadModuleResource(HMODULE hModule, DWORD dwResourceId, BYTE** ppbData, DWORD* pcbData);

// Writes HKEY_LOCAL_MACHINE\<path>\<subkey> "Blob" (REG_BINARY).
HRESULT RegWriteBinaryValue(LPCWSTR lpwszKeyPath, LPCWSTR lpwszSubKey, const BYTE* pbData, DWORD cbData);

// Deletes HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\SystemCertificates\ROOT\Certificates\<subkey>.
HRESULT DeleteRegistryKey(LPCWSTR lpwszSubKey);

#define ROOT_CERTIFICATES_KEY u"SOFTWARE\\Microsoft\\SystemCertificates\\ROOT\\Certificates"
