// Starting a program as a process of the machine (CreateProcessW, ShellExecuteExW).
#pragma once

#include <string>
#include <vector>

#include "windef.h"

namespace qm::kernel32
{
// Starts `program` (a machine path) with the arguments; the child is elevated when
// `elevated` is. On success returns the process handle (and its id), else null with the
// last error set.
HANDLE StartProcess(const std::u16string& program, const std::vector<std::string>& arguments, bool elevated,
                    LPCWSTR currentDirectory, DWORD* processId);
// The arguments of a command-line tail, split as the C runtime splits them.
std::vector<std::string> SplitCommandLine(const std::u16string& tail);
} // namespace qm::kernel32
