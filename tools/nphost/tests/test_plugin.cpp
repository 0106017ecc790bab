// A plug-in library for nphost's own tests: methods that return every variant type,
// describe their arguments, and misuse the browser table on purpose.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "npfunctions.h"
#include "qm/machine.h"

namespace
{
NPNetscapeFuncs g_browser{};
std::string g_mimeType;

// The browser's copy of a text, as a result variant.
void SetString(NPVariant* result, const std::string& text)
{
    auto* copy = static_cast<char*>(g_browser.memalloc(uint32_t(text.size() + 1)));
    std::memcpy(copy, text.c_str(), text.size() + 1);
    STRINGN_TO_NPVARIANT(copy, text.size(), *result);
}

std::string Describe(const NPVariant& v)
{
    char number[64];
    switch (v.type)
    {
    case NPVariantType_Void:
        return "void";
    case NPVariantType_Null:
        return "null";
    case NPVariantType_Bool:
        return v.value.boolValue ? "bool:true" : "bool:false";
    case NPVariantType_Int32:
        return "int32:" + std::to_string(v.value.intValue);
    case NPVariantType_Double:
        std::snprintf(number, sizeof number, "double:%.17g", v.value.doubleValue);
        return number;
    case NPVariantType_String:
        return "string(" + std::to_string(v.value.stringValue.UTF8Length) + "):" +
               std::string(v.value.stringValue.UTF8Characters, v.value.stringValue.UTF8Length);
    case NPVariantType_Object:
        return "object";
    }
    return "unknown";
}

// A child object: its one method "Name" answers "child".
struct Child : NPObject
{
};

bool ChildHasMethod(NPObject*, NPIdentifier name)
{
    NPUTF8* text = g_browser.utf8fromidentifier(name);
    const bool found = text != nullptr && std::strcmp(text, "Name") == 0;
    g_browser.memfree(text);
    return found;
}

bool ChildInvoke(NPObject*, NPIdentifier, const NPVariant*, uint32_t, NPVariant* result)
{
    SetString(result, "child");
    return true;
}

NPObject* ChildAllocate(NPP, NPClass*) { return new Child; }
void ChildDeallocate(NPObject* obj) { delete static_cast<Child*>(obj); }

NPClass g_childClass = {NP_CLASS_STRUCT_VERSION, ChildAllocate, ChildDeallocate, nullptr,
                        ChildHasMethod, ChildInvoke, nullptr, nullptr, nullptr, nullptr,
                        nullptr, nullptr, nullptr};

// The scriptable object of the instance.
struct Scriptable : NPObject
{
    NPP npp = nullptr;
    int32_t count = 0;
};

std::string Name(NPIdentifier id)
{
    if (!g_browser.identifierisstring(id))
        return "#" + std::to_string(g_browser.intfromidentifier(id));
    NPUTF8* text = g_browser.utf8fromidentifier(id);
    std::string name = text != nullptr ? text : "";
    g_browser.memfree(text);
    return name;
}

const char* const kMethods[] = {
    "ReturnVoid",   "ReturnNull",     "ReturnBool",       "ReturnInt",     "ReturnDouble",
    "ReturnString", "ReturnEmpty",    "ReturnObject",     "Describe",      "Echo",
    "Fail",         "Throw",          "LeakObject",       "LeakMemory",    "LeakIdentifierText",
    "DoubleFree",   "FreeUnknown",    "ReturnStaticText", "MimeType",      "MachineDirectory",
    "Sum"};

bool HasMethod(NPObject*, NPIdentifier id)
{
    const std::string name = Name(id);
    for (const char* method : kMethods)
        if (name == method)
            return true;
    return false;
}

bool Invoke(NPObject* obj, NPIdentifier id, const NPVariant* args, uint32_t argc,
            NPVariant* result)
{
    auto* self = static_cast<Scriptable*>(obj);
    const std::string name = Name(id);
    if (name == "ReturnVoid")
        VOID_TO_NPVARIANT(*result);
    else if (name == "ReturnNull")
        NULL_TO_NPVARIANT(*result);
    else if (name == "ReturnBool")
        BOOLEAN_TO_NPVARIANT(true, *result);
    else if (name == "ReturnInt")
        INT32_TO_NPVARIANT(42, *result);
    else if (name == "ReturnDouble")
        DOUBLE_TO_NPVARIANT(2.5, *result);
    else if (name == "ReturnString")
        SetString(result, "h\xC3\xA9llo \xF0\x9F\x98\x80");
    else if (name == "ReturnEmpty")
        SetString(result, "");
    else if (name == "ReturnObject")
        OBJECT_TO_NPVARIANT(g_browser.createobject(self->npp, &g_childClass), *result);
    else if (name == "Describe")
    {
        std::string text = argc == 0 ? "none" : "";
        for (uint32_t i = 0; i < argc; ++i)
            text += (i ? " " : "") + Describe(args[i]);
        SetString(result, text);
    }
    else if (name == "Echo")
    {
        if (argc != 1)
            return false;
        if (args[0].type == NPVariantType_String)
            SetString(result, std::string(args[0].value.stringValue.UTF8Characters,
                                          args[0].value.stringValue.UTF8Length));
        else
        {
            *result = args[0];
            if (args[0].type == NPVariantType_Object)
                g_browser.retainobject(args[0].value.objectValue);
        }
    }
    else if (name == "Sum")
    {
        double sum = 0;
        for (uint32_t i = 0; i < argc; ++i)
            sum += args[i].type == NPVariantType_Int32 ? args[i].value.intValue
                                                       : args[i].value.doubleValue;
        if (std::trunc(sum) == sum)
            INT32_TO_NPVARIANT(int32_t(sum), *result);
        else
            DOUBLE_TO_NPVARIANT(sum, *result);
    }
    else if (name == "Fail")
        return false;
    else if (name == "Throw")
    {
        g_browser.setexception(obj, "plug-in says no");
        return false;
    }
    else if (name == "LeakObject")
    {
        // Returned with one reference too many.
        NPObject* child = g_browser.createobject(self->npp, &g_childClass);
        g_browser.retainobject(child);
        OBJECT_TO_NPVARIANT(child, *result);
    }
    else if (name == "LeakMemory")
        std::memcpy(g_browser.memalloc(16), "forgotten block", 16);
    else if (name == "LeakIdentifierText")
        g_browser.utf8fromidentifier(id);
    else if (name == "DoubleFree")
    {
        void* block = g_browser.memalloc(8);
        g_browser.memfree(block);
        g_browser.memfree(block);
    }
    else if (name == "FreeUnknown")
    {
        static char notTheBrowsers[4];
        g_browser.memfree(notTheBrowsers);
    }
    else if (name == "ReturnStaticText")
        STRINGZ_TO_NPVARIANT("static", *result);
    else if (name == "MimeType")
        SetString(result, g_mimeType);
    else if (name == "MachineDirectory")
        SetString(result, qm::MachineDirectory().string());
    else
        return false;
    return true;
}

bool InvokeDefault(NPObject*, const NPVariant*, uint32_t argc, NPVariant* result)
{
    SetString(result, "default:" + std::to_string(argc));
    return true;
}

// One property, "Count", read and written; "ReadOnly" can be read only.
bool HasProperty(NPObject*, NPIdentifier id)
{
    const std::string name = Name(id);
    return name == "Count" || name == "ReadOnly";
}

bool GetProperty(NPObject* obj, NPIdentifier id, NPVariant* result)
{
    INT32_TO_NPVARIANT(static_cast<Scriptable*>(obj)->count, *result);
    return true;
}

bool SetProperty(NPObject* obj, NPIdentifier id, const NPVariant* value)
{
    if (Name(id) != "Count" || value->type != NPVariantType_Int32)
        return false;
    static_cast<Scriptable*>(obj)->count = value->value.intValue;
    return true;
}

NPObject* Allocate(NPP npp, NPClass*)
{
    auto* obj = new Scriptable;
    obj->npp = npp;
    return obj;
}
void Deallocate(NPObject* obj) { delete static_cast<Scriptable*>(obj); }

NPClass g_class = {NP_CLASS_STRUCT_VERSION, Allocate,    Deallocate,  nullptr, HasMethod,
                   Invoke,                  InvokeDefault, HasProperty, GetProperty,
                   SetProperty,             nullptr,     nullptr,     nullptr};

// The instance keeps one reference to its scriptable object.
NPError New(NPMIMEType type, NPP instance, uint16_t, int16_t, char*[], char*[], NPSavedData*)
{
    g_mimeType = type;
    instance->pdata = nullptr;
    return NPERR_NO_ERROR;
}

NPError Destroy(NPP instance, NPSavedData**)
{
    if (instance->pdata != nullptr)
        g_browser.releaseobject(static_cast<NPObject*>(instance->pdata));
    instance->pdata = nullptr;
    return NPERR_NO_ERROR;
}

NPError GetValue(NPP instance, NPPVariable variable, void* value)
{
    if (variable != NPPVpluginScriptableNPObject)
        return NPERR_GENERIC_ERROR;
    if (instance->pdata == nullptr)
        instance->pdata = g_browser.createobject(instance, &g_class);
    auto* obj = static_cast<NPObject*>(instance->pdata);
    *static_cast<NPObject**>(value) = g_browser.retainobject(obj);
    return NPERR_NO_ERROR;
}
} // namespace

