// Linked into every library built with qm_windows_dll(): calls the library's own DllMain
// with its module handle when the library is loaded and unloaded, as the Windows loader does.
// It sits in an archive linked after the library's objects, so that the library's own
// globals are constructed before DllMain runs and destroyed after it returns.
#include "libloaderapi.h"
#include "qm/module.h"

namespace
{
struct DllEntry
{
    DllEntry() { qm::RunDllEntry(this, &DllMain, DLL_PROCESS_ATTACH); }
    ~DllEntry() { qm::RunDllEntry(this, &DllMain, DLL_PROCESS_DETACH); }
};

DllEntry g_dllEntry;
} // namespace
