// The test program exports RecordDllMain; the test libraries call it from their DllMain.
#include "loader_test_support.h"

namespace loader_test
{
std::vector<DllMainCall>& DllMainCalls()
{
    static std::vector<DllMainCall> calls;
    return calls;
}
} // namespace loader_test

extern "C" __attribute__((visibility("default"))) void RecordDllMain(HINSTANCE module, DWORD reason, LPVOID reserved,
                                                                     const WCHAR* text)
{
    loader_test::DllMainCalls().push_back({module, reason, reserved, text ? std::u16string(text) : u""});
}
