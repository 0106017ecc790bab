// Joining encoded parts, and a tag over them.
#include <gtest/gtest.h>

#include <vector>

#include "ByteBuffer.h"
#include "DerEncoding.h"

using Bytes = std::vector<BYTE>;

TEST(ByteBuffer, PartsAreJoinedInOrder)
{
    const Bytes a = {0x02, 0x01, 0x05}, b = {0x04, 0x00};
    const struct
    {
        const char* name;
        std::vector<BYTE_PART> parts;
        Bytes joined;
    } cases[] = {
        {"no parts", {}, {}},
        {"empty parts", {{nullptr, 0}, {a.data(), 0}}, {}},
        {"two parts around an empty one", {{a.data(), 3}, {nullptr, 0}, {b.data(), 2}},
         {0x02, 0x01, 0x05, 0x04, 0x00}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        CByteBuffer buf;
        ASSERT_EQ(S_OK, ConcatenateParts(c.parts.data(), DWORD(c.parts.size()), buf.Put(), buf.PutLength()));
        ASSERT_NE(nullptr, buf.Data()) << "an empty join is still a buffer";
        EXPECT_EQ(c.joined, Bytes(buf.Data(), buf.Data() + buf.Length()));
    }
}

TEST(ByteBuffer, AJoinPastFourGigabytesIsRefusedBeforeAnyCopy)
{
    static const BYTE one = 0;
    // The lengths alone decide; the bytes behind them are never read.
    const BYTE_PART parts[] = {{&one, 0x80000000UL}, {&one, 0x80000000UL}};
    BYTE* pb = nullptr;
    DWORD cb = 7;
    EXPECT_EQ(E_OUTOFMEMORY, ConcatenateParts(parts, 2, &pb, &cb));
    EXPECT_EQ(nullptr, pb);
    EXPECT_EQ(7u, cb);
}

TEST(ByteBuffer, TagOverTheJoinedParts)
{
    const Bytes a = {0x02, 0x01, 0x05}, b = {0x04, 0x00};
    const BYTE_PART two[] = {{a.data(), 3}, {b.data(), 2}};
    CByteBuffer buf;
    ASSERT_EQ(S_OK, EncodeParts(ASN_TAG_SEQUENCE, two, 2, buf.Put(), buf.PutLength()));
    EXPECT_EQ((Bytes{0x30, 0x05, 0x02, 0x01, 0x05, 0x04, 0x00}), Bytes(buf.Data(), buf.Data() + buf.Length()));

    ASSERT_EQ(S_OK, EncodeParts(ASN_TAG_SEQUENCE, two, 1, buf.Put(), buf.PutLength()));
    EXPECT_EQ((Bytes{0x30, 0x03, 0x02, 0x01, 0x05}), Bytes(buf.Data(), buf.Data() + buf.Length()));

    // Empty contents are the writer's to refuse, joined or not.
    const BYTE_PART empty[] = {{nullptr, 0}, {b.data(), 0}};
    EXPECT_EQ(E_FAIL, EncodeParts(ASN_TAG_SEQUENCE, empty, 2, buf.Put(), buf.PutLength()));
    EXPECT_EQ(E_FAIL, EncodeParts(ASN_TAG_SEQUENCE, empty, 1, buf.Put(), buf.PutLength()));
    EXPECT_EQ(nullptr, buf.Data());
}
