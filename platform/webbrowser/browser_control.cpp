// The control object: a WebKit view, a stand-in child window for the container, and the
// wiring from the view's signals to the host's site and sink. While windows are presented
// the view is shown live at the child window's place; otherwise it lives in an off-screen
// GTK window.
#include <cairo.h>

#include <cstdlib>

#include "browser.h"
#include "oleauto.h"
#include "winbase.h"
#include "qm/webbrowser.h"
#include "qm/windowing.h"

namespace qm::web
{
namespace
{
// Message-box types the control asks the host for.
constexpr DWORD kBoxAlert = 0x00000030;   // OK with the exclamation icon
constexpr DWORD kBoxConfirm = 0x00000021; // OK and Cancel with the question icon
constexpr LRESULT kIdOk = 1;

BrowserControl* ControlOf(WebKitWebView* view)
{
    return view ? static_cast<BrowserControl*>(g_object_get_data(G_OBJECT(view), "qm-control")) : nullptr;
}

void OnResScheme(WebKitURISchemeRequest* request, gpointer)
{
    if (IsExternalRequest(request))
        ServeExternal(ControlOf(webkit_uri_scheme_request_get_web_view(request)), request);
    else
        ServeResource(request);
}

WebKitWebContext* Context()
{
    static WebKitWebContext* context = [] {
        WebKitWebContext* c = webkit_web_context_get_default();
        webkit_web_context_register_uri_scheme(c, "res", OnResScheme, nullptr, nullptr);
        return c;
    }();
    return context;
}

UINT VirtualKey(guint keyval)
{
    guint32 c = gdk_keyval_to_unicode(keyval);
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 'A';
    if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))
        return c;
    return 0;
}

std::u16string VariantText(const VARIANT* v)
{
    if (v && v->vt == (VT_BYREF | VT_VARIANT))
        v = v->pvarVal;
    if (v && v->vt == VT_BSTR && v->bstrVal)
        return std::u16string(v->bstrVal, SysStringLen(v->bstrVal));
    if (v && v->vt == (VT_BYREF | VT_BSTR) && v->pbstrVal && *v->pbstrVal)
        return std::u16string(*v->pbstrVal, SysStringLen(*v->pbstrVal));
    return {};
}
} // namespace

BrowserControl::BrowserControl(HWND hwnd, IUnknown* site, IDispatch* sink) : m_hwnd(hwnd), m_sink(sink)
{
    if (site)
    {
        site->QueryInterface(IID_IDocHostUIHandler, reinterpret_cast<void**>(&m_uiHandler));
        site->QueryInterface(IID_IDocHostShowUI, reinterpret_cast<void**>(&m_showUI));
    }
    if (m_sink)
        m_sink->AddRef();
}

BrowserControl::~BrowserControl()
{
    if (m_view)
        g_object_set_data(G_OBJECT(m_view), "qm-control", nullptr);
    if (m_window)
        gtk_widget_destroy(m_window);
    else if (m_view)
        gtk_widget_destroy(GTK_WIDGET(m_view)); // shown in the presented window
    if (m_uiHandler)
        m_uiHandler->Release();
    if (m_showUI)
        m_showUI->Release();
    if (m_sink)
        m_sink->Release();
    if (IsWindow(m_hwnd))
        DestroyWindow(m_hwnd);
}

