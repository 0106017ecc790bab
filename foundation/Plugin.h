// One plug-in instance per embedded object.
#pragma once

#include <npfunctions.h>

class CPlugin
{
public:
    explicit CPlugin(NPP pNPInstance);
    ~CPlugin();

    CPlugin(const CPlugin&) = delete;
    CPlugin& operator=(const CPlugin&) = delete;

    void shut();
    int16_t handleEvent(void* pEvent);
    // A reference for the caller, or null.
    NPObject* GetScriptableObject();

private:
    NPP m_pNPInstance;
    NPObject* m_pScriptableObject;
    int m_bInitialized;
    int m_nState;
};
