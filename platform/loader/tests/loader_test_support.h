// Shared pieces of the loader tests: the test libraries, a machine of their own, and the
// DllMain calls the libraries report.
#pragma once

#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <windows.h>

#include "qm/machine.h"

namespace loader_test
{
inline std::u16string Wide(const std::string& s)
{
    return std::u16string(s.begin(), s.end());
}

inline const std::string kFixturePath = QM_FIXTURE_PATH;
inline const std::string kRefusingPath = QM_REFUSING_PATH;

struct DllMainCall
{
    HINSTANCE module;
    DWORD reason;
    LPVOID reserved;
    std::u16string text;
};
std::vector<DllMainCall>& DllMainCalls();

// Each test on its own machine, English user interface unless the test says otherwise.
class LoaderTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_machine = std::filesystem::temp_directory_path() /
                    ("qm-loader-" + std::to_string(::getpid()) + "-" +
                     ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(m_machine);
        qm::SetMachineDirectory(m_machine);
        SetThreadUILanguage(0);
        DllMainCalls().clear();
    }
    void TearDown() override
    {
        SetThreadUILanguage(0);
        std::error_code ec;
        std::filesystem::remove_all(m_machine, ec);
    }

    std::filesystem::path m_machine;
};

// Loads the resource test library for the test's duration.
class FixtureLibraryTest : public LoaderTest
{
protected:
    void SetUp() override
    {
        LoaderTest::SetUp();
        m_module = LoadLibraryW(Wide(kFixturePath).c_str());
        ASSERT_NE(m_module, nullptr) << "error " << GetLastError();
    }
    void TearDown() override
    {
        if (m_module)
            FreeLibrary(m_module);
        LoaderTest::TearDown();
    }

    HMODULE m_module = nullptr;
};
} // namespace loader_test
