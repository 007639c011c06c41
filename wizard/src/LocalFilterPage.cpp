#include "LocalFilterPage.h"

#include "ClassList.h"
#include "MemberView.h"
#include "PageSupport.h"
#include "ProxyGenerator.h"
#include "UiResources.h"

#include <set>

using wizardpages::ClassListPane;
using wizardpages::MemberViewPane;

void registerLocalFilterPageTemplate() {
  wizardpages::RegisterPageTemplate(
      IDD_LOCAL_FILTER_PAGE, 263, 210,
      {
          {IDC_CAPTION, WC_STATIC, "Class members filtered:", 0, 4, 80, 8, WS_VISIBLE | SS_LEFT, 0},
          {IDC_FRAME_PLACE, WC_STATIC, "", 1, 17, 256, 165, WS_DISABLED | SS_WHITERECT, 0},
          {IDC_MEMBER_COMBO, WC_COMBOBOX, "", 77, 188, 178, 70,
           WS_VISIBLE | WS_VSCROLL | WS_TABSTOP | CBS_DROPDOWNLIST | CBS_SORT, 0},
          {IDC_MEMBER_LABEL, WC_STATIC, "Select member name:", 0, 190, 76, 8, WS_VISIBLE | SS_LEFT | SS_CENTERIMAGE, 0},
      });
}

BEGIN_MESSAGE_MAP(CLocalFilterPage, CSplitFramePage)
  ON_WM_SIZE()
  ON_WM_PAINT()
  ON_WM_SHOWWINDOW()
  ON_MESSAGE(WM_CLASS_LIST_CHANGED, OnClassChanged)
  ON_MESSAGE(WM_MEMBER_CLICKED, OnMemberClicked)
  ON_MESSAGE(WM_MEMBER_SELCHANGED, OnMemberSelChanged)
  ON_MESSAGE(WM_REFRESH_PAGE, FillClassList)
  ON_CBN_SELENDOK(IDC_MEMBER_COMBO, OnMemberNameChosen)
END_MESSAGE_MAP()

namespace {

const char kRootText[] = "Use Global Filter";
const char kConstantsText[] = "Constants";
const char kFieldsText[] = "Fields";
const char kConstructorsText[] = "Constructors";
const char kMethodsText[] = "Methods";

// A group is shown when its listing has more than one entry or one entry with a line.
template <class Map>
bool groupShown(const Map& lines) {
  return lines.size() > 1 || (lines.size() == 1 && !lines.begin()->first.empty());
}

}  // namespace

CLocalFilterPage::CLocalFilterPage(CWnd* parent)
    : CSplitFramePage(IDD_LOCAL_FILTER_PAGE, RUNTIME_CLASS(CMemberView), "Classes", parent),
      m_memberIndex(-1),
      m_pGlobalFilter(nullptr),
      m_hRoot(nullptr),
      m_hConstants(nullptr),
      m_hFields(nullptr),
      m_hConstructors(nullptr),
      m_hMethods(nullptr),
      m_pParent(nullptr) {}

void CLocalFilterPage::SetData(CWnd* parent, GlobalFilter* globalFilter, ClassSettingsMap* classSettings) {
  m_pParent = parent;
  m_pGlobalFilter = globalFilter;
  m_pClassSettings = classSettings;
}

void CLocalFilterPage::DoDataExchange(CDataExchange* dx) {
  CDialog::DoDataExchange(dx);
  DDX_Control(dx, IDC_MEMBER_LABEL, m_staticSelect);
  DDX_Control(dx, IDC_MEMBER_COMBO, m_memberCombo);
  DDX_Control(dx, IDC_CAPTION, m_staticCaption);
  DDX_CBIndex(dx, IDC_MEMBER_COMBO, m_memberIndex);
}

BOOL CLocalFilterPage::OnInitDialog() {
  CSplitFramePage::OnInitDialog();
  if (CMemberView* members = MemberViewPane(m_splitter, 1)) members->ModifyStyle(0, TVS_CHECKBOXES);
  return TRUE;
}

// The tree, the member names and the keys go together: none outlives the others.
void CLocalFilterPage::ClearMembers() {
  if (m_memberCombo.m_hWnd != nullptr) m_memberCombo.ResetContent();
  if (CMemberView* members = MemberViewPane(m_splitter, 1)) members->GetTreeCtrl().DeleteAllItems();
  m_memberKeys.clear();
  m_hRoot = m_hConstants = m_hFields = m_hConstructors = m_hMethods = nullptr;
}

