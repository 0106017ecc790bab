// Security descriptors: building absolute ones in place and reading both forms.
#include "descriptor.h"

#include <cstring>

#include "winbase.h"

namespace qm::security
{
namespace
{
template <typename T>
T* AtOffset(void* sd, DWORD offset)
{
    return offset ? reinterpret_cast<T*>(static_cast<BYTE*>(sd) + offset) : nullptr;
}

const SECURITY_DESCRIPTOR_RELATIVE* Relative(const void* sd)
{
    return static_cast<const SECURITY_DESCRIPTOR_RELATIVE*>(sd);
}

SECURITY_DESCRIPTOR* Absolute(void* sd)
{
    return static_cast<SECURITY_DESCRIPTOR*>(sd);
}

// Both forms begin with revision, padding and control.
SECURITY_DESCRIPTOR_CONTROL ControlOf(const void* sd)
{
    return Relative(sd)->Control;
}

// The checks every setter makes: a descriptor of revision 1 in absolute form.
bool Settable(void* sd)
{
    if (!sd)
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    if (Relative(sd)->Revision != SECURITY_DESCRIPTOR_REVISION)
    {
        SetLastError(ERROR_UNKNOWN_REVISION);
        return false;
    }
    if (IsSelfRelative(sd))
    {
        SetLastError(ERROR_INVALID_SECURITY_DESCR);
        return false;
    }
    return true;
}

BOOL SetList(void* sd, BOOL present, PACL acl, BOOL defaulted, WORD presentBit, WORD defaultedBit, PACL SECURITY_DESCRIPTOR::*member)
{
    if (!Settable(sd))
        return FALSE;
    SECURITY_DESCRIPTOR* abs = Absolute(sd);
    if (!present)
    {
        abs->Control &= WORD(~presentBit);
        // Windows leaves the pointer as it was; a descriptor without the list never reads it.
        return TRUE;
    }
    abs->Control |= presentBit;
    abs->*member = acl;
    if (defaulted)
        abs->Control |= defaultedBit;
    else
        abs->Control &= WORD(~defaultedBit);
    return TRUE;
}

BOOL GetList(void* sd, LPBOOL present, PACL* acl, LPBOOL defaulted, WORD presentBit, WORD defaultedBit, PACL list)
{
    if (!sd || !present || !acl || !defaulted)
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (Relative(sd)->Revision != SECURITY_DESCRIPTOR_REVISION)
    {
        SetLastError(ERROR_UNKNOWN_REVISION);
        return FALSE;
    }
    WORD control = ControlOf(sd);
    *present = (control & presentBit) ? TRUE : FALSE;
    if (*present)
    {
        *acl = list;
        *defaulted = (control & defaultedBit) ? TRUE : FALSE;
    }
    return TRUE;
}
} // namespace

bool IsSelfRelative(const void* sd)
{
    return (ControlOf(sd) & SE_SELF_RELATIVE) != 0;
}

PACL SaclOf(void* sd)
{
    return IsSelfRelative(sd) ? AtOffset<ACL>(sd, Relative(sd)->Sacl) : Absolute(sd)->Sacl;
}

PACL DaclOf(void* sd)
{
    return IsSelfRelative(sd) ? AtOffset<ACL>(sd, Relative(sd)->Dacl) : Absolute(sd)->Dacl;
}

bool WellFormedAcl(const ACL* acl)
{
    if (!acl || (acl->AclRevision != ACL_REVISION && acl->AclRevision != ACL_REVISION_DS) ||
        acl->AclSize < sizeof(ACL))
        return false;
    size_t at = sizeof(ACL);
    const BYTE* base = reinterpret_cast<const BYTE*>(acl);
    for (WORD i = 0; i < acl->AceCount; ++i)
    {
        if (at + sizeof(ACE_HEADER) > acl->AclSize)
            return false;
        ACE_HEADER header;
        std::memcpy(&header, base + at, sizeof header);
        if (header.AceSize < sizeof(ACE_HEADER) || at + header.AceSize > acl->AclSize)
            return false;
        at += header.AceSize;
    }
    return true;
}
} // namespace qm::security

using namespace qm::security;

QMAPI BOOL WINAPI InitializeSecurityDescriptor(PSECURITY_DESCRIPTOR pSecurityDescriptor, DWORD dwRevision)
{
    if (!pSecurityDescriptor)
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (dwRevision != SECURITY_DESCRIPTOR_REVISION)
    {
        SetLastError(ERROR_UNKNOWN_REVISION);
        return FALSE;
    }
    SECURITY_DESCRIPTOR empty = {};
    empty.Revision = SECURITY_DESCRIPTOR_REVISION;
    std::memcpy(pSecurityDescriptor, &empty, sizeof empty);
    return TRUE;
}

