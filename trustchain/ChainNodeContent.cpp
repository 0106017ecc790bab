#include "ChainNodeContent.h"

#include "Base64Encoding.h"
#include "ChainTrace.h"
#include "TextEncoding.h"

HRESULT GetChildNodeList(LPCWSTR lpwszOperation, LPCWSTR lpwszListStep, LPCWSTR lpwszLengthStep, IXMLDOMNode* pNode,
                         IXMLDOMNodeList** ppChildNodes, LONG* plLength)
{
    CInterfaceHolder<IXMLDOMNodeList> pChildNodes;
    HRESULT hResult = pNode->get_childNodes(&pChildNodes);
    if (SUCCEEDED(hResult) && !pChildNodes)
    {
        hResult = E_XML_PARSE_FAILED;
    }
    CHAIN_STEP(CHAIN_OPERATE_UNIT, lpwszOperation, lpwszListStep, u"FAILED(hResult)", hResult);
    if (FAILED(hResult))
    {
        return hResult;
    }
    hResult = pChildNodes->get_length(plLength);
    CHAIN_STEP(CHAIN_OPERATE_UNIT, lpwszOperation, lpwszLengthStep, u"FAILED(hResult)", hResult);
    if (FAILED(hResult))
    {
        return hResult;
    }
    *ppChildNodes = pChildNodes.Detach();
    return S_OK;
}

HRESULT DecodeBase64Text(LPCWSTR lpwszOperation, LPCWSTR lpwszUtf8Step, LPCWSTR lpwszBase64Step, LPCWSTR lpwszText,
                         BYTE** ppbData, DWORD* pcbData)
{
    LPSTR lpszText = nullptr;
    DWORD cbText = 0;
    HRESULT hResult = UTF16ToUTF8(lpwszText, &lpszText, &cbText);
    CHAIN_STEP(CHAIN_OPERATE_UNIT, lpwszOperation, lpwszUtf8Step, u"FAILED(hResult)", hResult);
    if (FAILED(hResult))
    {
        delete[] lpszText;
        return hResult;
    }
    hResult = Base64DecodeEx((int)cbText, ppbData, lpszText, pcbData);
    delete[] lpszText;
    CHAIN_STEP(CHAIN_OPERATE_UNIT, lpwszOperation, lpwszBase64Step, u"FAILED(hResult)", hResult);
    return hResult;
}
