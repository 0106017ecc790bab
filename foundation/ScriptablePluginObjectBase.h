// The scriptable-object base: one virtual operation per NPClass callback, and the static
// class whose callbacks forward to them.
#pragma once

#include <npfunctions.h>

class CScriptablePluginObjectBase : public NPObject
{
public:
    CScriptablePluginObjectBase();
    virtual ~CScriptablePluginObjectBase();

    CScriptablePluginObjectBase(const CScriptablePluginObjectBase&) = delete;
    CScriptablePluginObjectBase& operator=(const CScriptablePluginObjectBase&) = delete;

    virtual void Invalidate();
    virtual bool HasMethod(NPIdentifier name);
    virtual bool Invoke(NPIdentifier name, const NPVariant* args, uint32_t argCount, NPVariant* result);
    virtual bool InvokeDefault(const NPVariant* args, uint32_t argCount, NPVariant* result);
    virtual bool HasProperty(NPIdentifier name);
    virtual bool GetProperty(NPIdentifier name, NPVariant* result);
    virtual bool SetProperty(NPIdentifier name, const NPVariant* value);
    virtual bool RemoveProperty(NPIdentifier name);
    virtual bool Enumerate(NPIdentifier** identifier, uint32_t* count);
    virtual bool Construct(const NPVariant* args, uint32_t argCount, NPVariant* result);

    static void _Deallocate(NPObject* npobj);
    static void _Invalidate(NPObject* npobj);
    static bool _HasMethod(NPObject* npobj, NPIdentifier name);
    static bool _Invoke(NPObject* npobj, NPIdentifier name, const NPVariant* args, uint32_t argCount,
                        NPVariant* result);
    static bool _InvokeDefault(NPObject* npobj, const NPVariant* args, uint32_t argCount, NPVariant* result);
    static bool _HasProperty(NPObject* npobj, NPIdentifier name);
    static bool _GetProperty(NPObject* npobj, NPIdentifier name, NPVariant* result);
    static bool _SetProperty(NPObject* npobj, NPIdentifier name, const NPVariant* value);
    static bool _RemoveProperty(NPObject* npobj, NPIdentifier name);
    static bool _Enumerate(NPObject* npobj, NPIdentifier** identifier, uint32_t* count);
    static bool _Construct(NPObject* npobj, const NPVariant* args, uint32_t argCount, NPVariant* result);
};

// Supplied by each plug-in: creates its CScriptablePluginObject for the instance and returns
// the object's NPObject header, or null.
NPObject* AllocateCScriptableObject(NPP npp, NPClass* aClass);

// The library's static class (allocate = AllocateCScriptableObject).
extern NPClass g_ScriptablePluginClass;
