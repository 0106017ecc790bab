// What a VARIANT owns: VariantClear frees BSTRs and releases interfaces, VariantCopy
// duplicates them; by-reference variants own nothing.
#include <gtest/gtest.h>

#include <cstring>

#include "counted_object.h"
#include "objbase.h"
#include "oleauto.h"

TEST(VariantTest, ClearReleasesWhatTheVariantOwns)
{
    CountedObject object;
    VARIANT v;
    VariantInit(&v);
    EXPECT_EQ(v.vt, VT_EMPTY);

    v.vt = VT_UNKNOWN;
    v.punkVal = &object;
    object.AddRef();
    EXPECT_EQ(VariantClear(&v), S_OK);
    EXPECT_EQ(v.vt, VT_EMPTY);
    EXPECT_EQ(object.refs, 1u);

    v.vt = VT_DISPATCH;
    v.pdispVal = &object;
    object.AddRef();
    EXPECT_EQ(VariantClear(&v), S_OK);
    EXPECT_EQ(object.refs, 1u);

    IUnknown* held = &object;
    v.vt = VT_UNKNOWN | VT_BYREF;
    v.ppunkVal = &held;
    EXPECT_EQ(VariantClear(&v), S_OK);
    EXPECT_EQ(object.refs, 1u) << "by reference: nothing released";

    v.vt = VT_UNKNOWN;
    v.punkVal = nullptr;
    EXPECT_EQ(VariantClear(&v), S_OK);

    v.vt = VT_BSTR;
    v.bstrVal = SysAllocString(u"owned");
    EXPECT_EQ(VariantClear(&v), S_OK); // freed (the sanitizer build sees a leak otherwise)
    EXPECT_EQ(v.vt, VT_EMPTY);
}

TEST(VariantTest, UnknownTypesAreRefusedAndLeftAlone)
{
    VARIANT v;
    VariantInit(&v);
    for (VARTYPE vt : {VARTYPE(VT_VARIANT), VARTYPE(VT_LPSTR), VARTYPE(VT_RECORD), VARTYPE(VT_ARRAY | VT_I4),
                       VARTYPE(0x0FFF)})
    {
        v.vt = vt;
        EXPECT_EQ(VariantClear(&v), DISP_E_BADVARTYPE) << vt;
        EXPECT_EQ(v.vt, vt);
        VARIANT copy;
        VariantInit(&copy);
        EXPECT_EQ(VariantCopy(&copy, &v), DISP_E_BADVARTYPE) << vt;
        EXPECT_EQ(copy.vt, VT_EMPTY);
    }
    EXPECT_EQ(VariantClear(nullptr), E_INVALIDARG);
    EXPECT_EQ(VariantCopy(nullptr, &v), E_INVALIDARG);
}

TEST(VariantTest, CopyDuplicatesStringsAndAddsReferences)
{
    VARIANT source;
    VariantInit(&source);
    source.vt = VT_BSTR;
    const OLECHAR text[] = {u'a', 0, u'b'};
    source.bstrVal = SysAllocStringLen(text, 3);

    CountedObject previous;
    VARIANT copy;
    VariantInit(&copy);
    copy.vt = VT_UNKNOWN;
    copy.punkVal = &previous;
    previous.AddRef();

    ASSERT_EQ(VariantCopy(&copy, &source), S_OK);
    EXPECT_EQ(previous.refs, 1u) << "destination cleared first";
    ASSERT_EQ(copy.vt, VT_BSTR);
    EXPECT_NE(copy.bstrVal, source.bstrVal);
    ASSERT_EQ(SysStringLen(copy.bstrVal), 3u) << "embedded zero kept";
    EXPECT_EQ(std::memcmp(copy.bstrVal, text, sizeof(text)), 0);
    EXPECT_EQ(VariantClear(&copy), S_OK);
    EXPECT_EQ(VariantClear(&source), S_OK);

    CountedObject object;
    source.vt = VT_DISPATCH;
    source.pdispVal = &object;
    ASSERT_EQ(VariantCopy(&copy, &source), S_OK);
    EXPECT_EQ(copy.pdispVal, &object);
    EXPECT_EQ(object.refs, 2u);
    VariantClear(&copy);
    EXPECT_EQ(object.refs, 1u);

    source.vt = VT_I4;
    source.lVal = -7;
    ASSERT_EQ(VariantCopy(&copy, &source), S_OK);
    EXPECT_EQ(copy.vt, VT_I4);
    EXPECT_EQ(copy.lVal, -7);
    EXPECT_EQ(VariantCopy(&copy, &copy), S_OK);
}
