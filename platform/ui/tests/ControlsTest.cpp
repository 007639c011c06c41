// The common controls: their notifications, in Win32's order, for user actions and for calls.
#include "UiTestSupport.h"

using namespace uitest;

namespace {

class Host : public CDialog {
 public:
  Host() : CDialog(kHostTemplate) {}

  CListCtrl list;
  CTreeCtrl tree;
  CButton push, check, radioA, radioB, otherRadio;
  CEdit edit;
  CComboBox combo;
  CProgressCtrl progress;
  CTabCtrl tab;

  // What the handlers saw.
  int clickItem = -2;
  UINT clickFlags = 0;
  int checkAtClick = -2;
  HTREEITEM treeClickItem = nullptr;
  UINT treeClickFlags = 0;
  int treeCheckAtClick = -2;
  bool vetoListChange = false;
  bool vetoTreeChange = false;
  bool vetoTab = false;
  bool suppressDeleteItems = false;

 protected:
  void DoDataExchange(CDataExchange* dx) override {
    DDX_Control(dx, kList, list);
    DDX_Control(dx, kTree, tree);
    DDX_Control(dx, kPush, push);
    DDX_Control(dx, kCheck, check);
    DDX_Control(dx, kRadioA, radioA);
    DDX_Control(dx, kRadioB, radioB);
    DDX_Control(dx, kOtherRadio, otherRadio);
    DDX_Control(dx, kEdit, edit);
    DDX_Control(dx, kCombo, combo);
    DDX_Control(dx, kProgress, progress);
    DDX_Control(dx, kTab, tab);
  }

  afx_msg void OnListClick(NMHDR*, LRESULT* result) {
    CPoint point(GetMessagePos());
    list.ScreenToClient(&point);
    clickItem = list.HitTest(point, &clickFlags);
    if (clickItem >= 0) checkAtClick = list.GetCheck(clickItem);
    *result = 0;
  }
  afx_msg void OnListChanging(NMHDR*, LRESULT* result) { *result = vetoListChange ? TRUE : FALSE; }
  afx_msg void OnListDeleteAll(NMHDR*, LRESULT* result) { *result = suppressDeleteItems ? TRUE : FALSE; }
  afx_msg void OnTreeClick(NMHDR*, LRESULT* result) {
    CPoint point(GetMessagePos());
    tree.ScreenToClient(&point);
    treeClickItem = tree.HitTest(point, &treeClickFlags);
    if (treeClickItem != nullptr) treeCheckAtClick = tree.GetCheck(treeClickItem);
    *result = 0;
  }
  afx_msg void OnTreeChanging(NMHDR*, LRESULT* result) { *result = vetoTreeChange ? TRUE : FALSE; }
  afx_msg void OnTabChanging(NMHDR*, LRESULT* result) { *result = vetoTab ? TRUE : FALSE; }
  DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(Host, CDialog)
  ON_NOTIFY(NM_CLICK, kList, OnListClick)
  ON_NOTIFY(LVN_ITEMCHANGING, kList, OnListChanging)
  ON_NOTIFY(LVN_DELETEALLITEMS, kList, OnListDeleteAll)
  ON_NOTIFY(NM_CLICK, kTree, OnTreeClick)
  ON_NOTIFY(TVN_SELCHANGING, kTree, OnTreeChanging)
  ON_NOTIFY(TCN_SELCHANGING, kTab, OnTabChanging)
END_MESSAGE_MAP()

class ControlsTest : public UiTest {
 protected:
  void SetUp() override {
    UiTest::SetUp();
    ASSERT_TRUE(host.Create(kHostTemplate));
  }

