// The page "Installed JVMs": its list, its buttons and the JVM dialog's use. Loading and saving
// the global settings and the JVM job are in JvmListPageJob.cpp.
#include "JvmListPage.h"

#include "JvmDlg.h"
#include "PageSupport.h"
#include "PercentBar.h"
#include "UiResources.h"

namespace {

// The folder of the global settings file, as the environment names it.
const CString kInstallFolderVariable("%KAVRINVC6%");

const UINT kChecked = INDEXTOSTATEIMAGEMASK(2);

bool isCheckedState(UINT state) { return (state & LVIS_STATEIMAGEMASK) == kChecked; }

void eraseJvm(JvmDefinitionSet& jvms, const std::string& name) {
  auto found = jvms.find(name);
  if (found != jvms.end()) jvms.erase(found);
}

}  // namespace

void registerJvmListPageTemplate() {
  const DWORD button = WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON;
  wizardpages::RegisterPageTemplate(
      IDD_JVM_LIST_PAGE, 308, 233,
      {
          {IDC_DESCRIPTION, WC_STATIC,
           "Add, remove or edit JVM definitions. Checked JVM will be used by default to build Java Class Proxies.", 0,
           0, 291, 19, WS_VISIBLE | SS_LEFT, 0},
          {IDC_CAPTION, WC_STATIC, "Installed JVMs:", 0, 23, 90, 11, WS_VISIBLE | SS_LEFT, 0},
          {IDC_JVM_LIST, WC_LISTVIEW, "", 0, 37, 238, 178,
           WS_VISIBLE | WS_TABSTOP | WS_BORDER | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_NOSORTHEADER, 0},
          {IDC_ADD, WC_BUTTON, "Add...", 248, 37, 50, 14, button, 0},
          {IDC_EDIT, WC_BUTTON, "Edit...", 248, 54, 50, 14, button, 0},
          {IDC_REMOVE, WC_BUTTON, "Remove", 248, 71, 50, 14, button, 0},
      });
}

BEGIN_MESSAGE_MAP(CJvmListPage, CDialog)
  ON_WM_SIZE()
  ON_WM_PAINT()
  ON_WM_DESTROY()
  ON_NOTIFY(LVN_ITEMCHANGED, IDC_JVM_LIST, OnItemChanged)
  ON_BN_CLICKED(IDC_ADD, OnAdd)
  ON_BN_CLICKED(IDC_EDIT, OnEdit)
  ON_BN_CLICKED(IDC_REMOVE, OnRemove)
END_MESSAGE_MAP()

CJvmListPage::CJvmListPage(CWnd* parent)
    : CDialog(IDD, parent),
      m_selectedRow(-1),
      m_bLoading(true),
      m_pProgressBar(nullptr),
      m_pClassSettings(nullptr),
      m_bSettingsUnreadable(false) {}

void CJvmListPage::DoDataExchange(CDataExchange* dx) {
  CDialog::DoDataExchange(dx);
  DDX_Control(dx, IDC_CAPTION, m_staticCaption);
  DDX_Control(dx, IDC_REMOVE, m_btnRemove);
  DDX_Control(dx, IDC_EDIT, m_btnEdit);
  DDX_Control(dx, IDC_ADD, m_btnAdd);
  DDX_Control(dx, IDC_DESCRIPTION, m_staticDescription);
  DDX_Control(dx, IDC_JVM_LIST, m_jvmList);
}

BOOL CJvmListPage::OnInitDialog() {
  CDialog::OnInitDialog();
  wizardpages::InitReportList(m_jvmList, LVS_EX_GRIDLINES | LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT,
                              {{"Name", 90}, {"JRE Location", 180}, {"JDK Location", 180}});
  char folder[MAX_PATH] = {};
  DWORD needed = ExpandEnvironmentStrings(kInstallFolderVariable, folder, sizeof folder);
  m_installFolder = needed > 0 && needed <= sizeof folder ? CString(folder) : kInstallFolderVariable;
  return TRUE;
}

