// One assistant per machine: a second start while one runs shows no dialog, leaves the
// first one's log alone and tells the first (another process) to come to the front; once
// the first has ended, the next start runs normally.
#include "AssistantFixtures.h"

class SingleInstance : public FreshAssistantMachine
{
protected:
    HANDLE Start(const std::string& name)
    {
        std::string marker = (m_dir / name).string();
        std::string line = std::string("\"") + QM_INSTANCE_PROBE + "\" " + marker;
        std::u16string command(line.begin(), line.end());
        STARTUPINFOW si = {};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi = {};
        EXPECT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
        CloseHandle(pi.hThread);
        return pi.hProcess;
    }
    bool Shown(const std::string& name) { return std::filesystem::exists(m_dir / (name + ".shown")); }
    bool WaitShown(const std::string& name)
    {
        for (int i = 0; i < 30000 && !Shown(name); ++i)
            Sleep(1);
        return Shown(name);
    }
    static DWORD Finish(HANDLE process)
    {
        EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(process, 60000));
        DWORD code = 1234;
        EXPECT_TRUE(GetExitCodeProcess(process, &code));
        CloseHandle(process);
        return code;
    }
    std::filesystem::path Log() const { return std::string(QM_INSTANCE_PROBE) + ".log"; }
};

TEST_F(SingleInstance, SecondCopyEndsWithoutDialog)
{
    std::filesystem::create_directories(m_dir);
    HANDLE first = Start("first");
    ASSERT_TRUE(WaitShown("first"));
    EXPECT_NE(std::string::npos, ReadAll(Log()).find("----dialog of " + (m_dir / "first").string() + "\r\n"));

    EXPECT_FALSE(std::filesystem::exists(m_dir / "first.activated"));
    EXPECT_EQ(0u, Finish(Start("second")));
    EXPECT_FALSE(Shown("second"));
    for (int i = 0; i < 10000 && !std::filesystem::exists(m_dir / "first.activated"); ++i)
        Sleep(1);
    EXPECT_EQ("activated\n", ReadAll(m_dir / "first.activated")) << "the second copy's broadcast, once";
    DWORD code = 0;
    ASSERT_TRUE(GetExitCodeProcess(first, &code));
    EXPECT_EQ(DWORD(STILL_ACTIVE), code) << "the first copy runs on";
    EXPECT_NE(std::string::npos, ReadAll(Log()).find("dialog of " + (m_dir / "first").string()))
        << "the second copy did not recreate the log";

    WriteAll(m_dir / "first.stop", "");
    EXPECT_EQ(0u, Finish(first));

    HANDLE third = Start("third");
    EXPECT_TRUE(WaitShown("third")) << "the mutex went with the first copy";
    WriteAll(m_dir / "third.stop", "");
    EXPECT_EQ(0u, Finish(third));
    EXPECT_EQ("----dialog of " + (m_dir / "third").string() + "\r\n", ReadAll(Log())) << "recreated at start";
}
