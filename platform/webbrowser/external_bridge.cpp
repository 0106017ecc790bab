// window.external: every frame of the program's own res: pages gets an object whose
// members are asked of the host's external IDispatch. A member read asks GetIDsOfNames; a
// call goes to Invoke. Both travel as synchronous requests on the page's own res: origin,
// so a call returns the host's result to the page before the script goes on.
//
// Only res: pages may reach the host: pages from elsewhere (a web page shown in the control,
// framed or not) get no object, and a request to the bridge's address counts only when it
// carries the run's secret, which only the script given to res: frames knows.
#include <cstdio>
#include <cstring>
#include <random>
#include <vector>

#include "browser.h"
#include "oleauto.h"

namespace qm::web
{
namespace
{
constexpr const char* kExternalUri = "res:///:qm-external";

const std::string& BridgeSecret()
{
    static const std::string secret = [] {
        std::random_device rd;
        std::string s;
        for (int i = 0; i < 4; ++i)
        {
            char part[9];
            std::snprintf(part, sizeof part, "%08x", static_cast<unsigned>(rd()));
            s += part;
        }
        return s;
    }();
    return secret;
}

bool StartsWith(const char* text, const char* prefix)
{
    return text && std::strncmp(text, prefix, std::strlen(prefix)) == 0;
}

void Reply(WebKitURISchemeRequest* request, const std::string& json)
{
    gchar* copy = g_strndup(json.data(), json.size());
    GInputStream* stream = g_memory_input_stream_new_from_data(copy, static_cast<gssize>(json.size()), g_free);
    webkit_uri_scheme_request_finish(request, stream, static_cast<gint64>(json.size()), "application/json");
    g_object_unref(stream);
}

std::string ReadBody(WebKitURISchemeRequest* request)
{
    std::string body;
    GInputStream* in = webkit_uri_scheme_request_get_http_body(request);
    if (!in)
        return body;
    char buf[4096];
    gssize n;
    while ((n = g_input_stream_read(in, buf, sizeof buf, nullptr, nullptr)) > 0)
        body.append(buf, static_cast<size_t>(n));
    g_object_unref(in);
    return body;
}

void ToVariant(JSCValue* v, VARIANT* out)
{
    if (jsc_value_is_object(v) && !jsc_value_is_array(v))
    {
        VariantInit(out); // objects have no automation form here
        return;
    }
    JsValueToVariant(v, out);
}

// DISPID of the member, or the failure of GetIDsOfNames.
HRESULT MemberId(IDispatch* ext, const std::string& name, DISPID* id)
{
    std::u16string wname = ToUtf16(name);
    LPOLESTR names[] = {wname.data()};
    return ext->GetIDsOfNames(IID_NULL, names, 1, 0x0800, id);
}

std::string Call(IDispatch* ext, const std::string& name, JSCValue* args)
{
    DISPID id = DISPID_UNKNOWN;
    if (FAILED(MemberId(ext, name, &id)))
        return R"({"missing":true})";
    int count = jsc_value_is_array(args) ? jsc_value_to_int32(jsc_value_object_get_property(args, "length")) : 0;
    if (count < 0 || count > 64)
        count = 0;
    std::vector<VARIANT> argv(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i)
    {
        JSCValue* a = jsc_value_object_get_property_at_index(args, static_cast<guint>(i));
        ToVariant(a, &argv[static_cast<size_t>(count - 1 - i)]); // last argument first
        g_object_unref(a);
    }
    DISPPARAMS params{argv.data(), nullptr, static_cast<UINT>(count), 0};
    VARIANT result;
    VariantInit(&result);
    HRESULT hr = ext->Invoke(id, IID_NULL, 0x0800, DISPATCH_METHOD, &params, &result, nullptr, nullptr);
    std::string value = VariantToJson(result);
    std::string json = FAILED(hr)               ? "{\"error\":" + std::to_string(static_cast<unsigned>(hr)) + "}"
                       : value == "undefined" ? "{}"
                                              : "{\"value\":" + value + "}";
    VariantClear(&result);
    for (auto& a : argv)
        VariantClear(&a);
    return json;
}
} // namespace

std::string ExternalScript()
{
    std::string script = R"JS((function () {
  if (location.protocol !== 'res:') return;
  var url = 'res:///:qm-external', secret = '@SECRET@';
  function ask(op, name, args) {
    var x = new XMLHttpRequest();
    x.open('POST', url, false);
    x.send(JSON.stringify({ secret: secret, op: op, name: name, args: args }));
    if (x.status !== 200) throw new Error('window.external is not available');
    return JSON.parse(x.responseText);
  }
  var members = {};
  var external = new Proxy({}, {
    get: function (target, name) {
      if (typeof name !== 'string') return undefined;
      if (!(name in members)) {
        members[name] = ask('get', name, []).missing ? null : function () {
          var r = ask('call', name, Array.prototype.slice.call(arguments));
          if (r.error !== undefined) throw new Error('window.external.' + name + ' failed: ' + r.error);
          return r.value;
        };
      }
      return members[name] === null ? undefined : members[name];
    }
  });
  Object.defineProperty(window, 'external', { value: external, configurable: true });
})();)JS";
    script.replace(script.find("@SECRET@"), 8, BridgeSecret());
    return script;
}

bool IsExternalRequest(WebKitURISchemeRequest* request)
{
    return std::strcmp(webkit_uri_scheme_request_get_uri(request), kExternalUri) == 0;
}

void ServeExternal(BrowserControl* control, WebKitURISchemeRequest* request)
{
    IDispatch* ext = nullptr;
    // The control must show one of the program's pages, whatever frame asks.
    WebKitWebView* view = webkit_uri_scheme_request_get_web_view(request);
    if (!control || !view || !StartsWith(webkit_web_view_get_uri(view), "res:") || !control->UIHandler() ||
        FAILED(control->UIHandler()->GetExternal(&ext)) || !ext)
        return Reply(request, R"({"missing":true})");
    std::string body = ReadBody(request);
    // One parsing context for the run: a script engine is costly to make and to tear down.
    static JSCContext* ctx = jsc_context_new();
    JSCValue* msg = jsc_value_new_from_json(ctx, body.c_str());
    std::string reply = R"({"missing":true})";
    bool trusted = false;
    if (msg && jsc_value_is_object(msg))
    {
        JSCValue* secret = jsc_value_object_get_property(msg, "secret");
        gchar* secretText = jsc_value_is_string(secret) ? jsc_value_to_string(secret) : nullptr;
        trusted = secretText && BridgeSecret() == secretText;
        g_free(secretText);
        g_object_unref(secret);
    }
    if (trusted)
    {
        JSCValue* op = jsc_value_object_get_property(msg, "op");
        JSCValue* name = jsc_value_object_get_property(msg, "name");
        JSCValue* args = jsc_value_object_get_property(msg, "args");
        gchar* opText = jsc_value_to_string(op);
        gchar* nameText = jsc_value_to_string(name);
        DISPID id;
        if (std::strcmp(opText, "get") == 0)
            reply = SUCCEEDED(MemberId(ext, nameText, &id)) ? "{}" : R"({"missing":true})";
        else if (std::strcmp(opText, "call") == 0)
            reply = Call(ext, nameText, args);
        g_free(opText);
        g_free(nameText);
        g_object_unref(op);
        g_object_unref(name);
        g_object_unref(args);
    }
    if (msg)
        g_object_unref(msg);
    ext->Release();
    Reply(request, reply);
}
} // namespace qm::web