QMAPI BOOL WINAPI IsValidSecurityDescriptor(PSECURITY_DESCRIPTOR pSecurityDescriptor)
{
    if (!pSecurityDescriptor || static_cast<SECURITY_DESCRIPTOR*>(pSecurityDescriptor)->Revision !=
                                    SECURITY_DESCRIPTOR_REVISION)
    {
        SetLastError(ERROR_INVALID_SECURITY_DESCR);
        return FALSE;
    }
    WORD control = static_cast<SECURITY_DESCRIPTOR*>(pSecurityDescriptor)->Control;
    PACL sacl = (control & SE_SACL_PRESENT) ? SaclOf(pSecurityDescriptor) : nullptr;
    PACL dacl = (control & SE_DACL_PRESENT) ? DaclOf(pSecurityDescriptor) : nullptr;
    if ((sacl && !WellFormedAcl(sacl)) || (dacl && !WellFormedAcl(dacl)))
    {
        SetLastError(ERROR_INVALID_SECURITY_DESCR);
        return FALSE;
    }
    return TRUE;
}

QMAPI BOOL WINAPI GetSecurityDescriptorControl(PSECURITY_DESCRIPTOR pSecurityDescriptor,
                                               PSECURITY_DESCRIPTOR_CONTROL pControl, LPDWORD lpdwRevision)
{
    if (!pSecurityDescriptor || !pControl || !lpdwRevision)
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    auto* sd = static_cast<SECURITY_DESCRIPTOR*>(pSecurityDescriptor);
    *lpdwRevision = sd->Revision;
    if (sd->Revision != SECURITY_DESCRIPTOR_REVISION)
    {
        SetLastError(ERROR_UNKNOWN_REVISION);
        return FALSE;
    }
    *pControl = sd->Control;
    return TRUE;
}

QMAPI BOOL WINAPI SetSecurityDescriptorDacl(PSECURITY_DESCRIPTOR pSecurityDescriptor, BOOL bDaclPresent, PACL pDacl,
                                            BOOL bDaclDefaulted)
{
    return SetList(pSecurityDescriptor, bDaclPresent, pDacl, bDaclDefaulted, SE_DACL_PRESENT, SE_DACL_DEFAULTED,
                   &SECURITY_DESCRIPTOR::Dacl);
}

QMAPI BOOL WINAPI SetSecurityDescriptorSacl(PSECURITY_DESCRIPTOR pSecurityDescriptor, BOOL bSaclPresent, PACL pSacl,
                                            BOOL bSaclDefaulted)
{
    return SetList(pSecurityDescriptor, bSaclPresent, pSacl, bSaclDefaulted, SE_SACL_PRESENT, SE_SACL_DEFAULTED,
                   &SECURITY_DESCRIPTOR::Sacl);
}

QMAPI BOOL WINAPI GetSecurityDescriptorDacl(PSECURITY_DESCRIPTOR pSecurityDescriptor, LPBOOL lpbDaclPresent,
                                            PACL* pDacl, LPBOOL lpbDaclDefaulted)
{
    return GetList(pSecurityDescriptor, lpbDaclPresent, pDacl, lpbDaclDefaulted, SE_DACL_PRESENT, SE_DACL_DEFAULTED,
                   pSecurityDescriptor ? DaclOf(pSecurityDescriptor) : nullptr);
}

QMAPI BOOL WINAPI GetSecurityDescriptorSacl(PSECURITY_DESCRIPTOR pSecurityDescriptor, LPBOOL lpbSaclPresent,
                                            PACL* pSacl, LPBOOL lpbSaclDefaulted)
{
    return GetList(pSecurityDescriptor, lpbSaclPresent, pSacl, lpbSaclDefaulted, SE_SACL_PRESENT, SE_SACL_DEFAULTED,
                   pSecurityDescriptor ? SaclOf(pSecurityDescriptor) : nullptr);
}

QMAPI BOOL WINAPI IsValidAcl(PACL pAcl)
{
    return WellFormedAcl(pAcl) ? TRUE : FALSE;
}

QMAPI BOOL WINAPI GetAce(PACL pAcl, DWORD dwAceIndex, LPVOID* pAce)
{
    if (!pAce || !WellFormedAcl(pAcl) || dwAceIndex >= pAcl->AceCount)
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    BYTE* at = reinterpret_cast<BYTE*>(pAcl) + sizeof(ACL);
    for (DWORD i = 0; i < dwAceIndex; ++i)
        at += reinterpret_cast<ACE_HEADER*>(at)->AceSize;
    *pAce = at;
    return TRUE;
}
