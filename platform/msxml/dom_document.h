// The DOM document object (CLSID_DOMDocument). loadXML replaces its tree as a whole; node
// objects taken earlier keep the tree they came from.
#pragma once

#include <atomic>
#include <mutex>

#include "live_objects.h"
#include "node_base.h"

namespace qm::msxml
{
class CDocument final : public CNodeBase<IXMLDOMDocument>, private LiveObject
{
public:
    static HRESULT Create(REFIID riid, void** ppv);

    bool HoldsTree(const TreePtr& tree);
    bool PreserveWhiteSpace() const { return m_preserveWhiteSpace.load(); }

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    STDMETHODIMP get_doctype(IXMLDOMDocumentType** out) override { return NotImplemented(out); }
    STDMETHODIMP get_implementation(IXMLDOMImplementation** out) override { return NotImplemented(out); }
    STDMETHODIMP get_documentElement(IXMLDOMElement** element) override;
    STDMETHODIMP putref_documentElement(IXMLDOMElement*) override { return E_NOTIMPL; }
    STDMETHODIMP createElement(BSTR, IXMLDOMElement** out) override { return NotImplemented(out); }
    STDMETHODIMP createDocumentFragment(IXMLDOMDocumentFragment** out) override { return NotImplemented(out); }
    STDMETHODIMP createTextNode(BSTR, IXMLDOMText** out) override { return NotImplemented(out); }
    STDMETHODIMP createComment(BSTR, IXMLDOMComment** out) override { return NotImplemented(out); }
    STDMETHODIMP createCDATASection(BSTR, IXMLDOMCDATASection** out) override { return NotImplemented(out); }
    STDMETHODIMP createProcessingInstruction(BSTR, BSTR, IXMLDOMProcessingInstruction** out) override
    {
        return NotImplemented(out);
    }
    STDMETHODIMP createAttribute(BSTR, IXMLDOMAttribute** out) override { return NotImplemented(out); }
    STDMETHODIMP createEntityReference(BSTR, IXMLDOMEntityReference** out) override { return NotImplemented(out); }
    STDMETHODIMP getElementsByTagName(BSTR tagName, IXMLDOMNodeList** list) override;
    STDMETHODIMP createNode(VARIANT, BSTR, BSTR, IXMLDOMNode** out) override { return NotImplemented(out); }
    STDMETHODIMP nodeFromID(BSTR, IXMLDOMNode** out) override { return NotImplemented(out); }
    STDMETHODIMP load(VARIANT, VARIANT_BOOL* isSuccessful) override;
    STDMETHODIMP get_readyState(LONG* value) override;
    STDMETHODIMP get_parseError(IXMLDOMParseError** out) override { return NotImplemented(out); }
    STDMETHODIMP get_url(BSTR* url) override;
    STDMETHODIMP get_async(VARIANT_BOOL* isAsync) override { return GetFlag(m_async, isAsync); }
    STDMETHODIMP put_async(VARIANT_BOOL isAsync) override { return PutFlag(m_async, isAsync); }
    STDMETHODIMP abort() override { return S_OK; }
    STDMETHODIMP loadXML(BSTR bstrXML, VARIANT_BOOL* isSuccessful) override;
    STDMETHODIMP save(VARIANT) override { return E_NOTIMPL; }
    STDMETHODIMP get_validateOnParse(VARIANT_BOOL* value) override { return GetFlag(m_validateOnParse, value); }
    STDMETHODIMP put_validateOnParse(VARIANT_BOOL value) override { return PutFlag(m_validateOnParse, value); }
    STDMETHODIMP get_resolveExternals(VARIANT_BOOL* value) override { return GetFlag(m_resolveExternals, value); }
    STDMETHODIMP put_resolveExternals(VARIANT_BOOL value) override { return PutFlag(m_resolveExternals, value); }
    STDMETHODIMP get_preserveWhiteSpace(VARIANT_BOOL* value) override { return GetFlag(m_preserveWhiteSpace, value); }
    STDMETHODIMP put_preserveWhiteSpace(VARIANT_BOOL value) override { return PutFlag(m_preserveWhiteSpace, value); }
    STDMETHODIMP put_onreadystatechange(VARIANT) override { return E_NOTIMPL; }
    STDMETHODIMP put_ondataavailable(VARIANT) override { return E_NOTIMPL; }
    STDMETHODIMP put_ontransformnode(VARIANT) override { return E_NOTIMPL; }

protected:
    NodeRef Self() override;

private:
    explicit CDocument(TreePtr empty);
    ~CDocument() = default;

    static HRESULT GetFlag(const std::atomic<bool>& flag, VARIANT_BOOL* out);
    static HRESULT PutFlag(std::atomic<bool>& flag, VARIANT_BOOL value);
    TreePtr CurrentTree();

    std::atomic<ULONG> m_refs{1};
    std::mutex m_lock; // guards m_tree
    TreePtr m_tree;
    std::atomic<bool> m_async{true};
    std::atomic<bool> m_preserveWhiteSpace{false};
    // Kept for callers that set them; parsing never validates against a DTD and never
    // fetches external entities.
    std::atomic<bool> m_validateOnParse{false};
    std::atomic<bool> m_resolveExternals{false};
};
} // namespace qm::msxml
