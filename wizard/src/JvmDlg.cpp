#include "JvmDlg.h"

#include "JavaImage.h"
#include "JavaLayout.h"
#include "PageSupport.h"
#include "UiResources.h"
#include "WizardControls.h"

#include <unistd.h>

#include <vector>

namespace {

constexpr DWORD kFileBufferSize = 200000;

const char kArchiveFilter[] = "Java Files(*.jar *.zip)|*.jar;*.zip|Jar Files (*.jar)|*.jar|Zip Files (*.zip)|*.zip||";

std::string windowText(const CWnd& window) {
  CString text;
  window.GetWindowText(text);
  return text.str();
}

// The shell's folder browser, starting in `start`; the folder chosen, or empty on Cancel.
std::string browseForFolder(CWnd* owner, const char* title, const std::string& start) {
  // The browser's callback starts in the process's current directory.
  if (!start.empty() && chdir(start.c_str()) != 0) {
    // A folder that does not exist: the browser starts where the process is.
  }
  char displayName[MAX_PATH] = {};
  BROWSEINFO info{};
  info.hwndOwner = owner->GetSafeHwnd();
  info.pszDisplayName = displayName;
  info.lpszTitle = title;
  info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_STATUSTEXT | BIF_VALIDATE;
  info.lpfn = BrowseFolderCallback;
  LPITEMIDLIST item = SHBrowseForFolder(&info);
  if (item == nullptr) return std::string();
  char path[MAX_PATH] = {};
  BOOL ok = SHGetPathFromIDList(item, path);
  ILFree(item);
  return ok ? std::string(path) : std::string();
}

bool anyFileMatches(const std::string& pattern) {
  WIN32_FIND_DATA found;
  HANDLE find = FindFirstFile(pattern.c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return false;
  FindClose(find);
  return true;
}

// The runtime of a JDK home: its jre folder when it has one with libraries (before Java 9);
// the home itself when it holds a VM library and a class library (a JDK of today is its own
// runtime); empty when the folder is no JDK.
std::string runtimeOfJdk(const std::string& home) {
  if (anyFileMatches(home + "/jre/lib/*")) return home + "/jre";
  if (javalayout::isRegularFile(javalayout::runtimeLibraryPath(home)) && !jdkClassLibrary(home, false).empty())
    return home;
  return std::string();
}

}  // namespace

void registerJvmDialogTemplate() {
  const DWORD button = WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON;
  const DWORD edit = WS_VISIBLE | WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL;
  ui::DialogTemplate dialog;
  dialog.cx = 322;
  dialog.cy = 222;
  dialog.style = WS_POPUP | WS_CAPTION | DS_MODALFRAME;
  dialog.controls = {
      {IDC_STATIC, WC_STATIC, "Name:", 4, 8, 69, 8, WS_VISIBLE | SS_LEFT | SS_CENTERIMAGE, 0},
      {IDC_JVM_NAME, WC_EDIT, "", 79, 4, 239, 14, edit, 0},
      {IDC_STATIC, WC_STATIC, "JRE home directory:", 4, 21, 69, 8, WS_VISIBLE | SS_LEFT, 0},
      {IDC_JRE_HOME, WC_EDIT, "", 79, 19, 184, 14, edit, 0},
      {IDC_BROWSE_JRE, WC_BUTTON, "Browse...", 268, 19, 50, 14, button, 0},
      {IDC_STATIC, WC_STATIC, "JDK home directory:", 4, 37, 69, 8, WS_VISIBLE | SS_LEFT, 0},
      {IDC_JDK_HOME, WC_EDIT, "", 79, 35, 184, 14, edit, 0},
      {IDC_BROWSE_JDK, WC_BUTTON, "Browse...", 268, 36, 50, 14, button, 0},
      {IDC_STATIC, WC_STATIC, "JRE global libraries:", 4, 55, 75, 8, WS_VISIBLE | SS_LEFT, 0},
      {IDC_LIBRARY_LIST, WC_LISTVIEW, "", 4, 68, 238, 94,
       WS_VISIBLE | WS_TABSTOP | WS_BORDER | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_NOLABELWRAP |
           LVS_NOCOLUMNHEADER,
       0},
      {IDC_ADD_JARS, WC_BUTTON, "Add External JARs...", 245, 68, 73, 14, button, 0},
      {IDC_EDIT_JAR, WC_BUTTON, "Edit...", 245, 85, 73, 14, button, 0},
      {IDC_REMOVE_JAR, WC_BUTTON, "Remove", 245, 102, 73, 14, button, 0},
      {IDC_JVM_MESSAGE, WC_STATIC, "", 4, 166, 234, 15, WS_VISIBLE | SS_LEFT, 0},
      {IDOK, WC_BUTTON, "OK", 215, 204, 50, 14, WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 0},
      {IDCANCEL, WC_BUTTON, "Cancel", 268, 204, 50, 14, button, 0},
  };
  ui::registerDialog(IDD_JVM_DIALOG, dialog);
}

BEGIN_MESSAGE_MAP(CJvmDlg, CDialog)
  ON_BN_CLICKED(IDC_ADD_JARS, OnAddExternalJars)
  ON_BN_CLICKED(IDC_EDIT_JAR, OnEditJar)
  ON_BN_CLICKED(IDC_BROWSE_JDK, OnBrowseJdk)
  ON_BN_CLICKED(IDC_BROWSE_JRE, OnBrowseJre)
  ON_BN_CLICKED(IDC_REMOVE_JAR, OnRemoveJar)
  ON_NOTIFY(LVN_ITEMCHANGED, IDC_LIBRARY_LIST, OnLibraryChanged)
END_MESSAGE_MAP()

CJvmDlg::CJvmDlg(CWnd* parent) : CDialog(IDD, parent), m_currentRow(-1) { CreateImages(); }

void CJvmDlg::CreateImages() {
  if (m_images.GetSafeHandle() != nullptr) return;
  // Images as wide as the strip is high.
  CBitmap strip;
  BITMAP info{};
  if (!strip.LoadBitmap(IDB_WIZARD_IMAGES) || strip.GetBitmap(&info) == 0 || info.bmHeight <= 0) return;
  m_images.Create(IDB_WIZARD_IMAGES, info.bmHeight, 1, kWizardImageMask);
}

void CJvmDlg::SetJvm(CString title, const std::set<std::string>* addedPaths, JvmDefinition jvm) {
  m_title = title;
  m_addedPaths = addedPaths != nullptr ? *addedPaths : std::set<std::string>();
  m_jvm = std::move(jvm);
}

JvmDefinition& CJvmDlg::GetJvm() { return m_jvm; }

std::set<std::string>& CJvmDlg::GetAddedPaths() { return m_addedPaths; }

void CJvmDlg::DoDataExchange(CDataExchange* dx) {
  CDialog::DoDataExchange(dx);
  DDX_Control(dx, IDC_JVM_NAME, m_editName);
  DDX_Control(dx, IDC_BROWSE_JRE, m_btnBrowseJre);
  DDX_Control(dx, IDC_BROWSE_JDK, m_btnBrowseJdk);
  DDX_Control(dx, IDC_REMOVE_JAR, m_btnRemoveJar);
  DDX_Control(dx, IDC_EDIT_JAR, m_btnEditJar);
  DDX_Control(dx, IDC_ADD_JARS, m_btnAddJars);
  DDX_Control(dx, IDC_JVM_MESSAGE, m_staticMessage);
  DDX_Control(dx, IDC_JRE_HOME, m_editJre);
  DDX_Control(dx, IDC_JDK_HOME, m_editJdk);
  DDX_Control(dx, IDC_LIBRARY_LIST, m_libraryList);
}

BOOL CJvmDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  SetWindowText(m_title);
  CreateImages();
  wizardpages::InitReportList(m_libraryList, LVS_EX_FULLROWSELECT, {{"", 500}});
  m_libraryList.SetImageList(&m_images, LVSIL_SMALL);

