#include "dom_document.h"

#include <new>

#include "dom_node.h"

namespace qm::msxml
{
HRESULT CDocument::Create(REFIID riid, void** ppv)
{
    *ppv = nullptr;
    TreePtr empty = NewEmptyTree();
    if (!empty)
        return E_OUTOFMEMORY;
    auto* document = new (std::nothrow) CDocument(std::move(empty));
    if (document == nullptr)
        return E_OUTOFMEMORY;
    const HRESULT hr = document->QueryInterface(riid, ppv);
    document->Release();
    return hr;
}

CDocument::CDocument(TreePtr empty) : m_tree(std::move(empty)) {}

bool CDocument::HoldsTree(const TreePtr& tree)
{
    std::lock_guard lock(m_lock);
    return m_tree == tree;
}

TreePtr CDocument::CurrentTree()
{
    std::lock_guard lock(m_lock);
    return m_tree;
}

NodeRef CDocument::Self()
{
    TreePtr tree = CurrentTree();
    xmlNodePtr node = reinterpret_cast<xmlNodePtr>(tree->doc);
    return {this, std::move(tree), node};
}

STDMETHODIMP CDocument::QueryInterface(REFIID riid, void** ppv)
{
    if (ppv == nullptr)
        return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IDispatch || riid == IID_IXMLDOMNode || riid == IID_IXMLDOMDocument)
    {
        AddRef();
        *ppv = static_cast<IXMLDOMDocument*>(this);
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) CDocument::AddRef()
{
    return ++m_refs;
}

STDMETHODIMP_(ULONG) CDocument::Release()
{
    const ULONG left = --m_refs;
    if (left == 0)
        delete this;
    return left;
}

STDMETHODIMP CDocument::get_documentElement(IXMLDOMElement** element)
{
    if (element == nullptr)
        return E_INVALIDARG;
    const NodeRef self = Self();
    xmlNodePtr root = xmlDocGetRootElement(self.tree->doc);
    if (root == nullptr)
    {
        *element = nullptr;
        return S_FALSE;
    }
    IXMLDOMNode* node = nullptr;
    const HRESULT hr = WrapNode(self, root, &node);
    // Node objects of elements are element objects.
    *element = static_cast<IXMLDOMElement*>(node);
    return hr;
}

STDMETHODIMP CDocument::getElementsByTagName(BSTR tagName, IXMLDOMNodeList** list)
{
    return GetElementsByTagName(Self(), tagName, list);
}

STDMETHODIMP CDocument::load(VARIANT, VARIANT_BOOL* isSuccessful)
{
    if (isSuccessful != nullptr)
        *isSuccessful = VARIANT_FALSE;
    return E_NOTIMPL;
}

STDMETHODIMP CDocument::get_readyState(LONG* value)
{
    if (value == nullptr)
        return E_INVALIDARG;
    *value = 4; // READYSTATE_COMPLETE: loading is synchronous
    return S_OK;
}

STDMETHODIMP CDocument::get_url(BSTR* url)
{
    if (url == nullptr)
        return E_INVALIDARG;
    *url = nullptr; // text given to loadXML has no address
    return S_FALSE;
}

STDMETHODIMP CDocument::loadXML(BSTR bstrXML, VARIANT_BOOL* isSuccessful)
{
    if (isSuccessful == nullptr)
        return E_INVALIDARG;
    TreePtr parsed = ParseText(bstrXML, PreserveWhiteSpace());
    const bool ok = parsed != nullptr;
    if (!ok)
    {
        parsed = NewEmptyTree();
        if (!parsed)
            return E_OUTOFMEMORY;
    }
    {
        std::lock_guard lock(m_lock);
        m_tree = std::move(parsed);
    }
    *isSuccessful = ok ? VARIANT_TRUE : VARIANT_FALSE;
    return ok ? S_OK : S_FALSE;
}

HRESULT CDocument::GetFlag(const std::atomic<bool>& flag, VARIANT_BOOL* out)
{
    if (out == nullptr)
        return E_INVALIDARG;
    *out = flag.load() ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

HRESULT CDocument::PutFlag(std::atomic<bool>& flag, VARIANT_BOOL value)
{
    flag = value != VARIANT_FALSE;
    return S_OK;
}
} // namespace qm::msxml
