// Network management: the local groups of the machine's accounts.
#pragma once

#include "windef.h"

typedef DWORD NET_API_STATUS;

#define NERR_Success 0
#define NERR_UserNotFound 2221
#define NERR_InvalidComputer 2351
#define MAX_PREFERRED_LENGTH ((DWORD)-1)
#define LG_INCLUDE_INDIRECT 0x0001
#ifndef ERROR_INVALID_LEVEL
#define ERROR_INVALID_LEVEL 124L
#endif

typedef struct _LOCALGROUP_USERS_INFO_0
{
    LPWSTR lgrui0_name;
} LOCALGROUP_USERS_INFO_0, *PLOCALGROUP_USERS_INFO_0, *LPLOCALGROUP_USERS_INFO_0;

// The local groups of an account of this machine ("name" or "COMPUTER\name"), as listed in
// HKLM\SOFTWARE\Quillmark\Machine\Users\<name> value "LocalGroups" (REG_MULTI_SZ), in that
// order. Level 0 only. The server is null, empty or this computer's name. The buffer is one
// allocation for NetApiBufferFree, also when no group is returned. With prefmaxlen smaller
// than the whole list, the entries that fit are returned with ERROR_MORE_DATA.
QMAPI NET_API_STATUS WINAPI NetUserGetLocalGroups(LPCWSTR servername, LPCWSTR username, DWORD level, DWORD flags,
                                                  LPBYTE* bufptr, DWORD prefmaxlen, LPDWORD entriesread,
                                                  LPDWORD totalentries);
QMAPI NET_API_STATUS WINAPI NetApiBufferFree(LPVOID Buffer);