bool BrowserControl::Start(int width, int height)
{
    if (!gtk_init_check(nullptr, nullptr))
        return false;
    WebKitUserContentManager* content = webkit_user_content_manager_new();
    // Only the program's own pages get window.external.
    static const gchar* const kOwnPages[] = {"res://*/*", nullptr};
    WebKitUserScript* external =
        webkit_user_script_new(ExternalScript().c_str(), WEBKIT_USER_CONTENT_INJECT_ALL_FRAMES,
                               WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START, kOwnPages, nullptr);
    webkit_user_content_manager_add_script(content, external);
    webkit_user_script_unref(external);
    m_view = WEBKIT_WEB_VIEW(
        g_object_new(WEBKIT_TYPE_WEB_VIEW, "web-context", Context(), "user-content-manager", content, nullptr));
    g_object_unref(content);
    if (const char* console = std::getenv("QM_WEB_CONSOLE"); console && *console == '1')
        g_object_set(webkit_web_view_get_settings(m_view), "enable-write-console-messages-to-stdout", TRUE, nullptr);
    g_object_set_data(G_OBJECT(m_view), "qm-control", this);
    if (qm::win::PresentChildWidget(m_hwnd, m_view))
        gtk_widget_show(GTK_WIDGET(m_view));
    else
    {
        m_window = gtk_offscreen_window_new();
        gtk_window_set_default_size(GTK_WINDOW(m_window), width, height);
        gtk_container_add(GTK_CONTAINER(m_window), GTK_WIDGET(m_view));
        gtk_widget_show_all(m_window);
    }
    g_signal_connect(m_view, "decide-policy", G_CALLBACK(OnDecidePolicy), this);
    g_signal_connect(m_view, "script-dialog", G_CALLBACK(OnScriptDialog), this);
    g_signal_connect(m_view, "context-menu", G_CALLBACK(OnContextMenu), this);
    g_signal_connect(m_view, "key-press-event", G_CALLBACK(OnKeyPress), this);
    g_signal_connect(m_view, "load-changed", G_CALLBACK(OnLoadChanged), this);
    return true;
}

STDMETHODIMP BrowserControl::QueryInterface(REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    if (riid != IID_IUnknown && riid != IID_IDispatch)
        return E_NOINTERFACE;
    *ppv = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) BrowserControl::AddRef() { return ++m_refs; }

STDMETHODIMP_(ULONG) BrowserControl::Release()
{
    ULONG n = --m_refs;
    if (n == 0)
        delete this;
    return n;
}

STDMETHODIMP BrowserControl::GetTypeInfoCount(UINT* pctinfo)
{
    if (pctinfo)
        *pctinfo = 0;
    return S_OK;
}

STDMETHODIMP BrowserControl::GetTypeInfo(UINT, LCID, ITypeInfo**) { return E_NOTIMPL; }

STDMETHODIMP BrowserControl::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids)
{
    if (!names || !ids)
        return E_POINTER;
    HRESULT hr = S_OK;
    for (UINT i = 0; i < count; ++i)
    {
        std::u16string n = names[i] ? names[i] : u"";
        ids[i] = n == u"Navigate2"  ? DISPID_WEBBROWSER_NAVIGATE2
                 : n == u"Document" ? DISPID_WEBBROWSER_DOCUMENT
                                    : DISPID_UNKNOWN;
        if (ids[i] == DISPID_UNKNOWN)
            hr = DISP_E_UNKNOWNNAME;
    }
    return hr;
}

STDMETHODIMP BrowserControl::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                    EXCEPINFO*, UINT*)
{
    if (id == DISPID_WEBBROWSER_NAVIGATE2 && (flags & DISPATCH_METHOD))
    {
        if (!params || params->cArgs < 1)
            return DISP_E_BADPARAMCOUNT;
        return Navigate(VariantText(&params->rgvarg[params->cArgs - 1]));
    }
    if (id == DISPID_WEBBROWSER_DOCUMENT && (flags & DISPATCH_PROPERTYGET))
    {
        if (!result)
            return E_POINTER;
        VariantInit(result);
        if (m_view && webkit_web_view_get_uri(m_view))
        {
            result->vt = VT_DISPATCH;
            result->pdispVal = NewDocument(this, {});
        }
        return S_OK;
    }
    return DISP_E_MEMBERNOTFOUND;
}

HRESULT BrowserControl::Navigate(const std::u16string& url)
{
    if (!m_view || url.empty())
        return E_INVALIDARG;
    webkit_web_view_load_uri(m_view, ToUtf8(url).c_str());
    return S_OK;
}

