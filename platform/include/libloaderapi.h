// Modules (libraries and the program) and the resources compiled into them.
// A module handle is the load address of the module, as on Windows; NULL means the program.
#pragma once

#include "windef.h"

typedef INT_PTR(WINAPI* FARPROC)(void);

// Reasons passed to a library's DllMain. Only the process reasons are delivered: libraries
// here behave as if they had called DisableThreadLibraryCalls.
#define DLL_PROCESS_DETACH 0
#define DLL_PROCESS_ATTACH 1
#define DLL_THREAD_ATTACH 2
#define DLL_THREAD_DETACH 3

// The entry point of a library built with qm_windows_dll(). Hidden, so that each library's
// loader glue calls its own DllMain and never another module's.
extern "C" __attribute__((visibility("hidden"))) BOOL WINAPI DllMain(HINSTANCE hinstDLL, DWORD fdwReason,
                                                                    LPVOID lpvReserved);

// NULL: the program. Otherwise a loaded module by file name (compared without case; ".so" is
// tried when the name has no extension) or by full path. No reference is added.
QMAPI HMODULE WINAPI GetModuleHandleW(LPCWSTR lpModuleName);
QMAPI HMODULE WINAPI GetModuleHandleA(LPCSTR lpModuleName);

#define GET_MODULE_HANDLE_EX_FLAG_PIN 0x00000001
#define GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT 0x00000002
#define GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS 0x00000004
// With GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, lpModuleName is any address inside the module.
QMAPI BOOL WINAPI GetModuleHandleExW(DWORD dwFlags, LPCWSTR lpModuleName, HMODULE* phModule);

// Full path of the module's file. A buffer too small receives nSize-1 characters and a
// terminator; the result is then nSize with ERROR_INSUFFICIENT_BUFFER. 0 on failure.
QMAPI DWORD WINAPI GetModuleFileNameW(HMODULE hModule, LPWSTR lpFilename, DWORD nSize);
QMAPI DWORD WINAPI GetModuleFileNameA(HMODULE hModule, LPSTR lpFilename, DWORD nSize);

// Loads a library (a path, or a file name searched next to the program, then as the
// dynamic loader searches) and runs its DllMain. NULL with ERROR_MOD_NOT_FOUND,
// ERROR_BAD_EXE_FORMAT or ERROR_DLL_INIT_FAILED (DllMain returned FALSE).
QMAPI HMODULE WINAPI LoadLibraryW(LPCWSTR lpLibFileName);
QMAPI HMODULE WINAPI LoadLibraryA(LPCSTR lpLibFileName);
QMAPI BOOL WINAPI FreeLibrary(HMODULE hLibModule);
// Exported functions and data of that module only (not of the libraries it uses).
// Ordinals are not supported (ERROR_PROC_NOT_FOUND).
QMAPI FARPROC WINAPI GetProcAddress(HMODULE hModule, LPCSTR lpProcName);
QMAPI BOOL WINAPI DisableThreadLibraryCalls(HMODULE hLibModule);

// Resources. Types and names are numeric ids (MAKEINTRESOURCEW), "#123", or strings compared
// without case. The language is chosen as Windows does: the thread's UI language, its
// neutral sublanguage, neutral, English (US), then any.
// Errors: ERROR_RESOURCE_DATA_NOT_FOUND (module without resources),
// ERROR_RESOURCE_TYPE_NOT_FOUND, ERROR_RESOURCE_NAME_NOT_FOUND,
// ERROR_RESOURCE_LANG_NOT_FOUND (FindResourceExW), ERROR_MOD_NOT_FOUND (bad module handle).
QMAPI HRSRC WINAPI FindResourceW(HMODULE hModule, LPCWSTR lpName, LPCWSTR lpType);
QMAPI HRSRC WINAPI FindResourceA(HMODULE hModule, LPCSTR lpName, LPCSTR lpType);
// Note the order: type before name. wLanguage 0 (neutral) chooses as FindResourceW does.
QMAPI HRSRC WINAPI FindResourceExW(HMODULE hModule, LPCWSTR lpType, LPCWSTR lpName, WORD wLanguage);
QMAPI DWORD WINAPI SizeofResource(HMODULE hModule, HRSRC hResInfo);
QMAPI HGLOBAL WINAPI LoadResource(HMODULE hModule, HRSRC hResInfo);
// Resource data is read-only and lives as long as the module is loaded.
QMAPI LPVOID WINAPI LockResource(HGLOBAL hResData);
// Obsolete, as on Windows: does nothing and returns FALSE.
QMAPI BOOL WINAPI FreeResource(HGLOBAL hResData);

#define GetModuleHandle GetModuleHandleW
#define GetModuleHandleEx GetModuleHandleExW
#define GetModuleFileName GetModuleFileNameW
#define LoadLibrary LoadLibraryW
#define FindResource FindResourceW
#define FindResourceEx FindResourceExW
