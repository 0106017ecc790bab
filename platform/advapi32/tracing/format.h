// The text form of one event: "TIME PROVIDER FLAGS SOURCE NUMBER ARG...".
#pragma once

#include <string>
#include <vector>

#include "evntrace.h"

namespace qm::etw
{
std::string FormatGuid(const GUID& guid);
// One argument: 4 bytes as 0x%08x, 8 bytes as 0x%016llx, an even run ending in a UTF-16
// terminator as quoted text (\\ \" \r \n \t \xHH escaped), anything else as hex:....
std::string FormatArg(const std::vector<BYTE>& arg);
std::string FormatLine(const GUID& provider, ULONG messageFlags, const GUID* source, USHORT number,
                       const std::vector<std::vector<BYTE>>& args);
} // namespace qm::etw