void CJvmListPage::SetJvmData(CPercentBar* progressBar, ClassSettingsMap* classSettings,
                              const JvmDefinitionSet& installedJvms, IXMLDOMDocument* settingsDocument) {
  // The JVM job that loading starts reads these two on the worker: they are in place before.
  m_pProgressBar = progressBar;
  m_pClassSettings = classSettings;
  m_installedJvms = installedJvms;

  for (const JvmDefinition& jvm : installedJvms) AppendRow(jvm);
  m_pSettingsDocument = settingsDocument;
  if (!LoadGlobalSettings()) ApplyCheckedJvm();

  // A user-defined JVM with the name of an installed one is shown once, as the installed row.
  for (const JvmDefinition& jvm : m_extraJvms) {
    if (installedJvms.find(jvm.strName) == installedJvms.end()) AppendRow(jvm);
  }
  for (int row = 0; row < m_jvmList.GetItemCount(); ++row) {
    if (RowText(row, 0, 1000) == m_currentJvm.strName) {
      CheckAndSelect(row);
      break;
    }
  }
}

JvmDefinition& CJvmListPage::GetCurrentJvmName() { return m_currentJvm; }

std::string CJvmListPage::RowText(int row, int column, int bufferSize) const {
  if (row < 0 || row >= m_jvmList.GetItemCount()) return std::string();
  std::vector<char> buffer(static_cast<size_t>(bufferSize), '\0');
  m_jvmList.GetItemText(row, column, buffer.data(), bufferSize);
  return std::string(buffer.data());
}

int CJvmListPage::AppendRow(const JvmDefinition& jvm) {
  int row = m_jvmList.InsertItem(LVIF_TEXT | LVIF_IMAGE | LVIF_STATE, m_jvmList.GetItemCount(), jvm.strName.c_str(), 0,
                                 0, 0, 0);
  SetRowTexts(row, jvm, false);
  return row;
}

void CJvmListPage::SetRowTexts(int row, const JvmDefinition& jvm, bool withName) {
  if (withName) m_jvmList.SetItemText(row, 0, jvm.strName.c_str());
  m_jvmList.SetItemText(row, 1, jvm.strJREPath.c_str());
  m_jvmList.SetItemText(row, 2, jvm.strJDKPath.c_str());
}

void CJvmListPage::CheckAndSelect(int row) {
  m_jvmList.SetCheck(row, TRUE);
  m_jvmList.SetItemState(row, LVIS_SELECTED, LVIS_SELECTED);
}

int CJvmListPage::FindRow(const std::string& name) const {
  LVFINDINFO find{};
  find.flags = LVFI_STRING;
  find.psz = name.c_str();
  return m_jvmList.FindItem(&find);
}

bool CJvmListPage::IsUserDefined(const std::string& name) const {
  return m_extraJvms.count(name) != 0 && m_installedJvms.count(name) == 0;
}

void CJvmListPage::ApplyCheckedJvm() {
  int row = -1;
  for (int i = 0; i < m_jvmList.GetItemCount(); ++i) {
    if (m_jvmList.GetCheck(i) == 1) {
      row = i;
      break;
    }
  }
  const std::string name = RowText(row, 0, 1024);
  const std::string jre = RowText(row, 1, 1024);
  const std::string jdk = RowText(row, 2, 1024);
  if (name == m_currentJvm.strName && jre == m_currentJvm.strJREPath && jdk == m_currentJvm.strJDKPath) return;
  // Jobs at work read the current JVM: let them end, then start one for the new JVM.
  if (!WaitUntilIdle()) return;
  const JvmDefinition former = m_currentJvm;
  m_currentJvm.strName = name;
  m_currentJvm.strJREPath = jre;
  m_currentJvm.strJDKPath = jdk;
  if (!SaveGlobalSettings()) {
    KeepFormerJvm(former);
    return;
  }
  StartJob();
}

