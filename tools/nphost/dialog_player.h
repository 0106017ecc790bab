// Plays input scripts into the modal dialogs a plug-in opens, through the windowing
// stand-in's idle hook: one step each time the dialog's queue runs empty, so every step
// is handled before the next. The n-th dialog that opens gets the n-th script and the n-th
// picture. A dialog left without input would wait for ever headless: it is reported as a
// fault and ended with IDCANCEL.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "dialog_script.h"
#include "windef.h"

namespace nphost
{
class DialogPlayer
{
public:
    DialogPlayer() = default;
    ~DialogPlayer() { Uninstall(); }
    DialogPlayer(const DialogPlayer&) = delete;
    DialogPlayer& operator=(const DialogPlayer&) = delete;

    void AddScript(DialogScript script) { m_scripts.push_back(std::move(script)); }
    void AddPicture(std::string file) { m_pictures.push_back(std::move(file)); }

    // Takes the idle hook of this thread when there is input to play or nobody could
    // answer a dialog (headless); a presented dialog without a script is left to the user.
    void Install();
    void Uninstall();

private:
    struct Dialog
    {
        size_t number = 0; // order of opening
        size_t next = 0;   // next step of its script
        bool pictured = false;
    };

    void OnIdle(HWND dialog);
    bool Play(HWND dialog, const DialogStep& step, std::string& error);
    void Abandon(HWND dialog, const std::string& why);

    std::vector<DialogScript> m_scripts;
    std::vector<std::string> m_pictures;
    std::map<HWND, Dialog> m_dialogs;
    size_t m_opened = 0;
    bool m_installed = false;
};
} // namespace nphost
