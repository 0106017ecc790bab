// What Windows' registry does, stated as tests of the wide API.
#include <cstring>

#include "reg_test_support.h"

namespace
{
TEST_F(RegistryTest, KeyNamesMatchWithoutRegardToCaseAndKeepTheirCase)
{
    HKEY key = Create(HKEY_CURRENT_USER, u"Software\\Quillmark\\Été\\Ключ");
    ASSERT_NE(nullptr, key);
    RegCloseKey(key);

    for (const char16_t* path : {u"SOFTWARE\\QUILLMARK\\ÉTÉ\\КЛЮЧ", u"software\\quillmark\\été\\ключ"})
    {
        HKEY opened = nullptr;
        EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, KEY_READ, &opened));
        RegCloseKey(opened);
    }
    HKEY parent = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CURRENT_USER, u"software", 0, KEY_READ, &parent));
    EXPECT_EQ(std::vector<std::u16string>{u"Quillmark"}, SubKeys(parent));
    RegCloseKey(parent);

    DWORD disposition = 0;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, u"SOFTWARE\\quillmark", 0, nullptr, 0, KEY_READ,
                                             nullptr, &key, &disposition));
    EXPECT_EQ(DWORD(REG_OPENED_EXISTING_KEY), disposition);
    RegCloseKey(key);
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, u"Software\\Other", 0, nullptr, 0, KEY_READ, nullptr,
                                             &key, &disposition));
    EXPECT_EQ(DWORD(REG_CREATED_NEW_KEY), disposition);
    RegCloseKey(key);
}

TEST_F(RegistryTest, OpeningAMissingKeyFailsWithFileNotFound)
{
    HKEY key = reinterpret_cast<HKEY>(1);
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyExW(HKEY_CURRENT_USER, u"Software\\Nothing", 0, KEY_READ, &key));
    EXPECT_EQ(nullptr, key);
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegOpenKeyExW(reinterpret_cast<HKEY>(0x77), u"x", 0, KEY_READ, &key));
    HKEY made = Create(HKEY_CURRENT_USER, u"Software\\A");
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(made));
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegCloseKey(made));
}

struct TypedCase
{
    DWORD type;
    std::vector<BYTE> data;
};

TEST_F(RegistryTest, ValuesKeepTheirTypeAndExactBytes)
{
    const std::vector<TypedCase> cases = {
        {REG_NONE, {}},
        {REG_SZ, {'a', 0, 'b', 0, 0, 0}},
        {REG_SZ, {'n', 0, 'o', 0}}, // stored without a terminator, as given
        {REG_EXPAND_SZ, {'%', 0, 'X', 0, '%', 0, 0, 0}},
        {REG_BINARY, {0x00, 0xFF, 0x10, 0x00}},
        {REG_DWORD, {0x78, 0x56, 0x34, 0x12}},
        {REG_MULTI_SZ, {'a', 0, 0, 0, 'b', 0, 0, 0, 0, 0}},
        {REG_QWORD, {1, 2, 3, 4, 5, 6, 7, 8}},
    };
    HKEY key = Create(HKEY_CURRENT_USER, u"Software\\Types");
    for (size_t i = 0; i < cases.size(); ++i)
    {
        SCOPED_TRACE(i);
        std::u16string name = u"v" + std::u16string(1, char16_t(u'0' + i));
        ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key, name.c_str(), 0, cases[i].type, cases[i].data.data(),
                                                DWORD(cases[i].data.size())));
        DWORD type = 99, size = 0;
        ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExW(key, name.c_str(), nullptr, &type, nullptr, &size));
        EXPECT_EQ(cases[i].type, type);
        EXPECT_EQ(cases[i].data.size(), size);
        std::vector<BYTE> out(size + 3, 0xCC);
        DWORD have = DWORD(out.size());
        ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExW(key, name.c_str(), nullptr, &type, out.data(), &have));
        EXPECT_EQ(size, have);
        out.resize(have);
        EXPECT_EQ(cases[i].data, out);
    }
    RegCloseKey(key);
}

