// The document object model the host sees: documents, frame collections and frame windows
// are addresses (a path of frame names from the top document); every use asks the page.
#include <cstdio>
#include <cstdlib>

#include "browser.h"
#include "oleauto.h"

namespace qm::web
{
namespace
{
// $QM_WEB_CALLS names a file that gets one line per page function the host calls (frame
// path, name, arguments, whether it ran): what a page was told, for tests of whole programs.
void TraceCall(const std::vector<std::string>& path, const std::string& name, const std::string& args, bool ran)
{
    static FILE* out = [] {
        const char* file = std::getenv("QM_WEB_CALLS");
        return file && *file ? std::fopen(file, "a") : nullptr;
    }();
    if (!out)
        return;
    std::string line;
    for (const std::string& frame : path)
        line += frame + ".";
    line += name + "(" + args + ")" + (ran ? "" : " failed") + "\n";
    std::fputs(line.c_str(), out);
    std::fflush(out);
}

std::string PathLiteral(const std::vector<std::string>& path)
{
    std::string out = "[";
    for (size_t i = 0; i < path.size(); ++i)
        out += (i ? "," : "") + JsQuote(path[i]);
    return out + "]";
}

bool AskBool(BrowserControl* control, const std::string& script)
{
    VARIANT v;
    bool ok = RunScript(control->View(), script, &v, nullptr) && v.vt == VT_BOOL && v.boolVal;
    VariantClear(&v);
    return ok;
}

// Reference counting and QueryInterface for an object answering the given interfaces.
template <class I> class Node : public I
{
public:
    Node(BrowserControl* control, std::vector<std::string> path) : m_control(control), m_path(std::move(path))
    {
        m_control->AddRef();
    }
    virtual ~Node() { m_control->Release(); }

    STDMETHODIMP_(ULONG) AddRef() override { return ++m_refs; }
    STDMETHODIMP_(ULONG) Release() override
    {
        ULONG n = --m_refs;
        if (n == 0)
            delete this;
        return n;
    }
    STDMETHODIMP GetTypeInfoCount(UINT* n) override
    {
        if (n)
            *n = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return DISP_E_UNKNOWNNAME; }
    STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override
    {
        return DISP_E_MEMBERNOTFOUND;
    }

protected:
    HRESULT Answer(REFIID riid, void** ppv, std::initializer_list<const IID*> iids)
    {
        if (!ppv)
            return E_POINTER;
        *ppv = nullptr;
        if (riid == IID_IUnknown || riid == IID_IDispatch)
            *ppv = static_cast<I*>(this);
        for (const IID* iid : iids)
            if (riid == *iid)
                *ppv = static_cast<I*>(this);
        if (!*ppv)
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }

    ULONG m_refs = 1;
    BrowserControl* m_control;
    std::vector<std::string> m_path;
};

// The script engine of one document: its global functions by name.
class Script final : public Node<IDispatch>
{
public:
    using Node::Node;
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override { return Answer(riid, ppv, {}); }

    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override
    {
        if (!names || !ids)
            return E_POINTER;
        HRESULT hr = S_OK;
        for (UINT i = 0; i < count; ++i)
        {
            std::string name = ToUtf8(names[i] ? std::u16string(names[i]) : std::u16string());
            std::string probe = "(function(){var w=" + FrameWindowExpression(m_path) +
                                ";return !!w&&typeof w[" + JsQuote(name) + "]==='function';})()";
            if (AskBool(m_control, probe))
            {
                m_names.push_back(name);
                ids[i] = static_cast<DISPID>(m_names.size());
            }
            else
            {
                ids[i] = DISPID_UNKNOWN;
                hr = DISP_E_UNKNOWNNAME;
            }
        }
        return hr;
    }

    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO*,
                        UINT*) override
    {
        if (id < 1 || static_cast<size_t>(id) > m_names.size())
            return DISP_E_MEMBERNOTFOUND;
        if (!(flags & DISPATCH_METHOD))
            return DISP_E_MEMBERNOTFOUND;
        std::string args;
        UINT n = params ? params->cArgs : 0;
        for (UINT i = 0; i < n; ++i) // rgvarg holds the last argument first
            args += (i ? "," : "") + VariantToJson(params->rgvarg[n - 1 - i]);
        std::string call = "(function(){var w=" + FrameWindowExpression(m_path) +
                           ";if(!w)throw new Error('no frame');return w[" + JsQuote(m_names[static_cast<size_t>(id) - 1]) +
                           "](" + args + ");})()";
        VARIANT v;
        bool ok = RunScript(m_control->View(), call, &v, nullptr);
        TraceCall(m_path, m_names[static_cast<size_t>(id) - 1], args, ok);
        if (!ok)
            return DISP_E_EXCEPTION;
        if (result)
            *result = v;
        else
            VariantClear(&v);
        return S_OK;
    }

private:
    std::vector<std::string> m_names;
};

class Document;

class FrameWindow final : public Node<IHTMLWindow2>
{
public:
    using Node::Node;
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        return Answer(riid, ppv, {&IID_IHTMLWindow2, &IID_IHTMLFramesCollection2});
    }
    STDMETHODIMP item(VARIANT* index, VARIANT* result) override;
    STDMETHODIMP get_length(LONG* p) override;
    STDMETHODIMP get_frames(IHTMLFramesCollection2** p) override
    {
        if (!p)
            return E_POINTER;
        AddRef();
        *p = this;
        return S_OK;
    }
    STDMETHODIMP get_document(IHTMLDocument2** p) override
    {
        if (!p)
            return E_POINTER;
        *p = NewDocument(m_control, m_path);
        return S_OK;
    }
};

