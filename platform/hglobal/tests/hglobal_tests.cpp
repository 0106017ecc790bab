// Global memory blocks and the stream over one.
#include <gtest/gtest.h>

#include <cstring>

#include "objidl.h"
#include "windows.h"

TEST(GlobalMemory, FixedAndMoveableBlocks)
{
    HGLOBAL fixed = GlobalAlloc(GMEM_FIXED, 16);
    ASSERT_NE(fixed, nullptr);
    EXPECT_EQ(GlobalLock(fixed), fixed); // a fixed block is its own address
    EXPECT_EQ(GlobalSize(fixed), 16u);
    EXPECT_EQ(GlobalFree(fixed), nullptr);

    HGLOBAL moveable = GlobalAlloc(GHND, 8);
    auto* p = static_cast<BYTE*>(GlobalLock(moveable));
    ASSERT_NE(p, nullptr);
    EXPECT_NE(static_cast<void*>(p), moveable);
    EXPECT_EQ(p[7], 0); // zeroed
    EXPECT_EQ(GlobalHandle(p), moveable);
    GlobalLock(moveable);
    EXPECT_TRUE(GlobalUnlock(moveable)); // still locked once
    EXPECT_FALSE(GlobalUnlock(moveable));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(NO_ERROR));
    EXPECT_EQ(GlobalFree(moveable), nullptr);
    HGLOBAL bogus = reinterpret_cast<HGLOBAL>(0x1234);
    EXPECT_EQ(GlobalFree(bogus), bogus);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST(GlobalMemory, StreamReadsSeeksWritesAndGrows)
{
    HGLOBAL block = GlobalAlloc(GMEM_FIXED, 4);
    memcpy(GlobalLock(block), "abcd", 4);
    IStream* stream = nullptr;
    ASSERT_EQ(CreateStreamOnHGlobal(block, FALSE, &stream), S_OK);
    char buffer[8] = {};
    ULONG read = 0;
    EXPECT_EQ(stream->Read(buffer, 8, &read), S_OK);
    EXPECT_EQ(read, 4u); // short read at the end
    EXPECT_EQ(std::string(buffer, 4), "abcd");
    LARGE_INTEGER back;
    back.QuadPart = -2;
    ULARGE_INTEGER pos;
    EXPECT_EQ(stream->Seek(back, STREAM_SEEK_END, &pos), S_OK);
    EXPECT_EQ(pos.QuadPart, 2u);
    back.QuadPart = -10;
    EXPECT_NE(stream->Seek(back, STREAM_SEEK_SET, nullptr), S_OK);
    IStream* clone = nullptr;
    ASSERT_EQ(stream->Clone(&clone), S_OK);
    EXPECT_EQ(stream->Write("XYZ", 3, nullptr), S_OK); // grows the block
    STATSTG st;
    stream->Stat(&st, STATFLAG_NONAME);
    EXPECT_EQ(st.cbSize.QuadPart, 5u);
    // The clone shares the block and kept its own position (2).
    read = 0;
    clone->Read(buffer, 8, &read);
    EXPECT_EQ(std::string(buffer, read), "XYZ");
    HGLOBAL now = nullptr;
    EXPECT_EQ(GetHGlobalFromStream(stream, &now), S_OK);
    clone->Release();
    stream->Release();
    // Without delete-on-release the block outlives the stream.
    EXPECT_EQ(GlobalSize(now), 5u);
    EXPECT_EQ(GlobalFree(now), nullptr);
    EXPECT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, nullptr), E_INVALIDARG);
}
