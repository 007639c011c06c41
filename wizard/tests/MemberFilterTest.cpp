// The member filters: the tab with its two pages, the global switches and what they do to the
// member lists, and the local member tree whose check boxes keep the class's excluded members.
#include "FilterDlg.h"
#include "GlobalFilterPage.h"
#include "LocalFilterPage.h"
#include "PagesTestSupport.h"
#include "ProxyGenerator.h"
#include "WizardResources.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <set>
#include <strings.h>

using namespace pagestest;

namespace {

typedef std::set<std::string> Keys;

class MemberFilterTest : public PagesTest {
 protected:
  // The page is made once the resources are registered, as the generator dialog makes it.
  void open() {
    pagePtr = std::make_unique<CFilterDlg>();
    page().SetFilterData(&filter, &classes);
    host(page(), IDD_FILTER_DIALOG);
    global = static_cast<CGlobalFilterPage*>(page().m_tab.m_pages[0]);
    local = static_cast<CLocalFilterPage*>(page().m_tab.m_pages[1]);
  }
  // The local tab, clicked afresh (from the global tab when it is already shown).
  void showLocal() {
    if (ui::tabState(page().m_tab.m_hWnd).selection == 1) {
      ASSERT_TRUE(ui::clickTab(page().m_tab.m_hWnd, 0));
    }
    ASSERT_TRUE(ui::clickTab(page().m_tab.m_hWnd, 1));
    classList = paneWindow(local->m_splitter, 0);
    tree = paneWindow(local->m_splitter, 1);
  }
  HWND control(int id) const { return ::GetDlgItem(global->m_hWnd, id); }
  void chooseClass(const std::string& name) {
    std::vector<std::string> texts = rowTexts(classList);
    for (size_t i = 0; i < texts.size(); ++i) {
      if (texts[i] == name) {
        ASSERT_TRUE(ui::clickListItem(classList, static_cast<int>(i)));
        return;
      }
    }
    FAIL() << name << " is not listed";
  }
  // Expands a group, as the user does with its button.
  void expand(const std::string& group) {
    if (!treeItem(tree, group).expanded) {
      ASSERT_TRUE(ui::clickTreeItem(tree, treeItem(tree, group).handle, ui::TreePart::Button));
    }
  }
  // A click on the item's check box; the page hears of it once the posted message runs.
  void clickBox(const std::string& text) {
    ASSERT_TRUE(ui::clickTreeItem(tree, treeItem(tree, text).handle, ui::TreePart::StateIcon));
    ui::pumpMessages();
  }
  bool checked(const std::string& text) { return treeItem(tree, text).checked; }
  bool anyChecked(const std::string& group, bool wanted) {
    for (const ui::TreeItemState& item : ui::treeState(tree).items) {
      if (item.parent == treeItem(tree, group).handle && item.checked == wanted) return true;
    }
    return false;
  }

  CFilterDlg& page() { return *pagePtr; }

