#include "JniClassesPage.h"

#include "AddClassesDlg.h"
#include "ClassRepository.h"
#include "PageSupport.h"
#include "PercentBar.h"
#include "ProxyGenerator.h"
#include "StringHelpers.h"
#include "UiResources.h"
#include "WizardControls.h"

#include <vector>

void registerJniClassesPageTemplate() {
  const DWORD button = WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON;
  wizardpages::RegisterPageTemplate(
      IDD_JNI_CLASSES_PAGE, 335, 258,
      {
          {IDC_DESCRIPTION, WC_STATIC, "Add or remove java classes to be used for building JNI proxies.", 1, 0, 279, 16,
           WS_VISIBLE | SS_LEFT, 0},
          {IDC_ADD, WC_BUTTON, "Add...", 273, 36, 50, 14, button, 0},
          {IDC_REMOVE, WC_BUTTON, "Remove", 273, 53, 50, 14, button, 0},
          {IDC_CAPTION, WC_STATIC, "Classes:", 1, 25, 113, 8, WS_VISIBLE | SS_LEFT, 0},
          {IDC_CLASS_LIST, WC_LISTVIEW, "", 1, 36, 265, 187,
           WS_VISIBLE | WS_TABSTOP | WS_BORDER | LVS_REPORT | LVS_SHOWSELALWAYS | LVS_NOLABELWRAP | LVS_NOSORTHEADER,
           0},
      });
}

BEGIN_MESSAGE_MAP(CJniClassesPage, CJobListPage)
  ON_WM_PAINT()
  ON_BN_CLICKED(IDC_ADD, OnAdd)
  ON_WM_SHOWWINDOW()
  ON_BN_CLICKED(IDC_REMOVE, OnRemove)
  ON_NOTIFY(LVN_ITEMCHANGED, IDC_CLASS_LIST, OnItemChanged)
END_MESSAGE_MAP()

CJniClassesPage::CJniClassesPage(CWnd* parent) : CJobListPage(IDD, m_listClasses, parent), m_pCurrentJvm(nullptr) {}

void CJniClassesPage::SetModel(CPercentBar* progressBar, ModuleMap* modules, ClassSettingsMap* classSettings,
                               JvmDefinition* currentJvm) {
  m_pProgressBar = progressBar;
  m_pModules = modules;
  m_pClassSettings = classSettings;
  m_pCurrentJvm = currentJvm;
  UpdateButtons();
}

bool CJniClassesPage::HasClassSources() const {
  bool jvm =
      m_pCurrentJvm != nullptr && (!m_pCurrentJvm->setLibraries.empty() || !m_pCurrentJvm->setAddedPaths.empty());
  bool modules = m_pModules != nullptr && !m_pModules->empty();
  return jvm || modules;
}

void CJniClassesPage::UpdateButtons() {
  if (m_btnAdd.GetSafeHwnd() != nullptr) m_btnAdd.EnableWindow(HasClassSources() ? TRUE : FALSE);
  if (m_btnRemove.GetSafeHwnd() != nullptr) {
    m_btnRemove.EnableWindow(m_pClassSettings != nullptr && !m_pClassSettings->empty() ? TRUE : FALSE);
  }
}

void CJniClassesPage::DoDataExchange(CDataExchange* dx) {
  CDialog::DoDataExchange(dx);
  DDX_Control(dx, IDC_REMOVE, m_btnRemove);
  DDX_Control(dx, IDC_ADD, m_btnAdd);
  DDX_Control(dx, IDC_CLASS_LIST, m_listClasses);
  DDX_Control(dx, IDC_CAPTION, m_staticClasses);
  DDX_Control(dx, IDC_DESCRIPTION, m_staticInfo);
}

BOOL CJniClassesPage::OnInitDialog() {
  CDialog::OnInitDialog();
  InitList({{"Class name", 210}, {"Location", 220}});
  if (m_pModules == nullptr || m_pModules->empty()) m_btnAdd.EnableWindow(FALSE);
  if (m_pClassSettings == nullptr || m_pClassSettings->empty()) m_btnRemove.EnableWindow(FALSE);
  return TRUE;
}

