// UTF-8/UTF-16, list splitting, hex, Base64 and DER helpers.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <list>
#include <string>
#include <vector>

#include "Base64Encoding.h"
#include "DerEncoding.h"
#include "HexEncoding.h"
#include "PluginForms.h"
#include "TextEncoding.h"

namespace
{
std::vector<BYTE> Bytes(const BYTE* pb, DWORD cb)
{
    return std::vector<BYTE>(pb, pb + cb);
}

std::string Base64Of(const std::vector<BYTE>& data, bool bEnrollment)
{
    LPSTR psz = nullptr;
    DWORD cch = 0;
    HRESULT hr = bEnrollment ? EnrollmentForm::Base64EncodeEx((DWORD)data.size(), &psz, data.data(), &cch)
                             : SigningForm::Base64EncodeEx(BASE64_FLAG_NO_CRLF, &psz, data.data(),
                                                           (DWORD)data.size(), &cch);
    EXPECT_EQ(hr, S_OK);
    EXPECT_NE(psz, nullptr);
    std::string s = psz ? std::string(psz) : std::string();
    EXPECT_EQ(s.size(), cch);
    delete[] psz;
    return s;
}

std::vector<BYTE> Decode(const std::string& text, HRESULT* phr = nullptr)
{
    BYTE* pb = nullptr;
    DWORD cb = 0;
    HRESULT hr = Base64DecodeEx((int)text.size(), &pb, text.c_str(), &cb);
    if (phr)
    {
        *phr = hr;
    }
    std::vector<BYTE> out = pb ? Bytes(pb, cb) : std::vector<BYTE>();
    delete[] pb;
    return out;
}
} // namespace

TEST(Utf, RoundTripsTextAndCountsWithoutTerminator)
{
    const char* pszUtf8 = "Zertifikat \xE8\xAF\x81\xE4\xB9\xA6 \xF0\x9F\x94\x91";
    LPWSTR pwsz = nullptr;
    DWORD cch = 0;
    ASSERT_EQ(UTF8ToUTF16(pszUtf8, &pwsz, &cch), S_OK);
    EXPECT_EQ(std::u16string(pwsz), u"Zertifikat 证书 \U0001F511");
    EXPECT_EQ(cch, 16u); // the key is a surrogate pair

    LPSTR psz = nullptr;
    DWORD cb = 0;
    ASSERT_EQ(UTF16ToUTF8(pwsz, &psz, &cb), S_OK);
    EXPECT_STREQ(psz, pszUtf8);
    EXPECT_EQ(cb, strlen(pszUtf8));
    delete[] pwsz;
    delete[] psz;
}

TEST(Utf, EmptyAndNullInputs)
{
    LPWSTR pwsz = nullptr;
    DWORD cch = 99;
    ASSERT_EQ(UTF8ToUTF16("", &pwsz, &cch), S_OK);
    ASSERT_NE(pwsz, nullptr);
    EXPECT_EQ(pwsz[0], 0);
    EXPECT_EQ(cch, 0u);
    delete[] pwsz;

    LPSTR psz = nullptr;
    DWORD cb = 99;
    ASSERT_EQ(UTF16ToUTF8(u"", &psz, &cb), S_OK);
    ASSERT_NE(psz, nullptr);
    EXPECT_EQ(cb, 0u);
    delete[] psz;

    EXPECT_EQ(UTF8ToUTF16(nullptr, &pwsz, &cch), E_POINTER);
    EXPECT_EQ(UTF16ToUTF8(nullptr, &psz, &cb), E_POINTER);
}

