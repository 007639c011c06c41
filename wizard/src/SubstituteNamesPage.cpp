#include "SubstituteNamesPage.h"

#include "PageSupport.h"
#include "ProxyGenerator.h"
#include "UiResources.h"

#include <algorithm>

void registerSubstituteNamesPageTemplate() {
  const DWORD button = WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON;
  const DWORD edit = WS_VISIBLE | WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL;
  const DWORD check = WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX | BS_VCENTER;
  wizardpages::RegisterPageTemplate(
      IDD_SUBSTITUTE_NAMES_PAGE, 350, 251,
      {
          {IDC_DESCRIPTION, WC_STATIC, "Substitute the names which are ambiguous in C++ Code.", 0, 0, 350, 16,
           WS_VISIBLE | SS_LEFT, 0},
          {IDC_SUBSTITUTE_LIST, WC_LISTVIEW, "", 1, 21, 343, 183,
           WS_VISIBLE | WS_TABSTOP | WS_BORDER | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_NOLABELWRAP |
               LVS_NOSORTHEADER,
           0},
          {IDC_OLD_NAME, WC_EDIT, "", 43, 207, 40, 14, edit, 0},
          {IDC_SUBSTITUTE_LABEL, WC_STATIC, "Subsitute:", 6, 210, 32, 8, WS_VISIBLE | SS_LEFT, 0},
          {IDC_WITH_LABEL, WC_STATIC, "with:", 97, 210, 16, 8, WS_VISIBLE | SS_LEFT, 0},
          {IDC_NEW_NAME, WC_EDIT, "", 181, 207, 64, 14, edit, 0},
          {IDC_ADD, WC_BUTTON, "Add", 9, 229, 50, 14, button, 0},
          {IDC_UPDATE, WC_BUTTON, "Update", 64, 229, 50, 14, button, 0},
          {IDC_DELETE, WC_BUTTON, "Delete", 119, 229, 50, 14, button, 0},
          {IDC_FIELD_PREFIX, WC_BUTTON, "Add Field Prefix", 195, 231, 65, 10, check, 0},
          {IDC_METHOD_PREFIX, WC_BUTTON, "Add Method Prefix", 267, 231, 74, 10, check, 0},
      });
}

BEGIN_MESSAGE_MAP(CSubstituteNamesPage, CDialog)
  ON_WM_PAINT()
  ON_BN_CLICKED(IDC_ADD, OnAdd)
  ON_BN_CLICKED(IDC_DELETE, OnDelete)
  ON_BN_CLICKED(IDC_UPDATE, OnUpdate)
  ON_WM_SIZE()
  ON_WM_SHOWWINDOW()
  ON_NOTIFY(LVN_ITEMCHANGED, IDC_SUBSTITUTE_LIST, OnItemChanged)
  ON_BN_CLICKED(IDC_FIELD_PREFIX, OnFieldPrefix)
  ON_BN_CLICKED(IDC_METHOD_PREFIX, OnMethodPrefix)
END_MESSAGE_MAP()

CSubstituteNamesPage::CSubstituteNamesPage(CWnd* parent)
    : CDialog(IDD, parent),
      m_nFieldPrefixCheck(0),
      m_nMethodPrefixCheck(0),
      m_nSelected(-1),
      m_pSubstitutions(nullptr),
      m_pFieldPrefix(nullptr),
      m_pMethodPrefix(nullptr) {}

void CSubstituteNamesPage::SetModel(NameSubstitutionMap* substitutions, bool* fieldPrefix, bool* methodPrefix) {
  m_pSubstitutions = substitutions;
  m_pFieldPrefix = fieldPrefix;
  m_pMethodPrefix = methodPrefix;
}

