// Nodes of the DOM: identity, tree changes, text, attributes and node lists.
#include "ComServer.h"
#include "DomNode.h"

#include <algorithm>
#include <cctype>

namespace xmldom {

namespace {

std::atomic<uint64_t> gGeneration{1};

class NodeList : public com::ComObject<IXMLDOMNodeList> {
 public:
  explicit NodeList(const std::vector<DomNode*>& nodes) : nodes_(nodes) {
    for (DomNode* n : nodes_) n->AddRef();
  }
  ~NodeList() override {
    for (DomNode* n : nodes_) n->Release();
  }
  HRESULT get_item(LONG index, IXMLDOMNode** node) override {
    if (node == nullptr) return E_POINTER;
    *node = nullptr;
    if (index < 0 || static_cast<size_t>(index) >= nodes_.size()) return S_FALSE;
    *node = nodes_[static_cast<size_t>(index)]->asNode();
    (*node)->AddRef();
    return S_OK;
  }
  HRESULT get_length(LONG* length) override {
    if (length == nullptr) return E_POINTER;
    *length = static_cast<LONG>(nodes_.size());
    return S_OK;
  }
  HRESULT nextNode(IXMLDOMNode** node) override {
    const HRESULT hr = get_item(static_cast<LONG>(next_), node);
    if (hr == S_OK) ++next_;
    return hr;
  }
  HRESULT reset() override {
    next_ = 0;
    return S_OK;
  }

 private:
  std::vector<DomNode*> nodes_;
  size_t next_ = 0;
};

class ParseError : public com::ComObject<IXMLDOMParseError> {
 public:
  explicit ParseError(const ParseErrorState& state) : state_(state) {}
  HRESULT get_errorCode(LONG* code) override { return give(state_.code, code); }
  HRESULT get_url(BSTR* url) override { return give(state_.url, url); }
  HRESULT get_reason(BSTR* reason) override { return give(state_.reason, reason); }
  HRESULT get_line(LONG* line) override { return give(state_.line, line); }
  HRESULT get_linepos(LONG* column) override { return give(state_.linepos, column); }
  HRESULT get_filepos(LONG* offset) override { return give(state_.filepos, offset); }

