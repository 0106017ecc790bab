// Sending, posting and retrieving messages. A thread's messages come in Windows' order:
// posted messages, then input (turned into mouse and key messages when taken), then
// WM_PAINT for windows that need painting, then WM_QUIT.
#include <algorithm>
#include <chrono>
#include <vector>

#include "qm/windowing.h"
#include "thread_state.h"
#include "window_manager.h"
#include "winbase.h"

namespace qm::win
{
// A message sent from another thread: the sender waits until the window's thread ran it.
struct SentMessage
{
    HWND hwnd;
    UINT msg;
    WPARAM wParam;
    LPARAM lParam;
    LRESULT result = 0;
    bool done = false;
    std::mutex lock;
    std::condition_variable finished;
};

POINT& Cursor();
bool TakeInputMessage(ThreadQueue& q);

void Wake(ThreadQueue& q)
{
    q.wake.notify_all();
    PresentWake();
}

void PostTo(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    Window* w = Find(hwnd);
    auto q = w ? QueueOf(w->thread) : QueueOf(std::this_thread::get_id());
    MSG m{hwnd, msg, wParam, lParam, GetTickCount(), Cursor()};
    {
        std::lock_guard lock(q->lock);
        q->posted.push_back(m);
    }
    Wake(*q);
}

namespace
{
bool Matches(const MSG& m, HWND filter, UINT min, UINT max)
{
    if (filter == reinterpret_cast<HWND>(-1))
    {
        if (m.hwnd)
            return false;
    }
    else if (filter && m.hwnd != filter && !IsChild(filter, m.hwnd))
        return false;
    if (min == 0 && max == 0)
        return true;
    return m.message >= min && m.message <= max;
}

// Runs what other threads sent to this thread's windows, as Windows does inside GetMessage
// and PeekMessage, before anything posted.
void RunSentMessages(ThreadQueue& q)
{
    for (;;)
    {
        std::shared_ptr<SentMessage> sent;
        {
            std::lock_guard lock(q.lock);
            if (q.sent.empty())
                return;
            sent = q.sent.front();
            q.sent.pop_front();
        }
        Window* w = Get(sent->hwnd);
        LRESULT result = w && w->proc ? w->proc(sent->hwnd, sent->msg, sent->wParam, sent->lParam) : 0;
        {
            std::lock_guard lock(sent->lock);
            sent->result = result;
            sent->done = true;
        }
        sent->finished.notify_all();
    }
}

// One message for the thread if there is one; false when the queue is empty.
bool Take(MSG* out, HWND filter, UINT min, UINT max, bool remove)
{
    ThreadQueue& q = CurrentQueue();
    RunSentMessages(q);
    for (;;)
    {
        {
            std::lock_guard lock(q.lock);
            auto it = std::find_if(q.posted.begin(), q.posted.end(),
                                   [&](const MSG& m) { return Matches(m, filter, min, max); });
            if (it != q.posted.end())
            {
                *out = *it;
                if (remove)
                    q.posted.erase(it);
                return true;
            }
        }
        if (!TakeInputMessage(q))
            break;
    }
    if (HWND paint = FindWindowToPaint(std::this_thread::get_id()))
    {
        MSG m{paint, WM_PAINT, 0, 0, GetTickCount(), Cursor()};
        if (Matches(m, filter, min, max))
        {
            *out = m;
            return true;
        }
    }
    std::lock_guard lock(q.lock);
    if (q.quit && ((min == 0 && max == 0) || (WM_QUIT >= min && WM_QUIT <= max)))
    {
        *out = MSG{nullptr, WM_QUIT, static_cast<WPARAM>(q.quitCode), 0, GetTickCount(), Cursor()};
        if (remove)
            q.quit = false;
        return true;
    }
    return false;
}

std::vector<HWND>& ModalStack()
{
    thread_local std::vector<HWND> stack;
    return stack;
}
} // namespace

void PushModal(HWND dialog) { ModalStack().push_back(dialog); }
void PopModal() { ModalStack().pop_back(); }

// Waits for something to arrive: the idle hook, the presented windows' events, or another
// thread's post.
static void Idle()
{
    ThreadQueue& q = CurrentQueue();
    if (HasIdleHook())
    {
        HWND dialog = ModalStack().empty() ? GetActiveWindow() : ModalStack().back();
        RunIdleHook(dialog);
        return;
    }
    if (IsPresenting())
    {
        PresentPump(true);
        return;
    }
    std::unique_lock lock(q.lock);
    q.wake.wait_for(lock, std::chrono::milliseconds(100),
                    [&] { return !q.posted.empty() || !q.input.empty() || !q.sent.empty() || q.quit; });
}
} // namespace qm::win

using namespace qm::win;

