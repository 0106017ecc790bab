// user32.
#pragma once

#include "windef.h"

// ---- Resources ------------------------------------------------------------------------

// Predefined resource types.
#define RT_CURSOR MAKEINTRESOURCEW(1)
#define RT_BITMAP MAKEINTRESOURCEW(2)
#define RT_ICON MAKEINTRESOURCEW(3)
#define RT_MENU MAKEINTRESOURCEW(4)
#define RT_DIALOG MAKEINTRESOURCEW(5)
#define RT_STRING MAKEINTRESOURCEW(6)
#define RT_FONTDIR MAKEINTRESOURCEW(7)
#define RT_FONT MAKEINTRESOURCEW(8)
#define RT_ACCELERATOR MAKEINTRESOURCEW(9)
#define RT_RCDATA MAKEINTRESOURCEW(10)
#define RT_MESSAGETABLE MAKEINTRESOURCEW(11)
#define RT_GROUP_CURSOR MAKEINTRESOURCEW(12)
#define RT_GROUP_ICON MAKEINTRESOURCEW(14)
#define RT_VERSION MAKEINTRESOURCEW(16)
#define RT_DLGINCLUDE MAKEINTRESOURCEW(17)
#define RT_PLUGPLAY MAKEINTRESOURCEW(19)
#define RT_VXD MAKEINTRESOURCEW(20)
#define RT_ANICURSOR MAKEINTRESOURCEW(21)
#define RT_ANIICON MAKEINTRESOURCEW(22)
#define RT_HTML MAKEINTRESOURCEW(23)
#define RT_MANIFEST MAKEINTRESOURCEW(24)

// String-table lookup in the language FindResourceW chooses. Copies at most
// cchBufferMax-1 characters and a terminator and returns the number copied; 0 when the
// string does not exist (the buffer then holds an empty string). With cchBufferMax 0,
// lpBuffer receives a read-only pointer to the string in the resource (not terminated)
// and the result is its length.
QMAPI int WINAPI LoadStringW(HINSTANCE hInstance, UINT uID, LPWSTR lpBuffer, int cchBufferMax);
// The text converted to the ANSI code page. cchBufferMax 0 is refused (0).
QMAPI int WINAPI LoadStringA(HINSTANCE hInstance, UINT uID, LPSTR lpBuffer, int cchBufferMax);
#define LoadString LoadStringW

// ---- Windows and messages ---------------------------------------------------------------
// Windows live in the stand-in's window manager: per-thread message queues, window
// procedures, dialogs from RT_DIALOG templates and the system controls. Presentation is
// headless unless the machine asks for a real window (qm/windowing.h).
#include "wingdi.h"

QM_DECLARE_HANDLE(HMENU);
QM_DECLARE_HANDLE(HICON);
QM_DECLARE_HANDLE(HCURSOR);

typedef LRESULT(CALLBACK* WNDPROC)(HWND, UINT, WPARAM, LPARAM);
typedef INT_PTR(CALLBACK* DLGPROC)(HWND, UINT, WPARAM, LPARAM);

typedef struct tagMSG
{
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD time;
    POINT pt;
} MSG, *PMSG, *LPMSG;

#define MAKEWPARAM(l, h) ((WPARAM)(DWORD)MAKELONG(l, h))
#define MAKELPARAM(l, h) ((LPARAM)(DWORD)MAKELONG(l, h))
#define MAKELRESULT(l, h) ((LRESULT)(DWORD)MAKELONG(l, h))
#define GET_X_LPARAM(lp) ((int)(short)LOWORD(lp))
#define GET_Y_LPARAM(lp) ((int)(short)HIWORD(lp))

// Messages.
#define WM_NULL 0x0000
#define WM_CREATE 0x0001
#define WM_DESTROY 0x0002
#define WM_MOVE 0x0003
#define WM_SIZE 0x0005
#define WM_ACTIVATE 0x0006
#define WM_SETFOCUS 0x0007
#define WM_KILLFOCUS 0x0008
#define WM_ENABLE 0x000A
#define WM_SETTEXT 0x000C
#define WM_GETTEXT 0x000D
#define WM_GETTEXTLENGTH 0x000E
#define WM_PAINT 0x000F
#define WM_CLOSE 0x0010
#define WM_QUIT 0x0012
#define WM_ERASEBKGND 0x0014
#define WM_SHOWWINDOW 0x0018
#define WM_SETCURSOR 0x0020
#define WM_MOUSEACTIVATE 0x0021
#define WM_DRAWITEM 0x002B
#define WM_MEASUREITEM 0x002C
#define WM_DELETEITEM 0x002D
#define WM_SETFONT 0x0030
#define WM_GETFONT 0x0031
#define WM_WINDOWPOSCHANGING 0x0046
#define WM_WINDOWPOSCHANGED 0x0047
#define WM_NOTIFY 0x004E
#define WM_NCCREATE 0x0081
#define WM_NCDESTROY 0x0082
#define WM_NCHITTEST 0x0084
#define WM_NCPAINT 0x0085
#define WM_GETDLGCODE 0x0087
#define WM_NCMOUSEMOVE 0x00A0
#define WM_NCLBUTTONDOWN 0x00A1
#define WM_NCLBUTTONUP 0x00A2
#define WM_KEYDOWN 0x0100
#define WM_KEYUP 0x0101
#define WM_CHAR 0x0102
#define WM_SYSKEYDOWN 0x0104
#define WM_SYSKEYUP 0x0105
#define WM_INITDIALOG 0x0110
#define WM_COMMAND 0x0111
#define WM_SYSCOMMAND 0x0112
#define WM_TIMER 0x0113
#define WM_VSCROLL 0x0115
#define WM_CTLCOLORLISTBOX 0x0134
#define WM_CTLCOLORBTN 0x0135
#define WM_CTLCOLORDLG 0x0136
#define WM_CTLCOLORSTATIC 0x0138
#define WM_MOUSEFIRST 0x0200
#define WM_MOUSEMOVE 0x0200
#define WM_LBUTTONDOWN 0x0201
#define WM_LBUTTONUP 0x0202
#define WM_LBUTTONDBLCLK 0x0203
#define WM_RBUTTONDOWN 0x0204
#define WM_RBUTTONUP 0x0205
#define WM_RBUTTONDBLCLK 0x0206
#define WM_MOUSEWHEEL 0x020A
#define WM_MOUSELAST 0x020A
#define WM_CAPTURECHANGED 0x0215
#define WM_MOUSEHOVER 0x02A1
#define WM_MOUSELEAVE 0x02A3
#define WM_USER 0x0400
#define WM_APP 0x8000

