// The generator dialog "KAVRIN Generator": the modal wizard that the add-in's command opens over
// the Developer Studio.
//
// It owns the project model for the life of the wizard (modules, selected classes with their
// settings, the global filter, name substitutions, the names of the last build, the installed
// and the current JVM), owns the nine pages and shows one at a time beside the page tree, and
// carries the progress bar that every job reports into. It is itself a worker job: its job is
// the generation run. The pages get raw pointers into the model when the dialog opens and reach
// the dialog only through theGeneratorDlg and the wizard-control functions (WizardControls.h).
//
// The page shown, m_pCurrentPage, is kept by the base CGeneratorDlgBase, which the worker
// threads reach; the message map of this class chains to that of CGeneratorDlgBase.
#pragma once

#include "CaptionFont.h"
#include "ClassesPage.h"
#include "DelegatorsPage.h"
#include "DevStudio.h"
#include "FilterDlg.h"
#include "InterfacesPage.h"
#include "InvokeLater.h"
#include "JniClassesPage.h"
#include "JvmListPage.h"
#include "Mfc.h"
#include "ModulesPage.h"
#include "MsXml.h"
#include "NativesPage.h"
#include "PercentBar.h"
#include "ProjectModel.h"
#include "SubstituteNamesPage.h"
#include "WizardControls.h"
#include "WizardResources.h"

#include <string>

class CGeneratorDlg : public CGeneratorDlgBase, public InvokeLaterJob {
 public:
  enum { IDD = IDD_GENERATOR_DIALOG };

  // The dialog on its template with `parent`; creates the DOM document into m_pXmlDocument
  // (a failure other than E_NOINTERFACE raises the COM error) and publishes the dialog in
  // theGeneratorDlg.
  explicit CGeneratorDlg(CWnd* parent = nullptr);
  ~CGeneratorDlg() override;

  // The Developer Studio application (the dialog takes its own reference).
  void SetApplication(IApplication* application);

  // --- Registered JVMs ------------------------------------------------------------------------
  // Creates a vendor's mirror of the runtimes embedded in its development kits when it has a
  // kit but no runtime registered, and removes the mirror once a runtime is registered. The
  // three keys lie below HKEY_LOCAL_MACHINE.
  void MirrorJdkRegistrations(LPCTSTR runtimeKey, LPCTSTR developmentKitKey, LPCTSTR mirrorKey);
  // Fills m_jvmRegistrations (every registered runtime version) and m_installedJvms (per vendor,
  // the one named by the development kit's current version).
  void LoadInstalledJvms();

  // --- Project settings file (the project file's path with ".dsp" made ".jniprj") --------------
  // Fills the model from the file of the active project; a missing file leaves the defaults. A
  // file that cannot be read is reported in a message box, a copy of it is kept beside it
  // ("<file>.bak", or a further number), and the model keeps what was read.
  void LoadProjectSettings();
  // Writes the model to the file; a COM error is shown in a message box and the file is kept.
  // Over a file that could not be read when the dialog opened, it writes only once the user
  // has agreed in a message box (asked once; a refusal leaves the file as it is).
  void SaveProjectSettings();

  // --- Generation ------------------------------------------------------------------------------
  // The dialog's job, on the worker thread: disables Close, runs the generation, enables Close.
  void RunJob() override;
  // Writes the files of every selected class into the project directory, then "defproxies.h"
  // and "defproxies.cpp"; problems go to the log, and one message tells of them at the end.
  void RunGeneration();