  std::unique_ptr<CFilterDlg> pagePtr;
  CGlobalFilterPage* global = nullptr;
  CLocalFilterPage* local = nullptr;
  HWND classList = nullptr;
  HWND tree = nullptr;
};

TEST_F(MemberFilterTest, TabsShowOnePageAtATimeInTheDisplayAreaAndRefreshIt) {
  addClass("wizard.MemberSample");
  ClassSettings& implemented = addClass("fixtures.Named", 1);
  implemented.bIsInterfaceIml = true;
  addClass("fixtures.Sized", 1);
  open();

  ui::TabState tabs = ui::tabState(page().m_tab.m_hWnd);
  EXPECT_EQ(tabs.items, (std::vector<std::string>{"Global", "Local"}));
  EXPECT_EQ(tabs.selection, 0);
  EXPECT_TRUE(global->IsWindowVisible());
  EXPECT_FALSE(local->IsWindowVisible());
  EXPECT_EQ(::GetParent(global->m_hWnd), page().m_hWnd) << "the pages are children of the filter page";
  CRect area;
  page().m_tab.GetClientRect(&area);
  page().m_tab.AdjustRect(FALSE, &area);
  page().m_tab.ClientToScreen(&area);
  CRect placed;
  global->GetWindowRect(&placed);
  EXPECT_EQ(placed, area);

  ui::startMessageLog();
  showLocal();
  ui::stopMessageLog();
  EXPECT_FALSE(global->IsWindowVisible());
  EXPECT_TRUE(local->IsWindowVisible());
  local->GetWindowRect(&placed);
  EXPECT_EQ(placed, area);
  bool refreshed = false;
  for (const ui::LoggedMessage& m : ui::messageLog())
    refreshed = refreshed || (m.window == local->m_hWnd && m.message == WM_REFRESH_PAGE);
  EXPECT_TRUE(refreshed);

  // An implemented interface gets no proxy: it has no members to filter.
  EXPECT_EQ(rowTexts(classList), (std::vector<std::string>{"fixtures.Sized", "wizard.MemberSample"}));
  EXPECT_EQ(rowImages(classList), (std::vector<int>{kImageInterface, kImageClass}));
  EXPECT_EQ(ui::listState(classList).columns.at(0).text, "Classes");
  EXPECT_TRUE(ui::windowState(tree).style & TVS_CHECKBOXES);

  // Back to the global tab; then the local tab again lists the classes afresh, tree emptied.
  chooseClass("wizard.MemberSample");
  EXPECT_FALSE(ui::treeState(tree).items.empty());
  implemented.bIsInterfaceIml = false;
  ASSERT_TRUE(ui::clickTab(page().m_tab.m_hWnd, 0));
  EXPECT_TRUE(global->IsWindowVisible());
  EXPECT_FALSE(local->IsWindowVisible());
  showLocal();
  EXPECT_EQ(rowTexts(classList), (std::vector<std::string>{"fixtures.Named", "fixtures.Sized", "wizard.MemberSample"}));
  EXPECT_TRUE(ui::treeState(tree).items.empty());
  EXPECT_TRUE(ui::comboState(local->m_memberCombo.m_hWnd).items.empty());
}

TEST_F(MemberFilterTest, GlobalSwitchesGoToTheModelAndTheGeneratorAtOnce) {
  filter.methods_bAll = false;
  filter.methods_bExcludeInherited = true;
  filter.fields_bExcludePrivate = true;
  open();
  EXPECT_EQ(ui::buttonCheck(control(IDC_FIELDS_ALL)), BST_CHECKED);
  EXPECT_EQ(ui::buttonCheck(control(IDC_METHODS_ALL)), BST_UNCHECKED);
  EXPECT_EQ(ui::buttonCheck(control(IDC_METHODS_EXCEPT_INHERITED)), BST_CHECKED);
  EXPECT_EQ(ui::buttonCheck(control(IDC_FIELDS_PRIVATE)), BST_CHECKED);
  EXPECT_EQ(ui::buttonCheck(control(IDC_METHODS_PRIVATE)), BST_UNCHECKED);

  ASSERT_TRUE(ui::clickButton(control(IDC_FIELDS_EXCEPT_INHERITED)));
  EXPECT_FALSE(filter.fields_bAll);
  EXPECT_TRUE(filter.fields_bExcludeInherited);
  EXPECT_TRUE(fieldsExcludeInherited);
  ASSERT_TRUE(ui::clickButton(control(IDC_METHODS_ALL)));
  EXPECT_TRUE(filter.methods_bAll);
  EXPECT_FALSE(filter.methods_bExcludeInherited);
  EXPECT_FALSE(methodsExcludeInherited);

  struct Box {
    int id;
    bool GlobalFilter::*model;
    bool* generator;
  };
  for (const Box& box :
       {Box{IDC_FIELDS_DEFAULT, &GlobalFilter::fields_bExcludeRegular, &fieldsExcludeRegular},
        Box{IDC_FIELDS_PRIVATE, &GlobalFilter::fields_bExcludePrivate, &fieldsExcludePrivate},
        Box{IDC_FIELDS_PROTECTED, &GlobalFilter::fields_bExcludeProtected, &fieldsExcludeProtected},
        Box{IDC_METHODS_DEFAULT, &GlobalFilter::methods_bExcludeRegular, &methodsExcludeRegular},
        Box{IDC_METHODS_PRIVATE, &GlobalFilter::methods_bExcludePrivate, &methodsExcludePrivate},
        Box{IDC_METHODS_PROTECTED, &GlobalFilter::methods_bExcludeProtected, &methodsExcludeProtected}}) {
    bool before = filter.*box.model;
    ASSERT_TRUE(ui::clickButton(control(box.id)));
    EXPECT_EQ(filter.*box.model, !before) << box.id;
    EXPECT_EQ(*box.generator, !before) << box.id;
    ASSERT_TRUE(ui::clickButton(control(box.id)));
    EXPECT_EQ(filter.*box.model, before) << box.id;
    EXPECT_EQ(*box.generator, before) << box.id;
  }
  EXPECT_EQ(global->SendMessage(WM_REFRESH_PAGE), 0);
}

TEST_F(MemberFilterTest, AnInconsistentFilterIsResetToTheDefaultsEverywhereWhenShown) {
  filter.fields_bAll = true;
  filter.fields_bExcludeInherited = true;
  filter.methods_bExcludePrivate = true;
  filter.fields_bExcludeRegular = true;
  setMethodsExcludePrivate(true);
  setFieldsExcludeRegular(true);
  open();

  GlobalFilter defaults;
  EXPECT_EQ(std::memcmp(&filter, &defaults, sizeof filter), 0) << "every switch back to its default";
  EXPECT_FALSE(methodsExcludePrivate) << "the generator follows the model";
  EXPECT_FALSE(fieldsExcludeRegular);
  EXPECT_EQ(ui::buttonCheck(control(IDC_FIELDS_ALL)), BST_CHECKED);
  EXPECT_EQ(ui::buttonCheck(control(IDC_FIELDS_EXCEPT_INHERITED)), BST_UNCHECKED);
  EXPECT_EQ(ui::buttonCheck(control(IDC_METHODS_ALL)), BST_CHECKED);
  EXPECT_EQ(ui::buttonCheck(control(IDC_METHODS_PRIVATE)), BST_UNCHECKED) << "the controls show the model";
  EXPECT_EQ(ui::buttonCheck(control(IDC_FIELDS_DEFAULT)), BST_UNCHECKED);
}

TEST_F(MemberFilterTest, MemberTreeListsTheGroupsWithEveryMemberCheckedAndTheNamesInTheCombo) {
  addClass("wizard.MemberSample");
  open();
  showLocal();
  chooseClass("wizard.MemberSample");

  ui::TreeItemState root = treeItem(tree, "Use Global Filter");
  EXPECT_EQ(root.depth, 0);
  EXPECT_TRUE(root.checked) << "the class uses the global filter";
  EXPECT_TRUE(root.expanded);
  EXPECT_EQ(childTexts(tree, "Use Global Filter"),
            (std::vector<std::string>{"Constants", "Fields", "Constructors", "Methods"}));
  EXPECT_EQ(childTexts(tree, "Constants"),
            (std::vector<std::string>{"private static final long SECRET;", "public static final int LIMIT;"}));
  EXPECT_EQ(
      childTexts(tree, "Constructors"),
      (std::vector<std::string>{"private wizard.MemberSample(boolean p0);", "protected wizard.MemberSample(int p0);",
                                "public wizard.MemberSample(java.lang.String p0);", "wizard.MemberSample();"}));
  EXPECT_EQ(childTexts(tree, "Fields").size(), 6u);
  EXPECT_EQ(childTexts(tree, "Methods").size(), 11u + 9u) << "java.lang.Object's public methods too";
  for (const ui::TreeItemState& item : ui::treeState(tree).items) EXPECT_TRUE(item.checked) << item.text;
  EXPECT_TRUE(classes["wizard.MemberSample"].members.empty());

  // One combo entry per name: the overloads of add share one, the constructors another.
  std::vector<std::string> names = ui::comboState(local->m_memberCombo.m_hWnd).items;
  EXPECT_EQ(std::count(names.begin(), names.end(), "add(...)"), 1);
  EXPECT_EQ(std::count(names.begin(), names.end(), "wizard.MemberSample(...)"), 1);
  EXPECT_EQ(std::count(names.begin(), names.end(), "LIMIT"), 1);
  EXPECT_EQ(names.size(), 2u + 6u + 1u + 10u + 7u);
  EXPECT_TRUE(std::is_sorted(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
    return strcasecmp(a.c_str(), b.c_str()) < 0;
  }));

