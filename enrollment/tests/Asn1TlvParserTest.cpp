// The ASN.1 reader on well-formed and malformed input, and the RSA private key fields.
#include <gtest/gtest.h>

#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/rsa.h>
#include <openssl/x509.h>

#include <memory>
#include <string>
#include <vector>

#include "Asn1TlvParser.h"

using Bytes = std::vector<BYTE>;

namespace
{
Bytes Hex(const std::string& text)
{
    Bytes out;
    std::string digits;
    for (char c : text)
        if (c != ' ')
            digits.push_back(c);
    for (size_t i = 0; i + 1 < digits.size(); i += 2)
        out.push_back(static_cast<BYTE>(std::stoul(digits.substr(i, 2), nullptr, 16)));
    return out;
}

Bytes Concat(std::initializer_list<Bytes> parts)
{
    Bytes out;
    for (const Bytes& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

struct Decoded
{
    HRESULT hr;
    std::unique_ptr<ASN1Node> root;
};

Decoded Decode(const Bytes& der)
{
    ASN1Node* root = nullptr;
    HRESULT hr =
        DecodeASN1Memory(&root, der.empty() ? nullptr : der.data(), static_cast<DWORD>(der.size()));
    return {hr, std::unique_ptr<ASN1Node>(root)};
}

// Every node of a tree that decoded must describe bytes inside the buffer.
void ExpectInsideBuffer(const ASN1Node& node, size_t size)
{
    EXPECT_EQ(0, node.wIndefinite);
    EXPECT_LE(node.ullValueOffset + node.dwValueLength, size);
    for (const ASN1Node* child : node.vtrChildren)
    {
        EXPECT_EQ(&node, child->pParent);
        ExpectInsideBuffer(*child, size);
    }
}
} // namespace

struct WellFormedCase
{
    const char* name;
    Bytes der;
    BYTE tag;
    size_t children;
    DWORD lengthOctets;
    DWORD valueLength;
    ULONGLONG valueOffset;
    DWORD totalLength;
};

TEST(Asn1TlvParser, WellFormedInputGivesTheTree)
{
    const Bytes long256 = Concat({Hex("04 82 01 00"), Bytes(256, 0xAB)});
    const WellFormedCase cases[] = {
        {"sequence of one integer", Hex("30 03 02 01 05"), 0x30, 1, 1, 3, 2, 5},
        {"octet string is a leaf", Hex("04 02 30 00"), 0x04, 0, 1, 2, 2, 4},
        {"context [0] constructed is parsed", Hex("A0 03 02 01 05"), 0xA0, 1, 1, 3, 2, 5},
        {"0x81 is a leaf", Hex("81 03 02 01 05"), 0x81, 0, 1, 3, 2, 5},
        {"0x91 is parsed", Hex("91 03 02 01 05"), 0x91, 1, 1, 3, 2, 5},
        {"0x1F is one tag byte", Hex("1F 02 AA BB"), 0x1F, 0, 1, 2, 2, 4},
        {"indefinite sequence", Hex("30 80 02 01 05 00 00"), 0x30, 1, 1, 3, 2, 7},
        {"indefinite inside definite", Hex("30 07 30 80 02 01 05 00 00"), 0x30, 1, 1, 7, 2, 9},
        {"indefinite leaf", Hex("04 80 AA BB 00 00"), 0x04, 0, 1, 2, 2, 6},
        {"long form 256", long256, 0x04, 0, 3, 256, 4, 260},
        {"five length octets, last four count", Hex("04 85 01 00 00 00 02 AA BB"), 0x04, 0, 6, 2, 7,
         9},
        {"child past its parent's end ends the parent", Hex("30 02 04 03 AA BB CC"), 0x30, 1, 1, 2,
         2, 4},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        Decoded d = Decode(c.der);
        ASSERT_EQ(S_OK, d.hr);
        ASSERT_TRUE(d.root);
        EXPECT_EQ(c.tag, d.root->bTag);
        EXPECT_EQ(c.children, d.root->vtrChildren.size());
        EXPECT_EQ(c.lengthOctets, d.root->dwLengthOctets);
        EXPECT_EQ(c.valueLength, d.root->dwValueLength);
        EXPECT_EQ(c.valueOffset, d.root->ullValueOffset);
        EXPECT_EQ(c.totalLength, d.root->dwTotalLength);
        EXPECT_EQ(nullptr, d.root->pParent);
        EXPECT_EQ(c.der.size(), d.root->dwSourceSize);
        ExpectInsideBuffer(*d.root, c.der.size());
    }
}

TEST(Asn1TlvParser, ChildrenPointIntoTheBuffer)
{
    const Bytes der = Hex("30 80 02 01 05 00 00");
    Decoded d = Decode(der);
    ASSERT_EQ(S_OK, d.hr);
    const ASN1Node* child = d.root->vtrChildren.at(0);
    EXPECT_EQ(0x02, child->bTag);
    EXPECT_EQ(4u, child->ullValueOffset);
    EXPECT_EQ(1u, child->dwValueLength);
    EXPECT_EQ(der.data() + 4, child->Value());
    EXPECT_EQ(3u, child->dwTotalLength);

    const Bytes one = Hex("30 03 02 01 05");
    Decoded e = Decode(one);
    ASSERT_EQ(S_OK, e.hr);
    EXPECT_EQ(4u, e.root->vtrChildren.at(0)->ullValueOffset);
    EXPECT_EQ(1u, e.root->vtrChildren.at(0)->dwValueLength);
}

struct MalformedCase
{
    const char* name;
    Bytes der;
    HRESULT hr;
};

TEST(Asn1TlvParser, MalformedInputFailsWithoutReadingPastTheBuffer)
{
    const MalformedCase cases[] = {
        {"empty buffer", {}, E_ASN1_DECODE_FAILED},
        {"one byte", Hex("30"), E_ASN1_DECODE_FAILED},
        {"two bytes are refused", Hex("30 00"), E_ASN1_DECODE_FAILED},
        {"long form octets missing", Hex("30 82 01"), E_ASN1_DECODE_FAILED},
        {"long form octet at the last byte", Hex("04 83 00 01"), E_ASN1_DECODE_FAILED},
        {"huge length, constructed", Hex("30 84 FF FF FF FF 00"), E_ASN1_PARSE_NODE},
        {"huge length, leaf", Hex("04 84 FF FF FF FF 00"), E_ASN1_PARSE_NODE},
        {"huge length, child", Hex("30 06 04 84 FF FF FF F0"), E_ASN1_PARSE_NODE},
        {"huge child in indefinite", Hex("30 80 04 84 7F FF FF FF 00 00"), E_ASN1_PARSE_NODE},
        {"truncated sequence", Hex("30 05 02 01 05"), E_ASN1_PARSE_NODE},
        {"child value past the buffer", Hex("30 03 02 05 05"), E_ASN1_PARSE_NODE},
        {"child header cut", Hex("30 04 02 01 05 30"), E_ASN1_PARSE_NODE},
        {"indefinite without end-of-contents", Hex("30 80 02 01 05"), E_ASN1_PARSE_NODE},
        {"indefinite with half an end-of-contents", Hex("30 80 02 01 05 00"), E_ASN1_PARSE_NODE},
        {"indefinite leaf without end-of-contents", Hex("04 80 AA BB"), E_ASN1_PARSE_NODE},
        {"indefinite child leaf without end-of-contents", Hex("30 80 04 80 AA BB CC"),
         E_ASN1_PARSE_NODE},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        // An exact-size heap copy, so the sanitizer sees a read past the end.
        std::unique_ptr<BYTE[]> exact(c.der.empty() ? nullptr : new BYTE[c.der.size()]);
        std::copy(c.der.begin(), c.der.end(), exact.get());
        ASN1Node* root = nullptr;
        HRESULT hr = DecodeASN1Memory(&root, exact.get(), static_cast<DWORD>(c.der.size()));
        std::unique_ptr<ASN1Node> hold(root);
        EXPECT_EQ(c.hr, hr);
        if (c.hr == E_ASN1_DECODE_FAILED)
            EXPECT_EQ(nullptr, root);
        else
            EXPECT_NE(nullptr, root); // the partial tree, for the caller to release
    }
}

TEST(Asn1TlvParser, NodeLimitIs255)
{
    auto integers = [](size_t count)
    {
        Bytes body;
        for (size_t i = 0; i < count; ++i)
            body.insert(body.end(), {0x02, 0x01, static_cast<BYTE>(i)});
        Bytes der = {0x30, 0x82, static_cast<BYTE>(body.size() >> 8),
                     static_cast<BYTE>(body.size())};
        der.insert(der.end(), body.begin(), body.end());
        return der;
    };
    Decoded full = Decode(integers(254)); // root + 254 = 255 nodes
    EXPECT_EQ(S_OK, full.hr);
    EXPECT_EQ(254u, full.root->vtrChildren.size());

    Decoded over = Decode(integers(300));
    EXPECT_EQ(E_ASN1_PARSE_NODE, over.hr);
    ASSERT_TRUE(over.root);
    EXPECT_LT(over.root->vtrChildren.size(), 256u);

    // Nesting is bounded by the same limit.
    Bytes nested;
    for (int i = 0; i < 300; ++i)
        nested.insert(nested.end(), {0x30, 0x80});
    nested.insert(nested.end(), {0x02, 0x01, 0x01});
    for (int i = 0; i < 300; ++i)
        nested.insert(nested.end(), {0x00, 0x00});
    EXPECT_EQ(E_ASN1_PARSE_NODE, Decode(nested).hr);
}

TEST(Asn1TlvParser, CopyPrivateKeyAttributeDropsOneSignByteAndReverses)
{
    const struct
    {
        Bytes in;
        Bytes out;
    } cases[] = {
        {Hex("00 80 01"), Hex("01 80")},
        {Hex("00 00 01"), Hex("01 00")},
        {Hex("12 34"), Hex("34 12")},
        {Hex("00"), {}},
    };
    for (const auto& c : cases)
    {
        BYTE* pb = nullptr;
        DWORD cb = 99;
        ASSERT_EQ(S_OK,
                  CopyPrivateKeyAttribute(c.in.data(), static_cast<DWORD>(c.in.size()), &pb, &cb));
        EXPECT_EQ(c.out, Bytes(pb, pb + cb));
        delete[] pb;
    }
}

namespace
{
Bytes LittleEndian(const EVP_PKEY* key, const char* param)
{
    BIGNUM* bn = nullptr;
    EXPECT_EQ(1, EVP_PKEY_get_bn_param(key, param, &bn)) << param;
    Bytes out(BN_num_bytes(bn));
    BN_bn2lebinpad(bn, out.data(), static_cast<int>(out.size()));
    BN_free(bn);
    return out;
}
} // namespace

TEST(Asn1TlvParser, DecodePrivateKeyGivesTheCrtFieldsLeastSignificantFirst)
{
    std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)> key(EVP_RSA_gen(1024), EVP_PKEY_free);
    ASSERT_TRUE(key);
    unsigned char* der = nullptr;
    int cbDer = i2d_PrivateKey(key.get(), &der); // PKCS#1 RSAPrivateKey
    ASSERT_GT(cbDer, 0);
    Bytes pkcs1(der, der + cbDer);
    OPENSSL_free(der);

    RSA_PRIVATE_KEY_PARTS parts;
    ASSERT_EQ(S_OK, DecodePrivateKey(pkcs1.data(), static_cast<DWORD>(pkcs1.size()), &parts));
    auto bytes = [](const BYTE* pb, DWORD cb) { return Bytes(pb, pb + cb); };
    EXPECT_EQ(LittleEndian(key.get(), OSSL_PKEY_PARAM_RSA_N),
              bytes(parts.pbModulus, parts.cbModulus));
    EXPECT_EQ(128u, parts.cbModulus);
    EXPECT_EQ(LittleEndian(key.get(), OSSL_PKEY_PARAM_RSA_D),
              bytes(parts.pbPrivateExponent, parts.cbPrivateExponent));
    EXPECT_EQ(LittleEndian(key.get(), OSSL_PKEY_PARAM_RSA_FACTOR1),
              bytes(parts.pbPrime1, parts.cbPrime1));
    EXPECT_EQ(LittleEndian(key.get(), OSSL_PKEY_PARAM_RSA_FACTOR2),
              bytes(parts.pbPrime2, parts.cbPrime2));
    EXPECT_EQ(LittleEndian(key.get(), OSSL_PKEY_PARAM_RSA_EXPONENT1),
              bytes(parts.pbExponent1, parts.cbExponent1));
    EXPECT_EQ(LittleEndian(key.get(), OSSL_PKEY_PARAM_RSA_EXPONENT2),
              bytes(parts.pbExponent2, parts.cbExponent2));
    EXPECT_EQ(LittleEndian(key.get(), OSSL_PKEY_PARAM_RSA_COEFFICIENT1),
              bytes(parts.pbCoefficient, parts.cbCoefficient));
    FreeRsaPrivateKeyParts(&parts);
    EXPECT_EQ(nullptr, parts.pbModulus);
}

TEST(Asn1TlvParser, DecodePrivateKeyRefusesShortOrBrokenKeys)
{
    // Version and seven one-byte fields; the coefficient (last) is what the cases vary.
    const Bytes fields = Hex("02 01 00 02 01 01 02 01 02 02 01 03 02 01 04 02 01 05 02 01 06 02 01 07");
    const struct
    {
        const char* name;
        Bytes der;
        HRESULT hr;
    } cases[] = {
        {"eight elements", Concat({Hex("30 18"), fields}), E_ASN1_DECODE_FAILED},
        {"leaf root", Hex("04 03 01 02 03"), E_ASN1_DECODE_FAILED},
        {"cut", Hex("30 1B 02 01 00 02 01 01"), E_ASN1_PARSE_NODE},
        {"indefinite last field without end-of-contents",
         Concat({Hex("30 1C"), fields, Hex("02 80 08 09")}), E_ASN1_PARSE_NODE},
        {"indefinite key and last field without end-of-contents",
         Concat({Hex("30 80"), fields, Hex("02 80 08 09 0A")}), E_ASN1_PARSE_NODE},
        {"last field longer than the buffer", Concat({Hex("30 1B"), fields, Hex("02 05 08")}),
         E_ASN1_PARSE_NODE},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        // An exact-size heap copy, so the sanitizer sees a read past the end.
        std::unique_ptr<BYTE[]> exact(new BYTE[c.der.size()]);
        std::copy(c.der.begin(), c.der.end(), exact.get());
        RSA_PRIVATE_KEY_PARTS parts;
        EXPECT_EQ(c.hr, DecodePrivateKey(exact.get(), static_cast<DWORD>(c.der.size()), &parts));
        EXPECT_EQ(nullptr, parts.pbModulus);
        EXPECT_EQ(nullptr, parts.pbCoefficient);
    }

    // A field of indefinite length that does end is read up to its end-of-contents.
    const Bytes ended = Concat({Hex("30 80"), fields, Hex("02 80 08 09 00 00 00 00")});
    RSA_PRIVATE_KEY_PARTS parts;
    ASSERT_EQ(S_OK, DecodePrivateKey(ended.data(), static_cast<DWORD>(ended.size()), &parts));
    EXPECT_EQ(Hex("09 08"), Bytes(parts.pbCoefficient, parts.pbCoefficient + parts.cbCoefficient));
    FreeRsaPrivateKeyParts(&parts);
}
