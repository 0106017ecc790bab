// Script run from the host: the page engine answers asynchronously, so the caller's thread
// runs the engine's events until the answer is in.
#include <cmath>
#include <cstdio>

#include "browser.h"
#include "oleauto.h"
#include "qm/webbrowser.h"

namespace qm::web
{
namespace
{
struct Pending
{
    bool done = false;
    bool ok = false;
    std::string error;
    JSCValue* value = nullptr;
};

void OnFinished(GObject* source, GAsyncResult* res, gpointer data)
{
    auto* p = static_cast<Pending*>(data);
    GError* err = nullptr;
    p->value = webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(source), res, &err);
    p->ok = p->value != nullptr;
    if (err)
    {
        p->error = err->message;
        g_error_free(err);
    }
    p->done = true;
}
} // namespace

bool RunScript(WebKitWebView* view, const std::string& script, VARIANT* result, std::string* error)
{
    // While the page waits in alert() or confirm() its engine runs no other script: waiting
    // here, inside the box's own loop, would never end.
    if (g_object_get_data(G_OBJECT(view), "qm-script-dialog"))
    {
        if (error)
            *error = "the page is showing a message box";
        return false;
    }
    auto* p = new Pending;
    g_object_ref(view);
    webkit_web_view_evaluate_javascript(view, script.c_str(), static_cast<gssize>(script.size()), nullptr, nullptr,
                                        nullptr, OnFinished, p);
    // The engine always answers (with an error when the page goes away).
    while (!p->done)
        g_main_context_iteration(nullptr, TRUE);
    g_object_unref(view);
    bool ok = p->ok;
    if (error)
        *error = p->error;
    if (result && p->value)
        JsValueToVariant(p->value, result);
    if (p->value)
        g_object_unref(p->value);
    delete p;
    return ok;
}

void JsValueToVariant(JSCValue* value, VARIANT* out)
{
    VariantInit(out);
    if (jsc_value_is_undefined(value))
        return;
    if (jsc_value_is_null(value))
        out->vt = VT_NULL;
    else if (jsc_value_is_boolean(value))
    {
        out->vt = VT_BOOL;
        out->boolVal = jsc_value_to_boolean(value) ? VARIANT_TRUE : VARIANT_FALSE;
    }
    else if (jsc_value_is_number(value))
    {
        double d = jsc_value_to_double(value);
        if (std::trunc(d) == d && d >= -2147483648.0 && d <= 2147483647.0)
        {
            out->vt = VT_I4;
            out->lVal = static_cast<LONG>(d);
        }
        else
        {
            out->vt = VT_R8;
            out->dblVal = d;
        }
    }
    else
    {
        gchar* s = jsc_value_to_string(value);
        std::u16string w = ToUtf16(s ? s : "");
        g_free(s);
        out->vt = VT_BSTR;
        out->bstrVal = SysAllocStringLen(w.data(), static_cast<UINT>(w.size()));
    }
}

std::string VariantToJson(const VARIANT& value)
{
    const VARIANT* v = &value;
    if (v->vt == (VT_BYREF | VT_VARIANT) && v->pvarVal)
        v = v->pvarVal;
    char buf[64];
    switch (v->vt)
    {
    case VT_NULL:
        return "null";
    case VT_BOOL:
        return v->boolVal ? "true" : "false";
    case VT_I4:
        return std::to_string(v->lVal);
    case VT_INT:
        return std::to_string(v->intVal);
    case VT_R8:
        if (!std::isfinite(v->dblVal))
            return "null";
        std::snprintf(buf, sizeof buf, "%.17g", v->dblVal);
        return buf;
    case VT_BSTR:
        return JsQuote(v->bstrVal ? ToUtf8(std::u16string(v->bstrVal, SysStringLen(v->bstrVal))) : "");
    default:
        return "undefined";
    }
}

void PumpEvents(int waitMs)
{
    if (g_main_context_pending(nullptr))
    {
        while (g_main_context_pending(nullptr))
            g_main_context_iteration(nullptr, FALSE);
        return;
    }
    if (waitMs <= 0)
        return;
    guint timer = g_timeout_add(static_cast<guint>(waitMs), [](gpointer) -> gboolean { return G_SOURCE_REMOVE; },
                                nullptr);
    bool timerFired = !g_main_context_iteration(nullptr, TRUE);
    (void)timerFired;
    // Removing a timer that already ran is harmless only while its id is not reused.
    GSource* src = g_main_context_find_source_by_id(nullptr, timer);
    if (src)
        g_source_destroy(src);
}

bool PumpUntil(const std::function<bool()>& done, int timeoutMs)
{
    gint64 end = g_get_monotonic_time() + static_cast<gint64>(timeoutMs) * 1000;
    while (!done())
    {
        if (g_get_monotonic_time() >= end)
            return done();
        PumpEvents(10);
    }
    return true;
}
} // namespace qm::web
