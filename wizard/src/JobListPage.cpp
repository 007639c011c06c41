#include "JobListPage.h"

#include "PageSupport.h"
#include "PercentBar.h"
#include "WizardResources.h"
#include "WizardControls.h"

#include <vector>

BEGIN_MESSAGE_MAP(CJobListPage, CDialog)
  ON_WM_SIZE()
  ON_WM_DESTROY()
END_MESSAGE_MAP()

CJobListPage::CJobListPage(UINT templateId, CListCtrl& list, CWnd* parent)
    : CDialog(templateId, parent),
      m_bAddJob(true),
      m_pModules(nullptr),
      m_pClassSettings(nullptr),
      m_pProgressBar(nullptr),
      m_list(list) {
  m_imageList.Create(IDB_WIZARD_IMAGES, kWizardImageSize, 1, kWizardImageMask);
}

void CJobListPage::InitList(std::initializer_list<wizardpages::ListColumn> columns) {
  // The strip may have been registered after the page object was made.
  if (m_imageList.GetSafeHandle() == nullptr) {
    m_imageList.Create(IDB_WIZARD_IMAGES, kWizardImageSize, 1, kWizardImageMask);
  }
  wizardpages::InitReportList(m_list, LVS_EX_FULLROWSELECT, columns);
  m_list.SetImageList(&m_imageList, LVSIL_SMALL);
}

void CJobListPage::StartJob(bool addJob, std::initializer_list<CWnd*> buttonsOff) {
  m_bAddJob = addJob;
  if (!CreateJobThread()) return;
  for (CWnd* button : buttonsOff) button->EnableWindow(FALSE);
  ResumeJobThread();
}

void CJobListPage::RunJob() {
  bool finished = m_bAddJob ? RunAddJob() : RunRemoveJob();
  if (!finished) return;  // stopped: the page is going away, its controls with it
  if (m_pProgressBar != nullptr) {
    m_pProgressBar->SetPos(0);
    m_pProgressBar->SetBarText(nullptr);
    m_pProgressBar->RedrawWindow();
  }
  EnableWizardControls();
  m_btnAdd.EnableWindow(TRUE);
  m_btnRemove.EnableWindow(m_list.GetSelectedCount() > 0 ? TRUE : FALSE);
  OnJobEnded();
}

void CJobListPage::OnJobEnded() {}

void CJobListPage::ShowProgress(const char* format, int done, int total, int position) {
  if (m_pProgressBar == nullptr) return;
  CString text;
  text.Format(format, done, total);
  m_pProgressBar->SetBarText(text, CPercentBar::kTextOnly);
  m_pProgressBar->SetPos(position);
  m_pProgressBar->RedrawWindow();
}

bool CJobListPage::RemoveSelectedRows(const char* progressFormat, const std::function<void(int row)>& removeModel) {
  std::vector<int> rows;
  for (int row = m_list.GetNextItem(-1, LVNI_SELECTED); row != -1; row = m_list.GetNextItem(row, LVNI_SELECTED)) {
    rows.push_back(row);
  }
  if (m_pProgressBar != nullptr) m_pProgressBar->SetRange(0, 100);
  const int total = static_cast<int>(rows.size());
  int done = 0;
  for (int place = total - 1; place >= 0; --place) {
    if (m_bStop) return false;
    const int row = rows[static_cast<size_t>(place)];
    ++done;
    ShowProgress(progressFormat, done, total, total > 1 ? place * 100 / (total - 1) : 0);
    removeModel(row);
    if (m_bStop) return false;
    m_list.DeleteItem(row);
  }
  return true;
}

void CJobListPage::OnItemChanged(NMHDR*, LRESULT* result) {
  bool selected = m_list.GetSelectedCount() > 0;
  m_btnRemove.EnableWindow(selected && !IsJobRunning() ? TRUE : FALSE);
  *result = 0;
}

void CJobListPage::OnSize(UINT type, int cx, int cy) {
  CDialog::OnSize(type, cx, cy);
  wizardpages::LayoutButtonListPage(*this, {&m_btnAdd, &m_btnRemove}, m_staticInfo, m_list);
}

void CJobListPage::OnDestroy() {
  StopJob();
  CDialog::OnDestroy();
}
