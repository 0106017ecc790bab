// kernel32 global memory, declared for winbase.h.
#pragma once

#include "../windef.h"

#define GMEM_FIXED 0x0000
#define GMEM_MOVEABLE 0x0002
#define GMEM_ZEROINIT 0x0040
#define GPTR (GMEM_FIXED | GMEM_ZEROINIT)
#define GHND (GMEM_MOVEABLE | GMEM_ZEROINIT)
// NULL with ERROR_NOT_ENOUGH_MEMORY when the block cannot be had.
QMAPI HGLOBAL WINAPI GlobalAlloc(UINT uFlags, SIZE_T dwBytes);
QMAPI HGLOBAL WINAPI GlobalReAlloc(HGLOBAL hMem, SIZE_T dwBytes, UINT uFlags);
QMAPI SIZE_T WINAPI GlobalSize(HGLOBAL hMem);
QMAPI LPVOID WINAPI GlobalLock(HGLOBAL hMem);
// TRUE while the block stays locked; FALSE with NO_ERROR when the last lock went.
QMAPI BOOL WINAPI GlobalUnlock(HGLOBAL hMem);
QMAPI HGLOBAL WINAPI GlobalHandle(LPCVOID pMem);
// NULL on success, hMem (ERROR_INVALID_HANDLE) for a block this process does not hold.
QMAPI HGLOBAL WINAPI GlobalFree(HGLOBAL hMem);
