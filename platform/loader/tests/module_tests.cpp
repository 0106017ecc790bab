// Modules as Windows sees them: handles, file names, loading, DllMain, exports.
#include <cstring>
#include <fstream>

#include "loader_test_support.h"
#include "qm/module.h"

using namespace loader_test;

namespace
{
bool IsLoaded(const std::string& path)
{
    return GetModuleHandleW(Wide(path).c_str()) != nullptr;
}
} // namespace

TEST_F(LoaderTest, ProgramHandleIsItsLoadAddressAndNamesItsFile)
{
    HMODULE program = GetModuleHandleW(nullptr);
    ASSERT_NE(program, nullptr);
    // Like the MZ header on Windows, the handle points at the image's own header.
    EXPECT_EQ(std::memcmp(program, "\x7f" "ELF", 4), 0);
    EXPECT_EQ(qm::ModuleFromAddress(reinterpret_cast<const void*>(&IsLoaded)), program);

    WCHAR path[4096];
    DWORD n = GetModuleFileNameW(nullptr, path, 4096);
    ASSERT_GT(n, 0u);
    EXPECT_EQ(std::filesystem::path(std::u16string(path, n)).filename(), "loader_tests");
    EXPECT_EQ(GetModuleHandleW(u"loader_tests"), program);
}

TEST_F(LoaderTest, LoadLibraryRunsDllMainWithTheModuleHandle)
{
    ASSERT_FALSE(IsLoaded(kFixturePath));
    HMODULE module = LoadLibraryW(Wide(kFixturePath).c_str());
    ASSERT_NE(module, nullptr);
    ASSERT_EQ(DllMainCalls().size(), 1u);
    EXPECT_EQ(DllMainCalls()[0].module, module);
    EXPECT_EQ(DllMainCalls()[0].reason, static_cast<DWORD>(DLL_PROCESS_ATTACH));
    EXPECT_EQ(DllMainCalls()[0].reserved, nullptr); // a dynamic load
    // Resources are there before DllMain runs.
    EXPECT_EQ(DllMainCalls()[0].text, u"Query type is not supported.");
    EXPECT_EQ(std::memcmp(module, "\x7f" "ELF", 4), 0);

    // By file name (no case, with or without extension) and by path; no reference is added.
    EXPECT_EQ(GetModuleHandleW(u"libqmres_fixture.so"), module);
    EXPECT_EQ(GetModuleHandleW(u"LIBQMRES_FIXTURE.SO"), module);
    EXPECT_EQ(GetModuleHandleW(u"libqmres_fixture"), module);
    EXPECT_EQ(GetModuleHandleW(u"libqmres_fixture.dll"), module);
    EXPECT_EQ(GetModuleHandleW(Wide(kFixturePath).c_str()), module);
    HMODULE fromAddress = nullptr;
    auto answer = GetProcAddress(module, "FixtureAnswer");
    ASSERT_NE(answer, nullptr);
    EXPECT_TRUE(GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                   reinterpret_cast<LPCWSTR>(answer), &fromAddress));
    EXPECT_EQ(fromAddress, module);

    // A second load only counts; DllMain is not called again.
    EXPECT_EQ(LoadLibraryW(Wide(kFixturePath).c_str()), module);
    EXPECT_EQ(DllMainCalls().size(), 1u);
    EXPECT_TRUE(FreeLibrary(module));
    EXPECT_TRUE(IsLoaded(kFixturePath));
    EXPECT_EQ(DllMainCalls().size(), 1u);

    EXPECT_TRUE(FreeLibrary(module));
    EXPECT_FALSE(IsLoaded(kFixturePath));
    ASSERT_EQ(DllMainCalls().size(), 2u);
    EXPECT_EQ(DllMainCalls()[1].module, module);
    EXPECT_EQ(DllMainCalls()[1].reason, static_cast<DWORD>(DLL_PROCESS_DETACH));
    EXPECT_EQ(DllMainCalls()[1].reserved, nullptr); // FreeLibrary, not process end
    EXPECT_EQ(DllMainCalls()[1].text, u"Query type is not supported."); // resources still there

    SetLastError(0);
    EXPECT_FALSE(FreeLibrary(module));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
}

TEST_F(LoaderTest, DllMainThatRefusesFailsTheLoadAndIsDetached)
{
    SetLastError(0);
    EXPECT_EQ(LoadLibraryW(Wide(kRefusingPath).c_str()), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DLL_INIT_FAILED));
    ASSERT_EQ(DllMainCalls().size(), 2u);
    EXPECT_EQ(DllMainCalls()[0].reason, static_cast<DWORD>(DLL_PROCESS_ATTACH));
    EXPECT_EQ(DllMainCalls()[1].reason, static_cast<DWORD>(DLL_PROCESS_DETACH));
    EXPECT_EQ(DllMainCalls()[0].module, DllMainCalls()[1].module);
    EXPECT_FALSE(IsLoaded(kRefusingPath));
}

