// The table both CScriptablePluginObject classes answer HasMethod and Invoke from, and the
// base that dispatches through it.
#pragma once

#include <cstddef>
#include <new>

#include <npfunctions.h>

#include "NpnGates.h"
#include "ScriptSkeleton.h"
#include "ScriptablePluginObjectBase.h"
#include "Trace.h"

// One script method: its case-sensitive name and the handler that runs it.
template <class T>
struct SCRIPT_METHOD
{
    const NPUTF8* pszName;
    bool (T::*pfnHandler)(const NPVariant* args, uint32_t argCount, NPVariant* result);
};

// The first entry in table order whose name the browser maps to the identifier, or null.
// The identifiers are asked for on every call: the browser owns them.
template <class T, size_t N>
const SCRIPT_METHOD<T>* FindScriptMethod(const SCRIPT_METHOD<T> (&rgMethods)[N], NPIdentifier name)
{
    for (const SCRIPT_METHOD<T>& method : rgMethods)
    {
        if (name == NPN_GetStringIdentifier(method.pszName))
        {
            return &method;
        }
    }
    return nullptr;
}

// Invoke of a script object: traces the call, runs the matching handler; an unknown name is
// traced as an error and gives false with the result untouched.
template <class T, size_t N>
bool InvokeScriptMethod(T* pObject, const SCRIPT_METHOD<T> (&rgMethods)[N], NPIdentifier name,
                        const NPVariant* args, uint32_t argCount, NPVariant* result)
{
    TraceHelper trace(u"CScriptablePluginObject::Invoke");
    TraceIdentifierName(name);
    QM_TRACE_INFO(argCount);
    const SCRIPT_METHOD<T>* pMethod = FindScriptMethod(rgMethods, name);
    if (!pMethod)
    {
        QM_TRACE_ERROR(u"CScriptablePluginObject::Invoke", u"unknown method");
        return false;
    }
    return (pObject->*pMethod->pfnHandler)(args, argCount, result);
}

// The allocate step of a plug-in's AllocateCScriptableObject: one T for the instance, null
// when memory runs out.
template <class T>
NPObject* NewScriptObject(NPP npp)
{
    TraceHelper trace(u"AllocateCScriptableObject");
    return new (std::nothrow) T(npp);
}

// A script object whose methods are T::s_rgMethods: Invoke dispatches through the table, the
// property handlers and the default invocation are the skeleton's. Adds no field and no
// virtual operation, so T's layout and slots stay those of CScriptablePluginObjectBase.
template <class T>
class CScriptMethodTableObject : public CScriptablePluginObjectBase
{
public:
    bool Invoke(NPIdentifier name, const NPVariant* args, uint32_t argCount, NPVariant* result) override
    {
        return InvokeScriptMethod(static_cast<T*>(this), T::s_rgMethods, name, args, argCount, result);
    }
    bool InvokeDefault(const NPVariant* args, uint32_t argCount, NPVariant* result) override
    {
        return SkeletonInvokeDefault(args, argCount, result);
    }
    bool HasProperty(NPIdentifier name) override { return SkeletonHasProperty(name); }
    bool GetProperty(NPIdentifier name, NPVariant* result) override { return SkeletonGetProperty(name, result); }
    bool SetProperty(NPIdentifier name, const NPVariant* value) override
    {
        return SkeletonSetProperty(name, value);
    }

protected:
    // True when the name is in the table.
    static bool IsScriptMethod(NPIdentifier name) { return FindScriptMethod(T::s_rgMethods, name) != nullptr; }
};
