// Test hook: a named moment inside a multi-step write. A process whose QM_KILL_AT names the
// moment kills itself there, so tests can stop a writer exactly between two of its steps.
#pragma once

#include "../windef.h"

namespace qm
{
QMEXPORT void KillPoint(const char* name);
} // namespace qm
