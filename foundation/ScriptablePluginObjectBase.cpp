#include "ScriptablePluginObjectBase.h"

#include "ScriptSkeleton.h"
#include "Trace.h"

NPClass g_ScriptablePluginClass = {
    NP_CLASS_STRUCT_VERSION,
    AllocateCScriptableObject,
    CScriptablePluginObjectBase::_Deallocate,
    CScriptablePluginObjectBase::_Invalidate,
    CScriptablePluginObjectBase::_HasMethod,
    CScriptablePluginObjectBase::_Invoke,
    CScriptablePluginObjectBase::_InvokeDefault,
    CScriptablePluginObjectBase::_HasProperty,
    CScriptablePluginObjectBase::_GetProperty,
    CScriptablePluginObjectBase::_SetProperty,
    CScriptablePluginObjectBase::_RemoveProperty,
    CScriptablePluginObjectBase::_Enumerate,
    CScriptablePluginObjectBase::_Construct,
};

namespace
{
CScriptablePluginObjectBase* OwnerOf(NPObject* npobj)
{
    return static_cast<CScriptablePluginObjectBase*>(npobj);
}
} // namespace

// The browser fills the NPObject header after allocation.
CScriptablePluginObjectBase::CScriptablePluginObjectBase() : NPObject{nullptr, 0} {}

CScriptablePluginObjectBase::~CScriptablePluginObjectBase() {}

void CScriptablePluginObjectBase::Invalidate()
{
    TraceHelper trace(u"CScriptablePluginObjectBase::Invalidate");
}

bool CScriptablePluginObjectBase::HasMethod(NPIdentifier name)
{
    TraceHelper trace(u"CScriptablePluginObjectBase::HasMethod");
    return false;
}

bool CScriptablePluginObjectBase::Invoke(NPIdentifier name, const NPVariant* args, uint32_t argCount,
                                         NPVariant* result)
{
    TraceHelper trace(u"CScriptablePluginObjectBase::Invoke");
    return false;
}

bool CScriptablePluginObjectBase::InvokeDefault(const NPVariant* args, uint32_t argCount, NPVariant* result)
{
    TraceHelper trace(u"CScriptablePluginObjectBase::InvokeDefault");
    return false;
}

bool CScriptablePluginObjectBase::HasProperty(NPIdentifier name)
{
    TraceHelper trace(u"CScriptablePluginObjectBase::HasProperty");
    TraceIdentifierName(name);
    return false;
}

bool CScriptablePluginObjectBase::GetProperty(NPIdentifier name, NPVariant* result)
{
    TraceHelper trace(u"CScriptablePluginObjectBase::GetProperty");
    TraceIdentifierName(name);
    return false;
}

bool CScriptablePluginObjectBase::SetProperty(NPIdentifier name, const NPVariant* value)
{
    TraceHelper trace(u"CScriptablePluginObjectBase::SetProperty");
    TraceIdentifierName(name);
    return false;
}

bool CScriptablePluginObjectBase::RemoveProperty(NPIdentifier name)
{
    TraceHelper trace(u"CScriptablePluginObjectBase::RemoveProperty");
    return false;
}

bool CScriptablePluginObjectBase::Enumerate(NPIdentifier** identifier, uint32_t* count)
{
    TraceHelper trace(u"CScriptablePluginObjectBase::Enumerate");
    return false;
}

bool CScriptablePluginObjectBase::Construct(const NPVariant* args, uint32_t argCount, NPVariant* result)
{
    TraceHelper trace(u"CScriptablePluginObjectBase::Construct");
    return false;
}

void CScriptablePluginObjectBase::_Deallocate(NPObject* npobj)
{
    TraceHelper trace(u"CScriptablePluginObjectBase::_Deallocate");
    if (npobj)
    {
        delete OwnerOf(npobj);
    }
}

void CScriptablePluginObjectBase::_Invalidate(NPObject* npobj)
{
    TraceHelper trace(u"CScriptablePluginObjectBase::_Invalidate");
    OwnerOf(npobj)->Invalidate();
}

bool CScriptablePluginObjectBase::_HasMethod(NPObject* npobj, NPIdentifier name)
{
    TraceHelper trace(u"CScriptablePluginObjectBase::_HasMethod");
    return OwnerOf(npobj)->HasMethod(name);
}

bool CScriptablePluginObjectBase::_Invoke(NPObject* npobj, NPIdentifier name, const NPVariant* args,
                                          uint32_t argCount, NPVariant* result)
{
    TraceHelper trace(u"CScriptablePluginObjectBase::_Invoke");
    return OwnerOf(npobj)->Invoke(name, args, argCount, result);
}

bool CScriptablePluginObjectBase::_InvokeDefault(NPObject* npobj, const NPVariant* args, uint32_t argCount,
                                                 NPVariant* result)
{
    TraceHelper trace(u"CScriptablePluginObjectBase::_InvokeDefault");
    return OwnerOf(npobj)->InvokeDefault(args, argCount, result);
}

bool CScriptablePluginObjectBase::_HasProperty(NPObject* npobj, NPIdentifier name)
{
    TraceHelper trace(u"CScriptablePluginObjectBase::_HasProperty");
    return OwnerOf(npobj)->HasProperty(name);
}

bool CScriptablePluginObjectBase::_GetProperty(NPObject* npobj, NPIdentifier name, NPVariant* result)
{
    TraceHelper trace(u"CScriptablePluginObjectBase::_GetProperty");
    return OwnerOf(npobj)->GetProperty(name, result);
}

bool CScriptablePluginObjectBase::_SetProperty(NPObject* npobj, NPIdentifier name, const NPVariant* value)
{
    TraceHelper trace(u"CScriptablePluginObjectBase::_SetProperty");
    return OwnerOf(npobj)->SetProperty(name, value);
}

bool CScriptablePluginObjectBase::_RemoveProperty(NPObject* npobj, NPIdentifier name)
{
    TraceHelper trace(u"CScriptablePluginObjectBase::_RemoveProperty");
    return OwnerOf(npobj)->RemoveProperty(name);
}

bool CScriptablePluginObjectBase::_Enumerate(NPObject* npobj, NPIdentifier** identifier, uint32_t* count)
{
    TraceHelper trace(u"CScriptablePluginObjectBase::_Enumerate");
    return OwnerOf(npobj)->Enumerate(identifier, count);
}

bool CScriptablePluginObjectBase::_Construct(NPObject* npobj, const NPVariant* args, uint32_t argCount,
                                             NPVariant* result)
{
    TraceHelper trace(u"CScriptablePluginObjectBase::_Construct");
    return OwnerOf(npobj)->Construct(args, argCount, result);
}
