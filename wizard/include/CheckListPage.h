// The base of the three pages that list classes with a check box each (native methods,
// interfaces, delegators): every page admits its own classes into the list, and its boxes show
// and switch its own flag of the classes' settings.
// The list is rebuilt each time the page is shown.
#pragma once

#include "CaptionFont.h"
#include "Mfc.h"
#include "ProjectModel.h"
#include "WizardResources.h"

class CCheckListPage : public CDialog {
 public:
  // Called once by the generator dialog.
  void SetClassSettings(ClassSettingsMap* classSettings);

  CListCtrl m_listClasses;             // the classes the page admits
  CStatic m_staticDescription;         // 1011
  ClassSettingsMap* m_pClassSettings;  // the dialog's selected classes; null at first

 protected:
  // What sets one page apart: its list's id and column title, which classes it lists, and
  // which flag of their settings the boxes stand for.
  struct Kind {
    UINT listId;
    LPCTSTR columnTitle;
    bool (*admit)(const ClassSettings&);
    bool ClassSettings::*flag;
  };

  CCheckListPage(UINT templateId, const Kind& kind, CWnd* parent);

  BOOL OnInitDialog() override;
  void DoDataExchange(CDataExchange* dx) override;
  afx_msg void OnPaint();
  afx_msg void OnShowWindow(BOOL show, UINT status);
  afx_msg void OnSize(UINT type, int cx, int cy);
  // NM_CLICK of the list goes to OnStateClick: the list's id is the page's, so no map entry
  // can name it.
  BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) override;
  // A click on a row's check box sets the page's flag to the opposite of the box's state
  // before the click.
  void OnStateClick();
  // What else a click on the box of class `name` changes, before its flag is set.
  virtual void OnFlagSwitching(const CString& name, ClassSettings& settings);
  DECLARE_MESSAGE_MAP()

 private:
  const Kind m_kind;
  CCaptionFont m_captionFont;
};
