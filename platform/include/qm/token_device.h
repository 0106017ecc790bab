// The USB token as a device: which tokens are out of their reader. qmctl token pull/insert
// write the list; the vendor library's stand-in reads it on every slot query.
#pragma once

#include <filesystem>

#include "machine.h"

namespace qm
{
// One token label a line.
inline std::filesystem::path RemovedTokensFile()
{
    return MachineDirectory() / "usb" / "removed-tokens";
}
} // namespace qm
