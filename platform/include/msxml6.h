// The MSXML DOM: the document class and the node, node-list, element and document
// interfaces, with the vtable order of their Windows declarations. Methods this DOM does not
// provide keep their slot and return E_NOTIMPL. Integers are 32-bit (the IDL's long).
#pragma once

#include "windef.h"
#include "winerror.h"
#include "unknwn.h"
#include "oaidl.h"

QMAPI const CLSID CLSID_DOMDocument;  // {F6D90F11-9C73-11D3-B32E-00C04F990BB4}, "Msxml2.DOMDocument"
QMAPI const IID IID_IXMLDOMNode;      // {2933BF80-7B36-11D2-B20E-00C04F983E60}
QMAPI const IID IID_IXMLDOMDocument;  // {2933BF81-7B36-11D2-B20E-00C04F983E60}
QMAPI const IID IID_IXMLDOMNodeList;  // {2933BF82-7B36-11D2-B20E-00C04F983E60}
QMAPI const IID IID_IXMLDOMElement;   // {2933BF86-7B36-11D2-B20E-00C04F983E60}

typedef enum tagDOMNodeType
{
    NODE_INVALID = 0,
    NODE_ELEMENT = 1,
    NODE_ATTRIBUTE = 2,
    NODE_TEXT = 3,
    NODE_CDATA_SECTION = 4,
    NODE_ENTITY_REFERENCE = 5,
    NODE_ENTITY = 6,
    NODE_PROCESSING_INSTRUCTION = 7,
    NODE_COMMENT = 8,
    NODE_DOCUMENT = 9,
    NODE_DOCUMENT_TYPE = 10,
    NODE_DOCUMENT_FRAGMENT = 11,
    NODE_NOTATION = 12,
} DOMNodeType;

struct IXMLDOMNode;
struct IXMLDOMNodeList;
struct IXMLDOMNamedNodeMap;
struct IXMLDOMDocument;
struct IXMLDOMDocumentType;
struct IXMLDOMImplementation;
struct IXMLDOMElement;
struct IXMLDOMDocumentFragment;
struct IXMLDOMText;
struct IXMLDOMComment;
struct IXMLDOMCDATASection;
struct IXMLDOMProcessingInstruction;
struct IXMLDOMAttribute;
struct IXMLDOMEntityReference;
struct IXMLDOMParseError;

struct IXMLDOMNode : public IDispatch
{
    STDMETHOD(get_nodeName)(BSTR* name) PURE;
    STDMETHOD(get_nodeValue)(VARIANT* value) PURE;
    STDMETHOD(put_nodeValue)(VARIANT value) PURE;
    STDMETHOD(get_nodeType)(DOMNodeType* type) PURE;
    STDMETHOD(get_parentNode)(IXMLDOMNode** parent) PURE;
    STDMETHOD(get_childNodes)(IXMLDOMNodeList** childList) PURE;
    STDMETHOD(get_firstChild)(IXMLDOMNode** firstChild) PURE;
    STDMETHOD(get_lastChild)(IXMLDOMNode** lastChild) PURE;
    STDMETHOD(get_previousSibling)(IXMLDOMNode** previousSibling) PURE;
    STDMETHOD(get_nextSibling)(IXMLDOMNode** nextSibling) PURE;
    STDMETHOD(get_attributes)(IXMLDOMNamedNodeMap** attributeMap) PURE;
    STDMETHOD(insertBefore)(IXMLDOMNode* newChild, VARIANT refChild, IXMLDOMNode** outNewChild) PURE;
    STDMETHOD(replaceChild)(IXMLDOMNode* newChild, IXMLDOMNode* oldChild, IXMLDOMNode** outOldChild) PURE;
    STDMETHOD(removeChild)(IXMLDOMNode* childNode, IXMLDOMNode** oldChild) PURE;
    STDMETHOD(appendChild)(IXMLDOMNode* newChild, IXMLDOMNode** outNewChild) PURE;
    STDMETHOD(hasChildNodes)(VARIANT_BOOL* hasChild) PURE;
    STDMETHOD(get_ownerDocument)(IXMLDOMDocument** XMLDOMDocument) PURE;
    STDMETHOD(cloneNode)(VARIANT_BOOL deep, IXMLDOMNode** cloneRoot) PURE;
    STDMETHOD(get_nodeTypeString)(BSTR* nodeType) PURE;
    STDMETHOD(get_text)(BSTR* text) PURE;
    STDMETHOD(put_text)(BSTR text) PURE;
    STDMETHOD(get_specified)(VARIANT_BOOL* isSpecified) PURE;
    STDMETHOD(get_definition)(IXMLDOMNode** definitionNode) PURE;
    STDMETHOD(get_nodeTypedValue)(VARIANT* typedValue) PURE;
    STDMETHOD(put_nodeTypedValue)(VARIANT typedValue) PURE;
    STDMETHOD(get_dataType)(VARIANT* dataTypeName) PURE;
    STDMETHOD(put_dataType)(BSTR dataTypeName) PURE;
    STDMETHOD(get_xml)(BSTR* xmlString) PURE;
    STDMETHOD(transformNode)(IXMLDOMNode* stylesheet, BSTR* xmlString) PURE;
    STDMETHOD(selectNodes)(BSTR queryString, IXMLDOMNodeList** resultList) PURE;
    STDMETHOD(selectSingleNode)(BSTR queryString, IXMLDOMNode** resultNode) PURE;
    STDMETHOD(get_parsed)(VARIANT_BOOL* isParsed) PURE;
    STDMETHOD(get_namespaceURI)(BSTR* namespaceURI) PURE;
    STDMETHOD(get_prefix)(BSTR* prefixString) PURE;
    STDMETHOD(get_baseName)(BSTR* nameString) PURE;
    STDMETHOD(transformNodeToObject)(IXMLDOMNode* stylesheet, VARIANT outputObject) PURE;
};