  // Members in declaration order; the first, m_pCurrentPage, is CGeneratorDlgBase's.
  CJvmListPage m_jvmListPage;                  // "Installed JVMs", template 130
  CClassesPage m_classesPage;                  // "JNI Classes", template 132
  CModulesPage m_modulesPage;                  // "Java modules", template 131
  CSubstituteNamesPage m_substituteNamesPage;  // "Substitute Names", template 133
  CFilterDlg m_filterDlg;                      // "Class Member Filters", template 152
  CNativesPage m_nativesPage;                  // "Implement Native Methods", template 135
  CInterfacesPage m_interfacesPage;            // "Implement Interfaces", template 136
  CJniClassesPage m_jniClassesPage;            // "Select Classes", template 138
  CDelegatorsPage m_delegatorsPage;            // "Create Delegators", template 156
  CButton m_btnClose;                          // 2 "Close"
  CButton m_btnStoreSettings;                  // 1036 "StoreSettings"
  CButton m_btnGenerate;                       // 1 "Generate"
  CPercentBar m_progressBar;                   // 1017
  CStatic m_staticTitle;                       // 1001: title of the page shown
  CTreeCtrl m_pageTree;                        // 1000: the page tree
  CStatic m_staticPageFrame;                   // 1002: parent and frame of every page
  IApplicationPtr m_pApplication;              // the Developer Studio application
  JvmDefinitionSet m_installedJvms;            // listed by the JVM page
  JvmDefinitionSet m_jvmRegistrations;         // every registered runtime version
  JvmDefinition m_currentJvm;                  // the JVM of the generation (copied on Generate)
  ModuleMap m_modules;                         // MODULES/MODULE
  ClassSettingsMap m_classSettings;            // the selected classes
  GlobalFilter m_globalFilter;                 // the ten global member-filter switches
  CFont m_barFont;                             // font of the progress bar
  IXMLDOMDocumentPtr m_pXmlDocument;           // DOM document of the global settings file
  ClassNameSet m_lastBuildClasses;             // LAST_BUILD/CLASS: proxies of the last build
  ClassNameSet m_lastBuildInterfaces;          // LAST_BUILD/INTERFACE: implementations
  ClassNameSet m_lastBuildDelegators;          // LAST_BUILD/DELEGATOR: delegators
  NameSubstitutionMap m_substitutions;         // NAMES_SUBSTITUTED/SUBSTITUTE
  bool m_bFieldPrefix;                         // "Add Field Prefix" (FLDPX); false at first
  bool m_bMethodPrefix;                        // "Add Method Prefix" (MTHPX); false at first

 protected:
  // Loads the project settings, builds the pages and the page tree, mirrors and lists the
  // JVMs, and hands the model to the pages.
  BOOL OnInitDialog() override;
  void DoDataExchange(CDataExchange* dx) override;
  // TVN_SELCHANGED of 1000: shows the page of the item selected and its title.
  afx_msg void OnPageSelChanged(NMHDR* header, LRESULT* result);
  // Sets the title font.
  afx_msg void OnPaint();
  // Command 1, Generate: deletes the last build's outputs, starts the generation job, adds the
  // files and tool options to the project, takes out the generated files it no longer lists,
  // saves the project and then the project settings.
  afx_msg void OnGenerate();
  // Command 1036, StoreSettings: SaveProjectSettings.
  afx_msg void OnStoreSettings();
  // WM_CLOSE_AFTER_GENERATION: waits for a running generation, then ends the dialog with IDOK.
  afx_msg LRESULT OnCloseAfterGeneration(WPARAM wParam, LPARAM lParam);
  // Close: waits for a generation that still runs, then ends the dialog.
  void OnCancel() override;
  DECLARE_MESSAGE_MAP()

 private:
  // Asks whether the project settings file that could not be read may be replaced, saying
  // what will do it (`replacer`: "StoreSettings", "Generate"); true once the user agreed.
  bool MayReplaceUnreadableSettings(const std::string& replacer);
  // Has the host write the project file now; a failure is shown in a message box.
  void SaveProject(IBuildProject* project);

  CCaptionFont m_titleFont;  // the title's font, -25
  // The project settings file could not be read when the dialog opened (its path, and where
  // its content was copied): it is kept until the user agrees to replace it.
  std::string m_unreadableSettings;
  std::string m_unreadableSettingsCopy;
};