  m_editName.SetWindowText(m_jvm.strName.c_str());
  m_editJre.SetWindowText(m_jvm.strJREPath.c_str());
  m_editJdk.SetWindowText(m_jvm.strJDKPath.c_str());

  for (const std::string& library : m_jvm.setLibraries) AppendLibraryRow(library);
  for (const std::string& path : m_addedPaths) AppendLibraryRow(path);
  SelectFirstRow();

  if (m_editJdk.GetWindowTextLength() == 0) {
    m_editJre.EnableWindow(FALSE);
    m_btnBrowseJre.EnableWindow(FALSE);
  }
  return TRUE;
}

void CJvmDlg::AppendLibraryRow(const std::string& path) {
  m_libraryList.InsertItem(m_libraryList.GetItemCount(), path.c_str(), kImageArchive);
}

void CJvmDlg::SelectFirstRow() {
  // Edit and Remove wait for a row of an added path to be selected.
  m_btnEditJar.EnableWindow(FALSE);
  m_btnRemoveJar.EnableWindow(FALSE);
  m_currentRow = -1;
  if (m_libraryList.GetItemCount() == 0) return;
  m_libraryList.SetItemState(0, LVIS_SELECTED, LVIS_SELECTED);
  m_currentRow = 0;
}

std::string CJvmDlg::LibraryText(int row) const {
  if (row < 0 || row >= m_libraryList.GetItemCount()) return std::string();
  char buffer[1000] = {};
  m_libraryList.GetItemText(row, 0, buffer, sizeof buffer);
  return buffer;
}

