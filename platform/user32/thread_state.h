// Per-thread window state: the message queue, focus, active window and mouse capture.
#pragma once

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

#include "winuser.h"

namespace qm::win
{
enum class InputKind
{
    Move,
    Down,
    Up,
    SecondDown, // the second press of a double-click
    KeyDown,
    KeyUp,
    CloseBox,
    RightDown,
    RightUp,
};

struct InputEvent
{
    InputKind kind;
    POINT pt{};
    UINT vk = 0;
    HWND window = nullptr; // CloseBox
    bool alt = false;      // keys pressed with Alt held
};

struct ThreadQueue
{
    std::mutex lock;
    std::condition_variable wake;
    std::deque<MSG> posted;
    // Messages other threads sent to this thread's windows, run when it next looks at its queue.
    std::deque<std::shared_ptr<struct SentMessage>> sent;
    std::deque<InputEvent> input;
    bool quit = false;
    int quitCode = 0;
    HWND focus = nullptr;
    HWND active = nullptr;
    HWND capture = nullptr;
    HWND mouseTracked = nullptr; // TrackMouseEvent(TME_LEAVE)
    MSG last{};
};

// The queue of a thread (created on first use).
std::shared_ptr<ThreadQueue> QueueOf(std::thread::id thread);
ThreadQueue& CurrentQueue();
// Drops every reference the thread states hold to a window that goes away.
void ForgetWindow(HWND hwnd);
void SetForeground(HWND hwnd);
HWND Foreground();
// Input for the thread of `target` (the current thread when it is null).
void QueueInput(const InputEvent& e, HWND target);
// After something was queued: the queue's thread looks again, whether it waits on the queue
// or in the presented windows' main loop.
void Wake(ThreadQueue& q);
// Posting without the window check (input generated for a window).
void PostTo(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
} // namespace qm::win
