#include "ModulesPage.h"

#include "ClassRepository.h"
#include "PageSupport.h"
#include "PercentBar.h"
#include "ProxyGenerator.h"
#include "UiResources.h"
#include "WizardControls.h"

#include <strings.h>

#include <cstring>
#include <exception>
#include <vector>

namespace {

// Size of the file dialog's name buffer: room for many files chosen at once.
constexpr DWORD kFileBufferSize = 200000;

const char kModuleFilter[] =
    "Java Files(*.jar *.zip *.class)|*.jar;*.zip;*.class|Jar Files (*.jar)|*.jar|"
    "Zip Files (*.zip)|*.zip|Class Files (*.class)|*.class||";

bool endsWithNoCase(const std::string& text, const char* suffix) {
  size_t n = std::strlen(suffix);
  return text.size() >= n && strcasecmp(text.c_str() + text.size() - n, suffix) == 0;
}

bool isClassFile(const std::string& path) { return endsWithNoCase(path, ".class"); }

bool isArchive(const std::string& path) { return endsWithNoCase(path, ".jar") || endsWithNoCase(path, ".zip"); }

// Reads a single .class file into `generator`; false when it cannot be read or parsed.
bool loadClassFile(ProxyGenerator& generator, const std::string& path) {
  // The generator keeps its state when a file cannot be used: start from an empty name so
  // that a failure is not taken for the class loaded before.
  generator.m_javaClassName.clear();
  try {
    generator.loadClassFile(path);
  } catch (const std::exception&) {
    return false;
  } catch (...) {
    return false;
  }
  return !generator.getClassName().empty();
}

void reportParseProblem(const std::string& path) {
  std::string text = "There are problems in parsing Class: " + path;
  ::MessageBox(::GetActiveWindow(), text.c_str(), "KAVRIN Error", MB_OK | MB_ICONERROR);
}

}  // namespace

void registerModulesPageTemplate() {
  const DWORD list =
      WS_VISIBLE | WS_TABSTOP | WS_BORDER | LVS_REPORT | LVS_SHOWSELALWAYS | LVS_NOLABELWRAP | LVS_NOSORTHEADER;
  const DWORD button = WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON;
  wizardpages::RegisterPageTemplate(
      IDD_MODULES_PAGE, 335, 257,
      {
          {IDC_MODULE_LIST, WC_LISTVIEW, "", 1, 36, 265, 187, list, 0},
          {IDC_ADD, WC_BUTTON, "Add...", 273, 36, 50, 14, button, 0},
          {IDC_REMOVE, WC_BUTTON, "Remove", 273, 53, 50, 14, button, 0},
          {IDC_DESCRIPTION, WC_STATIC,
           "Java modules like JARs, ZIPs and classes can be added to the list. They will be used in generation "
           "C++ JNI wrappers.",
           0, 0, 279, 19, WS_VISIBLE | SS_LEFT, 0},
      });
}

BEGIN_MESSAGE_MAP(CModulesPage, CJobListPage)
  ON_WM_PAINT()
  ON_BN_CLICKED(IDC_ADD, OnAdd)
  ON_WM_SHOWWINDOW()
  ON_BN_CLICKED(IDC_REMOVE, OnRemove)
  ON_NOTIFY(LVN_ITEMCHANGED, IDC_MODULE_LIST, OnItemChanged)
END_MESSAGE_MAP()

CModulesPage::CModulesPage(CWnd* parent) : CJobListPage(IDD, m_listModules, parent) {}

void CModulesPage::SetModel(CPercentBar* progressBar, ModuleMap* modules, ClassSettingsMap* classSettings) {
  m_pProgressBar = progressBar;
  m_pModules = modules;
  m_pClassSettings = classSettings;
}

void CModulesPage::DoDataExchange(CDataExchange* dx) {
  CDialog::DoDataExchange(dx);
  DDX_Control(dx, IDC_ADD, m_btnAdd);
  DDX_Control(dx, IDC_MODULE_LIST, m_listModules);
  DDX_Control(dx, IDC_REMOVE, m_btnRemove);
  DDX_Control(dx, IDC_DESCRIPTION, m_staticInfo);
}

BOOL CModulesPage::OnInitDialog() {
  CDialog::OnInitDialog();
  InitList({{"Java modules", 400}});
  m_btnRemove.EnableWindow(FALSE);
  return TRUE;
}

