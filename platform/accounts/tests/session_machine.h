// A fresh machine per test with accounts and session processes written as setup writes them.
#pragma once

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "qm/machine.h"
#include "windows.h"

class SessionMachine : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_dir = std::filesystem::temp_directory_path() /
                ("qm-session-" + std::to_string(::getpid()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(m_dir);
        qm::SetMachineDirectory(m_dir);
    }
    void TearDown() override
    {
        std::error_code ec;
        std::filesystem::remove_all(m_dir, ec);
    }

    static void SetValue(const std::u16string& key, const char16_t* name, DWORD type, const void* data, DWORD size)
    {
        qm::SetProcessElevated(true);
        HKEY h = nullptr;
        ASSERT_EQ(ERROR_SUCCESS,
                  RegCreateKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &h, nullptr));
        ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(h, name, 0, type, static_cast<const BYTE*>(data), size));
        RegCloseKey(h);
        qm::SetProcessElevated(false);
    }
    static void SetText(const std::u16string& key, const char16_t* name, const std::u16string& text)
    {
        SetValue(key, name, REG_SZ, text.c_str(), DWORD((text.size() + 1) * 2));
    }
    static void AddAccount(const std::u16string& name, const std::u16string& sid,
                           const std::vector<std::u16string>& groups)
    {
        const std::u16string key = u"SOFTWARE\\Quillmark\\Machine\\Users\\" + name;
        SetText(key, u"Sid", sid);
        std::u16string list;
        for (const auto& g : groups)
            list += g + u'\0';
        list += u'\0';
        SetValue(key, u"LocalGroups", REG_MULTI_SZ, list.data(), DWORD(list.size() * 2));
    }
    static void AddProcess(DWORD id, const std::u16string& exe, const std::u16string& user)
    {
        const std::string digits = std::to_string(id);
        const std::u16string key =
            u"SOFTWARE\\Quillmark\\Machine\\Processes\\" + std::u16string(digits.begin(), digits.end());
        SetText(key, u"ExeFile", exe);
        SetText(key, u"User", user);
    }
    static void SetComputerName(const std::u16string& name)
    {
        SetText(u"SYSTEM\\CurrentControlSet\\Control\\ComputerName\\ComputerName", u"ComputerName", name);
    }
    // The machine's hive overwritten: nothing in it can be read any more.
    void DamageHive() const
    {
        std::ofstream hive(m_dir / "registry" / "HKLM.db", std::ios::binary | std::ios::trunc);
        hive << std::string(8192, 'x');
    }

    std::filesystem::path m_dir;
};
