// Script requests (KivoSysCall) to jobs on worker threads, and their results to the page.
#pragma once

#include <string>

#include "KivoJobHost.h"

// Binds the page, chooses the receiving frame, marks the dialog busy and starts one worker.
// False (and nothing started) when the document cannot be bound. strOut becomes "PARM ERR"
// for an unknown CmdId.
bool DispatchSysCall(int nCmdId, const std::u16string& strArgs, IKivoJobHost* pDlg, std::u16string& strOut);

// The worker: runs the job of the dialog's job code, then clears the busy flag.
DWORD WINAPI DetectThreadProc(LPVOID lpParameter);

// One result pair to the page; returns when the page function has run.
void SendJobResult(IKivoJobHost* pDlg, const std::u16string& strCode, const std::u16string& strStatus);

// The jobs (USB key 1, controls 2, system and browser 3, full check 4).
void RunUsbKeyJob(IKivoJobHost* pDlg);
void RunControlJob(IKivoJobHost* pDlg);
void RunSystemJob(IKivoJobHost* pDlg);
void RunFullCheckJob(IKivoJobHost* pDlg);
