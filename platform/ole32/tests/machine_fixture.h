// Each test gets its own machine in a temporary directory, elevated so that it may
// register classes under HKEY_CLASSES_ROOT.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "qm/machine.h"

class TempMachineTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "qm-com-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        m_dir = pattern;
        qm::SetMachineDirectory(m_dir);
        qm::SetProcessElevated(true);
    }
    void TearDown() override
    {
        qm::SetProcessElevated(false);
        std::error_code ec;
        std::filesystem::remove_all(m_dir, ec);
    }

    std::filesystem::path m_dir;
};
