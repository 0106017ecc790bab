// Small file and name helpers of the plug-in: GUID names, the temporary folder, files.
#pragma once

#include <string> // before windows.h: the CRT's char16_t overloads must not join std::

#include <windows.h>

// Writes the bytes to <temporary folder><new GUID>.Brevan; the path is handed out only
// when the file was written. Failures are traced, never reported.
void DumpDatatoTempFile(std::u16string& wstrPath, const BYTE* pbData, DWORD cbData);

// Replaces any existing file at the path with the bytes.
HRESULT WriteDatatoFile(LPCWSTR lpwszPath, const BYTE* pbData, DWORD cbData);

// A new GUID in registry form, 38 characters with braces.
HRESULT CreateGUIDStr(std::u16string& wstrGUID);

// The user's temporary folder, ending with a backslash.
HRESULT GetTempDirPath(std::u16string& wstrPath);
