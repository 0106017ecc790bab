// The plug-in library's module handle, stored by the DLL entry point at process attach.
#pragma once

#include <string> // before windows.h: the CRT's char16_t overloads must not join std::

#include <windows.h>

extern HINSTANCE g_hModuleInstance;