// Reflected messages: a parent sends a child's notification back to the child as the
// message number plus OCM__BASE.
#define OCM__BASE (WM_USER + 0x1C00)
#define OCM_COMMAND (OCM__BASE + WM_COMMAND)
#define OCM_DRAWITEM (OCM__BASE + WM_DRAWITEM)
#define OCM_MEASUREITEM (OCM__BASE + WM_MEASUREITEM)
#define OCM_DELETEITEM (OCM__BASE + WM_DELETEITEM)
#define OCM_NOTIFY (OCM__BASE + WM_NOTIFY)
#define OCM_CTLCOLORLISTBOX (OCM__BASE + WM_CTLCOLORLISTBOX)
#define OCM_CTLCOLORBTN (OCM__BASE + WM_CTLCOLORBTN)
#define OCM_CTLCOLORSTATIC (OCM__BASE + WM_CTLCOLORSTATIC)
#define OCM_VSCROLL (OCM__BASE + WM_VSCROLL)

// WM_VSCROLL request codes.
#define SB_LINEUP 0
#define SB_LINEDOWN 1
#define SB_PAGEUP 2
#define SB_PAGEDOWN 3
#define SB_THUMBPOSITION 4
#define SB_THUMBTRACK 5
#define SB_TOP 6
#define SB_BOTTOM 7
#define SB_ENDSCROLL 8
#define WHEEL_DELTA 120
#define GET_WHEEL_DELTA_WPARAM(wParam) ((short)HIWORD(wParam))

// WM_SYSCOMMAND.
#define SC_CLOSE 0xF060
// WM_NCHITTEST.
#define HTNOWHERE 0
#define HTCLIENT 1
#define HTCAPTION 2
#define HTVSCROLL 7
#define HTBORDER 18
#define HTCLOSE 20
// WM_ACTIVATE.
#define WA_INACTIVE 0
#define WA_ACTIVE 1
// Mouse key state in wParam.
#define MK_LBUTTON 0x0001
#define MK_RBUTTON 0x0002

// Window styles.
#define WS_OVERLAPPED 0x00000000L
#define WS_POPUP 0x80000000L
#define WS_CHILD 0x40000000L
#define WS_MINIMIZE 0x20000000L
#define WS_VISIBLE 0x10000000L
#define WS_DISABLED 0x08000000L
#define WS_CLIPSIBLINGS 0x04000000L
#define WS_CLIPCHILDREN 0x02000000L
#define WS_MAXIMIZE 0x01000000L
#define WS_CAPTION 0x00C00000L
#define WS_BORDER 0x00800000L
#define WS_DLGFRAME 0x00400000L
#define WS_VSCROLL 0x00200000L
#define WS_HSCROLL 0x00100000L
#define WS_SYSMENU 0x00080000L
#define WS_THICKFRAME 0x00040000L
#define WS_GROUP 0x00020000L
#define WS_TABSTOP 0x00010000L
#define WS_MINIMIZEBOX 0x00020000L
#define WS_MAXIMIZEBOX 0x00010000L
#define WS_OVERLAPPEDWINDOW \
    (WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX)
#define WS_POPUPWINDOW (WS_POPUP | WS_BORDER | WS_SYSMENU)
#define WS_EX_DLGMODALFRAME 0x00000001L
#define WS_EX_NOPARENTNOTIFY 0x00000004L
#define WS_EX_TOPMOST 0x00000008L
#define WS_EX_TRANSPARENT 0x00000020L
#define WS_EX_TOOLWINDOW 0x00000080L
#define WS_EX_WINDOWEDGE 0x00000100L
#define WS_EX_CLIENTEDGE 0x00000200L
#define WS_EX_CONTROLPARENT 0x00010000L
#define WS_EX_STATICEDGE 0x00020000L

// Class styles.
#define CS_VREDRAW 0x0001
#define CS_HREDRAW 0x0002
#define CS_DBLCLKS 0x0008
#define CS_OWNDC 0x0020
#define CS_PARENTDC 0x0080
#define CS_SAVEBITS 0x0800
#define CS_GLOBALCLASS 0x4000

#define CW_USEDEFAULT ((int)0x80000000)

typedef struct tagWNDCLASSEXW
{
    UINT cbSize;
    UINT style;
    WNDPROC lpfnWndProc;
    int cbClsExtra;
    int cbWndExtra;
    HINSTANCE hInstance;
    HICON hIcon;
    HCURSOR hCursor;
    HBRUSH hbrBackground;
    LPCWSTR lpszMenuName;
    LPCWSTR lpszClassName;
    HICON hIconSm;
} WNDCLASSEXW, *PWNDCLASSEXW, *LPWNDCLASSEXW;

typedef struct tagCREATESTRUCTW
{
    LPVOID lpCreateParams;
    HINSTANCE hInstance;
    HMENU hMenu;
    HWND hwndParent;
    int cy;
    int cx;
    int y;
    int x;
    LONG style;
    LPCWSTR lpszName;
    LPCWSTR lpszClass;
    DWORD dwExStyle;
} CREATESTRUCTW, *LPCREATESTRUCTW;

// Classes are registered per module; the system classes ("Button", "Static", "ListBox",
// "#32770" and comctl32's) are global. Returns the class atom, 0 on failure
// (ERROR_CLASS_ALREADY_EXISTS).
QMAPI ATOM WINAPI RegisterClassExW(const WNDCLASSEXW* lpwcx);
QMAPI BOOL WINAPI UnregisterClassW(LPCWSTR lpClassName, HINSTANCE hInstance);
QMAPI BOOL WINAPI GetClassInfoExW(HINSTANCE hInstance, LPCWSTR lpszClass, LPWNDCLASSEXW lpwcx);
QMAPI int WINAPI GetClassNameW(HWND hWnd, LPWSTR lpClassName, int nMaxCount);

