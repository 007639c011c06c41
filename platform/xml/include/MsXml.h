// The MSXML document object model, stood in for over pugixml.
//
// A DOMDocument is created with CoCreateInstance(CLSID_DOMDocument, ...) once COM is initialised
// on the thread, and holds a tree of element, text and CDATA-section nodes. Nodes are COM
// objects: each keeps its children alive; a node taken out of the tree lives on while referenced.
//
// Loading (load, loadXML) is synchronous: readyState is 4 when it returns. It succeeds with
// VARIANT_TRUE or fails with S_FALSE and VARIANT_FALSE, leaving the document empty and
// parseError describing the failure: errorCode, reason, the byte offset (filepos) and its line
// and column. Comments, processing instructions and the XML declaration are not kept.
// Whitespace-only text is kept where it is an element's only content (<a> </a>) and dropped
// between elements, where it is layout.
//
// Saving writes the whole document, indented, as UTF-8 into a temporary file beside the target
// and renames it over the target: a failed save leaves the old file as it was. A CDATA section
// whose text holds "]]>" (which no CDATA section can carry) is written as escaped text;
// neighbouring text nodes are written apart, so that each loads back as a node of its own.
//
// Attribute values are text. setAttribute writes a boolean variant as "true" or "false", a
// number in decimal; getAttribute gives VT_BSTR, or VT_NULL with S_FALSE for a missing
// attribute. Names must be XML names and text must not hold zero characters (E_INVALIDARG).
// Failing methods leave an error object that says why.
//
// selectNodes and selectSingleNode take XPath 1.0 expressions (pugixml's evaluator) relative to
// the node; only element, text and CDATA nodes are returned.
#pragma once

#include "ComSupport.h"

enum DOMNodeType {
  NODE_INVALID = 0,
  NODE_ELEMENT = 1,
  NODE_TEXT = 3,
  NODE_CDATA_SECTION = 4,
  NODE_DOCUMENT = 9,
};

struct IXMLDOMNodeList;
struct IXMLDOMElement;
struct IXMLDOMText;
struct IXMLDOMCDATASection;
struct IXMLDOMParseError;

struct IXMLDOMNode : IUnknown {
  // "#document", "#text", "#cdata-section" or the element's tag name.
  virtual HRESULT get_nodeName(BSTR* name) = 0;
  virtual HRESULT get_nodeType(DOMNodeType* type) = 0;
  virtual HRESULT get_childNodes(IXMLDOMNodeList** children) = 0;
  virtual HRESULT hasChildNodes(VARIANT_BOOL* has) = 0;
  // Moves `newChild` to the end of this node's children.
  virtual HRESULT appendChild(IXMLDOMNode* newChild, IXMLDOMNode** outNewChild) = 0;
  // The text of a text node, or of every text below an element or document, in order.
  virtual HRESULT get_text(BSTR* text) = 0;
  // An element's children become one text node; a text node's text is replaced.
  virtual HRESULT put_text(BSTR text) = 0;
  virtual HRESULT selectNodes(BSTR query, IXMLDOMNodeList** nodes) = 0;
  // The first node in document order, or null with S_FALSE.
  virtual HRESULT selectSingleNode(BSTR query, IXMLDOMNode** node) = 0;

 protected:
  ~IXMLDOMNode() = default;
};

// A list of nodes taken when it was made.
struct IXMLDOMNodeList : IUnknown {
  // Null with S_FALSE past the end.
  virtual HRESULT get_item(LONG index, IXMLDOMNode** node) = 0;
  virtual HRESULT get_length(LONG* length) = 0;
  // The next node of an iteration, null with S_FALSE at the end.
  virtual HRESULT nextNode(IXMLDOMNode** node) = 0;
  virtual HRESULT reset() = 0;

 protected:
  ~IXMLDOMNodeList() = default;
};

struct IXMLDOMElement : IXMLDOMNode {
  virtual HRESULT getAttribute(BSTR name, VARIANT* value) = 0;
  virtual HRESULT setAttribute(BSTR name, VARIANT value) = 0;
  // The elements of that tag name ("*" for all) below this one, in document order.
  virtual HRESULT getElementsByTagName(BSTR tagName, IXMLDOMNodeList** elements) = 0;

 protected:
  ~IXMLDOMElement() = default;
};

struct IXMLDOMText : IXMLDOMNode {
 protected:
  ~IXMLDOMText() = default;
};

struct IXMLDOMCDATASection : IXMLDOMText {
 protected:
  ~IXMLDOMCDATASection() = default;
};