// Counted texts are read in place: up to their length or their first zero byte, whichever
// comes first, never beyond; the counted wide form converts exactly the characters given.
TEST(Utf, CountedTextsEndAtTheirLengthOrFirstZero)
{
    struct Case
    {
        std::string bytes; // the counted text; the byte after it is not zero
        std::u16string expected;
    };
    const Case rgCases[] = {
        {"abc", u"abc"},
        {std::string("ab\0cd", 5), u"ab"},
        {std::string("\0x", 2), u""},
        {"\xE4\xB8\xAD\xF0\x9F\x94\x91", u"\u4E2D\U0001F511"},
        {"a\xE2\x82", u"a\uFFFD"},
        {"", u""},
    };
    for (const Case& c : rgCases)
    {
        std::string buffer = c.bytes + "Z";
        LPWSTR pwsz = nullptr;
        DWORD cch = 99;
        ASSERT_EQ(UTF8ToUTF16N(buffer.data(), c.bytes.size(), &pwsz, &cch), S_OK) << c.bytes;
        EXPECT_EQ(std::u16string(pwsz), c.expected) << c.bytes;
        EXPECT_EQ(cch, c.expected.size()) << c.bytes;

        LPSTR psz = nullptr;
        DWORD cb = 99;
        std::u16string wide = c.expected + u"Z";
        ASSERT_EQ(UTF16ToUTF8N(wide.c_str(), c.expected.size(), &psz, &cb), S_OK);
        LPSTR pszWhole = nullptr;
        DWORD cbWhole = 0;
        ASSERT_EQ(UTF16ToUTF8(pwsz, &pszWhole, &cbWhole), S_OK);
        EXPECT_EQ(std::string(psz, cb), std::string(pszWhole, cbWhole));
        EXPECT_EQ(psz[cb], 0);
        delete[] pszWhole;
        delete[] psz;
        delete[] pwsz;
    }
    LPWSTR pwsz = nullptr;
    DWORD cch = 0;
    EXPECT_EQ(UTF8ToUTF16N(nullptr, 1, &pwsz, &cch), E_POINTER);
    ASSERT_EQ(UTF8ToUTF16N(nullptr, 0, &pwsz, &cch), S_OK);
    EXPECT_EQ(cch, 0u);
    delete[] pwsz;
}

TEST(Utf, InvalidSequencesFailWithoutCrashing)
{
    // Invalid UTF-8 is replaced by the converter without MB_ERR_INVALID_CHARS, so it must
    // still yield some text; lone surrogates likewise. Either way, nothing reads past the text.
    const char* rgszBad[] = {"\xC3", "\xFF\xFE", "a\xE2\x82", "\xED\xA0\x80", "\xF8\x88\x80\x80\x80"};
    for (const char* pszBad : rgszBad)
    {
        LPWSTR pwsz = nullptr;
        DWORD cch = 0;
        HRESULT hr = UTF8ToUTF16(pszBad, &pwsz, &cch);
        if (SUCCEEDED(hr))
        {
            ASSERT_NE(pwsz, nullptr);
            EXPECT_EQ(std::char_traits<char16_t>::length(pwsz), cch);
        }
        delete[] pwsz;
    }
    const WCHAR rgwszBad[][3] = {{0xD800, 0}, {0xDC00, u'a', 0}, {u'a', 0xDBFF, 0}};
    for (const auto& wszBad : rgwszBad)
    {
        LPSTR psz = nullptr;
        DWORD cb = 0;
        HRESULT hr = UTF16ToUTF8(wszBad, &psz, &cb);
        if (SUCCEEDED(hr))
        {
            ASSERT_NE(psz, nullptr);
            EXPECT_EQ(strlen(psz), cb);
        }
        delete[] psz;
    }
}

TEST(SplitStrings, StopsAtTheFirstEmptyPiece)
{
    struct Case
    {
        const char16_t* text;
        std::list<std::u16string> expected;
    };
    const Case cases[] = {
        {u"a||b", {u"a", u"b"}},
        {u"a||", {u"a"}},
        {u"a||||b", {u"a"}},
        {u"||a", {}},
        {u"", {}},
        {u"CSP A||CSP B||", {u"CSP A", u"CSP B"}},
        {u"||CSP A", {}},
        {u"one|two||three", {u"one|two", u"three"}},
        {u"single", {u"single"}},
    };
    for (const Case& c : cases)
    {
        std::list<std::u16string> lst;
        SplitStrings(c.text, lst);
        EXPECT_EQ(lst, c.expected);
    }
}

