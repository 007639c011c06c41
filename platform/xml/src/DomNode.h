// The node class behind every DOM interface, and the helpers the DOM's parts share.
#pragma once

#include "MsXml.h"

#include <pugixml.hpp>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace xmldom {

// Asked of a node through QueryInterface, gives the DomNode behind it (with a reference).
inline constexpr IID IID_DomNodeImpl = com::guid("020DAA4D-C2E9-4CD3-A746-1913D0509D9B");

// Deepest element nesting a load accepts.
constexpr int kMaxDepth = 1000;

// Counts changes to any tree; selections rebuild their mirror of a tree after a change.
uint64_t treeGeneration();
void treeChanged();

// The pugixml copy of a tree that XPath selections run on, with the nodes matched both ways.
struct Mirror {
  uint64_t generation = 0;
  pugi::xml_document doc;
  std::unordered_map<const void*, class DomNode*> toDom;
  std::unordered_map<const DomNode*, pugi::xml_node> toPugi;
};

struct ParseErrorState {
  HRESULT code = S_OK;
  std::string url;
  std::string reason;
  LONG line = 0;
  LONG linepos = 0;
  LONG filepos = 0;
};

// Reports a failure with an error object (source "DOMDocument") and returns `hr`.
HRESULT fail(HRESULT hr, const std::string& description);

class DomNode final : public IXMLDOMDocument, public IXMLDOMElement, public IXMLDOMCDATASection {
 public:
  // A new node without references.
  DomNode(DOMNodeType type, std::string nameOrValue);
  ~DomNode();

  // IUnknown
  HRESULT QueryInterface(REFIID riid, void** object) override;
  ULONG AddRef() override { return ++refs_; }
  ULONG Release() override;

  // IXMLDOMNode
  HRESULT get_nodeName(BSTR* name) override;
  HRESULT get_nodeType(DOMNodeType* type) override;
  HRESULT get_childNodes(IXMLDOMNodeList** children) override;
  HRESULT hasChildNodes(VARIANT_BOOL* has) override;
  HRESULT appendChild(IXMLDOMNode* newChild, IXMLDOMNode** outNewChild) override;
  HRESULT get_text(BSTR* text) override;
  HRESULT put_text(BSTR text) override;
  HRESULT selectNodes(BSTR query, IXMLDOMNodeList** nodes) override;
  HRESULT selectSingleNode(BSTR query, IXMLDOMNode** node) override;

  // IXMLDOMElement
  HRESULT getAttribute(BSTR name, VARIANT* value) override;
  HRESULT setAttribute(BSTR name, VARIANT value) override;
  HRESULT getElementsByTagName(BSTR tagName, IXMLDOMNodeList** elements) override;

  // IXMLDOMDocument
  HRESULT get_documentElement(IXMLDOMElement** root) override;
  HRESULT putref_documentElement(IXMLDOMElement* root) override;
  HRESULT createElement(BSTR tagName, IXMLDOMElement** element) override;
  HRESULT createTextNode(BSTR text, IXMLDOMText** node) override;
  HRESULT createCDATASection(BSTR text, IXMLDOMCDATASection** node) override;
  HRESULT get_parseError(IXMLDOMParseError** error) override;
  HRESULT get_readyState(LONG* state) override;
  HRESULT get_async(VARIANT_BOOL* async) override;
  HRESULT put_async(VARIANT_BOOL async) override;
  HRESULT load(VARIANT source, VARIANT_BOOL* isSuccessful) override;
  HRESULT loadXML(BSTR xml, VARIANT_BOOL* isSuccessful) override;
  HRESULT save(VARIANT destination) override;

  // The node's own interface pointer (no reference taken).
  IXMLDOMNode* asNode();
  DOMNodeType type() const { return type_; }
  const std::string& name() const { return name_; }
  const std::string& value() const { return value_; }
  const std::vector<std::pair<std::string, std::string>>& attributes() const { return attributes_; }
  const std::vector<DomNode*>& children() const { return children_; }
  DomNode* parent() const { return parent_; }

  // Tree changes. appendOwned takes over the caller's reference on `child`, which has no parent.
  void appendOwned(DomNode* child);
  void setAttributeValue(const std::string& name, const std::string& value);
  // Adds an attribute known not to be there yet.
  void addAttribute(const std::string& name, const std::string& value);
  void removeAllChildren();
  // Moves every child of `other`, with its reference, to the end of this node's children.
  void adoptChildrenOf(DomNode* other);

 private:
  // Takes this node out of its parent; the parent's reference passes to the caller.
  void detach();
  bool isAncestorOf(const DomNode* node) const;
  HRESULT select(BSTR query, std::vector<DomNode*>& found);
  HRESULT finishLoad(const std::string& text, bool autoEncoding, const std::string& url, VARIANT_BOOL* isSuccessful);

  std::atomic<ULONG> refs_{0};
  DOMNodeType type_;
  std::string name_;   // an element's tag name
  std::string value_;  // a text or CDATA node's text
  std::vector<std::pair<std::string, std::string>> attributes_;
  std::vector<DomNode*> children_;
  DomNode* parent_ = nullptr;
  // A document's own state.
  ParseErrorState parseError_;
  bool async_ = true;
  // The XPath mirror of the tree this node is the root of.
  std::unique_ptr<Mirror> mirror_;
};

// The DomNode behind an interface pointer of this DOM (no reference taken), or null.
DomNode* implOf(IUnknown* node);

// Elements, text and CDATA nodes of `root`'s subtree in document order (`root` first).
std::vector<DomNode*> preorder(DomNode* root);

// A new node list over `nodes` (which it references).
HRESULT makeNodeList(const std::vector<DomNode*>& nodes, IXMLDOMNodeList** list);

// Parses `text`; on success `document` gets the parsed nodes, otherwise `error` says why.
bool parseInto(DomNode* document, const std::string& text, bool autoEncoding, ParseErrorState& error);
// The document as indented XML text (UTF-8, with the declaration).
std::string serialize(DomNode* document);
// Writes `text` to `path` through a temporary file and a rename.
HRESULT writeFileAtomically(const std::string& path, const std::string& text);

// True when `name` is an XML name.
bool isXmlName(const std::string& name);

}  // namespace xmldom