void CJvmListPage::KeepFormerJvm(const JvmDefinition& former) {
  m_currentJvm = former;
  const int row = FindRow(former.strName);
  if (row != -1) CheckAndSelect(row);
}

void CJvmListPage::OnItemChanged(NMHDR* header, LRESULT* result) {
  const NMLISTVIEW* change = reinterpret_cast<const NMLISTVIEW*>(header);
  *result = 0;
  const int item = change->iItem;
  if ((change->uChanged & LVIF_STATE) == 0 || item < 0 || item >= m_jvmList.GetItemCount()) return;

  // The check boxes act as radio buttons: once a row is checked, exactly one stays checked.
  const int count = m_jvmList.GetItemCount();
  int unchecked = 0;
  int otherChecked = -1;
  for (int row = 0; row < count; ++row) {
    if (m_jvmList.GetCheck(row) != 1) {
      ++unchecked;
    } else if (row != item) {
      otherChecked = row;
    }
  }
  const bool becameSelected = (change->uNewState & LVIS_SELECTED) != 0;
  if (becameSelected) m_selectedRow = item;
  const int checked = count - unchecked;
  const bool itemChecked = m_jvmList.GetCheck(item) == 1;
  const bool lostCheck = isCheckedState(change->uOldState) && !isCheckedState(change->uNewState);
  if (itemChecked && checked == 2 && otherChecked != -1) {
    m_jvmList.SetCheck(otherChecked, FALSE);
    m_jvmList.SetItemState(item, LVIS_SELECTED, LVIS_SELECTED);
  } else if (!itemChecked && checked == 0 && (lostCheck || becameSelected)) {
    // No row is checked: the row the user took the check from, or clicked, becomes checked. A
    // row that only loses its selection is left alone: the click went to another row.
    CheckAndSelect(item);
  }

  if (m_jvmList.GetItemState(item, LVIS_SELECTED) != 0) {
    ApplyCheckedJvm();
    const std::string name = RowText(m_selectedRow, 0, 1024);
    m_btnEdit.EnableWindow(m_selectedRow != -1 && name == m_currentJvm.strName ? TRUE : FALSE);
    m_btnRemove.EnableWindow(m_selectedRow != -1 && IsUserDefined(name) ? TRUE : FALSE);
  }
}

void CJvmListPage::ShowAsCurrent(const JvmDefinition& former, bool renameFormer) {
  int row = FindRow(m_currentJvm.strName);
  if (row == -1) {
    m_extraJvms.insert(m_currentJvm);
    int formerRow = -1;
    if (renameFormer && m_extraJvms.count(former.strName) != 0) {
      for (int i = 0; i < m_jvmList.GetItemCount() && formerRow == -1; ++i) {
        if (RowText(i, 0, 1024) == former.strName) formerRow = i;
      }
    }
    if (formerRow != -1) {
      // A user-defined JVM renamed: its row and its definition take the new name.
      eraseJvm(m_extraJvms, former.strName);
      SetRowTexts(formerRow, m_currentJvm, true);
      row = formerRow;
    } else {
      row = AppendRow(m_currentJvm);
    }
  } else {
    auto extra = m_extraJvms.find(RowText(row, 0, 1024));
    if (extra != m_extraJvms.end()) {
      // A user-defined JVM keeps the definition given now.
      m_extraJvms.erase(extra);
      m_extraJvms.insert(m_currentJvm);
      SetRowTexts(row, m_currentJvm, true);
    } else {
      SetRowTexts(row, m_currentJvm, false);
    }
  }
  // The row shows the current JVM now, so checking it changes nothing more.
  CheckAndSelect(row);
}

