// The check-list pages: native methods, interfaces and delegators. Each lists its classes and
// a click on a row's check box sets the class's flag to the state the box takes.
#include "DelegatorsPage.h"
#include "FilterDlg.h"
#include "InterfacesPage.h"
#include "LocalFilterPage.h"
#include "NativesPage.h"
#include "PagesTestSupport.h"
#include "WizardResources.h"

#include <set>

using namespace pagestest;

namespace {

class CheckListPagesTest : public PagesTest {
 protected:
  void SetUp() override {
    PagesTest::SetUp();
    ClassSettings& sample = addClass("wizard.MemberSample", 0, true);
    sample.bIsDelegatorIml = true;
    ClassSettings& onlyNative = addClass("wizard.OnlyNative", 0, true);
    onlyNative.bIsMethodsIml = true;
    addClass("fixtures.Overloads");
    addClass("fixtures.Named", 1);
    ClassSettings& sized = addClass("fixtures.Sized", 1);
    sized.bIsInterfaceIml = true;
  }
  // Hands the page the classes and shows it; its list.
  HWND open(CCheckListPage& page, UINT templateId) {
    page.SetClassSettings(&classes);
    host(page, templateId);
    return page.m_listClasses.m_hWnd;
  }
  // Shows the page again, as a switch to it in the page tree does.
  static void reshow(CDialog& page) {
    page.ShowWindow(SW_HIDE);
    page.ShowWindow(SW_SHOW);
  }
};

TEST_F(CheckListPagesTest, NativesPageListsTheClassesWithNativeMethodsAndSwitchesTheirSkeletons) {
  CNativesPage natives;
  HWND list = open(natives, IDD_NATIVES_PAGE);
  EXPECT_EQ(rowTexts(list), (std::vector<std::string>{"wizard.MemberSample", "wizard.OnlyNative"}));
  EXPECT_EQ(rowChecks(list), (std::vector<bool>{false, true}));
  ui::ListState state = ui::listState(list);
  ASSERT_EQ(state.columns.size(), 1u);
  EXPECT_EQ(state.columns[0].text, "Class Name");
  EXPECT_EQ(state.columns[0].width, 528);
  EXPECT_TRUE(state.extendedStyle & LVS_EX_CHECKBOXES);
  EXPECT_TRUE(state.extendedStyle & LVS_EX_FULLROWSELECT);

  // Only a click on the box counts; the box toggles itself and the flag follows it.
  ASSERT_TRUE(ui::clickListItem(list, 0, ui::ListPart::Label));
  EXPECT_FALSE(classes["wizard.MemberSample"].bIsMethodsIml);
  ASSERT_TRUE(ui::clickListItem(list, 0, ui::ListPart::StateIcon));
  EXPECT_TRUE(classes["wizard.MemberSample"].bIsMethodsIml);
  EXPECT_EQ(rowChecks(list), (std::vector<bool>{true, true}));
  ASSERT_TRUE(ui::clickListItem(list, 1, ui::ListPart::StateIcon));
  EXPECT_FALSE(classes["wizard.OnlyNative"].bIsMethodsIml);
  ASSERT_TRUE(ui::clickListItem(list, 0, ui::ListPart::StateIcon));
  EXPECT_FALSE(classes["wizard.MemberSample"].bIsMethodsIml);

  // The list follows the model each time the page is shown.
  classes["wizard.MemberSample"].bIsMethodsIml = true;
  classes.erase("wizard.OnlyNative");
  reshow(natives);
  EXPECT_EQ(rowTexts(list), (std::vector<std::string>{"wizard.MemberSample"}));
  EXPECT_EQ(rowChecks(list), (std::vector<bool>{true}));
}

TEST_F(CheckListPagesTest, SwitchingTheNativesBoxWrapsExcludedNativeMethodsAgain) {
  classes["wizard.MemberSample"].members = {"nativeCall(I)V", "nativeStatic()J", "size()I"};
  CNativesPage natives;
  open(natives, IDD_NATIVES_PAGE);
  ASSERT_TRUE(ui::clickListItem(natives.m_listClasses.m_hWnd, 0, ui::ListPart::StateIcon));
  EXPECT_EQ(classes["wizard.MemberSample"].members, (std::set<std::string>{"size()I"}));
  EXPECT_TRUE(classes["wizard.MemberSample"].bIsMethodsIml);

  classes["wizard.MemberSample"].members.insert("nativeCall(I)V");
  ASSERT_TRUE(ui::clickListItem(natives.m_listClasses.m_hWnd, 0, ui::ListPart::StateIcon));
  EXPECT_EQ(classes["wizard.MemberSample"].members, (std::set<std::string>{"size()I"})) << "whichever way the box goes";
  EXPECT_FALSE(classes["wizard.MemberSample"].bIsMethodsIml);
}

TEST_F(CheckListPagesTest, InterfacesPageSwitchesImplementationsAndTheLocalFilterFollows) {
  CInterfacesPage interfaces;
  HWND list = open(interfaces, IDD_INTERFACES_PAGE);
  EXPECT_EQ(rowTexts(list), (std::vector<std::string>{"fixtures.Named", "fixtures.Sized"}));
  EXPECT_EQ(rowChecks(list), (std::vector<bool>{false, true}));
  EXPECT_EQ(ui::listState(list).columns.at(0).text, "Interface Name");

  ASSERT_TRUE(ui::clickListItem(list, 0, ui::ListPart::StateIcon));
  ASSERT_TRUE(ui::clickListItem(list, 1, ui::ListPart::StateIcon));
  EXPECT_TRUE(classes["fixtures.Named"].bIsInterfaceIml);
  EXPECT_FALSE(classes["fixtures.Sized"].bIsInterfaceIml);
  ASSERT_TRUE(ui::clickListItem(list, 1, ui::ListPart::Label));
  EXPECT_FALSE(classes["fixtures.Sized"].bIsInterfaceIml);

  // The implemented interface leaves the local filter's class list; the other one comes back.
  interfaces.ShowWindow(SW_HIDE);
  CFilterDlg filters;
  filters.SetFilterData(&filter, &classes);
  host(filters, IDD_FILTER_DIALOG);
  ASSERT_TRUE(ui::clickTab(filters.m_tab.m_hWnd, 1));
  HWND classList = paneWindow(static_cast<CLocalFilterPage*>(filters.m_tab.m_pages[1])->m_splitter, 0);
  EXPECT_EQ(rowTexts(classList), (std::vector<std::string>{"fixtures.Overloads", "fixtures.Sized",
                                                           "wizard.MemberSample", "wizard.OnlyNative"}));
}

TEST_F(CheckListPagesTest, DelegatorsPageListsEveryClassAndSwitchesItsDelegator) {
  CDelegatorsPage delegators;
  HWND list = open(delegators, IDD_DELEGATORS_PAGE);
  EXPECT_EQ(rowTexts(list), (std::vector<std::string>{"fixtures.Named", "fixtures.Overloads", "fixtures.Sized",
                                                      "wizard.MemberSample", "wizard.OnlyNative"}));
  EXPECT_EQ(rowChecks(list), (std::vector<bool>{false, false, false, true, false}));
  EXPECT_EQ(ui::listState(list).columns.at(0).text, "Class/Inteface Name");

  ASSERT_TRUE(ui::clickListItem(list, 3, ui::ListPart::StateIcon));
  ASSERT_TRUE(ui::clickListItem(list, 0, ui::ListPart::StateIcon));
  EXPECT_FALSE(classes["wizard.MemberSample"].bIsDelegatorIml);
  EXPECT_TRUE(classes["fixtures.Named"].bIsDelegatorIml);
  EXPECT_FALSE(classes["fixtures.Named"].bIsInterfaceIml) << "only the page's own flag changes";
  EXPECT_EQ(classes.size(), 5u);
}

TEST_F(CheckListPagesTest, WithoutClassesAllThreeListsAreEmpty) {
  classes.clear();
  CNativesPage natives;
  CInterfacesPage interfaces;
  CDelegatorsPage delegators;
  for (HWND list : {open(natives, IDD_NATIVES_PAGE), open(interfaces, IDD_INTERFACES_PAGE),
                    open(delegators, IDD_DELEGATORS_PAGE)}) {
    EXPECT_TRUE(rowTexts(list).empty());
  }
}

TEST_F(CheckListPagesTest, DescriptionSpansThePageAndTheListFillsTheRest) {
  CDelegatorsPage delegators;
  open(delegators, IDD_DELEGATORS_PAGE);
  delegators.MoveWindow(0, 0, 400, 300);
  CRect description, list;
  delegators.m_staticDescription.GetWindowRect(&description);
  delegators.ScreenToClient(&description);
  delegators.m_listClasses.GetWindowRect(&list);
  delegators.ScreenToClient(&list);
  EXPECT_EQ(description.left, 0);
  EXPECT_EQ(description.right, 400);
  EXPECT_EQ(list.top, description.bottom + 5);
  EXPECT_EQ(list.left, 0);
  EXPECT_EQ(list.right, 400);
  EXPECT_EQ(list.bottom, 300);
}

}  // namespace