// Null with ERROR_CANNOT_FIND_WND_CLASS, ERROR_TLW_WITH_WSCHILD (WS_CHILD without a parent),
// ERROR_INVALID_WINDOW_HANDLE (bad parent), or whatever WM_NCCREATE/WM_CREATE refused.
QMAPI HWND WINAPI CreateWindowExW(DWORD dwExStyle, LPCWSTR lpClassName, LPCWSTR lpWindowName, DWORD dwStyle, int X,
                                  int Y, int nWidth, int nHeight, HWND hWndParent, HMENU hMenu, HINSTANCE hInstance,
                                  LPVOID lpParam);
QMAPI BOOL WINAPI DestroyWindow(HWND hWnd);
QMAPI BOOL WINAPI IsWindow(HWND hWnd);
QMAPI LRESULT WINAPI DefWindowProcW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam);
QMAPI LRESULT WINAPI CallWindowProcW(WNDPROC lpPrevWndFunc, HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam);

#define GWL_STYLE (-16)
#define GWL_EXSTYLE (-20)
#define GWLP_WNDPROC (-4)
#define GWLP_HINSTANCE (-6)
#define GWLP_HWNDPARENT (-8)
#define GWLP_ID (-12)
#define GWLP_USERDATA (-21)
#define DWLP_MSGRESULT 0
#define DWLP_DLGPROC (DWLP_MSGRESULT + sizeof(LRESULT))
#define DWLP_USER (DWLP_DLGPROC + sizeof(DLGPROC))
// GWLP_WNDPROC subclasses the window; the previous procedure is returned.
QMAPI LONG_PTR WINAPI GetWindowLongPtrW(HWND hWnd, int nIndex);
QMAPI LONG_PTR WINAPI SetWindowLongPtrW(HWND hWnd, int nIndex, LONG_PTR dwNewLong);
QMAPI LONG WINAPI GetWindowLongW(HWND hWnd, int nIndex);
QMAPI LONG WINAPI SetWindowLongW(HWND hWnd, int nIndex, LONG dwNewLong);

// Messages: sent ones run the window procedure at once (on the window's thread);
// posted ones wait in the queue of the window's thread.
QMAPI LRESULT WINAPI SendMessageW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam);
// HWND_BROADCAST posts to every top-level window of the machine's processes (only the
// values travel: no pointer may be passed that way).
QMAPI BOOL WINAPI PostMessageW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam);
QMAPI BOOL WINAPI PostMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam);
#define HWND_BROADCAST ((HWND)0xffff)
// A message id (0xC000 to 0xFFFF) for a name, the same for every call with that name
// (compared without case) in every process of the machine; 0 on failure.
QMAPI UINT WINAPI RegisterWindowMessageW(LPCWSTR lpString);
QMAPI UINT WINAPI RegisterWindowMessageA(LPCSTR lpString);
// The process's user-interface privilege filter: MSGFLT_ADD lets lower-integrity senders
// deliver the message, MSGFLT_REMOVE blocks them again. All processes of a machine run at one
// integrity level here, so the filter never stops a message; any other flag fails with
// ERROR_INVALID_PARAMETER.
#define MSGFLT_ADD 1
#define MSGFLT_REMOVE 2
QMAPI BOOL WINAPI ChangeWindowMessageFilter(UINT message, DWORD dwFlag);
QMAPI void WINAPI PostQuitMessage(int nExitCode);
// Posted messages first, then input, then WM_PAINT for windows that need it.
// FALSE on WM_QUIT; -1 for a bad window filter.
QMAPI BOOL WINAPI GetMessageW(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax);
#define PM_NOREMOVE 0x0000
#define PM_REMOVE 0x0001
QMAPI BOOL WINAPI PeekMessageW(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax, UINT wRemoveMsg);
QMAPI BOOL WINAPI TranslateMessage(const MSG* lpMsg);
QMAPI LRESULT WINAPI DispatchMessageW(const MSG* lpMsg);
QMAPI BOOL WINAPI WaitMessage(void);
QMAPI LONG WINAPI GetMessageTime(void);
QMAPI DWORD WINAPI GetMessagePos(void);

// ---- Geometry, visibility, focus -------------------------------------------------------
#define SW_HIDE 0
#define SW_SHOWNORMAL 1
#define SW_SHOWNOACTIVATE 4
#define SW_SHOW 5
#define SW_SHOWNA 8
QMAPI BOOL WINAPI ShowWindow(HWND hWnd, int nCmdShow);
QMAPI BOOL WINAPI IsWindowVisible(HWND hWnd);
QMAPI BOOL WINAPI EnableWindow(HWND hWnd, BOOL bEnable);
QMAPI BOOL WINAPI IsWindowEnabled(HWND hWnd);

#define HWND_TOP ((HWND)0)
#define HWND_BOTTOM ((HWND)1)
#define HWND_TOPMOST ((HWND)-1)
#define HWND_NOTOPMOST ((HWND)-2)
#define SWP_NOSIZE 0x0001
#define SWP_NOMOVE 0x0002
#define SWP_NOZORDER 0x0004
#define SWP_NOREDRAW 0x0008
#define SWP_NOACTIVATE 0x0010
#define SWP_FRAMECHANGED 0x0020
#define SWP_SHOWWINDOW 0x0040
#define SWP_HIDEWINDOW 0x0080
#define SWP_NOOWNERZORDER 0x0200
QMAPI BOOL WINAPI SetWindowPos(HWND hWnd, HWND hWndInsertAfter, int X, int Y, int cx, int cy, UINT uFlags);
QMAPI BOOL WINAPI MoveWindow(HWND hWnd, int X, int Y, int nWidth, int nHeight, BOOL bRepaint);
// Screen coordinates.
QMAPI BOOL WINAPI GetWindowRect(HWND hWnd, LPRECT lpRect);
QMAPI BOOL WINAPI GetClientRect(HWND hWnd, LPRECT lpRect);
QMAPI BOOL WINAPI ScreenToClient(HWND hWnd, LPPOINT lpPoint);
QMAPI BOOL WINAPI ClientToScreen(HWND hWnd, LPPOINT lpPoint);
// NULL stands for the screen. Returns the offset (x in the low word, y in the high word).
QMAPI int WINAPI MapWindowPoints(HWND hWndFrom, HWND hWndTo, LPPOINT lpPoints, UINT cPoints);
QMAPI HWND WINAPI WindowFromPoint(POINT Point);
QMAPI BOOL WINAPI AdjustWindowRectEx(LPRECT lpRect, DWORD dwStyle, BOOL bMenu, DWORD dwExStyle);

