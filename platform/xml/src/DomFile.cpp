// Reading and writing XML text: parsing into nodes, serialising, loading and saving files.
#include "DomNode.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <unordered_set>

namespace xmldom {

namespace {

constexpr unsigned kParseOptions = pugi::parse_default | pugi::parse_ws_pcdata_single;

// 1-based line and column (in characters) of a byte offset of UTF-8 text.
void locate(const std::string& text, size_t offset, LONG& line, LONG& column) {
  line = 1;
  column = 1;
  for (size_t i = 0; i < offset && i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c == '\n') {
      ++line;
      column = 1;
    } else if ((c & 0xC0) != 0x80) {
      ++column;
    }
  }
}

void setError(ParseErrorState& error, HRESULT code, const std::string& reason, const std::string& text, size_t offset) {
  error.code = code;
  error.reason = reason;
  error.filepos = static_cast<LONG>(offset);
  locate(text, offset, error.line, error.linepos);
}

std::string errnoText(int err) { return std::strerror(err); }

// Written as character data (rather than as a CDATA section): a CDATA section cannot hold its
// end marker, nor a carriage return, which a reader takes as a line end (StringWriter writes
// one of character data as "&#13;").
bool writtenAsText(const DomNode* node) {
  return node->type() == NODE_TEXT ||
         (node->type() == NODE_CDATA_SECTION &&
          (node->value().find("]]>") != std::string::npos || node->value().find('\r') != std::string::npos));
}

// Collects the serialised text. pugixml writes a carriage return of character data as it is,
// which a reader takes as a line end: it is written as "&#13;" instead (the only other places
// that could hold one, attribute values, come here escaped already).
class StringWriter : public pugi::xml_writer {
 public:
  void write(const void* data, size_t size) override {
    const char* text = static_cast<const char*>(data);
    for (size_t i = 0; i < size; ++i) {
      if (text[i] == '\r')
        out += "&#13;";
      else
        out += text[i];
    }
  }
  std::string out;
};

}  // namespace

bool parseInto(DomNode* document, const std::string& text, bool autoEncoding, ParseErrorState& error) {
  pugi::xml_document parsed;
  const pugi::xml_parse_result result = parsed.load_buffer(text.data(), text.size(), kParseOptions,
                                                           autoEncoding ? pugi::encoding_auto : pugi::encoding_utf8);
  if (!result) {
    setError(error, E_FAIL, result.description(), text, static_cast<size_t>(result.offset));
    return false;
  }
  struct Item {
    pugi::xml_node from;
    DomNode* to;
    int depth;
  };
  // Built apart first, so that a failure leaves the document untouched.
  DomNode* holder = new DomNode(NODE_DOCUMENT, std::string());
  holder->AddRef();
  std::vector<Item> stack{{parsed, holder, 0}};
  std::unordered_set<std::string> seen;
  while (!stack.empty()) {
    Item item = stack.back();
    stack.pop_back();
    for (pugi::xml_node child : item.from.children()) {
      DomNode* node = nullptr;
      switch (child.type()) {
        case pugi::node_element:
          if (item.depth >= kMaxDepth) {
            setError(error, E_FAIL, "Elements are nested more than " + std::to_string(kMaxDepth) + " levels deep", text,
                     static_cast<size_t>(std::max<ptrdiff_t>(child.offset_debug(), 0)));
            holder->Release();
            return false;
          }
          node = new DomNode(NODE_ELEMENT, child.name());
          seen.clear();
          for (pugi::xml_attribute a : child.attributes()) {
            if (!seen.insert(a.name()).second) {
              setError(error, E_FAIL,
                       std::string("Attribute \"") + a.name() + "\" appears twice on element \"" + child.name() + "\"",
                       text, static_cast<size_t>(std::max<ptrdiff_t>(child.offset_debug(), 0)));
              delete node;
              holder->Release();
              return false;
            }
            node->addAttribute(a.name(), a.value());
          }
          stack.push_back({child, node, item.depth + 1});
          break;
        case pugi::node_pcdata:
          node = new DomNode(NODE_TEXT, child.value());
          break;
        case pugi::node_cdata:
          node = new DomNode(NODE_CDATA_SECTION, child.value());
          break;
        default:
          continue;  // declaration, comments, processing instructions
      }
      node->AddRef();
      item.to->appendOwned(node);
    }
  }
  document->removeAllChildren();
  document->adoptChildrenOf(holder);
  holder->Release();
  return true;
}