LRESULT CLocalFilterPage::FillClassList(WPARAM, LPARAM) {
  if (m_hWnd == nullptr) return 0;
  ClearMembers();
  m_className.Empty();
  CClassList* classes = ClassListPane(m_splitter, 0);
  if (m_pClassSettings == nullptr || classes == nullptr) return 0;
  classes->GetListCtrl().DeleteAllItems();
  for (const auto& entry : *m_pClassSettings) {
    // An implemented interface gets no proxy, so it has no members to filter.
    if (!entry.second.bIsInterfaceIml) classes->AddClassRow(entry.first, entry.second.TYPE != 0);
  }
  return 0;
}

void CLocalFilterPage::OnShowWindow(BOOL show, UINT status) {
  CDialog::OnShowWindow(show, status);
  if (show) FillClassList(0, 0);
}

LRESULT CLocalFilterPage::OnClassChanged(WPARAM, LPARAM) {
  CClassList* classes = ClassListPane(m_splitter, 0);
  if (classes == nullptr || m_pClassSettings == nullptr) return 0;
  CListCtrl& list = classes->GetListCtrl();
  POSITION position = list.GetFirstSelectedItemPosition();
  if (position == nullptr) return 0;
  int row = list.GetNextSelectedItem(position);
  m_className = list.GetItemText(row, 0);
  BuildMemberTree();
  ClassSettings& settings = (*m_pClassSettings)[m_className];
  CMemberView* members = MemberViewPane(m_splitter, 1);
  if (members == nullptr || m_hRoot == nullptr) return 0;
  if (settings.bUseGlobalFilter) members->GetTreeCtrl().SetCheck(m_hRoot, TRUE);
  SyncChecks(m_hRoot, true, true);
  return 0;
}

void CLocalFilterPage::AddMember(HTREEITEM group, const std::string& line, const std::string& key,
                                 const CString& comboText) {
  CMemberView* members = MemberViewPane(m_splitter, 1);
  if (members == nullptr || group == nullptr) return;
  HTREEITEM item = members->GetTreeCtrl().InsertItem(line.c_str(), group, TVI_LAST);
  if (item == nullptr) return;
  if (m_memberCombo.m_hWnd != nullptr && m_memberCombo.FindStringExact(-1, comboText) == CB_ERR) {
    int index = m_memberCombo.AddString(comboText);
    if (index >= 0) m_memberCombo.SetItemData(index, reinterpret_cast<DWORD_PTR>(item));
  }
  m_memberKeys[line] = key;
}

void CLocalFilterPage::BuildMemberTree() {
  ClearMembers();
  CMemberView* members = MemberViewPane(m_splitter, 1);
  if (members == nullptr || m_pClassSettings == nullptr) return;
  CTreeCtrl& tree = members->GetTreeCtrl();
  m_hRoot = tree.InsertItem(kRootText, TVI_ROOT, TVI_LAST);
  if (m_hRoot == nullptr) return;
  const ClassSettings& settings = (*m_pClassSettings)[m_className];

  // Every member is listed, the excluded ones too: the tree shows them unchecked.
  ProxyGenerator generator(m_className.str());
  generator.m_bUseGlobalFilter = settings.bUseGlobalFilter;
  generator.loadMembers();

  FieldLineMap constants, fields;
  generator.listConstants(constants);
  generator.listFields(fields);
  struct FieldGroup {
    const FieldLineMap& lines;
    const char* text;
    HTREEITEM* handle;
  };
  for (const FieldGroup& group :
       {FieldGroup{constants, kConstantsText, &m_hConstants}, FieldGroup{fields, kFieldsText, &m_hFields}}) {
    if (!groupShown(group.lines)) continue;
    *group.handle = tree.InsertItem(group.text, 0, 0, m_hRoot, TVI_LAST);
    for (const auto& entry : group.lines) {
      if (!entry.first.empty()) {
        AddMember(*group.handle, entry.first, wizardpages::memberKey(entry.second), entry.second.getName().c_str());
      }
    }
  }

  MethodLineMap constructors;
  generator.listConstructors(constructors);
  if (groupShown(constructors)) {
    m_hConstructors = tree.InsertItem(kConstructorsText, 0, 0, m_hRoot, TVI_LAST);
    for (const auto& entry : constructors) {
      if (!entry.first.empty()) {
        AddMember(m_hConstructors, entry.first, wizardpages::memberKey(entry.second), m_className + "(...)");
      }
    }
  }

  // While the class's native methods are implemented in C++ they cannot be excluded: they are
  // not shown at all.
  MethodLineMap methods;
  generator.listMethods(methods);
  std::set<std::string> natives;
  for (const MethodDescriptor& method : generator.m_nativeMethods) natives.insert(wizardpages::memberKey(method));
  auto shown = [&](const MethodLineMap::value_type& entry) {
    return !entry.first.empty() && !(settings.bIsMethodsIml && natives.count(wizardpages::memberKey(entry.second)));
  };
  bool anyShown = false;
  for (const auto& entry : methods) anyShown = anyShown || shown(entry);
  if (anyShown) {
    m_hMethods = tree.InsertItem(kMethodsText, 0, 0, m_hRoot, TVI_LAST);
    for (const auto& entry : methods) {
      if (shown(entry)) {
        AddMember(m_hMethods, entry.first, wizardpages::memberKey(entry.second),
                  CString(entry.second.getName()) + "(...)");
      }
    }
  }
  tree.Expand(m_hRoot, TVE_EXPAND);
}

