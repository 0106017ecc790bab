// The enrollment plug-in's page-script object.
#pragma once

#include "CryptoAgent.h"
#include "ScriptMethodTable.h"

#define ENROLLMENT_PLUGIN_VERSION "3.2.0.2"

// A script number (Int32, or Double truncated toward zero); -1 for any other type.
LONG NPVariantToLong(const NPVariant& arg);

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

    bool npBrevan_GetCSPInfo(const NPVariant* args, uint32_t argCount, NPVariant* result);
    bool npBrevan_GetAllCertInfo(const NPVariant* args, uint32_t argCount, NPVariant* result);
    bool npBrevan_SetCSPInfo(const NPVariant* args, uint32_t argCount, NPVariant* result);
    bool npBrevan_SetKeyAlgorithm(const NPVariant* args, uint32_t argCount, NPVariant* result);
    bool npBrevan_GetContainer(const NPVariant* args, uint32_t argCount, NPVariant* result);
    bool npBrevan_ImportSignCert(const NPVariant* args, uint32_t argCount, NPVariant* result);
    bool npBrevan_PKCS10CertRequisition(const NPVariant* args, uint32_t argCount, NPVariant* result);
    bool npBrevan_ImportEncryptCert(const NPVariant* args, uint32_t argCount, NPVariant* result);
    bool npBrevan_GetVersion(const NPVariant* args, uint32_t argCount, NPVariant* result);
    bool npGetLastErrorDesc(const NPVariant* args, uint32_t argCount, NPVariant* result);

    // Store the call's HRESULT as the last result and set the result variant.
    bool FinishStringMethod(HRESULT hResult, bool bPlaced, NPVariant* result);
    bool FinishBooleanMethod(LPCWSTR lpwszHandler, HRESULT hResult, VARIANT_BOOL vbResult, LPCWSTR lpwszAgentStep,
                             LPCWSTR lpwszFalseReason, NPVariant* result);
    bool FailArguments(LPCWSTR lpwszHandler, HRESULT hResult, LPCWSTR lpwszStep, LPCWSTR lpwszReason,
                       bool bBooleanResult, NPVariant* result);

    NPP m_pNPInstance;
    CCryptoAgent m_objCryptoAgent;
    HRESULT m_hrLastResult;
};
