// The add-in's two XML settings files (the global "kavringlobals.xml" and the per-project
// ".jniprj") share these DOM helpers: loading a file with a clear account of why it could not be
// read, keeping a copy of a file that cannot be read before anything is saved over it, and
// reading and writing elements and attributes.
//
// Readers raise `_com_error` whose description names the element and the attribute at fault;
// writers raise the DOM's own errors.
#pragma once

#include "MsXml.h"

#include <string>
#include <vector>

namespace settingsxml {

enum class LoadStatus {
  Loaded,      // the document holds the file
  Missing,     // no file, or a file with nothing but blanks in it
  Unreadable,  // a file that is not well-formed XML (or cannot be read at all)
};

struct LoadResult {
  LoadStatus status = LoadStatus::Missing;
  // Why an unreadable file could not be read: the parser's reason with its line and column.
  std::string problem;
};

// Loads `path` into `document` (synchronously) and tells whether it was read.
LoadResult loadFile(IXMLDOMDocument* document, const std::string& path);

// Copies a file that could not be read to `path` + ".bak" (or ".bak.1", ".bak.2"... when
// that exists: an earlier copy is never overwritten; one that holds the same content already
// serves), so that a later save over `path` loses nothing. Returns the copy's path, or an empty
// text when no copy could be made.
std::string keepCopy(const std::string& path);

// A new DOM document; raises the COM error when none can be made.
IXMLDOMDocumentPtr newDocument();

// The elements named `tag` below `from` (an element or a document), in document order.
std::vector<IXMLDOMElementPtr> elements(IXMLDOMNode* from, const char* tag);
// The first of them, or null.
IXMLDOMElementPtr firstElement(IXMLDOMNode* from, const char* tag);
// Every child node of `node`, in order.
std::vector<IXMLDOMNodePtr> children(IXMLDOMNode* node);
// The text of a node (of every text below an element).
std::string text(IXMLDOMNode* node);
// The tag name of an element ("#text" and the like for other nodes).
std::string nodeName(IXMLDOMNode* node);

// Attribute readers. A missing attribute or a value that does not convert raises `_com_error`
// with a description such as: the attribute "TYPE" of the element MODULE holds "two", which is
// not a number.
std::string textAttribute(IXMLDOMElement* element, const char* name);
bool boolAttribute(IXMLDOMElement* element, const char* name);
SHORT shortAttribute(IXMLDOMElement* element, const char* name);

// Writers: a new element appended to `parent`, an attribute, a CDATA section, a text node.
IXMLDOMElementPtr appendElement(IXMLDOMDocument* document, IXMLDOMNode* parent, const char* tag);
void setAttribute(IXMLDOMElement* element, const char* name, const _variant_t& value);
void appendCData(IXMLDOMDocument* document, IXMLDOMNode* parent, const std::string& text);
void appendText(IXMLDOMDocument* document, IXMLDOMNode* parent, const std::string& text);

// Saves the document to `path` (the file is replaced whole, or left as it was on failure).
void save(IXMLDOMDocument* document, const std::string& path);

}  // namespace settingsxml
