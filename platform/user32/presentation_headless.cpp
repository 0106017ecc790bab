// Presentation when no GTK window is shown: windows exist only as their surfaces.
#include "window_manager.h"

namespace qm::win
{
bool IsPresenting() { return false; }
bool PresentScreenSize(SIZE*) { return false; }
void PresentWindow(HWND) {}
void PresentHide(HWND) {}
void PresentPump(bool) {}
void PresentWake() {}
void PresentIcon(HWND) {}
void PresentRaise(HWND) {}
void PresentActivate(HWND) {}
void* PresentedWidget(HWND) { return nullptr; }
bool PresentChildWidget(HWND, void*) { return false; }
} // namespace qm::win
