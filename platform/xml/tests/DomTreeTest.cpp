// Building and reading DOM trees: nodes, attributes, text, moves, lookups and XPath selections.
#include "XmlTestSupport.h"

#include <thread>

namespace {

TEST_F(DomTest, DocumentsComeFromTheRegisteredClassOnInitialisedThreadsOnly) {
  ASSERT_NE(doc.GetInterfacePtr(), nullptr);
  std::thread other([] {
    IXMLDOMDocumentPtr d;
    EXPECT_EQ(d.CreateInstance(CLSID_DOMDocument), CO_E_NOTINITIALIZED);
  });
  other.join();
  LONG state = 0;
  doc->get_readyState(&state);
  EXPECT_EQ(state, 4);
  doc->put_async(VARIANT_FALSE);
  VARIANT_BOOL async = VARIANT_TRUE;
  doc->get_async(&async);
  EXPECT_EQ(async, VARIANT_FALSE);
  EXPECT_EQ(nodeName(doc), "#document");
}

TEST_F(DomTest, AttributesTakeTextBooleansAndNumbers) {
  IXMLDOMElementPtr filter = element("FILTER");
  com::check(filter->setAttribute(_bstr_t("bUseGlobalFilter"), _variant_t(true)));
  com::check(filter->setAttribute(_bstr_t("bIsInterfaceIml"), _variant_t(false)));
  com::check(filter->setAttribute(_bstr_t("TYPE"), _variant_t(SHORT(1))));
  com::check(filter->setAttribute(_bstr_t("COUNT"), _variant_t(LONG(-42))));
  com::check(filter->setAttribute(_bstr_t("strClassPath"), _variant_t("/opt/jdk/lib/x.jar")));
  com::check(filter->setAttribute(_bstr_t("TYPE"), _variant_t(SHORT(0))));  // replaces
  EXPECT_EQ(attribute(filter, "bUseGlobalFilter"), "true");
  EXPECT_EQ(attribute(filter, "bIsInterfaceIml"), "false");
  EXPECT_EQ(attribute(filter, "TYPE"), "0");
  EXPECT_EQ(attribute(filter, "COUNT"), "-42");
  EXPECT_EQ(attribute(filter, "strClassPath"), "/opt/jdk/lib/x.jar");

  // What is written converts back through the variant conversion.
  _variant_t flag;
  com::check(filter->getAttribute(_bstr_t("bUseGlobalFilter"), &flag));
  EXPECT_EQ(flag.vt, VT_BSTR);
  EXPECT_TRUE(static_cast<bool>(flag));

  _variant_t missing;
  EXPECT_EQ(filter->getAttribute(_bstr_t("absent"), &missing), S_FALSE);
  EXPECT_EQ(missing.vt, VT_NULL);
  EXPECT_THROW(static_cast<void>(static_cast<_bstr_t>(missing)), _com_error);

  EXPECT_EQ(filter->setAttribute(_bstr_t("bad name"), _variant_t("x")), E_INVALIDARG);
  EXPECT_NE(lastError().find("bad name"), std::string::npos);
  EXPECT_EQ(filter->setAttribute(_bstr_t("NAME"), _variant_t(std::string("a\0b", 3))), E_INVALIDARG);
  EXPECT_EQ(filter->setAttribute(_bstr_t("NAME"), vtMissing), DISP_E_TYPEMISMATCH);
}

TEST_F(DomTest, ElementNamesMustBeXmlNames) {
  IXMLDOMElementPtr e;
  for (const char* bad : {"", "1ABC", "A B", "a<b", "-x"}) {
    EXPECT_EQ(doc->createElement(_bstr_t(bad), &e), E_INVALIDARG) << bad;
    EXPECT_EQ(e.GetInterfacePtr(), nullptr);
  }
  for (const char* good : {"KAVRIN", "_x", "ns:tag", "a-b.c1", "\xC3\xA9t\xC3\xA9"}) {
    EXPECT_EQ(doc->createElement(_bstr_t(good), &e), S_OK) << good;
  }
}

TEST_F(DomTest, DocumentElementIsReplacedInPlace) {
  IXMLDOMElementPtr first = element("Project");
  com::check(doc->putref_documentElement(first));
  append(first, element("CurrentJVM"));
  IXMLDOMElementPtr second = element("Project");
  com::check(doc->putref_documentElement(second));
  IXMLDOMElementPtr root;
  com::check(doc->get_documentElement(&root));
  EXPECT_EQ(root.GetInterfacePtr(), second.GetInterfacePtr());
  IXMLDOMNodeListPtr all;
  com::check(doc->getElementsByTagName(_bstr_t("*"), &all));
  EXPECT_EQ(names(all), std::vector<std::string>{"Project"}) << "the old tree is gone";
  EXPECT_EQ(select(first, "CurrentJVM").size(), 1u) << "the old root lives on while held";

  IXMLDOMDocumentPtr empty = newDocument();
  IXMLDOMElementPtr none;
  EXPECT_EQ(empty->get_documentElement(&none), S_FALSE);
  EXPECT_EQ(none.GetInterfacePtr(), nullptr);
}

TEST_F(DomTest, AppendChildMovesNodesAndRefusesBadTrees) {
  IXMLDOMElementPtr root = element("KAVRIN");
  com::check(doc->putref_documentElement(root));
  IXMLDOMElementPtr a = element("A");
  IXMLDOMElementPtr b = element("B");
  append(root, a);
  append(root, b);
  IXMLDOMElementPtr leaf = element("LEAF");
  append(a, leaf);
  append(b, leaf);  // moved, not copied
  EXPECT_EQ(select(a, "*").size(), 0u);
  EXPECT_EQ(select(b, "*").size(), 1u);

  EXPECT_EQ(leaf->appendChild(root, nullptr), E_INVALIDARG) << "an ancestor below its descendant";
  EXPECT_EQ(root->appendChild(root, nullptr), E_INVALIDARG);
  EXPECT_EQ(doc->appendChild(element("SECOND"), nullptr), E_FAIL);
  EXPECT_NE(lastError().find("one top level element"), std::string::npos);
  IXMLDOMTextPtr t;
  com::check(doc->createTextNode(_bstr_t("x"), &t));
  EXPECT_EQ(doc->appendChild(t, nullptr), E_FAIL);
  EXPECT_EQ(t->appendChild(element("C"), nullptr), E_FAIL);
  EXPECT_EQ(root->appendChild(newDocument(), nullptr), E_INVALIDARG);
  EXPECT_EQ(root->appendChild(nullptr, nullptr), E_INVALIDARG);
}

TEST_F(DomTest, TextIsGatheredInOrderAndReplaced) {
  IXMLDOMElementPtr root = element("LAST_BUILD");
  com::check(doc->putref_documentElement(root));
  IXMLDOMElementPtr cls = element("CLASS");
  append(root, cls);
  com::check(cls->put_text(_bstr_t("java.lang.String")));
  IXMLDOMCDATASectionPtr cdata;
  com::check(doc->createCDATASection(_bstr_t(" & more"), &cdata));
  append(root, cdata);
  EXPECT_EQ(text(cls), "java.lang.String");
  EXPECT_EQ(text(root), "java.lang.String & more");
  EXPECT_EQ(text(doc), "java.lang.String & more");
  EXPECT_EQ(nodeName(cdata), "#cdata-section");

  com::check(root->put_text(_bstr_t("only")));
  EXPECT_EQ(select(root, "*").size(), 0u) << "put_text replaces the children";
  IXMLDOMNodeListPtr children;
  com::check(root->get_childNodes(&children));
  const auto kids = items(children);
  ASSERT_EQ(kids.size(), 1u);
  EXPECT_EQ(nodeName(kids[0]), "#text");
  DOMNodeType type = NODE_INVALID;
  kids[0]->get_nodeType(&type);
  EXPECT_EQ(type, NODE_TEXT);
  EXPECT_EQ(text(cls), "java.lang.String") << "a detached node keeps its text";
  com::check(root->put_text(_bstr_t("")));
  VARIANT_BOOL has = VARIANT_TRUE;
  root->hasChildNodes(&has);
  EXPECT_EQ(has, VARIANT_FALSE);
}

TEST_F(DomTest, NodesAnswerOnlyForTheirOwnKind) {
  IXMLDOMTextPtr t;
  com::check(doc->createTextNode(_bstr_t("x"), &t));
  IXMLDOMElementPtr asElement(t);
  EXPECT_EQ(asElement.GetInterfacePtr(), nullptr);
  IXMLDOMCDATASectionPtr asCdata(t);
  EXPECT_EQ(asCdata.GetInterfacePtr(), nullptr);
  IXMLDOMNodePtr asNode(t);
  ASSERT_NE(asNode.GetInterfacePtr(), nullptr);
  IUnknownPtr u1(t);
  IUnknownPtr u2(asNode);
  EXPECT_EQ(u1.GetInterfacePtr(), u2.GetInterfacePtr());
  IXMLDOMDocumentPtr notADoc(element("E"));
  EXPECT_EQ(notADoc.GetInterfacePtr(), nullptr);
}

TEST_F(DomTest, ElementsAreFoundByTagNameBelowTheirOwnParent) {
  ASSERT_TRUE(
      loadXml("<KAVRIN><CLASSES><CLASS NAME='a.B'><FILTER bUseGlobalFilter='0'/>"
              "<MEMBERS><MEMBER NAME='m()V'/><MEMBER NAME='f'/></MEMBERS></CLASS>"
              "<CLASS NAME='c.D'/></CLASSES>"
              "<LAST_BUILD><CLASS>a.B</CLASS><INTERFACE>x.Y</INTERFACE></LAST_BUILD></KAVRIN>"));
  IXMLDOMNodeListPtr everywhere;
  com::check(doc->getElementsByTagName(_bstr_t("CLASS"), &everywhere));
  EXPECT_EQ(items(everywhere).size(), 3u);

  const auto classes = select(doc, "//CLASSES/CLASS");
  ASSERT_EQ(classes.size(), 2u);
  IXMLDOMElementPtr first(classes[0]);
  EXPECT_EQ(attribute(first, "NAME"), "a.B");
  IXMLDOMNodeListPtr members;
  com::check(first->getElementsByTagName(_bstr_t("MEMBER"), &members));
  EXPECT_EQ(items(members).size(), 2u);
  IXMLDOMElementPtr second(classes[1]);
  IXMLDOMNodePtr filter;
  EXPECT_EQ(second->selectSingleNode(_bstr_t(".//FILTER"), &filter), S_FALSE);
  EXPECT_EQ(filter.GetInterfacePtr(), nullptr);

  const auto built = select(doc, "/KAVRIN/LAST_BUILD/CLASS");
  ASSERT_EQ(built.size(), 1u);
  EXPECT_EQ(text(built[0]), "a.B");
  EXPECT_EQ(select(doc, "//CLASS[@NAME='c.D']").size(), 1u);
  EXPECT_EQ(select(doc, "//INTERFACE/text()").size(), 1u);

  // Each list iterates on its own.
  IXMLDOMNodePtr n;
  EXPECT_EQ(members->nextNode(&n), S_OK);
  EXPECT_EQ(members->nextNode(&n), S_OK);
  EXPECT_EQ(members->nextNode(&n), S_FALSE);
  members->reset();
  EXPECT_EQ(members->nextNode(&n), S_OK);
}

TEST_F(DomTest, SelectionsFollowChangesAndReportBadExpressions) {
  ASSERT_TRUE(loadXml("<Project><AddedPaths/></Project>"));
  EXPECT_EQ(select(doc, "//AddedPaths/*").size(), 0u);
  IXMLDOMNodePtr paths;
  com::check(doc->selectSingleNode(_bstr_t("/Project/AddedPaths"), &paths));
  append(paths, element("Path"));
  EXPECT_EQ(select(doc, "//AddedPaths/*").size(), 1u) << "the change is seen";
  IXMLDOMElementPtr detached = element("Lone");
  append(detached, element("Child"));
  EXPECT_EQ(select(detached, "Child").size(), 1u) << "selections work on detached trees";

  IXMLDOMNodeListPtr list;
  EXPECT_EQ(doc->selectNodes(_bstr_t("//["), &list), E_FAIL);
  EXPECT_NE(lastError().find("Invalid XPath"), std::string::npos);
  EXPECT_EQ(doc->selectNodes(_bstr_t("count(//Path)"), &list), E_FAIL);
  EXPECT_NE(lastError().find("does not select nodes"), std::string::npos);
  EXPECT_EQ(select(doc, "//@*").size(), 0u) << "attributes are not returned";
}

TEST_F(DomTest, NodesOutliveTheirDocument) {
  ASSERT_TRUE(loadXml("<A><B>kept</B></A>"));
  IXMLDOMNodePtr b;
  com::check(doc->selectSingleNode(_bstr_t("//B"), &b));
  doc = nullptr;
  EXPECT_EQ(text(b), "kept");
}

}  // namespace