#define GW_HWNDFIRST 0
#define GW_HWNDLAST 1
#define GW_HWNDNEXT 2
#define GW_HWNDPREV 3
#define GW_OWNER 4
#define GW_CHILD 5
QMAPI HWND WINAPI GetParent(HWND hWnd);
QMAPI HWND WINAPI GetWindow(HWND hWnd, UINT uCmd);
#define GA_PARENT 1
#define GA_ROOT 2
#define GA_ROOTOWNER 3
QMAPI HWND WINAPI GetAncestor(HWND hwnd, UINT gaFlags);
QMAPI BOOL WINAPI IsChild(HWND hWndParent, HWND hWnd);
QMAPI HWND WINAPI GetDesktopWindow(void);

QMAPI HWND WINAPI SetFocus(HWND hWnd);
QMAPI HWND WINAPI GetFocus(void);
// The active window of the calling thread's queue; NULL when it has none.
QMAPI HWND WINAPI GetActiveWindow(void);
QMAPI HWND WINAPI SetActiveWindow(HWND hWnd);
// The active top-level window of the desktop, whichever thread made it; NULL when none.
QMAPI HWND WINAPI GetForegroundWindow(void);
QMAPI BOOL WINAPI SetForegroundWindow(HWND hWnd);
QMAPI HWND WINAPI SetCapture(HWND hWnd);
QMAPI BOOL WINAPI ReleaseCapture(void);
QMAPI HWND WINAPI GetCapture(void);

QMAPI BOOL WINAPI SetWindowTextW(HWND hWnd, LPCWSTR lpString);
QMAPI int WINAPI GetWindowTextW(HWND hWnd, LPWSTR lpString, int nMaxCount);
QMAPI int WINAPI GetWindowTextLengthW(HWND hWnd);

// ---- Painting --------------------------------------------------------------------------
typedef struct tagPAINTSTRUCT
{
    HDC hdc;
    BOOL fErase;
    RECT rcPaint;
    BOOL fRestore;
    BOOL fIncUpdate;
    BYTE rgbReserved[32];
} PAINTSTRUCT, *PPAINTSTRUCT, *LPPAINTSTRUCT;
QMAPI HDC WINAPI BeginPaint(HWND hWnd, LPPAINTSTRUCT lpPaint);
QMAPI BOOL WINAPI EndPaint(HWND hWnd, const PAINTSTRUCT* lpPaint);
QMAPI BOOL WINAPI InvalidateRect(HWND hWnd, const RECT* lpRect, BOOL bErase);
QMAPI BOOL WINAPI ValidateRect(HWND hWnd, const RECT* lpRect);
QMAPI BOOL WINAPI UpdateWindow(HWND hWnd);
QMAPI BOOL WINAPI GetUpdateRect(HWND hWnd, LPRECT lpRect, BOOL bErase);
// A DC on the window's client area (NULL: the screen); release it with ReleaseDC.
QMAPI HDC WINAPI GetDC(HWND hWnd);
QMAPI HDC WINAPI GetWindowDC(HWND hWnd);
QMAPI int WINAPI ReleaseDC(HWND hWnd, HDC hDC);
QMAPI HWND WINAPI WindowFromDC(HDC hDC);

QMAPI int WINAPI FillRect(HDC hDC, const RECT* lprc, HBRUSH hbr);
QMAPI int WINAPI FrameRect(HDC hDC, const RECT* lprc, HBRUSH hbr);
#define BDR_RAISEDOUTER 0x0001
#define BDR_SUNKENOUTER 0x0002
#define BDR_RAISEDINNER 0x0004
#define BDR_SUNKENINNER 0x0008
#define EDGE_RAISED (BDR_RAISEDOUTER | BDR_RAISEDINNER)
#define EDGE_SUNKEN (BDR_SUNKENOUTER | BDR_SUNKENINNER)
#define BF_LEFT 0x0001
#define BF_TOP 0x0002
#define BF_RIGHT 0x0004
#define BF_BOTTOM 0x0008
#define BF_RECT (BF_LEFT | BF_TOP | BF_RIGHT | BF_BOTTOM)
QMAPI BOOL WINAPI DrawEdge(HDC hdc, LPRECT qrc, UINT edge, UINT grfFlags);
QMAPI BOOL WINAPI DrawFocusRect(HDC hDC, const RECT* lprc);

#define DT_TOP 0x00000000
#define DT_LEFT 0x00000000
#define DT_CENTER 0x00000001
#define DT_RIGHT 0x00000002
#define DT_VCENTER 0x00000004
#define DT_BOTTOM 0x00000008
#define DT_WORDBREAK 0x00000010
#define DT_SINGLELINE 0x00000020
#define DT_EXPANDTABS 0x00000040
#define DT_NOCLIP 0x00000100
#define DT_CALCRECT 0x00000400
#define DT_NOPREFIX 0x00000800
#define DT_END_ELLIPSIS 0x00008000
// Returns the height of the text. DT_CALCRECT measures only: the rectangle's right and
// bottom are set to the text's extent. Without DT_NOCLIP the text is clipped to the
// rectangle; without DT_WORDBREAK lines break only at line feeds.
QMAPI int WINAPI DrawTextW(HDC hdc, LPCWSTR lpchText, int cchText, LPRECT lprc, UINT format);
#define DrawText DrawTextW