void CModulesPage::OnAdd() {
  if (!WaitForJobSlot()) return;
  CFileDialog dialog(TRUE, nullptr, nullptr, OFN_HIDEREADONLY | OFN_ALLOWMULTISELECT, kModuleFilter, this);
  std::vector<char> names(kFileBufferSize, '\0');
  dialog.m_ofn.lpstrFile = names.data();
  dialog.m_ofn.nMaxFile = kFileBufferSize;
  if (dialog.DoModal() != IDOK) return;

  m_pendingFiles.clear();
  for (POSITION position = dialog.GetStartPosition(); position != nullptr;) {
    CString path = dialog.GetNextPathName(position);
    if (!path.IsEmpty()) m_pendingFiles.insert(path.str());
  }
  StartJob(true, {&m_btnAdd, &m_btnRemove});
}

void CModulesPage::OnRemove() {
  if (!WaitForJobSlot()) return;
  StartJob(false, {&m_btnAdd, &m_btnRemove});
}

void CModulesPage::AppendRow(const std::string& path, int type) {
  m_listModules.InsertItem(m_listModules.GetItemCount(), path.c_str(), type);
  (*m_pModules)[CString(path)] = type;
}

bool CModulesPage::RunAddJob() {
  if (m_pModules == nullptr || m_pClassSettings == nullptr) return !m_bStop;
  if (m_pProgressBar != nullptr) m_pProgressBar->SetRange(0, 100);
  ProxyGenerator generator;
  const int total = static_cast<int>(m_pendingFiles.size());
  int done = 0;
  for (const std::string& path : m_pendingFiles) {
    if (m_bStop) return false;
    ++done;
    ShowProgress("Processed %d of %d modules", done, total, done * 100 / total);
    if (m_pModules->count(CString(path)) != 0) continue;  // listed already

    if (isClassFile(path)) {
      if (!loadClassFile(generator, path)) {
        reportParseProblem(path);
        continue;
      }
      int type = generator.isInterface() ? kModuleInterface : kModuleClass;
      ClassSettings& settings = (*m_pClassSettings)[CString(generator.getClassName())];
      settings.strClassPath = generator.m_classPath;
      settings.TYPE = static_cast<unsigned char>(type);
      settings.bHasNativeMethods = generator.m_bHasNativeMethods;
      if (m_bStop) return false;
      AppendRow(path, type);
    } else {
      if (m_bStop) return false;
      AppendRow(path, isArchive(path) ? kModuleArchive : kModuleOther);
    }
  }
  return true;
}

bool CModulesPage::RunRemoveJob() {
  if (m_pModules == nullptr || m_pClassSettings == nullptr) return !m_bStop;
  ProxyGenerator generator;
  return RemoveSelectedRows("Removed %d of %d modules", [&](int row) {
    CString text = m_listModules.GetItemText(row, 0);
    const std::string path = text.str();
    if (isClassFile(path)) {
      if (loadClassFile(generator, path)) {
        const std::string name = generator.getClassName();
        ClassRepository::removeFromCache(name);
        m_pClassSettings->erase(CString(name));
      } else {
        // The class cannot be told any more (the file is gone or broken): say so, but let the
        // module go as asked; its class, if still selected, stays for the user to remove.
        reportParseProblem(path);
      }
    } else {
      std::vector<CString> taken;
      for (const auto& entry : *m_pClassSettings) {
        if (entry.second.strClassPath == path) taken.push_back(entry.first);
      }
      for (const CString& name : taken) {
        m_pClassSettings->erase(name);
        ClassRepository::removeFromCache(name.str());
      }
    }
    m_pModules->erase(text);
  });
}

void CModulesPage::OnShowWindow(BOOL show, UINT status) {
  CDialog::OnShowWindow(show, status);
  if (!show || m_pModules == nullptr || m_listModules.GetSafeHwnd() == nullptr) return;
  m_listModules.DeleteAllItems();
  for (const auto& module : *m_pModules) {
    m_listModules.InsertItem(m_listModules.GetItemCount(), module.first, module.second);
  }
  m_btnRemove.EnableWindow(FALSE);  // the rows are new: none is selected
}

void CModulesPage::OnPaint() {
  CPaintDC dc(this);
  m_captionFont.Apply(*this, {&m_staticInfo});
}
