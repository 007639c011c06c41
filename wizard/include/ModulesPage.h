// The page "Java modules": the project's modules (.jar and .zip archives, single .class files
// and other files). Files are added through a file dialog and selected rows removed; both run
// as a worker job of the page that reports into the progress bar and keeps the selected
// classes in step (a .class module also selects its class; removing a module drops the classes
// taken from it).
#pragma once

#include "CaptionFont.h"
#include "InvokeLater.h"
#include "Mfc.h"
#include "ProjectModel.h"
#include "WizardResources.h"

class CPercentBar;

class CModulesPage : public CDialog, public InvokeLaterJob {
 public:
  enum { IDD = IDD_MODULES_PAGE };

  explicit CModulesPage(CWnd* parent = nullptr);

  // Called once by the generator dialog.
  void SetModel(CPercentBar* progressBar, ModuleMap* modules, ClassSettingsMap* classSettings);
  // The add job (m_bAddJob) or the remove job, on the worker thread.
  void RunJob() override;

  CButton m_btnAdd;                      // 1004 "Add..."
  CListCtrl m_listModules;               // 1007: one row per module, image = its ModuleType
  CButton m_btnRemove;                   // 1006 "Remove"
  CStatic m_staticInfo;                  // 1011, the description
  bool m_bAddJob;                        // the next job adds m_pendingFiles (else removes rows)
  std::set<std::string> m_pendingFiles;  // the files chosen in the last file dialog
  ModuleMap* m_pModules;                 // the dialog's modules
  ClassSettingsMap* m_pClassSettings;    // the dialog's selected classes
  CImageList m_imageList;                // the wizard's image strip
  CPercentBar* m_pProgressBar;           // the dialog's progress bar

 protected:
  BOOL OnInitDialog() override;
  void DoDataExchange(CDataExchange* dx) override;
  afx_msg void OnSize(UINT type, int cx, int cy);
  afx_msg void OnPaint();
  afx_msg void OnAdd();
  afx_msg void OnShowWindow(BOOL show, UINT status);
  afx_msg void OnRemove();
  afx_msg void OnItemChanged(NMHDR* header, LRESULT* result);
  // Stops a running job and waits for it (StopJob), then the dialog's own handling.
  afx_msg void OnDestroy();
  DECLARE_MESSAGE_MAP()

 private:
  // The two jobs; false when they ended because m_bStop was set.
  bool RunAddJob();
  bool RunRemoveJob();
  // "Processed 3 of 7 modules" and the like, with the bar at `position`.
  void ShowProgress(const char* format, int done, int total, int position);
  // A row for the module at the end of the list, and its entry in the modules.
  void AppendRow(const std::string& path, int type);

  CCaptionFont m_captionFont;
};
