// The page "Select Classes": the selected classes with their location. Classes picked in the
// "Add Java Classes" dialog are added and selected rows removed; both run as a worker job of
// the page, which loads each new class once to learn whether it is an interface, whether it has
// native methods and whether its class file can be found.
#pragma once

#include "CaptionFont.h"
#include "InvokeLater.h"
#include "Mfc.h"
#include "ProjectModel.h"
#include "WizardResources.h"

#include <map>

class CPercentBar;

// Dotted class name to the module it was picked from (empty for a class of the current JVM).
typedef std::map<CString, CString> PendingClassMap;

class CJniClassesPage : public CDialog, public InvokeLaterJob {
 public:
  enum { IDD = IDD_JNI_CLASSES_PAGE };

  explicit CJniClassesPage(CWnd* parent = nullptr);

  // Called once by the generator dialog; `currentJvm` is the JVM page's current JVM.
  void SetModel(CPercentBar* progressBar, ModuleMap* modules, ClassSettingsMap* classSettings,
                JvmDefinition* currentJvm);
  // The add job (m_bAddJob) or the remove job, on the worker thread.
  void RunJob() override;

  CButton m_btnRemove;                  // 1006 "Remove"
  CButton m_btnAdd;                     // 1004 "Add..."
  CListCtrl m_listClasses;              // 1029: class name, location
  CStatic m_staticClasses;              // 1016 "Classes:"
  CStatic m_staticInfo;                 // 1011, the description
  bool m_bAddJob;                       // the next job adds m_pendingClasses (else removes rows)
  ModuleMap* m_pModules;                // the dialog's modules
  ClassSettingsMap* m_pClassSettings;   // the dialog's selected classes
  CImageList m_imageList;               // the wizard's image strip
  CPercentBar* m_pProgressBar;          // the dialog's progress bar
  JvmDefinition* m_pCurrentJvm;         // the JVM page's current JVM
  PendingClassMap m_pendingClasses;     // the classes chosen in the last "Add Java Classes"

 protected:
  BOOL OnInitDialog() override;
  void DoDataExchange(CDataExchange* dx) override;
  afx_msg void OnPaint();
  afx_msg void OnSize(UINT type, int cx, int cy);
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
  // "Processed 3 of 7 classes" and the like, with the bar at `position`.
  void ShowProgress(const char* format, int done, int total, int position);
  // Whether there is anything to add classes from: libraries or added paths of the current
  // JVM, or modules of the project.
  bool HasClassSources() const;
  // Add enabled when there are class sources, Remove when classes are selected.
  void UpdateButtons();

  CCaptionFont m_captionFont;
};
