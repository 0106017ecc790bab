// Reading a security descriptor in either form, and checking access control lists.
#pragma once

#include "securitybaseapi.h"

namespace qm::security
{
bool IsSelfRelative(const void* sd);
// The list a descriptor points to (absolute) or holds at an offset (self-relative).
PACL SaclOf(void* sd);
PACL DaclOf(void* sd);
// A list whose entries all lie within its AclSize.
bool WellFormedAcl(const ACL* acl);
} // namespace qm::security
