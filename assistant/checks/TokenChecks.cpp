#include "TokenChecks.h"

#include <algorithm>
#include <cstring>

#include "MiddlewareConfig.h"

CCheckBase::~CCheckBase() = default;

int LoadTokenLibrary(CCheckBase* check)
{
    check->m_functions = nullptr;
    check->m_module = nullptr;
    check->m_module = LoadLibraryA(g_middlewareConfig.pkcs11Library);
    if (!check->m_module)
        return 1;
    auto getList = reinterpret_cast<CK_RV (*)(CK_FUNCTION_LIST**)>(GetProcAddress(check->m_module, "C_GetFunctionList"));
    if (!getList)
        return 1;
    CK_FUNCTION_LIST* list = nullptr;
    if (getList(&list) != CKR_OK || !list)
        return 1;
    check->m_functions = list;
    CK_RV rv = list->C_Initialize(nullptr);
    return rv == CKR_OK || rv == CKR_CRYPTOKI_ALREADY_INITIALIZED ? 0 : 1;
}

int EnumTokenSlots(CCheckBase* check)
{
    check->m_slotCount = 0;
    if (LoadTokenLibrary(check) != 0 || !check->m_module || !check->m_functions)
        return -1;
    CK_FUNCTION_LIST* f = check->m_functions;
    CK_ULONG count = 0;
    if (f->C_GetSlotList(CK_TRUE, nullptr, &count) != CKR_OK)
        return -1;
    std::vector<CK_SLOT_ID> slots(count);
    if (f->C_GetSlotList(CK_TRUE, slots.data(), &count) != CKR_OK || count == 0)
        return -1;
    slots.resize(count);
    check->m_slotCount = uint32_t(count);
    check->m_slotIds.assign(slots.begin(), slots.end());

    check->m_tokens.clear();
    for (CK_SLOT_ID slot : slots)
    {
        CK_SESSION_HANDLE session = 0;
        f->C_OpenSession(slot, CKF_SERIAL_SESSION | CKF_RW_SESSION, nullptr, nullptr, &session);
        auto known = std::find_if(check->m_tokens.begin(), check->m_tokens.end(),
                                  [&](const TokenSlotInfo& t) { return t.slotId == int32_t(slot); });
        if (known != check->m_tokens.end())
        {
            known->session = int32_t(session);
            known->certCount = known->notInMy = known->expired = known->expiringSoon = known->notYetValid = -1;
        }
        else
        {
            check->m_tokens.push_back({int32_t(slot), int32_t(session), -1, -1, -1, -1, -1});
        }
    }
    return int(count);
}

namespace
{
// 1 when the user's "MY" store holds these bytes, 0 when not, -1 when it does not open.
int InMyStore(const std::vector<BYTE>& der)
{
    HCERTSTORE store = CertOpenStore(CERT_STORE_PROV_SYSTEM_A, 0, 0, CERT_SYSTEM_STORE_CURRENT_USER, "MY");
    if (!store)
        return -1;
    bool found = false;
    PCCERT_CONTEXT cert = nullptr;
    while ((cert = CertEnumCertificatesInStore(store, cert)) != nullptr)
    {
        if (cert->cbCertEncoded == der.size() && std::memcmp(cert->pbCertEncoded, der.data(), der.size()) == 0)
        {
            found = true;
            CertFreeCertificateContext(cert);
            break;
        }
    }
    CertCloseStore(store, 0);
    return found ? 1 : 0;
}

void CountSlot(CK_FUNCTION_LIST* f, TokenSlotInfo& token)
{
    CK_SESSION_HANDLE session = CK_SESSION_HANDLE(uint32_t(token.session));
    // A CK_ULONG of the library's own width (4 bytes for the vendor's 32-bit library).
    CK_OBJECT_CLASS certClass = CKO_CERTIFICATE;
    CK_ATTRIBUTE match = {CKA_CLASS, &certClass, sizeof certClass};
    int32_t counts[5] = {0, 0, 0, 0, 0}; // certificates, not in MY, expired, expiring, not yet valid
    f->C_FindObjectsInit(session, &match, 1);
    {
        for (;;)
        {
            CK_OBJECT_HANDLE object = 0;
            CK_ULONG found = 0;
            if (f->C_FindObjects(session, &object, 1, &found) != CKR_OK || found != 1)
                break;
            ++counts[0];
            ++counts[1];
            CK_ATTRIBUTE value = {CKA_VALUE, nullptr, 0};
            if (f->C_GetAttributeValue(session, object, &value, 1) != CKR_OK ||
                value.ulValueLen == CK_UNAVAILABLE_INFORMATION)
                break;
            std::vector<BYTE> der(value.ulValueLen + 1, 0);
            value.pValue = der.data();
            if (f->C_GetAttributeValue(session, object, &value, 1) != CKR_OK)
                break;
            der.resize(value.ulValueLen);
            int inMy = InMyStore(der);
            if (inMy < 0)
                break;
            if (inMy)
                --counts[1];
            CertValidityText validity;
            if (PCCERT_CONTEXT cert = CertCreateCertificateContext(X509_ASN_ENCODING, der.data(), DWORD(der.size())))
                ParseCertificateInfo(cert, &validity);
            int state = CompareCertValidity(validity.notAfter.empty() ? nullptr : validity.notAfter.c_str(),
                                            validity.notBefore.empty() ? nullptr : validity.notBefore.c_str());
            if (state >= 1 && state <= 3)
                ++counts[1 + state];
        }
    }
    f->C_FindObjectsFinal(session);
    f->C_CloseSession(session);
    token.certCount = counts[0];
    token.notInMy = counts[1];
    token.expired = counts[2];
    token.expiringSoon = counts[3];
    token.notYetValid = counts[4];
}
} // namespace

int ReadTokenCertificates(CCheckBase* check)
{
    if (!check->m_functions)
        return 0;
    for (TokenSlotInfo& token : check->m_tokens)
        CountSlot(check->m_functions, token);
    if (check->m_module)
    {
        check->m_functions->C_Finalize(nullptr);
        check->m_functions = nullptr;
        FreeLibrary(check->m_module);
        check->m_module = nullptr;
    }
    return 1;
}
