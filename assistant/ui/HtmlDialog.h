// The HTML-UI host as the application and the job dispatcher use it.
//
//   CKivoImpIDispatch external;                       // lives for the whole run
//   CKivoDlg dlg(external, app.Log(), &checks, app.ActivationMessage());
//   dlg.DoModal();                                    // shows res://<program>/index.htm
//
// The dialog is the dispatcher's IKivoJobHost: BindDocument binds the current page for
// CJsCall, JobState holds the busy flag (navigation is refused while it is set), the job
// code, the callback name and the result pair that WM_KIVO_RESULT hands to the page.
// window.external.KivoSysCall (CmdId, Args) from the page reaches DispatchSysCall.
#pragma once

#include "JsCall.h"
#include "KivoDlg.h"
#include "KivoImpIDispatch.h"
#include "KivoMessageBox.h"