TEST(SplitStrings, AppendsWithoutClearingAndIgnoresNull)
{
    std::list<std::u16string> lst = {u"kept"};
    SplitStrings(nullptr, lst);
    SplitStrings(u"x||y", lst);
    EXPECT_EQ(lst, (std::list<std::u16string>{u"kept", u"x", u"y"}));
}

TEST(Hex, StringToBinaryTakesPairsFromTheEnd)
{
    struct Case
    {
        const char16_t* text;
        HRESULT hr;
        std::vector<BYTE> bytes;
    };
    const Case cases[] = {
        {u"0A1B2C", S_OK, {0x2C, 0x1B, 0x0A}},
        {u"0a1", S_OK, {0x0A}},
        {u"", S_OK, {}},
        {u"fF", S_OK, {0xFF}},
        {u"0x12", E_INVALIDARG, {}},
        {u"12 34", E_INVALIDARG, {}},
        {u"1g", E_INVALIDARG, {}},
        {u"-1", E_INVALIDARG, {}},
    };
    for (const Case& c : cases)
    {
        BYTE* pb = nullptr;
        DWORD cb = 77;
        EXPECT_EQ(ConvertStringToBinaryData(&cb, c.text, &pb), c.hr);
        if (c.hr == S_OK)
        {
            ASSERT_NE(pb, nullptr);
            EXPECT_EQ(Bytes(pb, cb), c.bytes);
            // Four spare zero bytes follow the value.
            for (DWORD i = 0; i < 4; ++i)
            {
                EXPECT_EQ(pb[cb + i], 0);
            }
        }
        else
        {
            EXPECT_EQ(pb, nullptr);
        }
        delete[] pb;
    }
    BYTE* pb = nullptr;
    DWORD cb = 0;
    EXPECT_EQ(ConvertStringToBinaryData(&cb, nullptr, &pb), E_INVALIDARG);
}

TEST(Hex, BinaryToStringInBothOrdersAndBothForms)
{
    const BYTE rgb[] = {0x01, 0x02, 0xAB};
    struct Case
    {
        int form; // 0 signing with flag, 1 enrollment
        DWORD order;
        const char16_t* expected;
    };
    const Case cases[] = {
        {0, 1, u"ab0201"}, {0, 0, u"0102ab"}, {0, 2, u"0102ab"}, {1, 0, u"ab0201"},
    };
    for (const Case& c : cases)
    {
        LPWSTR pwsz = nullptr;
        HRESULT hr = c.form == 0 ? SigningForm::ConvertBinaryDataToString(&pwsz, 3, rgb, c.order)
                                 : EnrollmentForm::ConvertBinaryDataToString(&pwsz, 3, rgb);
        ASSERT_EQ(hr, S_OK);
        EXPECT_EQ(std::u16string(pwsz), c.expected);
        delete[] pwsz;
    }
    LPWSTR pwsz = nullptr;
    ASSERT_EQ(SigningForm::ConvertBinaryDataToString(&pwsz, 0, rgb, 1), S_OK);
    EXPECT_EQ(std::u16string(pwsz), u"");
    delete[] pwsz;
}

TEST(Hex, HugeCountFailsAsOutOfMemory)
{
    const BYTE b = 0;
    LPWSTR pwsz = nullptr;
    EXPECT_EQ(SigningForm::ConvertBinaryDataToString(&pwsz, 0xFFFFFFFF, &b, 0), E_OUTOFMEMORY);
    EXPECT_EQ(pwsz, nullptr);
}

TEST(Hex, SwapByteOrderReversesInPlace)
{
    std::vector<BYTE> odd = {1, 2, 3, 4, 5};
    SwapByteOrder(odd.data(), 5);
    EXPECT_EQ(odd, (std::vector<BYTE>{5, 4, 3, 2, 1}));
    std::vector<BYTE> even = {1, 2, 3, 4};
    SwapByteOrder(even.data(), 4);
    EXPECT_EQ(even, (std::vector<BYTE>{4, 3, 2, 1}));
    SwapByteOrder(nullptr, 3);
    SwapByteOrder(even.data(), 0);
}

