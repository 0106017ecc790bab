// A chain document: from the resource to the DOM, and the walk to its two parts.
#include "CertificateChainOperate.h"

#include <cstring>

#include <shlwapi.h>

#include "ChainNodeContent.h"
#include "ChainTrace.h"
#include "ModuleHandle.h"
#include "ResourceRegistry.h"
#include "TextEncoding.h"
#include "ZeroedArray.h"

HRESULT ImportCertificateChainfromResoure(DWORD dwResourceId)
{
    const LPCWSTR lpwszOperation = u"ImportCertificateChainfromResoure";
    TraceHelper trace(lpwszOperation);
    QM_TRACE_INFO(dwResourceId);

    BYTE* pbResData = nullptr;
    DWORD cbResData = 0;
    HRESULT hResult = LoadModuleResource(g_hModuleInstance, dwResourceId, &pbResData, &cbResData);
    CHAIN_STEP(CHAIN_OPERATE_UNIT, lpwszOperation, u"LoadModuleResource", u"FAILED(hResult)", hResult);
    if (FAILED(hResult))
    {
        return hResult;
    }

    hResult = ImportCertificateChainfromBlobData(pbResData, cbResData);
    CHAIN_STEP(CHAIN_OPERATE_UNIT, lpwszOperation, u"ImportCertificateChainfromBlobData", u"FAILED(hResult)",
               hResult);
    delete[] pbResData;
    return hResult;
}

HRESULT ImportCertificateChainfromBlobData(const BYTE* lpResData, DWORD dwResDataSize)
{
    const LPCWSTR lpwszOperation = u"ImportCertificateChainfromBlobData";
    TraceHelper trace(lpwszOperation);

    CInterfaceHolder<IXMLDOMDocument> pXMLDomDoc;
    HRESULT hResult = LoadXMLDom(lpResData, dwResDataSize, &pXMLDomDoc);
    CHAIN_STEP(CHAIN_OPERATE_UNIT, lpwszOperation, u"ImportCertificateChainfromBlobData-LoadXMLDom",
               u"FAILED(hResult)", hResult);
    if (FAILED(hResult))
    {
        return hResult;
    }

    hResult = ImportCertChainfromXMLDOMDoc(pXMLDomDoc);
    CHAIN_STEP(CHAIN_OPERATE_UNIT, lpwszOperation, u"ImportCertificateChainfromBlobData-ImportCertChainfromXMLDOMDoc",
               u"FAILED(hResult)", hResult);
    return hResult;
}

HRESULT LoadXMLDom(const BYTE* lpResData, DWORD dwResDataSize, IXMLDOMDocument** ppXMLDomDoc)
{
    const LPCWSTR lpwszOperation = u"LoadXMLDom";
    TraceHelper trace(lpwszOperation);
    if (lpResData == NULL)
    {
        CHAIN_STEP(CHAIN_OPERATE_UNIT, lpwszOperation, u"check parameter", u"lpResData == NULL", E_INVALIDARG);
        return E_INVALIDARG;
    }
    if (!ppXMLDomDoc)
    {
        CHAIN_STEP(CHAIN_OPERATE_UNIT, lpwszOperation, u"check parameter", u"ppXMLDomDoc == NULL", E_POINTER);
        return E_POINTER;
    }

    CInterfaceHolder<IXMLDOMDocument> pXMLDomDoc;
    HRESULT hResult = CoCreateInstance(CLSID_DOMDocument, nullptr, CLSCTX_INPROC_SERVER, IID_IXMLDOMDocument,
                                       reinterpret_cast<void**>(&pXMLDomDoc));
    CHAIN_STEP(CHAIN_OPERATE_UNIT, lpwszOperation, u"LoadXMLDom-CoCreateInstance", u"FAILED(hResult)", hResult);
    if (FAILED(hResult))
    {
        return hResult;
    }

    // The resource is not terminated: its length is its only bound.
    CHAR* lpResDataWithEnd = NewZeroedArray<CHAR>((unsigned long long)dwResDataSize + 1);
    if (lpResDataWithEnd == NULL)
    {
        CHAIN_STEP(CHAIN_OPERATE_UNIT, lpwszOperation, u"new memory", u"lpResDataWithEnd == NULL", E_OUTOFMEMORY);
        return E_OUTOFMEMORY;
    }
    memcpy(lpResDataWithEnd, lpResData, dwResDataSize);

    LPWSTR lpwszXML = nullptr;
    DWORD cchXML = 0;
    hResult = UTF8ToUTF16(lpResDataWithEnd, &lpwszXML, &cchXML);
    delete[] lpResDataWithEnd;
    CHAIN_STEP(CHAIN_OPERATE_UNIT, lpwszOperation, u"LoadXMLDom-UTF8ToUTF16", u"FAILED(hResult)", hResult);
    if (FAILED(hResult))
    {
        delete[] lpwszXML;
        return hResult;
    }

    BSTR bstrXML = SysAllocString(lpwszXML);
    delete[] lpwszXML;
    if (!bstrXML)
    {
        CHAIN_STEP(CHAIN_OPERATE_UNIT, lpwszOperation, u"LoadXMLDom-loadXML", u"bstrXML == NULL", E_OUTOFMEMORY);
        return E_OUTOFMEMORY;
    }
    VARIANT_BOOL vbLoaded = VARIANT_FALSE;
    // Text that does not parse gives S_FALSE and an empty document, which the root step refuses.
    hResult = pXMLDomDoc->loadXML(bstrXML, &vbLoaded);
    SysFreeString(bstrXML);
    CHAIN_STEP(CHAIN_OPERATE_UNIT, lpwszOperation, u"LoadXMLDom-loadXML", u"FAILED(hResult)", hResult);
    if (FAILED(hResult))
    {
        return hResult;
    }

    *ppXMLDomDoc = pXMLDomDoc.Detach();
    return hResult;
}

