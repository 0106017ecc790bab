// Plug-in objects as script objects: a Proxy over a native function, so that the object
// can be called (default method), constructed, and read, written and tested by name.
#pragma once

#include <duktape.h>

#include "npruntime.h"
#include "script_engine.h"

namespace nphost
{
// Creates the Proxy handler shared by all wrappers; once per heap.
void InstallWrapperSupport(duk_context* ctx);
// Pushes a new wrapper that takes over one reference to the object.
void PushWrapper(duk_context* ctx, ScriptEngine& engine, NPObject* obj);
// The wrapper of a script value, or null when the value wraps no live plug-in object.
ScriptEngine::Wrapper* GetWrapper(duk_context* ctx, duk_idx_t index, ScriptEngine& engine);

ScriptEngine& CurrentEngine();
void SetCurrentEngine(ScriptEngine* engine);
} // namespace nphost
