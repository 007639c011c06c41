// Jobs of the wizard on worker threads.
//
// Every long piece of work of the wizard (adding or removing modules or classes, the JVM job,
// the generation run) runs on a worker thread of its own, one thread per job. Its owner (the
// generator dialog or a page) derives from InvokeLaterJob, after its dialog base, and
// implements RunJob. CInvokeLater is the thread that runs one job and ends.
//
// Starting a job, on the user-interface thread:
//
//   m_bAddJob = true;                 // the owner's own mode of the job, where it has one
//   if (!CreateJobThread()) return;   // worker created suspended, job attached: m_bStop false
//   m_btnAdd.EnableWindow(FALSE);     // the owner's buttons that must rest during the job
//   ResumeJobThread();
//
// The worker initialises COM, disables the job window's controls (JobWindow below), runs
// RunJob once and ends; its thread object then deletes itself. A job body that runs to its end
// enables the controls again itself and clears the progress bar's text.
// Job bodies poll m_bStop between items and end early once it is set.
//
// Stopping, when the owner's window is destroyed (its WM_DESTROY handler):
//
//   void CModulesPage::OnDestroy() {
//     StopJob();             // sets m_bStop and waits while a job of this owner is at work
//     CDialog::OnDestroy();
//   }
//
// While the owner waits, its thread keeps serving the worker's calls to its windows, so a job
// that touches the controls on its way out does not block.
//
// One job at a time: jobs read and change the same project model and class repository, so the
// wizard never runs two at once, whoever owns them. A handler that starts a job first asks
// for the turn, before it changes anything a running job reads:
//
//   void CModulesPage::OnRemove() {
//     if (!WaitForJobSlot()) return;  // this page's job is still at work: refused
//     ...                             // another owner's job has ended by now
//   }
//
// CreateJobThread asks again, so a job can never start while another runs.
#pragma once

#include "Mfc.h"

#include <atomic>

class CInvokeLater;

// The window that the jobs work for, as the worker reaches it: the generator dialog is one. The
// worker knows no more of it than this, so that the dialog can sit above the worker. There is
// one at a time: a window publishes itself in theJobWindow when it is made and withdraws when
// it goes, if it is still the one published.
class JobWindow {
 public:
  JobWindow();
  virtual ~JobWindow();
  JobWindow(const JobWindow&) = delete;
  JobWindow& operator=(const JobWindow&) = delete;

  // The window itself: it owns the message box that tells of a failure that escaped a job.
  virtual CWnd& GetJobWnd() = 0;
  // Disables (false) or enables (true) the controls that must rest while a job is at work, from
  // any thread; the caller waits until that is done.
  virtual void SetJobControlsEnabled(bool enable) = 0;
};

// The newest job window, or null while there is none.
extern JobWindow* theJobWindow;

class InvokeLaterJob {
 public:
  // No thread yet; m_bStop set (no job at work).
  InvokeLaterJob();
  // Stops a job that is still at work and waits for its thread to end (owners stop their job
  // while their window is destroyed, before this runs), then closes the owner's handle of it.
  virtual ~InvokeLaterJob();
  InvokeLaterJob(const InvokeLaterJob&) = delete;
  InvokeLaterJob& operator=(const InvokeLaterJob&) = delete;

  // The job body, run once on the worker thread by CInvokeLater::InitInstance.
  virtual void RunJob() = 0;

  // The turn of this owner to start a job, on the user-interface thread: waits without time
  // limit (serving the calls workers send to this thread) while a job of another owner is at
  // work, then answers true. False, at once, while this owner's own job is at work (a second
  // start is refused) and when called on a job's worker thread (a job starts no other job).
  bool WaitForJobSlot();
  // Waits for this owner's job, then as WaitForJobSlot: true once no job is at work.
  bool WaitUntilIdle();

  // Takes the turn (WaitForJobSlot), then creates the worker thread suspended (normal
  // priority, default stack), keeps it in m_pThread with a handle of the owner's own, and
  // attaches this job (which clears m_bStop). False when the turn is refused or the thread
  // cannot be created: then nothing is attached and m_bStop, m_pThread and the handle of the
  // previous job stay as they were.
  bool CreateJobThread();
  // Lets the thread made by CreateJobThread run. Returns the previous suspend count (1 when the
  // thread started), or (DWORD)-1 when there is no thread.
  DWORD ResumeJobThread();

  // True while the thread of the owner's most recent job exists and has not ended (a thread
  // created and not yet resumed counts as running). False before the first job.
  bool IsJobRunning() const;
  // True from CreateJobThread until the job body has returned on the worker.
  bool IsJobAtWork() const { return m_bAtWork; }
  // When m_bStop is clear and the job's thread still runs: sets m_bStop and waits for the
  // thread without time limit (a thread never resumed is let run, so that it sees the flag).
  // Otherwise returns at once.
  void StopJob();
  // Waits without time limit for the job's thread while it runs, without setting m_bStop.
  void WaitForJob();
  // The owner's handle of its most recent job's thread, valid after the thread object has
  // deleted itself and until the next job starts or the owner is destroyed; null before the
  // first job.
  HANDLE GetJobThreadHandle() const { return m_hJobThread; }

  // The thread object of the most recent job. It deletes itself when the thread ends: compare
  // it or clear it, but do not use it once ResumeJobThread has run (IsJobRunning tells
  // whether the job still runs).
  std::atomic<CInvokeLater*> m_pThread;
  // The stop flag: set while no job is at work and when the owner asks its job to stop; the
  // job reads it on every round of its loops. Shared by the user-interface and worker threads.
  std::atomic<bool> m_bStop;

 private:
  friend class CInvokeLater;
  HANDLE m_hJobThread;
  std::atomic<bool> m_bAtWork;
};

// The worker thread of one job. Made by its run-time class (AfxBeginThread); deletes itself
// when it ends. It handles no messages.
class CInvokeLater : public CWinThread {
  DECLARE_DYNCREATE(CInvokeLater)

 public:
  CInvokeLater();
  ~CInvokeLater() override;

  // Clears the job's m_bStop and keeps the job to run. Returns the job.
  InvokeLaterJob* SetJob(InvokeLaterJob* job);

  // On the worker thread: initialises COM (apartment model), disables the job window's
  // controls, runs the job and returns FALSE, so that the thread ends at once. A thread without
  // a job leaves the controls alone. An exception that escapes the job is reported in a message
  // box ("KAVRIN Add-In Error") over the job window and its controls are enabled again.
  BOOL InitInstance() override;
  // Uninitialises COM on the worker thread, then the base's exit.
  int ExitInstance() override;

  // The job to run; null after construction.
  InvokeLaterJob* m_pJob;
};
