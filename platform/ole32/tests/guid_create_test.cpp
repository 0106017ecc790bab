// CoCreateGuid gives distinct version-4 GUIDs that read back as registry text.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "objbase.h"

TEST(CoCreateGuid, DistinctVersion4GuidsInRegistryForm)
{
    std::set<std::u16string> seen;
    for (int i = 0; i < 64; ++i)
    {
        GUID g{};
        ASSERT_EQ(S_OK, CoCreateGuid(&g));
        EXPECT_EQ(0x4000, g.Data3 & 0xF000);
        EXPECT_EQ(0x80, g.Data4[0] & 0xC0);
        char16_t text[64] = {};
        ASSERT_EQ(39, StringFromGUID2(g, text, 64));
        GUID back{};
        ASSERT_EQ(S_OK, CLSIDFromString(text, &back));
        EXPECT_EQ(0, memcmp(&g, &back, sizeof g));
        EXPECT_TRUE(seen.insert(text).second);
    }
    EXPECT_EQ(E_INVALIDARG, CoCreateGuid(nullptr));
}