TEST_F(RegistryTest, QuerySizesFollowTheWindowsProtocol)
{
    HKEY key = Create(HKEY_CURRENT_USER, u"Software\\Q");
    ASSERT_EQ(ERROR_SUCCESS, SetString(key, u"Name", u"hello"));

    DWORD type = 0, size = 0;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExW(key, u"NAME", nullptr, &type, nullptr, &size));
    EXPECT_EQ(DWORD(REG_SZ), type);
    EXPECT_EQ(12u, size); // five characters and the terminator

    BYTE small[4] = {};
    size = sizeof small;
    type = 0;
    EXPECT_EQ(ERROR_MORE_DATA, RegQueryValueExW(key, u"name", nullptr, &type, small, &size));
    EXPECT_EQ(12u, size);
    EXPECT_EQ(DWORD(REG_SZ), type);

    char16_t exact[6];
    size = sizeof exact;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExW(key, u"Name", nullptr, nullptr, reinterpret_cast<BYTE*>(exact), &size));
    EXPECT_EQ(std::u16string(u"hello"), std::u16string(exact));

    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExW(key, u"Name", nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(ERROR_INVALID_PARAMETER, RegQueryValueExW(key, u"Name", nullptr, nullptr, small, nullptr));
    size = 0;
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegQueryValueExW(key, u"Missing", nullptr, &type, nullptr, &size));
    // The default value exists only once it is set.
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegQueryValueExW(key, nullptr, nullptr, &type, nullptr, &size));
    ASSERT_EQ(ERROR_SUCCESS, SetString(key, u"", u"default"));
    EXPECT_EQ(u"default", GetString(key, nullptr));
    RegCloseKey(key);
}

TEST_F(RegistryTest, GetValueTerminatesStringsAndChecksTypes)
{
    HKEY key = Create(HKEY_CURRENT_USER, u"Software\\G");
    const char16_t raw[] = {u'a', u'b'};
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key, u"Raw", 0, REG_SZ, reinterpret_cast<const BYTE*>(raw), sizeof raw));
    ASSERT_EQ(ERROR_SUCCESS, SetDword(key, u"Number", 42));

    DWORD size = 0;
    EXPECT_EQ(ERROR_SUCCESS, RegGetValueW(HKEY_CURRENT_USER, u"Software\\G", u"Raw", RRF_RT_REG_SZ, nullptr, nullptr,
                                          &size));
    EXPECT_EQ(6u, size);
    char16_t text[3];
    size = sizeof text;
    EXPECT_EQ(ERROR_SUCCESS, RegGetValueW(key, nullptr, u"Raw", RRF_RT_REG_SZ, nullptr, text, &size));
    EXPECT_EQ(std::u16string(u"ab"), std::u16string(text));

    DWORD number = 0, type = 0;
    size = sizeof number;
    EXPECT_EQ(ERROR_SUCCESS, RegGetValueW(key, nullptr, u"Number", RRF_RT_DWORD, &type, &number, &size));
    EXPECT_EQ(42u, number);
    size = sizeof text;
    EXPECT_EQ(ERROR_UNSUPPORTED_TYPE, RegGetValueW(key, nullptr, u"Number", RRF_RT_REG_SZ, nullptr, text, &size));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegGetValueW(key, u"Absent", u"Number", RRF_RT_ANY, nullptr, nullptr, nullptr));
    RegCloseKey(key);
}

