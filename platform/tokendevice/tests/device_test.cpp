// The token device over SoftHSM2: what a PKCS#11 caller sees of inserted and pulled tokens.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "p11-kit/pkcs11.h"
#include "qm/machine.h"
#include "qm/token_device.h"

namespace
{
CK_FUNCTION_LIST* Functions(const char* module)
{
    void* handle = ::dlopen(module, RTLD_NOW | RTLD_LOCAL);
    if (!handle)
        return nullptr;
    auto get = reinterpret_cast<CK_C_GetFunctionList>(::dlsym(handle, "C_GetFunctionList"));
    CK_FUNCTION_LIST* f = nullptr;
    return get && get(&f) == CKR_OK ? f : nullptr;
}

class TokenDevice : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_dir = std::filesystem::temp_directory_path() / ("qm-tokendevice-" + std::to_string(::getpid()));
        std::filesystem::remove_all(m_dir);
        std::filesystem::create_directories(m_dir / "tokens");
        qm::SetMachineDirectory(m_dir);
        std::ofstream(m_dir / "softhsm2.conf") << "directories.tokendir = " << (m_dir / "tokens").string()
                                               << "\nobjectstore.backend = file\nlog.level = ERROR\n";
        ::unsetenv("SOFTHSM2_CONF");
    }
    void TearDown() override
    {
        if (m_f)
            m_f->C_Finalize(nullptr);
        std::error_code ec;
        std::filesystem::remove_all(m_dir, ec);
    }
    void MakeToken(const std::string& label)
    {
        std::string cmd = "SOFTHSM2_CONF=" + (m_dir / "softhsm2.conf").string() + " softhsm2-util --init-token --free --label " +
                          label + " --so-pin 12345678 --pin 123456 >/dev/null";
        ASSERT_EQ(0, std::system(cmd.c_str()));
    }
    void Remove(const std::vector<std::string>& labels)
    {
        std::filesystem::create_directories(qm::RemovedTokensFile().parent_path());
        std::ofstream out(qm::RemovedTokensFile(), std::ios::trunc);
        for (const auto& l : labels)
            out << l << "\n";
    }
    std::vector<CK_SLOT_ID> Slots(CK_BBOOL present)
    {
        CK_ULONG n = 0;
        EXPECT_EQ(CKR_OK, m_f->C_GetSlotList(present, nullptr, &n));
        std::vector<CK_SLOT_ID> slots(n);
        EXPECT_EQ(CKR_OK, m_f->C_GetSlotList(present, slots.data(), &n));
        slots.resize(n);
        return slots;
    }
    std::string Label(CK_SLOT_ID slot)
    {
        CK_TOKEN_INFO info = {};
        if (m_f->C_GetTokenInfo(slot, &info) != CKR_OK)
            return "<none>";
        std::string s(reinterpret_cast<const char*>(info.label), sizeof info.label);
        return s.substr(0, s.find_last_not_of(' ') + 1);
    }
    void Open(const char* module)
    {
        m_f = Functions(module);
        ASSERT_NE(nullptr, m_f);
        ASSERT_EQ(CKR_OK, m_f->C_Initialize(nullptr));
    }

    std::filesystem::path m_dir;
    CK_FUNCTION_LIST* m_f = nullptr;
};
} // namespace

