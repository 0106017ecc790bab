// Checks over runs of the file table: presence and MD5 digests.
#pragma once

#include <string>

#include "CheckTables.h"

// 0 when every selected row passes (or the first row's path is empty); 2 (group flag 1) or 1
// when a selected row failed. Rows are selected by group: group 1 with groupFlag 1, any other
// group otherwise. wow64Flag switches file-system redirection off for the check.
int CheckFileRows(FileCheckRow* first, int count, int groupFlag, int wow64Flag);
// MD5 of the open file's whole content; 0, or 2 when a read failed. Closes the file.
int MD5File(HANDLE file, BYTE digest[16]);
// 32 upper-case hexadecimal digits.
std::string BytesToHex(const BYTE digest[16]);
