// A library that offers NP_GetEntryPoints but none of the other NPAPI exports.
#include "npfunctions.h"

NP_EXPORT(NPError) NP_GetEntryPoints(NPPluginFuncs*) { return NPERR_NO_ERROR; }
