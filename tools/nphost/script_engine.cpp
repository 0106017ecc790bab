#include "script_engine.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include <duktape.h>

#include "object_registry.h"
#include "utf8.h"
#include "wrappers.h"

namespace nphost
{
namespace
{
void FatalError(void*, const char* message)
{
    std::fprintf(stderr, "nphost: fatal script engine error: %s\n", message ? message : "");
    std::abort();
}

// print(...): the arguments as text, separated by spaces, one line on stdout.
duk_ret_t Print(duk_context* ctx)
{
    const duk_idx_t count = duk_get_top(ctx);
    std::string line;
    for (duk_idx_t i = 0; i < count; ++i)
    {
        if (i > 0)
            line += ' ';
        // A plug-in object is not asked for toString: that would call into the plug-in.
        if (GetWrapper(ctx, i, CurrentEngine()) != nullptr)
            line += "[object NPObject]";
        else
        {
            duk_size_t length = 0;
            duk_dup(ctx, i);
            const char* text = duk_safe_to_lstring(ctx, -1, &length);
            line += CesuToUtf8({text, length});
            duk_pop(ctx);
        }
    }
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fflush(stdout);
    return 0;
}

void ReportUncaught(duk_context* ctx)
{
    std::string text;
    if (duk_is_error(ctx, -1))
    {
        duk_get_prop_string(ctx, -1, "stack");
        if (duk_is_string(ctx, -1))
            text = duk_get_string(ctx, -1);
        duk_pop(ctx);
    }
    if (text.empty())
        text = duk_safe_to_string(ctx, -1);
    std::fprintf(stderr, "nphost: uncaught script error: %s\n", CesuToUtf8(text).c_str());
    std::fflush(stderr);
}
} // namespace

ScriptEngine::ScriptEngine(NPP npp) : m_npp(npp)
{
    SetCurrentEngine(this);
    m_ctx = duk_create_heap(nullptr, nullptr, nullptr, nullptr, FatalError);
    if (m_ctx == nullptr)
        FatalError(nullptr, "cannot create the heap");
    duk_push_c_function(m_ctx, Print, DUK_VARARGS);
    duk_put_global_string(m_ctx, "print");
    InstallWrapperSupport(m_ctx);
}

ScriptEngine::~ScriptEngine()
{
    // Destroying the heap runs the finalizers, which drop the wrappers' references;
    // whatever the engine did not finalize is dropped after it.
    duk_destroy_heap(m_ctx);
    m_ctx = nullptr;
    while (!m_wrappers.empty())
        DropWrapper(*m_wrappers.begin());
    SetCurrentEngine(nullptr);
}

void ScriptEngine::SetPlugin(NPObject* obj)
{
    PushWrapper(m_ctx, *this, obj);
    duk_put_global_string(m_ctx, "plugin");
}

bool ScriptEngine::Run(const std::string& source, const std::string& fileName)
{
    duk_push_lstring(m_ctx, source.data(), source.size());
    duk_push_string(m_ctx, fileName.c_str());
    bool ok = duk_pcompile(m_ctx, 0) == 0 && duk_pcall(m_ctx, 0) == 0;
    if (!ok)
        ReportUncaught(m_ctx);
    duk_pop(m_ctx);
    return ok;
}

ScriptEngine::Wrapper* ScriptEngine::NewWrapper(NPObject* obj)
{
    auto* wrapper = new Wrapper{obj};
    m_wrappers.insert(wrapper);
    return wrapper;
}

bool ScriptEngine::IsWrapper(const Wrapper* wrapper) const
{
    return m_wrappers.count(const_cast<Wrapper*>(wrapper)) != 0;
}

void ScriptEngine::DropWrapper(Wrapper* wrapper)
{
    m_wrappers.erase(wrapper);
    NPObject* obj = wrapper->obj;
    delete wrapper;
    Objects().Release(obj);
}
} // namespace nphost
