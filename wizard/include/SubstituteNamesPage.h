// The page "Substitute Names": the project's name substitutions (an old Java name and the name
// the generated C++ code uses instead) and the switches "Add Field Prefix" and "Add Method
// Prefix", which it also hands straight to the proxy generator. It runs no job.
//
// The list always shows the substitutions as the model holds them, one row per old name. The
// old-name field names the substitution that Update sets and Delete removes; a substitution
// needs both names.
#pragma once

#include "CaptionFont.h"
#include "Mfc.h"
#include "ProjectModel.h"
#include "WizardResources.h"

class CSubstituteNamesPage : public CDialog {
 public:
  enum { IDD = IDD_SUBSTITUTE_NAMES_PAGE };

  explicit CSubstituteNamesPage(CWnd* parent = nullptr);

  // Called once by the generator dialog.
  void SetModel(NameSubstitutionMap* substitutions, bool* fieldPrefix, bool* methodPrefix);

  CButton m_chkMethodPrefix;              // 1069 "Add Method Prefix"
  CButton m_chkFieldPrefix;               // 1068 "Add Field Prefix"
  CListCtrl m_listNames;                  // 1037: old name, new name
  CButton m_btnUpdate;                    // 1043 "Update"
  CStatic m_staticWith;                   // 1041 "with:"
  CStatic m_staticSubstitute;             // 1040 "Subsitute:"
  CEdit m_editOldName;                    // 1038
  CEdit m_editNewName;                    // 1039
  CButton m_btnDelete;                    // 1044 "Delete"
  CButton m_btnAdd;                       // 1004 "Add"
  CStatic m_staticInfo;                   // 1011, the description
  CString m_strOldName;                   // text of 1038
  CString m_strNewName;                   // text of 1039
  int m_nFieldPrefixCheck;                // check state of 1068
  int m_nMethodPrefixCheck;               // check state of 1069
  int m_nSelected;                        // the selected row; -1 when none
  NameSubstitutionMap* m_pSubstitutions;  // the dialog's substitutions
  bool* m_pFieldPrefix;                   // the dialog's m_bFieldPrefix
  bool* m_pMethodPrefix;                  // the dialog's m_bMethodPrefix

 protected:
  BOOL OnInitDialog() override;
  void DoDataExchange(CDataExchange* dx) override;
  afx_msg void OnPaint();
  afx_msg void OnAdd();
  afx_msg void OnDelete();
  afx_msg void OnUpdate();
  afx_msg void OnSize(UINT type, int cx, int cy);
  afx_msg void OnShowWindow(BOOL show, UINT status);
  afx_msg void OnItemChanged(NMHDR* header, LRESULT* result);
  afx_msg void OnFieldPrefix();
  afx_msg void OnMethodPrefix();
  DECLARE_MESSAGE_MAP()

 private:
  // The row that shows `oldName`, or -1.
  int FindRow(const CString& oldName) const;
  // One row per substitution, in the model's order.
  void ListSubstitutions();
  // Selects `row`, which shows its names in the fields (OnItemChanged).
  void SelectRow(int row);

  CCaptionFont m_captionFont;
};
