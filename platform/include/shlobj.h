// Special folders.
#pragma once

#include "windef.h"

#define CSIDL_APPDATA 0x001a
#define CSIDL_LOCAL_APPDATA 0x001c
#define CSIDL_PROGRAM_FILES 0x0026
#define CSIDL_PROGRAM_FILESX86 0x002a
#define CSIDL_FLAG_CREATE 0x8000
#define SHGFP_TYPE_CURRENT 0

// The folder's path (no trailing backslash) into a MAX_PATH buffer: the user's roaming and
// local application data under C:\Users\<user>\AppData, C:\Program Files and
// C:\Program Files (x86). CSIDL_FLAG_CREATE creates it. E_INVALIDARG for other folders.
QMAPI HRESULT WINAPI SHGetFolderPathW(HWND hwnd, int csidl, HANDLE hToken, DWORD dwFlags, LPWSTR pszPath);

#define SHGetFolderPath SHGetFolderPathW