TEST(Base64, SigningEncoderWritesOnePaddedLine)
{
    struct Case
    {
        std::string data;
        std::string expected;
    };
    const Case cases[] = {
        {"", ""}, {"f", "Zg=="}, {"fo", "Zm8="}, {"foo", "Zm9v"}, {"foob", "Zm9vYg=="}, {"\xfb\xff", "+/8="},
    };
    for (const Case& c : cases)
    {
        EXPECT_EQ(Base64Of(std::vector<BYTE>(c.data.begin(), c.data.end()), false), c.expected);
    }
    std::string s = Base64Of(std::vector<BYTE>(300, 0x41), false);
    EXPECT_EQ(s.size(), 400u);
    EXPECT_EQ(s.find('\r'), std::string::npos);
}

TEST(Base64, EnrollmentEncoderBreaksAfterEach76CharactersOfCompleteGroups)
{
    struct Case
    {
        size_t cb;
        size_t cchExpected;
        std::vector<size_t> crlfAt; // offsets of "\r\n"
        std::string tail;           // last characters
    };
    const Case cases[] = {
        {56, 76, {}, "AAA="},            // 18 groups + 2 bytes: 72 + 4, no break
        {57, 78, {76}, "AA\r\n"},        // 19 groups fill the line and end with CR LF
        {58, 82, {76}, "\r\nAA=="},      // then the incomplete group without a break
        {59, 82, {76}, "\r\nAAA="},
        {114, 156, {76, 154}, "A\r\n"},  // two full lines
        {1, 4, {}, "AA=="},
        {0, 0, {}, ""},
    };
    for (const Case& c : cases)
    {
        std::string s = Base64Of(std::vector<BYTE>(c.cb, 0), true);
        EXPECT_EQ(s.size(), c.cchExpected) << c.cb;
        std::vector<size_t> crlf;
        for (size_t i = s.find("\r\n"); i != std::string::npos; i = s.find("\r\n", i + 2))
        {
            crlf.push_back(i);
        }
        EXPECT_EQ(crlf, c.crlfAt) << c.cb;
        ASSERT_GE(s.size(), c.tail.size());
        EXPECT_EQ(s.substr(s.size() - c.tail.size()), c.tail) << c.cb;
    }
}

TEST(Base64, CodecFlagsAndSize)
{
    const BYTE rgb[] = {'f'};
    CHAR sz[16] = {0};
    DWORD cch = 0;
    ASSERT_TRUE(Base64Encode(rgb, 1, BASE64_FLAG_NO_PADDING | BASE64_FLAG_NO_CRLF, sz, sizeof(sz), &cch));
    EXPECT_STREQ(sz, "Zg");
    EXPECT_EQ(cch, 2u);
    // A too small buffer and null arguments are refused.
    EXPECT_FALSE(Base64Encode(rgb, 1, 0, sz, 3, &cch));
    EXPECT_FALSE(Base64Encode(nullptr, 1, 0, sz, sizeof(sz), &cch));
    // The required size always leaves room for what is written.
    for (DWORD cb = 0; cb < 400; ++cb)
    {
        EXPECT_GE(Base64EncodedSize(cb, 0), ((cb + 2) / 3) * 4 + 2 * (cb / 57));
    }
}

TEST(Base64, HugeLengthFailsAsOutOfMemory)
{
    const BYTE b = 0;
    LPSTR psz = nullptr;
    DWORD cch = 0;
    EXPECT_EQ(SigningForm::Base64EncodeEx(BASE64_FLAG_NO_CRLF, &psz, &b, 0xFFFFFFFF, &cch), E_OUTOFMEMORY);
    EXPECT_EQ(EnrollmentForm::Base64EncodeEx(0xC0000000, &psz, &b, &cch), E_OUTOFMEMORY);
    EXPECT_EQ(psz, nullptr);
}

