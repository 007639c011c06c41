// Shared by the DOM tests: COM initialised per test, a fresh document, small accessors.
#pragma once

#include "MsXml.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

class DomTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
    doc = newDocument();
  }
  void TearDown() override {
    doc = nullptr;
    CoUninitialize();
  }

  static IXMLDOMDocumentPtr newDocument() {
    IXMLDOMDocumentPtr d;
    EXPECT_EQ(d.CreateInstance(CLSID_DOMDocument), S_OK);
    return d;
  }
  IXMLDOMElementPtr element(const char* name) {
    IXMLDOMElementPtr e;
    com::check(doc->createElement(_bstr_t(name), &e));
    return e;
  }
  static IXMLDOMNodePtr append(IXMLDOMNode* parent, IXMLDOMNode* child) {
    IXMLDOMNodePtr out;
    com::check(parent->appendChild(child, &out));
    return out;
  }
  static std::string text(IXMLDOMNode* node) {
    _bstr_t t;
    com::check(node->get_text(t.GetAddress()));
    return t.utf8();
  }
  static std::string nodeName(IXMLDOMNode* node) {
    _bstr_t t;
    com::check(node->get_nodeName(t.GetAddress()));
    return t.utf8();
  }
  static std::string attribute(IXMLDOMElement* e, const char* name) {
    _variant_t v;
    com::check(e->getAttribute(_bstr_t(name), &v));
    return v.vt == VT_NULL ? "<null>" : _bstr_t(v).utf8();
  }
  static std::vector<IXMLDOMNodePtr> items(IXMLDOMNodeList* list) {
    std::vector<IXMLDOMNodePtr> out;
    LONG n = 0;
    com::check(list->get_length(&n));
    for (LONG i = 0; i < n; ++i) {
      IXMLDOMNodePtr node;
      com::check(list->get_item(i, &node));
      out.push_back(node);
    }
    return out;
  }
  static std::vector<std::string> names(IXMLDOMNodeList* list) {
    std::vector<std::string> out;
    for (const IXMLDOMNodePtr& n : items(list)) out.push_back(nodeName(n));
    return out;
  }
  std::vector<IXMLDOMNodePtr> select(IXMLDOMNode* from, const char* query) {
    IXMLDOMNodeListPtr list;
    com::check(from->selectNodes(_bstr_t(query), &list));
    return items(list);
  }
  bool loadXml(const std::string& xml) {
    VARIANT_BOOL ok = VARIANT_FALSE;
    doc->loadXML(_bstr_t(xml), &ok);
    return ok == VARIANT_TRUE;
  }
  // The text of the thread's error object.
  static std::string lastError() {
    IErrorInfoPtr info;
    if (GetErrorInfo(0, &info) != S_OK) return std::string();
    _bstr_t d;
    info->GetDescription(d.GetAddress());
    return d.utf8();
  }

  IXMLDOMDocumentPtr doc;
};