void CJvmListPage::OnAdd() {
  CJvmDlg dialog(this);
  dialog.SetJvm("Add JDK", &m_addedPaths, JvmDefinition());
  if (dialog.DoModal() != IDOK || !WaitUntilIdle()) return;
  const JvmDefinition former = m_currentJvm;
  const JvmDefinition added = dialog.GetJvm();
  m_addedPaths = dialog.GetAddedPaths();
  const int listed = FindRow(added.strName);
  auto installed = m_installedJvms.find(RowText(listed, 0, 1024));
  if (listed != -1 && installed != m_installedJvms.end()) {
    // An installed JVM keeps the definition the registry gives it: its row becomes current.
    if (added.strJREPath != installed->strJREPath || added.strJDKPath != installed->strJDKPath) {
      const std::string text = "\"" + installed->strName +
                               "\" is the name of an installed JVM, which keeps its own JRE and JDK.\n"
                               "Give the JVM you define another name.";
      MessageBox(text.c_str(), "KAVRIN Add-In", MB_OK | MB_ICONINFORMATION);
    }
    m_currentJvm = *installed;
    CheckAndSelect(listed);
  } else {
    m_currentJvm = added;
    ShowAsCurrent(former, false);
  }
  if (!SaveGlobalSettings()) {
    KeepFormerJvm(former);
    return;
  }
  StartJob();
}

void CJvmListPage::OnEdit() {
  CJvmDlg dialog(this);
  dialog.SetJvm("Edit JDK", &m_addedPaths, m_currentJvm);
  if (dialog.DoModal() != IDOK || !WaitUntilIdle()) return;
  const JvmDefinition former = m_currentJvm;
  const std::set<std::string> formerPaths = m_addedPaths;
  m_currentJvm = dialog.GetJvm();
  m_addedPaths = dialog.GetAddedPaths();
  ShowAsCurrent(former, true);
  if (!SaveGlobalSettings()) {
    // The file keeps the JVM as it was: so does the page, and the edit is undone.
    const JvmDefinition edited = m_currentJvm;
    m_currentJvm = former;
    m_addedPaths = formerPaths;
    ShowAsCurrent(edited, true);
    return;
  }
  // The modules and JAVA_HOME follow the edited JVM and paths.
  if (former.strName != m_currentJvm.strName || former.strJREPath != m_currentJvm.strJREPath ||
      former.strJDKPath != m_currentJvm.strJDKPath || formerPaths != m_addedPaths) {
    StartJob();
  }
}

void CJvmListPage::OnRemove() {
  if (m_selectedRow < 0 || m_selectedRow >= m_jvmList.GetItemCount()) return;
  // The installed JVMs come from the registry: only the user's own can go.
  if (!IsUserDefined(RowText(m_selectedRow, 0, 1024)) || !WaitUntilIdle()) return;
  const int row = m_selectedRow;
  const bool wasChecked = m_jvmList.GetCheck(row) == 1;
  eraseJvm(m_extraJvms, RowText(row, 0, 1024));
  m_jvmList.DeleteItem(row);
  m_selectedRow = -1;
  const int count = m_jvmList.GetItemCount();
  if (count > 0) {
    // The last row is selected; when the current JVM's row went, it becomes the current JVM.
    if (wasChecked) m_jvmList.SetCheck(count - 1, TRUE);
    m_jvmList.SetItemState(count - 1, LVIS_SELECTED, LVIS_SELECTED);
  } else {
    m_btnEdit.EnableWindow(FALSE);
    m_btnRemove.EnableWindow(FALSE);
  }
  SaveGlobalSettings();
}

void CJvmListPage::OnSize(UINT type, int cx, int cy) {
  CDialog::OnSize(type, cx, cy);
  wizardpages::LayoutButtonListPage(*this, {&m_btnAdd, &m_btnEdit, &m_btnRemove}, m_staticDescription, m_jvmList);
}

void CJvmListPage::OnPaint() {
  CPaintDC dc(this);
  m_captionFont.Apply(*this, {&m_staticDescription, &m_staticCaption});
}

void CJvmListPage::OnDestroy() {
  StopJob();
  CDialog::OnDestroy();
}