gboolean BrowserControl::OnDecidePolicy(WebKitWebView*, WebKitPolicyDecision* decision,
                                        WebKitPolicyDecisionType type, gpointer data)
{
    auto* self = static_cast<BrowserControl*>(data);
    if (type == WEBKIT_POLICY_DECISION_TYPE_RESPONSE || !self->m_sink)
        return FALSE;
    WebKitNavigationAction* action =
        webkit_navigation_policy_decision_get_navigation_action(WEBKIT_NAVIGATION_POLICY_DECISION(decision));
    std::u16string url = ToUtf16(webkit_uri_request_get_uri(webkit_navigation_action_get_request(action)));
    const gchar* frame = webkit_navigation_action_get_frame_name(action);
    std::u16string target = frame ? ToUtf16(frame) : u"";

    BSTR bUrl = SysAllocStringLen(url.data(), static_cast<UINT>(url.size()));
    BSTR bTarget = SysAllocStringLen(target.data(), static_cast<UINT>(target.size()));
    VARIANT vUrl, vFlags, vTarget, vPost, vHeaders;
    VariantInit(&vUrl);
    vUrl.vt = VT_BSTR;
    vUrl.bstrVal = bUrl;
    VariantInit(&vFlags);
    vFlags.vt = VT_I4;
    vFlags.lVal = 0;
    VariantInit(&vTarget);
    vTarget.vt = VT_BSTR;
    vTarget.bstrVal = bTarget;
    VariantInit(&vPost);
    VariantInit(&vHeaders);
    VARIANT_BOOL cancel = VARIANT_FALSE;
    VARIANT args[7];
    for (auto& a : args)
        VariantInit(&a);
    // Last argument first: Cancel, Headers, PostData, TargetFrameName, Flags, URL, pDisp.
    args[0].vt = VT_BYREF | VT_BOOL;
    args[0].pboolVal = &cancel;
    args[1].vt = VT_BYREF | VT_VARIANT;
    args[1].pvarVal = &vHeaders;
    args[2].vt = VT_BYREF | VT_VARIANT;
    args[2].pvarVal = &vPost;
    args[3].vt = VT_BYREF | VT_VARIANT;
    args[3].pvarVal = &vTarget;
    args[4].vt = VT_BYREF | VT_VARIANT;
    args[4].pvarVal = &vFlags;
    args[5].vt = VT_BYREF | VT_VARIANT;
    args[5].pvarVal = &vUrl;
    args[6].vt = VT_DISPATCH;
    args[6].pdispVal = self;
    DISPPARAMS params{args, nullptr, 7, 0};
    self->AddRef();
    self->m_sink->Invoke(DISPID_BEFORENAVIGATE2, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr);
    VariantClear(&vUrl);
    VariantClear(&vTarget);
    bool stop = cancel != VARIANT_FALSE;
    self->Release();
    if (!stop)
        return FALSE;
    webkit_policy_decision_ignore(decision);
    return TRUE;
}

gboolean BrowserControl::OnScriptDialog(WebKitWebView*, WebKitScriptDialog* dialog, gpointer data)
{
    auto* self = static_cast<BrowserControl*>(data);
    WebKitScriptDialogType type = webkit_script_dialog_get_dialog_type(dialog);
    if (!self->m_showUI || (type != WEBKIT_SCRIPT_DIALOG_ALERT && type != WEBKIT_SCRIPT_DIALOG_CONFIRM))
        return TRUE; // no box of the engine's own
    std::u16string text = ToUtf16(webkit_script_dialog_get_message(dialog));
    std::u16string caption;
    LRESULT answer = 0;
    g_object_set_data(G_OBJECT(self->m_view), "qm-script-dialog", self);
    HRESULT hr = self->m_showUI->ShowMessage(self->m_hwnd, text.data(), caption.data(),
                                             type == WEBKIT_SCRIPT_DIALOG_ALERT ? kBoxAlert : kBoxConfirm, nullptr,
                                             0, &answer);
    g_object_set_data(G_OBJECT(self->m_view), "qm-script-dialog", nullptr);
    if (type == WEBKIT_SCRIPT_DIALOG_CONFIRM)
        webkit_script_dialog_confirm_set_confirmed(dialog, hr == S_OK && answer == kIdOk);
    return TRUE;
}