std::string CLocalFilterPage::KeyOf(HTREEITEM item) const {
  CMemberView* members = MemberViewPane(m_splitter, 1);
  if (members == nullptr || item == nullptr) return std::string();
  auto found = m_memberKeys.find(members->GetTreeCtrl().GetItemText(item).str());
  return found != m_memberKeys.end() ? found->second : std::string();
}

bool CLocalFilterPage::SyncChecks(HTREEITEM parent, bool check, bool excludeMode) {
  bool result = check;
  CMemberView* members = MemberViewPane(m_splitter, 1);
  if (members == nullptr || parent == nullptr || m_pClassSettings == nullptr) return result;
  CTreeCtrl& tree = members->GetTreeCtrl();
  for (HTREEITEM item = tree.GetChildItem(parent); item != nullptr; item = tree.GetNextSiblingItem(item)) {
    bool childrenChecked = SyncChecks(item, check, excludeMode);
    std::string key = KeyOf(item);
    std::set<std::string>& excluded = (*m_pClassSettings)[m_className].members;
    if (!key.empty() && excluded.count(key) != 0) {
      if (excludeMode) {
        tree.SetCheck(item, FALSE);
        result = false;
      } else {
        excluded.erase(key);
        tree.SetCheck(item, TRUE);
      }
    } else {
      bool checked = check && childrenChecked;
      tree.SetCheck(item, checked ? TRUE : FALSE);
      if (excludeMode && !checked && !key.empty() && !tree.ItemHasChildren(item)) excluded.insert(key);
    }
  }
  return result;
}

bool CLocalFilterPage::HasItem(HTREEITEM parent, HTREEITEM wanted) const {
  CMemberView* members = MemberViewPane(m_splitter, 1);
  if (members == nullptr) return false;
  CTreeCtrl& tree = members->GetTreeCtrl();
  HTREEITEM first = parent == nullptr ? tree.GetRootItem() : tree.GetChildItem(parent);
  for (HTREEITEM item = first; item != nullptr; item = tree.GetNextSiblingItem(item)) {
    if (item == wanted || HasItem(item, wanted)) return true;
  }
  return false;
}