TEST_F(RegistryTest, OverwritingAValueKeepsItsNameAndPlace)
{
    HKEY key = Create(HKEY_CURRENT_USER, u"Software\\Order");
    for (const char16_t* name : {u"Zeta", u"alpha", u"Mid"})
        ASSERT_EQ(ERROR_SUCCESS, SetDword(key, name, 1));
    ASSERT_EQ(ERROR_SUCCESS, SetString(key, u"ZETA", u"changed"));

    std::vector<std::u16string> names;
    for (DWORD i = 0;; ++i)
    {
        char16_t name[32];
        DWORD count = 32, type = 0;
        LSTATUS st = RegEnumValueW(key, i, name, &count, nullptr, &type, nullptr, nullptr);
        if (st == ERROR_NO_MORE_ITEMS)
            break;
        ASSERT_EQ(ERROR_SUCCESS, st);
        names.emplace_back(name, count);
    }
    // Values come in the order they were made, subkeys in the order of their names.
    EXPECT_EQ((std::vector<std::u16string>{u"Zeta", u"alpha", u"Mid"}), names);
    EXPECT_EQ(u"changed", GetString(key, u"zeta"));
    RegCloseKey(key);
}

TEST_F(RegistryTest, EnumerationIsSortedAndEndsWithNoMoreItems)
{
    HKEY key = Create(HKEY_CURRENT_USER, u"Software\\Enum");
    for (const char16_t* name : {u"gamma", u"Alpha", u"beta", u"Delta"})
        RegCloseKey(Create(key, name));
    EXPECT_EQ((std::vector<std::u16string>{u"Alpha", u"beta", u"Delta", u"gamma"}), SubKeys(key));

    char16_t name[8];
    DWORD count = 5; // "Alpha" needs six with its terminator
    EXPECT_EQ(ERROR_MORE_DATA, RegEnumKeyExW(key, 0, name, &count, nullptr, nullptr, nullptr, nullptr));
    count = 6;
    EXPECT_EQ(ERROR_SUCCESS, RegEnumKeyExW(key, 0, name, &count, nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(5u, count);
    count = 8;
    EXPECT_EQ(ERROR_NO_MORE_ITEMS, RegEnumKeyExW(key, 4, name, &count, nullptr, nullptr, nullptr, nullptr));

    ASSERT_EQ(ERROR_SUCCESS, SetString(key, u"LongerName", u"0123456789"));
    ASSERT_EQ(ERROR_SUCCESS, SetDword(key, u"N", 7));
    count = 4;
    DWORD size = 0;
    EXPECT_EQ(ERROR_MORE_DATA, RegEnumValueW(key, 0, name, &count, nullptr, nullptr, nullptr, &size));
    char16_t valueName[16];
    BYTE data[4];
    count = 16;
    size = sizeof data;
    EXPECT_EQ(ERROR_MORE_DATA, RegEnumValueW(key, 0, valueName, &count, nullptr, nullptr, data, &size));
    EXPECT_EQ(22u, size);
    count = 16;
    EXPECT_EQ(ERROR_NO_MORE_ITEMS, RegEnumValueW(key, 2, valueName, &count, nullptr, nullptr, nullptr, nullptr));

    DWORD subKeys = 0, maxSubKey = 0, values = 0, maxValueName = 0, maxValue = 0;
    ASSERT_EQ(ERROR_SUCCESS, RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subKeys, &maxSubKey, nullptr, &values,
                                              &maxValueName, &maxValue, nullptr, nullptr));
    EXPECT_EQ(4u, subKeys);
    EXPECT_EQ(5u, maxSubKey);
    EXPECT_EQ(2u, values);
    EXPECT_EQ(10u, maxValueName);
    EXPECT_EQ(22u, maxValue);
    RegCloseKey(key);
}

// Certificate stores keep hundreds of keys with large Blob values.
TEST_F(RegistryTest, ManyKeysAndLargeValues)
{
    HKEY store = Create(HKEY_CURRENT_USER, u"Software\\Microsoft\\SystemCertificates\\MY\\Certificates");
    std::vector<BYTE> blob(1 << 20);
    for (size_t i = 0; i < blob.size(); ++i)
        blob[i] = BYTE(i * 7 + 3);
    std::vector<std::u16string> expected;
    for (int i = 0; i < 300; ++i)
    {
        char buf[8];
        std::snprintf(buf, sizeof buf, "%04d", 299 - i);
        std::u16string name(buf, buf + 4);
        expected.insert(expected.begin(), name);
        HKEY cert = Create(store, name.c_str());
        const DWORD size = i == 0 ? DWORD(blob.size()) : 64;
        ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(cert, u"Blob", 0, REG_BINARY, blob.data(), size));
        RegCloseKey(cert);
    }
    EXPECT_EQ(expected, SubKeys(store));
    HKEY big = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(store, u"0299", 0, KEY_READ, &big));
    std::vector<BYTE> out(blob.size());
    DWORD size = DWORD(out.size());
    ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExW(big, u"Blob", nullptr, nullptr, out.data(), &size));
    EXPECT_EQ(blob, out);
    RegCloseKey(big);
    RegCloseKey(store);
}

