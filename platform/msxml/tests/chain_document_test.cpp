// A certificate-chain document walked the way the trust-chain installer walks it: the root
// is the document's last child, its children are found by name, the values are .text.
#include "dom_fixture.h"

namespace
{
const std::u16string kContentLine1(76, u'Q');
const std::u16string kContentLine2 = u"QUJDRA==";

std::u16string ChainDocument()
{
    const std::u16string crlf = u"\r\n";
    std::u16string certificate =
        u"\t\t<Certificate SerialNum=\"\u200E0a1b2c3d\" SubjectDN=\"CN = 测试根, O = Brevan, C = CN\">" + crlf +
        u"\t\t\t<ImportPath>SOFTWARE\\Microsoft\\SystemCertificates\\ROOT\\Certificates</ImportPath>" + crlf +
        u"\t\t\t<EntryPoint>0123456789ABCDEF0123456789ABCDEF01234567</EntryPoint>" + crlf +
        u"\t\t\t<Content>" + crlf + kContentLine1 + crlf + kContentLine2 + crlf + u"\t\t\t</Content>" + crlf +
        u"\t\t</Certificate>" + crlf;
    return u"<?xml version=\"1.0\" encoding=\"UTF-8\"?>" + crlf + u"<!-- Brevan trust chain -->" + crlf +
           u"<!-- 证书链 -->" + crlf + u"<root>" + crlf + u"\t<RootCACertificate>" + crlf + certificate +
           certificate + certificate + u"\t</RootCACertificate>" + crlf + u"\t<P7bContent>" + crlf +
           kContentLine1 + crlf + kContentLine2 + crlf + u"\t</P7bContent>" + crlf + u"</root>" + crlf;
}

class ChainDocumentTest : public DomTest
{
};
} // namespace

TEST_F(ChainDocumentTest, WalksLikeTheInstaller)
{
    Load(ChainDocument());
    ASSERT_EQ(m_loadResult, S_OK);
    EXPECT_EQ(m_loaded, VARIANT_TRUE);

    Ref<IXMLDOMNode> root;
    ASSERT_EQ(m_doc->get_lastChild(root.Put()), S_OK);
    EXPECT_EQ(Name(root.Get()), u"root");
    EXPECT_EQ(ChildNames(root.Get()), (std::vector<std::u16string>{u"RootCACertificate", u"P7bContent"}));

    Ref<IXMLDOMNode> roots;
    Child(root.Get(), 0, roots);
    ASSERT_EQ(ChildNames(roots.Get()),
              (std::vector<std::u16string>{u"Certificate", u"Certificate", u"Certificate"}));
    for (LONG i = 0; i < 3; ++i)
    {
        Ref<IXMLDOMNode> certificate;
        Child(roots.Get(), i, certificate);
        ASSERT_EQ(ChildNames(certificate.Get()),
                  (std::vector<std::u16string>{u"ImportPath", u"EntryPoint", u"Content"}));
        Ref<IXMLDOMNode> path, entry, content;
        Child(certificate.Get(), 0, path);
        Child(certificate.Get(), 1, entry);
        Child(certificate.Get(), 2, content);
        EXPECT_EQ(Text(path.Get()), u"SOFTWARE\\Microsoft\\SystemCertificates\\ROOT\\Certificates");
        EXPECT_EQ(Text(entry.Get()), u"0123456789ABCDEF0123456789ABCDEF01234567");
        // Line ends come out as LF (XML end-of-line handling); the ends are trimmed.
        EXPECT_EQ(Text(content.Get()), kContentLine1 + u"\n" + kContentLine2);
    }

    Ref<IXMLDOMNode> bundle;
    Child(root.Get(), 1, bundle);
    EXPECT_EQ(Text(bundle.Get()), kContentLine1 + u"\n" + kContentLine2);
}

TEST_F(ChainDocumentTest, PrologAndAttributesAsMsxmlShowsThem)
{
    Load(ChainDocument());
    ASSERT_EQ(m_loadResult, S_OK);
    Ref<IXMLDOMNode> document;
    ASSERT_EQ(m_doc->QueryInterface(IID_IXMLDOMNode, document.PutVoid()), S_OK);
    EXPECT_EQ(ChildNames(document.Get()), (std::vector<std::u16string>{u"xml", u"#comment", u"#comment", u"root"}));

    Ref<IXMLDOMNode> declaration, comment;
    Child(document.Get(), 0, declaration);
    Child(document.Get(), 2, comment);
    EXPECT_EQ(Text(declaration.Get()), u"version=\"1.0\" encoding=\"UTF-8\"");
    EXPECT_EQ(Text(comment.Get()), u"证书链");

    Ref<IXMLDOMNode> certificate;
    At({3, 0, 0}, certificate);
    Ref<IXMLDOMElement> element;
    ASSERT_EQ(certificate->QueryInterface(IID_IXMLDOMElement, element.PutVoid()), S_OK);
    VARIANT value;
    VariantInit(&value);
    Bstr serial(u"SerialNum"), subject(u"SubjectDN"), missing(u"NotThere");
    ASSERT_EQ(element->getAttribute(serial.Get(), &value), S_OK);
    ASSERT_EQ(value.vt, VT_BSTR);
    EXPECT_EQ(std::u16string(value.bstrVal), u"\u200E0a1b2c3d") << "the invisible mark is kept";
    VariantClear(&value);
    ASSERT_EQ(element->getAttribute(subject.Get(), &value), S_OK);
    EXPECT_EQ(std::u16string(value.bstrVal), u"CN = 测试根, O = Brevan, C = CN");
    VariantClear(&value);
    EXPECT_EQ(element->getAttribute(missing.Get(), &value), S_FALSE);
    EXPECT_EQ(value.vt, VT_NULL);
}

TEST_F(ChainDocumentTest, DeclaredEncodingDoesNotApplyToUnicodeText)
{
    // The text reaches loadXML as UTF-16 whatever the declaration says, as with MSXML.
    for (const char16_t* declaration : {u"UTF-16", u"GBK", u"ISO-8859-1"})
    {
        Load(u"<?xml version=\"1.0\" encoding=\"" + std::u16string(declaration) + u"\"?><root>证书</root>");
        ASSERT_EQ(m_loadResult, S_OK) << std::string(declaration, declaration + 3);
        Ref<IXMLDOMNode> root;
        ASSERT_EQ(m_doc->get_lastChild(root.Put()), S_OK);
        EXPECT_EQ(Text(root.Get()), u"证书");
    }
}