#define COLOR_WINDOW 5
#define COLOR_WINDOWTEXT 8
#define COLOR_HIGHLIGHT 13
#define COLOR_HIGHLIGHTTEXT 14
#define COLOR_BTNFACE 15
#define COLOR_BTNSHADOW 16
#define COLOR_GRAYTEXT 17
#define COLOR_BTNTEXT 18
#define COLOR_BTNHIGHLIGHT 20
#define COLOR_3DDKSHADOW 21
#define COLOR_INFOTEXT 23
#define COLOR_INFOBK 24
QMAPI DWORD WINAPI GetSysColor(int nIndex);
QMAPI HBRUSH WINAPI GetSysColorBrush(int nIndex);

// ---- Rectangles ------------------------------------------------------------------------
QMAPI BOOL WINAPI SetRect(LPRECT lprc, int xLeft, int yTop, int xRight, int yBottom);
QMAPI BOOL WINAPI SetRectEmpty(LPRECT lprc);
QMAPI BOOL WINAPI OffsetRect(LPRECT lprc, int dx, int dy);
QMAPI BOOL WINAPI InflateRect(LPRECT lprc, int dx, int dy);
QMAPI BOOL WINAPI IsRectEmpty(const RECT* lprc);
QMAPI BOOL WINAPI PtInRect(const RECT* lprc, POINT pt);
QMAPI BOOL WINAPI IntersectRect(LPRECT lprcDst, const RECT* lprcSrc1, const RECT* lprcSrc2);
QMAPI BOOL WINAPI UnionRect(LPRECT lprcDst, const RECT* lprcSrc1, const RECT* lprcSrc2);
QMAPI BOOL WINAPI EqualRect(const RECT* lprc1, const RECT* lprc2);
QMAPI BOOL WINAPI CopyRect(LPRECT lprcDst, const RECT* lprcSrc);

// ---- Mouse and system facts ------------------------------------------------------------
#define TME_HOVER 0x00000001
#define TME_LEAVE 0x00000002
#define TME_NONCLIENT 0x00000010
#define TME_QUERY 0x40000000
#define TME_CANCEL 0x80000000
#define HOVER_DEFAULT 0xFFFFFFFF
typedef struct tagTRACKMOUSEEVENT
{
    DWORD cbSize;
    DWORD dwFlags;
    HWND hwndTrack;
    DWORD dwHoverTime;
} TRACKMOUSEEVENT, *LPTRACKMOUSEEVENT;
// TME_LEAVE: WM_MOUSELEAVE is posted once the cursor leaves the window (at once when it is
// not over it). FALSE with ERROR_INVALID_PARAMETER for a bad cbSize, ERROR_INVALID_WINDOW_HANDLE.
QMAPI BOOL WINAPI TrackMouseEvent(LPTRACKMOUSEEVENT lpEventTrack);
QMAPI BOOL WINAPI GetCursorPos(LPPOINT lpPoint);
QMAPI BOOL WINAPI SetCursorPos(int X, int Y);
QMAPI UINT WINAPI GetDoubleClickTime(void);

#define SM_CXSCREEN 0
#define SM_CYSCREEN 1
#define SM_CXVSCROLL 2
#define SM_CYHSCROLL 3
#define SM_CYCAPTION 4
#define SM_CXBORDER 5
#define SM_CYBORDER 6
#define SM_CXDLGFRAME 7
#define SM_CYDLGFRAME 8
#define SM_CYVTHUMB 9
#define SM_CXICON 11
#define SM_CYICON 12
#define SM_CXCURSOR 13
#define SM_CYCURSOR 14
#define SM_CYVSCROLL 20
#define SM_CXFRAME 32
#define SM_CYFRAME 33
#define SM_CXDOUBLECLK 36
#define SM_CYDOUBLECLK 37
#define SM_CXFIXEDFRAME SM_CXDLGFRAME
#define SM_CYFIXEDFRAME SM_CYDLGFRAME
#define SM_CXEDGE 45
#define SM_CYEDGE 46
#define SM_CXSMICON 49
#define SM_CYSMICON 50
#define SM_CYSMCAPTION 51
#define SM_CMONITORS 80
// The screen is the machine's (the display's when one is shown; qm/windowing.h sets it).
QMAPI int WINAPI GetSystemMetrics(int nIndex);
QMAPI BOOL WINAPI MessageBeep(UINT uType);

// ---- Dialogs ---------------------------------------------------------------------------
#define IDOK 1
#define IDCANCEL 2
#define IDABORT 3
#define IDRETRY 4
#define IDIGNORE 5
#define IDYES 6
#define IDNO 7
#define IDCLOSE 8
#define IDHELP 9
#define IDC_STATIC (-1)

#define DS_ABSALIGN 0x01L
#define DS_SYSMODAL 0x02L
#define DS_LOCALEDIT 0x20L
#define DS_SETFONT 0x40L
#define DS_MODALFRAME 0x80L
#define DS_NOIDLEMSG 0x100L
#define DS_SETFOREGROUND 0x200L
#define DS_3DLOOK 0x0004L
#define DS_FIXEDSYS 0x0008L
#define DS_NOFAILCREATE 0x0010L
#define DS_CONTROL 0x0400L
#define DS_CENTER 0x0800L
#define DS_CENTERMOUSE 0x1000L
#define DS_CONTEXTHELP 0x2000L
#define DS_SHELLFONT (DS_SETFONT | DS_FIXEDSYS)

#define DM_GETDEFID (WM_USER + 0)
#define DM_SETDEFID (WM_USER + 1)
#define DC_HASDEFID 0x534B

#define DLGC_WANTARROWS 0x0001
#define DLGC_WANTTAB 0x0002
#define DLGC_WANTALLKEYS 0x0004
#define DLGC_WANTMESSAGE 0x0004
#define DLGC_HASSETSEL 0x0008
#define DLGC_DEFPUSHBUTTON 0x0010
#define DLGC_UNDEFPUSHBUTTON 0x0020
#define DLGC_RADIOBUTTON 0x0040
#define DLGC_WANTCHARS 0x0080
#define DLGC_STATIC 0x0100
#define DLGC_BUTTON 0x2000

