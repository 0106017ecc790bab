#include "variants.h"

#include <cmath>
#include <string>

#include "browser_table.h"
#include "diagnostics.h"
#include "host_memory.h"
#include "object_registry.h"
#include "utf8.h"
#include "wrappers.h"

namespace nphost
{
bool ArgumentList::Add(duk_context* ctx, duk_idx_t index, ScriptEngine& engine,
                       ScriptFailure& failure)
{
    NPVariant variant;
    VOID_TO_NPVARIANT(variant);
    switch (duk_get_type(ctx, index))
    {
    case DUK_TYPE_UNDEFINED:
        break;
    case DUK_TYPE_NULL:
        NULL_TO_NPVARIANT(variant);
        break;
    case DUK_TYPE_BOOLEAN:
        BOOLEAN_TO_NPVARIANT(duk_get_boolean(ctx, index), variant);
        break;
    case DUK_TYPE_NUMBER:
    {
        const double value = duk_get_number(ctx, index);
        if (std::trunc(value) == value && value >= INT32_MIN && value <= INT32_MAX &&
            !(value == 0 && std::signbit(value)))
            INT32_TO_NPVARIANT(int32_t(value), variant);
        else
            DOUBLE_TO_NPVARIANT(value, variant);
        break;
    }
    case DUK_TYPE_STRING:
    {
        duk_size_t length = 0;
        const char* text = duk_get_lstring(ctx, index, &length);
        if (AsciiPrefix({text, length}) == length)
        {
            // The same bytes in both forms: the plug-in reads the script's own string, which
            // stays on the value stack for the length of the call.
            STRINGN_TO_NPVARIANT(text, uint32_t(length), variant);
            break;
        }
        const std::string& utf8 = m_texts.emplace_back(CesuToUtf8({text, length}));
        STRINGN_TO_NPVARIANT(utf8.c_str(), utf8.size(), variant);
        break;
    }
    case DUK_TYPE_OBJECT:
        if (ScriptEngine::Wrapper* wrapper = GetWrapper(ctx, index, engine))
        {
            OBJECT_TO_NPVARIANT(wrapper->obj, variant);
            break;
        }
        [[fallthrough]];
    default:
        failure.Set(DUK_ERR_TYPE_ERROR,
                    "nphost passes only numbers, strings, booleans, null, undefined and plug-in "
                    "objects to a plug-in");
        return false;
    }
    m_variants.push_back(variant);
    return true;
}

void PushResult(duk_context* ctx, ScriptEngine& engine, NPVariant& result)
{
    switch (result.type)
    {
    case NPVariantType_Void:
        duk_push_undefined(ctx);
        break;
    case NPVariantType_Null:
        duk_push_null(ctx);
        break;
    case NPVariantType_Bool:
        duk_push_boolean(ctx, result.value.boolValue);
        break;
    case NPVariantType_Int32:
        duk_push_int(ctx, result.value.intValue);
        break;
    case NPVariantType_Double:
        duk_push_number(ctx, result.value.doubleValue);
        break;
    case NPVariantType_String:
    {
        const NPString& text = result.value.stringValue;
        if (text.UTF8Characters == nullptr && text.UTF8Length != 0)
        {
            Fault("result string with a null pointer and length " +
                  std::to_string(text.UTF8Length));
            duk_push_undefined(ctx);
            break;
        }
        const std::string_view utf8(text.UTF8Characters ? text.UTF8Characters : "", text.UTF8Length);
        if (AsciiPrefix(utf8) == utf8.size())
            duk_push_lstring(ctx, utf8.data(), utf8.size());
        else
        {
            const std::string cesu = Utf8ToCesu(utf8);
            duk_push_lstring(ctx, cesu.data(), cesu.size());
        }
        if (text.UTF8Characters != nullptr && !Memory().IsLive(text.UTF8Characters))
        {
            // A browser would free this and crash; keep the text, report the fault.
            Fault("result string at " + Hex(text.UTF8Characters) +
                  " was not allocated with NPN_MemAlloc");
            VOID_TO_NPVARIANT(result);
            return;
        }
        break;
    }
    case NPVariantType_Object:
        if (result.value.objectValue == nullptr || !Objects().IsLive(result.value.objectValue))
        {
            Fault("result object " + Hex(result.value.objectValue) + " is not a live object");
            duk_push_null(ctx);
            VOID_TO_NPVARIANT(result);
            return;
        }
        PushWrapper(ctx, engine, result.value.objectValue);
        VOID_TO_NPVARIANT(result); // the wrapper owns the reference now
        return;
    default:
        Fault("result variant of unknown type " + std::to_string(int(result.type)));
        duk_push_undefined(ctx);
        VOID_TO_NPVARIANT(result);
        return;
    }
    BrowserFuncs().releasevariantvalue(&result);
}
} // namespace nphost
