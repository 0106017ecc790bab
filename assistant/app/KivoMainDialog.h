// The main dialog as the application object sees it. The HTML-UI host provides
// CreateKivoMainDialog; the program's own stand-in is used while it does not.
#pragma once

#include <memory>
#include <string>

#include "windows.h"

class CKivoApp;

class IKivoMainDialog
{
public:
    virtual ~IKivoMainDialog() = default;
    // Runs the dialog modally; returns when it closes.
    virtual INT_PTR DoModal() = 0;
};

// The application's dialog, built when the program starts normally.
std::unique_ptr<IKivoMainDialog> CreateKivoMainDialog(CKivoApp& app);

// The error box shown before any window exists (MB_ICONERROR).
void ShowKivoStartupError(const std::u16string& strText);