TEST_F(RegistryTest, DeletingAKeyWithSubkeysIsRefused)
{
    HKEY key = Create(HKEY_CURRENT_USER, u"Software\\Del\\Child");
    RegCloseKey(key);
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegDeleteKeyW(HKEY_CURRENT_USER, u"Software\\Del"));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegDeleteKeyW(HKEY_CURRENT_USER, u"Software\\Del\\Nobody"));
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyW(HKEY_CURRENT_USER, u"software\\del\\CHILD"));
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyW(HKEY_CURRENT_USER, u"Software\\Del"));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyExW(HKEY_CURRENT_USER, u"Software\\Del", 0, KEY_READ, &key));

    key = Create(HKEY_CURRENT_USER, u"Software\\Tree\\A\\B");
    SetDword(key, u"x", 1);
    RegCloseKey(key);
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteTreeW(HKEY_CURRENT_USER, u"Software\\Tree"));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyExW(HKEY_CURRENT_USER, u"Software\\Tree", 0, KEY_READ, &key));

    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegDeleteValueW(HKEY_CURRENT_USER, u"none"));
}

TEST_F(RegistryTest, HandlesToDeletedKeysReportKeyDeleted)
{
    HKEY key = Create(HKEY_CURRENT_USER, u"Software\\Gone");
    SetDword(key, u"v", 1);
    ASSERT_EQ(ERROR_SUCCESS, RegDeleteKeyW(HKEY_CURRENT_USER, u"Software\\Gone"));

    DWORD size = 0;
    EXPECT_EQ(ERROR_KEY_DELETED, RegQueryValueExW(key, u"v", nullptr, nullptr, nullptr, &size));
    EXPECT_EQ(ERROR_KEY_DELETED, SetDword(key, u"v", 2));
    char16_t name[16];
    DWORD count = 16;
    EXPECT_EQ(ERROR_KEY_DELETED, RegEnumKeyExW(key, 0, name, &count, nullptr, nullptr, nullptr, nullptr));
    HKEY child = nullptr;
    EXPECT_EQ(ERROR_KEY_DELETED, RegCreateKeyExW(key, u"c", 0, nullptr, 0, KEY_READ, nullptr, &child, nullptr));
    // A key of the same name made afterwards is another key.
    RegCloseKey(Create(HKEY_CURRENT_USER, u"Software\\Gone"));
    EXPECT_EQ(ERROR_KEY_DELETED, SetDword(key, u"v", 3));
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(key));
}

TEST_F(RegistryTest, ReadOnlyHandlesRefuseWrites)
{
    RegCloseKey(Create(HKEY_CURRENT_USER, u"Software\\RO"));
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CURRENT_USER, u"Software\\RO", 0, KEY_READ, &key));
    EXPECT_EQ(ERROR_ACCESS_DENIED, SetDword(key, u"v", 1));
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegDeleteValueW(key, u"v"));
    HKEY child = nullptr;
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegCreateKeyExW(key, u"c", 0, nullptr, 0, KEY_READ, nullptr, &child, nullptr));
    RegCloseKey(key);

    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CURRENT_USER, u"Software\\RO", 0, KEY_SET_VALUE, &key));
    EXPECT_EQ(ERROR_SUCCESS, SetDword(key, u"v", 1));
    DWORD size = 0;
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegQueryValueExW(key, u"v", nullptr, nullptr, nullptr, &size));
    RegCloseKey(key);
}