  // Choosing a name brings its first member to the top of the tree, selected.
  ASSERT_TRUE(ui::chooseComboItem(local->m_memberCombo.m_hWnd, "add(...)"));
  ui::pumpMessages();
  ui::TreeState state = ui::treeState(tree);
  HTREEITEM first = treeItem(tree, "public void add(int p0);").handle;
  EXPECT_EQ(state.selected, first);
  EXPECT_EQ(state.firstVisible, first);
  EXPECT_EQ(local->m_memberIndex, ui::comboState(local->m_memberCombo.m_hWnd).selection);
}

TEST_F(MemberFilterTest, UncheckingAMemberExcludesItsKeyAndCheckingItIncludesItAgain) {
  addClass("wizard.MemberSample");
  open();
  showLocal();
  chooseClass("wizard.MemberSample");
  expand("Methods");

  clickBox("public int size();");
  EXPECT_EQ(classes["wizard.MemberSample"].members, (Keys{"size()I"}));
  EXPECT_FALSE(checked("public int size();"));
  EXPECT_FALSE(checked("Methods")) << "a group with an excluded member is unchecked";
  clickBox("public void add(java.lang.String p0);");
  EXPECT_EQ(classes["wizard.MemberSample"].members, (Keys{"size()I", "add(Ljava/lang/String;)V"}));

  clickBox("public int size();");
  EXPECT_EQ(classes["wizard.MemberSample"].members, (Keys{"add(Ljava/lang/String;)V"}));
  EXPECT_FALSE(checked("Methods"));
  clickBox("public void add(java.lang.String p0);");
  EXPECT_TRUE(classes["wizard.MemberSample"].members.empty());
  EXPECT_TRUE(checked("Methods")) << "all members checked: the group is checked again";

  // The exclusions stay with the class: choosing it again shows them unchecked.
  expand("Constructors");
  clickBox("wizard.MemberSample();");
  EXPECT_EQ(classes["wizard.MemberSample"].members, (Keys{"<init>()V"}));
  addClass("wizard.OnlyNative");
  showLocal();
  chooseClass("wizard.OnlyNative");
  chooseClass("wizard.MemberSample");
  EXPECT_FALSE(checked("wizard.MemberSample();"));
  EXPECT_FALSE(checked("Constructors"));
  EXPECT_TRUE(checked("Methods"));
  EXPECT_EQ(classes["wizard.MemberSample"].members, (Keys{"<init>()V"}));
}

