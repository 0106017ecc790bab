#include "JsCall.h"

#include "oleauto.h"

CJsCall::~CJsCall()
{
    if (m_pDocument)
        m_pDocument->Release();
}

bool CJsCall::SetDocument(IDispatch* pDocument)
{
    if (!pDocument)
        return false;
    if (m_pDocument)
    {
        m_pDocument->Release();
        m_pDocument = nullptr;
    }
    return SUCCEEDED(pDocument->QueryInterface(IID_IHTMLDocument2, reinterpret_cast<void**>(&m_pDocument))) &&
           m_pDocument;
}

bool CJsCall::GetJScript(const std::u16string& strName, IDispatch** ppScript, DISPID* pDispId)
{
    if (!m_pDocument || !ppScript || !pDispId)
        return false;
    std::vector<std::u16string> parts;
    size_t start = 0;
    for (size_t dot; (dot = strName.find(u'.', start)) != std::u16string::npos; start = dot + 1)
        parts.push_back(strName.substr(start, dot - start));
    std::u16string function = strName.substr(start);

    IHTMLDocument2* pDoc = m_pDocument;
    pDoc->AddRef();
    for (const std::u16string& frame : parts)
    {
        IHTMLFramesCollection2* pFrames = nullptr;
        if (FAILED(pDoc->get_frames(&pFrames)) || !pFrames)
        {
            pDoc->Release();
            return false;
        }
        VARIANT vName, vFrame;
        VariantInit(&vName);
        VariantInit(&vFrame);
        vName.vt = VT_BSTR;
        vName.bstrVal = SysAllocStringLen(frame.data(), static_cast<UINT>(frame.size()));
        HRESULT hr = pFrames->item(&vName, &vFrame);
        VariantClear(&vName);
        pFrames->Release();
        IHTMLWindow2* pWindow = nullptr;
        if (SUCCEEDED(hr) && vFrame.vt == VT_DISPATCH && vFrame.pdispVal)
            vFrame.pdispVal->QueryInterface(IID_IHTMLWindow2, reinterpret_cast<void**>(&pWindow));
        VariantClear(&vFrame);
        pDoc->Release();
        pDoc = nullptr;
        if (!pWindow)
            return false;
        hr = pWindow->get_document(&pDoc);
        pWindow->Release();
        if (FAILED(hr) || !pDoc)
            return false;
    }
    IDispatch* pScript = nullptr;
    HRESULT hr = pDoc->get_Script(&pScript);
    pDoc->Release();
    if (FAILED(hr) || !pScript)
        return false;
    LPOLESTR names[] = {function.data()};
    if (FAILED(pScript->GetIDsOfNames(IID_NULL, names, 1, 0x0800, pDispId)))
    {
        pScript->Release();
        return false;
    }
    *ppScript = pScript;
    return true;
}

bool CJsCall::CallJScript(const std::u16string& strName, const std::vector<std::u16string>& arrArgs,
                          VARIANT* pResult)
{
    IDispatch* pScript = nullptr;
    DISPID dispid = DISPID_UNKNOWN;
    if (!GetJScript(strName, &pScript, &dispid))
        return false;
    // Last argument first, so the function receives them in array order.
    std::vector<VARIANT> args(arrArgs.size());
    for (size_t i = 0; i < arrArgs.size(); ++i)
    {
        const std::u16string& s = arrArgs[arrArgs.size() - 1 - i];
        VariantInit(&args[i]);
        args[i].vt = VT_BSTR;
        args[i].bstrVal = SysAllocStringLen(s.data(), static_cast<UINT>(s.size()));
    }
    DISPPARAMS params{args.data(), nullptr, static_cast<UINT>(args.size()), 0};
    VARIANT result;
    VariantInit(&result);
    HRESULT hr = pScript->Invoke(dispid, IID_NULL, 0, DISPATCH_METHOD, &params, &result, nullptr, nullptr);
    for (auto& a : args)
        VariantClear(&a);
    pScript->Release();
    if (FAILED(hr))
    {
        VariantClear(&result);
        return false;
    }
    if (pResult)
        *pResult = result;
    else
        VariantClear(&result);
    return true;
}
