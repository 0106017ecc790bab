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

// Security descriptors. Absolute descriptors hold pointers; self-relative ones (as SDDL
// conversion returns) hold offsets from their start, in one block.
typedef WORD SECURITY_DESCRIPTOR_CONTROL, *PSECURITY_DESCRIPTOR_CONTROL;
typedef DWORD ACCESS_MASK;
typedef void* PSECURITY_DESCRIPTOR;

#define SE_OWNER_DEFAULTED 0x0001
#define SE_GROUP_DEFAULTED 0x0002
#define SE_DACL_PRESENT 0x0004
#define SE_DACL_DEFAULTED 0x0008
#define SE_SACL_PRESENT 0x0010
#define SE_SACL_DEFAULTED 0x0020
#define SE_DACL_AUTO_INHERIT_REQ 0x0100
#define SE_SACL_AUTO_INHERIT_REQ 0x0200
#define SE_DACL_AUTO_INHERITED 0x0400
#define SE_SACL_AUTO_INHERITED 0x0800
#define SE_DACL_PROTECTED 0x1000
#define SE_SACL_PROTECTED 0x2000
#define SE_SELF_RELATIVE 0x8000

#define SECURITY_DESCRIPTOR_REVISION 1
#define SECURITY_DESCRIPTOR_REVISION1 1
#define ACL_REVISION 2
#define ACL_REVISION_DS 4

typedef struct _ACL
{
    BYTE AclRevision;
    BYTE Sbz1;
    WORD AclSize; // bytes, the header and all entries
    WORD AceCount;
    WORD Sbz2;
} ACL, *PACL;

typedef struct _ACE_HEADER
{
    BYTE AceType;
    BYTE AceFlags;
    WORD AceSize;
} ACE_HEADER, *PACE_HEADER;

#define ACCESS_ALLOWED_ACE_TYPE 0x00
#define ACCESS_DENIED_ACE_TYPE 0x01
#define SYSTEM_AUDIT_ACE_TYPE 0x02
#define SYSTEM_MANDATORY_LABEL_ACE_TYPE 0x11

#define OBJECT_INHERIT_ACE 0x01
#define CONTAINER_INHERIT_ACE 0x02
#define NO_PROPAGATE_INHERIT_ACE 0x04
#define INHERIT_ONLY_ACE 0x08
#define INHERITED_ACE 0x10
#define SUCCESSFUL_ACCESS_ACE_FLAG 0x40
#define FAILED_ACCESS_ACE_FLAG 0x80

// Every entry type used here has this layout: the header, the mask, then the SID in place.
typedef struct _ACCESS_ALLOWED_ACE
{
    ACE_HEADER Header;
    ACCESS_MASK Mask;
    DWORD SidStart;
} ACCESS_ALLOWED_ACE, *PACCESS_ALLOWED_ACE;
typedef ACCESS_ALLOWED_ACE ACCESS_DENIED_ACE;
typedef ACCESS_ALLOWED_ACE SYSTEM_AUDIT_ACE;
typedef ACCESS_ALLOWED_ACE SYSTEM_MANDATORY_LABEL_ACE, *PSYSTEM_MANDATORY_LABEL_ACE;

#define SYSTEM_MANDATORY_LABEL_NO_WRITE_UP 0x1
#define SYSTEM_MANDATORY_LABEL_NO_READ_UP 0x2
#define SYSTEM_MANDATORY_LABEL_NO_EXECUTE_UP 0x4

#define SECURITY_MANDATORY_UNTRUSTED_RID 0x0000
#define SECURITY_MANDATORY_LOW_RID 0x1000
#define SECURITY_MANDATORY_MEDIUM_RID 0x2000
#define SECURITY_MANDATORY_MEDIUM_PLUS_RID 0x2100
#define SECURITY_MANDATORY_HIGH_RID 0x3000
#define SECURITY_MANDATORY_SYSTEM_RID 0x4000


// An absolute descriptor as its owner builds it in place.
typedef struct _SECURITY_DESCRIPTOR
{
    BYTE Revision;
    BYTE Sbz1;
    SECURITY_DESCRIPTOR_CONTROL Control;
    PSID Owner;
    PSID Group;
    PACL Sacl;
    PACL Dacl;
} SECURITY_DESCRIPTOR, *PISECURITY_DESCRIPTOR;

// The self-relative form: offsets from the descriptor's start, 0 for none.
typedef struct _SECURITY_DESCRIPTOR_RELATIVE
{
    BYTE Revision;
    BYTE Sbz1;
    SECURITY_DESCRIPTOR_CONTROL Control;
    DWORD Owner;
    DWORD Group;
    DWORD Sacl;
    DWORD Dacl;
} SECURITY_DESCRIPTOR_RELATIVE, *PISECURITY_DESCRIPTOR_RELATIVE;

#define SECURITY_DESCRIPTOR_MIN_LENGTH (sizeof(SECURITY_DESCRIPTOR))

// An empty absolute descriptor: no owner, group, SACL or DACL, no control flags.
// ERROR_UNKNOWN_REVISION unless dwRevision is SECURITY_DESCRIPTOR_REVISION.
QMAPI BOOL WINAPI InitializeSecurityDescriptor(PSECURITY_DESCRIPTOR pSecurityDescriptor, DWORD dwRevision);
// Revision 1, and for a self-relative descriptor every part lying inside a plausible block.
QMAPI BOOL WINAPI IsValidSecurityDescriptor(PSECURITY_DESCRIPTOR pSecurityDescriptor);
QMAPI BOOL WINAPI GetSecurityDescriptorControl(PSECURITY_DESCRIPTOR pSecurityDescriptor,
                                               PSECURITY_DESCRIPTOR_CONTROL pControl, LPDWORD lpdwRevision);
// bDaclPresent FALSE clears SE_DACL_PRESENT (the other arguments are then ignored); TRUE sets
// it with pDacl, where NULL is the NULL DACL that grants everyone every access. Only absolute
// descriptors are changed: ERROR_INVALID_SECURITY_DESCR for a self-relative one,
// ERROR_UNKNOWN_REVISION for another revision.
QMAPI BOOL WINAPI SetSecurityDescriptorDacl(PSECURITY_DESCRIPTOR pSecurityDescriptor, BOOL bDaclPresent, PACL pDacl,
                                            BOOL bDaclDefaulted);
QMAPI BOOL WINAPI SetSecurityDescriptorSacl(PSECURITY_DESCRIPTOR pSecurityDescriptor, BOOL bSaclPresent, PACL pSacl,
                                            BOOL bSaclDefaulted);
// *present tells whether the list is there; only then are *pDacl (which may be NULL) and
// *defaulted written. Absolute or self-relative descriptors.
QMAPI BOOL WINAPI GetSecurityDescriptorDacl(PSECURITY_DESCRIPTOR pSecurityDescriptor, LPBOOL lpbDaclPresent,
                                            PACL* pDacl, LPBOOL lpbDaclDefaulted);
QMAPI BOOL WINAPI GetSecurityDescriptorSacl(PSECURITY_DESCRIPTOR pSecurityDescriptor, LPBOOL lpbSaclPresent,
                                            PACL* pSacl, LPBOOL lpbSaclDefaulted);
QMAPI BOOL WINAPI IsValidAcl(PACL pAcl);
// The entry at dwAceIndex (ERROR_INVALID_PARAMETER past the last one).
QMAPI BOOL WINAPI GetAce(PACL pAcl, DWORD dwAceIndex, LPVOID* pAce);
