#include "dialog_player.h"

#include <chrono>
#include <thread>

#include "diagnostics.h"
#include "qm/windowing.h"
#include "utf8.h"
#include "winbase.h"
#include "winuser.h"

namespace nphost
{
namespace
{
std::string WindowText(HWND hwnd)
{
    const int length = GetWindowTextLengthW(hwnd);
    std::u16string text(size_t(length > 0 ? length : 0) + 1, u'\0');
    text.resize(size_t(GetWindowTextW(hwnd, text.data(), int(text.size()))));
    return Utf16ToUtf8(text);
}

// A control's text as the user reads it: "&OK" shows "OK", "&&" one '&'.
std::string ShownText(HWND hwnd)
{
    const std::string text = WindowText(hwnd);
    std::string shown;
    for (size_t i = 0; i < text.size(); ++i)
        if (text[i] != '&' || (i + 1 < text.size() && text[i + 1] == '&' && ++i))
            shown += text[i];
    return shown;
}

HWND FindControl(HWND dialog, const std::string& name)
{
    if (name[0] == '#')
        return GetDlgItem(dialog, std::stoi(name.substr(1)));
    for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT))
        if (ShownText(child) == name)
            return child;
    return nullptr;
}

std::string Caption(HWND dialog) { return "\"" + WindowText(dialog) + "\""; }
} // namespace

void DialogPlayer::Install()
{
    if (m_scripts.empty() && m_pictures.empty() && qm::win::IsPresenting())
        return;
    qm::win::SetIdleHook([this](HWND dialog) {
        // The plug-in may read the thread's last error after its dialog: leave it as it was.
        const DWORD lastError = GetLastError();
        OnIdle(dialog);
        SetLastError(lastError);
        return true;
    });
    m_installed = true;
}

void DialogPlayer::Uninstall()
{
    if (m_installed)
        qm::win::SetIdleHook(nullptr);
    m_installed = false;
}

void DialogPlayer::OnIdle(HWND dialog)
{
    std::erase_if(m_dialogs, [](const auto& entry) { return !IsWindow(entry.first); });
    if (dialog == nullptr || !IsWindow(dialog))
    {
        // A message loop that waits without a dialog: nothing to play into.
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return;
    }
    auto [it, opened] = m_dialogs.try_emplace(dialog);
    Dialog& state = it->second;
    if (opened)
        state.number = m_opened++;

    if (!state.pictured && state.number < m_pictures.size())
    {
        state.pictured = true;
        if (!qm::win::RenderWindowToPng(dialog, m_pictures[state.number]))
            Fault("cannot render the dialog " + Caption(dialog) + " into " + m_pictures[state.number]);
    }
    if (state.number >= m_scripts.size())
    {
        if (qm::win::IsPresenting())
        {
            std::this_thread::sleep_for(std::chrono::milliseconds(10)); // the user answers it
            return;
        }
        Abandon(dialog, "dialog " + std::to_string(state.number + 1) + " " + Caption(dialog) +
                            " opened, but no --dialog-input was given for it");
        return;
    }
    const DialogScript& script = m_scripts[state.number];
    if (state.next == script.size())
    {
        Abandon(dialog, "the dialog " + Caption(dialog) + " is still open after its input");
        return;
    }
    const DialogStep& step = script[state.next++];
    if (std::string error; !Play(dialog, step, error))
        Abandon(dialog, "dialog input \"" + step.text + "\": " + error);
}

bool DialogPlayer::Play(HWND dialog, const DialogStep& step, std::string& error)
{
    using Kind = DialogStep::Kind;
    switch (step.kind)
    {
    case Kind::Key:
        qm::win::InjectKey(step.vk);
        return true;
    case Kind::Close:
        qm::win::InjectCloseBox(dialog);
        return true;
    case Kind::Png:
        if (qm::win::RenderWindowToPng(dialog, step.file))
            return true;
        error = "cannot render the dialog into " + step.file;
        return false;
    case Kind::Click:
    case Kind::DoubleClick:
    case Kind::Move:
        break;
    }
    HWND control = FindControl(dialog, step.control);
    if (control == nullptr)
    {
        error = "the dialog " + Caption(dialog) + " has no control " + step.control;
        return false;
    }
    POINT pt;
    if (step.point)
        pt = qm::win::ClientPointToScreen(control, step.point->first, step.point->second);
    else
    {
        RECT client{};
        GetClientRect(control, &client);
        pt = qm::win::ClientPointToScreen(control, client.right / 2, client.bottom / 2);
    }
    if (step.kind == Kind::Click)
        qm::win::InjectClick(pt.x, pt.y);
    else if (step.kind == Kind::DoubleClick)
        qm::win::InjectDoubleClick(pt.x, pt.y);
    else
        qm::win::InjectMouseMove(pt.x, pt.y);
    return true;
}

void DialogPlayer::Abandon(HWND dialog, const std::string& why)
{
    Fault(why + "; ended with IDCANCEL");
    EndDialog(dialog, IDCANCEL);
}
} // namespace nphost
