// The single-instance mutex's security and the activation message's filter: what each
// Windows generation gets, and a start-up on machines with and without the libraries that
// are bound by name.
#include "AssistantFixtures.h"
#include "KivoModule.h"
#include "KivoSecurityAttributes.h"

namespace
{
// The low mandatory label with no-write-up, as the converted SACL holds it.
void ExpectLowLabel(const SECURITY_DESCRIPTOR& sd)
{
    EXPECT_EQ(SE_DACL_PRESENT | SE_SACL_PRESENT, sd.Control);
    ASSERT_NE(nullptr, sd.Sacl);
    ASSERT_EQ(1, sd.Sacl->AceCount);
    void* entry = nullptr;
    ASSERT_TRUE(GetAce(sd.Sacl, 0, &entry));
    auto* ace = static_cast<SYSTEM_MANDATORY_LABEL_ACE*>(entry);
    EXPECT_EQ(SYSTEM_MANDATORY_LABEL_ACE_TYPE, ace->Header.AceType);
    EXPECT_EQ(DWORD(SYSTEM_MANDATORY_LABEL_NO_WRITE_UP), ace->Mask);
    EXPECT_EQ(DWORD(SECURITY_MANDATORY_LOW_RID), reinterpret_cast<SID*>(&ace->SidStart)->SubAuthority[0]);
}
} // namespace

class KivoSecurity : public FreshAssistantMachine
{
protected:
    // C:\Windows\System32\<name> as `qmctl init` links it.
    void LinkSystemLibrary(const char* name)
    {
        auto system32 = m_dir / "drive_c" / "Windows" / "System32";
        std::filesystem::create_directories(system32);
        std::filesystem::create_symlink(QM_PLATFORM_LIBRARY, system32 / name);
    }
};

TEST_F(KivoSecurity, Windows9xGetsDefaultSecurity)
{
    LinkSystemLibrary("advapi32.dll");
    for (int code : {3, 5, 7})
    {
        CKivoSecurityAttributes sa(code);
        EXPECT_EQ(nullptr, sa.Get()) << code;
        EXPECT_FALSE(sa.HasLowLabel());
    }
}

TEST_F(KivoSecurity, NullDaclWithoutTheConversion)
{
    // No advapi32.dll on the machine: the record stays with its NULL DACL only.
    for (int code : {2, 8, 9, 12})
    {
        CKivoSecurityAttributes sa(code);
        LPSECURITY_ATTRIBUTES record = sa.Get();
        ASSERT_NE(nullptr, record) << code;
        EXPECT_EQ(sizeof(SECURITY_ATTRIBUTES), record->nLength);
        EXPECT_FALSE(record->bInheritHandle);
        EXPECT_EQ(&sa.Descriptor(), record->lpSecurityDescriptor);
        EXPECT_EQ(SE_DACL_PRESENT, sa.Descriptor().Control);
        EXPECT_EQ(nullptr, sa.Descriptor().Dacl);
        EXPECT_FALSE(sa.HasLowLabel());
    }
}

TEST_F(KivoSecurity, LowLabelFromAdvapi32)
{
    LinkSystemLibrary("advapi32.dll");
    CKivoSecurityAttributes sa(12);
    ASSERT_NE(nullptr, sa.Get());
    ASSERT_TRUE(sa.HasLowLabel());
    ExpectLowLabel(sa.Descriptor());
    EXPECT_EQ(nullptr, sa.Descriptor().Dacl);

    HANDLE mutex = CreateMutexA(sa.Get(), FALSE, "kivo_security_probe");
    ASSERT_NE(nullptr, mutex);
    EXPECT_EQ(DWORD(ERROR_SUCCESS), GetLastError());
    CloseHandle(mutex);
}

TEST_F(KivoSecurity, GlobalInterfaceTableIsCreatedOnceAndKept)
{
    ASSERT_EQ(S_OK, CoInitialize(nullptr));
    IGlobalInterfaceTable* first = nullptr;
    IGlobalInterfaceTable* second = nullptr;
    ASSERT_EQ(S_OK, KivoModule().GetGITPtr(&first));
    ASSERT_EQ(S_OK, KivoModule().GetGITPtr(&second));
    EXPECT_EQ(first, second);
    IGlobalInterfaceTable* direct = nullptr;
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_StdGlobalInterfaceTable, nullptr, CLSCTX_INPROC_SERVER,
                                     IID_IGlobalInterfaceTable, reinterpret_cast<void**>(&direct)));
    EXPECT_EQ(first, direct) << "the process's one table";
    direct->Release();
    second->Release();
    first->Release();
    EXPECT_EQ(E_POINTER, KivoModule().GetGITPtr(nullptr));
    CoUninitialize();
}

// A start-up as the program makes it, in another process: what it bound and built.
class KivoStartSecurity : public KivoSecurity
{
protected:
    std::string StartAndRead(const char* osCode)
    {
        std::string marker = (m_dir / "probe").string();
        std::filesystem::create_directories(m_dir);
        WriteAll(marker + ".stop", "");
        // A copy of its own, so that its log is not the one the other start-up tests read.
        auto program = m_dir / "kivo_instance_probe";
        if (!std::filesystem::exists(program))
            std::filesystem::copy_file(QM_INSTANCE_PROBE, program);
        std::string line = "\"" + program.string() + "\" " + marker;
        std::u16string command(line.begin(), line.end());
        ::setenv("QM_PROBE_OS_CODE", osCode, 1);
        STARTUPINFOW si = {};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi = {};
        bool started = CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi);
        ::unsetenv("QM_PROBE_OS_CODE");
        EXPECT_TRUE(started);
        if (!started)
            return "";
        EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(pi.hProcess, 60000));
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
        return ReadAll(marker + ".security");
    }
};

TEST_F(KivoStartSecurity, WhatEachGenerationBindsAtStart)
{
    EXPECT_EQ("filter 0 attributes 1 label 0\n", StartAndRead("12")) << "nothing to bind on a bare machine";
    LinkSystemLibrary("advapi32.dll");
    LinkSystemLibrary("user32.dll");
    EXPECT_EQ("filter 1 attributes 1 label 1\n", StartAndRead("12")) << "Windows 7";
    EXPECT_EQ("filter 1 attributes 1 label 1\n", StartAndRead("11")) << "Vista";
    EXPECT_EQ("filter 0 attributes 1 label 1\n", StartAndRead("9")) << "XP has no privilege filter";
    EXPECT_EQ("filter 0 attributes 0 label 0\n", StartAndRead("5")) << "Windows 98: default security";
}
