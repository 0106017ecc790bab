// Message boxes of the HTML-UI host. They go through one replaceable function so tests can
// record and answer them; by default it is MessageBoxW (a real modal box when windows are
// presented).
#pragma once

#include <functional>
#include <string>

#include "windows.h"

constexpr UINT KIVO_MB_OK = MB_OK;
constexpr UINT KIVO_MB_ICONERROR = MB_ICONERROR;

using KivoMessageBoxProc = std::function<int(HWND hWnd, const std::u16string& strText,
                                             const std::u16string& strCaption, UINT uType)>;

// Replaces the box (tests record what would be shown); an empty function restores the default.
void SetKivoMessageBox(KivoMessageBoxProc proc);
int KivoMessageBox(HWND hWnd, const std::u16string& strText, const std::u16string& strCaption, UINT uType);
