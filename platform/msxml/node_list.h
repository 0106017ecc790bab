// IXMLDOMNodeList over a fixed sequence of nodes (the tree cannot change after loading, so
// a snapshot behaves as MSXML's live lists do).
#pragma once

#include <atomic>
#include <vector>

#include "live_objects.h"
#include "node_ops.h"

namespace qm::msxml
{
class CNodeList final : public IXMLDOMNodeList, private LiveObject
{
public:
    CNodeList(const NodeRef& owner, std::vector<xmlNodePtr> nodes);

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    STDMETHODIMP GetTypeInfoCount(UINT* pctinfo) override;
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** ppTInfo) override;
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT cNames, LCID, DISPID* rgDispId) override;
    STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override;

    STDMETHODIMP get_item(LONG index, IXMLDOMNode** listItem) override;
    STDMETHODIMP get_length(LONG* listLength) override;
    STDMETHODIMP nextNode(IXMLDOMNode** nextItem) override;
    STDMETHODIMP reset() override;
    STDMETHODIMP get__newEnum(IUnknown** ppUnk) override;

private:
    ~CNodeList();

    std::atomic<ULONG> m_refs{1};
    NodeRef m_owner; // one reference on the document held
    std::vector<xmlNodePtr> m_nodes;
    std::atomic<size_t> m_next{0};
};
} // namespace qm::msxml
