// The modal dialog "Add Java Classes": the classes of one module at a time (an archive of the
// project's modules, an archive of the current JVM or one of its added paths), of which the
// selected ones are handed to the JNI Classes page.
#pragma once

#include "JniClassesPage.h"
#include "Mfc.h"
#include "ProjectModel.h"
#include "WizardResources.h"

class CAddClassesDlg : public CDialog {
 public:
  enum { IDD = IDD_ADD_CLASSES_DIALOG };

  explicit CAddClassesDlg(CWnd* parent = nullptr);

  // Before DoModal: where the modules come from and where the chosen classes go.
  void SetSources(ModuleMap* modules, PendingClassMap* pendingClasses, JvmDefinition* currentJvm);

  CComboBox m_comboModules;            // 1030: the modules
  CListCtrl m_listClasses;             // 1029: the classes of m_strModule
  ModuleMap* m_pModules;               // the dialog's modules
  PendingClassMap* m_pPendingClasses;  // the page's m_pendingClasses
  CString m_strModule;                 // the module whose classes are listed
  JvmDefinition* m_pCurrentJvm;        // the current JVM

 protected:
  BOOL OnInitDialog() override;
  void DoDataExchange(CDataExchange* dx) override;
  void OnOK() override;
  // CBN_SELENDOK of 1030: lists the chosen module's classes.
  afx_msg void OnModuleChosen();
  // NM_DBLCLK of 1029: as OK.
  afx_msg void OnDoubleClick(NMHDR* header, LRESULT* result);
  DECLARE_MESSAGE_MAP()
};
