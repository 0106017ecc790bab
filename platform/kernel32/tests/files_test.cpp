// Files on drive C of the machine: creation dispositions, last errors, the temporary folder.
#include "shlwapi.h"
#include "test_machine.h"

class Files : public FreshMachine
{
};

TEST_F(Files, WriteReadDeleteAndTheirLastErrors)
{
    WCHAR temp[MAX_PATH] = {};
    DWORD n = GetTempPathW(MAX_PATH, temp);
    std::u16string folder(temp);
    ASSERT_EQ(folder.size(), n);
    EXPECT_EQ(u"C:\\Users\\", folder.substr(0, 9));
    EXPECT_EQ(u'\\', folder.back());
    EXPECT_EQ(n + 1, GetTempPathW(3, temp)) << "too small: the size needed";
    EXPECT_TRUE(PathFileExistsW(folder.c_str()));

    std::u16string file = folder + u"data.bin";
    EXPECT_FALSE(PathFileExistsW(file.c_str()));
    HANDLE h = CreateFileW(file.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    EXPECT_EQ(DWORD(ERROR_SUCCESS), GetLastError());
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(h, "abc", 3, &written, nullptr));
    EXPECT_EQ(3u, written);
    ASSERT_TRUE(CloseHandle(h));
    EXPECT_FALSE(CloseHandle(h));
    EXPECT_EQ(DWORD(ERROR_INVALID_HANDLE), GetLastError());

    EXPECT_TRUE(PathFileExistsW(file.c_str()));
    h = CreateFileW(file.c_str(), GENERIC_READ, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_EQ(INVALID_HANDLE_VALUE, h);
    EXPECT_EQ(DWORD(ERROR_FILE_EXISTS), GetLastError());
    h = CreateFileW(file.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    char buffer[8] = {};
    DWORD read = 0;
    ASSERT_TRUE(ReadFile(h, buffer, sizeof buffer, &read, nullptr));
    EXPECT_EQ(3u, read);
    EXPECT_EQ(std::string("abc"), std::string(buffer, read));
    CloseHandle(h);
    h = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_EQ(DWORD(ERROR_ALREADY_EXISTS), GetLastError()) << "an existing file was replaced";
    CloseHandle(h);

    ASSERT_TRUE(DeleteFileW(file.c_str()));
    EXPECT_FALSE(DeleteFileW(file.c_str()));
    EXPECT_EQ(DWORD(ERROR_FILE_NOT_FOUND), GetLastError());
    EXPECT_EQ(INVALID_HANDLE_VALUE,
              CreateFileW(file.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    EXPECT_EQ(DWORD(ERROR_FILE_NOT_FOUND), GetLastError());
    EXPECT_EQ(INVALID_HANDLE_VALUE, CreateFileW(u"C:\\no\\such\\folder\\x", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                                FILE_ATTRIBUTE_NORMAL, nullptr));
    EXPECT_EQ(DWORD(ERROR_PATH_NOT_FOUND), GetLastError());
    // Other drives and paths that climb out of drive C name nothing.
    EXPECT_EQ(INVALID_HANDLE_VALUE, CreateFileW(u"D:\\x", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                                FILE_ATTRIBUTE_NORMAL, nullptr));
    EXPECT_EQ(INVALID_HANDLE_VALUE, CreateFileW(u"C:\\..\\..\\x", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                                FILE_ATTRIBUTE_NORMAL, nullptr));
    EXPECT_FALSE(std::filesystem::exists(m_dir.parent_path() / "x"));
}
