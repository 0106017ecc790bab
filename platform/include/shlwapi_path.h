// Shell light-weight path helpers.
#pragma once

#include "windef.h"

// TRUE when the file or folder exists (fileapi.h's GetFileAttributesW finds it).
QMAPI BOOL WINAPI PathFileExistsW(LPCWSTR pszPath);