int CJvmDlg::FindLibraryRow(const std::string& path) const {
  LVFINDINFO find{};
  find.flags = LVFI_STRING;
  find.psz = path.c_str();
  return m_libraryList.FindItem(&find);
}

void CJvmDlg::OnBrowseJdk() {
  std::string folder = browseForFolder(this, "Select JDK Home", windowText(m_editJdk));
  if (folder.empty()) return;
  const std::string runtime = runtimeOfJdk(folder);
  if (runtime.empty()) return;
  m_editJdk.SetWindowText(folder.c_str());
  m_editJre.SetWindowText(runtime.c_str());
  m_editJre.EnableWindow(TRUE);
  m_btnBrowseJre.EnableWindow(TRUE);
  ScanJreLibraries();
}

void CJvmDlg::OnBrowseJre() {
  std::string folder = browseForFolder(this, "Select JRE Home", windowText(m_editJre));
  if (folder.empty()) return;
  m_editJre.SetWindowText(folder.c_str());
  ScanJreLibraries();
}

void CJvmDlg::ScanJreLibraries() {
  m_libraryList.DeleteAllItems();
  while (m_libraryList.DeleteColumn(0)) {
  }
  m_libraryList.InsertColumn(0, "", LVCFMT_LEFT, 500);

  const std::string jre = windowText(m_editJre);
  const std::string lib = jre + "/lib";
  const std::string ext = lib + "/ext";
  const std::string javaws = jre + "/javaws";
  m_scan.strName = windowText(m_editName);
  m_scan.strJREPath = jre;
  m_scan.strJDKPath = windowText(m_editJdk);
  m_scan.setLibraries.clear();
  m_scan.setAddedPaths.clear();

  // The JDK's own class library (its jmods, or the modules of its image) below the archives.
  for (const std::string& path : jdkClassLibrary(jre, true)) {
    m_libraryList.InsertItem(0, path.c_str(), kImageArchive);
    m_scan.setLibraries.insert(path);
  }
  for (const std::string& folder : {lib, ext, javaws}) {
    for (const char* pattern : {"/*.zip", "/*.jar"}) {
      WIN32_FIND_DATA found;
      HANDLE find = FindFirstFile((folder + pattern).c_str(), &found);
      if (find == INVALID_HANDLE_VALUE) continue;
      do {
        std::string path = folder + "/" + found.cFileName;
        m_libraryList.InsertItem(0, path.c_str(), kImageArchive);
        m_scan.setLibraries.insert(path);
      } while (FindNextFile(find, &found));
      FindClose(find);
    }
  }
  // The added paths end up above the libraries.
  for (const std::string& path : m_addedPaths) m_libraryList.InsertItem(0, path.c_str(), kImageArchive);
  SelectFirstRow();
}

