// The base of the two pages whose list rows are added through Add... and removed through
// Remove by a worker job of the page (the modules page and the classes page): the buttons, the
// description, the dialog's model they change, the job's start and end, its progress in the
// dialog's bar, and the layout of the list beside its column of buttons.
#pragma once

#include "InvokeLater.h"
#include "Mfc.h"
#include "ProjectModel.h"

#include <functional>
#include <initializer_list>

class CPercentBar;
namespace wizardpages {
struct ListColumn;
}

class CJobListPage : public CDialog, public InvokeLaterJob {
 public:
  // The add job (m_bAddJob) or the remove job, on the worker thread; once it has ended by
  // itself, the bar is cleared, the wizard's controls come back, Add is enabled, Remove as
  // rows are selected, and then OnJobEnded.
  void RunJob() override;

  CButton m_btnAdd;                    // 1004 "Add..."
  CButton m_btnRemove;                 // 1006 "Remove"
  CStatic m_staticInfo;                // 1011, the description
  bool m_bAddJob;                      // the next job adds rows (else removes the selected ones)
  ModuleMap* m_pModules;               // the dialog's modules
  ClassSettingsMap* m_pClassSettings;  // the dialog's selected classes
  CImageList m_imageList;              // the wizard's image strip
  CPercentBar* m_pProgressBar;         // the dialog's progress bar

 protected:
  // `list` is the page's list, a member of the page.
  CJobListPage(UINT templateId, CListCtrl& list, CWnd* parent);

  // Full-row select, `columns` and the image strip for the list (OnInitDialog).
  void InitList(std::initializer_list<wizardpages::ListColumn> columns);
  // Starts the job (m_bAddJob = addJob) with `buttonsOff` disabled while it runs; nothing
  // when the worker cannot be made.
  void StartJob(bool addJob, std::initializer_list<CWnd*> buttonsOff);
  // "Processed 3 of 7 modules" and the like, with the bar at `position`.
  void ShowProgress(const char* format, int done, int total, int position);
  // The remove job's loop: the selected rows, last first so that the rows still to come keep
  // their indices, each reported by `progressFormat`, handed to `removeModel` and then
  // deleted. False when it ended because m_bStop was set.
  bool RemoveSelectedRows(const char* progressFormat, const std::function<void(int row)>& removeModel);

  virtual bool RunAddJob() = 0;
  virtual bool RunRemoveJob() = 0;
  // The last step of a job that has ended by itself; nothing here.
  virtual void OnJobEnded();

  afx_msg void OnSize(UINT type, int cx, int cy);
  // LVN_ITEMCHANGED of the list (each page maps it for its own list id): Remove as rows are
  // selected, unless a job runs.
  afx_msg void OnItemChanged(NMHDR* header, LRESULT* result);
  // Stops a running job and waits for it (StopJob), then the dialog's own handling.
  afx_msg void OnDestroy();
  DECLARE_MESSAGE_MAP()

 private:
  CListCtrl& m_list;
};
