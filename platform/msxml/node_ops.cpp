#include "node_ops.h"

#include <new>

#include "dom_document.h"
#include "dom_node.h"
#include "node_list.h"
#include "utf.h"

namespace qm::msxml
{
namespace
{
template <class T>
HRESULT Nothing(T** out)
{
    *out = nullptr;
    return S_FALSE;
}

HRESULT WrapOrNothing(const NodeRef& self, xmlNodePtr node, IXMLDOMNode** out)
{
    return node != nullptr ? WrapNode(self, node, out) : Nothing(out);
}

HRESULT NewList(const NodeRef& self, std::vector<xmlNodePtr> nodes, IXMLDOMNodeList** out)
{
    auto* list = new (std::nothrow) CNodeList(self, std::move(nodes));
    if (list == nullptr)
    {
        *out = nullptr;
        return E_OUTOFMEMORY;
    }
    *out = list;
    return S_OK;
}

bool HasValue(xmlNodePtr node)
{
    switch (node->type)
    {
    case XML_TEXT_NODE:
    case XML_CDATA_SECTION_NODE:
    case XML_COMMENT_NODE:
    case XML_PI_NODE:
    case XML_ATTRIBUTE_NODE:
        return true;
    default:
        return false;
    }
}

std::u16string Utf16(const xmlChar* text)
{
    return text != nullptr ? ToUtf16(reinterpret_cast<const char*>(text)) : std::u16string();
}

bool IsNamed(xmlNodePtr node) { return node->type == XML_ELEMENT_NODE || node->type == XML_ATTRIBUTE_NODE; }
} // namespace

HRESULT ReturnString(const std::u16string& text, BSTR* out)
{
    *out = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return *out != nullptr ? S_OK : E_OUTOFMEMORY;
}

HRESULT WrapNode(const NodeRef& from, xmlNodePtr node, IXMLDOMNode** out)
{
    if (node->type == XML_DOCUMENT_NODE)
    {
        // Only the document's current tree has a document object to hand out.
        if (!from.document->HoldsTree(from.tree))
            return Nothing(out);
        from.document->AddRef();
        *out = from.document;
        return S_OK;
    }
    std::lock_guard lock(from.tree->wrappers);
    *out = CXmlNode::Acquire(from.document, from.tree, node);
    return *out != nullptr ? S_OK : E_OUTOFMEMORY;
}

HRESULT GetNodeName(const NodeRef& self, BSTR* name)
{
    if (name == nullptr)
        return E_INVALIDARG;
    return ReturnString(NodeName(self.node), name);
}

HRESULT GetNodeValue(const NodeRef& self, VARIANT* value)
{
    if (value == nullptr)
        return E_INVALIDARG;
    VariantInit(value);
    if (!HasValue(self.node))
    {
        value->vt = VT_NULL;
        return S_FALSE;
    }
    std::u16string content;
    if (!NodeText(self.node, true, content))
        return E_OUTOFMEMORY;
    BSTR text = nullptr;
    HRESULT hr = ReturnString(content, &text);
    if (SUCCEEDED(hr))
    {
        value->vt = VT_BSTR;
        value->bstrVal = text;
    }
    return hr;
}

HRESULT GetNodeType(const NodeRef& self, DOMNodeType* type)
{
    if (type == nullptr)
        return E_INVALIDARG;
    *type = NodeType(self.node);
    return S_OK;
}

HRESULT GetParentNode(const NodeRef& self, IXMLDOMNode** parent)
{
    if (parent == nullptr)
        return E_INVALIDARG;
    return WrapOrNothing(self, self.node->type == XML_DOCUMENT_NODE ? nullptr : self.node->parent, parent);
}

HRESULT GetChildNodes(const NodeRef& self, IXMLDOMNodeList** list)
{
    if (list == nullptr)
        return E_INVALIDARG;
    return NewList(self, VisibleChildren(self.node), list);
}

HRESULT GetFirstOrLastChild(const NodeRef& self, bool last, IXMLDOMNode** child)
{
    if (child == nullptr)
        return E_INVALIDARG;
    const std::vector<xmlNodePtr> children = VisibleChildren(self.node);
    if (children.empty())
        return Nothing(child);
    return WrapNode(self, last ? children.back() : children.front(), child);
}

HRESULT GetSibling(const NodeRef& self, bool next, IXMLDOMNode** sibling)
{
    if (sibling == nullptr)
        return E_INVALIDARG;
    return WrapOrNothing(self, VisibleSibling(self.node, next), sibling);
}

HRESULT HasChildNodes(const NodeRef& self, VARIANT_BOOL* hasChild)
{
    if (hasChild == nullptr)
        return E_INVALIDARG;
    const bool any = !VisibleChildren(self.node).empty();
    *hasChild = any ? VARIANT_TRUE : VARIANT_FALSE;
    return any ? S_OK : S_FALSE;
}

HRESULT GetOwnerDocument(const NodeRef& self, IXMLDOMDocument** document)
{
    if (document == nullptr)
        return E_INVALIDARG;
    if (self.node->type == XML_DOCUMENT_NODE)
        return Nothing(document);
    self.document->AddRef();
    *document = self.document;
    return S_OK;
}

HRESULT GetNodeTypeString(const NodeRef& self, BSTR* typeString)
{
    if (typeString == nullptr)
        return E_INVALIDARG;
    return ReturnString(NodeTypeString(self.node), typeString);
}

HRESULT GetText(const NodeRef& self, BSTR* text)
{
    if (text == nullptr)
        return E_INVALIDARG;
    std::u16string content;
    if (!NodeText(self.node, self.document->PreserveWhiteSpace(), content))
    {
        *text = nullptr;
        return E_OUTOFMEMORY;
    }
    return ReturnString(content, text);
}

HRESULT GetNamespaceURI(const NodeRef& self, BSTR* uri)
{
    if (uri == nullptr)
        return E_INVALIDARG;
    const bool hasNs = IsNamed(self.node) && self.node->ns != nullptr;
    return ReturnString(hasNs ? Utf16(self.node->ns->href) : std::u16string(), uri);
}

HRESULT GetPrefix(const NodeRef& self, BSTR* prefix)
{
    if (prefix == nullptr)
        return E_INVALIDARG;
    const bool hasNs = IsNamed(self.node) && self.node->ns != nullptr;
    return ReturnString(hasNs ? Utf16(self.node->ns->prefix) : std::u16string(), prefix);
}

HRESULT GetBaseName(const NodeRef& self, BSTR* baseName)
{
    if (baseName == nullptr)
        return E_INVALIDARG;
    const bool named = IsNamed(self.node) || self.node->type == XML_PI_NODE ||
                       self.node->type == XML_ENTITY_REF_NODE || self.node->type == XML_DTD_NODE;
    return ReturnString(named ? Utf16(self.node->name) : std::u16string(), baseName);
}

HRESULT GetElementsByTagName(const NodeRef& self, BSTR tagName, IXMLDOMNodeList** list)
{
    if (list == nullptr || tagName == nullptr)
    {
        if (list != nullptr)
            *list = nullptr;
        return E_INVALIDARG;
    }
    return NewList(self, ElementsByName(self.node, tagName), list);
}

HRESULT GetAttribute(const NodeRef& self, BSTR name, VARIANT* value)
{
    if (value == nullptr || name == nullptr)
        return E_INVALIDARG;
    VariantInit(value);
    value->vt = VT_NULL;
    const std::u16string wanted(name);
    std::u16string found;
    bool present = false;
    for (xmlAttrPtr attr = self.node->properties; attr != nullptr && !present; attr = attr->next)
    {
        if (QualifiedName(reinterpret_cast<xmlNodePtr>(attr)) != wanted)
            continue;
        if (!NodeText(reinterpret_cast<xmlNodePtr>(attr), true, found))
            return E_OUTOFMEMORY;
        present = true;
    }
    // Namespace declarations are attributes in MSXML's view.
    for (xmlNsPtr ns = self.node->nsDef; ns != nullptr && !present; ns = ns->next)
    {
        const std::u16string declared = ns->prefix != nullptr ? u"xmlns:" + Utf16(ns->prefix) : u"xmlns";
        if (declared == wanted)
        {
            found = Utf16(ns->href);
            present = true;
        }
    }
    if (!present)
        return S_FALSE;
    BSTR text = nullptr;
    const HRESULT hr = ReturnString(found, &text);
    if (SUCCEEDED(hr))
    {
        value->vt = VT_BSTR;
        value->bstrVal = text;
    }
    return hr;
}
} // namespace qm::msxml
