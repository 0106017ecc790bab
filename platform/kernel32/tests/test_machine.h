// A fresh machine per test, and writing its NLS settings.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "qm/machine.h"
#include "qm/nls.h"
#include "windows.h"

class FreshMachine : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_dir = std::filesystem::temp_directory_path() /
                ("qm-kernel32-" + std::to_string(::getpid()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(m_dir);
        qm::SetMachineDirectory(m_dir);
        qm::ReloadNlsSettings();
        SetThreadUILanguage(0);
    }
    void TearDown() override
    {
        SetThreadUILanguage(0);
        qm::ReloadNlsSettings();
        std::error_code ec;
        std::filesystem::remove_all(m_dir, ec);
    }

    // Writes HKLM\SYSTEM\CurrentControlSet\Control\Nls\<key> <value> = text, as setup does.
    static bool SetNlsValue(const char16_t* key, const char16_t* value, const std::u16string& text)
    {
#if __has_include("winreg.h")
        qm::SetProcessElevated(true);
        std::u16string path = std::u16string(u"SYSTEM\\CurrentControlSet\\Control\\Nls\\") + key;
        HKEY h = nullptr;
        LONG rc = RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &h, nullptr);
        if (rc == ERROR_SUCCESS)
        {
            rc = RegSetValueExW(h, value, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                                static_cast<DWORD>((text.size() + 1) * sizeof(char16_t)));
            RegCloseKey(h);
        }
        qm::SetProcessElevated(false);
        qm::ReloadNlsSettings();
        return rc == ERROR_SUCCESS;
#else
        return false;
#endif
    }

    std::filesystem::path m_dir;
};