std::string serialize(DomNode* document) {
  pugi::xml_document out;
  struct Item {
    DomNode* from;
    pugi::xml_node to;
  };
  std::vector<Item> stack{{document, out}};
  while (!stack.empty()) {
    Item item = stack.back();
    stack.pop_back();
    bool lastWasText = false;
    for (DomNode* child : item.from->children()) {
      if (child->type() == NODE_ELEMENT) {
        pugi::xml_node e = item.to.append_child(child->name().c_str());
        for (const auto& a : child->attributes()) {
          e.append_attribute(a.first.c_str()) = a.second.c_str();
        }
        stack.push_back({child, e});
        lastWasText = false;
        continue;
      }
      const bool asText = writtenAsText(child);
      // Two neighbouring runs of character data would load back as one node: an empty
      // comment, which loading skips, keeps them apart.
      if (asText && lastWasText) item.to.append_child(pugi::node_comment);
      item.to.append_child(asText ? pugi::node_pcdata : pugi::node_cdata).set_value(child->value().c_str());
      lastWasText = asText;
    }
  }
  StringWriter writer;
  out.save(writer, "\t", pugi::format_default, pugi::encoding_utf8);
  return writer.out;
}

HRESULT writeFileAtomically(const std::string& path, const std::string& text) {
  const int err = win32::replaceFile(path, win32::TempName::Hidden, text);
  if (err == EISDIR) {
    return fail(HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED), "Cannot save " + path + ": it is a folder");
  }
  if (err != 0) {
    return fail(HRESULT_FROM_WIN32(static_cast<LONG>(win32::errorFromErrno(err))),
                "Cannot save " + path + ": " + errnoText(err));
  }
  return S_OK;
}

HRESULT DomNode::finishLoad(const std::string& text, bool autoEncoding, const std::string& url,
                            VARIANT_BOOL* isSuccessful) {
  ParseErrorState error;
  error.url = url;
  const bool ok = parseInto(this, text, autoEncoding, error);
  if (!ok) removeAllChildren();
  parseError_ = error;
  if (isSuccessful != nullptr) *isSuccessful = ok ? VARIANT_TRUE : VARIANT_FALSE;
  return ok ? S_OK : S_FALSE;
}

HRESULT DomNode::load(VARIANT source, VARIANT_BOOL* isSuccessful) {
  if (isSuccessful != nullptr) *isSuccessful = VARIANT_FALSE;
  if (type_ != NODE_DOCUMENT) return E_UNEXPECTED;
  if (source.vt != VT_BSTR || SysStringLen(source.bstrVal) == 0) {
    return fail(E_INVALIDARG, "load needs a file path");
  }
  const std::string path = com::fromBstr(source.bstrVal);
  struct stat st {};
  int err = 0;
  std::string text;
  if (stat(path.c_str(), &st) != 0) {
    err = errno;
  } else if (S_ISDIR(st.st_mode)) {
    err = EISDIR;
  } else {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream buffer;
    if (!in || !(buffer << in.rdbuf())) {
      err = in ? EIO : (errno != 0 ? errno : EACCES);
    }
    text = buffer.str();
    // An empty file reads as nothing, which is a parse failure below, not a read failure.
    if (err == EIO && text.empty() && st.st_size == 0) err = 0;
  }
  if (err != 0) {
    removeAllChildren();
    parseError_ = ParseErrorState();
    parseError_.url = path;
    parseError_.code = HRESULT_FROM_WIN32(static_cast<LONG>(win32::errorFromErrno(err)));
    parseError_.reason = "Cannot read " + path + ": " + errnoText(err);
    if (isSuccessful != nullptr) *isSuccessful = VARIANT_FALSE;
    return S_FALSE;
  }
  return finishLoad(text, true, path, isSuccessful);
}

HRESULT DomNode::loadXML(BSTR xml, VARIANT_BOOL* isSuccessful) {
  if (isSuccessful != nullptr) *isSuccessful = VARIANT_FALSE;
  if (type_ != NODE_DOCUMENT) return E_UNEXPECTED;
  return finishLoad(com::fromBstr(xml), false, std::string(), isSuccessful);
}

HRESULT DomNode::save(VARIANT destination) {
  if (type_ != NODE_DOCUMENT) return E_UNEXPECTED;
  if (destination.vt != VT_BSTR || SysStringLen(destination.bstrVal) == 0) {
    return fail(E_INVALIDARG, "save needs a file path");
  }
  return writeFileAtomically(com::fromBstr(destination.bstrVal), serialize(this));
}

}  // namespace xmldom
