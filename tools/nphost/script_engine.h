// Page script in Duktape against one plug-in instance: the global `plugin` wraps the
// instance's scriptable object, `print()` writes a line to stdout.
#pragma once

#include <string>
#include <unordered_set>

#include "npapi.h"
#include "npruntime.h"

struct duk_hthread;

namespace nphost
{
class ScriptEngine
{
public:
    explicit ScriptEngine(NPP npp);
    // Tears the heap down and drops every reference the script still held.
    ~ScriptEngine();
    ScriptEngine(const ScriptEngine&) = delete;
    ScriptEngine& operator=(const ScriptEngine&) = delete;

    // Takes over one reference to the object.
    void SetPlugin(NPObject* obj);
    // True when the script ran to its end; an uncaught error is printed to stderr.
    bool Run(const std::string& source, const std::string& fileName);

    // Used by the engine's native functions.
    struct Wrapper
    {
        NPObject* obj; // one reference held while the wrapper lives
    };
    NPP Instance() const { return m_npp; }
    Wrapper* NewWrapper(NPObject* obj);
    bool IsWrapper(const Wrapper* wrapper) const;
    void DropWrapper(Wrapper* wrapper);

private:
    NPP m_npp;
    duk_hthread* m_ctx = nullptr;
    std::unordered_set<Wrapper*> m_wrappers;
};
} // namespace nphost