TEST_F(LoaderTest, LoadLibraryErrors)
{
    auto notElf = m_machine / "notalibrary.so";
    std::ofstream(notElf) << "plain text, not a library\n";
    struct Case
    {
        std::u16string name;
        DWORD error;
    } cases[] = {
        {Wide((m_machine / "missing.so").string()), ERROR_MOD_NOT_FOUND},
        {u"no-such-library-anywhere.dll", ERROR_MOD_NOT_FOUND},
        {Wide(notElf.string()), ERROR_BAD_EXE_FORMAT},
    };
    for (const auto& c : cases)
    {
        SetLastError(0);
        EXPECT_EQ(LoadLibraryW(c.name.c_str()), nullptr);
        EXPECT_EQ(GetLastError(), c.error) << std::string(c.name.begin(), c.name.end());
    }
    SetLastError(0);
    EXPECT_EQ(GetModuleHandleW(u"no-such-library-anywhere.dll"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
}

TEST_F(FixtureLibraryTest, GetProcAddressFindsOnlyTheModulesOwnExports)
{
    auto answer = reinterpret_cast<int (*)()>(reinterpret_cast<void*>(GetProcAddress(m_module, "FixtureAnswer")));
    ASSERT_NE(answer, nullptr);
    EXPECT_EQ(answer(), 42);

    struct Case
    {
        HMODULE module;
        LPCSTR name;
        DWORD error;
    } cases[] = {
        {m_module, "NoSuchExport", ERROR_PROC_NOT_FOUND},
        {m_module, "LoadStringW", ERROR_PROC_NOT_FOUND}, // exported by a library it uses
        {m_module, MAKEINTRESOURCEA(1), ERROR_PROC_NOT_FOUND},
        {reinterpret_cast<HMODULE>(0x1000), "FixtureAnswer", ERROR_MOD_NOT_FOUND},
    };
    for (const auto& c : cases)
    {
        SetLastError(0);
        EXPECT_EQ(GetProcAddress(c.module, c.name), nullptr);
        EXPECT_EQ(GetLastError(), c.error);
    }
}

TEST_F(FixtureLibraryTest, GetModuleFileNameTruncatesAsWindows)
{
    std::u16string path = Wide(kFixturePath);
    const DWORD len = static_cast<DWORD>(path.size());
    struct Case
    {
        DWORD size;
        DWORD result;
        DWORD error; // 0: unchanged
        std::u16string text;
    } cases[] = {
        {len + 10, len, 0, path},
        {len + 1, len, 0, path},
        {len, len, ERROR_INSUFFICIENT_BUFFER, path.substr(0, len - 1)},
        {5, 5, ERROR_INSUFFICIENT_BUFFER, path.substr(0, 4)},
        {1, 1, ERROR_INSUFFICIENT_BUFFER, u""},
    };
    for (const auto& c : cases)
    {
        std::vector<WCHAR> buffer(c.size + 4, u'#');
        SetLastError(0);
        EXPECT_EQ(GetModuleFileNameW(m_module, buffer.data(), c.size), c.result) << c.size;
        EXPECT_EQ(GetLastError(), c.error) << c.size;
        EXPECT_EQ(std::u16string(buffer.data()), c.text) << c.size;
        EXPECT_EQ(buffer[c.size], u'#') << "wrote past the buffer";
    }

    WCHAR buffer[8];
    SetLastError(0);
    EXPECT_EQ(GetModuleFileNameW(m_module, buffer, 0), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    SetLastError(0);
    EXPECT_EQ(GetModuleFileNameW(reinterpret_cast<HMODULE>(0x1000), buffer, 8), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));

    char ansi[4096];
    EXPECT_EQ(GetModuleFileNameA(m_module, ansi, sizeof ansi), len);
    EXPECT_EQ(std::string(ansi), kFixturePath);
}

TEST_F(LoaderTest, SystemFolderNamesMatchWithoutCase)
{
    auto system32 = m_machine / "drive_c" / "Windows" / "System32";
    std::filesystem::create_directories(system32);
    std::filesystem::create_symlink(kFixturePath, system32 / "Fixture_Lib.dll");
    for (const char16_t* name : {u"Fixture_Lib.dll", u"FIXTURE_LIB.DLL", u"fixture_lib.dll"})
    {
        HMODULE module = LoadLibraryW(name);
        ASSERT_NE(module, nullptr) << std::string(name, name + std::char_traits<char16_t>::length(name));
        EXPECT_NE(GetProcAddress(module, "FixtureAnswer"), nullptr);
        EXPECT_TRUE(FreeLibrary(module));
    }
    SetLastError(0);
    EXPECT_EQ(LoadLibraryW(u"Fixture_Lib2.dll"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
}
