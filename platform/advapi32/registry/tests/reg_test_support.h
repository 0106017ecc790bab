// A fresh machine per test, and small helpers over the wide registry API.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "qm/machine.h"
#include "winreg.h"

class RegistryTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        std::random_device rd;
        m_dir = std::filesystem::temp_directory_path() / ("qm-reg-" + std::to_string(rd()) + std::to_string(rd()));
        qm::SetMachineDirectory(m_dir);
        qm::SetProcessElevated(false);
    }
    void TearDown() override
    {
        qm::SetProcessElevated(false);
        std::error_code ec;
        std::filesystem::remove_all(m_dir, ec);
    }

    static HKEY Create(HKEY root, const char16_t* path, REGSAM sam = KEY_ALL_ACCESS)
    {
        HKEY key = nullptr;
        EXPECT_EQ(ERROR_SUCCESS, RegCreateKeyExW(root, path, 0, nullptr, 0, sam, nullptr, &key, nullptr));
        return key;
    }
    static LSTATUS SetString(HKEY key, const char16_t* name, const std::u16string& text)
    {
        return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                              DWORD((text.size() + 1) * sizeof(char16_t)));
    }
    static LSTATUS SetDword(HKEY key, const char16_t* name, DWORD value)
    {
        return RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    }
    static std::u16string GetString(HKEY key, const char16_t* name)
    {
        DWORD type = 0, size = 0;
        if (RegQueryValueExW(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
            return u"<missing>";
        std::u16string text(size / 2, u'\0');
        EXPECT_EQ(ERROR_SUCCESS,
                  RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(text.data()), &size));
        while (!text.empty() && text.back() == 0)
            text.pop_back();
        return text;
    }
    static std::vector<std::u16string> SubKeys(HKEY key)
    {
        std::vector<std::u16string> names;
        for (DWORD i = 0;; ++i)
        {
            char16_t name[256];
            DWORD count = 256;
            LSTATUS st = RegEnumKeyExW(key, i, name, &count, nullptr, nullptr, nullptr, nullptr);
            if (st == ERROR_NO_MORE_ITEMS)
                break;
            EXPECT_EQ(ERROR_SUCCESS, st);
            if (st != ERROR_SUCCESS)
                break;
            names.emplace_back(name, count);
        }
        return names;
    }

    std::filesystem::path m_dir;
};
