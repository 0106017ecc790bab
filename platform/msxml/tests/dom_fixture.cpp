#include "dom_fixture.h"

#include <cstdlib>

#include "libloaderapi.h"
#include "qm/com_registration.h"
#include "qm/machine.h"

void DomTest::SetUp()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "qm-dom-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    m_machine = pattern;
    qm::SetMachineDirectory(m_machine);
    qm::SetProcessElevated(true);
    ASSERT_EQ(qm::RegisterPlatformServers(), S_OK);
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
}

void DomTest::TearDown()
{
    m_doc.Reset();
    EXPECT_EQ(LiveObjects(), 0) << "every DOM object released";
    CoUninitialize();
    qm::SetProcessElevated(false);
    std::error_code ec;
    std::filesystem::remove_all(m_machine, ec);
}

void DomTest::Load(const std::u16string& text)
{
    ASSERT_EQ(CoCreateInstance(CLSID_DOMDocument, nullptr, CLSCTX_INPROC_SERVER, IID_IXMLDOMDocument,
                               m_doc.PutVoid()),
              S_OK);
    Bstr xml(text);
    m_loaded = VARIANT_FALSE;
    m_loadResult = m_doc->loadXML(xml.Get(), &m_loaded);
}

LONG DomTest::LiveObjects()
{
    HMODULE module = LoadLibraryW((qm::PlatformServerDirectory() / "msxml3.so").u16string().c_str());
    auto count = reinterpret_cast<LONG (*)()>(reinterpret_cast<void*>(GetProcAddress(module, "QmMsxmlLiveObjectCount")));
    const LONG live = count != nullptr ? count() : -1;
    FreeLibrary(module);
    return live;
}

std::u16string DomTest::Name(IXMLDOMNode* node)
{
    Bstr name;
    EXPECT_EQ(node->get_nodeName(name.Put()), S_OK);
    return name.Str();
}

std::u16string DomTest::Text(IXMLDOMNode* node)
{
    Bstr text;
    EXPECT_EQ(node->get_text(text.Put()), S_OK);
    return text.Str();
}

std::vector<std::u16string> DomTest::ChildNames(IXMLDOMNode* node)
{
    std::vector<std::u16string> names;
    Ref<IXMLDOMNodeList> children;
    EXPECT_EQ(node->get_childNodes(children.Put()), S_OK);
    LONG length = -1;
    EXPECT_EQ(children->get_length(&length), S_OK);
    for (LONG i = 0; i < length; ++i)
    {
        Ref<IXMLDOMNode> child;
        EXPECT_EQ(children->get_item(i, child.Put()), S_OK);
        names.push_back(Name(child.Get()));
    }
    return names;
}

void DomTest::Child(IXMLDOMNode* node, LONG index, Ref<IXMLDOMNode>& child)
{
    Ref<IXMLDOMNodeList> children;
    ASSERT_EQ(node->get_childNodes(children.Put()), S_OK);
    ASSERT_EQ(children->get_item(index, child.Put()), S_OK) << "child " << index;
    ASSERT_TRUE(child);
}

void DomTest::At(const std::vector<LONG>& path, Ref<IXMLDOMNode>& node)
{
    ASSERT_EQ(m_doc->QueryInterface(IID_IXMLDOMNode, node.PutVoid()), S_OK);
    for (LONG index : path)
    {
        Ref<IXMLDOMNode> child;
        Child(node.Get(), index, child);
        if (!child)
            return;
        node.Reset();
        ASSERT_EQ(child->QueryInterface(IID_IXMLDOMNode, node.PutVoid()), S_OK);
    }
}
