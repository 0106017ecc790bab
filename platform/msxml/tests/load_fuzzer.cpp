// loadXML of arbitrary text, then a bounded walk of everything the DOM shows, every
// object released again.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "../dom_document.h"
#include "../live_objects.h"
#include "../utf.h"

namespace
{
void Visit(IXMLDOMNode* node, int depth, int& budget)
{
    if (--budget < 0 || depth > 64)
        return;
    BSTR text = nullptr;
    if (SUCCEEDED(node->get_nodeName(&text)))
        SysFreeString(text);
    text = nullptr;
    if (SUCCEEDED(node->get_text(&text)))
        SysFreeString(text);
    VARIANT value;
    if (SUCCEEDED(node->get_nodeValue(&value)))
        VariantClear(&value);
    IXMLDOMNode* other = nullptr;
    if (node->get_lastChild(&other) == S_OK)
        other->Release();
    if (node->get_nextSibling(&other) == S_OK)
        other->Release();
    IXMLDOMNodeList* children = nullptr;
    if (FAILED(node->get_childNodes(&children)))
        return;
    LONG length = 0;
    children->get_length(&length);
    for (LONG i = -1; i <= length; ++i)
    {
        IXMLDOMNode* child = nullptr;
        if (children->get_item(i, &child) == S_OK)
        {
            Visit(child, depth + 1, budget);
            child->Release();
        }
    }
    children->Release();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    IXMLDOMDocument* document = nullptr;
    if (FAILED(qm::msxml::CDocument::Create(IID_IXMLDOMDocument, reinterpret_cast<void**>(&document))))
        return 0;
    // The first byte chooses the whitespace mode; the rest is the text.
    if (size > 0)
        document->put_preserveWhiteSpace((data[0] & 1) ? VARIANT_TRUE : VARIANT_FALSE);
    const std::u16string text =
        size > 0 ? qm::msxml::ToUtf16(std::string(reinterpret_cast<const char*>(data) + 1, size - 1)) : u"";
    BSTR xml = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    VARIANT_BOOL loaded = VARIANT_FALSE;
    const HRESULT hr = document->loadXML(xml, &loaded);
    SysFreeString(xml);
    if ((hr == S_OK) != (loaded == VARIANT_TRUE))
        __builtin_trap();
    int budget = 2000;
    Visit(document, 0, budget);
    document->Release();
    if (qm::msxml::g_liveObjects != 0)
        __builtin_trap();
    return 0;
}
