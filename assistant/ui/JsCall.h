// Calls page functions by dotted name ("mainframe.addResult": function addResult of the
// frame mainframe of the bound document).
#pragma once

#include <string>
#include <vector>

#include "mshtml.h"

class CJsCall
{
public:
    CJsCall() = default;
    ~CJsCall();
    CJsCall(const CJsCall&) = delete;
    CJsCall& operator=(const CJsCall&) = delete;

    // Binds the document's IHTMLDocument2 (releasing the one bound before); false for null
    // or a document without that interface.
    bool SetDocument(IDispatch* pDocument);
    // The script object holding the function and the function's DISPID.
    bool GetJScript(const std::u16string& strName, IDispatch** ppScript, DISPID* pDispId);
    // Calls the function with the strings as its arguments, in order.
    bool CallJScript(const std::u16string& strName, const std::vector<std::u16string>& arrArgs,
                     VARIANT* pResult = nullptr);

private:
    IHTMLDocument2* m_pDocument = nullptr;
    std::u16string m_strError;
};