void CJniClassesPage::OnAdd() {
  if (!WaitForJobSlot()) return;
  m_pendingClasses.clear();
  CAddClassesDlg dialog(nullptr);
  dialog.SetSources(m_pModules, &m_pendingClasses, m_pCurrentJvm);
  if (dialog.DoModal() != IDOK) return;
  StartJob(true, {&m_btnAdd});
}

void CJniClassesPage::OnRemove() {
  if (!WaitForJobSlot()) return;
  StartJob(false, {&m_btnAdd});
}

void CJniClassesPage::OnJobEnded() { m_pThread = nullptr; }

bool CJniClassesPage::RunAddJob() {
  if (m_pClassSettings == nullptr) return !m_bStop;
  if (m_pProgressBar != nullptr) m_pProgressBar->SetRange(0, 100);
  const int total = static_cast<int>(m_pendingClasses.size());
  int done = 0;
  for (const auto& pending : m_pendingClasses) {
    if (m_bStop) return false;
    ++done;
    ShowProgress("Processed %d of %d classes", done, total, done * 100 / total);
    const CString& name = pending.first;
    const CString& module = pending.second;
    if (m_pClassSettings->count(name) != 0) continue;  // selected already: left as it is

    ProxyGenerator generator;
    generator.loadClass(name.str(), module.str());
    const bool missing = generator.m_bClassMissing;
    const bool isInterface = !missing && generator.isInterface();
    ClassSettings& settings = (*m_pClassSettings)[name];
    settings.bMissingBytecode = missing;
    if (m_bStop) return false;
    int row = m_listClasses.InsertItem(m_listClasses.GetItemCount(), name, isInterface ? kImageInterface : kImageClass);
    m_listClasses.SetItemText(row, 1, module);
    settings.strClassPath = module.str();
    settings.TYPE = isInterface ? 1 : 0;
    settings.bHasNativeMethods = !missing && generator.m_bHasNativeMethods;
  }
  return true;
}

bool CJniClassesPage::RunRemoveJob() {
  if (m_pClassSettings == nullptr) return !m_bStop;
  return RemoveSelectedRows("Removed %d of %d classes", [this](int row) {
    const CString name = m_listClasses.GetItemText(row, 0);
    auto entry = m_pClassSettings->find(name);
    if (entry == m_pClassSettings->end()) return;
    // A class that came from a single .class module takes that module with it.
    std::string root = entry->second.strClassPath;
    const std::string relative = replaceChar(name.str(), '.', '/');
    std::string classFile = root + (!root.empty() && root.back() == '/' ? "" : "/") + relative + ".class";
    if (m_pModules != nullptr) m_pModules->erase(CString(classFile));
    m_pClassSettings->erase(entry);
    ClassRepository::removeFromCache(name.str());
  });
}

void CJniClassesPage::OnShowWindow(BOOL show, UINT status) {
  CDialog::OnShowWindow(show, status);
  if (!show || m_listClasses.GetSafeHwnd() == nullptr) return;
  UpdateButtons();
  if (m_pClassSettings != nullptr) {
    m_listClasses.DeleteAllItems();
    for (const auto& entry : *m_pClassSettings) {
      int row = m_listClasses.InsertItem(m_listClasses.GetItemCount(), entry.first,
                                         entry.second.TYPE != 0 ? kImageInterface : kImageClass);
      m_listClasses.SetItemText(row, 1, entry.second.strClassPath.c_str());
    }
  }
  m_btnRemove.EnableWindow(m_listClasses.GetSelectedCount() > 0 ? TRUE : FALSE);
}

void CJniClassesPage::OnPaint() {
  CPaintDC dc(this);
  m_captionFont.Apply(*this, {&m_staticInfo, &m_staticClasses});
}
