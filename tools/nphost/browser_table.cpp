#include "browser_table.h"

#include <cstring>
#include <string>

#include "diagnostics.h"
#include "host_memory.h"
#include "identifiers.h"
#include "object_registry.h"

namespace nphost
{
namespace
{
std::optional<std::string> g_pendingException;

void Unsupported(const char* name) { Note(std::string(name) + " is not supported by this host"); }

const Identifier* CheckedIdentifier(NPIdentifier id, const char* caller)
{
    const Identifier* identifier = Identifiers().Find(id);
    if (identifier == nullptr)
        Fault(std::string(caller) + ": " + Hex(id) + " is not an identifier");
    return identifier;
}

// A script call on an object: the object must be alive and its class must offer the call.
NPClass* CheckedClass(NPObject* obj, const char* caller)
{
    if (obj == nullptr || !Objects().IsLive(obj))
    {
        Fault(std::string(caller) + ": " + Hex(obj) + " is not a live object");
        return nullptr;
    }
    return obj->_class;
}

// Streams, URLs and the rest of the page; a windowless script-only host has none.
NPError GetURL(NPP, const char*, const char*)
{
    Unsupported("NPN_GetURL");
    return NPERR_GENERIC_ERROR;
}
NPError PostURL(NPP, const char*, const char*, uint32_t, const char*, NPBool)
{
    Unsupported("NPN_PostURL");
    return NPERR_GENERIC_ERROR;
}
NPError RequestRead(NPStream*, NPByteRange*)
{
    Unsupported("NPN_RequestRead");
    return NPERR_GENERIC_ERROR;
}
NPError NewStream(NPP, NPMIMEType, const char*, NPStream**)
{
    Unsupported("NPN_NewStream");
    return NPERR_GENERIC_ERROR;
}
int32_t Write(NPP, NPStream*, int32_t, void*)
{
    Unsupported("NPN_Write");
    return -1;
}
NPError DestroyStream(NPP, NPStream*, NPReason)
{
    Unsupported("NPN_DestroyStream");
    return NPERR_GENERIC_ERROR;
}
void Status(NPP, const char* message) { Note(std::string("status: ") + (message ? message : "")); }
const char* UserAgent(NPP) { return "Mozilla/5.0 (Windows NT 6.1) nphost/1.0"; }

void* MemAlloc(uint32_t size) { return Memory().Allocate(size, "NPN_MemAlloc"); }
void MemFree(void* pointer) { Memory().Free(pointer, "NPN_MemFree"); }
uint32_t MemFlush(uint32_t) { return 0; }
void ReloadPlugins(NPBool) { Unsupported("NPN_ReloadPlugins"); }

NPError GetURLNotify(NPP, const char*, const char*, void*)
{
    Unsupported("NPN_GetURLNotify");
    return NPERR_GENERIC_ERROR;
}
NPError PostURLNotify(NPP, const char*, const char*, uint32_t, const char*, NPBool, void*)
{
    Unsupported("NPN_PostURLNotify");
    return NPERR_GENERIC_ERROR;
}

NPError GetValue(NPP, NPNVariable variable, void* value)
{
    if (value == nullptr)
        return NPERR_INVALID_PARAM;
    switch (variable)
    {
    case NPNVjavascriptEnabledBool:
    case NPNVSupportsWindowless:
        *static_cast<NPBool*>(value) = 1;
        return NPERR_NO_ERROR;
    case NPNVisOfflineBool:
    case NPNVprivateModeBool:
        *static_cast<NPBool*>(value) = 0;
        return NPERR_NO_ERROR;
    default:
        Note("NPN_GetValue of variable " + std::to_string(int(variable)) + " is not supported");
        return NPERR_GENERIC_ERROR;
    }
}
NPError SetValue(NPP, NPPVariable variable, void*)
{
    // Windowless and transparent are the only modes here; accept the requests.
    if (variable == NPPVpluginWindowBool || variable == NPPVpluginTransparentBool)
        return NPERR_NO_ERROR;
    Note("NPN_SetValue of variable " + std::to_string(int(variable)) + " is not supported");
    return NPERR_GENERIC_ERROR;
}
void InvalidateRect(NPP, NPRect*) {}
void InvalidateRegion(NPP, NPRegion) {}
void ForceRedraw(NPP) {}

NPIdentifier GetStringIdentifier(const NPUTF8* name)
{
    if (name == nullptr)
    {
        Fault("NPN_GetStringIdentifier with a null name");
        return nullptr;
    }
    return Identifiers().FromString(name);
}
void GetStringIdentifiers(const NPUTF8** names, int32_t count, NPIdentifier* ids)
{
    if (names == nullptr || ids == nullptr || count < 0)
    {
        Fault("NPN_GetStringIdentifiers with bad arguments");
        return;
    }
    for (int32_t i = 0; i < count; ++i)
        ids[i] = GetStringIdentifier(names[i]);
}
NPIdentifier GetIntIdentifier(int32_t number) { return Identifiers().FromInt(number); }
bool IdentifierIsString(NPIdentifier id)
{
    const Identifier* identifier = CheckedIdentifier(id, "NPN_IdentifierIsString");
    return identifier != nullptr && identifier->isString;
}
NPUTF8* UTF8FromIdentifier(NPIdentifier id)
{
    const Identifier* identifier = CheckedIdentifier(id, "NPN_UTF8FromIdentifier");
    if (identifier == nullptr || !identifier->isString)
        return nullptr;
    // The caller owns the copy and frees it with NPN_MemFree.
    const auto size = uint32_t(identifier->name.size() + 1);
    auto* copy = static_cast<NPUTF8*>(Memory().Allocate(size, "NPN_UTF8FromIdentifier"));
    if (copy != nullptr)
        std::memcpy(copy, identifier->name.c_str(), size);
    return copy;
}
int32_t IntFromIdentifier(NPIdentifier id)
{
    const Identifier* identifier = CheckedIdentifier(id, "NPN_IntFromIdentifier");
    if (identifier == nullptr || identifier->isString)
        return INT32_MIN;
    return identifier->number;
}

NPObject* CreateObject(NPP npp, NPClass* aClass) { return Objects().Create(npp, aClass); }
NPObject* RetainObject(NPObject* obj) { return Objects().Retain(obj); }
void ReleaseObject(NPObject* obj) { Objects().Release(obj); }

bool Invoke(NPP, NPObject* obj, NPIdentifier name, const NPVariant* args, uint32_t count,
            NPVariant* result)
{
    NPClass* aClass = CheckedClass(obj, "NPN_Invoke");
    if (aClass == nullptr || aClass->invoke == nullptr ||
        !CheckedIdentifier(name, "NPN_Invoke"))
        return false;
    return aClass->invoke(obj, name, args, count, result);
}
bool InvokeDefault(NPP, NPObject* obj, const NPVariant* args, uint32_t count, NPVariant* result)
{
    NPClass* aClass = CheckedClass(obj, "NPN_InvokeDefault");
    if (aClass == nullptr || aClass->invokeDefault == nullptr)
        return false;
    return aClass->invokeDefault(obj, args, count, result);
}
bool Evaluate(NPP, NPObject*, NPString*, NPVariant*)
{
    Unsupported("NPN_Evaluate");
    return false;
}
bool GetProperty(NPP, NPObject* obj, NPIdentifier name, NPVariant* result)
{
    NPClass* aClass = CheckedClass(obj, "NPN_GetProperty");
    if (aClass == nullptr || aClass->getProperty == nullptr ||
        !CheckedIdentifier(name, "NPN_GetProperty"))
        return false;
    return aClass->getProperty(obj, name, result);
}
bool SetProperty(NPP, NPObject* obj, NPIdentifier name, const NPVariant* value)
{
    NPClass* aClass = CheckedClass(obj, "NPN_SetProperty");
    if (aClass == nullptr || aClass->setProperty == nullptr ||
        !CheckedIdentifier(name, "NPN_SetProperty"))
        return false;
    return aClass->setProperty(obj, name, value);
}
bool RemoveProperty(NPP, NPObject* obj, NPIdentifier name)
{
    NPClass* aClass = CheckedClass(obj, "NPN_RemoveProperty");
    if (aClass == nullptr || aClass->removeProperty == nullptr ||
        !CheckedIdentifier(name, "NPN_RemoveProperty"))
        return false;
    return aClass->removeProperty(obj, name);
}
bool HasProperty(NPP, NPObject* obj, NPIdentifier name)
{
    NPClass* aClass = CheckedClass(obj, "NPN_HasProperty");
    if (aClass == nullptr || aClass->hasProperty == nullptr ||
        !CheckedIdentifier(name, "NPN_HasProperty"))
        return false;
    return aClass->hasProperty(obj, name);
}
bool HasMethod(NPP, NPObject* obj, NPIdentifier name)
{
    NPClass* aClass = CheckedClass(obj, "NPN_HasMethod");
    if (aClass == nullptr || aClass->hasMethod == nullptr ||
        !CheckedIdentifier(name, "NPN_HasMethod"))
        return false;
    return aClass->hasMethod(obj, name);
}

void ReleaseVariantValue(NPVariant* variant)
{
    if (variant == nullptr)
        return;
    if (variant->type == NPVariantType_String)
    {
        auto* chars = const_cast<NPUTF8*>(variant->value.stringValue.UTF8Characters);
        Memory().Free(chars, "NPN_ReleaseVariantValue (string)");
    }
    else if (variant->type == NPVariantType_Object)
        Objects().Release(variant->value.objectValue);
    VOID_TO_NPVARIANT(*variant);
}

void SetException(NPObject*, const NPUTF8* message)
{
    g_pendingException = message != nullptr ? message : "";
}

void PushPopupsEnabledState(NPP, NPBool) {}
void PopPopupsEnabledState(NPP) {}

bool Enumerate(NPP, NPObject* obj, NPIdentifier** ids, uint32_t* count)
{
    NPClass* aClass = CheckedClass(obj, "NPN_Enumerate");
    if (aClass == nullptr || !NP_CLASS_STRUCT_VERSION_HAS_ENUM(aClass) ||
        aClass->enumerate == nullptr)
        return false;
    return aClass->enumerate(obj, ids, count);
}
void PluginThreadAsyncCall(NPP, void (*)(void*), void*)
{
    Unsupported("NPN_PluginThreadAsyncCall (the call is dropped)");
}
bool Construct(NPP, NPObject* obj, const NPVariant* args, uint32_t count, NPVariant* result)
{
    NPClass* aClass = CheckedClass(obj, "NPN_Construct");
    if (aClass == nullptr || !NP_CLASS_STRUCT_VERSION_HAS_CTOR(aClass) ||
        aClass->construct == nullptr)
        return false;
    return aClass->construct(obj, args, count, result);
}
NPError GetValueForURL(NPP, NPNURLVariable, const char*, char**, uint32_t*)
{
    Unsupported("NPN_GetValueForURL");
    return NPERR_GENERIC_ERROR;
}
NPError SetValueForURL(NPP, NPNURLVariable, const char*, const char*, uint32_t)
{
    Unsupported("NPN_SetValueForURL");
    return NPERR_GENERIC_ERROR;
}
NPError GetAuthenticationInfo(NPP, const char*, const char*, int32_t, const char*, const char*,
                              char**, uint32_t*, char**, uint32_t*)
{
    Unsupported("NPN_GetAuthenticationInfo");
    return NPERR_GENERIC_ERROR;
}
uint32_t ScheduleTimer(NPP, uint32_t, NPBool, void (*)(NPP, uint32_t))
{
    Unsupported("NPN_ScheduleTimer");
    return 0;
}
void UnscheduleTimer(NPP, uint32_t) { Unsupported("NPN_UnscheduleTimer"); }
NPError PopUpContextMenu(NPP, NPMenu*)
{
    Unsupported("NPN_PopUpContextMenu");
    return NPERR_GENERIC_ERROR;
}
NPBool ConvertPoint(NPP, double, double, NPCoordinateSpace, double*, double*, NPCoordinateSpace)
{
    Unsupported("NPN_ConvertPoint");
    return 0;
}
NPBool HandleEvent(NPP, void*, NPBool)
{
    Unsupported("NPN_HandleEvent");
    return 0;
}
NPBool UnfocusInstance(NPP, NPFocusDirection)
{
    Unsupported("NPN_UnfocusInstance");
    return 0;
}
void URLRedirectResponse(NPP, void*, NPBool) { Unsupported("NPN_URLRedirectResponse"); }

NPNetscapeFuncs MakeTable()
{
    NPNetscapeFuncs funcs{};
    funcs.size = sizeof(NPNetscapeFuncs);
    funcs.version = (NP_VERSION_MAJOR << 8) | NP_VERSION_MINOR;
    funcs.geturl = GetURL;
    funcs.posturl = PostURL;
    funcs.requestread = RequestRead;
    funcs.newstream = NewStream;
    funcs.write = Write;
    funcs.destroystream = DestroyStream;
    funcs.status = Status;
    funcs.uagent = UserAgent;
    funcs.memalloc = MemAlloc;
    funcs.memfree = MemFree;
    funcs.memflush = MemFlush;
    funcs.reloadplugins = ReloadPlugins;
    funcs.getJavaEnv = nullptr;
    funcs.getJavaPeer = nullptr;
    funcs.geturlnotify = GetURLNotify;
    funcs.posturlnotify = PostURLNotify;
    funcs.getvalue = GetValue;
    funcs.setvalue = SetValue;
    funcs.invalidaterect = InvalidateRect;
    funcs.invalidateregion = InvalidateRegion;
    funcs.forceredraw = ForceRedraw;
    funcs.getstringidentifier = GetStringIdentifier;
    funcs.getstringidentifiers = GetStringIdentifiers;
    funcs.getintidentifier = GetIntIdentifier;
    funcs.identifierisstring = IdentifierIsString;
    funcs.utf8fromidentifier = UTF8FromIdentifier;
    funcs.intfromidentifier = IntFromIdentifier;
    funcs.createobject = CreateObject;
    funcs.retainobject = RetainObject;
    funcs.releaseobject = ReleaseObject;
    funcs.invoke = Invoke;
    funcs.invokeDefault = InvokeDefault;
    funcs.evaluate = Evaluate;
    funcs.getproperty = GetProperty;
    funcs.setproperty = SetProperty;
    funcs.removeproperty = RemoveProperty;
    funcs.hasproperty = HasProperty;
    funcs.hasmethod = HasMethod;
    funcs.releasevariantvalue = ReleaseVariantValue;
    funcs.setexception = SetException;
    funcs.pushpopupsenabledstate = PushPopupsEnabledState;
    funcs.poppopupsenabledstate = PopPopupsEnabledState;
    funcs.enumerate = Enumerate;
    funcs.pluginthreadasynccall = PluginThreadAsyncCall;
    funcs.construct = Construct;
    funcs.getvalueforurl = GetValueForURL;
    funcs.setvalueforurl = SetValueForURL;
    funcs.getauthenticationinfo = GetAuthenticationInfo;
    funcs.scheduletimer = ScheduleTimer;
    funcs.unscheduletimer = UnscheduleTimer;
    funcs.popupcontextmenu = PopUpContextMenu;
    funcs.convertpoint = ConvertPoint;
    funcs.handleevent = HandleEvent;
    funcs.unfocusinstance = UnfocusInstance;
    funcs.urlredirectresponse = URLRedirectResponse;
    return funcs;
}
} // namespace

static_assert(sizeof(NPNetscapeFuncs) >= 196 && sizeof(NPNetscapeFuncs) <= UINT16_MAX);

NPNetscapeFuncs& BrowserFuncs()
{
    static NPNetscapeFuncs funcs = MakeTable();
    return funcs;
}

std::optional<std::string> TakePendingException()
{
    auto message = std::move(g_pendingException);
    g_pendingException.reset();
    return message;
}
} // namespace nphost
