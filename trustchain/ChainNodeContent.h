// What the installer's units read out of a chain document's nodes: a node's children and
// the Base64 text that carries Blobs and bundles.
#pragma once

#include <string> // before windows.h: the CRT's char16_t overloads must not join std::

#include <windows.h>

#include <msxml6.h>

// The node's children and their count; a node without a child list fails with
// E_XML_PARSE_FAILED. Each call is traced with the caller's step names.
HRESULT GetChildNodeList(LPCWSTR lpwszOperation, LPCWSTR lpwszListStep, LPCWSTR lpwszLengthStep, IXMLDOMNode* pNode,
                         IXMLDOMNodeList** ppChildNodes, LONG* plLength);

// Base64 text as a new byte array (delete[]); the UTF-8 conversion and the decoding are
// traced with the caller's step names.
HRESULT DecodeBase64Text(LPCWSTR lpwszOperation, LPCWSTR lpwszUtf8Step, LPCWSTR lpwszBase64Step, LPCWSTR lpwszText,
                         BYTE** ppbData, DWORD* pcbData);
