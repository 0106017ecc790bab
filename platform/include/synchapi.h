// Waiting, sleeping and named mutexes.
#pragma once

#include "windef.h"

#define INFINITE 0xFFFFFFFF
#define WAIT_OBJECT_0 0x00000000L
#define WAIT_ABANDONED 0x00000080L
#define WAIT_TIMEOUT 0x00000102L
#define WAIT_FAILED ((DWORD)0xFFFFFFFF)

typedef struct _SECURITY_ATTRIBUTES* LPSECURITY_ATTRIBUTES;

// Threads and processes are signalled when they end. WAIT_FAILED with ERROR_INVALID_HANDLE
// for handles that cannot be waited on.
QMAPI DWORD WINAPI WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds);
QMAPI void WINAPI Sleep(DWORD dwMilliseconds);

// A named mutex is one object for every process of the machine: a second CreateMutex of the
// same name (compared without case), in this or another process, succeeds with the last
// error ERROR_ALREADY_EXISTS while any handle to it is open. The object goes away when the
// last handle is closed or its processes end. Owning a mutex is not supported here:
// bInitialOwner TRUE fails with ERROR_NOT_SUPPORTED. A security descriptor in the attributes
// is checked (ERROR_UNKNOWN_REVISION, ERROR_INVALID_SECURITY_DESCR) but what it grants is not
// kept: any process of the machine may open the object, as a NULL DACL with a low mandatory
// label allows. Handles are not inherited by child processes here, whatever bInheritHandle says.
QMAPI HANDLE WINAPI CreateMutexW(LPSECURITY_ATTRIBUTES lpMutexAttributes, BOOL bInitialOwner, LPCWSTR lpName);
QMAPI HANDLE WINAPI CreateMutexA(LPSECURITY_ATTRIBUTES lpMutexAttributes, BOOL bInitialOwner, LPCSTR lpName);

#ifndef MUTEX_ALL_ACCESS
#define MUTEX_ALL_ACCESS 0x001F0001
#endif
// A handle to the named mutex while any handle to it is open in some process of the machine;
// NULL with ERROR_FILE_NOT_FOUND otherwise. The access and inheritance are not checked.
QMAPI HANDLE WINAPI OpenMutexW(DWORD dwDesiredAccess, BOOL bInheritHandle, LPCWSTR lpName);
QMAPI HANDLE WINAPI OpenMutexA(DWORD dwDesiredAccess, BOOL bInheritHandle, LPCSTR lpName);