void CJvmDlg::OnLibraryChanged(NMHDR* header, LRESULT* result) {
  const NMLISTVIEW* change = reinterpret_cast<const NMLISTVIEW*>(header);
  *result = 0;
  if ((change->uChanged & LVIF_STATE) == 0) return;
  if ((change->uNewState & LVIS_SELECTED) != 0) {
    m_currentRow = change->iItem;
    // A JRE library cannot be edited or removed, an added path can.
    BOOL added = m_addedPaths.count(LibraryText(change->iItem)) != 0 ? TRUE : FALSE;
    m_btnEditJar.EnableWindow(added);
    m_btnRemoveJar.EnableWindow(added);
  } else if ((change->uOldState & LVIS_SELECTED) != 0 && change->iItem == m_currentRow) {
    m_currentRow = -1;
    m_btnEditJar.EnableWindow(FALSE);
    m_btnRemoveJar.EnableWindow(FALSE);
  }
}

std::string CJvmDlg::ChooseArchive(const std::string& initialName) {
  CFileDialog dialog(TRUE, nullptr, nullptr, OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, kArchiveFilter, this);
  std::vector<char> name(kFileBufferSize, '\0');
  initialName.copy(name.data(), std::min(initialName.size(), name.size() - 1));
  dialog.m_ofn.lpstrFile = name.data();
  dialog.m_ofn.nMaxFile = kFileBufferSize;
  if (dialog.DoModal() != IDOK) return std::string();
  return dialog.GetPathName().str();
}

void CJvmDlg::OnAddExternalJars() {
  std::string path = ChooseArchive(std::string());
  if (path.empty()) return;
  int listed = FindLibraryRow(path);
  if (listed != -1) {
    m_libraryList.SetItemState(listed, LVIS_SELECTED, LVIS_SELECTED);
    return;
  }
  for (int row = 0; row < m_libraryList.GetItemCount(); ++row) {
    if (LibraryText(row) == path) return;
  }
  m_addedPaths.insert(path);
  AppendLibraryRow(path);
}

void CJvmDlg::OnEditJar() {
  if (m_currentRow < 0 || m_currentRow >= m_libraryList.GetItemCount() ||
      m_libraryList.GetItemState(m_currentRow, LVIS_SELECTED) == 0) {
    return;
  }
  const int row = m_currentRow;
  const std::string former = LibraryText(row);
  std::string path = ChooseArchive(former);
  if (path.empty()) return;
  int listed = FindLibraryRow(path);
  if (listed != -1) {
    m_libraryList.SetItemState(listed, LVIS_SELECTED, LVIS_SELECTED);
    return;
  }
  m_addedPaths.erase(former);
  m_addedPaths.insert(path);
  m_libraryList.SetItem(row, 0, LVIF_TEXT | LVIF_IMAGE | LVIF_STATE, path.c_str(), kImageArchive, LVIS_SELECTED,
                        LVIS_SELECTED, 0);
}

void CJvmDlg::OnRemoveJar() {
  if (m_currentRow < 0 || m_currentRow >= m_libraryList.GetItemCount()) return;
  const std::string path = LibraryText(m_currentRow);
  if (m_addedPaths.count(path) == 0) return;  // a JRE library stays
  m_addedPaths.erase(path);
  m_libraryList.DeleteItem(m_currentRow);
  m_currentRow = -1;
  m_btnEditJar.EnableWindow(FALSE);
  m_btnRemoveJar.EnableWindow(FALSE);
  const int count = m_libraryList.GetItemCount();
  if (count > 0) m_libraryList.SetItemState(count - 1, LVIS_SELECTED, LVIS_SELECTED);
}

void CJvmDlg::OnOK() {
  const std::string name = windowText(m_editName);
  const std::string jdk = windowText(m_editJdk);
  const std::string jre = windowText(m_editJre);
  if (name.empty()) {
    m_staticMessage.SetWindowText("Enter JVM Name");
    return;
  }
  if (jdk.empty()) {
    m_staticMessage.SetWindowText("Enter JDK Path");
    return;
  }
  if (jre.empty()) {
    m_staticMessage.SetWindowText("Enter JRE Path");
    return;
  }
  m_jvm = m_scan;
  m_jvm.strName = name;
  m_jvm.strJREPath = jre;
  m_jvm.strJDKPath = jdk;
  CDialog::OnOK();
}