HRESULT ImportCertChainfromXMLDOMDoc(IXMLDOMDocument* pXMLDomDoc)
{
    const LPCWSTR lpwszOperation = u"ImportCertChainfromXMLDOMDoc";
    TraceHelper trace(lpwszOperation);

    CInterfaceHolder<IXMLDOMNode> pRootNode;
    HRESULT hResult = GetXMLRootNode(pXMLDomDoc, &pRootNode);
    CHAIN_STEP(CHAIN_OPERATE_UNIT, lpwszOperation, u"ImportCertChainfromXMLDOMDoc-GetXMLRootNode", u"FAILED(hResult)",
               hResult);
    if (FAILED(hResult))
    {
        return hResult;
    }

    CInterfaceHolder<IXMLDOMNode> pRootCACertificateNode;
    hResult = FindChildNode(&pRootCACertificateNode, pRootNode, u"RootCACertificate");
    CHAIN_STEP(CHAIN_OPERATE_UNIT, lpwszOperation, u"ImportCertChainfromXMLDOMDoc-FindChildNode", u"FAILED(hResult)",
               hResult);
    if (FAILED(hResult))
    {
        return hResult;
    }
    hResult = ParseRootCACertificateNode(pRootCACertificateNode);
    CHAIN_STEP(CHAIN_OPERATE_UNIT, lpwszOperation, u"ImportCertChainfromXMLDOMDoc-ParseRootCACertificateNode",
               u"FAILED(hResult)", hResult);
    if (FAILED(hResult))
    {
        return hResult;
    }

    // The roots are written before the bundle is read.
    CInterfaceHolder<IXMLDOMNode> pP7bContentNode;
    hResult = FindChildNode(&pP7bContentNode, pRootNode, u"P7bContent");
    if (SUCCEEDED(hResult))
    {
        hResult = ParseP7bContentNode(pP7bContentNode);
    }
    CHAIN_STEP(CHAIN_OPERATE_UNIT, lpwszOperation, u"ImportCertChainfromXMLDOMDoc-FindChildNode", u"FAILED(hResult)",
               hResult);
    return hResult;
}

HRESULT GetXMLRootNode(IXMLDOMDocument* pXMLDomDoc, IXMLDOMNode** ppRootNode)
{
    const LPCWSTR lpwszOperation = u"GetXMLRootNode";
    TraceHelper trace(lpwszOperation);
    if (!pXMLDomDoc || !ppRootNode)
    {
        CHAIN_STEP(CHAIN_OPERATE_UNIT, lpwszOperation, u"check parameter", u"pXMLDomDoc == NULL||ppRootNode == NULL",
                   E_INVALIDARG);
        return E_INVALIDARG;
    }

    CInterfaceHolder<IXMLDOMNode> pRootNode;
    HRESULT hResult = pXMLDomDoc->get_lastChild(&pRootNode);
    if (SUCCEEDED(hResult) && !pRootNode)
    {
        // An empty document: text that did not parse, or no element at all.
        hResult = E_XML_PARSE_FAILED;
    }
    CHAIN_STEP(CHAIN_OPERATE_UNIT, lpwszOperation, u"GetXMLRootNode-get_lastChild", u"pRootNode == NULL", hResult);
    if (FAILED(hResult))
    {
        return hResult;
    }

    CBstrHolder bstrName;
    hResult = pRootNode->get_nodeName(&bstrName);
    CHAIN_STEP(CHAIN_OPERATE_UNIT, lpwszOperation, u"GetXMLRootNode-get_nodeName", u"FAILED(hResult)", hResult);
    if (FAILED(hResult))
    {
        return hResult;
    }
    QM_TRACE_INFO((LPCWSTR)bstrName);

    *ppRootNode = pRootNode.Detach();
    return S_OK;
}

