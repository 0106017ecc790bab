// Security descriptors from their string form (Security Descriptor Definition Language).
#pragma once

#include "securitybaseapi.h"

#define SDDL_REVISION_1 1
#define SDDL_REVISION SDDL_REVISION_1

// "O:owner G:group D:flags(ace)... S:flags(ace)..." into a self-relative descriptor that the
// caller frees with LocalFree; *SecurityDescriptorSize (may be NULL) receives its size.
// Entries: A, D, AU and ML types; flags OI CI NP IO ID SA FA; rights as a number or as
// GA GR GW GX RC SD WD WO NR NW NX; object GUIDs must be empty; SIDs "S-1-..." or the
// two-letter aliases of well-known accounts and integrity levels.
// ERROR_UNKNOWN_REVISION unless StringSDRevision is SDDL_REVISION_1, ERROR_NONE_MAPPED for
// an alias no account has, ERROR_INVALID_PARAMETER for anything else malformed or missing.
QMAPI BOOL WINAPI ConvertStringSecurityDescriptorToSecurityDescriptorA(LPCSTR StringSecurityDescriptor,
                                                                       DWORD StringSDRevision,
                                                                       PSECURITY_DESCRIPTOR* SecurityDescriptor,
                                                                       PULONG SecurityDescriptorSize);
QMAPI BOOL WINAPI ConvertStringSecurityDescriptorToSecurityDescriptorW(LPCWSTR StringSecurityDescriptor,
                                                                       DWORD StringSDRevision,
                                                                       PSECURITY_DESCRIPTOR* SecurityDescriptor,
                                                                       PULONG SecurityDescriptorSize);
#define ConvertStringSecurityDescriptorToSecurityDescriptor ConvertStringSecurityDescriptorToSecurityDescriptorW