// The in-memory layout of RT_DIALOG resources, packed to 16 bits as Windows keeps them.
#pragma pack(push, 2)
typedef struct
{
    DWORD style;
    DWORD dwExtendedStyle;
    WORD cdit;
    short x;
    short y;
    short cx;
    short cy;
} DLGTEMPLATE, *LPDLGTEMPLATEW;
typedef const DLGTEMPLATE* LPCDLGTEMPLATEW;
typedef struct
{
    DWORD style;
    DWORD dwExtendedStyle;
    short x;
    short y;
    short cx;
    short cy;
    WORD id;
} DLGITEMTEMPLATE;
#pragma pack(pop)
#define LPCDLGTEMPLATE LPCDLGTEMPLATEW

// Modal dialog from an RT_DIALOG template (DLGTEMPLATE or DLGTEMPLATEEX): the dialog and its
// controls are created, WM_INITDIALOG is sent with dwInitParam, and the thread's messages
// are dispatched until EndDialog. Returns the EndDialog result; -1 when the dialog cannot
// be created (bad template, bad owner, a control that cannot be created).
QMAPI INT_PTR WINAPI DialogBoxParamW(HINSTANCE hInstance, LPCWSTR lpTemplateName, HWND hWndParent,
                                     DLGPROC lpDialogFunc, LPARAM dwInitParam);
QMAPI INT_PTR WINAPI DialogBoxIndirectParamW(HINSTANCE hInstance, LPCDLGTEMPLATEW hDialogTemplate, HWND hWndParent,
                                             DLGPROC lpDialogFunc, LPARAM dwInitParam);
QMAPI HWND WINAPI CreateDialogParamW(HINSTANCE hInstance, LPCWSTR lpTemplateName, HWND hWndParent,
                                     DLGPROC lpDialogFunc, LPARAM dwInitParam);
QMAPI HWND WINAPI CreateDialogIndirectParamW(HINSTANCE hInstance, LPCDLGTEMPLATEW lpTemplate, HWND hWndParent,
                                             DLGPROC lpDialogFunc, LPARAM dwInitParam);
QMAPI BOOL WINAPI EndDialog(HWND hDlg, INT_PTR nResult);
QMAPI LRESULT WINAPI DefDlgProcW(HWND hDlg, UINT Msg, WPARAM wParam, LPARAM lParam);
// Enter presses the default push button (or the focused push button), Escape sends IDCANCEL,
// Tab and the arrows move the focus.
QMAPI BOOL WINAPI IsDialogMessageW(HWND hDlg, LPMSG lpMsg);
QMAPI HWND WINAPI GetDlgItem(HWND hDlg, int nIDDlgItem);
QMAPI int WINAPI GetDlgCtrlID(HWND hWnd);
QMAPI BOOL WINAPI SetDlgItemTextW(HWND hDlg, int nIDDlgItem, LPCWSTR lpString);
QMAPI UINT WINAPI GetDlgItemTextW(HWND hDlg, int nIDDlgItem, LPWSTR lpString, int cchMax);
QMAPI LRESULT WINAPI SendDlgItemMessageW(HWND hDlg, int nIDDlgItem, UINT Msg, WPARAM wParam, LPARAM lParam);
// Dialog units of this dialog's font to pixels.
QMAPI BOOL WINAPI MapDialogRect(HWND hDlg, LPRECT lpRect);
// Base units of the system font: (average width) | (height << 16).
QMAPI LONG WINAPI GetDialogBaseUnits(void);
QMAPI HWND WINAPI GetNextDlgTabItem(HWND hDlg, HWND hCtl, BOOL bPrevious);

// ---- Message boxes ---------------------------------------------------------------------
#define MB_OK 0x00000000L
#define MB_OKCANCEL 0x00000001L
#define MB_ABORTRETRYIGNORE 0x00000002L
#define MB_YESNOCANCEL 0x00000003L
#define MB_YESNO 0x00000004L
#define MB_RETRYCANCEL 0x00000005L
#define MB_ICONHAND 0x00000010L
#define MB_ICONERROR MB_ICONHAND
#define MB_ICONSTOP MB_ICONHAND
#define MB_ICONQUESTION 0x00000020L
#define MB_ICONEXCLAMATION 0x00000030L
#define MB_ICONWARNING MB_ICONEXCLAMATION
#define MB_ICONASTERISK 0x00000040L
#define MB_ICONINFORMATION MB_ICONASTERISK
#define MB_DEFBUTTON1 0x00000000L
#define MB_DEFBUTTON2 0x00000100L
#define MB_DEFBUTTON3 0x00000200L
#define MB_TYPEMASK 0x0000000FL
#define MB_ICONMASK 0x000000F0L
#define MB_DEFMASK 0x00000F00L
// A modal box owned by hWnd's top-level window; the id of the button chosen, 0 on failure.
QMAPI int WINAPI MessageBoxW(HWND hWnd, LPCWSTR lpText, LPCWSTR lpCaption, UINT uType);
QMAPI int WINAPI MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType);

// ---- Keys ------------------------------------------------------------------------------
#define VK_LBUTTON 0x01
#define VK_BACK 0x08
#define VK_TAB 0x09
#define VK_RETURN 0x0D
#define VK_SHIFT 0x10
#define VK_CONTROL 0x11
#define VK_MENU 0x12
#define VK_ESCAPE 0x1B
#define VK_SPACE 0x20
#define VK_PRIOR 0x21
#define VK_NEXT 0x22
#define VK_END 0x23
#define VK_HOME 0x24
#define VK_LEFT 0x25
#define VK_UP 0x26
#define VK_RIGHT 0x27
#define VK_DOWN 0x28
#define VK_F4 0x73
QMAPI SHORT WINAPI GetKeyState(int nVirtKey);
QMAPI SHORT WINAPI GetAsyncKeyState(int vKey);