gboolean BrowserControl::OnContextMenu(WebKitWebView*, WebKitContextMenu*, GdkEvent*, WebKitHitTestResult*,
                                       gpointer data)
{
    auto* self = static_cast<BrowserControl*>(data);
    POINT pt{0, 0};
    return self->m_uiHandler && self->m_uiHandler->ShowContextMenu(0, &pt, nullptr, nullptr) == S_OK;
}

gboolean BrowserControl::OnKeyPress(GtkWidget*, GdkEventKey* event, gpointer data)
{
    auto* self = static_cast<BrowserControl*>(data);
    UINT vk = VirtualKey(event->keyval);
    if (!self->m_uiHandler || !vk)
        return FALSE;
    MSG msg{self->m_hwnd, WM_KEYDOWN, vk, 0, 0, {0, 0}};
    return self->m_uiHandler->TranslateAccelerator(&msg, nullptr, 0) == S_OK;
}

void BrowserControl::OnLoadChanged(WebKitWebView*, WebKitLoadEvent event, gpointer data)
{
    static_cast<BrowserControl*>(data)->m_loaded = event == WEBKIT_LOAD_FINISHED;
}

bool IsLoaded(IDispatch* control)
{
    auto* c = dynamic_cast<BrowserControl*>(control);
    return c && c->Loaded();
}

bool RenderToPng(IDispatch* control, const std::filesystem::path& file)
{
    auto* c = dynamic_cast<BrowserControl*>(control);
    if (!c || !c->View())
        return false;
    struct Shot
    {
        bool done = false;
        cairo_surface_t* surface = nullptr;
    } shot;
    webkit_web_view_get_snapshot(
        c->View(), WEBKIT_SNAPSHOT_REGION_VISIBLE, WEBKIT_SNAPSHOT_OPTIONS_NONE, nullptr,
        [](GObject* source, GAsyncResult* res, gpointer data) {
            auto* s = static_cast<Shot*>(data);
            s->surface = webkit_web_view_get_snapshot_finish(WEBKIT_WEB_VIEW(source), res, nullptr);
            s->done = true;
        },
        &shot);
    while (!shot.done)
        g_main_context_iteration(nullptr, TRUE);
    if (!shot.surface)
        return false;
    bool ok = cairo_surface_write_to_png(shot.surface, file.c_str()) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(shot.surface);
    return ok;
}
} // namespace qm::web

using namespace qm::web;

QMWEBAPI HRESULT WINAPI QmCreateWebBrowser(HWND hwndParent, const RECT* prc, UINT id, IUnknown* pClientSite,
                                           IDispatch* pEventSink, IDispatch** ppControl, HWND* phwnd)
{
    if (!prc || !ppControl)
        return E_POINTER;
    *ppControl = nullptr;
    int width = prc->right - prc->left, height = prc->bottom - prc->top;
    HWND hwnd = CreateWindowExW(0, u"Static", u"", WS_CHILD | WS_VISIBLE, prc->left, prc->top, width, height,
                                hwndParent, reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), nullptr, nullptr);
    if (!hwnd)
        return HRESULT_FROM_WIN32(GetLastError());
    auto* control = new BrowserControl(hwnd, pClientSite, pEventSink);
    if (!control->Start(width > 0 ? width : 1, height > 0 ? height : 1))
    {
        control->Release();
        return E_FAIL;
    }
    *ppControl = control;
    if (phwnd)
        *phwnd = hwnd;
    return S_OK;
}
