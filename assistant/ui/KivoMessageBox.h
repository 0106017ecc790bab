// Message boxes of the HTML-UI host. The platform has no MessageBox yet, so the boxes go
// through one replaceable function; until one is set they are written to standard error
// and answered with IDOK.
#pragma once

#include <functional>
#include <string>

#include "windows.h"

constexpr UINT KIVO_MB_OK = 0x00000000;
constexpr UINT KIVO_MB_ICONERROR = 0x00000010;

using KivoMessageBoxProc = std::function<int(HWND hWnd, const std::u16string& strText,
                                             const std::u16string& strCaption, UINT uType)>;

// Replaces the box (tests record what would be shown); an empty function restores the default.
void SetKivoMessageBox(KivoMessageBoxProc proc);
int KivoMessageBox(HWND hWnd, const std::u16string& strText, const std::u16string& strCaption, UINT uType);
