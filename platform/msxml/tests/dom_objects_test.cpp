// The COM side of the DOM: node lists and their bounds, one object per node, references
// that keep what they need alive, out-parameters, and the slots that are not provided.
#include <climits>
#include <thread>

#include "dom_fixture.h"

namespace
{
class DomObjectsTest : public DomTest
{
protected:
    void SetUp() override
    {
        DomTest::SetUp();
        Load(u"<root><a>1</a><b>2</b><c>3</c></root>");
        ASSERT_EQ(m_loadResult, S_OK);
    }
};
} // namespace

TEST_F(DomObjectsTest, ItemOutsideTheListGivesSFalseAndNull)
{
    Ref<IXMLDOMNode> root;
    ASSERT_EQ(m_doc->get_lastChild(root.Put()), S_OK);
    Ref<IXMLDOMNodeList> list;
    ASSERT_EQ(root->get_childNodes(list.Put()), S_OK);
    LONG length = 0;
    ASSERT_EQ(list->get_length(&length), S_OK);
    ASSERT_EQ(length, 3);
    for (LONG index : {LONG(-1), LONG(3), LONG(INT_MAX), LONG(INT_MIN)})
    {
        IXMLDOMNode* item = reinterpret_cast<IXMLDOMNode*>(0x1);
        EXPECT_EQ(list->get_item(index, &item), S_FALSE) << index;
        EXPECT_EQ(item, nullptr) << index;
    }
    Ref<IXMLDOMNode> item;
    EXPECT_EQ(list->get_item(2, item.Put()), S_OK);
    EXPECT_EQ(Name(item.Get()), u"c");

    // nextNode walks the list once; reset starts again.
    std::u16string walked;
    for (;;)
    {
        Ref<IXMLDOMNode> next;
        if (list->nextNode(next.Put()) != S_OK)
        {
            EXPECT_FALSE(next);
            break;
        }
        walked += Name(next.Get());
    }
    EXPECT_EQ(walked, u"abc");
    ASSERT_EQ(list->reset(), S_OK);
    Ref<IXMLDOMNode> first;
    ASSERT_EQ(list->nextNode(first.Put()), S_OK);
    EXPECT_EQ(Name(first.Get()), u"a");
}

TEST_F(DomObjectsTest, OneObjectPerNodeAndNavigationAgrees)
{
    Ref<IXMLDOMNode> viaLast, viaElement, parent, document, b, viaSibling;
    ASSERT_EQ(m_doc->get_lastChild(viaLast.Put()), S_OK);
    Ref<IXMLDOMElement> element;
    ASSERT_EQ(m_doc->get_documentElement(element.Put()), S_OK);
    EXPECT_EQ(static_cast<void*>(element.Get()), static_cast<void*>(viaLast.Get()));

    Child(viaLast.Get(), 1, b);
    ASSERT_EQ(b->get_parentNode(parent.Put()), S_OK);
    EXPECT_EQ(parent.Get(), viaLast.Get());
    ASSERT_EQ(viaLast->get_parentNode(document.Put()), S_OK);
    EXPECT_EQ(static_cast<void*>(document.Get()), static_cast<void*>(m_doc.Get())) << "the document object itself";
    Ref<IXMLDOMNode> none;
    EXPECT_EQ(document->get_parentNode(none.Put()), S_FALSE);
    EXPECT_FALSE(none);

    Ref<IXMLDOMNode> a, c;
    Child(viaLast.Get(), 0, a);
    ASSERT_EQ(a->get_nextSibling(viaSibling.Put()), S_OK);
    EXPECT_EQ(viaSibling.Get(), b.Get());
    ASSERT_EQ(b->get_nextSibling(c.Put()), S_OK);
    EXPECT_EQ(c->get_nextSibling(none.Put()), S_FALSE);
    EXPECT_EQ(a->get_previousSibling(none.Put()), S_FALSE);

    Ref<IXMLDOMNode> text;
    Child(a.Get(), 0, text);
    Ref<IXMLDOMElement> notElement;
    EXPECT_EQ(text->QueryInterface(IID_IXMLDOMElement, notElement.PutVoid()), E_NOINTERFACE);
    EXPECT_FALSE(notElement);
    VARIANT_BOOL has = VARIANT_TRUE;
    EXPECT_EQ(text->hasChildNodes(&has), S_FALSE);
    EXPECT_EQ(has, VARIANT_FALSE);
    VARIANT value;
    ASSERT_EQ(text->get_nodeValue(&value), S_OK);
    ASSERT_EQ(value.vt, VT_BSTR);
    EXPECT_EQ(std::u16string(value.bstrVal), u"1");
    VariantClear(&value);
    EXPECT_EQ(a->get_nodeValue(&value), S_FALSE);
    EXPECT_EQ(value.vt, VT_NULL);
}

