// assistant_fullcheck_shot PNG: the assistant's main dialog on the current machine without
// showing it: the page's full check runs as at start-up; when its summary is shown the page
// is written to PNG and the result pairs the page received are printed, one a line.
#include <cstdio>
#include <string>

#include "KivoCheckSuite.h"
#include "RecordingDialog.h"
#include "qm/machine.h"
#include "qm/utf.h"

int main(int argc, char** argv)
{
    if (argc != 2)
    {
        std::fprintf(stderr, "usage: assistant_fullcheck_shot PNG\n");
        return 2;
    }
    // As the program: its manifest asks for administrator rights.
    qm::SetProcessElevated(true);
    CKivoLog log;
    log.Open(u"");
    RouteCheckLogTo(&log);
    CKivoImpIDispatch external;
    int rc = 0;
    {
        CRecordingDlg dlg(external, log, &KivoChecks(), 0);
        if (!dlg.Create() || !dlg.Browser().GetControl())
        {
            std::fprintf(stderr, "assistant_fullcheck_shot: no display for the page engine\n");
            return 1;
        }
        bool done = CRecordingDlg::Pump(
            [&] { return dlg.Tip().find(u"检测时间(") != std::u16string::npos && dlg.JobState().m_nBusy == 0; },
            180000);
        for (const auto& [code, status] : dlg.Pairs())
            std::printf("%s\t%s\n", qm::utf::Utf16ToUtf8(code).c_str(),
                        qm::utf::Utf16ToUtf8(status).c_str());
        std::u16string tip = dlg.Tip();
        for (char16_t& c : tip)
            if (c == u'\n')
                c = u' ';
        std::printf("tip\t%s\n", qm::utf::Utf16ToUtf8(tip).c_str());
        if (!done)
        {
            std::fprintf(stderr, "assistant_fullcheck_shot: the full check did not end\n");
            rc = 1;
        }
        else if (!qm::web::RenderToPng(dlg.Browser().GetControl(), argv[1]))
        {
            std::fprintf(stderr, "assistant_fullcheck_shot: %s cannot be written\n", argv[1]);
            rc = 1;
        }
        CRecordingDlg::Pump([] { return false; }, 200);
    }
    return rc;
}
