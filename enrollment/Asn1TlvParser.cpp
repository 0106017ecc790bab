#include "Asn1TlvParser.h"

#include "Trace.h"

#define SOURCE_UNIT u"ASN1Engine"

namespace
{
// Tags whose value is never parsed for children.
bool IsLeafTag(BYTE bTag)
{
    return bTag <= 0x1F || (bTag >= 0x80 && bTag <= 0x8F);
}

ASN1Node* NewNode(const ASN1_TLV_HEADER& header, const BYTE* pbBuffer, DWORD cbBuffer,
                  ASN1Node* pParent)
{
    ASN1Node* pNode = new (std::nothrow) ASN1Node;
    if (!pNode)
    {
        return nullptr;
    }
    pNode->pbSource = pbBuffer;
    pNode->dwSourceSize = cbBuffer;
    pNode->bTag = header.bTag;
    pNode->dwLengthOctets = header.dwLengthOctets;
    pNode->dwValueLength = header.dwValueLength;
    pNode->ullValueOffset = header.ullValueOffset;
    pNode->wIndefinite = header.wIndefinite;
    if (header.wIndefinite)
    {
        pNode->dwTotalLength = ASN1_INDEFINITE_LENGTH;
    }
    else
    {
        // A length this large never fits the buffer; the node's own parse refuses it.
        ULONGLONG ullTotal = 1ULL + header.dwLengthOctets + header.dwValueLength;
        pNode->dwTotalLength = ullTotal > 0xFFFFFFFFULL ? ASN1_INDEFINITE_LENGTH : (DWORD)ullTotal;
    }
    pNode->pParent = pParent;
    return pNode;
}

HRESULT ParseFailed(LPCWSTR lpwszStep, LPCWSTR lpwszReason)
{
    TRACE_STEP_FAILED(SOURCE_UNIT, u"ParseNode", lpwszStep, lpwszReason, E_ASN1_PARSE_NODE);
    return E_ASN1_PARSE_NODE;
}
} // namespace

ASN1Node::~ASN1Node()
{
    for (ASN1Node* pChild : vtrChildren)
    {
        delete pChild;
    }
}

HRESULT GetASN1ValueLength(ULONGLONG ullEnd, ULONGLONG ullPosition, const BYTE* pbBuffer,
                           DWORD cbBuffer, ASN1_TLV_HEADER* pHeader)
{
    if (ullPosition >= ullEnd || ullPosition >= cbBuffer)
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, u"GetASN1ValueLength", u"Check length position",
                          u"pos >= end", E_ASN1_PARSE_NODE);
        return E_ASN1_PARSE_NODE;
    }
    const BYTE bFirst = pbBuffer[ullPosition];
    pHeader->wIndefinite = 0;
    if (bFirst < 0x80)
    {
        pHeader->dwLengthOctets = 1;
        pHeader->dwValueLength = bFirst;
    }
    else if (bFirst == 0x80)
    {
        pHeader->dwLengthOctets = 1;
        pHeader->dwValueLength = ASN1_INDEFINITE_LENGTH;
        pHeader->wIndefinite = 1;
    }
    else
    {
        const DWORD cOctets = bFirst & 0x7F;
        if (ullPosition + cOctets >= cbBuffer)
        {
            TRACE_STEP_FAILED(SOURCE_UNIT, u"GetASN1ValueLength", u"Check long form length",
                              u"pos + n >= size", E_ASN1_PARSE_NODE);
            return E_ASN1_PARSE_NODE;
        }
        DWORD dwLength = 0;
        for (DWORD i = 1; i <= cOctets; ++i)
        {
            dwLength = (dwLength << 8) | pbBuffer[ullPosition + i]; // only the last four count
        }
        pHeader->dwLengthOctets = 1 + cOctets;
        pHeader->dwValueLength = dwLength;
    }
    pHeader->ullValueOffset = ullPosition + pHeader->dwLengthOctets;
    return S_OK;
}

HRESULT ParseASN1TLV(ULONGLONG ullPosition, ULONGLONG ullEnd, const BYTE* pbBuffer, DWORD cbBuffer,
                     ASN1_TLV_HEADER* pHeader)
{
    if (ullPosition >= ullEnd || ullPosition >= cbBuffer)
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, u"ParseASN1TLV", u"Check tag position", u"pos >= end",
                          E_ASN1_PARSE_NODE);
        return E_ASN1_PARSE_NODE;
    }
    pHeader->bTag = pbBuffer[ullPosition];
    return GetASN1ValueLength(ullEnd, ullPosition + 1, pbBuffer, cbBuffer, pHeader);
}

void GetInfiniteLength(ASN1Node* pNode)
{
    const ULONGLONG ullStart = pNode->ullValueOffset;
    for (ULONGLONG i = ullStart; i + 1 < pNode->dwSourceSize; ++i)
    {
        if (pNode->pbSource[i] == 0 && pNode->pbSource[i + 1] == 0)
        {
            const ULONGLONG ullScanned = i + 2 - ullStart;
            pNode->dwValueLength = (DWORD)(ullScanned - 2);
            pNode->dwTotalLength = (DWORD)(pNode->dwLengthOctets + ullScanned + 1);
            pNode->wIndefinite = 0;
            return;
        }
    }
}

