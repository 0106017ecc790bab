// A node of a loaded tree other than the document node. One object per node while any
// reference to it is held, so repeated lookups give the same COM identity.
#pragma once

#include <atomic>

#include "live_objects.h"
#include "node_base.h"

namespace qm::msxml
{
class CXmlNode final : public CNodeBase<IXMLDOMElement>, private LiveObject
{
public:
    // Under tree->wrappers: the node's object with one more reference, or a new one.
    static CXmlNode* Acquire(CDocument* document, const TreePtr& tree, xmlNodePtr node);

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // IXMLDOMElement (only answered for element nodes)
    STDMETHODIMP get_tagName(BSTR* tagName) override;
    STDMETHODIMP getAttribute(BSTR name, VARIANT* value) override;
    STDMETHODIMP setAttribute(BSTR, VARIANT) override { return E_NOTIMPL; }
    STDMETHODIMP removeAttribute(BSTR) override { return E_NOTIMPL; }
    STDMETHODIMP getAttributeNode(BSTR, IXMLDOMAttribute** out) override { return NotImplemented(out); }
    STDMETHODIMP setAttributeNode(IXMLDOMAttribute*, IXMLDOMAttribute** out) override { return NotImplemented(out); }
    STDMETHODIMP removeAttributeNode(IXMLDOMAttribute*, IXMLDOMAttribute** out) override
    {
        return NotImplemented(out);
    }
    STDMETHODIMP getElementsByTagName(BSTR tagName, IXMLDOMNodeList** list) override;
    STDMETHODIMP normalize() override { return E_NOTIMPL; }

protected:
    NodeRef Self() override { return {m_document, m_tree, m_node}; }

private:
    CXmlNode(CDocument* document, TreePtr tree, xmlNodePtr node);
    ~CXmlNode();

    std::atomic<ULONG> m_refs{1};
    CDocument* m_document; // one reference held
    TreePtr m_tree;
    xmlNodePtr m_node;
};
} // namespace qm::msxml
