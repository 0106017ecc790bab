#include "ModuleHandle.h"

// Set by DllMain at process attach; helpers outside the NPAPI binding read it too.
HINSTANCE g_hModuleInstance = nullptr;
