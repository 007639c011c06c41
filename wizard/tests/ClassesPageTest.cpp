// The classes page: the selected classes in the left pane, and the members of the class chosen
// there in the right pane, group by group with an image for kind, static and access.
#include "ClassesPage.h"
#include "PagesTestSupport.h"
#include "ProxyGenerator.h"
#include "WizardResources.h"

#include <algorithm>
#include <memory>
#include <utility>

using namespace pagestest;

namespace {

typedef std::vector<std::pair<std::string, int>> Rows;

Rows rows(HWND list) {
  Rows out;
  std::vector<std::string> texts = rowTexts(list);
  std::vector<int> images = rowImages(list);
  for (size_t i = 0; i < texts.size(); ++i) out.emplace_back(texts[i], images[i]);
  return out;
}

class ClassesPageTest : public PagesTest {
 protected:
  // The page is made once the resources are registered, as the generator dialog makes it.
  void open() {
    pagePtr = std::make_unique<CClassesPage>();
    pagePtr->SetClassData(&classes, &filter);
    host(page(), IDD_CLASSES_PAGE);
    left = paneWindow(page().m_splitter, 0);
    right = paneWindow(page().m_splitter, 1);
  }
  CClassesPage& page() { return *pagePtr; }
  int rowOf(const std::string& name) {
    std::vector<std::string> texts = rowTexts(left);
    for (size_t i = 0; i < texts.size(); ++i) {
      if (texts[i] == name) return static_cast<int>(i);
    }
    return -1;
  }
  Rows membersOf(const std::string& name) {
    EXPECT_TRUE(ui::clickListItem(left, rowOf(name)));
    return rows(right);
  }