struct IXMLDOMNodeList : public IDispatch
{
    // S_FALSE with NULL for an index outside 0 .. length-1.
    STDMETHOD(get_item)(LONG index, IXMLDOMNode** listItem) PURE;
    STDMETHOD(get_length)(LONG* listLength) PURE;
    STDMETHOD(nextNode)(IXMLDOMNode** nextItem) PURE;
    STDMETHOD(reset)() PURE;
    STDMETHOD(get__newEnum)(IUnknown** ppUnk) PURE;
};

struct IXMLDOMElement : public IXMLDOMNode
{
    STDMETHOD(get_tagName)(BSTR* tagName) PURE;
    STDMETHOD(getAttribute)(BSTR name, VARIANT* value) PURE;
    STDMETHOD(setAttribute)(BSTR name, VARIANT value) PURE;
    STDMETHOD(removeAttribute)(BSTR name) PURE;
    STDMETHOD(getAttributeNode)(BSTR name, IXMLDOMAttribute** attributeNode) PURE;
    STDMETHOD(setAttributeNode)(IXMLDOMAttribute* DOMAttribute, IXMLDOMAttribute** attributeNode) PURE;
    STDMETHOD(removeAttributeNode)(IXMLDOMAttribute* DOMAttribute, IXMLDOMAttribute** attributeNode) PURE;
    STDMETHOD(getElementsByTagName)(BSTR tagName, IXMLDOMNodeList** resultList) PURE;
    STDMETHOD(normalize)() PURE;
};

struct IXMLDOMDocument : public IXMLDOMNode
{
    STDMETHOD(get_doctype)(IXMLDOMDocumentType** documentType) PURE;
    STDMETHOD(get_implementation)(IXMLDOMImplementation** impl) PURE;
    STDMETHOD(get_documentElement)(IXMLDOMElement** DOMElement) PURE;
    STDMETHOD(putref_documentElement)(IXMLDOMElement* DOMElement) PURE;
    STDMETHOD(createElement)(BSTR tagName, IXMLDOMElement** element) PURE;
    STDMETHOD(createDocumentFragment)(IXMLDOMDocumentFragment** docFrag) PURE;
    STDMETHOD(createTextNode)(BSTR data, IXMLDOMText** text) PURE;
    STDMETHOD(createComment)(BSTR data, IXMLDOMComment** comment) PURE;
    STDMETHOD(createCDATASection)(BSTR data, IXMLDOMCDATASection** cdata) PURE;
    STDMETHOD(createProcessingInstruction)(BSTR target, BSTR data, IXMLDOMProcessingInstruction** pi) PURE;
    STDMETHOD(createAttribute)(BSTR name, IXMLDOMAttribute** attribute) PURE;
    STDMETHOD(createEntityReference)(BSTR name, IXMLDOMEntityReference** entityRef) PURE;
    STDMETHOD(getElementsByTagName)(BSTR tagName, IXMLDOMNodeList** resultList) PURE;
    STDMETHOD(createNode)(VARIANT Type, BSTR name, BSTR namespaceURI, IXMLDOMNode** node) PURE;
    STDMETHOD(nodeFromID)(BSTR idString, IXMLDOMNode** node) PURE;
    STDMETHOD(load)(VARIANT xmlSource, VARIANT_BOOL* isSuccessful) PURE;
    STDMETHOD(get_readyState)(LONG* value) PURE;
    STDMETHOD(get_parseError)(IXMLDOMParseError** errorObj) PURE;
    STDMETHOD(get_url)(BSTR* urlString) PURE;
    STDMETHOD(get_async)(VARIANT_BOOL* isAsync) PURE;
    STDMETHOD(put_async)(VARIANT_BOOL isAsync) PURE;
    STDMETHOD(abort)() PURE;
    // S_OK and VARIANT_TRUE when the text parses; S_FALSE and VARIANT_FALSE otherwise, the
    // document then being empty.
    STDMETHOD(loadXML)(BSTR bstrXML, VARIANT_BOOL* isSuccessful) PURE;
    STDMETHOD(save)(VARIANT destination) PURE;
    STDMETHOD(get_validateOnParse)(VARIANT_BOOL* isValidating) PURE;
    STDMETHOD(put_validateOnParse)(VARIANT_BOOL isValidating) PURE;
    STDMETHOD(get_resolveExternals)(VARIANT_BOOL* isResolving) PURE;
    STDMETHOD(put_resolveExternals)(VARIANT_BOOL isResolving) PURE;
    STDMETHOD(get_preserveWhiteSpace)(VARIANT_BOOL* isPreserving) PURE;
    STDMETHOD(put_preserveWhiteSpace)(VARIANT_BOOL isPreserving) PURE;
    STDMETHOD(put_onreadystatechange)(VARIANT readystatechangeSink) PURE;
    STDMETHOD(put_ondataavailable)(VARIANT ondataavailableSink) PURE;
    STDMETHOD(put_ontransformnode)(VARIANT ontransformnodeSink) PURE;
};
