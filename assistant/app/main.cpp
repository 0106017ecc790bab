// QV_Assistant: one instance, its dialog, then the end.
#include <string>

#include "KivoApp.h"
#include "KivoCheckSuite.h"
#include "KivoModule.h"
#include "KivoSecurityAttributes.h"
#include "qm/machine.h"

int main(int argc, char** argv)
{
    // The program's manifest asks for administrator rights: it always runs elevated.
    qm::SetProcessElevated(true);
    std::u16string strCommandLine;
    for (int i = 1; i < argc; ++i)
    {
        std::string arg(argv[i]);
        int n = MultiByteToWideChar(CP_UTF8, 0, arg.c_str(), int(arg.size()), nullptr, 0);
        std::u16string wide(size_t(n > 0 ? n : 0), u'\0');
        if (n > 0)
            MultiByteToWideChar(CP_UTF8, 0, arg.c_str(), int(arg.size()), wide.data(), n);
        if (!strCommandLine.empty())
            strCommandLine += u' ';
        strCommandLine += wide;
    }
    // Built in the order their globals would be: the mutex's security, the COM module, the
    // application (the check globals and the OSVersion object come before main).
    KivoSecurityAttributes();
    KivoModule();
    CKivoApp& app = KivoApp();
    RouteCheckLogTo(&app.Log());
    if (app.InitInstance(strCommandLine))
        app.Run();
    return app.ExitInstance();
}
