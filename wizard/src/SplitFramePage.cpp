#include "SplitFramePage.h"

#include "ClassList.h"
#include "PageSupport.h"
#include "WizardResources.h"

BEGIN_MESSAGE_MAP(CSplitFramePage, CDialog)
  ON_WM_CREATE()
END_MESSAGE_MAP()

CSplitFramePage::CSplitFramePage(UINT templateId, CRuntimeClass* memberView, LPCTSTR classColumn, CWnd* parent)
    : CDialog(templateId, parent),
      m_pFrame(nullptr),
      m_pClassSettings(nullptr),
      m_memberView(memberView),
      m_classColumn(classColumn) {
  m_images.Create(IDB_WIZARD_IMAGES, kWizardImageSize, 1, kWizardImageMask);
}

int CSplitFramePage::OnCreate(LPCREATESTRUCT cs) {
  if (CDialog::OnCreate(cs) == -1) return -1;
  m_pFrame = wizardpages::CreateSplitFrame(*this, m_splitter, RUNTIME_CLASS(CClassList), m_memberView);
  return 0;
}

BOOL CSplitFramePage::OnInitDialog() {
  CDialog::OnInitDialog();
  wizardpages::PlaceSplitFrame(*this, m_pFrame);
  if (CClassList* classes = wizardpages::ClassListPane(m_splitter, 0)) {
    classes->GetListCtrl().SetImageList(&m_images, LVSIL_SMALL);
    classes->SetColumn(m_classColumn);
  }
  return TRUE;
}
