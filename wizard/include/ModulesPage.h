// The page "Java modules": the project's modules (.jar and .zip archives, single .class files
// and other files). Files are added through a file dialog and selected rows removed; both run
// as a worker job of the page that reports into the progress bar and keeps the selected
// classes in step (a .class module also selects its class; removing a module drops the classes
// taken from it).
#pragma once

#include "CaptionFont.h"
#include "JobListPage.h"
#include "WizardResources.h"

#include <set>
#include <string>

class CModulesPage : public CJobListPage {
 public:
  enum { IDD = IDD_MODULES_PAGE };

  explicit CModulesPage(CWnd* parent = nullptr);

  // Called once by the generator dialog.
  void SetModel(CPercentBar* progressBar, ModuleMap* modules, ClassSettingsMap* classSettings);

  CListCtrl m_listModules;               // 1007: one row per module, image = its ModuleType
  std::set<std::string> m_pendingFiles;  // the files chosen in the last file dialog

 protected:
  BOOL OnInitDialog() override;
  void DoDataExchange(CDataExchange* dx) override;
  afx_msg void OnPaint();
  afx_msg void OnAdd();
  afx_msg void OnShowWindow(BOOL show, UINT status);
  afx_msg void OnRemove();
  DECLARE_MESSAGE_MAP()

 private:
  bool RunAddJob() override;
  bool RunRemoveJob() override;
  // A row for the module at the end of the list, and its entry in the modules.
  void AppendRow(const std::string& path, int type);

  CCaptionFont m_captionFont;
};
