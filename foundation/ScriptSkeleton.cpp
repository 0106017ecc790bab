#include "ScriptSkeleton.h"

#include <cstring>

#include "NpnGates.h"
#include "Trace.h"
#include "ZeroedArray.h"

void TraceIdentifierName(NPIdentifier name)
{
    if (!IsTraceFlagEnabled(TRACE_FLAG_INFO))
    {
        return;
    }
    NPUTF8* pszName = NPN_UTF8FromIdentifier(name);
    QM_TRACE_INFO(pszName);
    NPN_MemFree(pszName);
}

bool SkeletonHasProperty(NPIdentifier name)
{
    TraceHelper trace(u"CScriptablePluginObject::HasProperty");
    TraceIdentifierName(name);
    return false;
}

bool SkeletonGetProperty(NPIdentifier name, NPVariant* result)
{
    TraceHelper trace(u"CScriptablePluginObject::GetProperty");
    TraceIdentifierName(name);
    return false;
}

bool SkeletonSetProperty(NPIdentifier name, const NPVariant* value)
{
    TraceHelper trace(u"CScriptablePluginObject::SetProperty");
    TraceIdentifierName(name);
    return false;
}

bool SkeletonInvokeDefault(const NPVariant* args, uint32_t argCount, NPVariant* result)
{
    TraceHelper trace(u"CScriptablePluginObject::InvokeDefault");
    static const char s_szDefault[] = DEFAULT_METHOD_RETURN_VALUE;
    if (!result)
    {
        return false;
    }
    char* pszCopy = static_cast<char*>(NPN_MemAlloc(sizeof(s_szDefault)));
    if (!pszCopy)
    {
        TraceResult(E_OUTOFMEMORY, u"NPN_MemAlloc");
        return false;
    }
    memcpy(pszCopy, s_szDefault, sizeof(s_szDefault));
    STRINGN_TO_NPVARIANT(pszCopy, sizeof(s_szDefault) - 1, *result);
    return true;
}

bool ConvertStringToNPVariant(const char* pszText, NPVariant* result)
{
    TraceHelper trace(u"ConvertStringToNPVariant");
    if (!pszText || !result)
    {
        QM_TRACE_ERROR(u"ConvertStringToNPVariant", u"!pszText");
        return false;
    }
    size_t cbText = strlen(pszText);
    if (cbText >= 0xFFFFFFFFUL)
    {
        QM_TRACE_ERROR(u"ConvertStringToNPVariant", u"cbText");
        return false;
    }
    char* pszCopy = static_cast<char*>(NPN_MemAlloc((uint32_t)(cbText + 1)));
    if (!pszCopy)
    {
        QM_TRACE_ERROR(u"ConvertStringToNPVariant", u"!NPN_MemAlloc");
        return false;
    }
    memcpy(pszCopy, pszText, cbText + 1);
    STRINGN_TO_NPVARIANT(pszCopy, cbText, *result);
    return true;
}

void TraceParameterInfo(const NPVariant* args, uint32_t argCount)
{
    TraceHelper trace(u"TraceParameterInfo");
    if (!IsTraceFlagEnabled(TRACE_FLAG_INFO))
    {
        return;
    }
    QM_TRACE_INFO(argCount);
    for (uint32_t i = 0; args && i < argCount; ++i)
    {
        const NPVariant& arg = args[i];
        switch (arg.type)
        {
        case NPVariantType_Void:
            QM_TRACE_INFO(i, u"Void");
            break;
        case NPVariantType_Null:
            QM_TRACE_INFO(i, u"Null");
            break;
        case NPVariantType_Bool:
        {
            int32_t nValue = NPVARIANT_TO_BOOLEAN(arg) ? 1 : 0;
            QM_TRACE_INFO(i, u"Bool", nValue);
            break;
        }
        case NPVariantType_Int32:
        {
            int32_t nValue = NPVARIANT_TO_INT32(arg);
            QM_TRACE_INFO(i, u"Int32", nValue);
            break;
        }
        case NPVariantType_Double:
        {
            double dValue = NPVARIANT_TO_DOUBLE(arg);
            QM_TRACE_INFO(i, u"Double", dValue);
            break;
        }
        case NPVariantType_String:
            QM_TRACE_INFO(i, u"String");
            break;
        case NPVariantType_Object:
            QM_TRACE_INFO(i, u"Object");
            break;
        default:
            QM_TRACE_INFO(i, u"Unknown");
            break;
        }
    }
}

HRESULT ConverNPStringtoNULLEndString(char** ppszText, const NPUTF8* pchUTF8, uint32_t cbLength)
{
    TraceHelper trace(u"ConverNPStringtoNULLEndString");
    if (!ppszText || (!pchUTF8 && cbLength))
    {
        TraceResult(E_POINTER, u"Check parameter");
        return E_POINTER;
    }
    // The copy fills the buffer; only the terminator is left to set.
    char* pszText = NewUnclearedArray<char>((unsigned long long)cbLength + 1);
    if (!pszText)
    {
        TraceResult(E_OUTOFMEMORY, u"New Memory");
        return E_OUTOFMEMORY;
    }
    if (cbLength)
    {
        memcpy(pszText, pchUTF8, cbLength);
    }
    pszText[cbLength] = 0;
    *ppszText = pszText;
    QM_TRACE_INFO(cbLength, pszText);
    return S_OK;
}