NP_EXPORT(NPError) NP_GetEntryPoints(NPPluginFuncs* funcs)
{
    if (funcs == nullptr || funcs->size < 60)
        return NPERR_INVALID_FUNCTABLE_ERROR;
    funcs->version = 22;
    funcs->newp = New;
    funcs->destroy = Destroy;
    funcs->getvalue = GetValue;
    return NPERR_NO_ERROR;
}

NP_EXPORT(NPError) NP_Initialize(NPNetscapeFuncs* funcs)
{
    if (const char* forced = std::getenv("NPHOST_TEST_INIT_ERROR"))
        return NPError(std::atoi(forced));
    if (funcs == nullptr || funcs->size < 196 || funcs->size != sizeof(NPNetscapeFuncs))
        return NPERR_INVALID_FUNCTABLE_ERROR;
    if ((funcs->version >> 8) > 0)
        return NPERR_INCOMPATIBLE_VERSION_ERROR;
    g_browser = *funcs;
    return NPERR_NO_ERROR;
}

NP_EXPORT(NPError) NP_Shutdown(void) { return NPERR_NO_ERROR; }

NP_EXPORT(const char*) NP_GetMIMEDescription(void)
{
    return "application/x-nphost-test:tst:nphost test plug-in";
}

// As an installer calls it: report what the caller set up.
extern "C" __attribute__((visibility("default"))) void NP_Install(void)
{
    std::printf("NP_Install: elevated=%d\n", qm::IsProcessElevated() ? 1 : 0);
}
