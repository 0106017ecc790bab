// The signing plug-in's page-script object.
#pragma once

#include "CryptoAgent.h"
#include "ScriptablePluginObjectBase.h"

#define SIGNING_PLUGIN_VERSION "3.4.0.2"

class CScriptablePluginObject : public CScriptablePluginObjectBase
{
public:
    explicit CScriptablePluginObject(NPP npp);
    ~CScriptablePluginObject() override;

    bool HasMethod(NPIdentifier name) override;
    bool Invoke(NPIdentifier name, const NPVariant* args, uint32_t argCount, NPVariant* result) override;
    bool InvokeDefault(const NPVariant* args, uint32_t argCount, NPVariant* result) override;
    bool HasProperty(NPIdentifier name) override;
    bool GetProperty(NPIdentifier name, NPVariant* result) override;
    bool SetProperty(NPIdentifier name, const NPVariant* value) override;

private:
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