TEST_F(MemberFilterTest, UncheckingAGroupExcludesEveryMemberShownAndCheckingItIncludesThem) {
  addClass("wizard.MemberSample");
  open();
  showLocal();
  chooseClass("wizard.MemberSample");

  clickBox("Fields");
  Keys fields{"hiddenZ", "countI", "baseProtectedLjava/lang/String;", "baseFieldI", "nameLjava/lang/String;", "ratioD"};
  EXPECT_EQ(classes["wizard.MemberSample"].members, fields);
  EXPECT_FALSE(anyChecked("Fields", true));
  EXPECT_TRUE(checked("Use Global Filter"));

  clickBox("Constants");
  Keys all = fields;
  all.insert({"SECRETJ", "LIMITI"});
  EXPECT_EQ(classes["wizard.MemberSample"].members, all);

  clickBox("Fields");
  EXPECT_EQ(classes["wizard.MemberSample"].members, (Keys{"SECRETJ", "LIMITI"}));
  EXPECT_FALSE(anyChecked("Fields", false));
  EXPECT_TRUE(checked("Fields"));
}

TEST_F(MemberFilterTest, TogglingUseGlobalFilterClearsTheExclusionsAndRelistsTheMembers) {
  addClass("wizard.MemberSample");
  open();
  ASSERT_TRUE(ui::clickButton(control(IDC_METHODS_PRIVATE)));
  showLocal();
  chooseClass("wizard.MemberSample");
  EXPECT_FALSE(hasTreeItem(tree, "private static long helper();")) << "the global switch applies to the class";
  expand("Methods");
  clickBox("public int size();");
  ASSERT_FALSE(classes["wizard.MemberSample"].members.empty());

  clickBox("Use Global Filter");
  EXPECT_FALSE(classes["wizard.MemberSample"].bUseGlobalFilter);
  EXPECT_TRUE(classes["wizard.MemberSample"].members.empty());
  EXPECT_TRUE(hasTreeItem(tree, "private static long helper();"));
  EXPECT_FALSE(checked("Use Global Filter"));
  EXPECT_TRUE(checked("public int size();"));
  EXPECT_TRUE(checked("Methods"));

  clickBox("Use Global Filter");
  EXPECT_TRUE(classes["wizard.MemberSample"].bUseGlobalFilter);
  EXPECT_TRUE(checked("Use Global Filter"));
  EXPECT_FALSE(hasTreeItem(tree, "private static long helper();"));
}

TEST_F(MemberFilterTest, AnExclusionHiddenByTheGlobalSwitchesStaysWhenSiblingsChange) {
  addClass("wizard.MemberSample");
  open();
  showLocal();
  chooseClass("wizard.MemberSample");
  expand("Methods");
  clickBox("private static long helper();");
  ASSERT_EQ(classes["wizard.MemberSample"].members, (Keys{"helper()J"}));

  ASSERT_TRUE(ui::clickTab(page().m_tab.m_hWnd, 0));
  ASSERT_TRUE(ui::clickButton(control(IDC_METHODS_PRIVATE)));
  showLocal();
  chooseClass("wizard.MemberSample");
  EXPECT_FALSE(hasTreeItem(tree, "private static long helper();"));
  EXPECT_TRUE(checked("Methods")) << "every member shown is included";
  expand("Methods");
  clickBox("public int size();");
  clickBox("public int size();");
  EXPECT_EQ(classes["wizard.MemberSample"].members, (Keys{"helper()J"}));
}

