// IXMLDOMNode and IDispatch for every node object, in terms of the node it stands for.
// Methods that change the tree, XPath, XSLT and typed values are not provided (E_NOTIMPL).
// There is no type library: IDispatch knows no names.
#pragma once

#include "node_ops.h"

namespace qm::msxml
{
template <class Interface>
class CNodeBase : public Interface
{
public:
    // IDispatch
    STDMETHODIMP GetTypeInfoCount(UINT* pctinfo) override
    {
        if (pctinfo == nullptr)
            return E_INVALIDARG;
        *pctinfo = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** ppTInfo) override
    {
        if (ppTInfo != nullptr)
            *ppTInfo = nullptr;
        return DISP_E_BADINDEX;
    }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT cNames, LCID, DISPID* rgDispId) override
    {
        for (UINT i = 0; rgDispId != nullptr && i < cNames; ++i)
            rgDispId[i] = DISPID_UNKNOWN;
        return DISP_E_UNKNOWNNAME;
    }
    STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override
    {
        return DISP_E_MEMBERNOTFOUND;
    }

    // IXMLDOMNode
    STDMETHODIMP get_nodeName(BSTR* name) override { return GetNodeName(Self(), name); }
    STDMETHODIMP get_nodeValue(VARIANT* value) override { return GetNodeValue(Self(), value); }
    STDMETHODIMP put_nodeValue(VARIANT) override { return E_NOTIMPL; }
    STDMETHODIMP get_nodeType(DOMNodeType* type) override { return GetNodeType(Self(), type); }
    STDMETHODIMP get_parentNode(IXMLDOMNode** parent) override { return GetParentNode(Self(), parent); }
    STDMETHODIMP get_childNodes(IXMLDOMNodeList** list) override { return GetChildNodes(Self(), list); }
    STDMETHODIMP get_firstChild(IXMLDOMNode** child) override { return GetFirstOrLastChild(Self(), false, child); }
    STDMETHODIMP get_lastChild(IXMLDOMNode** child) override { return GetFirstOrLastChild(Self(), true, child); }
    STDMETHODIMP get_previousSibling(IXMLDOMNode** sibling) override { return GetSibling(Self(), false, sibling); }
    STDMETHODIMP get_nextSibling(IXMLDOMNode** sibling) override { return GetSibling(Self(), true, sibling); }
    STDMETHODIMP get_attributes(IXMLDOMNamedNodeMap** map) override { return NotImplemented(map); }
    STDMETHODIMP insertBefore(IXMLDOMNode*, VARIANT, IXMLDOMNode** out) override { return NotImplemented(out); }
    STDMETHODIMP replaceChild(IXMLDOMNode*, IXMLDOMNode*, IXMLDOMNode** out) override { return NotImplemented(out); }
    STDMETHODIMP removeChild(IXMLDOMNode*, IXMLDOMNode** out) override { return NotImplemented(out); }
    STDMETHODIMP appendChild(IXMLDOMNode*, IXMLDOMNode** out) override { return NotImplemented(out); }
    STDMETHODIMP hasChildNodes(VARIANT_BOOL* hasChild) override { return HasChildNodes(Self(), hasChild); }
    STDMETHODIMP get_ownerDocument(IXMLDOMDocument** document) override { return GetOwnerDocument(Self(), document); }
    STDMETHODIMP cloneNode(VARIANT_BOOL, IXMLDOMNode** out) override { return NotImplemented(out); }
    STDMETHODIMP get_nodeTypeString(BSTR* type) override { return GetNodeTypeString(Self(), type); }
    STDMETHODIMP get_text(BSTR* text) override { return GetText(Self(), text); }
    STDMETHODIMP put_text(BSTR) override { return E_NOTIMPL; }
    STDMETHODIMP get_specified(VARIANT_BOOL*) override { return E_NOTIMPL; }
    STDMETHODIMP get_definition(IXMLDOMNode** out) override { return NotImplemented(out); }
    STDMETHODIMP get_nodeTypedValue(VARIANT*) override { return E_NOTIMPL; }
    STDMETHODIMP put_nodeTypedValue(VARIANT) override { return E_NOTIMPL; }
    STDMETHODIMP get_dataType(VARIANT*) override { return E_NOTIMPL; }
    STDMETHODIMP put_dataType(BSTR) override { return E_NOTIMPL; }
    STDMETHODIMP get_xml(BSTR* out) override { return NotImplemented(out); }
    STDMETHODIMP transformNode(IXMLDOMNode*, BSTR* out) override { return NotImplemented(out); }
    STDMETHODIMP selectNodes(BSTR, IXMLDOMNodeList** out) override { return NotImplemented(out); }
    STDMETHODIMP selectSingleNode(BSTR, IXMLDOMNode** out) override { return NotImplemented(out); }
    STDMETHODIMP get_parsed(VARIANT_BOOL* parsed) override
    {
        if (parsed == nullptr)
            return E_INVALIDARG;
        *parsed = VARIANT_TRUE; // loading is synchronous
        return S_OK;
    }
    STDMETHODIMP get_namespaceURI(BSTR* uri) override { return GetNamespaceURI(Self(), uri); }
    STDMETHODIMP get_prefix(BSTR* prefix) override { return GetPrefix(Self(), prefix); }
    STDMETHODIMP get_baseName(BSTR* name) override { return GetBaseName(Self(), name); }
    STDMETHODIMP transformNodeToObject(IXMLDOMNode*, VARIANT) override { return E_NOTIMPL; }

protected:
    // The node this object stands for, with its tree held for the duration of a call.
    virtual NodeRef Self() = 0;

    template <class T>
    static HRESULT NotImplemented(T** out)
    {
        if (out != nullptr)
            *out = nullptr;
        return E_NOTIMPL;
    }
};
} // namespace qm::msxml
