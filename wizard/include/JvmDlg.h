// The modal dialog that edits one JVM definition: its name, JRE home, JDK home and the archives
// that go with it (the JRE's libraries, found by scanning the JRE, and the user's added paths).
#pragma once

#include "Mfc.h"
#include "ProjectModel.h"
#include "WizardResources.h"

class CJvmDlg : public CDialog {
 public:
  enum { IDD = IDD_JVM_DIALOG };

  explicit CJvmDlg(CWnd* parent = nullptr);

  // Before DoModal: the caption, the added paths (copied; null for none) and the definition.
  void SetJvm(CString title, const std::set<std::string>* addedPaths, JvmDefinition jvm);
  // After DoModal returned IDOK: the definition (its libraries those of the latest scan, its
  // added paths empty) and the added paths.
  JvmDefinition& GetJvm();
  std::set<std::string>& GetAddedPaths();

  // Lists the archives of the JRE edit's folder (lib, lib/ext, javaws; *.zip then *.jar), the
  // folder's own class library when it is a JDK of release 9 or later (its jmods, or the modules
  // of its image) and the added paths, and keeps the result in m_scan.
  void ScanJreLibraries();

  CEdit m_editName;                    // 1018 "Name:"
  CButton m_btnBrowseJre;              // 1023 "Browse..." beside the JRE home
  CButton m_btnBrowseJdk;              // 1029 "Browse..." beside the JDK home
  CButton m_btnRemoveJar;              // 1027 "Remove"
  CButton m_btnEditJar;                // 1026 "Edit..."
  CButton m_btnAddJars;                // 1025 "Add External JARs..."
  CStatic m_staticMessage;             // 1028: the input message of OK
  CEdit m_editJre;                     // 1020 "JRE home directory:"
  CEdit m_editJdk;                     // 1021 "JDK home directory:"
  CListCtrl m_libraryList;             // 1024 "JRE global libraries:"
  CString m_title;                     // the window caption
  JvmDefinition m_jvm;                 // the definition given in and, after OK, the result
  JvmDefinition m_scan;                // the result of the latest library scan
  std::set<std::string> m_addedPaths;  // the added archive paths, given in and returned
  CImageList m_images;                 // the wizard's image strip
  int m_currentRow;                    // the library row last reported changed

 protected:
  BOOL OnInitDialog() override;
  void DoDataExchange(CDataExchange* dx) override;
  void OnOK() override;
  afx_msg void OnAddExternalJars();
  afx_msg void OnEditJar();
  afx_msg void OnBrowseJdk();
  afx_msg void OnBrowseJre();
  afx_msg void OnRemoveJar();
  afx_msg void OnLibraryChanged(NMHDR* header, LRESULT* result);
  DECLARE_MESSAGE_MAP()

 private:
  // m_images from the wizard's strip, once it is registered.
  void CreateImages();
  // A library row at the end of the list.
  void AppendLibraryRow(const std::string& path);
  // Selects row 0 (m_currentRow 0), or leaves m_currentRow -1 without rows; Edit and Remove
  // are disabled until a row of an added path is selected.
  void SelectFirstRow();
  // The text of a library row (read through a buffer of 1000 bytes); empty for no row.
  std::string LibraryText(int row) const;
  // The first row with that text, case ignored as the list compares; -1 when none.
  int FindLibraryRow(const std::string& path) const;
  // The open-file dialog of archives, starting with `initialName`; the path chosen, or empty.
  std::string ChooseArchive(const std::string& initialName);
};