// Groups split across parts, at every cut and under every flag, give the codec's own text.
TEST(Base64, PartsEncoderMatchesTheCodecWhereverThePartsAreCut)
{
    std::vector<BYTE> data(200);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = (BYTE)(i * 37 + 11);
    for (DWORD dwFlags = 0; dwFlags < 4; ++dwFlags)
        for (DWORD cb : {0u, 1u, 2u, 3u, 57u, 58u, 114u, 200u})
        {
            char sz[400] = {};
            DWORD cch = 0;
            ASSERT_TRUE(Base64Encode(data.data(), cb, dwFlags, sz, sizeof(sz), &cch));
            const std::u16string expected(sz, sz + cch);
            for (DWORD cut1 = 0; cut1 <= cb; ++cut1)
                for (DWORD cut2 : {cut1, std::min(cut1 + 1, cb), std::min(cut1 + 2, cb), cb})
                {
                    BYTE_PART rgParts[] = {{data.data(), cut1},
                                           {data.data() + cut1, cut2 - cut1},
                                           {data.data() + cut2, cb - cut2}};
                    BSTR bstr = nullptr;
                    DWORD cchBstr = 0;
                    ASSERT_EQ(Base64EncodePartsToBstr(dwFlags, rgParts, 3, &bstr, &cchBstr), S_OK);
                    EXPECT_EQ(std::u16string(bstr, cchBstr), expected) << dwFlags << " " << cb << " " << cut1;
                    EXPECT_EQ(SysStringLen(bstr), cchBstr);
                    EXPECT_EQ(bstr[cchBstr], 0);
                    SysFreeString(bstr);
                }
        }
}

TEST(Base64, DecoderSkipsForeignCharactersAndHandlesPartialGroups)
{
    struct Case
    {
        std::string text;
        std::string expected;
    };
    const Case cases[] = {
        {"QUJD\r\nRA==", "ABCD"},
        {"Zm9v", "foo"},
        {"Zm9vYg", "foob"},       // final group of 2
        {"Zm9vYmE", "fooba"},     // final group of 3
        {"Zm9vY", "foo"},         // a single final character gives nothing
        {" Z m 9 v ", "foo"},
        {"====", ""},
        {"!!!", ""},
        {std::string("Zm9v\0Zm9v", 9), "foo"}, // zero at a group start ends the text
    };
    for (const Case& c : cases)
    {
        HRESULT hr = E_FAIL;
        std::vector<BYTE> out = Decode(c.text, &hr);
        EXPECT_EQ(hr, S_OK) << c.text;
        EXPECT_EQ(std::string(out.begin(), out.end()), c.expected) << c.text;
    }
}

TEST(Base64, DecoderRefusesEmptyAndNegativeLengths)
{
    BYTE* pb = nullptr;
    DWORD cb = 0;
    EXPECT_EQ(Base64DecodeEx(0, &pb, "QUJD", &cb), E_FAIL);
    EXPECT_EQ(Base64DecodeEx(-5, &pb, "QUJD", &cb), E_FAIL);
    EXPECT_EQ(pb, nullptr);
}

TEST(Base64, RoundTripThroughBothEncoders)
{
    std::vector<BYTE> data;
    for (int i = 0; i < 1000; ++i)
    {
        data.push_back((BYTE)(i * 37 + 11));
    }
    for (size_t cb : {0, 1, 2, 3, 56, 57, 58, 171, 1000})
    {
        std::vector<BYTE> part(data.begin(), data.begin() + cb);
        if (cb)
        {
            EXPECT_EQ(Decode(Base64Of(part, false)), part);
            EXPECT_EQ(Decode(Base64Of(part, true)), part);
        }
    }
}