void PrintNode(const ASN1Node* pNode)
{
    const DWORD dwTag = pNode->bTag;
    QM_TRACE_INFO(u"PrintNode", dwTag, pNode->dwValueLength, pNode->ullValueOffset);
}

HRESULT ParseNode(ASN1Node* pNode, DWORD* pdwNodeCount)
{
    if (++*pdwNodeCount > ASN1_MAX_NODES)
    {
        return ParseFailed(u"Check node count", u"nodeCount > 255");
    }
    const ULONGLONG ullSize = pNode->dwSourceSize;
    if (IsLeafTag(pNode->bTag))
    {
        if (pNode->wIndefinite)
        {
            GetInfiniteLength(pNode);
            // An unresolved length would make every reader run past the buffer.
            if (pNode->wIndefinite)
            {
                return ParseFailed(u"GetInfiniteLength", u"no end-of-contents");
            }
        }
        else if (pNode->ullValueOffset + pNode->dwValueLength > ullSize)
        {
            return ParseFailed(u"Check leaf size", u"offset + length > size");
        }
        return S_OK;
    }
    if (!pNode->wIndefinite && pNode->dwValueLength == 0)
    {
        return S_OK;
    }
    ULONGLONG ullEnd = ullSize; // an indefinite node ends where the buffer ends at the latest
    if (!pNode->wIndefinite)
    {
        ullEnd = pNode->ullValueOffset + pNode->dwValueLength;
        if (ullEnd > ullSize)
        {
            return ParseFailed(u"Check node size", u"offset + length > size");
        }
    }

    ULONGLONG ullConsumed = 0;
    for (;;)
    {
        ASN1_TLV_HEADER header = {};
        if (FAILED(ParseASN1TLV(pNode->ullValueOffset + ullConsumed, ullEnd, pNode->pbSource,
                                pNode->dwSourceSize, &header)))
        {
            return ParseFailed(u"ParseASN1TLV", u"FAILED(hResult)");
        }
        ASN1Node* pChild = NewNode(header, pNode->pbSource, pNode->dwSourceSize, pNode);
        if (!pChild)
        {
            return ParseFailed(u"New node", u"!pChild");
        }
        pNode->vtrChildren.push_back(pChild); // released with the tree even when its parse fails
        PrintNode(pChild);
        HRESULT hResult = ParseNode(pChild, pdwNodeCount);
        if (FAILED(hResult))
        {
            return hResult;
        }
        ullConsumed += pChild->dwTotalLength;

        if (pNode->wIndefinite)
        {
            const ULONGLONG ullMark = pNode->ullValueOffset + ullConsumed;
            if (ullMark + 1 >= ullSize)
            {
                return ParseFailed(u"Check end-of-contents", u"pos + 1 >= size");
            }
            if (pNode->pbSource[ullMark] == 0 && pNode->pbSource[ullMark + 1] == 0)
            {
                const ULONGLONG ullTotal = pNode->dwLengthOctets + ullConsumed + 3;
                if (ullTotal > ullSize)
                {
                    return ParseFailed(u"Check indefinite size", u"total > size");
                }
                pNode->dwTotalLength = (DWORD)ullTotal;
                pNode->dwValueLength = (DWORD)ullConsumed;
                pNode->wIndefinite = 0;
                PrintNode(pNode);
                return S_OK;
            }
        }
        else if (ullConsumed >= pNode->dwValueLength)
        {
            return S_OK;
        }
    }
}

HRESULT DecodeASN1Memory(ASN1Node** ppRoot, const BYTE* pbBuffer, DWORD cbBuffer)
{
    TraceHelper trace(u"DecodeASN1Memory");
    if (!ppRoot)
    {
        return E_POINTER;
    }
    *ppRoot = nullptr;
    ASN1_TLV_HEADER header = {};
    if (!pbBuffer || cbBuffer == 0 ||
        FAILED(ParseASN1TLV(0, cbBuffer - 1ULL, pbBuffer, cbBuffer, &header)))
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, u"DecodeASN1Memory", u"ParseASN1TLV", u"FAILED(hResult)",
                          E_ASN1_DECODE_FAILED);
        return E_ASN1_DECODE_FAILED;
    }
    ASN1Node* pRoot = NewNode(header, pbBuffer, cbBuffer, nullptr);
    if (!pRoot)
    {
        TRACE_STEP_FAILED(SOURCE_UNIT, u"DecodeASN1Memory", u"New node", u"!pRoot", E_OUTOFMEMORY);
        return E_OUTOFMEMORY;
    }
    PrintNode(pRoot);
    DWORD dwNodeCount = 0;
    HRESULT hResult = ParseNode(pRoot, &dwNodeCount);
    TraceResult(hResult, u"ParseNode");
    *ppRoot = pRoot;
    return hResult;
}