TEST_F(DomObjectsTest, NodesKeepTheirDocumentAndTreeAlive)
{
    Ref<IXMLDOMNode> oldRoot;
    ASSERT_EQ(m_doc->get_lastChild(oldRoot.Put()), S_OK);
    Bstr other(u"<other/>");
    VARIANT_BOOL loaded = VARIANT_FALSE;
    ASSERT_EQ(m_doc->loadXML(other.Get(), &loaded), S_OK);
    EXPECT_EQ(Name(oldRoot.Get()), u"root") << "a node outlives the reload of its document";
    EXPECT_EQ(Text(oldRoot.Get()), u"123");
    Ref<IXMLDOMNode> detached;
    EXPECT_EQ(oldRoot->get_parentNode(detached.Put()), S_FALSE);

    m_doc.Reset();
    Ref<IXMLDOMDocument> owner;
    ASSERT_EQ(oldRoot->get_ownerDocument(owner.Put()), S_OK) << "the document lives while its nodes do";
    Ref<IXMLDOMNode> newRoot;
    ASSERT_EQ(owner->get_lastChild(newRoot.Put()), S_OK);
    EXPECT_EQ(Name(newRoot.Get()), u"other");
    owner.Reset();
    newRoot.Reset();
    EXPECT_GT(LiveObjects(), 0);
    oldRoot.Reset();
    EXPECT_EQ(LiveObjects(), 0);
}

TEST_F(DomObjectsTest, OutParametersAndUnprovidedSlots)
{
    Ref<IXMLDOMNode> root;
    ASSERT_EQ(m_doc->get_lastChild(root.Put()), S_OK);
    EXPECT_EQ(root->get_nodeName(nullptr), E_INVALIDARG);
    EXPECT_EQ(root->get_text(nullptr), E_INVALIDARG);
    EXPECT_EQ(root->get_childNodes(nullptr), E_INVALIDARG);
    EXPECT_EQ(m_doc->get_lastChild(nullptr), E_INVALIDARG);

    Bstr name;
    ASSERT_EQ(root->get_nodeName(name.Put()), S_OK);
    EXPECT_EQ(SysStringLen(name.Get()), 4u) << "a real BSTR";

    Ref<IXMLDOMNode> appended;
    EXPECT_EQ(root->appendChild(root.Get(), appended.Put()), E_NOTIMPL);
    EXPECT_FALSE(appended);
    Bstr xml;
    EXPECT_EQ(root->get_xml(xml.Put()), E_NOTIMPL);

    UINT count = 9;
    EXPECT_EQ(root->GetTypeInfoCount(&count), S_OK);
    EXPECT_EQ(count, 0u);
    Bstr method(u"text");
    LPOLESTR names[] = {method.Get()};
    DISPID id = 0;
    EXPECT_EQ(root->GetIDsOfNames(GUID_NULL, names, 1, 0, &id), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(id, DISPID_UNKNOWN);

    Ref<IXMLDOMNodeList> byName;
    Bstr tag(u"b");
    ASSERT_EQ(m_doc->getElementsByTagName(tag.Get(), byName.Put()), S_OK);
    LONG length = 0;
    EXPECT_EQ(byName->get_length(&length), S_OK);
    EXPECT_EQ(length, 1);
}

TEST_F(DomObjectsTest, SharedDocumentReadFromSeveralThreads)
{
    std::vector<std::thread> threads;
    IXMLDOMDocument* document = m_doc.Get();
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([document] {
            for (int i = 0; i < 200; ++i)
            {
                Ref<IXMLDOMNode> root, child;
                ASSERT_EQ(document->get_lastChild(root.Put()), S_OK);
                Ref<IXMLDOMNodeList> list;
                ASSERT_EQ(root->get_childNodes(list.Put()), S_OK);
                ASSERT_EQ(list->get_item(i % 3, child.Put()), S_OK);
                Bstr text;
                ASSERT_EQ(child->get_text(text.Put()), S_OK);
                EXPECT_EQ(text.Str(), std::u16string(1, char16_t(u'1' + i % 3)));
            }
        });
    for (auto& thread : threads)
        thread.join();
}
