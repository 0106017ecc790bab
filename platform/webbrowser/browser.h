// The WebBrowser control on WebKitGTK: one web view per control, shown off screen, with the
// res: protocol, window.external and the host's veto on navigation.
#pragma once

#include <webkit2/webkit2.h>

#include <string>
#include <vector>

#include "exdisp.h"

namespace qm::web
{
class BrowserControl;

// UTF-16 <-> UTF-8 for texts crossing into the page engine.
std::string ToUtf8(const std::u16string& text);
std::u16string ToUtf16(const std::string& text);

// A JavaScript string literal for the text (quotes and escapes included).
std::string JsQuote(const std::string& text);

// Runs script in the view's top document and waits for its value. False (with the error
// text) when it threw or the view went away.
bool RunScript(WebKitWebView* view, const std::string& script, VARIANT* result, std::string* error);

// VARIANT <-> page values.
void JsValueToVariant(JSCValue* value, VARIANT* out);
std::string VariantToJson(const VARIANT& value);

// The res: protocol: res://<module file>/<resource name>, the name of an RT_HTML resource.
void ServeResource(WebKitURISchemeRequest* request);

// window.external: the script the program's res: frames get, and the calls it makes to
// the host (refused for everything else).
std::string ExternalScript();
bool IsExternalRequest(WebKitURISchemeRequest* request);
void ServeExternal(BrowserControl* control, WebKitURISchemeRequest* request);

// The document of a frame of the control's page: the frame path from the top ("" parts
// none for the top document).
IHTMLDocument2* NewDocument(BrowserControl* control, std::vector<std::string> framePath);
// A script expression that yields the window of the frame path, or null.
std::string FrameWindowExpression(const std::vector<std::string>& framePath);

class BrowserControl final : public IDispatch
{
public:
    BrowserControl(HWND hwnd, IUnknown* site, IDispatch* sink);
    ~BrowserControl();
    bool Start(int width, int height);

    STDMETHOD(QueryInterface)(REFIID riid, void** ppv) override;
    STDMETHOD_(ULONG, AddRef)() override;
    STDMETHOD_(ULONG, Release)() override;
    STDMETHOD(GetTypeInfoCount)(UINT* pctinfo) override;
    STDMETHOD(GetTypeInfo)(UINT, LCID, ITypeInfo** ppTInfo) override;
    STDMETHOD(GetIDsOfNames)(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override;
    STDMETHOD(Invoke)(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                      EXCEPINFO*, UINT*) override;

    WebKitWebView* View() const { return m_view; }
    GtkWidget* Window() const { return m_window; }
    HWND Hwnd() const { return m_hwnd; }
    IDocHostUIHandler* UIHandler() const { return m_uiHandler; }
    IDocHostShowUI* ShowUI() const { return m_showUI; }
    bool Loaded() const { return m_loaded; }

private:
    HRESULT Navigate(const std::u16string& url);
    static gboolean OnDecidePolicy(WebKitWebView*, WebKitPolicyDecision*, WebKitPolicyDecisionType, gpointer);
    static gboolean OnScriptDialog(WebKitWebView*, WebKitScriptDialog*, gpointer);
    static gboolean OnContextMenu(WebKitWebView*, WebKitContextMenu*, GdkEvent*, WebKitHitTestResult*, gpointer);
    static gboolean OnKeyPress(GtkWidget*, GdkEventKey*, gpointer);
    static void OnLoadChanged(WebKitWebView*, WebKitLoadEvent, gpointer);

    ULONG m_refs = 1;
    HWND m_hwnd;
    IDocHostUIHandler* m_uiHandler = nullptr;
    IDocHostShowUI* m_showUI = nullptr;
    IDispatch* m_sink = nullptr;
    GtkWidget* m_window = nullptr;
    WebKitWebView* m_view = nullptr;
    bool m_loaded = false;
};
} // namespace qm::web
