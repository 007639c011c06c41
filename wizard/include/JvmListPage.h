// The page "Installed JVMs": every Java VM the wizard knows, one row per JVM, of which the
// checked one (the current JVM) is used for generation; user-defined JVMs can be added, the
// current one edited and user-defined ones removed.
//
// The JVMs come from the registry (the dialog's installed JVMs) and from the global settings
// file "kavringlobals.xml" in the folder named by %KAVRINVC6%, which also keeps the current JVM
// and the added archive paths. Whenever the current JVM is set, the page runs the JVM job on
// the worker: it rebuilds the class repository's modules from the current JVM and the added
// paths, re-checks the selected classes against them, and makes the JVM's JDK the JAVA_HOME.
#pragma once

#include "CaptionFont.h"
#include "InvokeLater.h"
#include "Mfc.h"
#include "MsXml.h"
#include "ProjectModel.h"
#include "WizardResources.h"

class CPercentBar;

class CJvmListPage : public CDialog, public InvokeLaterJob {
 public:
  enum { IDD = IDD_JVM_LIST_PAGE };

  explicit CJvmListPage(CWnd* parent = nullptr);

  // Called once by the generator dialog after the page window exists: lists the installed
  // JVMs, takes a reference on the dialog's DOM document, loads the global settings (which
  // starts the JVM job; on failure the checked JVM is applied), lists the user-defined JVMs
  // that are not installed ones, checks the current JVM's row, and keeps the progress bar and
  // the class map for the job.
  void SetJvmData(CPercentBar* progressBar, ClassSettingsMap* classSettings, const JvmDefinitionSet& installedJvms,
                  IXMLDOMDocument* settingsDocument);
  // The current JVM (whose first field is its name); the dialog hands its address to the JNI
  // Classes page and copies it whole when Generate starts.
  JvmDefinition& GetCurrentJvmName();
  // Makes the first checked row the current JVM; when its name, JRE or JDK path changed, saves
  // the global settings and starts the JVM job. When the save fails, the current JVM stays the
  // one the file names (KeepFormerJvm).
  void ApplyCheckedJvm();

  // The global settings file (m_installFolder + "/kavringlobals.xml"). Load returns true when
  // the file was read; it always ends by clearing m_bLoading and calling StartJob. Save does
  // nothing while m_bLoading is set, and over a file that could not be read only once the user
  // agreed in a message box, whose default answer is No (a refusal leaves the file as it is; the
  // next save asks again). Save returns false when the file could not be written (a message box
  // said why) and keeps its former content.
  bool LoadGlobalSettings();
  bool SaveGlobalSettings();
  // Starts the JVM job unless one runs (m_bStop clear); true when it was started.
  bool StartJob();
  // The JVM job, on the worker thread.
  void RunJob() override;

  CStatic m_staticCaption;                 // 1016 "Installed JVMs:"
  CButton m_btnRemove;                     // 1006 "Remove"
  CButton m_btnEdit;                       // 1005 "Edit..."
  CButton m_btnAdd;                        // 1004 "Add..."
  CStatic m_staticDescription;             // 1011
  CListCtrl m_jvmList;                     // 1003: name, JRE location, JDK location; checked: current
  JvmDefinition m_currentJvm;              // the current JVM
  JvmDefinitionSet m_extraJvms;            // the user-defined JVMs (ExtraJVMs)
  std::set<std::string> m_addedPaths;      // the user's added archive paths (AddedPaths)
  int m_selectedRow;                       // the row last reported selected; -1 at first
  CString m_installFolder;                 // "%KAVRINVC6%" expanded, set by OnInitDialog
  IXMLDOMDocumentPtr m_pSettingsDocument;  // the dialog's DOM document, for the settings file
  bool m_bLoading;                         // true until LoadGlobalSettings has finished
  CPercentBar* m_pProgressBar;             // the dialog's progress bar, for the JVM job
  ClassSettingsMap* m_pClassSettings;      // the dialog's selected classes, for the JVM job
  JvmDefinitionSet m_installedJvms;        // the installed JVMs listed, as SetJvmData got them
  // True when the global settings file could not be read when it was loaded: saving over it
  // then asks the user first (its content was copied to m_settingsCopy, when that could be
  // made).
  bool m_bSettingsUnreadable;
  std::string m_settingsCopy;

 protected:
  BOOL OnInitDialog() override;
  void DoDataExchange(CDataExchange* dx) override;
  afx_msg void OnSize(UINT type, int cx, int cy);
  afx_msg void OnPaint();
  // Stops a running JVM job and waits for it (StopJob), then the dialog's own handling.
  afx_msg void OnDestroy();
  // LVN_ITEMCHANGED of 1003: the check boxes act as radio buttons; applies the checked JVM and
  // enables Edit and Remove for the selected row.
  afx_msg void OnItemChanged(NMHDR* header, LRESULT* result);
  afx_msg void OnAdd();
  afx_msg void OnEdit();
  afx_msg void OnRemove();
  DECLARE_MESSAGE_MAP()

 private:
  // Column `column` of `row`, read through a buffer of `bufferSize` bytes; empty for a row that
  // does not exist.
  std::string RowText(int row, int column, int bufferSize) const;
  // A row for the JVM at the end of the list (image 0, no state); returns its index.
  int AppendRow(const JvmDefinition& jvm);
  // The JRE and JDK columns of `row` (and the name with `withName`) from `jvm`.
  void SetRowTexts(int row, const JvmDefinition& jvm, bool withName);
  void CheckAndSelect(int row);
  // The first row of that name, case ignored as the list compares; -1 when none.
  int FindRow(const std::string& name) const;
  // Whether the JVM of that name is one the user defined (and not shown as an installed one):
  // only those can be removed.
  bool IsUserDefined(const std::string& name) const;
  // After Add or Edit has set m_currentJvm: lists it (a new user-defined JVM gets a row; a
  // listed one takes the new definition; with `renameFormer` a renamed user-defined JVM keeps
  // its row) and checks and selects its row.
  void ShowAsCurrent(const JvmDefinition& former, bool renameFormer);
  // After a save that failed: `former`, which the file still names, stays the current JVM and
  // its row is checked again; no job runs, so JAVA_HOME and the modules stay with it.
  void KeepFormerJvm(const JvmDefinition& former);

  CCaptionFont m_captionFont;
};