  std::unique_ptr<CClassesPage> pagePtr;
  HWND left = nullptr;
  HWND right = nullptr;
};

// Everything wizard.MemberSample declares and inherits from MemberSampleBase and, two levels up,
// from java.lang.Object (its public methods only), as listed with the global switches off:
// constants, fields, constructors, methods, each group in line order.
const Rows kMemberSampleRows = {
    {"private static final long SECRET;", kImageStaticField + kAccessPrivate},
    {"public static final int LIMIT;", kImageStaticField + kAccessPublic},
    {"private boolean hidden;", kImageField + kAccessPrivate},
    {"protected int count;", kImageField + kAccessProtected},
    {"protected java.lang.String baseProtected;", kImageField + kAccessProtected},
    {"public int baseField;", kImageField + kAccessPublic},
    {"public java.lang.String name;", kImageField + kAccessPublic},
    {"static double ratio;", kImageStaticField + kAccessPackage},
    {"private wizard.MemberSample(boolean p0);", kImageConstructor + kAccessPrivate},
    {"protected wizard.MemberSample(int p0);", kImageConstructor + kAccessProtected},
    {"public wizard.MemberSample(java.lang.String p0);", kImageConstructor + kAccessPublic},
    {"wizard.MemberSample();", kImageConstructor + kAccessPackage},
    {"int packageMethod();", kImageMethod + kAccessPackage},
    {"private native static long nativeStatic();", kImageStaticMethod + kAccessPrivate},
    {"private static long helper();", kImageStaticMethod + kAccessPrivate},
    {"protected java.lang.String label();", kImageMethod + kAccessProtected},
    {"protected void baseProtectedMethod();", kImageMethod + kAccessProtected},
    {"public boolean equals(java.lang.Object p0);", kImageMethod + kAccessPublic},
    {"public final java.lang.Class getClass();", kImageMethod + kAccessPublic},
    {"public final void notify();", kImageMethod + kAccessPublic},
    {"public final void notifyAll();", kImageMethod + kAccessPublic},
    {"public final void wait();", kImageMethod + kAccessPublic},
    {"public final void wait(long p0);", kImageMethod + kAccessPublic},
    {"public final void wait(long p0, int p1);", kImageMethod + kAccessPublic},
    {"public int hashCode();", kImageMethod + kAccessPublic},
    {"public int size();", kImageMethod + kAccessPublic},
    {"public java.lang.String baseMethod();", kImageMethod + kAccessPublic},
    {"public java.lang.String toString();", kImageMethod + kAccessPublic},
    {"public native void nativeCall(int p0);", kImageMethod + kAccessPublic},
    {"public static wizard.MemberSample create();", kImageStaticMethod + kAccessPublic},
    {"public void add(int p0);", kImageMethod + kAccessPublic},
    {"public void add(java.lang.String p0);", kImageMethod + kAccessPublic},
};

TEST_F(ClassesPageTest, ClassPaneListsTheClassesInMapOrderWithClassAndInterfaceImages) {
  addClass("wizard.MemberSample");
  addClass("fixtures.Named", 1);
  addClass("fixtures.Overloads");
  open();

  EXPECT_EQ(rows(left), (Rows{{"fixtures.Named", kImageInterface},
                              {"fixtures.Overloads", kImageClass},
                              {"wizard.MemberSample", kImageClass}}));
  ui::ListState classesState = ui::listState(left);
  ASSERT_EQ(classesState.columns.size(), 1u);
  EXPECT_EQ(classesState.columns[0].text, "Names");
  EXPECT_EQ(classesState.columns[0].width, 400);
  EXPECT_TRUE(classesState.extendedStyle & LVS_EX_FULLROWSELECT);
  EXPECT_EQ(classesState.smallImages, page().m_images.GetSafeHandle());
  ui::ImageListState images = ui::imageListState(page().m_images.GetSafeHandle());
  EXPECT_EQ(images.count, 26);
  EXPECT_EQ(images.cx, 16);
  EXPECT_EQ(images.mask, RGB(192, 192, 192));
  DWORD style = ui::windowState(left).style;
  EXPECT_EQ(style & LVS_TYPEMASK, LVS_REPORT);
  EXPECT_TRUE(style & LVS_SINGLESEL);
  EXPECT_TRUE(style & LVS_SHOWSELALWAYS);
  EXPECT_TRUE(style & LVS_NOSORTHEADER);

  ui::ListState membersState = ui::listState(right);
  ASSERT_EQ(membersState.columns.size(), 1u);
  EXPECT_EQ(membersState.columns[0].text, "Members");
  EXPECT_EQ(membersState.smallImages, page().m_images.GetSafeHandle());
  EXPECT_TRUE(membersState.items.empty());

  // The frame with the two panes starts where the template's marker does and fills the page
  // below it.
  CRect frame, marker, client;
  page().m_pFrame->GetWindowRect(&frame);
  page().ScreenToClient(&frame);
  page().GetDlgItem(IDC_FRAME_PLACE)->GetWindowRect(&marker);
  page().ScreenToClient(&marker);
  page().GetClientRect(&client);
  EXPECT_EQ(frame, CRect(0, marker.top, client.right, client.bottom));
  EXPECT_TRUE(ui::windowState(left).visible);
  EXPECT_EQ(ui::windowState(left).rect.right - ui::windowState(left).rect.left, 250);
}

TEST_F(ClassesPageTest, SelectingAClassListsItsMembersGroupByGroupWithKindAccessAndStaticImages) {
  addClass("fixtures.Named", 1);
  addClass("wizard.MemberSample");
  open();

  ui::startMessageLog();
  ASSERT_TRUE(ui::clickListItem(left, 1));
  ui::stopMessageLog();
  std::vector<std::pair<WPARAM, LPARAM>> changes;
  for (const ui::LoggedMessage& m : ui::messageLog()) {
    if (m.window == page().m_hWnd && m.message == WM_CLASS_LIST_CHANGED) changes.emplace_back(m.wParam, m.lParam);
  }
  ASSERT_FALSE(changes.empty()) << "the pane tells the page of the change";
  for (const auto& change : changes) {
    EXPECT_EQ(change.first, 1u);
    EXPECT_EQ(reinterpret_cast<HWND>(change.second), left);
  }
  EXPECT_EQ(rows(right), kMemberSampleRows);

  // The interface's constant is a field of type String; its methods come first.
  Rows named = membersOf("fixtures.Named");
  ASSERT_GE(named.size(), 2u);
  EXPECT_EQ(named[0], (std::make_pair(std::string("public static final java.lang.String DEFAULT_NAME;"),
                                      kImageStaticField + kAccessPublic)));
  EXPECT_EQ(named[1].second, kImageMethod + kAccessProtected) << named[1].first;
  EXPECT_NE(
      std::find(named.begin(), named.end(),
                std::make_pair(std::string("public abstract java.lang.String name();"), kImageMethod + kAccessPublic)),
      named.end());
}

TEST_F(ClassesPageTest, ExcludedMembersAndTheClassFilterSwitchShapeTheMemberPane) {
  ClassSettings& sample = addClass("wizard.MemberSample");
  sample.members = {"size()I", "countI", "<init>()V"};
  ClassSettings& free = addClass("wizard.MemberSampleBase");
  free.bUseGlobalFilter = false;
  setMethodsExcludeProtected(true);
  setMethodsExcludeInherited(true);
  open();

  Rows listed = membersOf("wizard.MemberSample");
  auto listedText = [&](const std::string& text) {
    for (const auto& row : listed) {
      if (row.first == text) return true;
    }
    return false;
  };
  for (const char* gone : {"public int size();", "protected int count;", "wizard.MemberSample();",
                           "protected java.lang.String label();", "public java.lang.String baseMethod();"}) {
    EXPECT_FALSE(listedText(gone)) << gone;
  }
  for (const char* kept : {"public void add(int p0);", "public wizard.MemberSample(java.lang.String p0);",
                           "public int baseField;", "private static long helper();"}) {
    EXPECT_TRUE(listedText(kept)) << kept;
  }

  // A class that does not use the global filter lists all it has, inherited methods too.
  Rows base = membersOf("wizard.MemberSampleBase");
  ASSERT_EQ(base.size(), 16u);
  EXPECT_EQ(Rows(base.begin(), base.begin() + 5),
            (Rows{{"protected java.lang.String baseProtected;", kImageField + kAccessProtected},
                  {"public int baseField;", kImageField + kAccessPublic},
                  {"public wizard.MemberSampleBase();", kImageConstructor + kAccessPublic},
                  {"protected java.lang.Object clone();", kImageMethod + kAccessProtected},
                  {"protected void baseProtectedMethod();", kImageMethod + kAccessProtected}}));
  EXPECT_EQ(classes.size(), 2u) << "the page changes nothing in the model";
  EXPECT_EQ(sample.members.size(), 3u);
}

TEST_F(ClassesPageTest, EmptyMapMissingClassesAndOtherPanesChangeNothing) {
  open();
  EXPECT_TRUE(rowTexts(left).empty());
  // An item change reported for the empty class pane, or by the member pane, lists nothing.
  page().SendMessage(WM_CLASS_LIST_CHANGED, 0, reinterpret_cast<LPARAM>(left));
  page().SendMessage(WM_CLASS_LIST_CHANGED, 0, reinterpret_cast<LPARAM>(right));
  EXPECT_TRUE(rowTexts(right).empty());

  // A class whose class file is nowhere lists no members and shows no message.
  addClass("wizard.NoSuchClass");
  addClass("wizard.OnlyNative");
  page().ShowWindow(SW_HIDE);
  page().ShowWindow(SW_SHOW);
  EXPECT_EQ(rowTexts(left), (std::vector<std::string>{"wizard.NoSuchClass", "wizard.OnlyNative"}));
  EXPECT_FALSE(membersOf("wizard.OnlyNative").empty());
  EXPECT_TRUE(membersOf("wizard.NoSuchClass").empty());
  EXPECT_TRUE(ui::messageBoxRecords().empty());

  // A row beyond the list, or a message from the member pane, leaves the members as they are.
  ASSERT_TRUE(ui::clickListItem(left, rowOf("wizard.OnlyNative")));
  Rows shown = rows(right);
  page().SendMessage(WM_CLASS_LIST_CHANGED, 7, reinterpret_cast<LPARAM>(left));
  page().SendMessage(WM_CLASS_LIST_CHANGED, 0, reinterpret_cast<LPARAM>(right));
  EXPECT_EQ(rows(right), shown);
}

TEST_F(ClassesPageTest, ShowingThePageAgainRelistsTheClassesAndEmptiesTheMemberPane) {
  addClass("wizard.MemberSample");
  open();
  EXPECT_FALSE(membersOf("wizard.MemberSample").empty());

  addClass("fixtures.Sized", 1);
  page().ShowWindow(SW_HIDE);
  page().ShowWindow(SW_SHOW);
  EXPECT_EQ(rows(left), (Rows{{"fixtures.Sized", kImageInterface}, {"wizard.MemberSample", kImageClass}}));
  EXPECT_TRUE(rowTexts(right).empty());

  // The dialog hands the model over once the page exists: the class pane follows at once.
  ClassSettingsMap other;
  other["wizard.OnlyNative"];
  page().SetClassData(&other, &filter);
  EXPECT_EQ(rowTexts(left), (std::vector<std::string>{"wizard.OnlyNative"}));
}

TEST_F(ClassesPageTest, LayoutFollowsThePageSizeAndStaticsGetTheCaptionFont) {
  open();
  page().MoveWindow(0, 0, 500, 420);
  CRect client, frame, description;
  page().GetClientRect(&client);
  page().m_pFrame->GetWindowRect(&frame);
  page().ScreenToClient(&frame);
  page().m_staticDescription.GetWindowRect(&description);
  page().ScreenToClient(&description);
  EXPECT_EQ(frame.left, 0);
  EXPECT_EQ(frame.right, 500);
  EXPECT_EQ(frame.bottom, 420);
  EXPECT_EQ(description.right, 500);

  page().UpdateWindow();
  ui::pumpMessages();
  for (CWnd* statics : {static_cast<CWnd*>(&page().m_staticDescription), static_cast<CWnd*>(&page().m_staticCaption)}) {
    ui::FontState font = ui::fontState(ui::windowState(statics->m_hWnd).font);
    EXPECT_TRUE(font.alive);
    EXPECT_STREQ(font.logFont.lfFaceName, "Times New Roman");
    EXPECT_EQ(font.logFont.lfHeight, -12);
  }
}

}  // namespace
