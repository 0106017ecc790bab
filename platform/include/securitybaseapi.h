// Processes' access tokens, security identifiers and the machine's accounts.
#pragma once

#include "windef.h"

typedef void* PSID;

typedef struct _SID_IDENTIFIER_AUTHORITY
{
    BYTE Value[6];
} SID_IDENTIFIER_AUTHORITY, *PSID_IDENTIFIER_AUTHORITY;

// The binary form of a security identifier; SubAuthorityCount entries follow.
typedef struct _SID
{
    BYTE Revision;
    BYTE SubAuthorityCount;
    SID_IDENTIFIER_AUTHORITY IdentifierAuthority;
    DWORD SubAuthority[1];
} SID;

#define SID_REVISION 1
#define SID_MAX_SUB_AUTHORITIES 15

typedef struct _SID_AND_ATTRIBUTES
{
    PSID Sid;
    DWORD Attributes;
} SID_AND_ATTRIBUTES;

typedef struct _TOKEN_USER
{
    SID_AND_ATTRIBUTES User;
} TOKEN_USER, *PTOKEN_USER;

typedef enum _TOKEN_INFORMATION_CLASS
{
    TokenUser = 1,
    TokenGroups,
    TokenPrivileges,
    TokenOwner,
} TOKEN_INFORMATION_CLASS;

typedef enum _SID_NAME_USE
{
    SidTypeUser = 1,
    SidTypeGroup,
    SidTypeDomain,
    SidTypeAlias,
    SidTypeWellKnownGroup,
} SID_NAME_USE, *PSID_NAME_USE;

#define PROCESS_QUERY_INFORMATION 0x0400
#define PROCESS_QUERY_LIMITED_INFORMATION 0x1000
#define TOKEN_QUERY 0x0008

// A handle of a process of the machine's session (see CreateToolhelp32Snapshot);
// ERROR_INVALID_PARAMETER for a process id that is not running. Closed with CloseHandle.
QMAPI HANDLE WINAPI OpenProcess(DWORD dwDesiredAccess, BOOL bInheritHandle, DWORD dwProcessId);
// The process's token: its user is the account named by the process's "User" value.
// ERROR_INVALID_HANDLE for anything but a handle from OpenProcess.
QMAPI BOOL WINAPI OpenProcessToken(HANDLE ProcessHandle, DWORD DesiredAccess, PHANDLE TokenHandle);
// TokenUser only (ERROR_INVALID_PARAMETER for other classes). A buffer that is too small fails
// with ERROR_INSUFFICIENT_BUFFER and *ReturnLength set to the size needed.
QMAPI BOOL WINAPI GetTokenInformation(HANDLE TokenHandle, TOKEN_INFORMATION_CLASS TokenInformationClass,
                                      LPVOID TokenInformation, DWORD TokenInformationLength, PDWORD ReturnLength);
// An account of the machine (HKLM\SOFTWARE\Quillmark\Machine\Users\<name>, value "Sid"); the
// domain is the computer name. Sizes are in characters: on success the lengths without the
// terminator; too small a buffer fails with ERROR_INSUFFICIENT_BUFFER and the sizes needed
// including it. ERROR_NONE_MAPPED for an identifier no account has.
QMAPI BOOL WINAPI LookupAccountSidW(LPCWSTR lpSystemName, PSID Sid, LPWSTR Name, LPDWORD cchName,
                                    LPWSTR ReferencedDomainName, LPDWORD cchReferencedDomainName,
                                    PSID_NAME_USE peUse);
QMAPI BOOL WINAPI IsValidSid(PSID pSid);
QMAPI DWORD WINAPI GetLengthSid(PSID pSid);

#define LookupAccountSid LookupAccountSidW