TEST_F(RegistryTest, MachineHiveNeedsElevationToWrite)
{
    qm::SetProcessElevated(true);
    RegCloseKey(Create(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Vendor\\Sub"));
    HKEY classes = Create(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Classes\\CLSID");
    ASSERT_EQ(ERROR_SUCCESS, SetString(classes, u"", u"ids"));
    RegCloseKey(classes);
    qm::SetProcessElevated(false);

    for (REGSAM sam : {REGSAM(KEY_SET_VALUE), REGSAM(KEY_CREATE_SUB_KEY), REGSAM(KEY_WRITE), REGSAM(KEY_ALL_ACCESS),
                       REGSAM(DELETE), REGSAM(GENERIC_WRITE)})
    {
        SCOPED_TRACE(sam);
        HKEY key = nullptr;
        EXPECT_EQ(ERROR_ACCESS_DENIED, RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Vendor", 0, sam, &key));
        EXPECT_EQ(ERROR_ACCESS_DENIED,
                  RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Vendor", 0, nullptr, 0, sam, nullptr, &key, nullptr));
        EXPECT_EQ(ERROR_ACCESS_DENIED, RegOpenKeyExW(HKEY_CLASSES_ROOT, u"CLSID", 0, sam, &key));
    }
    HKEY key = nullptr;
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\New", 0, nullptr, 0, KEY_READ,
                                                   nullptr, &key, nullptr));
    EXPECT_EQ(ERROR_ACCESS_DENIED, SetDword(HKEY_LOCAL_MACHINE, u"v", 1));
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegDeleteKeyW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Vendor\\Sub"));
    // A missing key is reported as missing before access is judged.
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Absent", 0, KEY_ALL_ACCESS, &key));

    // Reading works, HKEY_CLASSES_ROOT is HKLM\SOFTWARE\Classes, and the user's hive stays writable.
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CLASSES_ROOT, u"clsid", 0, KEY_READ, &key));
    EXPECT_EQ(u"ids", GetString(key, nullptr));
    RegCloseKey(key);
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE", 0, MAXIMUM_ALLOWED, &key));
    EXPECT_EQ(ERROR_ACCESS_DENIED, SetDword(key, u"v", 1));
    RegCloseKey(key);
    key = Create(HKEY_CURRENT_USER, u"Software\\Mine");
    EXPECT_EQ(ERROR_SUCCESS, SetDword(key, u"v", 1));
    RegCloseKey(key);

    qm::SetProcessElevated(true);
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Vendor", 0, KEY_ALL_ACCESS, &key));
    EXPECT_EQ(ERROR_SUCCESS, SetDword(key, u"v", 1));
    RegCloseKey(key);
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Vendor\\Sub"));
}

TEST_F(RegistryTest, BadPathsAndNamesAreRefused)
{
    HKEY key = nullptr;
    EXPECT_EQ(ERROR_BAD_PATHNAME, RegCreateKeyExW(HKEY_CURRENT_USER, u"\\Lead", 0, nullptr, 0, KEY_READ, nullptr,
                                                  &key, nullptr));
    std::u16string longName(256, u'k');
    EXPECT_EQ(ERROR_INVALID_PARAMETER, RegCreateKeyExW(HKEY_CURRENT_USER, longName.c_str(), 0, nullptr, 0, KEY_READ,
                                                       nullptr, &key, nullptr));
    key = Create(HKEY_CURRENT_USER, u"Software\\Trailing\\");
    EXPECT_NE(nullptr, key);
    RegCloseKey(key);
    EXPECT_EQ(ERROR_NOACCESS, RegSetValueExW(HKEY_CURRENT_USER, u"v", 0, REG_BINARY, nullptr, 4));
}
} // namespace
