#include "InvokeLater.h"

#include "ComSupport.h"

#include <exception>
#include <mutex>
#include <string>

namespace {

// The job that last took the turn: its owner and a handle of its thread of the slot's own.
struct JobSlot {
  std::mutex mutex;
  InvokeLaterJob* owner = nullptr;
  HANDLE thread = nullptr;
};

JobSlot& jobSlot() {
  static JobSlot* slot = new JobSlot();  // kept for the process: jobs may end while it unloads
  return *slot;
}

// Set on the worker threads of jobs.
thread_local bool tOnJobWorker = false;

bool threadRuns(HANDLE thread) {
  DWORD code = 0;
  return thread != nullptr && GetExitCodeThread(thread, &code) && code == static_cast<DWORD>(STILL_ACTIVE);
}

HANDLE duplicate(HANDLE handle) {
  HANDLE copy = nullptr;
  if (!DuplicateHandle(GetCurrentProcess(), handle, GetCurrentProcess(), &copy, 0, FALSE, DUPLICATE_SAME_ACCESS)) {
    return nullptr;
  }
  return copy;
}

// Switches the controls of the job window, when there is one.
void setJobControlsEnabled(bool enable) {
  JobWindow* window = theJobWindow;
  if (window != nullptr) window->SetJobControlsEnabled(enable);
}

}  // namespace

// --- JobWindow ---------------------------------------------------------------------------------
JobWindow* theJobWindow = nullptr;

JobWindow::JobWindow() { theJobWindow = this; }

JobWindow::~JobWindow() {
  if (theJobWindow == this) theJobWindow = nullptr;
}

// --- InvokeLaterJob ----------------------------------------------------------------------------
InvokeLaterJob::InvokeLaterJob() : m_pThread(nullptr), m_bStop(true), m_hJobThread(nullptr), m_bAtWork(false) {}

InvokeLaterJob::~InvokeLaterJob() {
  StopJob();
  // A job that set m_bStop itself at its end may still be leaving: its worker touches this
  // object until it has returned.
  WaitForJob();
  if (m_hJobThread != nullptr) CloseHandle(m_hJobThread);
  JobSlot& slot = jobSlot();
  std::lock_guard<std::mutex> lock(slot.mutex);
  if (slot.owner == this) slot.owner = nullptr;
}

bool InvokeLaterJob::WaitForJobSlot() {
  if (tOnJobWorker) return false;
  JobSlot& slot = jobSlot();
  for (;;) {
    HANDLE busy = nullptr;
    {
      std::lock_guard<std::mutex> lock(slot.mutex);
      if (!threadRuns(slot.thread)) return true;
      if (slot.owner == this && m_bAtWork) return false;
      busy = duplicate(slot.thread);
    }
    if (busy == nullptr) {
      Sleep(10);  // no handle to wait on: look again shortly
      continue;
    }
    WaitForSingleObject(busy, INFINITE);
    CloseHandle(busy);
  }
}

bool InvokeLaterJob::WaitUntilIdle() {
  if (tOnJobWorker) return false;
  WaitForJob();
  return WaitForJobSlot();
}

bool InvokeLaterJob::CreateJobThread() {
  if (!WaitForJobSlot()) return false;
  CWinThread* created =
      AfxBeginThread(RUNTIME_CLASS(CInvokeLater), THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED, nullptr);
  CInvokeLater* thread = dynamic_cast<CInvokeLater*>(created);
  if (thread == nullptr) return false;
  // The thread object deletes itself when the thread ends; this handle stays with the owner so
  // that it can still test and wait for the thread then.
  HANDLE handle = nullptr;
  if (!DuplicateHandle(GetCurrentProcess(), thread->m_hThread, GetCurrentProcess(), &handle, 0, FALSE,
                       DUPLICATE_SAME_ACCESS)) {
    // Never resumed, the thread would wait for ever: run it without a job.
    thread->ResumeThread();
    return false;
  }
  HANDLE slotHandle = duplicate(handle);
  if (slotHandle == nullptr) {
    CloseHandle(handle);
    thread->ResumeThread();
    return false;
  }
  {
    JobSlot& slot = jobSlot();
    std::lock_guard<std::mutex> lock(slot.mutex);
    if (slot.thread != nullptr) CloseHandle(slot.thread);
    slot.thread = slotHandle;
    slot.owner = this;
  }
  if (m_hJobThread != nullptr) CloseHandle(m_hJobThread);
  m_hJobThread = handle;
  m_pThread = thread;
  m_bAtWork = true;
  thread->SetJob(this);
  return true;
}

DWORD InvokeLaterJob::ResumeJobThread() {
  if (m_hJobThread == nullptr) return static_cast<DWORD>(-1);
  return ::ResumeThread(m_hJobThread);
}

bool InvokeLaterJob::IsJobRunning() const {
  if (m_hJobThread == nullptr) return false;
  DWORD code = 0;
  return GetExitCodeThread(m_hJobThread, &code) && code == static_cast<DWORD>(STILL_ACTIVE);
}

void InvokeLaterJob::StopJob() {
  if (m_bStop || !IsJobRunning()) return;
  m_bStop = true;
  // A thread that was never resumed would never end; one that runs is not changed by this.
  ::ResumeThread(m_hJobThread);
  WaitForSingleObject(m_hJobThread, INFINITE);
}

void InvokeLaterJob::WaitForJob() {
  if (IsJobRunning()) WaitForSingleObject(m_hJobThread, INFINITE);
}

// --- CInvokeLater ------------------------------------------------------------------------------
IMPLEMENT_DYNCREATE(CInvokeLater, CWinThread)

CInvokeLater::CInvokeLater() : m_pJob(nullptr) {}

CInvokeLater::~CInvokeLater() = default;

InvokeLaterJob* CInvokeLater::SetJob(InvokeLaterJob* job) {
  if (job != nullptr) job->m_bStop = false;
  m_pJob = job;
  return job;
}

namespace {

// Tells the user about a failure that escaped a job and gives the job window back its controls.
void reportEscapedFailure(const std::string& description) {
  std::string text = "The background job ended with an error";
  text += description.empty() ? std::string(".") : ": " + description;
  JobWindow* window = theJobWindow;
  CWnd* owner = window != nullptr ? &window->GetJobWnd() : nullptr;
  if (owner != nullptr && owner->GetSafeHwnd() != nullptr) {
    owner->MessageBox(text.c_str(), "KAVRIN Add-In Error", MB_OK | MB_ICONERROR);
  } else {
    ::MessageBox(nullptr, text.c_str(), "KAVRIN Add-In Error", MB_OK | MB_ICONERROR);
  }
  setJobControlsEnabled(true);
}

}  // namespace

BOOL CInvokeLater::InitInstance() {
  tOnJobWorker = true;
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  // A thread without a job leaves the controls alone: nothing would enable them again.
  if (m_pJob != nullptr) {
    setJobControlsEnabled(false);
    try {
      m_pJob->RunJob();
    } catch (const _com_error& error) {
      reportEscapedFailure(com::describe(error));
    } catch (const std::exception& error) {
      reportEscapedFailure(error.what());
    } catch (...) {
      reportEscapedFailure(std::string());
    }
    m_pJob->m_bAtWork = false;
  }
  return FALSE;
}

int CInvokeLater::ExitInstance() {
  CoUninitialize();
  return CWinThread::ExitInstance();
}
