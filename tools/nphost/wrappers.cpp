#include "wrappers.h"

#include <cstring>
#include <string>

#include "browser_table.h"
#include "identifiers.h"
#include "script_failure.h"
#include "utf8.h"
#include "variants.h"

namespace nphost
{
namespace
{
// Hidden keys: script cannot reach them, and Proxy traps do not see them.
constexpr const char* kWrapperKey = DUK_HIDDEN_SYMBOL("npWrapper");
constexpr const char* kTargetKey = DUK_HIDDEN_SYMBOL("npTarget");
constexpr const char* kIdentifierKey = DUK_HIDDEN_SYMBOL("npIdentifier");
constexpr const char* kStashProxy = "npProxy";
constexpr const char* kStashHandler = "npHandler";

ScriptEngine* g_engine = nullptr;

// Property keys as browsers name them: array indices as integer identifiers.
NPIdentifier KeyIdentifier(duk_context* ctx, duk_idx_t index)
{
    duk_size_t length = 0;
    const char* key = duk_get_lstring(ctx, index, &length);
    std::string_view text(key != nullptr ? key : "", length);
    bool isIndex = !text.empty() && text.size() <= 10 && (text == "0" || text[0] != '0');
    for (char c : text)
        isIndex = isIndex && c >= '0' && c <= '9';
    if (isIndex)
    {
        const long long number = std::stoll(std::string(text));
        if (number <= INT32_MAX)
            return Identifiers().FromInt(int32_t(number));
    }
    return Identifiers().FromString(CesuToUtf8(text));
}

ScriptEngine::Wrapper* WrapperOfCurrentFunction(duk_context* ctx, const char* viaKey)
{
    duk_push_current_function(ctx);
    if (viaKey != nullptr)
    {
        duk_get_prop_string(ctx, -1, viaKey);
        duk_remove(ctx, -2);
    }
    ScriptEngine::Wrapper* wrapper = GetWrapper(ctx, -1, CurrentEngine());
    duk_pop(ctx);
    return wrapper;
}

// Calls the plug-in: a method by identifier, the default method, or construct.
enum class CallKind
{
    Method,
    Default,
    Construct
};

bool CallPlugin(duk_context* ctx, ScriptEngine::Wrapper* wrapper, CallKind kind, NPIdentifier id,
                ScriptFailure& failure)
{
    ScriptEngine& engine = CurrentEngine();
    const duk_idx_t count = duk_get_top(ctx);
    ArgumentList args;
    for (duk_idx_t i = 0; i < count; ++i)
        if (!args.Add(ctx, i, engine, failure))
            return false;

    NPNetscapeFuncs& browser = BrowserFuncs();
    NPObject* obj = wrapper->obj;
    NPVariant result;
    VOID_TO_NPVARIANT(result);
    bool ok = false;
    switch (kind)
    {
    case CallKind::Method:
        ok = browser.invoke(engine.Instance(), obj, id, args.Data(), args.Count(), &result);
        break;
    case CallKind::Default:
        if (obj->_class == nullptr || obj->_class->invokeDefault == nullptr)
        {
            failure.Set(DUK_ERR_TYPE_ERROR, "plug-in object is not a function");
            return false;
        }
        ok = browser.invokeDefault(engine.Instance(), obj, args.Data(), args.Count(), &result);
        break;
    case CallKind::Construct:
        if (obj->_class == nullptr || !NP_CLASS_STRUCT_VERSION_HAS_CTOR(obj->_class) ||
            obj->_class->construct == nullptr)
        {
            failure.Set(DUK_ERR_TYPE_ERROR, "plug-in object is not a constructor");
            return false;
        }
        ok = browser.construct(engine.Instance(), obj, args.Data(), args.Count(), &result);
        break;
    }
    if (auto exception = TakePendingException())
    {
        browser.releasevariantvalue(&result);
        failure.Set(DUK_ERR_ERROR, exception->c_str());
        return false;
    }
    if (!ok)
    {
        browser.releasevariantvalue(&result);
        failure.Set(DUK_ERR_ERROR, kind == CallKind::Construct
                                       ? "Error calling constructor on NPObject."
                                       : "Error calling method on NPObject.");
        return false;
    }
    PushResult(ctx, engine, result);
    return true;
}

duk_ret_t CallMethod(duk_context* ctx)
{
    ScriptFailure failure;
    ScriptEngine::Wrapper* wrapper = WrapperOfCurrentFunction(ctx, kTargetKey);
    duk_push_current_function(ctx);
    duk_get_prop_string(ctx, -1, kIdentifierKey);
    auto id = static_cast<NPIdentifier>(duk_get_pointer(ctx, -1));
    duk_pop_2(ctx);
    if (wrapper == nullptr)
        failure.Set(DUK_ERR_TYPE_ERROR, "plug-in object is gone");
    else
        CallPlugin(ctx, wrapper, CallKind::Method, id, failure);
    if (failure)
        return duk_error(ctx, failure.code, "%s", failure.message);
    return 1;
}

duk_ret_t CallDefault(duk_context* ctx)
{
    ScriptFailure failure;
    const bool construct = duk_is_constructor_call(ctx);
    ScriptEngine::Wrapper* wrapper = WrapperOfCurrentFunction(ctx, nullptr);
    if (wrapper == nullptr)
        failure.Set(DUK_ERR_TYPE_ERROR, "plug-in object is gone");
    else
        CallPlugin(ctx, wrapper, construct ? CallKind::Construct : CallKind::Default, nullptr,
                   failure);
    if (failure)
        return duk_error(ctx, failure.code, "%s", failure.message);
    return 1;
}

// Finalizer of a wrapper's target: drops the wrapper's reference.
duk_ret_t FinalizeTarget(duk_context* ctx)
{
    duk_get_prop_string(ctx, 0, kWrapperKey);
    auto* wrapper = static_cast<ScriptEngine::Wrapper*>(duk_get_pointer(ctx, -1));
    duk_pop(ctx);
    if (wrapper != nullptr && g_engine != nullptr && g_engine->IsWrapper(wrapper))
        g_engine->DropWrapper(wrapper);
    duk_push_pointer(ctx, nullptr);
    duk_put_prop_string(ctx, 0, kWrapperKey);
    return 0;
}

// get(target, key, receiver): a method first (as a function to call), then a property.
bool DoGet(duk_context* ctx, ScriptFailure& failure)
{
    ScriptEngine& engine = CurrentEngine();
    ScriptEngine::Wrapper* wrapper = GetWrapper(ctx, 0, engine);
    if (wrapper == nullptr || duk_is_symbol(ctx, 1) || !duk_is_string(ctx, 1))
    {
        duk_push_undefined(ctx);
        return true;
    }
    NPNetscapeFuncs& browser = BrowserFuncs();
    NPIdentifier id = KeyIdentifier(ctx, 1);
    if (browser.hasmethod(engine.Instance(), wrapper->obj, id))
    {
        duk_push_c_function(ctx, CallMethod, DUK_VARARGS);
        duk_dup(ctx, 0);
        duk_put_prop_string(ctx, -2, kTargetKey);
        duk_push_pointer(ctx, id);
        duk_put_prop_string(ctx, -2, kIdentifierKey);
        return true;
    }
    if (browser.hasproperty(engine.Instance(), wrapper->obj, id))
    {
        NPVariant result;
        VOID_TO_NPVARIANT(result);
        const bool ok = browser.getproperty(engine.Instance(), wrapper->obj, id, &result);
        if (auto exception = TakePendingException())
        {
            browser.releasevariantvalue(&result);
            failure.Set(DUK_ERR_ERROR, exception->c_str());
            return false;
        }
        if (!ok)
        {
            browser.releasevariantvalue(&result);
            failure.Set(DUK_ERR_ERROR, "Error getting property on NPObject.");
            return false;
        }
        PushResult(ctx, engine, result);
        return true;
    }
    duk_push_undefined(ctx);
    return true;
}

duk_ret_t TrapGet(duk_context* ctx)
{
    ScriptFailure failure;
    if (!DoGet(ctx, failure))
        return duk_error(ctx, failure.code, "%s", failure.message);
    return 1;
}

// set(target, key, value, receiver)
bool DoSet(duk_context* ctx, ScriptFailure& failure)
{
    ScriptEngine& engine = CurrentEngine();
    ScriptEngine::Wrapper* wrapper = GetWrapper(ctx, 0, engine);
    if (wrapper == nullptr || duk_is_symbol(ctx, 1) || !duk_is_string(ctx, 1))
    {
        failure.Set(DUK_ERR_TYPE_ERROR, "cannot set this property on NPObject");
        return false;
    }
    NPIdentifier id = KeyIdentifier(ctx, 1);
    ArgumentList value;
    if (!value.Add(ctx, 2, engine, failure))
        return false;
    const bool ok = BrowserFuncs().setproperty(engine.Instance(), wrapper->obj, id, value.Data());
    if (auto exception = TakePendingException())
    {
        failure.Set(DUK_ERR_ERROR, exception->c_str());
        return false;
    }
    if (!ok)
    {
        failure.Set(DUK_ERR_ERROR, "Error setting property on NPObject.");
        return false;
    }
    duk_push_true(ctx);
    return true;
}

duk_ret_t TrapSet(duk_context* ctx)
{
    ScriptFailure failure;
    if (!DoSet(ctx, failure))
        return duk_error(ctx, failure.code, "%s", failure.message);
    return 1;
}

// has(target, key): the `in` operator.
duk_ret_t TrapHas(duk_context* ctx)
{
    ScriptEngine& engine = CurrentEngine();
    ScriptEngine::Wrapper* wrapper = GetWrapper(ctx, 0, engine);
    bool found = false;
    if (wrapper != nullptr && !duk_is_symbol(ctx, 1) && duk_is_string(ctx, 1))
    {
        NPIdentifier id = KeyIdentifier(ctx, 1);
        NPNetscapeFuncs& browser = BrowserFuncs();
        found = browser.hasmethod(engine.Instance(), wrapper->obj, id) ||
                browser.hasproperty(engine.Instance(), wrapper->obj, id);
    }
    duk_push_boolean(ctx, found);
    return 1;
}
} // namespace

void InstallWrapperSupport(duk_context* ctx)
{
    duk_push_global_stash(ctx);
    duk_get_global_string(ctx, "Proxy");
    duk_put_prop_string(ctx, -2, kStashProxy);
    duk_push_object(ctx);
    duk_push_c_function(ctx, TrapGet, 3);
    duk_put_prop_string(ctx, -2, "get");
    duk_push_c_function(ctx, TrapSet, 4);
    duk_put_prop_string(ctx, -2, "set");
    duk_push_c_function(ctx, TrapHas, 2);
    duk_put_prop_string(ctx, -2, "has");
    duk_put_prop_string(ctx, -2, kStashHandler);
    duk_pop(ctx);
}

void PushWrapper(duk_context* ctx, ScriptEngine& engine, NPObject* obj)
{
    duk_push_global_stash(ctx);
    duk_get_prop_string(ctx, -1, kStashProxy);
    duk_push_c_function(ctx, CallDefault, DUK_VARARGS);
    duk_push_pointer(ctx, engine.NewWrapper(obj));
    duk_put_prop_string(ctx, -2, kWrapperKey);
    duk_push_c_function(ctx, FinalizeTarget, 2);
    duk_set_finalizer(ctx, -2);
    duk_get_prop_string(ctx, -3, kStashHandler);
    duk_new(ctx, 2);
    duk_remove(ctx, -2); // the stash
}

ScriptEngine::Wrapper* GetWrapper(duk_context* ctx, duk_idx_t index, ScriptEngine& engine)
{
    if (!duk_is_object(ctx, index))
        return nullptr;
    duk_get_prop_string(ctx, index, kWrapperKey);
    auto* wrapper = static_cast<ScriptEngine::Wrapper*>(duk_get_pointer(ctx, -1));
    duk_pop(ctx);
    return wrapper != nullptr && engine.IsWrapper(wrapper) ? wrapper : nullptr;
}

ScriptEngine& CurrentEngine() { return *g_engine; }
void SetCurrentEngine(ScriptEngine* engine) { g_engine = engine; }
} // namespace nphost
