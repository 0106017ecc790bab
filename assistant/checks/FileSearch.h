// The file search of the address-book repair.
#pragma once

#include <string>
#include <vector>

// Appends the full path of every entry below strFolder whose path ends with strName (a plain,
// case-sensitive comparison of the tail); subfolders are searched before their own entry is
// listed. A folder that cannot be enumerated adds nothing. Returns true.
bool FindFilesRecursive(std::vector<std::u16string>& files, const std::u16string& strFolder,
                        const std::u16string& strName);
