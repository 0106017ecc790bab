// A fresh machine in a temporary directory, with the helpers the check tests set it up with.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "windows.h"

class CheckMachine : public ::testing::Test
{
public:
    static std::vector<std::string>& Log();

protected:
    void SetUp() override;
    void TearDown() override;

    // Registry values written elevated, as an installer writes them.
    static void SetText(HKEY root, const char* key, const char* name, const std::string& value);
    static void SetDword(HKEY root, const char* key, const char* name, DWORD value);
    static void SetBinary(HKEY root, const char* key, const char* name, const std::string& value);
    static void MakeKey(HKEY root, const char* key);
    // A file of the machine by its Windows path.
    void WriteFile(const std::string& windowsPath, const std::string& content);
    std::filesystem::path LinuxPath(const std::string& windowsPath) const;

    std::filesystem::path m_dir;
};
