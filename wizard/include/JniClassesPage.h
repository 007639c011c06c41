// The page "Select Classes": the selected classes with their location. Classes picked in the
// "Add Java Classes" dialog are added and selected rows removed; both run as a worker job of
// the page, which loads each new class once to learn whether it is an interface, whether it has
// native methods and whether its class file can be found.
#pragma once

#include "CaptionFont.h"
#include "JobListPage.h"
#include "WizardResources.h"

#include <map>

// Dotted class name to the module it was picked from (empty for a class of the current JVM).
typedef std::map<CString, CString> PendingClassMap;

class CJniClassesPage : public CJobListPage {
 public:
  enum { IDD = IDD_JNI_CLASSES_PAGE };

  explicit CJniClassesPage(CWnd* parent = nullptr);

  // Called once by the generator dialog; `currentJvm` is the JVM page's current JVM.
  void SetModel(CPercentBar* progressBar, ModuleMap* modules, ClassSettingsMap* classSettings,
                JvmDefinition* currentJvm);

  CListCtrl m_listClasses;           // 1029: class name, location
  CStatic m_staticClasses;           // 1016 "Classes:"
  JvmDefinition* m_pCurrentJvm;      // the JVM page's current JVM
  PendingClassMap m_pendingClasses;  // the classes chosen in the last "Add Java Classes"

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
  // The worker is let go.
  void OnJobEnded() override;
  // Whether there is anything to add classes from: libraries or added paths of the current
  // JVM, or modules of the project.
  bool HasClassSources() const;
  // Add enabled when there are class sources, Remove when classes are selected.
  void UpdateButtons();

  CCaptionFont m_captionFont;
};
