// The local group of the user logged on at the desktop.
#pragma once

#include "ComonCheck.h"

// 1 with the lower-case group name in the caller's 260-byte buffer (the first group containing
// "administrators", else the last group, else empty); -1 when the platform is not NT; 0 on
// failure.
int GetUserGroupName(char* buffer, CComonCheck* pCheck);
// The account type the pages show: 1 administrator, 2 user, 3 guest; 0 outside the NT family.
// A failed lookup counts as the group "Guest".
int GetUserType(CComonCheck* pCheck);
