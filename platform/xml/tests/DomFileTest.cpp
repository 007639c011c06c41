// Loading and saving files: round trips, awkward text, parse errors, and saves that fail
// without harming the file they were to replace.
#include "PlatformTestUtil.h"
#include "XmlTestSupport.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <memory>

namespace {

class DomFileTest : public DomTest {
 protected:
  void SetUp() override {
    DomTest::SetUp();
    dir = std::make_unique<platform_test::TempDir>();
  }
  bool load(IXMLDOMDocument* d, const std::string& path) {
    VARIANT_BOOL ok = VARIANT_FALSE;
    d->load(_variant_t(path), &ok);
    return ok == VARIANT_TRUE;
  }
  HRESULT save(IXMLDOMDocument* d, const std::string& path) { return d->save(_variant_t(path)); }
  struct Failure {
    LONG code, line, column, offset;
    std::string reason;
  };
  Failure parseFailure(IXMLDOMDocument* d) {
    IXMLDOMParseErrorPtr e;
    com::check(d->get_parseError(&e));
    Failure f{};
    e->get_errorCode(&f.code);
    e->get_line(&f.line);
    e->get_linepos(&f.column);
    e->get_filepos(&f.offset);
    _bstr_t reason;
    e->get_reason(reason.GetAddress());
    f.reason = reason.utf8();
    return f;
  }
  std::vector<std::string> entries() {
    std::vector<std::string> out;
    for (const auto& e : std::filesystem::directory_iterator(dir->path())) {
      out.push_back(e.path().filename().string());
    }
    std::sort(out.begin(), out.end());
    return out;
  }
  IXMLDOMNodePtr child(IXMLDOMNode* parent, LONG index) {
    IXMLDOMNodeListPtr list;
    com::check(parent->get_childNodes(&list));
    IXMLDOMNodePtr n;
    list->get_item(index, &n);
    return n;
  }
  LONG childCount(IXMLDOMNode* parent) {
    IXMLDOMNodeListPtr list;
    com::check(parent->get_childNodes(&list));
    LONG n = 0;
    list->get_length(&n);
    return n;
  }
  IXMLDOMNodePtr cdata(const char* value) {
    IXMLDOMCDATASectionPtr c;
    com::check(doc->createCDATASection(_bstr_t(value), &c));
    return IXMLDOMNodePtr(c);
  }
  IXMLDOMNodePtr textNode(const char* value) {
    IXMLDOMTextPtr t;
    com::check(doc->createTextNode(_bstr_t(value), &t));
    return IXMLDOMNodePtr(t);
  }

