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


// Copies a file's contents; with bFailIfExists FALSE an existing target is overwritten.
QMAPI BOOL WINAPI CopyFileW(LPCWSTR lpExistingFileName, LPCWSTR lpNewFileName, BOOL bFailIfExists);
// Renames a file or folder; fails with ERROR_ALREADY_EXISTS when the new name exists.
QMAPI BOOL WINAPI MoveFileW(LPCWSTR lpExistingFileName, LPCWSTR lpNewFileName);

#define FILE_BEGIN 0
#define FILE_CURRENT 1
#define FILE_END 2
#define INVALID_SET_FILE_POINTER ((DWORD)-1)
// The new position's low 32 bits (the high ones in *lpDistanceToMoveHigh when given).
QMAPI DWORD WINAPI SetFilePointer(HANDLE hFile, LONG lDistanceToMove, PLONG lpDistanceToMoveHigh, DWORD dwMoveMethod);
// Cuts or extends the file at the current position.
QMAPI BOOL WINAPI SetEndOfFile(HANDLE hFile);
QMAPI BOOL WINAPI FlushFileBuffers(HANDLE hFile);

#define CopyFile CopyFileW
#define MoveFile MoveFileW

// Searches of one folder of the machine. The pattern's last part may hold the wildcards * and
// ? (compared without regard to case; "*.*" matches every name). Every folder other than a
// drive's root yields "." and ".." first. INVALID_HANDLE_VALUE with ERROR_PATH_NOT_FOUND when
// the folder does not exist, ERROR_FILE_NOT_FOUND when nothing matches; FindNextFileW ends
// with ERROR_NO_MORE_FILES.
typedef struct _WIN32_FIND_DATAW
{
    DWORD dwFileAttributes;
    FILETIME ftCreationTime;
    FILETIME ftLastAccessTime;
    FILETIME ftLastWriteTime;
    DWORD nFileSizeHigh;
    DWORD nFileSizeLow;
    DWORD dwReserved0;
    DWORD dwReserved1;
    WCHAR cFileName[MAX_PATH];
    WCHAR cAlternateFileName[14];
} WIN32_FIND_DATAW, *PWIN32_FIND_DATAW, *LPWIN32_FIND_DATAW;
QMAPI HANDLE WINAPI FindFirstFileW(LPCWSTR lpFileName, LPWIN32_FIND_DATAW lpFindFileData);
QMAPI BOOL WINAPI FindNextFileW(HANDLE hFindFile, LPWIN32_FIND_DATAW lpFindFileData);
QMAPI BOOL WINAPI FindClose(HANDLE hFindFile);