  // A check list as the wizard's pages make them.
  void fillCheckList(int rows) {
    host.list.SetExtendedStyle(host.list.GetExtendedStyle() | LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
    host.list.InsertColumn(0, "Class Name", LVCFMT_LEFT, 200);
    for (int i = 0; i < rows; ++i) host.list.InsertItem(i, ("row" + std::to_string(i)).c_str());
  }

  std::vector<ui::LoggedMessage> notifications() { return ui::notificationLog(host.m_hWnd); }

  Host host;
};

TEST_F(ControlsTest, ClickOnListCheckBoxSelectsTheRowAndNotifiesTheClickBeforeTheBoxChanges) {
  fillCheckList(2);
  ui::startMessageLog();
  ASSERT_TRUE(ui::clickListItem(host.list, 1, ui::ListPart::StateIcon));

  // As the button goes down the row is selected; NM_CLICK; then the box turns.
  std::vector<ui::LoggedMessage> log = notifications();
  ASSERT_EQ(codes(host.m_hWnd),
            (std::vector<UINT>{LVN_ITEMCHANGING, LVN_ITEMCHANGED, NM_CLICK, LVN_ITEMCHANGING, LVN_ITEMCHANGED}));
  for (const ui::LoggedMessage& m : log) EXPECT_EQ(m.item, 1);
  EXPECT_EQ(log[1].newState & (LVIS_SELECTED | LVIS_FOCUSED | LVIS_STATEIMAGEMASK),
            LVIS_SELECTED | LVIS_FOCUSED | INDEXTOSTATEIMAGEMASK(1));
  for (int i : {3, 4}) {
    EXPECT_EQ(log[i].changed, LVIF_STATE);
    EXPECT_EQ(log[i].oldState & LVIS_STATEIMAGEMASK, INDEXTOSTATEIMAGEMASK(1));
    EXPECT_EQ(log[i].newState & LVIS_STATEIMAGEMASK, INDEXTOSTATEIMAGEMASK(2));
  }
  // The handler's hit test of the cursor position found the box, still unchecked.
  EXPECT_EQ(host.clickItem, 1);
  EXPECT_EQ(host.clickFlags, LVHT_ONITEMSTATEICON);
  EXPECT_EQ(host.checkAtClick, 0);
  EXPECT_EQ(host.list.GetCheck(1), 1);
  EXPECT_EQ(host.list.GetCheck(0), 0);
  EXPECT_EQ(host.list.GetSelectedCount(), 1u);
  EXPECT_EQ(host.list.GetNextItem(-1, LVNI_SELECTED), 1);

  ui::startMessageLog();
  ASSERT_TRUE(ui::setListItemChecked(host.list, 1, false));
  EXPECT_EQ(codes(host.m_hWnd), (std::vector<UINT>{NM_CLICK, LVN_ITEMCHANGING, LVN_ITEMCHANGED}))
      << "the row was selected already";
  EXPECT_EQ(host.checkAtClick, 1);
  EXPECT_EQ(host.list.GetCheck(1), 0);
  ui::startMessageLog();
  ASSERT_TRUE(ui::setListItemChecked(host.list, 1, false));  // already so: no click at all
  EXPECT_TRUE(notifications().empty());
}

TEST_F(ControlsTest, ClickOnListLabelSelectsBeforeNotifyingTheClick) {
  fillCheckList(3);
  ASSERT_TRUE(ui::clickListItem(host.list, 0));
  ui::startMessageLog();
  ASSERT_TRUE(ui::clickListItem(host.list, 2));

  // The new row starts to change, the old row loses its selection and then its focus, the new
  // row has changed; NM_CLICK comes last.
  std::vector<ui::LoggedMessage> log = notifications();
  std::vector<std::pair<UINT, int>> seen;
  for (const ui::LoggedMessage& m : log) seen.emplace_back(m.code, m.item);
  EXPECT_EQ(seen, (std::vector<std::pair<UINT, int>>{{LVN_ITEMCHANGING, 2},
                                                     {LVN_ITEMCHANGING, 0},
                                                     {LVN_ITEMCHANGED, 0},
                                                     {LVN_ITEMCHANGING, 0},
                                                     {LVN_ITEMCHANGED, 0},
                                                     {LVN_ITEMCHANGED, 2},
                                                     {NM_CLICK, 2}}));
  EXPECT_EQ(log[5].newState & (LVIS_SELECTED | LVIS_FOCUSED), LVIS_SELECTED | LVIS_FOCUSED);
  EXPECT_EQ(host.clickFlags, LVHT_ONITEMLABEL);
  EXPECT_EQ(host.list.GetNextItem(-1, LVNI_SELECTED), 2);
  EXPECT_EQ(host.list.GetSelectedCount(), 1u);
  EXPECT_EQ(host.list.GetCheck(2), 0) << "a label click leaves the box alone";
}

TEST_F(ControlsTest, VetoedListChangeKeepsTheRow) {
  fillCheckList(1);
  host.vetoListChange = true;
  ui::startMessageLog();
  ASSERT_TRUE(ui::clickListItem(host.list, 0, ui::ListPart::StateIcon));
  EXPECT_EQ(codes(host.m_hWnd), (std::vector<UINT>{LVN_ITEMCHANGING, NM_CLICK, LVN_ITEMCHANGING}));
  EXPECT_EQ(host.list.GetCheck(0), 0);
  host.list.SetItemState(0, LVIS_SELECTED, LVIS_SELECTED);
  EXPECT_EQ(host.list.GetSelectedCount(), 0u);
}

TEST_F(ControlsTest, ListCallsNotifyOnlyRealChanges) {
  fillCheckList(2);
  ui::startMessageLog();
  host.list.SetCheck(0, TRUE);
  host.list.SetCheck(0, TRUE);
  host.list.SetItemText(0, 0, "row0");     // same text
  host.list.SetItemText(0, 1, "subitem");  // subitems never notify
  host.list.SetItemText(1, 0, "renamed");
  std::vector<ui::LoggedMessage> log = notifications();
  ASSERT_EQ(codes(host.m_hWnd),
            (std::vector<UINT>{LVN_ITEMCHANGING, LVN_ITEMCHANGED, LVN_ITEMCHANGING, LVN_ITEMCHANGED}));
  EXPECT_EQ(log[1].changed, LVIF_STATE);
  EXPECT_EQ(log[3].item, 1);
  EXPECT_EQ(log[3].changed, LVIF_TEXT);
  EXPECT_EQ(std::string(host.list.GetItemText(0, 1)), "subitem");
  EXPECT_EQ(std::string(host.list.GetItemText(1, 0)), "renamed");
}

TEST_F(ControlsTest, ListInsertionAndDeletion) {
  host.list.InsertColumn(0, "Name", LVCFMT_LEFT, 100);
  host.list.InsertItem(0, "plain");
  EXPECT_EQ(host.list.GetCheck(0), -1) << "no check box before the style";
  ui::startMessageLog();
  host.list.SetExtendedStyle(LVS_EX_CHECKBOXES);
  EXPECT_EQ(host.list.GetCheck(0), 0) << "turning check boxes on leaves rows unchecked";
  host.list.InsertItem(LVIF_TEXT | LVIF_STATE, 1, "second", INDEXTOSTATEIMAGEMASK(2) | LVIS_SELECTED,
                       LVIS_STATEIMAGEMASK | LVIS_SELECTED, 0, 0);
  EXPECT_EQ(host.list.GetCheck(1), 0) << "a new row starts unchecked whatever it asked for";
  EXPECT_EQ(host.list.GetItemState(1, LVIS_SELECTED), LVIS_SELECTED);
  EXPECT_EQ(codes(host.m_hWnd), (std::vector<UINT>{LVN_ITEMCHANGING, LVN_ITEMCHANGED, LVN_INSERTITEM}));

  host.list.InsertItem(2, "third");
  ui::startMessageLog();
  host.list.DeleteItem(0);
  host.list.DeleteAllItems();
  std::vector<ui::LoggedMessage> log = notifications();
  ASSERT_EQ(codes(host.m_hWnd),
            (std::vector<UINT>{LVN_DELETEITEM, LVN_DELETEALLITEMS, LVN_DELETEITEM, LVN_DELETEITEM}));
  EXPECT_EQ(log[0].item, 0);
  EXPECT_EQ(log[1].item, -1);
  EXPECT_EQ(log[2].item, 1) << "rows go last first";
  EXPECT_EQ(log[3].item, 0);
  EXPECT_EQ(host.list.GetItemCount(), 0);

  host.list.InsertItem(0, "x");
  host.suppressDeleteItems = true;
  ui::startMessageLog();
  host.list.DeleteAllItems();
  EXPECT_EQ(codes(host.m_hWnd), (std::vector<UINT>{LVN_DELETEALLITEMS}));
}

TEST_F(ControlsTest, ListSearchSortingAndSelectionWalk) {
  HWND sorted = CreateWindowEx(0, WC_LISTVIEW, "", WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_SORTASCENDING, 0, 0, 200,
                               200, host.m_hWnd, reinterpret_cast<HMENU>(2000), nullptr, nullptr);
  ASSERT_NE(sorted, nullptr);
  CListCtrl list;
  ASSERT_TRUE(list.SubclassWindow(sorted));
  list.InsertColumn(0, "Class", LVCFMT_LEFT, 150);
  for (const char* name : {"java.util.Map", "a.B", "java.lang.String", "A.a"}) list.InsertItem(0, name);
  std::vector<std::string> rows;
  for (const ui::ListItemState& item : ui::listState(sorted).items) rows.push_back(item.texts[0]);
  EXPECT_EQ(rows, (std::vector<std::string>{"A.a", "a.B", "java.lang.String", "java.util.Map"}));

  LVFINDINFO find{};
  find.flags = LVFI_STRING;
  find.psz = "JAVA.LANG.STRING";
  EXPECT_EQ(list.FindItem(&find), 2);
  find.psz = "java.lang";
  EXPECT_EQ(list.FindItem(&find), -1);
  find.flags = LVFI_PARTIAL;
  EXPECT_EQ(list.FindItem(&find), 2);

  list.SetItemState(1, LVIS_SELECTED, LVIS_SELECTED);
  list.SetItemState(3, LVIS_SELECTED, LVIS_SELECTED);
  std::vector<int> selected;
  for (POSITION p = list.GetFirstSelectedItemPosition(); p != nullptr;) selected.push_back(list.GetNextSelectedItem(p));
  EXPECT_EQ(selected, (std::vector<int>{1, 3})) << "without single selection both stay selected";
  list.UnsubclassWindow();
}

TEST_F(ControlsTest, DisabledOrHiddenControlsTakeNoInput) {
  fillCheckList(1);
  ui::startMessageLog();
  host.list.EnableWindow(FALSE);
  EXPECT_FALSE(ui::clickListItem(host.list, 0, ui::ListPart::StateIcon));
  host.list.EnableWindow(TRUE);
  EXPECT_FALSE(ui::clickListItem(host.list, 5)) << "no such row";
  host.ShowWindow(SW_HIDE);
  EXPECT_FALSE(ui::clickButton(host.push)) << "its dialog is hidden";
  host.ShowWindow(SW_SHOW);
  host.EnableWindow(FALSE);
  EXPECT_FALSE(ui::clickButton(host.push)) << "its dialog is disabled";
  host.EnableWindow(TRUE);
  EXPECT_TRUE(ui::clickButton(host.push));
  EXPECT_EQ(codes(host.m_hWnd), (std::vector<UINT>{BN_CLICKED})) << "only the last click reached the dialog";
  EXPECT_EQ(host.list.GetCheck(0), 0);
}

TEST_F(ControlsTest, TreeSelectionByMouseAndByCall) {
  HTREEITEM root = host.tree.InsertItem("JNI Classes");
  HTREEITEM first = host.tree.InsertItem("Select Classes", root);
  HTREEITEM second = host.tree.InsertItem("Substitute Names", root);
  host.tree.SetItemData(second, 42);

  // Selecting a hidden child by call opens its parent first.
  ui::startMessageLog();
  ASSERT_TRUE(host.tree.SelectItem(first));
  std::vector<ui::LoggedMessage> log = notifications();
  ASSERT_EQ(codes(host.m_hWnd),
            (std::vector<UINT>{TVN_SELCHANGING, TVN_ITEMEXPANDING, TVN_ITEMEXPANDED, TVN_SELCHANGED}));
  EXPECT_EQ(log[0].itemOld, nullptr);
  EXPECT_EQ(log[0].itemNew, first);
  EXPECT_EQ(log[3].action, TVC_UNKNOWN);
  EXPECT_EQ(host.tree.GetSelectedItem(), first);

  ui::startMessageLog();
  ASSERT_TRUE(ui::clickTreeItem(host.tree, second));
  log = notifications();
  ASSERT_EQ(codes(host.m_hWnd), (std::vector<UINT>{NM_CLICK, TVN_SELCHANGING, TVN_SELCHANGED}));
  EXPECT_EQ(host.treeClickItem, second);
  EXPECT_EQ(host.treeClickFlags, TVHT_ONITEMLABEL);
  EXPECT_EQ(log[2].itemOld, first);
  EXPECT_EQ(log[2].itemNew, second);
  EXPECT_EQ(log[2].action, TVC_BYMOUSE);
  EXPECT_EQ(host.tree.GetItemData(host.tree.GetSelectedItem()), 42u);

  host.vetoTreeChange = true;
  ui::startMessageLog();
  ASSERT_TRUE(ui::clickTreeItem(host.tree, first));
  EXPECT_EQ(codes(host.m_hWnd), (std::vector<UINT>{NM_CLICK, TVN_SELCHANGING}));
  EXPECT_EQ(host.tree.GetSelectedItem(), second);
  host.vetoTreeChange = false;

  // Reselecting the selected item says nothing.
  ui::startMessageLog();
  host.tree.SelectItem(second);
  EXPECT_TRUE(codes(host.m_hWnd).empty());
}

TEST_F(ControlsTest, TreeButtonsCollapseAndDeletionMoveTheSelection) {
  HTREEITEM root = host.tree.InsertItem("Installed JVMs");
  HTREEITEM child = host.tree.InsertItem("Java modules", root);
  HTREEITEM other = host.tree.InsertItem("JNI Classes");
  EXPECT_FALSE(ui::clickTreeItem(host.tree, child)) << "a child of a closed item is not on screen";
  host.tree.Expand(root, TVE_EXPAND);
  host.tree.SelectItem(child);

  ui::startMessageLog();
  ASSERT_TRUE(ui::clickTreeItem(host.tree, root, ui::TreePart::Button));
  std::vector<ui::LoggedMessage> log = notifications();
  ASSERT_EQ(codes(host.m_hWnd),
            (std::vector<UINT>{NM_CLICK, TVN_ITEMEXPANDING, TVN_ITEMEXPANDED, TVN_SELCHANGING, TVN_SELCHANGED}));
  EXPECT_EQ(log[1].action, TVE_COLLAPSE);
  EXPECT_EQ(host.tree.GetSelectedItem(), root) << "collapsing hides the selection, so its parent takes it";

  // A programmatic expansion notifies only the first time; the user's always does.
  ui::startMessageLog();
  host.tree.Expand(root, TVE_EXPAND);
  EXPECT_TRUE(codes(host.m_hWnd).empty());
  host.tree.Expand(root, TVE_COLLAPSE);
  ASSERT_TRUE(ui::clickTreeItem(host.tree, root, ui::TreePart::Button));
  EXPECT_EQ(codes(host.m_hWnd), (std::vector<UINT>{NM_CLICK, TVN_ITEMEXPANDING, TVN_ITEMEXPANDED}));
  EXPECT_FALSE(ui::clickTreeItem(host.tree, other, ui::TreePart::Button)) << "an item without children has no button";

  host.tree.SelectItem(root);
  ui::startMessageLog();
  host.tree.DeleteItem(root);
  log = notifications();
  ASSERT_EQ(codes(host.m_hWnd), (std::vector<UINT>{TVN_DELETEITEM, TVN_DELETEITEM, TVN_SELCHANGING, TVN_SELCHANGED}));
  EXPECT_EQ(log[0].itemOld, root);
  EXPECT_EQ(log[1].itemOld, child);
  EXPECT_EQ(log[3].itemOld, nullptr);
  EXPECT_EQ(log[3].itemNew, other);
  EXPECT_EQ(host.tree.GetCount(), 1u);
  EXPECT_EQ(host.tree.GetRootItem(), other);
}

TEST_F(ControlsTest, TreeCheckBoxToggledAfterTheClickNotification) {
  host.tree.ModifyStyle(0, TVS_CHECKBOXES);
  HTREEITEM root = host.tree.InsertItem("Use Global Filter");
  HTREEITEM member = host.tree.InsertItem("toString()", root);
  host.tree.Expand(root, TVE_EXPAND);
  EXPECT_EQ(host.tree.GetCheck(member), 0);
  EXPECT_NE(host.tree.GetImageList(TVSIL_STATE), nullptr);

  ui::startMessageLog();
  ASSERT_TRUE(ui::clickTreeItem(host.tree, member, ui::TreePart::StateIcon));
  EXPECT_EQ(codes(host.m_hWnd), (std::vector<UINT>{NM_CLICK})) << "a check box click changes no selection";
  EXPECT_EQ(host.treeClickItem, member);
  EXPECT_EQ(host.treeClickFlags, TVHT_ONITEMSTATEICON);
  EXPECT_EQ(host.treeCheckAtClick, 0);
  EXPECT_EQ(host.tree.GetCheck(member), 1);
  ASSERT_TRUE(ui::clickTreeItem(host.tree, member, ui::TreePart::StateIcon));
  EXPECT_EQ(host.treeCheckAtClick, 1);
  EXPECT_EQ(host.tree.GetCheck(member), 0);
  EXPECT_EQ(host.tree.GetSelectedItem(), nullptr);
}

TEST_F(ControlsTest, ButtonsNotifyAfterTheirStateChanged) {
  ui::startMessageLog();
  ASSERT_TRUE(ui::clickButton(host.push));
  ASSERT_TRUE(ui::clickButton(host.check));
  EXPECT_EQ(host.check.GetCheck(), BST_CHECKED);
  ASSERT_TRUE(ui::clickButton(host.check));
  EXPECT_EQ(host.check.GetCheck(), BST_UNCHECKED);
  std::vector<ui::LoggedMessage> log = notifications();
  ASSERT_EQ(log.size(), 3u);
  EXPECT_EQ(log[0].idFrom, static_cast<UINT_PTR>(kPush));
  EXPECT_EQ(log[0].code, static_cast<UINT>(BN_CLICKED));
  EXPECT_EQ(log[1].idFrom, static_cast<UINT_PTR>(kCheck));

  host.otherRadio.SetCheck(BST_CHECKED);
  ASSERT_TRUE(ui::clickButton(host.radioA));
  ASSERT_TRUE(ui::clickButton(host.radioB));
  EXPECT_EQ(host.radioA.GetCheck(), BST_UNCHECKED);
  EXPECT_EQ(host.radioB.GetCheck(), BST_CHECKED);
  EXPECT_EQ(host.otherRadio.GetCheck(), BST_CHECKED) << "another group keeps its button";
  EXPECT_EQ(host.push.GetCheck(), BST_UNCHECKED) << "push buttons have no check state";

  host.push.EnableWindow(FALSE);
  EXPECT_FALSE(ui::clickButton(host.push));
  ui::startMessageLog();
  host.push.SendMessage(BM_CLICK);
  EXPECT_TRUE(notifications().empty());
}

TEST_F(ControlsTest, EditReportsEveryChange) {
  ui::startMessageLog();
  ASSERT_TRUE(ui::typeText(host.edit, "ab"));
  EXPECT_EQ(codes(host.m_hWnd), (std::vector<UINT>{EN_UPDATE, EN_CHANGE, EN_UPDATE, EN_CHANGE}));
  CString text;
  host.edit.GetWindowText(text);
  EXPECT_EQ(std::string(text), "ab");

  ui::startMessageLog();
  ASSERT_TRUE(ui::typeText(host.edit, "xyz"));  // replaces the whole text
  host.edit.GetWindowText(text);
  EXPECT_EQ(std::string(text), "xyz");
  EXPECT_EQ(codes(host.m_hWnd).size(), 6u);

  ui::startMessageLog();
  host.edit.SetWindowText("set");
  EXPECT_EQ(codes(host.m_hWnd), (std::vector<UINT>{EN_UPDATE, EN_CHANGE}))
      << "a single-line edit reports SetWindowText";
  ui::startMessageLog();
  ASSERT_TRUE(ui::typeText(host.edit, ""));
  EXPECT_EQ(codes(host.m_hWnd).size(), 2u);
  EXPECT_EQ(host.edit.GetWindowTextLength(), 0);

  host.edit.ModifyStyle(0, ES_READONLY);
  EXPECT_FALSE(ui::typeText(host.edit, "no"));
}

TEST_F(ControlsTest, ComboChoiceNotifiesInOrder) {
  for (const char* module : {"rt.jar", "Charsets.jar", "b.zip"}) host.combo.AddString(module);
  CString text;
  host.combo.GetLBText(0, text);
  EXPECT_EQ(std::string(text), "b.zip") << "a sorted combo box sorts without case";
  EXPECT_EQ(host.combo.FindStringExact(-1, "RT.JAR"), 2);
  EXPECT_EQ(host.combo.FindString(-1, "ch"), 1);

  ui::startMessageLog();
  host.combo.SetCurSel(0);
  EXPECT_TRUE(codes(host.m_hWnd).empty()) << "a call selects silently";
  ASSERT_TRUE(ui::chooseComboItem(host.combo, std::string("rt.jar")));
  EXPECT_EQ(codes(host.m_hWnd), (std::vector<UINT>{CBN_DROPDOWN, CBN_SELCHANGE, CBN_SELENDOK, CBN_CLOSEUP}));
  EXPECT_EQ(host.combo.GetCurSel(), 2);
  host.combo.GetWindowText(text);
  EXPECT_EQ(std::string(text), "rt.jar");

  ui::startMessageLog();
  ASSERT_TRUE(ui::chooseComboItem(host.combo, 2));
  EXPECT_EQ(codes(host.m_hWnd), (std::vector<UINT>{CBN_DROPDOWN, CBN_SELENDOK, CBN_CLOSEUP}));
  EXPECT_FALSE(ui::chooseComboItem(host.combo, 3));
  EXPECT_FALSE(ui::chooseComboItem(host.combo, std::string("missing.jar")));
  EXPECT_FALSE(ui::typeText(host.combo, "x")) << "a drop-down list has no edit";
}

TEST_F(ControlsTest, ProgressRangeAndPosition) {
  ui::ProgressState state = ui::progressState(host.progress);
  EXPECT_EQ(state.lower, 0);
  EXPECT_EQ(state.upper, 100);
  EXPECT_EQ(state.position, 0);

  EXPECT_EQ(host.progress.SetPos(50), 0);
  EXPECT_EQ(host.progress.SetPos(250), 50) << "the previous position";
  EXPECT_EQ(host.progress.GetPos(), 100) << "positions stay within the range";
  host.progress.SetRange(10, 20);
  EXPECT_EQ(host.progress.GetPos(), 20);
  int lower = 0, upper = 0;
  host.progress.GetRange(lower, upper);
  EXPECT_EQ(lower, 10);
  EXPECT_EQ(upper, 20);
  EXPECT_EQ(host.progress.SendMessage(PBM_SETRANGE32, static_cast<WPARAM>(-5), 5), MAKELRESULT(10, 20));
  host.progress.SetPos(-10);
  EXPECT_EQ(host.progress.GetPos(), -5);

  host.progress.SetRange(0, 100);
  host.progress.SetPos(95);
  host.progress.SetStep(10);
  host.progress.StepIt();
  EXPECT_EQ(host.progress.GetPos(), 5) << "stepping past the end starts over";
  host.progress.SendMessage(PBM_SETBARCOLOR, 0, RGB(1, 2, 3));
  EXPECT_EQ(host.progress.SendMessage(PBM_SETBKCOLOR, 0, RGB(4, 5, 6)), static_cast<LRESULT>(CLR_DEFAULT));
  state = ui::progressState(host.progress);
  EXPECT_EQ(state.barColor, RGB(1, 2, 3));
  EXPECT_EQ(state.backColor, RGB(4, 5, 6));
}

TEST_F(ControlsTest, TabSelectionCanBeRefused) {
  host.tab.InsertItem(0, "Global");
  host.tab.InsertItem(1, "Local");
  EXPECT_EQ(host.tab.GetCurSel(), 0);
  ui::startMessageLog();
  ASSERT_TRUE(ui::clickTab(host.tab, 1));
  EXPECT_EQ(codes(host.m_hWnd), (std::vector<UINT>{TCN_SELCHANGING, TCN_SELCHANGE}));
  EXPECT_EQ(host.tab.GetCurSel(), 1);
  host.vetoTab = true;
  ASSERT_TRUE(ui::clickTab(host.tab, 0));
  EXPECT_EQ(host.tab.GetCurSel(), 1);
  host.tab.SetCurSel(0);  // silent
  EXPECT_EQ(codes(host.m_hWnd).size(), 3u);

  CRect area(0, 0, 200, 100);
  host.tab.AdjustRect(FALSE, &area);
  CRect back = area;
  host.tab.AdjustRect(TRUE, &back);
  EXPECT_LT(area.Height(), 100);
  EXPECT_EQ(back, CRect(0, 0, 200, 100));
}

}  // namespace