TEST(Der, LengthOctets)
{
    struct Case
    {
        DWORD cb;
        HRESULT hr;
        std::vector<BYTE> octets;
    };
    const Case cases[] = {
        {0, E_FAIL, {}},
        {1, S_OK, {0x01}},
        {127, S_OK, {0x7F}},
        {128, S_OK, {0x81, 0x80}},
        {200, S_OK, {0x81, 0xC8}},
        {255, S_OK, {0x81, 0xFF}},
        {256, S_OK, {0x82, 0x01, 0x00}},
        {65535, S_OK, {0x82, 0xFF, 0xFF}},
        {65536, S_OK, {0x83, 0x01, 0x00, 0x00}},
        {0x01000000, S_OK, {0x84, 0x01, 0x00, 0x00, 0x00}},
        {0xFFFFFFFF, S_OK, {0x84, 0xFF, 0xFF, 0xFF, 0xFF}},
    };
    for (const Case& c : cases)
    {
        BYTE* pb = nullptr;
        DWORD cb = 0;
        EXPECT_EQ(CalculateASNValueLength(c.cb, &pb, &cb), c.hr) << c.cb;
        EXPECT_EQ(pb ? Bytes(pb, cb) : std::vector<BYTE>(), c.octets) << c.cb;
        delete[] pb;
    }
}

TEST(Der, Asn1EncodeAcceptsOnlyItsTags)
{
    const BYTE rgbValue[] = {0x2A, 0x03};
    const DWORD rgAccepted[] = {0x02, 0x04, 0x06, 0x0C, 0x13, 0x16, 0x1E, 0x30, 0x31, 0x80, 0xA0, 0x130};
    for (DWORD dwTag : rgAccepted)
    {
        BYTE* pb = nullptr;
        DWORD cb = 0;
        ASSERT_EQ(ASN1Encode(dwTag, rgbValue, 2, &pb, &cb), S_OK) << dwTag;
        EXPECT_EQ(Bytes(pb, cb), (std::vector<BYTE>{(BYTE)dwTag, 0x02, 0x2A, 0x03})) << dwTag;
        delete[] pb;
    }
    const DWORD rgRefused[] = {0x00, 0x01, 0x03, 0x05, 0x17, 0x18, 0x81, 0xA1, 0xA3, 0xFF};
    for (DWORD dwTag : rgRefused)
    {
        BYTE* pb = nullptr;
        DWORD cb = 0;
        EXPECT_EQ(ASN1Encode(dwTag, rgbValue, 2, &pb, &cb), E_FAIL) << dwTag;
        EXPECT_EQ(pb, nullptr);
    }
    BYTE* pb = nullptr;
    DWORD cb = 0;
    EXPECT_EQ(ASN1Encode(ASN_TAG_OCTET_STRING, rgbValue, 0, &pb, &cb), E_FAIL);
    EXPECT_EQ(pb, nullptr);
}

TEST(Der, Asn1EncodeLongValues)
{
    std::vector<BYTE> value(256, 0x5A);
    BYTE* pb = nullptr;
    DWORD cb = 0;
    ASSERT_EQ(ASN1Encode(ASN_TAG_SEQUENCE, value.data(), 256, &pb, &cb), S_OK);
    ASSERT_EQ(cb, 1u + 3u + 256u);
    EXPECT_EQ(Bytes(pb, 4), (std::vector<BYTE>{0x30, 0x82, 0x01, 0x00}));
    EXPECT_EQ(Bytes(pb + 4, 256), value);
    delete[] pb;
}

// A 32-byte coordinate: cZeros zero bytes, bFirst, then bFill up to the last byte, bLast.
static std::vector<BYTE> Coordinate(size_t cZeros, BYTE bFirst, BYTE bFill, BYTE bLast)
{
    std::vector<BYTE> v(32, bFill);
    std::fill(v.begin(), v.begin() + (long)cZeros, 0);
    if (cZeros < 32)
    {
        v[cZeros] = bFirst;
    }
    if (cZeros < 31)
    {
        v[31] = bLast;
    }
    return v;
}

