// The machine: the directory that holds everything Windows would persist
// (registry hives, key containers, drive C:), and process-wide facts about it.
#pragma once

#include <filesystem>
#include <string>

#include "../windef.h"

namespace qm
{
// $QM_MACHINE, else $XDG_DATA_HOME/quillmark/machine, else ~/.local/share/quillmark/machine.
// Created on first use.
QMEXPORT std::filesystem::path MachineDirectory();

// Points this process at another machine (tools' --machine option, tests).
// Sets QM_MACHINE so that child processes see the same machine.
QMEXPORT void SetMachineDirectory(const std::filesystem::path& dir);

// A process is elevated when it was started elevated or runs with QM_ELEVATED=1.
QMEXPORT bool IsProcessElevated();

// Marks this process elevated, as an installer started with "runas" is.
QMEXPORT void SetProcessElevated(bool elevated);
} // namespace qm