 private:
  static HRESULT give(LONG value, LONG* out) {
    if (out == nullptr) return E_POINTER;
    *out = value;
    return S_OK;
  }
  static HRESULT give(const std::string& value, BSTR* out) {
    if (out == nullptr) return E_POINTER;
    *out = com::allocBstr(value);
    return *out != nullptr ? S_OK : E_OUTOFMEMORY;
  }
  ParseErrorState state_;
};

HRESULT giveText(const std::string& text, BSTR* out) {
  if (out == nullptr) return E_POINTER;
  *out = com::allocBstr(text);
  return *out != nullptr ? S_OK : E_OUTOFMEMORY;
}

// Text handed in for a node or an attribute: no zero characters, which XML cannot carry.
HRESULT textArgument(BSTR text, std::string& utf8) {
  utf8 = com::fromBstr(text);
  if (utf8.find('\0') != std::string::npos) {
    return fail(E_INVALIDARG, "XML text cannot hold a zero character");
  }
  return S_OK;
}

HRESULT nameArgument(BSTR name, std::string& utf8) {
  utf8 = com::fromBstr(name);
  if (!isXmlName(utf8)) return fail(E_INVALIDARG, "\"" + utf8 + "\" is not a valid XML name");
  return S_OK;
}

template <class Interface>
HRESULT giveNew(DomNode* node, Interface** out) {
  node->AddRef();
  *out = static_cast<Interface*>(node);
  return S_OK;
}

// A new node of `type` named or holding `argument`, once `check` (nameArgument or textArgument)
// has taken it.
template <class Interface>
HRESULT giveNewNode(DOMNodeType type, BSTR argument, HRESULT (*check)(BSTR, std::string&), Interface** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  std::string value;
  if (HRESULT hr = check(argument, value); FAILED(hr)) return hr;
  return giveNew(new DomNode(type, value), out);
}

}  // namespace

uint64_t treeGeneration() { return gGeneration.load(); }
void treeChanged() { ++gGeneration; }

HRESULT fail(HRESULT hr, const std::string& description) { return com::reportError(hr, description, "DOMDocument"); }

bool isXmlName(const std::string& name) {
  if (name.empty()) return false;
  for (size_t i = 0; i < name.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(name[i]);
    const bool start = std::isalpha(c) || c == '_' || c == ':' || c >= 0x80;
    const bool other = std::isdigit(c) || c == '-' || c == '.';
    if (!(start || (i > 0 && other))) return false;
  }
  return true;
}

DomNode* implOf(IUnknown* node) {
  if (node == nullptr) return nullptr;
  DomNode* impl = nullptr;
  if (FAILED(node->QueryInterface(IID_DomNodeImpl, reinterpret_cast<void**>(&impl)))) {
    return nullptr;
  }
  impl->Release();  // the caller holds the node
  return impl;
}

std::vector<DomNode*> preorder(DomNode* root) {
  std::vector<DomNode*> order;
  std::vector<DomNode*> stack{root};
  while (!stack.empty()) {
    DomNode* n = stack.back();
    stack.pop_back();
    order.push_back(n);
    const auto& children = n->children();
    for (auto it = children.rbegin(); it != children.rend(); ++it) stack.push_back(*it);
  }
  return order;
}

HRESULT makeNodeList(const std::vector<DomNode*>& nodes, IXMLDOMNodeList** list) {
  if (list == nullptr) return E_POINTER;
  NodeList* made = new NodeList(nodes);
  made->AddRef();
  *list = made;
  return S_OK;
}

DomNode::DomNode(DOMNodeType type, std::string nameOrValue) : type_(type) {
  if (type == NODE_ELEMENT) {
    name_ = std::move(nameOrValue);
  } else {
    value_ = std::move(nameOrValue);
  }
}

DomNode::~DomNode() {
  if (!children_.empty()) treeChanged();  // the children become roots of their own
  for (DomNode* child : children_) {
    child->parent_ = nullptr;
    child->Release();
  }
}

IXMLDOMNode* DomNode::asNode() {
  switch (type_) {
    case NODE_DOCUMENT:
      return static_cast<IXMLDOMDocument*>(this);
    case NODE_ELEMENT:
      return static_cast<IXMLDOMElement*>(this);
    default:
      return static_cast<IXMLDOMCDATASection*>(this);
  }
}

HRESULT DomNode::QueryInterface(REFIID riid, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  if (riid == IID_IUnknown || riid == IID_IXMLDOMNode) {
    *object = asNode();
  } else if (riid == IID_DomNodeImpl) {
    *object = this;
  } else if (riid == IID_IXMLDOMDocument && type_ == NODE_DOCUMENT) {
    *object = static_cast<IXMLDOMDocument*>(this);
  } else if (riid == IID_IXMLDOMElement && type_ == NODE_ELEMENT) {
    *object = static_cast<IXMLDOMElement*>(this);
  } else if (riid == IID_IXMLDOMText && (type_ == NODE_TEXT || type_ == NODE_CDATA_SECTION)) {
    *object = static_cast<IXMLDOMText*>(this);
  } else if (riid == IID_IXMLDOMCDATASection && type_ == NODE_CDATA_SECTION) {
    *object = static_cast<IXMLDOMCDATASection*>(this);
  } else {
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

ULONG DomNode::Release() {
  const ULONG left = --refs_;
  if (left == 0) delete this;
  return left;
}

HRESULT DomNode::get_nodeName(BSTR* name) {
  switch (type_) {
    case NODE_DOCUMENT:
      return giveText("#document", name);
    case NODE_ELEMENT:
      return giveText(name_, name);
    case NODE_TEXT:
      return giveText("#text", name);
    default:
      return giveText("#cdata-section", name);
  }
}

HRESULT DomNode::get_nodeType(DOMNodeType* type) {
  if (type == nullptr) return E_POINTER;
  *type = type_;
  return S_OK;
}

HRESULT DomNode::get_childNodes(IXMLDOMNodeList** children) { return makeNodeList(children_, children); }

HRESULT DomNode::hasChildNodes(VARIANT_BOOL* has) {
  if (has == nullptr) return E_POINTER;
  *has = children_.empty() ? VARIANT_FALSE : VARIANT_TRUE;
  return S_OK;
}

bool DomNode::isAncestorOf(const DomNode* node) const {
  for (; node != nullptr; node = node->parent_) {
    if (node == this) return true;
  }
  return false;
}

void DomNode::detach() {
  if (parent_ == nullptr) return;
  auto& siblings = parent_->children_;
  siblings.erase(std::find(siblings.begin(), siblings.end(), this));
  parent_ = nullptr;
  treeChanged();
}

void DomNode::appendOwned(DomNode* child) {
  child->parent_ = this;
  children_.push_back(child);
  treeChanged();
}

void DomNode::removeAllChildren() {
  std::vector<DomNode*> old;
  old.swap(children_);
  for (DomNode* child : old) {
    child->parent_ = nullptr;
    child->Release();
  }
  treeChanged();
}

void DomNode::adoptChildrenOf(DomNode* other) {
  for (DomNode* child : other->children_) {
    child->parent_ = this;
    children_.push_back(child);
  }
  other->children_.clear();
  treeChanged();
}

void DomNode::addAttribute(const std::string& name, const std::string& value) {
  attributes_.emplace_back(name, value);
  treeChanged();
}

void DomNode::setAttributeValue(const std::string& name, const std::string& value) {
  for (auto& attribute : attributes_) {
    if (attribute.first == name) {
      attribute.second = value;
      treeChanged();
      return;
    }
  }
  attributes_.emplace_back(name, value);
  treeChanged();
}

HRESULT DomNode::appendChild(IXMLDOMNode* newChild, IXMLDOMNode** outNewChild) {
  if (outNewChild != nullptr) *outNewChild = nullptr;
  DomNode* child = implOf(newChild);
  if (child == nullptr) return fail(E_INVALIDARG, "The node to insert is not a node of this DOM");
  if (child->type_ == NODE_DOCUMENT) return fail(E_INVALIDARG, "A document cannot be inserted");
  if (type_ == NODE_TEXT || type_ == NODE_CDATA_SECTION) {
    return fail(E_FAIL, "A text node cannot have children");
  }
  if (child->isAncestorOf(this)) {
    return fail(E_INVALIDARG, "A node cannot be inserted below itself");
  }
  if (type_ == NODE_DOCUMENT) {
    if (child->type_ != NODE_ELEMENT) {
      return fail(E_FAIL, "Text cannot be inserted at the top level of a document");
    }
    for (DomNode* c : children_) {
      if (c->type_ == NODE_ELEMENT && c != child) {
        return fail(E_FAIL, "Only one top level element is allowed in an XML document");
      }
    }
  }
  if (child->parent_ != nullptr) {
    child->detach();  // the old parent's reference passes to this node
  } else {
    child->AddRef();
  }
  appendOwned(child);
  if (outNewChild != nullptr) {
    *outNewChild = child->asNode();
    child->AddRef();
  }
  return S_OK;
}

HRESULT DomNode::get_text(BSTR* text) {
  if (type_ == NODE_TEXT || type_ == NODE_CDATA_SECTION) return giveText(value_, text);
  std::string all;
  for (DomNode* n : preorder(this)) {
    if (n->type_ == NODE_TEXT || n->type_ == NODE_CDATA_SECTION) all += n->value_;
  }
  return giveText(all, text);
}

HRESULT DomNode::put_text(BSTR text) {
  std::string value;
  if (HRESULT hr = textArgument(text, value); FAILED(hr)) return hr;
  if (type_ == NODE_DOCUMENT) return fail(E_FAIL, "The text of a document cannot be set");
  if (type_ != NODE_ELEMENT) {
    value_ = value;
    treeChanged();
    return S_OK;
  }
  removeAllChildren();
  if (!value.empty()) {
    DomNode* node = new DomNode(NODE_TEXT, value);
    node->AddRef();
    appendOwned(node);
  }
  return S_OK;
}

HRESULT DomNode::getAttribute(BSTR name, VARIANT* value) {
  if (value == nullptr) return E_POINTER;
  VariantInit(value);
  const std::string key = com::fromBstr(name);
  for (const auto& attribute : attributes_) {
    if (attribute.first == key) {
      value->bstrVal = com::allocBstr(attribute.second);
      if (value->bstrVal == nullptr) return E_OUTOFMEMORY;
      value->vt = VT_BSTR;
      return S_OK;
    }
  }
  value->vt = VT_NULL;
  return S_FALSE;
}

HRESULT DomNode::setAttribute(BSTR name, VARIANT value) {
  std::string key;
  if (HRESULT hr = nameArgument(name, key); FAILED(hr)) return hr;
  std::string text;
  switch (value.vt) {
    case VT_BOOL:
      text = value.boolVal != 0 ? "true" : "false";
      break;
    case VT_BSTR:
      if (HRESULT hr = textArgument(value.bstrVal, text); FAILED(hr)) return hr;
      break;
    default: {
      VARIANT converted;
      VariantInit(&converted);
      const HRESULT hr = VariantChangeType(&converted, &value, 0, VT_BSTR);
      if (FAILED(hr)) {
        return fail(hr, "The value of attribute \"" + key + "\" cannot be written as text");
      }
      text = com::fromBstr(converted.bstrVal);
      VariantClear(&converted);
    }
  }
  setAttributeValue(key, text);
  return S_OK;
}

HRESULT DomNode::getElementsByTagName(BSTR tagName, IXMLDOMNodeList** elements) {
  const std::string name = com::fromBstr(tagName);
  std::vector<DomNode*> found;
  for (DomNode* n : preorder(this)) {
    if (n != this && n->type_ == NODE_ELEMENT && (name == "*" || n->name_ == name)) {
      found.push_back(n);
    }
  }
  return makeNodeList(found, elements);
}

HRESULT DomNode::get_documentElement(IXMLDOMElement** root) {
  if (root == nullptr) return E_POINTER;
  *root = nullptr;
  for (DomNode* c : children_) {
    if (c->type_ == NODE_ELEMENT) return giveNew(c, root);
  }
  return S_FALSE;
}

HRESULT DomNode::putref_documentElement(IXMLDOMElement* root) {
  DomNode* element = implOf(root);
  if (element == nullptr || element->type_ != NODE_ELEMENT) {
    return fail(E_INVALIDARG, "The document element must be an element of this DOM");
  }
  if (type_ != NODE_DOCUMENT) return E_UNEXPECTED;
  if (element->parent_ == this) return S_OK;
  if (element->parent_ != nullptr) {
    element->detach();
  } else {
    element->AddRef();
  }
  element->parent_ = this;
  for (DomNode*& c : children_) {
    if (c->type_ == NODE_ELEMENT) {
      DomNode* old = c;
      c = element;
      old->parent_ = nullptr;
      old->Release();
      treeChanged();
      return S_OK;
    }
  }
  appendOwned(element);
  return S_OK;
}

HRESULT DomNode::createElement(BSTR tagName, IXMLDOMElement** element) {
  return giveNewNode(NODE_ELEMENT, tagName, nameArgument, element);
}

HRESULT DomNode::createTextNode(BSTR text, IXMLDOMText** node) {
  return giveNewNode(NODE_TEXT, text, textArgument, node);
}

HRESULT DomNode::createCDATASection(BSTR text, IXMLDOMCDATASection** node) {
  return giveNewNode(NODE_CDATA_SECTION, text, textArgument, node);
}

HRESULT DomNode::get_parseError(IXMLDOMParseError** error) {
  if (error == nullptr) return E_POINTER;
  ParseError* made = new ParseError(parseError_);
  made->AddRef();
  *error = made;
  return S_OK;
}

HRESULT DomNode::get_readyState(LONG* state) {
  if (state == nullptr) return E_POINTER;
  *state = 4;  // loading is synchronous: always complete
  return S_OK;
}

HRESULT DomNode::get_async(VARIANT_BOOL* async) {
  if (async == nullptr) return E_POINTER;
  *async = async_ ? VARIANT_TRUE : VARIANT_FALSE;
  return S_OK;
}

HRESULT DomNode::put_async(VARIANT_BOOL async) {
  async_ = async != 0;
  return S_OK;
}

}  // namespace xmldom