struct IXMLDOMParseError : IUnknown {
  // 0 after a successful load.
  virtual HRESULT get_errorCode(LONG* code) = 0;
  virtual HRESULT get_url(BSTR* url) = 0;
  virtual HRESULT get_reason(BSTR* reason) = 0;
  // 1-based line and column of the failure, 0 when it is not in the text.
  virtual HRESULT get_line(LONG* line) = 0;
  virtual HRESULT get_linepos(LONG* column) = 0;
  // Byte offset of the failure in the text.
  virtual HRESULT get_filepos(LONG* offset) = 0;

 protected:
  ~IXMLDOMParseError() = default;
};

struct IXMLDOMDocument : IXMLDOMNode {
  // The root element, or null with S_FALSE.
  virtual HRESULT get_documentElement(IXMLDOMElement** root) = 0;
  // Makes `root` the root element, in place of the one there was.
  virtual HRESULT putref_documentElement(IXMLDOMElement* root) = 0;
  virtual HRESULT createElement(BSTR tagName, IXMLDOMElement** element) = 0;
  virtual HRESULT createTextNode(BSTR text, IXMLDOMText** node) = 0;
  virtual HRESULT createCDATASection(BSTR text, IXMLDOMCDATASection** node) = 0;
  // The elements of that tag name ("*" for all) anywhere in the document, in document order.
  virtual HRESULT getElementsByTagName(BSTR tagName, IXMLDOMNodeList** elements) = 0;
  virtual HRESULT get_parseError(IXMLDOMParseError** error) = 0;
  virtual HRESULT get_readyState(LONG* state) = 0;
  virtual HRESULT get_async(VARIANT_BOOL* async) = 0;
  virtual HRESULT put_async(VARIANT_BOOL async) = 0;
  // `source` is a file path (VT_BSTR).
  virtual HRESULT load(VARIANT source, VARIANT_BOOL* isSuccessful) = 0;
  virtual HRESULT loadXML(BSTR xml, VARIANT_BOOL* isSuccessful) = 0;
  // `destination` is a file path (VT_BSTR).
  virtual HRESULT save(VARIANT destination) = 0;

 protected:
  ~IXMLDOMDocument() = default;
};

inline constexpr IID IID_IXMLDOMNode = com::guid("2933BF80-7B36-11D2-B20E-00C04F983E60");
inline constexpr IID IID_IXMLDOMDocument = com::guid("2933BF81-7B36-11D2-B20E-00C04F983E60");
inline constexpr IID IID_IXMLDOMNodeList = com::guid("2933BF82-7B36-11D2-B20E-00C04F983E60");
inline constexpr IID IID_IXMLDOMElement = com::guid("2933BF86-7B36-11D2-B20E-00C04F983E60");
inline constexpr IID IID_IXMLDOMText = com::guid("2933BF87-7B36-11D2-B20E-00C04F983E60");
inline constexpr IID IID_IXMLDOMCDATASection = com::guid("2933BF8A-7B36-11D2-B20E-00C04F983E60");
inline constexpr IID IID_IXMLDOMParseError = com::guid("3EFAA426-272F-11D2-836F-0000F87A7782");

COM_INTERFACE_TRAITS(IXMLDOMNode, IUnknown, IID_IXMLDOMNode)
COM_INTERFACE_TRAITS(IXMLDOMDocument, IXMLDOMNode, IID_IXMLDOMDocument)
COM_INTERFACE_TRAITS(IXMLDOMNodeList, IUnknown, IID_IXMLDOMNodeList)
COM_INTERFACE_TRAITS(IXMLDOMElement, IXMLDOMNode, IID_IXMLDOMElement)
COM_INTERFACE_TRAITS(IXMLDOMText, IXMLDOMNode, IID_IXMLDOMText)
COM_INTERFACE_TRAITS(IXMLDOMCDATASection, IXMLDOMText, IID_IXMLDOMCDATASection)
COM_INTERFACE_TRAITS(IXMLDOMParseError, IUnknown, IID_IXMLDOMParseError)

typedef _com_ptr_t<IXMLDOMNode> IXMLDOMNodePtr;
typedef _com_ptr_t<IXMLDOMDocument> IXMLDOMDocumentPtr;
typedef _com_ptr_t<IXMLDOMNodeList> IXMLDOMNodeListPtr;
typedef _com_ptr_t<IXMLDOMElement> IXMLDOMElementPtr;
typedef _com_ptr_t<IXMLDOMText> IXMLDOMTextPtr;
typedef _com_ptr_t<IXMLDOMCDATASection> IXMLDOMCDATASectionPtr;
typedef _com_ptr_t<IXMLDOMParseError> IXMLDOMParseErrorPtr;

// The DOMDocument class, registered in the process when this library is linked in.
extern const CLSID CLSID_DOMDocument;
