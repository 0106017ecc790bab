// GUID text as the registry holds it: braces, upper-case hex, the byte order of Data4.
#include <gtest/gtest.h>

#include <string>

#include "msxml6.h"
#include "objbase.h"

TEST(GuidStringTest, FormatsInRegistryForm)
{
    OLECHAR text[39];
    EXPECT_EQ(StringFromGUID2(CLSID_DOMDocument, text, 39), 39);
    EXPECT_EQ(std::u16string(text), u"{F6D90F11-9C73-11D3-B32E-00C04F990BB4}");
    EXPECT_EQ(StringFromGUID2(IID_IUnknown, text, 39), 39);
    EXPECT_EQ(std::u16string(text), u"{00000000-0000-0000-C000-000000000046}");
    EXPECT_EQ(StringFromGUID2(CLSID_DOMDocument, text, 38), 0) << "no room for the terminator";

    LPOLESTR allocated = nullptr;
    ASSERT_EQ(StringFromCLSID(IID_IXMLDOMDocument, &allocated), S_OK);
    EXPECT_EQ(std::u16string(allocated), u"{2933BF81-7B36-11D2-B20E-00C04F983E60}");
    CoTaskMemFree(allocated);
}

TEST(GuidStringTest, ParsesEitherCaseAndRoundTrips)
{
    CLSID parsed{};
    ASSERT_EQ(CLSIDFromString(u"{f6d90f11-9c73-11d3-b32e-00c04f990bb4}", &parsed), NOERROR);
    EXPECT_TRUE(IsEqualCLSID(parsed, CLSID_DOMDocument));
    IID iid{};
    ASSERT_EQ(IIDFromString(u"{2933BF81-7B36-11D2-B20E-00C04F983E60}", &iid), S_OK);
    EXPECT_TRUE(IsEqualIID(iid, IID_IXMLDOMDocument));
    ASSERT_EQ(CLSIDFromString(nullptr, &parsed), NOERROR);
    EXPECT_TRUE(IsEqualGUID(parsed, GUID_NULL));
}

TEST(GuidStringTest, RejectsMalformedText)
{
    const char16_t* bad[] = {
        u"",
        u"F6D90F11-9C73-11D3-B32E-00C04F990BB4",    // no braces
        u"{F6D90F11-9C73-11D3-B32E-00C04F990BB}",   // one digit short
        u"{F6D90F11-9C73-11D3-B32E-00C04F990BB4}x", // trailing text
        u"{F6D90F11-9C73-11D3-B32E00C04F990BB4-}",  // dash misplaced
        u"{G6D90F11-9C73-11D3-B32E-00C04F990BB4}",  // not hex
        u"Msxml2.DOMDocument",                      // ProgIDs are not looked up
    };
    for (const char16_t* text : bad)
    {
        CLSID clsid{};
        IID iid{};
        EXPECT_EQ(CLSIDFromString(text, &clsid), CO_E_CLASSSTRING);
        EXPECT_EQ(IIDFromString(text, &iid), E_INVALIDARG);
    }
}

TEST(GuidStringTest, TaskMemoryReallocatesAndFrees)
{
    auto* block = static_cast<unsigned char*>(CoTaskMemAlloc(16));
    ASSERT_NE(block, nullptr);
    for (int i = 0; i < 16; ++i)
        block[i] = static_cast<unsigned char>(i);
    block = static_cast<unsigned char*>(CoTaskMemRealloc(block, 4096));
    ASSERT_NE(block, nullptr);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(block[i], i);
    CoTaskMemFree(block);
    CoTaskMemFree(nullptr);
}
