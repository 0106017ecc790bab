// Folders the table-driven checks resolve their paths against. Each copies the folder into the
// caller's 260-byte buffer and leaves the buffer as it was when the source cannot be read.
#pragma once

// The 32-bit system folder: SysWOW64 under WOW64, else System32.
void GetSystemFolder32(char* buffer);
void GetSystemFolder(char* buffer);
// The middleware's install folder (its registry key, value "Path").
void ReadMiddlewarePath(char* buffer);
void ReadProgramFilesDir(char* buffer);
// "C:" of the program-files folder.
void GetProgramFilesDrive(char* buffer);
// The system folder followed by "\MicroDone\PassGuard".
void GetPassGuardFolder(char* buffer);
