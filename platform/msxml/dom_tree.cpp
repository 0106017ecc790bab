#include "dom_tree.h"

#include <libxml/entities.h>
#include <libxml/parser.h>

#include <climits>
#include <cstring>

#include "utf.h"

namespace qm::msxml
{
namespace
{
std::once_flag g_libxmlInit;

bool IsXmlSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool IsBlank(const xmlChar* text)
{
    for (const xmlChar* p = text; p != nullptr && *p != 0; ++p)
        if (!IsXmlSpace(static_cast<char>(*p)))
            return false;
    return true;
}

const char* Utf8(const xmlChar* text) { return text != nullptr ? reinterpret_cast<const char*>(text) : ""; }

// Pre-order successor of `node` within `root`, descending into element children only.
xmlNodePtr NextInTree(xmlNodePtr node, xmlNodePtr root, bool descend)
{
    if (descend && node->children != nullptr &&
        (node->type == XML_ELEMENT_NODE || node->type == XML_DOCUMENT_NODE))
        return node->children;
    while (node != nullptr && node != root)
    {
        if (node->next != nullptr)
            return node->next;
        node = node->parent;
    }
    return nullptr;
}

void DropBlankText(xmlDocPtr doc)
{
    const auto root = reinterpret_cast<xmlNodePtr>(doc);
    xmlNodePtr node = root->children;
    while (node != nullptr)
    {
        if (node->type == XML_TEXT_NODE && IsBlank(node->content) &&
            (node->parent == nullptr || xmlNodeGetSpacePreserve(node->parent) != 1))
        {
            xmlNodePtr next = NextInTree(node, root, false);
            xmlUnlinkNode(node);
            xmlFreeNode(node);
            node = next;
            continue;
        }
        node = NextInTree(node, root, true);
    }
}

// The declaration "<?xml ...?>" at the start of the text, as MSXML keeps it.
void KeepDeclaration(xmlDocPtr doc, const std::string& text)
{
    if (text.compare(0, 5, "<?xml") != 0 || text.size() < 6 || !IsXmlSpace(text[5]))
        return;
    const size_t end = text.find("?>", 5);
    if (end == std::string::npos)
        return;
    size_t first = 5;
    size_t last = end;
    while (first < last && IsXmlSpace(text[first]))
        ++first;
    while (last > first && IsXmlSpace(text[last - 1]))
        --last;
    const std::string data = text.substr(first, last - first);
    xmlNodePtr pi = xmlNewDocPI(doc, BAD_CAST "xml", BAD_CAST data.c_str());
    if (pi == nullptr)
        return;
    if (doc->children != nullptr)
        xmlAddPrevSibling(doc->children, pi);
    else
        xmlAddChild(reinterpret_cast<xmlNodePtr>(doc), pi);
}

void TrimUnlessPreserving(std::u16string& text, bool preserveWhiteSpace)
{
    if (preserveWhiteSpace)
        return;
    auto blank = [](char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n'; };
    size_t first = 0;
    while (first < text.size() && blank(text[first]))
        ++first;
    size_t last = text.size();
    while (last > first && blank(text[last - 1]))
        --last;
    text = text.substr(first, last - first);
}

// Text below `first` and its following siblings, entity references expanded, with an
// explicit stack (no recursion) and a bound on the result, so that nested entities cannot
// blow up. False when the bound is passed.
bool CollectText(xmlNodePtr first, std::string& out)
{
    constexpr size_t kMaxText = size_t(64) << 20;
    constexpr size_t kMaxPending = 100000;
    std::vector<xmlNodePtr> pending{first};
    while (!pending.empty())
    {
        xmlNodePtr n = pending.back();
        pending.pop_back();
        if (n == nullptr)
            continue;
        pending.push_back(n->next);
        switch (n->type)
        {
        case XML_TEXT_NODE:
        case XML_CDATA_SECTION_NODE:
            out += Utf8(n->content);
            break;
        case XML_ELEMENT_NODE:
            pending.push_back(n->children);
            break;
        case XML_ENTITY_REF_NODE:
            // The entity's parsed content; external entities are never loaded, so they add nothing.
            if (xmlEntityPtr entity = xmlGetDocEntity(n->doc, n->name))
                pending.push_back(entity->children);
            break;
        default:
            break;
        }
        if (out.size() > kMaxText || pending.size() > kMaxPending)
            return false;
    }
    return true;
}
} // namespace

TreePtr NewEmptyTree()
{
    std::call_once(g_libxmlInit, [] { xmlInitParser(); });
    xmlDocPtr doc = xmlNewDoc(BAD_CAST "1.0");
    if (doc == nullptr)
        return nullptr;
    return std::make_shared<Tree>(doc);
}

TreePtr ParseText(const char16_t* text, bool preserveWhiteSpace)
{
    std::call_once(g_libxmlInit, [] { xmlInitParser(); });
    std::u16string_view view = text != nullptr ? std::u16string_view(text) : std::u16string_view();
    if (!view.empty() && view.front() == u'\xFEFF')
        view.remove_prefix(1);
    const std::optional<std::string> utf8 = ToUtf8(view);
    if (!utf8 || utf8->empty() || utf8->size() > INT_MAX)
        return nullptr;
    // The text is already Unicode: an encoding named in the declaration does not apply. No
    // network, no external entities, no messages on stderr.
    const int options = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_IGNORE_ENC;
    xmlDocPtr doc = xmlReadMemory(utf8->data(), static_cast<int>(utf8->size()), nullptr, "UTF-8", options);
    if (doc == nullptr)
        return nullptr;
    auto tree = std::make_shared<Tree>(doc);
    if (!preserveWhiteSpace)
        DropBlankText(doc);
    KeepDeclaration(doc, *utf8);
    return tree;
}

bool IsVisible(xmlNodePtr node)
{
    switch (node->type)
    {
    case XML_ELEMENT_NODE:
    case XML_TEXT_NODE:
    case XML_CDATA_SECTION_NODE:
    case XML_ENTITY_REF_NODE:
    case XML_PI_NODE:
    case XML_COMMENT_NODE:
    case XML_DTD_NODE:
        return true;
    default:
        return false;
    }
}

std::vector<xmlNodePtr> VisibleChildren(xmlNodePtr node)
{
    std::vector<xmlNodePtr> children;
    if (node->type != XML_ELEMENT_NODE && node->type != XML_DOCUMENT_NODE)
        return children;
    for (xmlNodePtr child = node->children; child != nullptr; child = child->next)
        if (IsVisible(child))
            children.push_back(child);
    return children;
}

xmlNodePtr VisibleSibling(xmlNodePtr node, bool forward)
{
    if (node->type == XML_DOCUMENT_NODE)
        return nullptr;
    for (xmlNodePtr sibling = forward ? node->next : node->prev; sibling != nullptr;
         sibling = forward ? sibling->next : sibling->prev)
        if (IsVisible(sibling))
            return sibling;
    return nullptr;
}

DOMNodeType NodeType(xmlNodePtr node)
{
    switch (node->type)
    {
    case XML_ELEMENT_NODE: return NODE_ELEMENT;
    case XML_ATTRIBUTE_NODE: return NODE_ATTRIBUTE;
    case XML_TEXT_NODE: return NODE_TEXT;
    case XML_CDATA_SECTION_NODE: return NODE_CDATA_SECTION;
    case XML_ENTITY_REF_NODE: return NODE_ENTITY_REFERENCE;
    case XML_PI_NODE: return NODE_PROCESSING_INSTRUCTION;
    case XML_COMMENT_NODE: return NODE_COMMENT;
    case XML_DOCUMENT_NODE: return NODE_DOCUMENT;
    case XML_DTD_NODE: return NODE_DOCUMENT_TYPE;
    case XML_DOCUMENT_FRAG_NODE: return NODE_DOCUMENT_FRAGMENT;
    default: return NODE_INVALID;
    }
}

std::u16string QualifiedName(xmlNodePtr node)
{
    std::string name;
    if ((node->type == XML_ELEMENT_NODE || node->type == XML_ATTRIBUTE_NODE) && node->ns != nullptr &&
        node->ns->prefix != nullptr)
        name = std::string(Utf8(node->ns->prefix)) + ":";
    name += Utf8(node->name);
    return ToUtf16(name);
}

std::u16string NodeName(xmlNodePtr node)
{
    switch (node->type)
    {
    case XML_TEXT_NODE: return u"#text";
    case XML_CDATA_SECTION_NODE: return u"#cdata-section";
    case XML_COMMENT_NODE: return u"#comment";
    case XML_DOCUMENT_NODE: return u"#document";
    case XML_DOCUMENT_FRAG_NODE: return u"#document-fragment";
    default: return QualifiedName(node);
    }
}

std::u16string NodeTypeString(xmlNodePtr node)
{
    switch (NodeType(node))
    {
    case NODE_ELEMENT: return u"element";
    case NODE_ATTRIBUTE: return u"attribute";
    case NODE_TEXT: return u"text";
    case NODE_CDATA_SECTION: return u"cdatasection";
    case NODE_ENTITY_REFERENCE: return u"entityreference";
    case NODE_PROCESSING_INSTRUCTION: return u"processinginstruction";
    case NODE_COMMENT: return u"comment";
    case NODE_DOCUMENT: return u"document";
    case NODE_DOCUMENT_TYPE: return u"documenttype";
    case NODE_DOCUMENT_FRAGMENT: return u"documentfragment";
    default: return u"";
    }
}

bool NodeText(xmlNodePtr node, bool preserveWhiteSpace, std::u16string& text)
{
    std::string utf8;
    bool ok = true;
    switch (node->type)
    {
    case XML_TEXT_NODE:
    case XML_CDATA_SECTION_NODE:
    case XML_COMMENT_NODE:
    case XML_PI_NODE:
        utf8 = Utf8(node->content);
        break;
    case XML_ENTITY_REF_NODE:
        if (xmlEntityPtr entity = xmlGetDocEntity(node->doc, node->name))
            ok = CollectText(entity->children, utf8);
        break;
    case XML_ELEMENT_NODE:
    case XML_DOCUMENT_NODE:
    case XML_ATTRIBUTE_NODE:
        ok = CollectText(node->children, utf8);
        break;
    default:
        break;
    }
    if (!ok)
        return false;
    text = ToUtf16(utf8);
    TrimUnlessPreserving(text, preserveWhiteSpace);
    return true;
}

std::vector<xmlNodePtr> ElementsByName(xmlNodePtr root, const std::u16string& name)
{
    std::vector<xmlNodePtr> found;
    const bool all = name == u"*";
    for (xmlNodePtr n = root->children; n != nullptr; n = NextInTree(n, root, true))
        if (n->type == XML_ELEMENT_NODE && (all || QualifiedName(n) == name))
            found.push_back(n);
    return found;
}
} // namespace qm::msxml
