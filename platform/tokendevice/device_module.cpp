// The vendor's PKCS#11 library as the kit sees it: SoftHSM2 holds the tokens, and this
// module answers as the USB device does. SoftHSM2 always offers one more slot with a free,
// uninitialised token; a USB reader has no such slot, so it is not shown. A token whose
// label is on the machine's list of removed tokens is out of its reader: its slot has no
// token present, and its sessions answer CKR_DEVICE_REMOVED.
#include <dlfcn.h>

#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <utility>
#include <vector>

#include "p11-kit/pkcs11.h"
#include "qm/machine.h"
#include "removed_tokens.h"

namespace
{
CK_FUNCTION_LIST* g_store = nullptr; // SoftHSM2's own list
CK_FUNCTION_LIST g_device = {};
std::once_flag g_loaded;

enum class Slot
{
    Hidden,  // no such slot on the device
    Empty,   // the reader is there, its token is out
    Present, // a token is in
};

Slot SlotState(CK_SLOT_ID slot)
{
    CK_TOKEN_INFO info = {};
    if (g_store->C_GetTokenInfo(slot, &info) != CKR_OK || !(info.flags & CKF_TOKEN_INITIALIZED))
        return Slot::Hidden;
    return qm::tokendevice::RemovedTokenLabels().count(qm::tokendevice::LabelText(info.label)) ? Slot::Empty
                                                                                               : Slot::Present;
}

// CKR_OK when the slot's token may be used; else what the device answers.
CK_RV TokenReady(CK_SLOT_ID slot)
{
    switch (SlotState(slot))
    {
    case Slot::Hidden:
        return CKR_SLOT_ID_INVALID;
    case Slot::Empty:
        return CKR_TOKEN_NOT_PRESENT;
    default:
        return CKR_OK;
    }
}

CK_RV Initialize(void* args)
{
    // The machine keeps the tokens' storage; SoftHSM2 reads where from its configuration.
    auto conf = qm::MachineDirectory() / "softhsm2.conf";
    std::error_code ec;
    if (std::filesystem::is_regular_file(conf, ec))
        ::setenv("SOFTHSM2_CONF", conf.c_str(), 1);
    return g_store->C_Initialize(args);
}

CK_RV GetSlotList(CK_BBOOL tokenPresent, CK_SLOT_ID_PTR list, CK_ULONG_PTR count)
{
    if (!count)
        return CKR_ARGUMENTS_BAD;
    CK_ULONG n = 0;
    if (CK_RV rv = g_store->C_GetSlotList(CK_FALSE, nullptr, &n); rv != CKR_OK)
        return rv;
    std::vector<CK_SLOT_ID> all(n);
    if (CK_RV rv = g_store->C_GetSlotList(CK_FALSE, all.data(), &n); rv != CKR_OK)
        return rv;
    all.resize(n);
    std::vector<CK_SLOT_ID> shown;
    for (CK_SLOT_ID slot : all)
    {
        Slot state = SlotState(slot);
        if (state == Slot::Present || (state == Slot::Empty && !tokenPresent))
            shown.push_back(slot);
    }
    if (!list)
    {
        *count = shown.size();
        return CKR_OK;
    }
    if (*count < shown.size())
    {
        *count = shown.size();
        return CKR_BUFFER_TOO_SMALL;
    }
    std::copy(shown.begin(), shown.end(), list);
    *count = shown.size();
    return CKR_OK;
}

CK_RV GetSlotInfo(CK_SLOT_ID slot, CK_SLOT_INFO_PTR info)
{
    Slot state = SlotState(slot);
    if (state == Slot::Hidden)
        return CKR_SLOT_ID_INVALID;
    CK_RV rv = g_store->C_GetSlotInfo(slot, info);
    if (rv == CKR_OK)
    {
        info->flags |= CKF_REMOVABLE_DEVICE | CKF_HW_SLOT;
        if (state == Slot::Empty)
            info->flags &= ~CK_FLAGS(CKF_TOKEN_PRESENT);
    }
    return rv;
}

// Slot functions: only a slot with its token in.
template <auto Field, typename F>
struct SlotGate;
template <auto Field, typename... A>
struct SlotGate<Field, CK_RV (*)(CK_SLOT_ID, A...)>
{
    static CK_RV Call(CK_SLOT_ID slot, A... args)
    {
        if (CK_RV rv = TokenReady(slot); rv != CKR_OK)
            return rv;
        return (g_store->*Field)(slot, args...);
    }
};

// Session functions: a session on a token that was pulled out is gone with it.
template <auto Field, typename F>
struct SessionGate;
template <auto Field, typename... A>
struct SessionGate<Field, CK_RV (*)(CK_SESSION_HANDLE, A...)>
{
    static CK_RV Call(CK_SESSION_HANDLE session, A... args)
    {
        CK_SESSION_INFO info = {};
        if (g_store->C_GetSessionInfo(session, &info) == CKR_OK && SlotState(info.slotID) == Slot::Empty)
            return CKR_DEVICE_REMOVED;
        return (g_store->*Field)(session, args...);
    }
};

#define QM_SLOT_GATE(name) g_device.name = &SlotGate<&CK_FUNCTION_LIST::name, CK_##name>::Call
#define QM_SESSION_GATE(name) g_device.name = &SessionGate<&CK_FUNCTION_LIST::name, CK_##name>::Call

void Load()
{
    void* store = ::dlopen(QM_SOFTHSM2_LIB, RTLD_NOW | RTLD_LOCAL);
    if (!store)
        return;
    auto get = reinterpret_cast<CK_C_GetFunctionList>(::dlsym(store, "C_GetFunctionList"));
    if (!get || get(&g_store) != CKR_OK || !g_store)
    {
        g_store = nullptr;
        return;
    }
    g_device = *g_store;
    g_device.C_Initialize = Initialize;
    g_device.C_GetSlotList = GetSlotList;
    g_device.C_GetSlotInfo = GetSlotInfo;
    QM_SLOT_GATE(C_GetTokenInfo);
    QM_SLOT_GATE(C_GetMechanismList);
    QM_SLOT_GATE(C_GetMechanismInfo);
    QM_SLOT_GATE(C_InitToken);
    QM_SLOT_GATE(C_OpenSession);
    QM_SESSION_GATE(C_InitPIN);
    QM_SESSION_GATE(C_SetPIN);
    QM_SESSION_GATE(C_GetSessionInfo);
    QM_SESSION_GATE(C_GetOperationState);
    QM_SESSION_GATE(C_SetOperationState);
    QM_SESSION_GATE(C_Login);
    QM_SESSION_GATE(C_Logout);
    QM_SESSION_GATE(C_CreateObject);
    QM_SESSION_GATE(C_CopyObject);
    QM_SESSION_GATE(C_DestroyObject);
    QM_SESSION_GATE(C_GetObjectSize);
    QM_SESSION_GATE(C_GetAttributeValue);
    QM_SESSION_GATE(C_SetAttributeValue);
    QM_SESSION_GATE(C_FindObjectsInit);
    QM_SESSION_GATE(C_FindObjects);
    QM_SESSION_GATE(C_FindObjectsFinal);
    QM_SESSION_GATE(C_EncryptInit);
    QM_SESSION_GATE(C_Encrypt);
    QM_SESSION_GATE(C_EncryptUpdate);
    QM_SESSION_GATE(C_EncryptFinal);
    QM_SESSION_GATE(C_DecryptInit);
    QM_SESSION_GATE(C_Decrypt);
    QM_SESSION_GATE(C_DecryptUpdate);
    QM_SESSION_GATE(C_DecryptFinal);
    QM_SESSION_GATE(C_DigestInit);
    QM_SESSION_GATE(C_Digest);
    QM_SESSION_GATE(C_DigestUpdate);
    QM_SESSION_GATE(C_DigestKey);
    QM_SESSION_GATE(C_DigestFinal);
    QM_SESSION_GATE(C_SignInit);
    QM_SESSION_GATE(C_Sign);
    QM_SESSION_GATE(C_SignUpdate);
    QM_SESSION_GATE(C_SignFinal);
    QM_SESSION_GATE(C_SignRecoverInit);
    QM_SESSION_GATE(C_SignRecover);
    QM_SESSION_GATE(C_VerifyInit);
    QM_SESSION_GATE(C_Verify);
    QM_SESSION_GATE(C_VerifyUpdate);
    QM_SESSION_GATE(C_VerifyFinal);
    QM_SESSION_GATE(C_VerifyRecoverInit);
    QM_SESSION_GATE(C_VerifyRecover);
    QM_SESSION_GATE(C_DigestEncryptUpdate);
    QM_SESSION_GATE(C_DecryptDigestUpdate);
    QM_SESSION_GATE(C_SignEncryptUpdate);
    QM_SESSION_GATE(C_DecryptVerifyUpdate);
    QM_SESSION_GATE(C_GenerateKey);
    QM_SESSION_GATE(C_GenerateKeyPair);
    QM_SESSION_GATE(C_WrapKey);
    QM_SESSION_GATE(C_UnwrapKey);
    QM_SESSION_GATE(C_DeriveKey);
    QM_SESSION_GATE(C_SeedRandom);
    QM_SESSION_GATE(C_GenerateRandom);
}
} // namespace

extern "C" __attribute__((visibility("default"))) CK_RV C_GetFunctionList(CK_FUNCTION_LIST_PTR_PTR list)
{
    if (!list)
        return CKR_ARGUMENTS_BAD;
    std::call_once(g_loaded, Load);
    if (!g_store)
        return CKR_GENERAL_ERROR;
    *list = &g_device;
    return CKR_OK;
}