HRESULT FindChildNode(IXMLDOMNode** ppChildNode, IXMLDOMNode* pParentNode, LPCWSTR bstrChildNodeName)
{
    const LPCWSTR lpwszOperation = u"FindChildNode";
    TraceHelper trace(lpwszOperation);
    if (pParentNode == NULL || bstrChildNodeName == NULL || !ppChildNode)
    {
        CHAIN_STEP(CHAIN_OPERATE_UNIT, lpwszOperation, u"check parameter.",
                   u"pParentNode == NULL||bstrChildNodeName==NULL", E_INVALIDARG);
        return E_INVALIDARG;
    }
    QM_TRACE_INFO(bstrChildNodeName);

    CInterfaceHolder<IXMLDOMNodeList> pChildNodes;
    LONG lLength = 0;
    HRESULT hResult = GetChildNodeList(lpwszOperation, u"FindChildNode-get_childNodes", u"FindChildNode-get_length",
                                       pParentNode, &pChildNodes, &lLength);
    if (FAILED(hResult))
    {
        return hResult;
    }

    for (LONG i = 0; i < lLength; ++i)
    {
        CInterfaceHolder<IXMLDOMNode> pChildNode;
        hResult = pChildNodes->get_item(i, &pChildNode);
        if (FAILED(hResult) || !pChildNode)
        {
            hResult = FAILED(hResult) ? hResult : E_XML_PARSE_FAILED;
            CHAIN_STEP(CHAIN_OPERATE_UNIT, lpwszOperation, u"FindChildNode-get_item", u"FAILED(hResult)", hResult);
            return hResult;
        }
        CBstrHolder bstrName;
        hResult = pChildNode->get_nodeName(&bstrName);
        if (FAILED(hResult))
        {
            CHAIN_STEP(CHAIN_OPERATE_UNIT, lpwszOperation, u"FindChildNode-get_nodeName", u"FAILED(hResult)",
                       hResult);
            return hResult;
        }
        if ((BSTR)bstrName && StrStrIW(bstrName, bstrChildNodeName))
        {
            *ppChildNode = pChildNode.Detach();
            return S_OK;
        }
    }

    CHAIN_STEP(CHAIN_OPERATE_UNIT, lpwszOperation, u"FindChildNode", u"no child node of the name", E_XML_PARSE_FAILED);
    return E_XML_PARSE_FAILED;
}

HRESULT GetNodeValue(IXMLDOMNode* pNode, LPWSTR* ppwszValue)
{
    const LPCWSTR lpwszOperation = u"GetNodeValue";
    TraceHelper trace(lpwszOperation);
    if (!pNode || !ppwszValue)
    {
        CHAIN_STEP(CHAIN_OPERATE_UNIT, lpwszOperation, u"check parameter.", u"pNode == NULL||ppwszValue == NULL",
                   E_INVALIDARG);
        return E_INVALIDARG;
    }

    CBstrHolder bstrText;
    HRESULT hResult = pNode->get_text(&bstrText);
    CHAIN_STEP(CHAIN_OPERATE_UNIT, lpwszOperation, u"get_text", u"FAILED(hResult)", hResult);
    if (FAILED(hResult))
    {
        return hResult;
    }

    UINT cchText = SysStringLen(bstrText);
    LPWSTR lpwszValue = NewZeroedArray<WCHAR>((unsigned long long)cchText + 1);
    if (!lpwszValue)
    {
        CHAIN_STEP(CHAIN_OPERATE_UNIT, lpwszOperation, u"new memory", u"lpwszValue == NULL", E_OUTOFMEMORY);
        return E_OUTOFMEMORY;
    }
    if (cchText)
    {
        memcpy(lpwszValue, (BSTR)bstrText, cchText * sizeof(WCHAR));
    }
    *ppwszValue = lpwszValue;
    return S_OK;
}
