// The program's main dialog: the HTML-UI host over the program's checks and log.
#include "KivoApp.h"
#include "KivoCheckSuite.h"
#include "KivoDlg.h"
#include "KivoMessageBox.h"

std::unique_ptr<IKivoMainDialog> CreateKivoMainDialog(CKivoApp& app)
{
    // window.external lives for the whole run.
    static CKivoImpIDispatch s_external;
    return std::make_unique<CKivoDlg>(s_external, app.Log(), &KivoChecks(), app.ActivationMessage());
}

void ShowKivoStartupError(const std::u16string& strText)
{
    KivoMessageBox(nullptr, strText, u"QV_Assistant", KIVO_MB_ICONERROR);
}

void ShowKivoProtocolMessage(const std::u16string& strText)
{
    KivoMessageBox(nullptr, strText, u"QV_Assistant", KIVO_MB_OK);
}
