// HKEY_CLASSES_ROOT before its key HKLM\SOFTWARE\Classes exists: reads see an empty key and
// change nothing (not even the hive file), an unelevated write is refused, an elevated one
// makes the key.
#include <fstream>
#include <iterator>

#include "reg_test_support.h"

namespace
{
std::string FileBytes(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
} // namespace

class ClassesRootTest : public RegistryTest
{
protected:
    void SetUp() override
    {
        RegistryTest::SetUp();
        // A machine hive with keys, but none under SOFTWARE\Classes.
        qm::SetProcessElevated(true);
        HKEY key = Create(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Vendor");
        EXPECT_EQ(ERROR_SUCCESS, SetDword(key, u"v", 1));
        RegCloseKey(key);
        qm::SetProcessElevated(false);
    }

    bool ClassesKeyExists()
    {
        HKEY key = nullptr;
        LSTATUS st = RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Classes", 0, KEY_READ, &key);
        EXPECT_TRUE(st == ERROR_SUCCESS || st == ERROR_FILE_NOT_FOUND) << st;
        RegCloseKey(key);
        return st == ERROR_SUCCESS;
    }
};

TEST_F(ClassesRootTest, ReadsSeeAnEmptyKeyAndWriteNothing)
{
    const auto hive = m_dir / "registry" / "HKLM.db";
    const std::string before = FileBytes(hive);
    ASSERT_FALSE(before.empty());

    for (bool elevated : {false, true})
    {
        SCOPED_TRACE(elevated);
        qm::SetProcessElevated(elevated);
        HKEY key = nullptr;
        EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyExW(HKEY_CLASSES_ROOT, u"CLSID", 0, KEY_READ, &key));
        EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyExW(HKEY_CLASSES_ROOT, u"CLSID\\{0}", 0, KEY_READ, &key));
        DWORD type = 0, size = 0;
        EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegQueryValueExW(HKEY_CLASSES_ROOT, u"", nullptr, &type, nullptr, &size));
        EXPECT_EQ(ERROR_FILE_NOT_FOUND,
                  RegGetValueW(HKEY_CLASSES_ROOT, u"CLSID", u"", RRF_RT_ANY, nullptr, nullptr, &size));
        char16_t name[64];
        DWORD count = 64;
        EXPECT_EQ(ERROR_NO_MORE_ITEMS,
                  RegEnumKeyExW(HKEY_CLASSES_ROOT, 0, name, &count, nullptr, nullptr, nullptr, nullptr));
        count = 64;
        EXPECT_EQ(ERROR_NO_MORE_ITEMS,
                  RegEnumValueW(HKEY_CLASSES_ROOT, 0, name, &count, nullptr, nullptr, nullptr, nullptr));
        DWORD subKeys = 99, values = 99;
        EXPECT_EQ(ERROR_SUCCESS, RegQueryInfoKeyW(HKEY_CLASSES_ROOT, nullptr, nullptr, nullptr, &subKeys, nullptr,
                                                  nullptr, &values, nullptr, nullptr, nullptr, nullptr));
        EXPECT_EQ(0u, subKeys);
        EXPECT_EQ(0u, values);
        EXPECT_EQ(elevated ? ERROR_FILE_NOT_FOUND : ERROR_ACCESS_DENIED, RegDeleteValueW(HKEY_CLASSES_ROOT, u"absent"));
        EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegDeleteKeyW(HKEY_CLASSES_ROOT, u"absent"));
        EXPECT_FALSE(ClassesKeyExists());
    }
    qm::SetProcessElevated(false);

    // Not elevated, the writes are refused and make nothing either.
    HKEY key = nullptr;
    EXPECT_EQ(ERROR_ACCESS_DENIED,
              RegCreateKeyExW(HKEY_CLASSES_ROOT, u".qm", 0, nullptr, 0, KEY_READ, nullptr, &key, nullptr));
    EXPECT_EQ(ERROR_ACCESS_DENIED, SetDword(HKEY_CLASSES_ROOT, u"v", 1));
    EXPECT_FALSE(ClassesKeyExists());
    EXPECT_EQ(before, FileBytes(hive));
}

TEST_F(ClassesRootTest, TheFirstElevatedWriteMakesTheKey)
{
    qm::SetProcessElevated(true);
    // A value set on the classes root itself.
    ASSERT_EQ(ERROR_SUCCESS, SetString(HKEY_CLASSES_ROOT, u"Note", u"classes"));
    EXPECT_TRUE(ClassesKeyExists());
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Classes", 0, KEY_READ, &key));
    EXPECT_EQ(u"classes", GetString(key, u"Note"));
    RegCloseKey(key);

    // A key created through the classes root lands under HKLM\SOFTWARE\Classes.
    ASSERT_EQ(ERROR_SUCCESS, RegDeleteTreeW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Classes"));
    EXPECT_FALSE(ClassesKeyExists());
    key = Create(HKEY_CLASSES_ROOT, u"CLSID\\{1}");
    ASSERT_NE(nullptr, key);
    EXPECT_EQ(ERROR_SUCCESS, SetString(key, u"", u"server"));
    RegCloseKey(key);
    qm::SetProcessElevated(false);
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Classes\\CLSID\\{1}", 0, KEY_READ, &key));
    EXPECT_EQ(u"server", GetString(key, nullptr));
    RegCloseKey(key);
    EXPECT_EQ((std::vector<std::u16string>{u"CLSID"}), SubKeys(HKEY_CLASSES_ROOT));
}
