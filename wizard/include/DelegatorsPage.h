// The page "Create Delegators": every selected class, each with a check box that asks for a
// delegator as well (bIsDelegatorIml).
// The list is rebuilt each time the page is shown.
#pragma once

#include "CaptionFont.h"
#include "Mfc.h"
#include "ProjectModel.h"
#include "WizardResources.h"

class CDelegatorsPage : public CDialog {
 public:
  enum { IDD = IDD_DELEGATORS_PAGE };

  explicit CDelegatorsPage(CWnd* parent = nullptr);

  // Called once by the generator dialog.
  void SetClassSettings(ClassSettingsMap* classSettings);

  CStatic m_staticDescription;         // 1011
  CListCtrl m_listClasses;             // 1072 "Class/Inteface Name": every selected class
  ClassSettingsMap* m_pClassSettings;  // the dialog's selected classes; null at first

 protected:
  BOOL OnInitDialog() override;
  void DoDataExchange(CDataExchange* dx) override;
  afx_msg void OnPaint();
  afx_msg void OnShowWindow(BOOL show, UINT status);
  afx_msg void OnSize(UINT type, int cx, int cy);
  // NM_CLICK of the list: a click on a row's check box sets bIsDelegatorIml to the opposite of
  // the box's state before the click.
  afx_msg void OnStateClick(NMHDR* header, LRESULT* result);
  DECLARE_MESSAGE_MAP()

 private:
  CCaptionFont m_captionFont;
};
