// The plug-in's own DER (and indefinite-length BER) reader: a tree of nodes that point
// into the caller's buffer, never copies of the values.
#pragma once

#include <string> // before windows.h: the CRT's char16_t overloads must not join std::
#include <vector>

#include <windows.h>

#include "HResult.h"

// "ASN1 decode failed.": the outermost tag and length cannot be read.
#define E_ASN1_DECODE_FAILED MAKE_OWN_HRESULT(0x1041)
// Any failure after the outermost tag and length; the partial tree is handed out.
#define E_ASN1_PARSE_NODE ((HRESULT)-1)

#define ASN1_INDEFINITE_LENGTH 0xFFFFFFFFUL
// Nodes of one decode, root included.
#define ASN1_MAX_NODES 255

struct ASN1Node
{
    ASN1Node() = default;
    ~ASN1Node(); // releases the children first
    ASN1Node(const ASN1Node&) = delete;
    ASN1Node& operator=(const ASN1Node&) = delete;

    const BYTE* pbSource = nullptr; // not owned; must outlive the tree
    BYTE bTag = 0;
    DWORD dwLengthOctets = 0; // 1 for short form and indefinite, 1 + n for long form
    DWORD dwValueLength = 0;  // ASN1_INDEFINITE_LENGTH while unresolved
    ULONGLONG ullValueOffset = 0;
    DWORD dwTotalLength = 0; // tag + length octets + value (+ end-of-contents)
    WORD wIndefinite = 0;    // 1 while the indefinite length is unresolved
    DWORD dwSourceSize = 0;
    ASN1Node* pParent = nullptr;
    std::vector<ASN1Node*> vtrChildren; // owned, in encoding order

    const BYTE* Value() const { return pbSource + ullValueOffset; }
};

// One TLV header as read from the buffer.
struct ASN1_TLV_HEADER
{
    BYTE bTag;
    DWORD dwLengthOctets;
    DWORD dwValueLength;
    ULONGLONG ullValueOffset;
    WORD wIndefinite;
};

// The whole tree of the buffer. E_ASN1_DECODE_FAILED without a root; E_ASN1_PARSE_NODE with
// the part built so far in *ppRoot, which the caller deletes as on success.
HRESULT DecodeASN1Memory(ASN1Node** ppRoot, const BYTE* pbBuffer, DWORD cbBuffer);

// Tag at ullPosition, then its length octets. ullEnd: positions of the tag and of the first
// length octet must lie before it. E_ASN1_PARSE_NODE when they do not.
HRESULT ParseASN1TLV(ULONGLONG ullPosition, ULONGLONG ullEnd, const BYTE* pbBuffer, DWORD cbBuffer,
                     ASN1_TLV_HEADER* pHeader);

// Length octets starting at ullPosition; fills every field of pHeader but the tag.
HRESULT GetASN1ValueLength(ULONGLONG ullEnd, ULONGLONG ullPosition, const BYTE* pbBuffer,
                           DWORD cbBuffer, ASN1_TLV_HEADER* pHeader);

// Children of one node, recursively; pdwNodeCount counts the nodes of the decode.
HRESULT ParseNode(ASN1Node* pNode, DWORD* pdwNodeCount);

// Resolves the length of an indefinite-length leaf at its first end-of-contents.
void GetInfiniteLength(ASN1Node* pNode);

// Traces tag, value length and value offset.
void PrintNode(const ASN1Node* pNode);

// The CRT fields of a PKCS#1 RSAPrivateKey, each least significant byte first, without the
// sign byte; every array is freed by the caller with delete[] (FreeRsaPrivateKeyParts).
struct RSA_PRIVATE_KEY_PARTS
{
    BYTE* pbModulus;
    DWORD cbModulus;
    BYTE* pbPrivateExponent;
    DWORD cbPrivateExponent;
    BYTE* pbPrime1;
    DWORD cbPrime1;
    BYTE* pbPrime2;
    DWORD cbPrime2;
    BYTE* pbExponent1;
    DWORD cbExponent1;
    BYTE* pbExponent2;
    DWORD cbExponent2;
    BYTE* pbCoefficient;
    DWORD cbCoefficient;
};

// Modulus, private exponent, primes, CRT exponents and coefficient of the DER key. On
// failure nothing is handed out (*pParts is zeroed).
HRESULT DecodePrivateKey(const BYTE* pbDer, DWORD cbDer, RSA_PRIVATE_KEY_PARTS* pParts);
void FreeRsaPrivateKeyParts(RSA_PRIVATE_KEY_PARTS* pParts);

// A new array of the value bytes in reverse order, a single leading 0 dropped first.
HRESULT CopyPrivateKeyAttribute(const BYTE* pbValue, DWORD cbValue, BYTE** ppbOut, DWORD* pcbOut);
