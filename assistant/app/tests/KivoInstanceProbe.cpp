// The assistant's start-up with a dialog that reports it was shown (<marker>.shown, with a
// log line) and stays open until <marker>.stop appears.
#include <filesystem>
#include <fstream>
#include <thread>

#include "KivoApp.h"

namespace
{
std::string g_marker;

class CProbeDialog : public IKivoMainDialog
{
public:
    explicit CProbeDialog(CKivoApp& app) : m_app(app) {}
    INT_PTR DoModal() override
    {
        m_app.WriteLogText(u"dialog of " + std::u16string(g_marker.begin(), g_marker.end()));
        std::ofstream(g_marker + ".shown") << "shown";
        for (int i = 0; i < 120000 && !std::filesystem::exists(g_marker + ".stop"); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return IDOK;
    }

private:
    CKivoApp& m_app;
};
} // namespace

std::unique_ptr<IKivoMainDialog> CreateKivoMainDialog(CKivoApp& app) { return std::make_unique<CProbeDialog>(app); }

void ShowKivoStartupError(const std::u16string&) {}

int main(int argc, char** argv)
{
    if (argc < 2)
        return 2;
    g_marker = argv[1];
    CKivoApp& app = KivoApp();
    app.InitInstance(u"");
    return app.ExitInstance();
}
