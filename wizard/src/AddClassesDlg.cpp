#include "AddClassesDlg.h"

#include "PageSupport.h"
#include "ProxyGenerator.h"
#include "StringHelpers.h"
#include "UiResources.h"

#include <string>
#include <vector>

void registerAddClassesDialogTemplate() {
  const DWORD button = WS_VISIBLE | WS_TABSTOP;
  ui::DialogTemplate dialog;
  dialog.caption = "Add Java Classes";
  dialog.cx = 294;
  dialog.cy = 191;
  dialog.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
  dialog.controls = {
      {IDC_MODULE_COMBO, WC_COMBOBOX, "", 4, 15, 217, 145,
       WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWN | CBS_AUTOHSCROLL, 0},
      {IDC_CLASS_LIST, WC_LISTVIEW, "", 4, 42, 217, 145,
       WS_VISIBLE | WS_TABSTOP | WS_BORDER | LVS_REPORT | LVS_SORTASCENDING | LVS_SHOWSELALWAYS | LVS_NOSORTHEADER, 0},
      {IDC_STATIC, WC_STATIC, "Available Java modules:", 4, 4, 77, 8, WS_VISIBLE | SS_LEFT, 0},
      {IDC_STATIC, WC_STATIC, "Classes:", 4, 30, 139, 8, WS_VISIBLE | SS_LEFT, 0},
      {IDOK, WC_BUTTON, "OK", 231, 15, 59, 14, button | BS_DEFPUSHBUTTON, 0},
      {IDCANCEL, WC_BUTTON, "Cancel", 231, 32, 59, 14, button | BS_PUSHBUTTON, 0},
  };
  ui::registerDialog(IDD_ADD_CLASSES_DIALOG, dialog);
}

BEGIN_MESSAGE_MAP(CAddClassesDlg, CDialog)
  ON_CBN_SELENDOK(IDC_MODULE_COMBO, OnModuleChosen)
  ON_NOTIFY(NM_DBLCLK, IDC_CLASS_LIST, OnDoubleClick)
END_MESSAGE_MAP()

CAddClassesDlg::CAddClassesDlg(CWnd* parent)
    : CDialog(IDD, parent), m_pModules(nullptr), m_pPendingClasses(nullptr), m_pCurrentJvm(nullptr) {}

void CAddClassesDlg::SetSources(ModuleMap* modules, PendingClassMap* pendingClasses, JvmDefinition* currentJvm) {
  m_pModules = modules;
  m_pPendingClasses = pendingClasses;
  m_pCurrentJvm = currentJvm;
}

void CAddClassesDlg::DoDataExchange(CDataExchange* dx) {
  CDialog::DoDataExchange(dx);
  DDX_Control(dx, IDC_MODULE_COMBO, m_comboModules);
  DDX_Control(dx, IDC_CLASS_LIST, m_listClasses);
}

BOOL CAddClassesDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  wizardpages::InitReportList(m_listClasses, LVS_EX_FULLROWSELECT, {{"Class Name", 500}});

  // The project's archives first, then the current JVM's libraries and added paths.
  if (m_pModules != nullptr) {
    for (const auto& module : *m_pModules) {
      if (module.second == kModuleArchive) m_comboModules.AddString(module.first);
    }
  }
  if (m_pCurrentJvm != nullptr) {
    for (const std::string& library : m_pCurrentJvm->setLibraries) m_comboModules.AddString(library.c_str());
    for (const std::string& path : m_pCurrentJvm->setAddedPaths) m_comboModules.AddString(path.c_str());
  }
  if (m_comboModules.GetCount() > 0) {
    m_comboModules.SetCurSel(0);
    OnModuleChosen();
  }
  return TRUE;
}

void CAddClassesDlg::OnModuleChosen() {
  int index = m_comboModules.GetCurSel();
  if (index < 0) return;
  m_listClasses.DeleteAllItems();
  m_comboModules.GetLBText(index, m_strModule);

  CWaitCursor wait;
  std::vector<std::string> entries;
  std::string error;
  listArchiveClasses(m_strModule.str(), &entries, &error);
  // A damaged Java image lists nothing and says why.
  if (!error.empty()) MessageBox(error.c_str(), "KAVRIN Add-In", MB_OK | MB_ICONWARNING);
  for (std::string name : entries) {
    if (name.size() < 6) continue;
    name.resize(name.size() - 6);                       // ".class"
    if (name.find('$') != std::string::npos) continue;  // inner classes are not offered
    // Nor package-info, module-info or anything else whose name is no Java name.
    if (name.find('-') != std::string::npos) continue;
    name = replaceChar(replaceChar(name, '\\', '.'), '/', '.');
    m_listClasses.InsertItem(m_listClasses.GetItemCount(), name.c_str());
    UpdateWindow();
  }
}

void CAddClassesDlg::OnOK() {
  if (m_pPendingClasses != nullptr) {
    // A class of the current JVM's libraries or added paths is found through the JVM's modules;
    // one of a project archive keeps the archive as its location.
    bool ofJvm = m_pCurrentJvm != nullptr && (m_pCurrentJvm->setAddedPaths.count(m_strModule.str()) != 0 ||
                                              m_pCurrentJvm->setLibraries.count(m_strModule.str()) != 0);
    for (int row = m_listClasses.GetNextItem(-1, LVNI_SELECTED); row != -1;
         row = m_listClasses.GetNextItem(row, LVNI_SELECTED)) {
      (*m_pPendingClasses)[m_listClasses.GetItemText(row, 0)] = ofJvm ? CString() : m_strModule;
    }
  }
  CDialog::OnOK();
}

void CAddClassesDlg::OnDoubleClick(NMHDR*, LRESULT* result) {
  OnOK();
  *result = 0;
}