TEST_F(TokenDevice, OneTokenIsOneSlotWhereSoftHsmShowsTwo)
{
    MakeToken("QMTOKEN");
    // SoftHSM2 itself: the token and its free, uninitialised slot, both "present".
    ::setenv("SOFTHSM2_CONF", (m_dir / "softhsm2.conf").c_str(), 1);
    CK_FUNCTION_LIST* store = Functions(QM_SOFTHSM2_LIB);
    ASSERT_NE(nullptr, store);
    ASSERT_EQ(CKR_OK, store->C_Initialize(nullptr));
    CK_ULONG n = 0;
    ASSERT_EQ(CKR_OK, store->C_GetSlotList(CK_TRUE, nullptr, &n));
    EXPECT_EQ(2u, n);
    store->C_Finalize(nullptr);
    ::unsetenv("SOFTHSM2_CONF");

    // The device finds the machine's storage by itself.
    Open(QM_DEVICE_PATH);
    auto present = Slots(CK_TRUE);
    ASSERT_EQ(1u, present.size());
    EXPECT_EQ("QMTOKEN", Label(present[0]));
    EXPECT_EQ(1u, Slots(CK_FALSE).size());
    CK_SLOT_INFO info = {};
    ASSERT_EQ(CKR_OK, m_f->C_GetSlotInfo(present[0], &info));
    EXPECT_EQ(CKF_TOKEN_PRESENT | CKF_REMOVABLE_DEVICE | CKF_HW_SLOT,
              info.flags & (CKF_TOKEN_PRESENT | CKF_REMOVABLE_DEVICE | CKF_HW_SLOT));
    // Too small a list is refused with the size it needs.
    CK_SLOT_ID none[1];
    n = 0;
    EXPECT_EQ(CKR_BUFFER_TOO_SMALL, m_f->C_GetSlotList(CK_TRUE, none, &n));
    EXPECT_EQ(1u, n);
}

TEST_F(TokenDevice, PulledTokenIsAbsentUntilPutBack)
{
    MakeToken("QMTOKEN");
    MakeToken("SECOND");
    Open(QM_DEVICE_PATH);
    auto both = Slots(CK_TRUE);
    ASSERT_EQ(2u, both.size());
    CK_SLOT_ID slot = Label(both[0]) == "QMTOKEN" ? both[0] : both[1];
    CK_SESSION_HANDLE session = 0;
    ASSERT_EQ(CKR_OK, m_f->C_OpenSession(slot, CKF_SERIAL_SESSION, nullptr, nullptr, &session));

    Remove({"QMTOKEN"});
    auto present = Slots(CK_TRUE);
    ASSERT_EQ(1u, present.size());
    EXPECT_EQ("SECOND", Label(present[0]));
    EXPECT_EQ(2u, Slots(CK_FALSE).size()) << "the reader stays";
    CK_SLOT_INFO info = {};
    ASSERT_EQ(CKR_OK, m_f->C_GetSlotInfo(slot, &info));
    EXPECT_EQ(0u, info.flags & CKF_TOKEN_PRESENT);
    CK_TOKEN_INFO token = {};
    EXPECT_EQ(CKR_TOKEN_NOT_PRESENT, m_f->C_GetTokenInfo(slot, &token));
    CK_SESSION_HANDLE another = 0;
    EXPECT_EQ(CKR_TOKEN_NOT_PRESENT, m_f->C_OpenSession(slot, CKF_SERIAL_SESSION, nullptr, nullptr, &another));
    CK_OBJECT_CLASS cls = CKO_CERTIFICATE;
    CK_ATTRIBUTE match = {CKA_CLASS, &cls, sizeof cls};
    EXPECT_EQ(CKR_DEVICE_REMOVED, m_f->C_FindObjectsInit(session, &match, 1));

    Remove({"QMTOKEN", "SECOND"});
    EXPECT_TRUE(Slots(CK_TRUE).empty());

    Remove({});
    EXPECT_EQ(2u, Slots(CK_TRUE).size());
    EXPECT_EQ("QMTOKEN", Label(slot));
    EXPECT_EQ(CKR_OK, m_f->C_FindObjectsInit(session, &match, 1));
    m_f->C_FindObjectsFinal(session);
    m_f->C_CloseSession(session);
}

TEST_F(TokenDevice, FreeSlotCannotBeUsed)
{
    Open(QM_DEVICE_PATH);
    EXPECT_TRUE(Slots(CK_FALSE).empty()) << "only SoftHSM2's free slot exists";
    CK_SESSION_HANDLE session = 0;
    EXPECT_EQ(CKR_SLOT_ID_INVALID, m_f->C_OpenSession(0, CKF_SERIAL_SESSION, nullptr, nullptr, &session));
    CK_SLOT_INFO info = {};
    EXPECT_EQ(CKR_SLOT_ID_INVALID, m_f->C_GetSlotInfo(0, &info));
}