STDMETHODIMP FrameWindow::item(VARIANT* index, VARIANT* result)
{
    if (!index || !result)
        return E_POINTER;
    VariantInit(result);
    if (index->vt != VT_BSTR || !index->bstrVal)
        return E_INVALIDARG;
    std::vector<std::string> path = m_path;
    path.push_back(ToUtf8(std::u16string(index->bstrVal, SysStringLen(index->bstrVal))));
    if (!AskBool(m_control, "(" + FrameWindowExpression(path) + ")!==null"))
        return E_INVALIDARG;
    result->vt = VT_DISPATCH;
    result->pdispVal = new FrameWindow(m_control, std::move(path));
    return S_OK;
}

STDMETHODIMP FrameWindow::get_length(LONG* p)
{
    if (!p)
        return E_POINTER;
    VARIANT v;
    *p = 0;
    if (RunScript(m_control->View(), "(function(){var w=" + FrameWindowExpression(m_path) + ";return w?w.frames.length:0;})()",
                  &v, nullptr) &&
        v.vt == VT_I4)
        *p = v.lVal;
    VariantClear(&v);
    return S_OK;
}

class Document final : public Node<IHTMLDocument2>
{
public:
    using Node::Node;
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override { return Answer(riid, ppv, {&IID_IHTMLDocument2}); }
    STDMETHODIMP get_Script(IDispatch** p) override
    {
        if (!p)
            return E_POINTER;
        *p = new Script(m_control, m_path);
        return S_OK;
    }
    STDMETHODIMP get_frames(IHTMLFramesCollection2** p) override
    {
        if (!p)
            return E_POINTER;
        *p = new FrameWindow(m_control, m_path);
        return S_OK;
    }
    STDMETHODIMP get_URL(BSTR* p) override
    {
        if (!p)
            return E_POINTER;
        VARIANT v;
        *p = nullptr;
        if (!RunScript(m_control->View(), "(function(){var w=" + FrameWindowExpression(m_path) + ";return w?String(w.location.href):'';})()",
                       &v, nullptr))
            return E_FAIL;
        if (v.vt == VT_BSTR)
        {
            *p = v.bstrVal;
            return S_OK;
        }
        VariantClear(&v);
        *p = SysAllocString(u"");
        return S_OK;
    }
};
} // namespace

std::string FrameWindowExpression(const std::vector<std::string>& path)
{
    // A frame is found by its name, else by the id of its frame element.
    return "(function(p){var w=window;for(var i=0;i<p.length;i++){var f=null;"
           "try{f=w.frames[p[i]];}catch(e){}"
           "if(f&&f.contentWindow)f=f.contentWindow;"
           "if(!f||f.window!==f){var el=w.document.getElementById(p[i]);f=el&&el.contentWindow?el.contentWindow:null;}"
           "if(!f)return null;w=f;}return w;})(" +
           PathLiteral(path) + ")";
}

IHTMLDocument2* NewDocument(BrowserControl* control, std::vector<std::string> framePath)
{
    return new Document(control, std::move(framePath));
}
} // namespace qm::web
