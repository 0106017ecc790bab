// Test and loop hooks of the WebBrowser control stand-in.
#pragma once

#include <filesystem>
#include <functional>

#include "../exdisp.h"

namespace qm::web
{
// Runs the page engine's pending events; waits up to waitMs for one when none is pending.
// A host's modal loop calls it between its own messages.
QMEXPORT void PumpEvents(int waitMs);
// Pumps until done() is true or timeoutMs passed; the result of done() at the end.
QMEXPORT bool PumpUntil(const std::function<bool()>& done, int timeoutMs);
// True while the control's page and all its frames have loaded.
QMEXPORT bool IsLoaded(IDispatch* control);
// Writes what the control shows as a PNG.
QMEXPORT bool RenderToPng(IDispatch* control, const std::filesystem::path& file);
} // namespace qm::web
