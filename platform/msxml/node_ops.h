// The read side of IXMLDOMNode, shared by element/text nodes and the document node.
#pragma once

#include "dom_tree.h"
#include "oleauto.h"

namespace qm::msxml
{
class CDocument;

struct NodeRef
{
    CDocument* document; // the document object the node came from
    TreePtr tree;
    xmlNodePtr node;
};

HRESULT ReturnString(const std::u16string& text, BSTR* out);
// A node object for `node` (the same object while one is alive); the document node of the
// document's current tree is the document object itself.
HRESULT WrapNode(const NodeRef& from, xmlNodePtr node, IXMLDOMNode** out);

HRESULT GetNodeName(const NodeRef& self, BSTR* name);
HRESULT GetNodeValue(const NodeRef& self, VARIANT* value);
HRESULT GetNodeType(const NodeRef& self, DOMNodeType* type);
HRESULT GetParentNode(const NodeRef& self, IXMLDOMNode** parent);
HRESULT GetChildNodes(const NodeRef& self, IXMLDOMNodeList** list);
HRESULT GetFirstOrLastChild(const NodeRef& self, bool last, IXMLDOMNode** child);
HRESULT GetSibling(const NodeRef& self, bool next, IXMLDOMNode** sibling);
HRESULT HasChildNodes(const NodeRef& self, VARIANT_BOOL* hasChild);
HRESULT GetOwnerDocument(const NodeRef& self, IXMLDOMDocument** document);
HRESULT GetNodeTypeString(const NodeRef& self, BSTR* typeString);
HRESULT GetText(const NodeRef& self, BSTR* text);
HRESULT GetNamespaceURI(const NodeRef& self, BSTR* uri);
HRESULT GetPrefix(const NodeRef& self, BSTR* prefix);
HRESULT GetBaseName(const NodeRef& self, BSTR* baseName);
HRESULT GetElementsByTagName(const NodeRef& self, BSTR tagName, IXMLDOMNodeList** list);
HRESULT GetAttribute(const NodeRef& self, BSTR name, VARIANT* value);
} // namespace qm::msxml
