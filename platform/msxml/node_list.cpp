#include "node_list.h"

#include "dom_document.h"

namespace qm::msxml
{
CNodeList::CNodeList(const NodeRef& owner, std::vector<xmlNodePtr> nodes) : m_owner(owner), m_nodes(std::move(nodes))
{
    m_owner.document->AddRef();
}

CNodeList::~CNodeList()
{
    m_owner.document->Release();
}

STDMETHODIMP CNodeList::QueryInterface(REFIID riid, void** ppv)
{
    if (ppv == nullptr)
        return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IDispatch || riid == IID_IXMLDOMNodeList)
    {
        AddRef();
        *ppv = static_cast<IXMLDOMNodeList*>(this);
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) CNodeList::AddRef()
{
    return ++m_refs;
}

STDMETHODIMP_(ULONG) CNodeList::Release()
{
    const ULONG left = --m_refs;
    if (left == 0)
        delete this;
    return left;
}

STDMETHODIMP CNodeList::GetTypeInfoCount(UINT* pctinfo)
{
    if (pctinfo == nullptr)
        return E_INVALIDARG;
    *pctinfo = 0;
    return S_OK;
}

STDMETHODIMP CNodeList::GetTypeInfo(UINT, LCID, ITypeInfo** ppTInfo)
{
    if (ppTInfo != nullptr)
        *ppTInfo = nullptr;
    return DISP_E_BADINDEX;
}

STDMETHODIMP CNodeList::GetIDsOfNames(REFIID, LPOLESTR*, UINT cNames, LCID, DISPID* rgDispId)
{
    for (UINT i = 0; rgDispId != nullptr && i < cNames; ++i)
        rgDispId[i] = DISPID_UNKNOWN;
    return DISP_E_UNKNOWNNAME;
}

STDMETHODIMP CNodeList::Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*)
{
    return DISP_E_MEMBERNOTFOUND;
}

STDMETHODIMP CNodeList::get_item(LONG index, IXMLDOMNode** listItem)
{
    if (listItem == nullptr)
        return E_INVALIDARG;
    if (index < 0 || static_cast<size_t>(index) >= m_nodes.size())
    {
        *listItem = nullptr;
        return S_FALSE;
    }
    return WrapNode(m_owner, m_nodes[static_cast<size_t>(index)], listItem);
}

STDMETHODIMP CNodeList::get_length(LONG* listLength)
{
    if (listLength == nullptr)
        return E_INVALIDARG;
    *listLength = static_cast<LONG>(m_nodes.size());
    return S_OK;
}

STDMETHODIMP CNodeList::nextNode(IXMLDOMNode** nextItem)
{
    if (nextItem == nullptr)
        return E_INVALIDARG;
    const size_t index = m_next.load();
    if (index >= m_nodes.size())
    {
        *nextItem = nullptr;
        return S_FALSE;
    }
    m_next = index + 1;
    return WrapNode(m_owner, m_nodes[index], nextItem);
}

STDMETHODIMP CNodeList::reset()
{
    m_next = 0;
    return S_OK;
}

STDMETHODIMP CNodeList::get__newEnum(IUnknown** ppUnk)
{
    if (ppUnk != nullptr)
        *ppUnk = nullptr;
    return E_NOTIMPL;
}
} // namespace qm::msxml