void CSubstituteNamesPage::DoDataExchange(CDataExchange* dx) {
  CDialog::DoDataExchange(dx);
  DDX_Control(dx, IDC_METHOD_PREFIX, m_chkMethodPrefix);
  DDX_Control(dx, IDC_FIELD_PREFIX, m_chkFieldPrefix);
  DDX_Control(dx, IDC_SUBSTITUTE_LIST, m_listNames);
  DDX_Control(dx, IDC_UPDATE, m_btnUpdate);
  DDX_Control(dx, IDC_WITH_LABEL, m_staticWith);
  DDX_Control(dx, IDC_SUBSTITUTE_LABEL, m_staticSubstitute);
  DDX_Control(dx, IDC_OLD_NAME, m_editOldName);
  DDX_Control(dx, IDC_NEW_NAME, m_editNewName);
  DDX_Control(dx, IDC_DELETE, m_btnDelete);
  DDX_Control(dx, IDC_ADD, m_btnAdd);
  DDX_Control(dx, IDC_DESCRIPTION, m_staticInfo);
  DDX_Text(dx, IDC_OLD_NAME, m_strOldName);
  DDX_Text(dx, IDC_NEW_NAME, m_strNewName);
  DDX_Check(dx, IDC_FIELD_PREFIX, m_nFieldPrefixCheck);
  DDX_Check(dx, IDC_METHOD_PREFIX, m_nMethodPrefixCheck);
}

BOOL CSubstituteNamesPage::OnInitDialog() {
  CDialog::OnInitDialog();
  wizardpages::InitReportList(m_listNames, LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT,
                              {{"Old name", 264}, {"New name", 264}});
  return TRUE;
}

int CSubstituteNamesPage::FindRow(const CString& oldName) const {
  for (int row = 0; row < m_listNames.GetItemCount(); ++row) {
    if (m_listNames.GetItemText(row, 0) == oldName) return row;
  }
  return -1;
}

void CSubstituteNamesPage::OnAdd() {
  UpdateData(TRUE);
  if (m_pSubstitutions == nullptr || m_strOldName.IsEmpty() || m_strNewName.IsEmpty() ||
      m_pSubstitutions->count(m_strOldName.str()) != 0) {
    return;
  }
  int row = m_listNames.InsertItem(m_listNames.GetItemCount(), m_strOldName);
  m_listNames.SetItemText(row, 1, m_strNewName);
  (*m_pSubstitutions)[m_strOldName.str()] = m_strNewName.str();
  m_strOldName.Empty();
  m_strNewName.Empty();
  UpdateData(FALSE);
}

void CSubstituteNamesPage::ListSubstitutions() {
  m_listNames.DeleteAllItems();
  m_nSelected = -1;
  if (m_pSubstitutions == nullptr) return;
  for (const auto& substitution : *m_pSubstitutions) {
    int row = m_listNames.InsertItem(m_listNames.GetItemCount(), substitution.first.c_str());
    m_listNames.SetItemText(row, 1, substitution.second.c_str());
  }
}

