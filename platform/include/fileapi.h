// Files: Windows paths name files of the machine (C:\ is $QM_MACHINE/drive_c).
#pragma once

#include "windef.h"

#ifndef GENERIC_READ
#define GENERIC_READ 0x80000000L
#endif
#ifndef GENERIC_WRITE
#define GENERIC_WRITE 0x40000000L
#endif

#define CREATE_NEW 1
#define CREATE_ALWAYS 2
#define OPEN_EXISTING 3
#define OPEN_ALWAYS 4
#define TRUNCATE_EXISTING 5

#define FILE_ATTRIBUTE_NORMAL 0x00000080
#define INVALID_FILE_ATTRIBUTES ((DWORD)-1)
#define FILE_ATTRIBUTE_DIRECTORY 0x00000010

typedef struct _SECURITY_ATTRIBUTES* LPSECURITY_ATTRIBUTES;
typedef struct _OVERLAPPED* LPOVERLAPPED;

// INVALID_HANDLE_VALUE on failure: ERROR_PATH_NOT_FOUND (no such folder or not a drive-C path),
// ERROR_FILE_EXISTS (CREATE_NEW), ERROR_FILE_NOT_FOUND (OPEN_EXISTING), ERROR_ACCESS_DENIED.
QMAPI HANDLE WINAPI CreateFileW(LPCWSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                                LPSECURITY_ATTRIBUTES lpSecurityAttributes, DWORD dwCreationDisposition,
                                DWORD dwFlagsAndAttributes, HANDLE hTemplateFile);
QMAPI BOOL WINAPI WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite,
                            LPDWORD lpNumberOfBytesWritten, LPOVERLAPPED lpOverlapped);
QMAPI BOOL WINAPI ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead, LPDWORD lpNumberOfBytesRead,
                           LPOVERLAPPED lpOverlapped);
// Files from CreateFileW; ERROR_INVALID_HANDLE for anything else.
QMAPI BOOL WINAPI CloseHandle(HANDLE hObject);
QMAPI BOOL WINAPI DeleteFileW(LPCWSTR lpFileName);
QMAPI DWORD WINAPI GetFileAttributesW(LPCWSTR lpFileName);

// The user's temporary folder, C:\Users\<user>\AppData\Local\Temp\ (created when missing).
// Characters written without the terminator; the size needed with it when nBufferLength is
// too small; 0 on failure.
QMAPI DWORD WINAPI GetTempPathW(DWORD nBufferLength, LPWSTR lpBuffer);

