// Inner halves of the NPAPI exports.
#pragma once

#include <npfunctions.h>

NPError GetEntryPoints(NPPluginFuncs* pFuncs);
NPError Initialize(NPNetscapeFuncs* pFuncs);
NPError Shutdown();
const char* GetMIMEDescription();
