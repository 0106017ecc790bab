// Several processes on one machine: what one writes the next one reads, and two writers at
// once lose nothing.
#include <cstdio>

#include "qm/child_process.h"
#include "reg_test_support.h"

namespace
{
pid_t Spawn(std::vector<std::string> args)
{
    pid_t pid = qm::test::SpawnChild(QM_REG_WRITER_HELPER, std::move(args));
    EXPECT_NE(-1, pid);
    return pid;
}

int Wait(pid_t pid)
{
    return qm::test::WaitChild(pid);
}

TEST_F(RegistryTest, AnotherProcessSeesWhatWasWritten)
{
    HKEY key = Create(HKEY_CURRENT_USER, u"Software\\Shared");
    ASSERT_EQ(ERROR_SUCCESS, SetString(key, u"Greeting", u"from parent"));
    RegCloseKey(key);

    int status = -1;
    std::string out = qm::test::ChildOutput(QM_REG_WRITER_HELPER, {"read", "Software\\Shared", "greeting"}, &status);
    EXPECT_EQ(0, status);
    EXPECT_EQ("from parent", out);

    ASSERT_EQ(0, Wait(Spawn({"write", "Software\\FromChild", "c", "3"})));
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CURRENT_USER, u"Software\\FromChild", 0, KEY_READ, &key));
    EXPECT_EQ((std::vector<std::u16string>{u"c0", u"c1", u"c2"}), SubKeys(key));
    RegCloseKey(key);
}

TEST_F(RegistryTest, ConcurrentWritersLoseNothing)
{
    const int count = 150;
    // Both children start on a machine whose hive does not exist yet, and race to make it.
    pid_t a = Spawn({"write", "Software\\Race", "a", std::to_string(count)});
    pid_t b = Spawn({"write", "Software\\Race", "b", std::to_string(count)});
    // This process writes too, through its own connection.
    HKEY mine = Create(HKEY_CURRENT_USER, u"Software\\Race");
    for (int i = 0; i < count; ++i)
    {
        std::u16string name = u"p" + std::u16string(1, char16_t(u'0' + i % 10)) + char16_t(u'A' + i / 10);
        ASSERT_EQ(ERROR_SUCCESS, SetDword(mine, name.c_str(), DWORD(i)));
    }
    ASSERT_EQ(0, Wait(a));
    ASSERT_EQ(0, Wait(b));

    DWORD subKeys = 0, values = 0;
    ASSERT_EQ(ERROR_SUCCESS, RegQueryInfoKeyW(mine, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, &values,
                                              nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(DWORD(2 * count), subKeys);
    EXPECT_EQ(DWORD(3 * count), values);
    for (int i = 0; i < count; ++i)
        for (const char* prefix : {"a", "b"})
        {
            std::string n = prefix + std::to_string(i);
            std::u16string name(n.begin(), n.end());
            DWORD value = 0xFFFF, size = 4;
            ASSERT_EQ(ERROR_SUCCESS,
                      RegQueryValueExW(mine, name.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size));
            EXPECT_EQ(DWORD(i), value);
        }
    RegCloseKey(mine);
}
} // namespace