TEST_F(MemberFilterTest, ImplementedNativesAreNotShownAndUnloadableClassesShowOnlyTheRoot) {
  ClassSettings& sample = addClass("wizard.MemberSample", 0, true);
  sample.bIsMethodsIml = true;
  ClassSettings& onlyNative = addClass("wizard.OnlyNative", 0, true);
  onlyNative.bIsMethodsIml = true;
  addClass("wizard.NoSuchClass");
  open();
  showLocal();

  chooseClass("wizard.MemberSample");
  std::vector<std::string> methods = childTexts(tree, "Methods");
  EXPECT_EQ(methods.size(), 9u + 9u);
  EXPECT_EQ(std::count(methods.begin(), methods.end(), "public native void nativeCall(int p0);"), 0);
  EXPECT_EQ(std::count(methods.begin(), methods.end(), "private native static long nativeStatic();"), 0);
  std::vector<std::string> names = ui::comboState(local->m_memberCombo.m_hWnd).items;
  EXPECT_EQ(std::count(names.begin(), names.end(), "nativeCall(...)"), 0);

  // A class whose only method is an implemented native has no "Methods" group at all.
  setMethodsExcludeInherited(true);
  chooseClass("wizard.OnlyNative");
  EXPECT_EQ(childTexts(tree, "Use Global Filter"), (std::vector<std::string>{"Constructors"}));
  onlyNative.bIsMethodsIml = false;
  chooseClass("wizard.MemberSample");
  chooseClass("wizard.OnlyNative");
  EXPECT_EQ(childTexts(tree, "Methods"), (std::vector<std::string>{"public native int compute(int p0);"}));

  chooseClass("wizard.NoSuchClass");
  EXPECT_EQ(ui::treeState(tree).items.size(), 1u);
  EXPECT_TRUE(ui::messageBoxRecords().empty());
}

TEST_F(MemberFilterTest, AClickPostedForATreeSinceRebuiltIsDropped) {
  addClass("wizard.MemberSample");
  open();
  showLocal();
  chooseClass("wizard.MemberSample");
  HTREEITEM old = treeItem(tree, "Fields").handle;
  local->FillClassList(0, 0);
  EXPECT_TRUE(ui::treeState(tree).items.empty());
  local->PostMessage(WM_MEMBER_CLICKED, reinterpret_cast<WPARAM>(old), 0);
  ui::pumpMessages();
  EXPECT_TRUE(classes["wizard.MemberSample"].members.empty());
}

}  // namespace

namespace {

CRect rectIn(const CWnd& parent, const CWnd& child) {
  CRect rect;
  child.GetWindowRect(&rect);
  parent.ScreenToClient(&rect);
  return rect;
}

TEST_F(MemberFilterTest, LayoutKeepsTheTabUnderTheDescriptionAndTheMemberNamesAtTheBottom) {
  open();
  showLocal();
  page().MoveWindow(0, 0, 520, 440);
  CRect description = rectIn(page(), page().m_staticDescription);
  CRect tab = rectIn(page(), page().m_tab);
  EXPECT_EQ(description.right, 520);
  EXPECT_EQ(tab.top, description.bottom + 5);
  EXPECT_EQ(tab.right, 520);
  EXPECT_EQ(tab.bottom, 440);

  // The local page fills the tab's display area; its combo box keeps to the bottom right, its
  // label beside it, and the panes fill the rest down to six pixels above the combo box.
  CRect client;
  local->GetClientRect(&client);
  CRect combo = rectIn(*local, local->m_memberCombo);
  CRect label = rectIn(*local, local->m_staticSelect);
  CRect frame = rectIn(*local, *local->m_pFrame);
  EXPECT_EQ(combo.bottom, client.bottom - 3);
  EXPECT_EQ(combo.right, client.right);
  EXPECT_LT(label.right, combo.left);
  EXPECT_GT(label.bottom, combo.top);
  EXPECT_EQ(frame.left, 0);
  EXPECT_EQ(frame.right, client.right);
  EXPECT_EQ(frame.bottom, combo.top - 6);

  page().UpdateWindow();
  local->UpdateWindow();
  ui::pumpMessages();
  for (HWND text : {page().m_staticDescription.m_hWnd, local->m_staticCaption.m_hWnd}) {
    ui::FontState font = ui::fontState(ui::windowState(text).font);
    EXPECT_TRUE(font.alive);
    EXPECT_STREQ(font.logFont.lfFaceName, "Times New Roman");
    EXPECT_EQ(font.logFont.lfHeight, -12);
  }
}

}  // namespace
