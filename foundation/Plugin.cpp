#include "Plugin.h"

#include "NpnGates.h"
#include "Trace.h"

CPlugin::CPlugin(NPP pNPInstance)
    : m_pNPInstance(pNPInstance), m_pScriptableObject(nullptr), m_bInitialized(0), m_nState(0)
{
    TraceHelper trace(u"CPlugin::CPlugin");
    m_pNPInstance->pdata = this;
}

CPlugin::~CPlugin()
{
    TraceHelper trace(u"CPlugin::~CPlugin");
    if (m_pScriptableObject)
    {
        NPN_ReleaseObject(m_pScriptableObject);
        m_pScriptableObject = nullptr;
    }
}

void CPlugin::shut()
{
    TraceHelper trace(u"CPlugin::shut");
    m_bInitialized = 0;
    m_nState = 0;
}

int16_t CPlugin::handleEvent(void* pEvent)
{
    TraceHelper trace(u"CPlugin::handleEvent");
    return 0;
}

NPObject* CPlugin::GetScriptableObject()
{
    TraceHelper trace(u"CPlugin::GetScriptableObject");
    if (!m_pScriptableObject)
    {
        if (!g_pPluginClass)
        {
            QM_TRACE_ERROR(u"CPlugin::GetScriptableObject", u"!g_pPluginClass");
            return nullptr;
        }
        m_pScriptableObject = NPN_CreateObject(m_pNPInstance);
    }
    if (m_pScriptableObject)
    {
        NPN_RetainObject(m_pScriptableObject);
    }
    return m_pScriptableObject;
}
