#include "dom_node.h"

#include <new>

#include "dom_document.h"
#include "node_list.h"

namespace qm::msxml
{
CXmlNode* CXmlNode::Acquire(CDocument* document, const TreePtr& tree, xmlNodePtr node)
{
    if (auto* existing = static_cast<CXmlNode*>(node->_private))
    {
        existing->AddRef();
        return existing;
    }
    auto* created = new (std::nothrow) CXmlNode(document, tree, node);
    if (created != nullptr)
        node->_private = created;
    return created;
}

CXmlNode::CXmlNode(CDocument* document, TreePtr tree, xmlNodePtr node)
    : m_document(document), m_tree(std::move(tree)), m_node(node)
{
    m_document->AddRef();
}

CXmlNode::~CXmlNode()
{
    m_document->Release();
}

STDMETHODIMP CXmlNode::QueryInterface(REFIID riid, void** ppv)
{
    if (ppv == nullptr)
        return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IDispatch || riid == IID_IXMLDOMNode ||
        (riid == IID_IXMLDOMElement && m_node->type == XML_ELEMENT_NODE))
    {
        AddRef();
        *ppv = static_cast<IXMLDOMElement*>(this);
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) CXmlNode::AddRef()
{
    return ++m_refs;
}

STDMETHODIMP_(ULONG) CXmlNode::Release()
{
    // The last release and a lookup through _private must not interleave.
    std::unique_lock lock(m_tree->wrappers);
    const ULONG left = --m_refs;
    if (left != 0)
        return left;
    m_node->_private = nullptr;
    lock.unlock();
    delete this;
    return 0;
}

STDMETHODIMP CXmlNode::get_tagName(BSTR* tagName)
{
    return get_nodeName(tagName);
}

STDMETHODIMP CXmlNode::getAttribute(BSTR name, VARIANT* value)
{
    return GetAttribute(Self(), name, value);
}

STDMETHODIMP CXmlNode::getElementsByTagName(BSTR tagName, IXMLDOMNodeList** list)
{
    return GetElementsByTagName(Self(), tagName, list);
}
} // namespace qm::msxml