TEST(Der, Sm2SignatureInBothFormsHasMinimalIntegers)
{
    struct Side
    {
        std::vector<BYTE> coordinate;
        size_t cbSkipped;  // leading bytes of the coordinate the INTEGER leaves out
        bool bSignByte;    // a 0x00 before them
    };
    const Side sides[] = {
        {Coordinate(0, 0x80, 0x00, 0x00), 0, true},   // 0x80 and 31 zero bytes: 02 21 00 80 ...
        {Coordinate(0, 0xFF, 0x5A, 0x11), 0, true},
        {Coordinate(0, 0x7F, 0x5A, 0x11), 0, false},
        {Coordinate(0, 0x01, 0x00, 0x00), 0, false},
        {Coordinate(1, 0x7F, 0x5A, 0x11), 1, false},  // a leading zero byte goes
        {Coordinate(1, 0x80, 0x5A, 0x11), 1, true},   // ... and returns as the sign byte
        {Coordinate(2, 0x01, 0x5A, 0x11), 2, false},
        {Coordinate(3, 0xC0, 0x5A, 0x11), 3, true},
        {Coordinate(31, 0x11, 0x00, 0x00), 31, false}, // 02 01 11
        {Coordinate(31, 0x90, 0x00, 0x00), 31, true},  // 02 02 00 90
        {Coordinate(32, 0x00, 0x00, 0x00), 31, false}, // zero: 02 01 00
    };
    auto integer = [](const Side& side) {
        size_t cbContent = 32 - side.cbSkipped + (side.bSignByte ? 1 : 0);
        std::vector<BYTE> v = {0x02, (BYTE)cbContent};
        if (side.bSignByte)
        {
            v.push_back(0x00);
        }
        v.insert(v.end(), side.coordinate.begin() + (long)side.cbSkipped, side.coordinate.end());
        return v;
    };
    for (size_t iR = 0; iR < std::size(sides); ++iR)
    {
        // Each r beside a plain s, and each s beside the first r.
        for (size_t iS : {(size_t)2, iR})
        {
            const Side& r = sides[iR];
            const Side& s = sides[iS];
            std::vector<BYTE> raw(r.coordinate);
            raw.insert(raw.end(), s.coordinate.begin(), s.coordinate.end());
            std::vector<BYTE> ir = integer(r);
            std::vector<BYTE> is = integer(s);
            std::vector<BYTE> seq = {0x30, (BYTE)(ir.size() + is.size())};
            seq.insert(seq.end(), ir.begin(), ir.end());
            seq.insert(seq.end(), is.begin(), is.end());
            std::vector<BYTE> octets = {0x04, (BYTE)seq.size()};
            octets.insert(octets.end(), seq.begin(), seq.end());

            BYTE* pb = nullptr;
            DWORD cb = 0;
            ASSERT_EQ(EnrollmentForm::SM2EncodeRawSignature(&pb, &cb, raw.data(), 64), S_OK);
            EXPECT_EQ(Bytes(pb, cb), seq) << "r " << iR << " s " << iS;
            delete[] pb;
            ASSERT_EQ(SigningForm::SM2EncodeRawSignature(&pb, &cb, raw.data(), 64), S_OK);
            EXPECT_EQ(Bytes(pb, cb), octets) << "r " << iR << " s " << iS;
            delete[] pb;
        }
    }
}

TEST(Der, Sm2SignatureOfWrongSizeIsInvalidData)
{
    std::vector<BYTE> raw(65, 1);
    for (DWORD cb : {0u, 1u, 63u, 65u, 0xFFFFFFFFu})
    {
        BYTE* pb = nullptr;
        DWORD cbOut = 0;
        EXPECT_EQ(SigningForm::SM2EncodeRawSignature(&pb, &cbOut, raw.data(), cb), (HRESULT)0x8007000D);
        EXPECT_EQ(EnrollmentForm::SM2EncodeRawSignature(&pb, &cbOut, raw.data(), cb), (HRESULT)0x8007000D);
        EXPECT_EQ(pb, nullptr);
    }
}
