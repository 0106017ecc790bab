#include "CheckMachine.h"

#include <unistd.h>

#include <cstdlib>
#include <fstream>

#include "CheckText.h"
#include "qm/machine.h"

namespace
{
void Capture(LPCSTR text)
{
    CheckMachine::Log().push_back(text);
}

void Set(HKEY root, const char* key, const char* name, DWORD type, const void* data, DWORD size)
{
    qm::SetProcessElevated(true);
    HKEY h = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(root, key, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &h, nullptr)) << key;
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(h, name, 0, type, static_cast<const BYTE*>(data), size));
    RegCloseKey(h);
    qm::SetProcessElevated(false);
}
} // namespace

std::vector<std::string>& CheckMachine::Log()
{
    static std::vector<std::string> lines;
    return lines;
}

void CheckMachine::SetUp()
{
    m_dir = std::filesystem::temp_directory_path() /
            ("qm-checks-" + std::to_string(::getpid()) + "-" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(m_dir);
    qm::SetMachineDirectory(m_dir);
    // A machine as the kit finds it: made by qmctl init, which also links the Windows
    // libraries the checks load by name to the platform library.
    std::string init = std::string(QMCTL_PATH) + " --machine " + m_dir.string() + " init >/dev/null";
    ASSERT_EQ(0, std::system(init.c_str()));
    Log().clear();
    SetCheckLogWriter(Capture);
}

void CheckMachine::TearDown()
{
    SetCheckLogWriter(nullptr);
    std::error_code ec;
    std::filesystem::remove_all(m_dir, ec);
}

void CheckMachine::SetText(HKEY root, const char* key, const char* name, const std::string& value)
{
    Set(root, key, name, REG_SZ, value.c_str(), DWORD(value.size() + 1));
}

void CheckMachine::SetDword(HKEY root, const char* key, const char* name, DWORD value)
{
    Set(root, key, name, REG_DWORD, &value, sizeof value);
}

void CheckMachine::SetBinary(HKEY root, const char* key, const char* name, const std::string& value)
{
    Set(root, key, name, REG_BINARY, value.data(), DWORD(value.size()));
}

void CheckMachine::MakeKey(HKEY root, const char* key)
{
    qm::SetProcessElevated(true);
    HKEY h = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(root, key, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &h, nullptr));
    RegCloseKey(h);
    qm::SetProcessElevated(false);
}

std::filesystem::path CheckMachine::LinuxPath(const std::string& windowsPath) const
{
    std::string relative = windowsPath.substr(3);
    for (auto& c : relative)
        if (c == '\\')
            c = '/';
    return m_dir / "drive_c" / relative;
}

void CheckMachine::WriteFile(const std::string& windowsPath, const std::string& content)
{
    auto path = LinuxPath(windowsPath);
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << content;
}
