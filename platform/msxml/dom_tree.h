// A parsed document held by libxml2, shared by the document object and every node object
// taken from it (a node keeps its tree alive after the document has loaded another text).
#pragma once

#include <libxml/tree.h>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "msxml6.h"

namespace qm::msxml
{
struct Tree
{
    explicit Tree(xmlDocPtr parsed) : doc(parsed) {}
    ~Tree() { xmlFreeDoc(doc); }
    Tree(const Tree&) = delete;
    Tree& operator=(const Tree&) = delete;

    xmlDocPtr doc;
    // Guards the node objects' back pointers (xmlNode::_private).
    std::mutex wrappers;
};
using TreePtr = std::shared_ptr<Tree>;

// A document with no children, as a new DOM document is.
TreePtr NewEmptyTree();

// Parses a whole text (up to its first zero character). Whitespace-only text nodes are
// dropped unless preserveWhiteSpace or xml:space="preserve" keeps them; the XML
// declaration becomes a processing instruction named "xml", as MSXML shows it.
// nullptr when the text is not well-formed XML.
TreePtr ParseText(const char16_t* text, bool preserveWhiteSpace);

// Node kinds that the DOM shows (attributes, declarations inside a DTD etc. are not children).
bool IsVisible(xmlNodePtr node);
std::vector<xmlNodePtr> VisibleChildren(xmlNodePtr node);
xmlNodePtr VisibleSibling(xmlNodePtr node, bool forward);

DOMNodeType NodeType(xmlNodePtr node);
std::u16string NodeName(xmlNodePtr node);
std::u16string NodeTypeString(xmlNodePtr node);
// Text of the node and its descendants (comments and processing instructions inside an
// element excluded, entity references expanded); without preserveWhiteSpace, leading and
// trailing white space is trimmed. False when the text would be unreasonably large.
bool NodeText(xmlNodePtr node, bool preserveWhiteSpace, std::u16string& text);
std::u16string QualifiedName(xmlNodePtr node);

// Elements below `root` in document order whose name is `name` ("*": every element).
std::vector<xmlNodePtr> ElementsByName(xmlNodePtr root, const std::u16string& name);
} // namespace qm::msxml