// ---- Controls --------------------------------------------------------------------------
#define WC_BUTTONW u"Button"
#define WC_STATICW u"Static"
#define WC_LISTBOXW u"ListBox"
#define WC_DIALOG MAKEINTRESOURCEW(0x8002)

#define BS_PUSHBUTTON 0x00000000L
#define BS_DEFPUSHBUTTON 0x00000001L
#define BS_TYPEMASK 0x0000000FL
#define BS_OWNERDRAW 0x0000000BL
#define BN_CLICKED 0
#define BM_CLICK 0x00F5
#define BM_GETSTATE 0x00F2
#define BM_SETSTATE 0x00F3
#define BM_SETSTYLE 0x00F4
#define BST_PUSHED 0x0004
#define BST_FOCUS 0x0008

#define SS_LEFT 0x00000000L
#define SS_CENTER 0x00000001L
#define SS_RIGHT 0x00000002L
#define SS_BLACKRECT 0x00000004L
#define SS_GRAYRECT 0x00000005L
#define SS_WHITERECT 0x00000006L
#define SS_BLACKFRAME 0x00000007L
#define SS_GRAYFRAME 0x00000008L
#define SS_WHITEFRAME 0x00000009L
#define SS_LEFTNOWORDWRAP 0x0000000CL
#define SS_ETCHEDHORZ 0x00000010L
#define SS_TYPEMASK 0x0000001FL
#define SS_NOPREFIX 0x00000080L
#define SS_NOTIFY 0x00000100L

#define LBS_NOTIFY 0x0001L
#define LBS_SORT 0x0002L
#define LBS_NOREDRAW 0x0004L
#define LBS_MULTIPLESEL 0x0008L
#define LBS_OWNERDRAWFIXED 0x0010L
#define LBS_OWNERDRAWVARIABLE 0x0020L
#define LBS_HASSTRINGS 0x0040L
#define LBS_USETABSTOPS 0x0080L
#define LBS_NOINTEGRALHEIGHT 0x0100L
#define LBS_MULTICOLUMN 0x0200L
#define LBS_WANTKEYBOARDINPUT 0x0400L
#define LBS_EXTENDEDSEL 0x0800L
#define LBS_DISABLENOSCROLL 0x1000L
#define LBS_NODATA 0x2000L
#define LBS_NOSEL 0x4000L
#define LBS_STANDARD (LBS_NOTIFY | LBS_SORT | WS_VSCROLL | WS_BORDER)

#define LB_OKAY 0
#define LB_ERR (-1)
#define LB_ERRSPACE (-2)
#define LB_ADDSTRING 0x0180
#define LB_INSERTSTRING 0x0181
#define LB_DELETESTRING 0x0182
#define LB_RESETCONTENT 0x0184
#define LB_SETSEL 0x0185
#define LB_SETCURSEL 0x0186
#define LB_GETSEL 0x0187
#define LB_GETCURSEL 0x0188
#define LB_GETTEXT 0x0189
#define LB_GETTEXTLEN 0x018A
#define LB_GETCOUNT 0x018B
#define LB_GETTOPINDEX 0x018E
#define LB_SETTOPINDEX 0x0197
#define LB_GETITEMRECT 0x0198
#define LB_GETITEMDATA 0x0199
#define LB_SETITEMDATA 0x019A
#define LB_SETITEMHEIGHT 0x01A0
#define LB_GETITEMHEIGHT 0x01A1
#define LB_ITEMFROMPOINT 0x01A9
#define LBN_ERRSPACE (-2)
#define LBN_SELCHANGE 1
#define LBN_DBLCLK 2
#define LBN_SELCANCEL 3
#define LBN_SETFOCUS 4
#define LBN_KILLFOCUS 5

// Owner-drawn controls.
#define ODT_MENU 1
#define ODT_LISTBOX 2
#define ODT_COMBOBOX 3
#define ODT_BUTTON 4
#define ODT_STATIC 5
#define ODA_DRAWENTIRE 0x0001
#define ODA_SELECT 0x0002
#define ODA_FOCUS 0x0004
#define ODS_SELECTED 0x0001
#define ODS_GRAYED 0x0002
#define ODS_DISABLED 0x0004
#define ODS_CHECKED 0x0008
#define ODS_FOCUS 0x0010
typedef struct tagDRAWITEMSTRUCT
{
    UINT CtlType;
    UINT CtlID;
    UINT itemID;
    UINT itemAction;
    UINT itemState;
    HWND hwndItem;
    HDC hDC;
    RECT rcItem;
    ULONG_PTR itemData;
} DRAWITEMSTRUCT, *PDRAWITEMSTRUCT, *LPDRAWITEMSTRUCT;
typedef struct tagMEASUREITEMSTRUCT
{
    UINT CtlType;
    UINT CtlID;
    UINT itemID;
    UINT itemWidth;
    UINT itemHeight;
    ULONG_PTR itemData;
} MEASUREITEMSTRUCT, *PMEASUREITEMSTRUCT, *LPMEASUREITEMSTRUCT;
typedef struct tagDELETEITEMSTRUCT
{
    UINT CtlType;
    UINT CtlID;
    UINT itemID;
    HWND hwndItem;
    ULONG_PTR itemData;
} DELETEITEMSTRUCT, *PDELETEITEMSTRUCT, *LPDELETEITEMSTRUCT;

typedef struct tagNMHDR
{
    HWND hwndFrom;
    UINT_PTR idFrom;
    UINT code;
} NMHDR, *LPNMHDR;