QMAPI LRESULT WINAPI SendMessageW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam)
{
    Window* w = Get(hWnd);
    if (!w || !w->proc)
        return 0;
    if (w->thread == std::this_thread::get_id())
        return w->proc(hWnd, Msg, wParam, lParam);
    // Another thread's window: its thread runs the message; this one waits for the result.
    auto sent = std::make_shared<SentMessage>();
    sent->hwnd = hWnd;
    sent->msg = Msg;
    sent->wParam = wParam;
    sent->lParam = lParam;
    auto q = QueueOf(w->thread);
    {
        std::lock_guard lock(q->lock);
        q->sent.push_back(sent);
    }
    Wake(*q);
    std::unique_lock lock(sent->lock);
    sent->finished.wait(lock, [&] { return sent->done; });
    return sent->result;
}

QMAPI BOOL WINAPI PostMessageW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam)
{
    if (hWnd == HWND_BROADCAST)
    {
        Broadcast(Msg, wParam, lParam);
        return TRUE;
    }
    if (hWnd && !Get(hWnd))
        return FALSE;
    PostTo(hWnd, Msg, wParam, lParam);
    return TRUE;
}

QMAPI BOOL WINAPI PostMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam)
{
    return PostMessageW(hWnd, Msg, wParam, lParam);
}

QMAPI void WINAPI PostQuitMessage(int nExitCode)
{
    ThreadQueue& q = CurrentQueue();
    std::lock_guard lock(q.lock);
    q.quit = true;
    q.quitCode = nExitCode;
}

QMAPI BOOL WINAPI PeekMessageW(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax, UINT wRemoveMsg)
{
    if (!lpMsg)
        return FALSE;
    if (hWnd && hWnd != reinterpret_cast<HWND>(-1) && !Get(hWnd))
        return FALSE;
    PresentPump(false);
    if (!Take(lpMsg, hWnd, wMsgFilterMin, wMsgFilterMax, wRemoveMsg & PM_REMOVE))
        return FALSE;
    if (wRemoveMsg & PM_REMOVE)
        CurrentQueue().last = *lpMsg;
    return TRUE;
}

QMAPI BOOL WINAPI GetMessageW(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax)
{
    if (!lpMsg)
        return -1;
    if (hWnd && hWnd != reinterpret_cast<HWND>(-1) && !Get(hWnd))
        return -1;
    for (;;)
    {
        PresentPump(false);
        if (Take(lpMsg, hWnd, wMsgFilterMin, wMsgFilterMax, true))
        {
            CurrentQueue().last = *lpMsg;
            return lpMsg->message != WM_QUIT;
        }
        Idle();
    }
}

QMAPI BOOL WINAPI WaitMessage(void)
{
    MSG m;
    while (!Take(&m, nullptr, 0, 0, false))
        Idle();
    return TRUE;
}

QMAPI LONG WINAPI GetMessageTime(void) { return static_cast<LONG>(CurrentQueue().last.time); }

QMAPI DWORD WINAPI GetMessagePos(void)
{
    const POINT& p = CurrentQueue().last.pt;
    return MAKELONG(static_cast<WORD>(p.x), static_cast<WORD>(p.y));
}

QMAPI BOOL WINAPI TranslateMessage(const MSG* lpMsg)
{
    if (!lpMsg || lpMsg->message != WM_KEYDOWN)
        return FALSE;
    UINT vk = static_cast<UINT>(lpMsg->wParam);
    WPARAM ch = 0;
    if (vk == VK_RETURN)
        ch = u'\r';
    else if (vk == VK_ESCAPE)
        ch = 0x1B;
    else if (vk == VK_TAB)
        ch = u'\t';
    else if (vk == VK_BACK)
        ch = 8;
    else if (vk == VK_SPACE || (vk >= '0' && vk <= '9'))
        ch = vk;
    else if (vk >= 'A' && vk <= 'Z')
        ch = vk - 'A' + 'a';
    if (!ch)
        return FALSE;
    PostTo(lpMsg->hwnd, WM_CHAR, ch, lpMsg->lParam);
    return TRUE;
}

QMAPI LRESULT WINAPI DispatchMessageW(const MSG* lpMsg)
{
    if (!lpMsg || !lpMsg->hwnd)
        return 0;
    Window* w = Get(lpMsg->hwnd);
    if (!w)
        return 0;
    LRESULT r = CallWindowProcW(w->proc, lpMsg->hwnd, lpMsg->message, lpMsg->wParam, lpMsg->lParam);
    if (lpMsg->message == WM_PAINT)
        if (Window* still = Find(lpMsg->hwnd); still && still->needsPaint)
            ValidateRect(lpMsg->hwnd, nullptr); // a window procedure that did not paint
    return r;
}

QMAPI LRESULT WINAPI CallWindowProcW(WNDPROC lpPrevWndFunc, HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam)
{
    if (!lpPrevWndFunc)
        return 0;
    return lpPrevWndFunc(hWnd, Msg, wParam, lParam);
}
