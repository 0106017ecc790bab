// The signing plug-in's page-script object.
#pragma once

#include "CryptoAgent.h"
#include "ScriptMethodTable.h"

#define SIGNING_PLUGIN_VERSION "3.4.0.2"

class CScriptablePluginObject : public CScriptMethodTableObject<CScriptablePluginObject>
{
public:
    explicit CScriptablePluginObject(NPP npp);
    ~CScriptablePluginObject() override;

    bool HasMethod(NPIdentifier name) override;

private:
    friend class CScriptMethodTableObject<CScriptablePluginObject>;

    // The script methods, in matching order.
    static const SCRIPT_METHOD<CScriptablePluginObject> s_rgMethods[];

    bool npSelectCertificate(const NPVariant* args, uint32_t argCount, NPVariant* result);
    bool npGetSignCertInfo(const NPVariant* args, uint32_t argCount, NPVariant* result);
    bool npSignMsgPKCS7(const NPVariant* args, uint32_t argCount, NPVariant* result);
    bool npSignHashMsgPKCS7Detached(const NPVariant* args, uint32_t argCount, NPVariant* result);
    bool npGetVersion(const NPVariant* args, uint32_t argCount, NPVariant* result);
    bool npGetLastErrorDesc(const NPVariant* args, uint32_t argCount, NPVariant* result);

    NPP m_pNPInstance;
    CCryptoAgent m_objCryptoAgent;
    HRESULT m_hrLastResult;
};
