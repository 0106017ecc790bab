// Script values to NPVariants and back, as browsers convert them.
#pragma once

#include <list>
#include <string>
#include <vector>

#include <duktape.h>

#include "npruntime.h"
#include "script_engine.h"
#include "script_failure.h"

namespace nphost
{
// The arguments of one call into a plug-in. Strings point into text owned by the list,
// objects are borrowed from their wrappers for the length of the call.
class ArgumentList
{
public:
    // Integral numbers that fit become Int32, other numbers Double, strings UTF-8, booleans,
    // null, undefined Void, wrapped plug-in objects Object. Anything else fails.
    bool Add(duk_context* ctx, duk_idx_t index, ScriptEngine& engine, ScriptFailure& failure);
    const NPVariant* Data() const { return m_variants.data(); }
    uint32_t Count() const { return uint32_t(m_variants.size()); }

private:
    std::vector<NPVariant> m_variants;
    std::list<std::string> m_texts;
};

// Pushes a result from the plug-in and releases it as NPN_ReleaseVariantValue does;
// an object becomes a wrapper that keeps the result's reference.
void PushResult(duk_context* ctx, ScriptEngine& engine, NPVariant& result);
} // namespace nphost
