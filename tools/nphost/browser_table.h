// The browser side of NPAPI: the complete NPNetscapeFuncs the host hands to a plug-in.
// Scripting, memory and identifier entries are implemented and checked; the rest
// (streams, URLs, windows, timers ...) answer with an error and are logged.
#pragma once

#include <optional>
#include <string>

#include "npfunctions.h"

namespace nphost
{
// The table lives for the whole process (a plug-in may keep the pointer).
NPNetscapeFuncs& BrowserFuncs();

// The message of NPN_SetException since the last call, taken once.
std::optional<std::string> TakePendingException();
} // namespace nphost