  std::unique_ptr<platform_test::TempDir> dir;
};

TEST_F(DomFileTest, SaveAndLoadKeepStructureAttributesAndText) {
  IXMLDOMElementPtr root = element("Project");
  com::check(doc->putref_documentElement(root));
  IXMLDOMElementPtr jvm = element("CurrentJVM");
  append(root, jvm);
  const std::string awkward = "C:\\Program Files\\J&K <\"x\"> 'y'\ttab\nline \xE2\x82\xAC";
  com::check(jvm->setAttribute(_bstr_t("Name"), _variant_t(awkward)));
  append(jvm, cdata("/jre/lib/rt.jar"));
  append(jvm, cdata("/jre/lib/ext/a b.zip"));
  IXMLDOMElementPtr paths = element("AddedPaths");
  append(root, paths);
  IXMLDOMElementPtr blank = element("Blank");
  append(root, blank);
  com::check(blank->put_text(_bstr_t("  ")));

  const std::string file = dir->file("kavringlobals.xml");
  ASSERT_EQ(save(doc, file), S_OK) << lastError();
  EXPECT_EQ(entries(), std::vector<std::string>{"kavringlobals.xml"}) << "no temporary left";

  IXMLDOMDocumentPtr again = newDocument();
  ASSERT_TRUE(load(again, file));
  const auto jvms = select(again, "/Project/CurrentJVM");
  ASSERT_EQ(jvms.size(), 1u);
  IXMLDOMElementPtr loaded(jvms[0]);
  EXPECT_EQ(attribute(loaded, "Name"), awkward);
  ASSERT_EQ(childCount(loaded), 2) << "each CDATA section stays a node of its own";
  EXPECT_EQ(text(child(loaded, 0)), "/jre/lib/rt.jar");
  EXPECT_EQ(text(child(loaded, 1)), "/jre/lib/ext/a b.zip");
  DOMNodeType type = NODE_INVALID;
  child(loaded, 0)->get_nodeType(&type);
  EXPECT_EQ(type, NODE_CDATA_SECTION);
  EXPECT_EQ(select(again, "/Project/AddedPaths").size(), 1u);
  EXPECT_EQ(text(select(again, "//Blank")[0]), "  ") << "whitespace-only content survives";
  EXPECT_EQ(childCount(select(again, "/Project")[0]), 3) << "layout whitespace does not";
}

TEST_F(DomFileTest, CdataHoldingTheEndMarkerOrACarriageReturnRoundTripsAsText) {
  IXMLDOMElementPtr root = element("AddedPaths");
  com::check(doc->putref_documentElement(root));
  append(root, cdata("/odd]]>name.jar"));
  append(root, cdata("/second]]>.jar"));
  append(root, textNode("plain"));
  append(root, cdata("/normal.jar"));
  append(root, cdata("/cr\r.jar"));
  append(root, element("Break"));
  append(root, textNode("text\r\n"));
  const std::string file = dir->file("paths.xml");
  ASSERT_EQ(save(doc, file), S_OK) << lastError();

  IXMLDOMDocumentPtr again = newDocument();
  ASSERT_TRUE(load(again, file)) << platform_test::readText(file);
  IXMLDOMElementPtr loaded;
  com::check(again->get_documentElement(&loaded));
  ASSERT_EQ(childCount(loaded), 7) << platform_test::readText(file);
  EXPECT_EQ(text(child(loaded, 0)), "/odd]]>name.jar");
  EXPECT_EQ(text(child(loaded, 1)), "/second]]>.jar");
  EXPECT_EQ(text(child(loaded, 2)), "plain");
  EXPECT_EQ(text(child(loaded, 3)), "/normal.jar");
  EXPECT_EQ(text(child(loaded, 4)), "/cr\r.jar") << "a carriage return is no line end";
  EXPECT_EQ(text(child(loaded, 6)), "text\r\n");
  EXPECT_EQ(text(loaded), "/odd]]>name.jar/second]]>.jarplain/normal.jar/cr\r.jartext\r\n");
}

TEST_F(DomFileTest, FailedSaveKeepsTheOldFile) {
  const std::string file = dir->file("App.jniprj");
  platform_test::writeText(file, "<KAVRIN><OLD/></KAVRIN>");
  ASSERT_TRUE(loadXml("<KAVRIN><NEW/></KAVRIN>"));

  // A folder where the temporary file would go: the save fails before the rename.
  const std::string blocked = dir->file("sub");
  platform_test::writeText(blocked, "a regular file");
  EXPECT_TRUE(FAILED(save(doc, blocked + "/App.jniprj")));
  EXPECT_NE(lastError().find("Cannot save"), std::string::npos);
  EXPECT_EQ(platform_test::readText(blocked), "a regular file");

  // A folder in place of the target: the rename fails, the folder and the old file stay.
  const std::string folder = dir->file("folder.xml");
  ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
  EXPECT_TRUE(FAILED(save(doc, folder)));
  EXPECT_TRUE(std::filesystem::is_directory(folder));

  // A full disk: the error names the file.
  win32::injectWriteFailure("App.jniprj", ENOSPC, 5);
  EXPECT_EQ(save(doc, file), HRESULT_FROM_WIN32(ERROR_DISK_FULL));
  win32::clearWriteFailures();
  EXPECT_NE(lastError().find("Cannot save " + file + ": No space left on device"), std::string::npos) << lastError();

  EXPECT_EQ(platform_test::readText(file), "<KAVRIN><OLD/></KAVRIN>");
  EXPECT_EQ(entries(), (std::vector<std::string>{"App.jniprj", "folder.xml", "sub"})) << "no temporary left behind";

  ASSERT_EQ(save(doc, file), S_OK);
  EXPECT_NE(platform_test::readText(file).find("<NEW"), std::string::npos);
}

TEST_F(DomFileTest, SaveReplacesTheFileALinkPointsAtAndKeepsItsMode) {
  const std::string real = dir->file("real.xml");
  platform_test::writeText(real, "<old/>");
  ASSERT_EQ(chmod(real.c_str(), 0600), 0);
  const std::string link = dir->file("link.xml");
  ASSERT_EQ(symlink(real.c_str(), link.c_str()), 0);
  ASSERT_TRUE(loadXml("<new/>"));
  ASSERT_EQ(save(doc, link), S_OK);
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_NE(platform_test::readText(real).find("<new"), std::string::npos);
  struct stat st {};
  ASSERT_EQ(stat(real.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST_F(DomFileTest, MalformedTextGivesReasonOffsetAndEmptiesTheDocument) {
  ASSERT_TRUE(loadXml("<KAVRIN><KEEP/></KAVRIN>"));
  EXPECT_FALSE(loadXml("<KAVRIN>\n  <CLASS NAME='x'>\n</KAVRIN>"));
  const Failure f = parseFailure(doc);
  EXPECT_NE(f.code, 0);
  EXPECT_FALSE(f.reason.empty());
  EXPECT_EQ(f.line, 3);
  EXPECT_EQ(f.offset, 30) << "the closing tag that does not match";
  EXPECT_EQ(f.column, 3);
  VARIANT_BOOL has = VARIANT_TRUE;
  doc->hasChildNodes(&has);
  EXPECT_EQ(has, VARIANT_FALSE) << "a failed load leaves the document empty";

  ASSERT_TRUE(loadXml("<ok/>"));
  EXPECT_EQ(parseFailure(doc).code, 0) << "a good load clears the error";

  const std::string file = dir->file("empty.xml");
  platform_test::writeText(file, "");
  EXPECT_FALSE(load(doc, file));
  EXPECT_FALSE(parseFailure(doc).reason.empty());
  platform_test::writeText(file, "<a attr='1' attr='2'/>");
  EXPECT_FALSE(load(doc, file));
}

TEST_F(DomFileTest, UnreadableSourcesAreReportedAsLoadFailures) {
  VARIANT_BOOL ok = VARIANT_TRUE;
  EXPECT_EQ(doc->load(_variant_t(dir->file("missing.xml")), &ok), S_FALSE);
  EXPECT_EQ(ok, VARIANT_FALSE);
  EXPECT_EQ(parseFailure(doc).code, HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
  EXPECT_NE(parseFailure(doc).reason.find("missing.xml"), std::string::npos);

  EXPECT_FALSE(load(doc, dir->path()));
  EXPECT_NE(parseFailure(doc).code, 0);

  EXPECT_EQ(doc->load(_variant_t(LONG(3)), &ok), E_INVALIDARG);
  EXPECT_EQ(doc->save(vtMissing), E_INVALIDARG);
}

TEST_F(DomFileTest, HandWrittenFilesLoadWithoutLayoutNodes) {
  const std::string file = dir->file("hand.xml");
  // UTF-16 with a byte order mark, indented, with a comment and a processing instruction.
  const std::u16string text =
      u"\uFEFF<?xml version=\"1.0\" encoding=\"UTF-16\"?>\n<KAVRIN>\n  <!-- note -->\n"
      u"  <?tool x?>\n  <NAMES_SUBSTITUTED FLDPX=\"-1\">\n    <SUBSTITUTE NAME=\"\u00E9\" TO=\"e\"/>\n"
      u"  </NAMES_SUBSTITUTED>\n</KAVRIN>\n";
  platform_test::writeText(file,
                           std::string(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(char16_t)));
  ASSERT_TRUE(load(doc, file)) << parseFailure(doc).reason;
  const auto names = select(doc, "/KAVRIN/NAMES_SUBSTITUTED");
  ASSERT_EQ(names.size(), 1u);
  ASSERT_EQ(childCount(names[0]), 1) << "only the element, no layout text";
  IXMLDOMElementPtr sub(child(names[0], 0));
  ASSERT_NE(sub.GetInterfacePtr(), nullptr);
  EXPECT_EQ(attribute(sub, "NAME"), "\xC3\xA9");
  IXMLDOMElementPtr substituted(names[0]);
  EXPECT_TRUE(static_cast<bool>(_variant_t(attribute(substituted, "FLDPX"))));
  EXPECT_EQ(childCount(select(doc, "/KAVRIN")[0]), 1) << "comments and instructions are skipped";
}

TEST_F(DomFileTest, DeeplyNestedInputIsRefused) {
  std::string deep;
  for (int i = 0; i < 1200; ++i) deep += "<a>";
  for (int i = 0; i < 1200; ++i) deep += "</a>";
  EXPECT_FALSE(loadXml(deep));
  EXPECT_NE(parseFailure(doc).reason.find("nested"), std::string::npos);
  std::string fine;
  for (int i = 0; i < 900; ++i) fine += "<a>";
  for (int i = 0; i < 900; ++i) fine += "</a>";
  EXPECT_TRUE(loadXml(fine));
}

}  // namespace