void CSubstituteNamesPage::SelectRow(int row) {
  m_listNames.SetItemState(row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
  // A row that was selected already sends no notification: its names are shown here too.
  UpdateData(TRUE);
  m_nSelected = row;
  m_strOldName = m_listNames.GetItemText(row, 0);
  m_strNewName = m_listNames.GetItemText(row, 1);
  UpdateData(FALSE);
}

void CSubstituteNamesPage::OnUpdate() {
  UpdateData(TRUE);
  // An empty name would give an empty identifier in the generated code: refused, as by Add.
  if (m_pSubstitutions == nullptr || m_nSelected < 0 || m_nSelected >= m_listNames.GetItemCount() ||
      m_strOldName.IsEmpty() || m_strNewName.IsEmpty()) {
    UpdateData(FALSE);
    return;
  }
  // The old name in the field takes the new name in the field. When the field names another
  // old name than the selected row, the row's own substitution stays: the list, rebuilt,
  // shows both.
  m_pSubstitutions->erase(m_strOldName.str());
  (*m_pSubstitutions)[m_strOldName.str()] = m_strNewName.str();
  ListSubstitutions();
  SelectRow(FindRow(m_strOldName));
  UpdateData(FALSE);
}

void CSubstituteNamesPage::OnDelete() {
  UpdateData(TRUE);
  if (m_pSubstitutions == nullptr || m_nSelected < 0 || m_nSelected >= m_listNames.GetItemCount()) {
    UpdateData(FALSE);
    return;
  }
  // The substitution named in the old-name field goes, with the row that shows it.
  const CString removedOldName = m_strOldName;
  const auto removed = m_pSubstitutions->find(removedOldName.str());
  const int row = FindRow(removedOldName);
  if (removed == m_pSubstitutions->end() || row == -1) {
    UpdateData(FALSE);
    return;
  }
  m_pSubstitutions->erase(removed);
  m_listNames.DeleteItem(row);
  const int count = m_listNames.GetItemCount();
  if (count == 0) {
    m_nSelected = -1;
    m_pSubstitutions->clear();
    m_strOldName.Empty();
    m_strNewName.Empty();
    UpdateData(FALSE);
    return;
  }
  // The row that took its place is selected and shows its names.
  SelectRow(std::min(row, count - 1));
}

void CSubstituteNamesPage::OnItemChanged(NMHDR* header, LRESULT* result) {
  const NMLISTVIEW* change = reinterpret_cast<const NMLISTVIEW*>(header);
  *result = 0;
  if ((change->uChanged & LVIF_STATE) == 0) return;
  if ((change->uNewState & LVIS_SELECTED) != 0) {
    UpdateData(TRUE);  // keep the check boxes' members as they are on the page
    m_nSelected = change->iItem;
    m_strOldName = m_listNames.GetItemText(change->iItem, 0);
    m_strNewName = m_listNames.GetItemText(change->iItem, 1);
    UpdateData(FALSE);
  } else if ((change->uOldState & LVIS_SELECTED) != 0 && change->iItem == m_nSelected) {
    m_nSelected = -1;  // no row is selected any more
  }
}

void CSubstituteNamesPage::OnFieldPrefix() {
  UpdateData(TRUE);
  bool on = m_nFieldPrefixCheck != 0;
  if (m_pFieldPrefix != nullptr) *m_pFieldPrefix = on;
  setAddFieldPrefix(on);
}

void CSubstituteNamesPage::OnMethodPrefix() {
  UpdateData(TRUE);
  bool on = m_nMethodPrefixCheck != 0;
  if (m_pMethodPrefix != nullptr) *m_pMethodPrefix = on;
  setAddMethodPrefix(on);
}

void CSubstituteNamesPage::OnShowWindow(BOOL show, UINT status) {
  CDialog::OnShowWindow(show, status);
  if (!show || m_pSubstitutions == nullptr || m_staticInfo.GetSafeHwnd() == nullptr) return;
  ListSubstitutions();
  m_nFieldPrefixCheck = m_pFieldPrefix != nullptr && *m_pFieldPrefix ? 1 : 0;
  m_nMethodPrefixCheck = m_pMethodPrefix != nullptr && *m_pMethodPrefix ? 1 : 0;
  UpdateData(FALSE);
}

void CSubstituteNamesPage::OnSize(UINT type, int cx, int cy) {
  CDialog::OnSize(type, cx, cy);
  if (m_staticInfo.GetSafeHwnd() == nullptr || m_listNames.GetSafeHwnd() == nullptr ||
      m_staticSubstitute.GetSafeHwnd() == nullptr || m_staticWith.GetSafeHwnd() == nullptr ||
      m_editOldName.GetSafeHwnd() == nullptr || m_editNewName.GetSafeHwnd() == nullptr) {
    return;
  }
  CRect client;
  GetClientRect(&client);
  auto placeOf = [this](CWnd& control) {
    CRect rect;
    control.GetWindowRect(&rect);
    ScreenToClient(&rect);
    return rect;
  };
  CRect info = placeOf(m_staticInfo);
  CRect list = placeOf(m_listNames);
  CRect label = placeOf(m_staticSubstitute);
  CRect with = placeOf(m_staticWith);
  CRect oldName = placeOf(m_editOldName);
  CRect newName = placeOf(m_editNewName);

  info.left = 0;
  info.right = client.right;
  list.left = 0;
  list.right = client.right;
  label.left = 0;  // its right edge stays
  const int half = (client.Width() - with.Width() - label.right) / 2;
  const int editWidth = std::max(half - 5, 0);
  oldName.left = label.right;
  oldName.right = oldName.left + editWidth;
  const int withWidth = with.Width();
  with.left = label.right + half;
  with.right = with.left + withWidth;
  newName.left = client.right - half + 5;
  newName.right = newName.left + editWidth;

  m_staticInfo.MoveWindow(&info);
  m_listNames.MoveWindow(&list);
  m_staticSubstitute.MoveWindow(&label);
  m_editOldName.MoveWindow(&oldName);
  m_staticWith.MoveWindow(&with);
  m_editNewName.MoveWindow(&newName);
}

void CSubstituteNamesPage::OnPaint() {
  CPaintDC dc(this);
  m_captionFont.Apply(*this, {&m_staticInfo, &m_staticSubstitute, &m_staticWith});
}
