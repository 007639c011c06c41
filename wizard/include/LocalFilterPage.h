// Tab "Local" of the member filters: the classes (implemented interfaces left out) and, for the
// class selected, its members as a check-box tree under the root "Use Global Filter". A member
// unchecked is excluded from generation for that class (its key goes into the class's
// `members`); the root says whether the global switches apply to the class.
#pragma once

#include "CaptionFont.h"
#include "SplitFramePage.h"
#include "WizardResources.h"

#include <map>
#include <string>

class CLocalFilterPage : public CSplitFramePage {
 public:
  enum { IDD = IDD_LOCAL_FILTER_PAGE };

  explicit CLocalFilterPage(CWnd* parent = nullptr);

  // Keeps the filter dialog, the filter (not read here) and the class map.
  void SetData(CWnd* parent, GlobalFilter* globalFilter, ClassSettingsMap* classSettings);

  // Lists the members of m_className in the tree and the member names in the combo.
  void BuildMemberTree();
  // Checks and unchecks the items below `parent` against the class's excluded members; in
  // exclude mode unchecked members are excluded, otherwise checked ones are included again.
  // Returns whether every item below `parent` is checked.
  bool SyncChecks(HTREEITEM parent, bool check, bool excludeMode);
  // WM_REFRESH_PAGE (and on being shown): empties the tree and lists the classes again; 0.
  afx_msg LRESULT FillClassList(WPARAM wParam, LPARAM lParam);

  CStatic m_staticSelect;                           // 1067 "Select member name:"
  CComboBox m_memberCombo;                          // 1066: member names; item data = their tree items
  CStatic m_staticCaption;                          // 1016 "Class members filtered:"
  int m_memberIndex;                                // selected index of the combo; -1 at first
  GlobalFilter* m_pGlobalFilter;                    // handed in; not read by this page
  HTREEITEM m_hRoot;                                // "Use Global Filter"
  HTREEITEM m_hConstants;                           // "Constants"
  HTREEITEM m_hFields;                              // "Fields"
  HTREEITEM m_hConstructors;                        // "Constructors"
  HTREEITEM m_hMethods;                             // "Methods"
  std::map<std::string, std::string> m_memberKeys;  // member display line to member key
  CWnd* m_pParent;                                  // the filter dialog
  CString m_className;                              // the class shown in the tree

 protected:
  BOOL OnInitDialog() override;
  void DoDataExchange(CDataExchange* dx) override;
  afx_msg void OnSize(UINT type, int cx, int cy);
  afx_msg void OnPaint();
  afx_msg void OnShowWindow(BOOL show, UINT status);
  // WM_CLASS_LIST_CHANGED: shows the members of the selected class.
  afx_msg LRESULT OnClassChanged(WPARAM wParam, LPARAM lParam);
  // WM_MEMBER_CLICKED: a check box of the tree was clicked.
  afx_msg LRESULT OnMemberClicked(WPARAM wParam, LPARAM lParam);
  // WM_MEMBER_SELCHANGED: ignored; 0.
  afx_msg LRESULT OnMemberSelChanged(WPARAM wParam, LPARAM lParam);
  // CBN_SELENDOK of 1066: scrolls the chosen member's item to the top and makes it the caret.
  afx_msg void OnMemberNameChosen();
  DECLARE_MESSAGE_MAP()

 private:
  // Empties the combo, the tree and the keys, and forgets the tree's items.
  void ClearMembers();
  // Appends a member's line under its group, its key, and its combo entry unless one with that
  // text exists.
  void AddMember(HTREEITEM group, const std::string& line, const std::string& key, const CString& comboText);
  // The member key of a tree item; empty for the root and the groups.
  std::string KeyOf(HTREEITEM item) const;
  // Whether `wanted` is an item of the tree below `parent` (null: the whole tree).
  bool HasItem(HTREEITEM parent, HTREEITEM wanted) const;

  CCaptionFont m_captionFont;
};
