#include "SettingsXml.h"

#include "Win32.h"

#include <fcntl.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>

namespace settingsxml {

namespace {

bool readWholeFile(const std::string& path, std::string& content) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  content.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

bool onlyBlanks(const std::string& text) {
  for (char c : text) {
    if (!std::isspace(static_cast<unsigned char>(c))) return false;
  }
  return true;
}

std::string parseProblem(IXMLDOMDocument* document) {
  IXMLDOMParseErrorPtr error;
  if (FAILED(document->get_parseError(&error)) || !error) return "it is not a well-formed XML document";
  _bstr_t reason;
  LONG line = 0;
  LONG column = 0;
  error->get_reason(reason.GetAddress());
  error->get_line(&line);
  error->get_linepos(&column);
  std::string problem = reason.utf8();
  if (problem.empty()) problem = "it is not a well-formed XML document";
  if (line > 0) problem += " (line " + std::to_string(line) + ", column " + std::to_string(column) + ")";
  return problem;
}

[[noreturn]] void attributeProblem(IXMLDOMElement* element, const char* name, const std::string& what) {
  com::raiseError(DISP_E_TYPEMISMATCH,
                  "The attribute \"" + std::string(name) + "\" of the element " + nodeName(element) + " " + what);
}

// The attribute's value, or raises when the element lacks it.
_variant_t attributeValue(IXMLDOMElement* element, const char* name) {
  _variant_t value;
  com::check(element->getAttribute(_bstr_t(name), &value));
  if (value.vt == VT_NULL || value.vt == VT_EMPTY) attributeProblem(element, name, "is missing");
  return value;
}

std::string shown(const _variant_t& value) {
  if (value.vt != VT_BSTR) return "a value of another type";
  return "\"" + com::fromBstr(value.bstrVal) + "\"";
}

}  // namespace

LoadResult loadFile(IXMLDOMDocument* document, const std::string& path) {
  LoadResult result;
  if (!win32::fileExists(path)) return result;
  if (win32::isDirectory(path)) {
    result.status = LoadStatus::Unreadable;
    result.problem = "it is a folder, not a file";
    return result;
  }
  std::string content;
  if (!readWholeFile(path, content)) {
    result.status = LoadStatus::Unreadable;
    result.problem = "it cannot be opened for reading";
    return result;
  }
  if (onlyBlanks(content)) return result;
  VARIANT_BOOL loaded = VARIANT_FALSE;
  const HRESULT hr = document->load(_variant_t(path), &loaded);
  LONG state = 0;
  document->get_readyState(&state);
  VARIANT_BOOL hasChildren = VARIANT_FALSE;
  if (SUCCEEDED(hr) && loaded == VARIANT_TRUE && state == 4) document->hasChildNodes(&hasChildren);
  if (hasChildren != VARIANT_TRUE) {
    result.status = LoadStatus::Unreadable;
    result.problem = parseProblem(document);
    return result;
  }
  result.status = LoadStatus::Loaded;
  return result;
}

std::string keepCopy(const std::string& path) {
  std::string content;
  if (!readWholeFile(path, content)) return std::string();
  for (int number = 0; number < 1000; ++number) {
    const std::string copy = path + ".bak" + (number == 0 ? std::string() : "." + std::to_string(number));
    const int fd = open(copy.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) {
      if (errno != EEXIST) return std::string();
      // An earlier copy stays as it is; one of the same content already keeps this one.
      std::string earlier;
      if (readWholeFile(copy, earlier) && earlier == content) return copy;
      continue;
    }
    size_t written = 0;
    while (written < content.size()) {
      const ssize_t n = write(fd, content.data() + written, content.size() - written);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      written += static_cast<size_t>(n);
    }
    const bool closed = close(fd) == 0;
    if (written != content.size() || !closed) {
      unlink(copy.c_str());
      return std::string();
    }
    return copy;
  }
  return std::string();
}

IXMLDOMDocumentPtr newDocument() {
  IXMLDOMDocumentPtr document;
  com::check(document.CreateInstance(CLSID_DOMDocument, nullptr, CLSCTX_ALL));
  return document;
}

std::vector<IXMLDOMElementPtr> elements(IXMLDOMNode* from, const char* tag) {
  std::vector<IXMLDOMElementPtr> found;
  if (from == nullptr) return found;
  IXMLDOMNodeListPtr list;
  IXMLDOMDocumentPtr document(from);
  if (document) {
    com::check(document->getElementsByTagName(_bstr_t(tag), &list));
  } else {
    IXMLDOMElementPtr element(from);
    if (!element) return found;
    com::check(element->getElementsByTagName(_bstr_t(tag), &list));
  }
  LONG length = 0;
  com::check(list->get_length(&length));
  for (LONG i = 0; i < length; ++i) {
    IXMLDOMNodePtr node;
    com::check(list->get_item(i, &node));
    IXMLDOMElementPtr element(node);
    if (element) found.push_back(element);
  }
  return found;
}

IXMLDOMElementPtr firstElement(IXMLDOMNode* from, const char* tag) {
  std::vector<IXMLDOMElementPtr> found = elements(from, tag);
  return found.empty() ? IXMLDOMElementPtr() : found.front();
}

std::vector<IXMLDOMNodePtr> children(IXMLDOMNode* node) {
  std::vector<IXMLDOMNodePtr> found;
  IXMLDOMNodeListPtr list;
  com::check(node->get_childNodes(&list));
  LONG length = 0;
  com::check(list->get_length(&length));
  for (LONG i = 0; i < length; ++i) {
    IXMLDOMNodePtr child;
    com::check(list->get_item(i, &child));
    if (child) found.push_back(child);
  }
  return found;
}

std::string text(IXMLDOMNode* node) {
  _bstr_t value;
  com::check(node->get_text(value.GetAddress()));
  return value.utf8();
}

std::string nodeName(IXMLDOMNode* node) {
  _bstr_t name;
  com::check(node->get_nodeName(name.GetAddress()));
  return name.utf8();
}

std::string textAttribute(IXMLDOMElement* element, const char* name) {
  _variant_t value = attributeValue(element, name);
  if (value.vt == VT_BSTR) return com::fromBstr(value.bstrVal);
  VARIANT converted;
  VariantInit(&converted);
  if (FAILED(VariantChangeType(&converted, &value, 0, VT_BSTR))) attributeProblem(element, name, "is not text");
  const std::string result = com::fromBstr(converted.bstrVal);
  VariantClear(&converted);
  return result;
}

bool boolAttribute(IXMLDOMElement* element, const char* name) {
  _variant_t value = attributeValue(element, name);
  if (value.vt == VT_BOOL) return value.boolVal != VARIANT_FALSE;
  VARIANT converted;
  VariantInit(&converted);
  if (FAILED(VariantChangeType(&converted, &value, 0, VT_BOOL))) {
    attributeProblem(element, name, "holds " + shown(value) + ", which is neither true nor false");
  }
  return converted.boolVal != VARIANT_FALSE;
}

SHORT shortAttribute(IXMLDOMElement* element, const char* name) {
  _variant_t value = attributeValue(element, name);
  if (value.vt == VT_I2) return value.iVal;
  VARIANT converted;
  VariantInit(&converted);
  const HRESULT hr = VariantChangeType(&converted, &value, 0, VT_I2);
  if (hr == DISP_E_OVERFLOW) attributeProblem(element, name, "holds " + shown(value) + ", which is out of range");
  if (FAILED(hr)) attributeProblem(element, name, "holds " + shown(value) + ", which is not a number");
  return converted.iVal;
}

IXMLDOMElementPtr appendElement(IXMLDOMDocument* document, IXMLDOMNode* parent, const char* tag) {
  IXMLDOMElementPtr element;
  com::check(document->createElement(_bstr_t(tag), &element));
  IXMLDOMNodePtr added;
  com::check(parent->appendChild(element, &added));
  return element;
}

void setAttribute(IXMLDOMElement* element, const char* name, const _variant_t& value) {
  com::check(element->setAttribute(_bstr_t(name), value));
}

void appendCData(IXMLDOMDocument* document, IXMLDOMNode* parent, const std::string& text) {
  IXMLDOMCDATASectionPtr section;
  com::check(document->createCDATASection(_bstr_t(text), &section));
  IXMLDOMNodePtr added;
  com::check(parent->appendChild(section, &added));
}

void appendText(IXMLDOMDocument* document, IXMLDOMNode* parent, const std::string& text) {
  IXMLDOMTextPtr node;
  com::check(document->createTextNode(_bstr_t(text), &node));
  IXMLDOMNodePtr added;
  com::check(parent->appendChild(node, &added));
}

void save(IXMLDOMDocument* document, const std::string& path) { com::check(document->save(_variant_t(path))); }

}  // namespace settingsxml
