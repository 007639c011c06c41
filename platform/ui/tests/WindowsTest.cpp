// Windows and the MFC basics: creation and its failures, geometry, wrappers and subclassing,
// data exchange failures, run-time classes, strings and rectangles, control geometry.
#include "UiTestSupport.h"

#include <cstring>

using namespace uitest;

namespace {

class WindowsTest : public UiTest {
 protected:
  void SetUp() override {
    UiTest::SetUp();
    ASSERT_TRUE(host.Create(kHostTemplate));
  }
  CDialog host{kHostTemplate};
};

TEST_F(WindowsTest, CreationFailsClearly) {
  SetLastError(0);
  EXPECT_EQ(CreateWindowEx(0, "NoSuchClass", "", WS_CHILD, 0, 0, 10, 10, host.m_hWnd, nullptr, nullptr, nullptr),
            nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CANNOT_FIND_WND_CLASS));
  EXPECT_EQ(CreateWindowEx(0, WC_BUTTON, "", WS_CHILD, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr), nullptr)
      << "a child needs a parent";
  CDialog page;
  EXPECT_FALSE(page.Create(4711, &host));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
  EXPECT_EQ(page.m_hWnd, nullptr);

  // A dialog whose template names an unknown control class is not made at all.
  ui::DialogTemplate broken;
  broken.style = WS_POPUP;
  broken.controls = {{1, "SysNoSuchControl32", "", 0, 0, 10, 10, WS_VISIBLE, 0}};
  ui::registerDialog(4712, broken);
  size_t before = ui::topLevelWindows().size();
  EXPECT_FALSE(page.Create(4712));
  EXPECT_EQ(ui::topLevelWindows().size(), before);
}