// ---- Icons: RT_GROUP_ICON/RT_ICON resources (32-bit, 24-bit and palette bitmaps with
// their masks, or PNG images), drawn with their alpha.
#define WM_SETICON 0x0080
#define WM_GETICON 0x007F
#define WM_QUERYDRAGICON 0x0037
#define WM_ICONERASEBKGND 0x0027
#define ICON_SMALL 0
#define ICON_BIG 1
#define ICON_SMALL2 2
#define IMAGE_BITMAP 0
#define IMAGE_ICON 1
#define LR_DEFAULTCOLOR 0x00000000
#define LR_DEFAULTSIZE 0x00000040
#define LR_SHARED 0x00008000
#define DI_MASK 0x0001
#define DI_IMAGE 0x0002
#define DI_NORMAL 0x0003
// The group resource's image nearest SM_CXICON; shared: the same handle for the same
// module and name, never to be destroyed.
QMAPI HICON WINAPI LoadIconW(HINSTANCE hInstance, LPCWSTR lpIconName);
QMAPI HICON WINAPI LoadIconA(HINSTANCE hInstance, LPCSTR lpIconName);
// IMAGE_ICON only; cx/cy 0 with LR_DEFAULTSIZE: SM_CXICON/SM_CYICON, 0 without it: the
// image's own size. The image is scaled when the group holds no image of that size.
QMAPI HANDLE WINAPI LoadImageW(HINSTANCE hInst, LPCWSTR name, UINT type, int cx, int cy, UINT fuLoad);
QMAPI BOOL WINAPI DestroyIcon(HICON hIcon);
QMAPI BOOL WINAPI DrawIcon(HDC hDC, int X, int Y, HICON hIcon);
QMAPI BOOL WINAPI DrawIconEx(HDC hdc, int xLeft, int yTop, HICON hIcon, int cxWidth, int cyWidth, UINT istepIfAniCur,
                             HBRUSH hbrFlickerFreeDraw, UINT diFlags);
// The stand-in never minimises a window: FALSE.
QMAPI BOOL WINAPI IsIconic(HWND hWnd);

// ---- Menus: popup menus of strings and separators, the window's system menu (Alt+Space,
// a click on the caption's icon, a right click on the caption), TrackPopupMenu's modal loop.
#define WM_CONTEXTMENU 0x007B
#define WM_INITMENU 0x0116
#define WM_INITMENUPOPUP 0x0117
#define WM_NCRBUTTONDOWN 0x00A4
#define WM_NCRBUTTONUP 0x00A5
#define WM_SYSCHAR 0x0106
#define SC_MOUSEMENU 0xF090
#define SC_KEYMENU 0xF100
#define HTSYSMENU 3
#define MF_STRING 0x00000000L
#define MF_ENABLED 0x00000000L
#define MF_GRAYED 0x00000001L
#define MF_DISABLED 0x00000002L
#define MF_BYCOMMAND 0x00000000L
#define MF_BYPOSITION 0x00000400L
#define MF_SEPARATOR 0x00000800L
#define MF_CHECKED 0x00000008L
#define MF_POPUP 0x00000010L
#define TPM_LEFTBUTTON 0x0000L
#define TPM_RIGHTBUTTON 0x0002L
#define TPM_LEFTALIGN 0x0000L
#define TPM_TOPALIGN 0x0000L
#define TPM_NONOTIFY 0x0080L
#define TPM_RETURNCMD 0x0100L
QMAPI HMENU WINAPI CreatePopupMenu(void);
QMAPI BOOL WINAPI DestroyMenu(HMENU hMenu);
QMAPI BOOL WINAPI IsMenu(HMENU hMenu);
// MF_STRING (lpNewItem the text, "&" marks the mnemonic, "\t" starts the shortcut column),
// MF_SEPARATOR, with MF_GRAYED/MF_DISABLED/MF_CHECKED.
QMAPI BOOL WINAPI AppendMenuW(HMENU hMenu, UINT uFlags, UINT_PTR uIDNewItem, LPCWSTR lpNewItem);
QMAPI BOOL WINAPI AppendMenuA(HMENU hMenu, UINT uFlags, UINT_PTR uIDNewItem, LPCSTR lpNewItem);
QMAPI int WINAPI GetMenuItemCount(HMENU hMenu);
// -1 for a separator or a position past the end.
QMAPI UINT WINAPI GetMenuItemID(HMENU hMenu, int nPos);
QMAPI int WINAPI GetMenuStringW(HMENU hMenu, UINT uIDItem, LPWSTR lpString, int cchMax, UINT flags);
QMAPI UINT WINAPI GetMenuState(HMENU hMenu, UINT uId, UINT uFlags);
QMAPI BOOL WINAPI EnableMenuItem(HMENU hMenu, UINT uIDEnableItem, UINT uEnable);
// The window's own copy of the system menu (its close item), made on first use; bRevert
// TRUE drops the copy and returns NULL.
QMAPI HMENU WINAPI GetSystemMenu(HWND hWnd, BOOL bRevert);
// Runs until an item is chosen or the menu is dismissed (Escape, Alt, a click outside). The
// choice is posted to hWnd as WM_COMMAND (WM_SYSCOMMAND for its system menu), or returned
// with TPM_RETURNCMD (0: none).
QMAPI BOOL WINAPI TrackPopupMenu(HMENU hMenu, UINT uFlags, int x, int y, int nReserved, HWND hWnd,
                                 const RECT* prcRect);
QMAPI BOOL WINAPI EndMenu(void);

#define RegisterClassEx RegisterClassExW
#define CreateWindowEx CreateWindowExW
#define DefWindowProc DefWindowProcW
#define CallWindowProc CallWindowProcW
#define GetWindowLongPtr GetWindowLongPtrW
#define SetWindowLongPtr SetWindowLongPtrW
#define SendMessage SendMessageW
#define PostMessage PostMessageW
#define GetMessage GetMessageW
#define PeekMessage PeekMessageW
#define DispatchMessage DispatchMessageW
#define SetWindowText SetWindowTextW
#define GetWindowText GetWindowTextW
#define DialogBoxParam DialogBoxParamW
#define DialogBoxIndirectParam DialogBoxIndirectParamW
#define CreateDialogParam CreateDialogParamW
#define DefDlgProc DefDlgProcW
#define IsDialogMessage IsDialogMessageW
#define SetDlgItemText SetDlgItemTextW
#define GetDlgItemText GetDlgItemTextW
#define SendDlgItemMessage SendDlgItemMessageW
#define GetClassName GetClassNameW
#define WNDCLASSEX WNDCLASSEXW
#define CREATESTRUCT CREATESTRUCTW
