// Folder searches: the dot entries, wildcards without case, and the last errors.
#include <fstream>
#include <vector>

#include "test_machine.h"

namespace
{
class FindFiles : public FreshMachine
{
protected:
    void Touch(const std::string& relative, const std::string& content = "x")
    {
        auto path = m_dir / "drive_c" / relative;
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << content;
    }

    std::vector<std::u16string> Names(const char16_t* pattern, DWORD* error = nullptr)
    {
        std::vector<std::u16string> names;
        WIN32_FIND_DATAW data;
        HANDLE h = FindFirstFileW(pattern, &data);
        if (h == INVALID_HANDLE_VALUE)
        {
            if (error)
                *error = GetLastError();
            return names;
        }
        do
            names.push_back(data.cFileName);
        while (FindNextFileW(h, &data));
        EXPECT_EQ(DWORD(ERROR_NO_MORE_FILES), GetLastError());
        EXPECT_TRUE(FindClose(h));
        return names;
    }
};
} // namespace

TEST_F(FindFiles, FolderListsDotsFirstButDriveRootDoesNot)
{
    Touch("Data/b.txt", "hello");
    Touch("Data/A.dat");
    Touch("Data/noext");
    std::filesystem::create_directories(m_dir / "drive_c" / "Data" / "Sub");
    using Names_ = std::vector<std::u16string>;
    EXPECT_EQ((Names_{u".", u"..", u"A.dat", u"b.txt", u"noext", u"Sub"}), Names(u"C:\\Data\\*.*"));
    EXPECT_EQ((Names_{u".", u"..", u"A.dat", u"b.txt", u"noext", u"Sub"}), Names(u"c:/Data/*"));
    EXPECT_EQ((Names_{u"b.txt"}), Names(u"C:\\Data\\B.*"));
    EXPECT_EQ((Names_{u"A.dat", u"b.txt"}), Names(u"C:\\Data\\?.*t"));

    auto root = Names(u"C:\\*.*");
    ASSERT_FALSE(root.empty());
    EXPECT_NE(u".", root.front()) << "a drive's root has no dot entries";
    EXPECT_EQ(u"Data", root.front());

    WIN32_FIND_DATAW data;
    HANDLE h = FindFirstFileW(u"C:\\Data\\b.txt", &data);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    EXPECT_EQ(5u, data.nFileSizeLow);
    EXPECT_EQ(0u, data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_TRUE(FindClose(h));
    h = FindFirstFileW(u"C:\\Data\\Sub", &data);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    EXPECT_NE(0u, data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_TRUE(FindClose(h));
}

TEST_F(FindFiles, FailuresSetTheLastError)
{
    Touch("Data/a.txt");
    DWORD error = 0;
    EXPECT_TRUE(Names(u"C:\\Data\\*.zip", &error).empty());
    EXPECT_EQ(DWORD(ERROR_FILE_NOT_FOUND), error);
    EXPECT_TRUE(Names(u"C:\\Missing\\*.*", &error).empty());
    EXPECT_EQ(DWORD(ERROR_PATH_NOT_FOUND), error);
    WIN32_FIND_DATAW data;
    EXPECT_FALSE(FindNextFileW(nullptr, &data));
    EXPECT_EQ(DWORD(ERROR_INVALID_HANDLE), GetLastError());
    EXPECT_FALSE(FindClose(reinterpret_cast<HANDLE>(&data)));
    EXPECT_EQ(DWORD(ERROR_INVALID_HANDLE), GetLastError());
}