TEST_F(WindowsTest, GeometryFollowsDialogUnitsAndParents) {
  CRect units(4, 4, 154, 104);
  host.MapDialogRect(&units);
  EXPECT_EQ(units, CRect(6, 6, 231, 169));
  HWND list = ::GetDlgItem(host.m_hWnd, kList);
  // Controls map their position and their size each on its own, as a template's do.
  EXPECT_EQ(CRect(ui::windowState(list).rect), CRect(6, 6, 6 + 225, 6 + 162));

  host.MoveWindow(100, 50, 600, 400);
  CRect screen;
  ::GetWindowRect(list, &screen);
  EXPECT_EQ(screen, CRect(106, 56, 331, 218));
  CPoint point(110, 60);
  ::ScreenToClient(list, &point);
  EXPECT_EQ(point, CPoint(4, 4));
  ::ClientToScreen(list, &point);
  EXPECT_EQ(point, CPoint(110, 60));

  // Moves and sizes tell the window about its new size.
  ui::startMessageLog();
  ::SetWindowPos(list, nullptr, 0, 0, 80, 40, SWP_NOMOVE | SWP_NOZORDER);
  ::SetWindowPos(list, nullptr, 10, 10, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  int sizes = 0;
  for (const ui::LoggedMessage& m : ui::messageLog()) {
    if (m.window == list && m.message == WM_SIZE) {
      ++sizes;
      EXPECT_EQ(m.lParam, MAKELPARAM(80, 40));
    }
  }
  EXPECT_EQ(sizes, 1);
  EXPECT_EQ(CRect(ui::windowState(list).rect), CRect(10, 10, 90, 50));
  CRect combo;
  ::GetClientRect(::GetDlgItem(host.m_hWnd, kCombo), &combo);
  EXPECT_EQ(combo.Height(), 21) << "a drop-down combo box is as high as its closed edit";
}

TEST_F(WindowsTest, WrappersAndSubclassing) {
  HWND push = ::GetDlgItem(host.m_hWnd, kPush);
  CWnd* wrapper = CWnd::FromHandle(push);
  ASSERT_NE(wrapper, nullptr);
  EXPECT_EQ(wrapper, CWnd::FromHandle(push)) << "one wrapper per window";
  EXPECT_EQ(CWnd::FromHandlePermanent(push), nullptr);
  EXPECT_EQ(host.GetDlgItem(kPush)->GetDlgCtrlID(), static_cast<int>(kPush));
  EXPECT_EQ(CWnd::FromHandle(host.m_hWnd), &host);

  CButton first, second;
  ASSERT_TRUE(first.SubclassWindow(push));
  EXPECT_FALSE(second.SubclassWindow(push)) << "a window has one object";
  EXPECT_EQ(CWnd::FromHandlePermanent(push), &first);
  EXPECT_EQ(first.UnsubclassWindow(), push);
  EXPECT_TRUE(::IsWindow(push)) << "letting go of a window does not destroy it";
  ASSERT_TRUE(second.SubclassWindow(push));
  second.DestroyWindow();
  EXPECT_EQ(second.m_hWnd, nullptr);
  EXPECT_FALSE(::IsWindow(push));

  // An object destroyed before its window takes the window with it.
  HWND edit = ::GetDlgItem(host.m_hWnd, kEdit);
  {
    CEdit scoped;
    scoped.SubclassWindow(edit);
  }
  EXPECT_FALSE(::IsWindow(edit));
  EXPECT_EQ(::GetDlgItem(host.m_hWnd, kEdit), nullptr);
}

class Exchanger : public CDialog {
 public:
  Exchanger() : CDialog(kHostTemplate) {}
  bool askForMissing = false;
  CString caption;

 protected:
  void DoDataExchange(CDataExchange* dx) override {
    DDX_Text(dx, kStatic, caption);
    if (askForMissing) DDX_Text(dx, 4242, caption);
  }
};

TEST_F(WindowsTest, DataExchangeFailsOnAMissingControl) {
  Exchanger dialog;
  dialog.caption = "from the member";
  ASSERT_TRUE(dialog.Create(kHostTemplate));
  HWND caption = ::GetDlgItem(dialog.m_hWnd, kStatic);
  EXPECT_EQ(ui::windowState(caption).text, "from the member") << "OnInitDialog writes the members to the controls";
  ::SetWindowText(caption, "from the control");
  EXPECT_TRUE(dialog.UpdateData(TRUE));
  EXPECT_EQ(std::string(dialog.caption), "from the control");
  dialog.askForMissing = true;
  dialog.caption = "changed";
  EXPECT_FALSE(dialog.UpdateData(FALSE));
  EXPECT_EQ(ui::windowState(caption).text, "changed") << "controls before the failure were set";
  dialog.DestroyWindow();
}

TEST_F(WindowsTest, RunTimeClassesCreateAndClassify) {
  EXPECT_TRUE(RUNTIME_CLASS(CListView)->IsDerivedFrom(RUNTIME_CLASS(CView)));
  EXPECT_FALSE(RUNTIME_CLASS(CView)->IsDerivedFrom(RUNTIME_CLASS(CListView)));
  EXPECT_EQ(RUNTIME_CLASS(CWnd)->CreateObject(), nullptr) << "CWnd has no dynamic creation";
  EXPECT_STREQ(RUNTIME_CLASS(CSplitterWnd)->m_lpszClassName, "CSplitterWnd");
  EXPECT_TRUE(host.IsKindOf(RUNTIME_CLASS(CWnd)));
  EXPECT_FALSE(host.IsKindOf(RUNTIME_CLASS(CFrameWnd)));
}

TEST_F(WindowsTest, StringsBehaveAsMfcs) {
  CString s;
  s.Format("Processed %d of %d modules", 3, 12);
  EXPECT_EQ(std::string(s), "Processed 3 of 12 modules");
  CString path("java.lang.String");
  EXPECT_EQ(path.Replace('.', '_'), 2);
  EXPECT_EQ(std::string(path), "java_lang_String");
  CString name = "a.b.C.class";
  EXPECT_EQ(std::string(name.Right(6)), ".class");
  EXPECT_EQ(std::string(name.Left(name.GetLength() - 6)), "a.b.C");
  EXPECT_EQ(name.Find('.'), 1);
  EXPECT_EQ(name.Find('.', 2), 3);
  EXPECT_EQ(name.ReverseFind('.'), 5);
  EXPECT_EQ(name.Find("C."), 4);
  EXPECT_EQ(std::string(name.Mid(4, 100)), "C.class");
  EXPECT_EQ(name.CompareNoCase("A.B.c.CLASS"), 0);
  CString rt("rt.jar");
  EXPECT_EQ(rt.Replace("jar", "zip"), 1);
  EXPECT_TRUE(rt == "rt.zip");
  CString upper("Lib/RT.JAR");
  upper.MakeLower();
  EXPECT_EQ(std::string(upper), "lib/rt.jar");

  CString buffer;
  std::strcpy(buffer.GetBuffer(260), "C:/j2sdk");
  buffer.ReleaseBuffer();
  EXPECT_EQ(buffer.GetLength(), 8);
  ui::registerString(2, "Generates C++ Proxy Classes for JNI");
  CString resource;
  EXPECT_TRUE(resource.LoadString(2));
  EXPECT_EQ(std::string(resource), "Generates C++ Proxy Classes for JNI");
  EXPECT_FALSE(resource.LoadString(3));
  char small[10];
  EXPECT_EQ(LoadString(AfxGetInstanceHandle(), 2, small, sizeof small), 9);
  EXPECT_STREQ(small, "Generates");

  CRect r(0, 0, 100, 50);
  r.DeflateRect(2, 3, 4, 5);
  EXPECT_EQ(r, CRect(2, 3, 96, 45));
  CRect cut;
  EXPECT_FALSE(cut.IntersectRect(CRect(0, 0, 10, 10), CRect(20, 20, 30, 30)));
  EXPECT_TRUE(cut.IsRectEmpty());
  EXPECT_TRUE(cut.UnionRect(CRect(0, 0, 10, 10), CRect(20, 20, 30, 30)));
  EXPECT_EQ(cut, CRect(0, 0, 30, 30));
}

TEST_F(WindowsTest, ListAndTreeGeometryMatchTheirHitTests) {
  CListCtrl list;
  ASSERT_TRUE(list.SubclassDlgItem(kList, &host));
  CImageList images;
  ui::registerBitmap(147, 416, 16);
  ASSERT_TRUE(images.Create(147, 16, 1, RGB(192, 192, 192)));
  EXPECT_EQ(images.GetImageCount(), 26);
  list.SetExtendedStyle(LVS_EX_CHECKBOXES);
  list.SetImageList(&images, LVSIL_SMALL);
  EXPECT_EQ(list.GetImageList(LVSIL_SMALL), &images);
  list.InsertColumn(0, "Name", LVCFMT_LEFT, 90);
  list.InsertColumn(1, "JRE Location", LVCFMT_LEFT, 80);
  list.InsertItem(0, "SUN1.4.2", 0);
  list.InsertItem(1, std::string(300, 'x').c_str(), 2);
  EXPECT_EQ(list.GetItemText(1, 0).GetLength(), 300) << "long texts come back whole";

  CRect icon, label, bounds;
  ASSERT_TRUE(list.GetItemRect(1, &icon, LVIR_ICON));
  ASSERT_TRUE(list.GetItemRect(1, &label, LVIR_LABEL));
  ASSERT_TRUE(list.GetItemRect(1, &bounds, LVIR_BOUNDS));
  EXPECT_EQ(bounds.Width(), 170);
  UINT flags = 0;
  EXPECT_EQ(list.HitTest(icon.CenterPoint(), &flags), 1);
  EXPECT_EQ(flags, LVHT_ONITEMICON);
  EXPECT_EQ(list.HitTest(CPoint(icon.left - 8, icon.top + 4), &flags), 1);
  EXPECT_EQ(flags, LVHT_ONITEMSTATEICON);
  EXPECT_EQ(list.HitTest(label.CenterPoint(), &flags), 1);
  EXPECT_EQ(flags, LVHT_ONITEMLABEL);
  EXPECT_EQ(list.HitTest(CPoint(bounds.right - 5, bounds.top + 4), &flags), -1) << "a subitem without full-row select";
  list.SetExtendedStyle(LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
  EXPECT_EQ(list.HitTest(CPoint(bounds.right - 5, bounds.top + 4), &flags), 1);
  EXPECT_EQ(list.HitTest(CPoint(5, bounds.bottom + 40), &flags), -1);
  EXPECT_EQ(flags, LVHT_NOWHERE);
  list.UnsubclassWindow();

  CTreeCtrl tree;
  ASSERT_TRUE(tree.SubclassDlgItem(kTree, &host));
  HTREEITEM root = tree.InsertItem("Constants", 0, 0);
  HTREEITEM leaf = tree.InsertItem("public static final int MAX;", root);
  tree.Expand(root, TVE_EXPAND);
  CRect text, row;
  ASSERT_TRUE(tree.GetItemRect(leaf, &text, TRUE));
  ASSERT_TRUE(tree.GetItemRect(leaf, &row, FALSE));
  EXPECT_EQ(text.top, 16) << "the second row";
  EXPECT_GT(text.left, 19) << "indented under its parent";
  EXPECT_EQ(tree.HitTest(text.CenterPoint(), &flags), leaf);
  EXPECT_EQ(flags, TVHT_ONITEMLABEL);
  EXPECT_EQ(tree.HitTest(CPoint(text.right + 10, text.top + 2), &flags), leaf);
  EXPECT_EQ(flags, TVHT_ONITEMRIGHT);
  EXPECT_EQ(tree.HitTest(CPoint(2, 2), &flags), root);
  EXPECT_EQ(flags, TVHT_ONITEMBUTTON);
  EXPECT_EQ(tree.HitTest(CPoint(2, 18), &flags), leaf);
  EXPECT_EQ(flags, TVHT_ONITEMINDENT);
  tree.Expand(root, TVE_COLLAPSE);
  EXPECT_FALSE(tree.GetItemRect(leaf, &text, TRUE)) << "a hidden item has no rectangle";
  tree.UnsubclassWindow();
}

TEST_F(WindowsTest, EditSelectionAndComboDeletion) {
  CEdit edit;
  ASSERT_TRUE(edit.SubclassDlgItem(kEdit, &host));
  edit.SetWindowText("C:/j2sdk1.4.2");
  edit.SetSel(3, 8);
  int start = 0, end = 0;
  edit.GetSel(start, end);
  EXPECT_EQ(start, 3);
  EXPECT_EQ(end, 8);
  ui::startMessageLog();
  edit.ReplaceSel("jdk");
  CString text;
  edit.GetWindowText(text);
  EXPECT_EQ(std::string(text), "C:/jdk1.4.2");
  EXPECT_EQ(codes(host.m_hWnd), (std::vector<UINT>{EN_UPDATE, EN_CHANGE}));
  edit.UnsubclassWindow();

  CComboBox combo;
  ASSERT_TRUE(combo.SubclassDlgItem(kCombo, &host));
  combo.AddString("b");
  int a = combo.AddString("a");
  combo.SetItemData(a, 77);
  combo.SetCurSel(1);
  EXPECT_EQ(combo.DeleteString(0), 1);
  EXPECT_EQ(combo.GetCurSel(), 0) << "the selection moves with its entry";
  EXPECT_EQ(combo.DeleteString(0), 0);
  EXPECT_EQ(combo.GetCurSel(), CB_ERR);
  EXPECT_EQ(combo.DeleteString(0), CB_ERR);
  combo.UnsubclassWindow();
}

}  // namespace