LRESULT CLocalFilterPage::OnMemberClicked(WPARAM wParam, LPARAM lParam) {
  HTREEITEM item = reinterpret_cast<HTREEITEM>(wParam);
  bool checked = lParam != 0;
  CMemberView* members = MemberViewPane(m_splitter, 1);
  if (item == nullptr || members == nullptr || members->m_hWnd == nullptr || m_pClassSettings == nullptr) return 0;
  // The message was posted: the tree may have been rebuilt since the click.
  if (!HasItem(nullptr, item)) return 0;
  CTreeCtrl& tree = members->GetTreeCtrl();
  ClassSettings& settings = (*m_pClassSettings)[m_className];

  if (item == m_hRoot) {
    settings.bUseGlobalFilter = checked;
    BuildMemberTree();  // the listing changes with the switch
    if (m_hRoot == nullptr) return 0;
    tree.SetCheck(m_hRoot, settings.bUseGlobalFilter ? TRUE : FALSE);
    item = m_hRoot;
  }

  HTREEITEM root = nullptr;
  std::set<HTREEITEM> groups;
  for (HTREEITEM top = tree.GetRootItem(); top != nullptr; top = tree.GetNextSiblingItem(top)) {
    if (tree.GetItemText(top) == kRootText) root = top;
  }
  if (root == nullptr) return 0;
  for (HTREEITEM group = tree.GetChildItem(root); group != nullptr; group = tree.GetNextSiblingItem(group)) {
    CString text = tree.GetItemText(group);
    if (text == kConstantsText || text == kFieldsText || text == kConstructorsText || text == kMethodsText) {
      groups.insert(group);
    }
  }

  if (item == root) {
    // Switching the global filter starts the class afresh: nothing excluded.
    settings.members.clear();
    SyncChecks(root, true, true);
  } else if (groups.count(item) != 0) {
    SyncChecks(item, checked, !checked);
  } else {
    HTREEITEM parent = tree.GetParentItem(item);
    for (HTREEITEM up = parent; up != nullptr && up != root; up = tree.GetParentItem(up)) tree.SetCheck(up, FALSE);
    bool allChecked = true;
    HTREEITEM first = parent != nullptr ? tree.GetChildItem(parent) : tree.GetRootItem();
    for (HTREEITEM sibling = first; sibling != nullptr; sibling = tree.GetNextSiblingItem(sibling)) {
      std::string key = KeyOf(sibling);
      bool on = tree.GetCheck(sibling) == TRUE;
      allChecked = allChecked && on;
      if (key.empty()) continue;
      if (on) {
        settings.members.erase(key);
      } else {
        settings.members.insert(key);
      }
    }
    if (allChecked && parent != nullptr && parent != root) tree.SetCheck(parent, TRUE);
  }
  return 0;
}

LRESULT CLocalFilterPage::OnMemberSelChanged(WPARAM, LPARAM) { return 0; }

void CLocalFilterPage::OnMemberNameChosen() {
  if (!UpdateData(TRUE) || m_memberIndex < 0) return;
  CMemberView* members = MemberViewPane(m_splitter, 1);
  if (members == nullptr) return;
  HTREEITEM item = reinterpret_cast<HTREEITEM>(m_memberCombo.GetItemData(m_memberIndex));
  if (item == nullptr || !HasItem(nullptr, item)) return;
  CTreeCtrl& tree = members->GetTreeCtrl();
  tree.EnsureVisible(item);
  tree.SelectSetFirstVisible(item);
  tree.SelectItem(item);
  tree.SetFocus();
}

// The frame fills the page from the left edge to the right one and down to six pixels above
// the combo box; the combo box (its right edge on the page's) and its label keep to the bottom.
void CLocalFilterPage::OnSize(UINT type, int cx, int cy) {
  CDialog::OnSize(type, cx, cy);
  if (m_hWnd == nullptr || m_memberCombo.m_hWnd == nullptr || m_staticSelect.m_hWnd == nullptr) return;
  CRect combo = wizardpages::ChildRect(*this, m_memberCombo);
  CRect label = wizardpages::ChildRect(*this, m_staticSelect);
  int comboTop = cy - 3 - combo.Height();
  int shift = comboTop - combo.top;
  m_memberCombo.MoveWindow(combo.left, comboTop, cx > combo.left ? cx - combo.left : 0, combo.Height());
  m_staticSelect.MoveWindow(label.left, label.top + shift, label.Width(), label.Height());
  if (m_pFrame != nullptr && m_pFrame->m_hWnd != nullptr) {
    CRect frame = wizardpages::ChildRect(*this, *m_pFrame);
    int bottom = comboTop - 6;
    m_pFrame->MoveWindow(0, frame.top, cx, bottom > frame.top ? bottom - frame.top : 0);
  }
}

void CLocalFilterPage::OnPaint() {
  CPaintDC dc(this);
  m_captionFont.Apply(*this, {&m_staticCaption});
}
