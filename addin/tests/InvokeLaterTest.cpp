// Worker jobs: a job runs once on a thread of its own after the wizard's controls were disabled,
// its owner can stop it and wait for it while the job still touches the dialog, and the owner
// keeps a handle to test and wait on after the thread object has deleted itself.
#include "InvokeLater.h"

#include "ComSupport.h"
#include "WizardResources.h"
#include "WizardTestSupport.h"

#include <atomic>
#include <functional>
#include <stdexcept>

using namespace wizardtest;

namespace {

class RecordingJob : public InvokeLaterJob {
 public:
  std::function<void(RecordingJob&)> body;
  std::atomic<int> runs{0};
  std::atomic<DWORD> threadId{0};

  void RunJob() override {
    ++runs;
    threadId = GetCurrentThreadId();
    if (body) body(*this);
  }
};

class InvokeLaterTest : public WizardUiTest {
 protected:
  void SetUp() override {
    WizardUiTest::SetUp();
    ASSERT_TRUE(dialog.open());
  }
  // Starts the job as the owners do and lets it run.
  static void start(RecordingJob& job) {
    ASSERT_TRUE(job.CreateJobThread());
    EXPECT_EQ(job.ResumeJobThread(), 1u);
  }

  TestWizardDialog dialog;
};

TEST_F(InvokeLaterTest, AnIdleOwnerHasNoThreadAndNothingToStop) {
  RecordingJob job;
  EXPECT_TRUE(job.m_bStop.load());
  EXPECT_EQ(job.m_pThread.load(), nullptr);
  EXPECT_EQ(job.GetJobThreadHandle(), nullptr);
  EXPECT_FALSE(job.IsJobRunning());
  EXPECT_EQ(job.ResumeJobThread(), static_cast<DWORD>(-1));
  job.StopJob();
  job.WaitForJob();
  EXPECT_TRUE(job.m_bStop.load());
  EXPECT_EQ(job.runs.load(), 0);
}

TEST_F(InvokeLaterTest, JobRunsOnceOnAWorkerWithTheWizardsControlsDisabled) {
  RecordingJob job;
  struct Seen {
    bool generate, store, tree, page, close;
    HRESULT com;
  };
  Seen seen{};
  job.body = [&](RecordingJob& self) {
    seen.generate = ::IsWindowEnabled(dialog.control(IDOK)) != FALSE;
    seen.store = ::IsWindowEnabled(dialog.control(IDC_STORE_SETTINGS)) != FALSE;
    seen.tree = ::IsWindowEnabled(dialog.control(IDC_PAGE_TREE)) != FALSE;
    seen.page = ::IsWindowEnabled(dialog.m_page.m_hWnd) != FALSE;
    seen.close = ::IsWindowEnabled(dialog.control(IDCANCEL)) != FALSE;
    // COM is initialised on the worker already, in the apartment model.
    seen.com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    if (SUCCEEDED(seen.com)) CoUninitialize();
    EXPECT_FALSE(self.m_bStop.load()) << "attaching the job clears the stop flag";
  };

  ASSERT_TRUE(job.CreateJobThread());
  EXPECT_NE(job.m_pThread.load(), nullptr);
  EXPECT_EQ(job.m_pThread.load()->m_pJob, &job);
  EXPECT_FALSE(job.m_bStop.load());
  EXPECT_TRUE(job.IsJobRunning()) << "a thread not yet resumed counts as running";
  Sleep(20);
  EXPECT_EQ(job.runs.load(), 0) << "nothing runs before the owner resumes the thread";
  EXPECT_TRUE(dialog.enabled(IDOK));

  EXPECT_EQ(job.ResumeJobThread(), 1u);
  job.WaitForJob();
  EXPECT_FALSE(job.IsJobRunning());
  EXPECT_EQ(job.runs.load(), 1);
  EXPECT_NE(job.threadId.load(), GetCurrentThreadId());
  EXPECT_FALSE(seen.generate);
  EXPECT_FALSE(seen.store);
  EXPECT_FALSE(seen.tree);
  EXPECT_FALSE(seen.page);
  EXPECT_TRUE(seen.close) << "Close is not the worker's to disable";
  EXPECT_EQ(seen.com, S_FALSE);

  // The job did not enable the controls again, so they stay disabled.
  EXPECT_FALSE(dialog.enabled(IDOK));
  EXPECT_FALSE(dialog.pageEnabled());
  EXPECT_FALSE(job.m_bStop.load()) << "a job that ended leaves the flag as it was";
  // The owner's handle outlives the thread object and tells how the thread ended.
  DWORD code = STILL_ACTIVE;
  ASSERT_TRUE(GetExitCodeThread(job.GetJobThreadHandle(), &code));
  EXPECT_EQ(code, 0u);
}

TEST_F(InvokeLaterTest, AJobThatRunsToItsEndEnablesTheControlsItself) {
  RecordingJob job;
  job.body = [](RecordingJob&) { EnableWizardControls(); };
  start(job);
  job.WaitForJob();
  EXPECT_TRUE(dialog.enabled(IDOK));
  EXPECT_TRUE(dialog.enabled(IDC_STORE_SETTINGS));
  EXPECT_TRUE(dialog.enabled(IDC_PAGE_TREE));
  EXPECT_TRUE(dialog.pageEnabled());
}

TEST_F(InvokeLaterTest, StoppingSetsTheFlagAndWaitsWhileTheJobStillTouchesTheDialog) {
  RecordingJob job;
  std::atomic<int> rounds{0};
  std::atomic<bool> finished{false};
  job.body = [&](RecordingJob& self) {
    while (!self.m_bStop) {
      ++rounds;
      Sleep(1);
    }
    // Its last steps reach the dialog while the owner waits for it.
    EnableWizardControls();
    dialog.m_page.SetWindowText("stopped");
    finished = true;
  };
  start(job);
  ASSERT_TRUE(ui::pumpUntil([&] { return rounds.load() > 3; }));
  EXPECT_TRUE(job.IsJobRunning());

  job.StopJob();
  EXPECT_TRUE(job.m_bStop.load());
  EXPECT_TRUE(finished.load()) << "the owner waited for the job to end";
  EXPECT_FALSE(job.IsJobRunning());
  EXPECT_TRUE(dialog.enabled(IDOK));
  CString text;
  dialog.m_page.GetWindowText(text);
  EXPECT_EQ(text, "stopped");
}

TEST_F(InvokeLaterTest, StoppingAJobThatWasNeverResumedLetsItSeeTheFlagAndEnd) {
  RecordingJob job;
  std::atomic<bool> stopSeen{false};
  job.body = [&](RecordingJob& self) { stopSeen = self.m_bStop.load(); };
  ASSERT_TRUE(job.CreateJobThread());
  job.StopJob();
  EXPECT_FALSE(job.IsJobRunning());
  EXPECT_TRUE(stopSeen.load());
}

TEST_F(InvokeLaterTest, AnEndedJobIsNotStoppedAgain) {
  RecordingJob job;
  start(job);
  job.WaitForJob();
  job.StopJob();
  EXPECT_FALSE(job.m_bStop.load()) << "no stop is asked of a job that has ended";
  EXPECT_EQ(job.runs.load(), 1);
}

TEST_F(InvokeLaterTest, AJobThatSetItsOwnStopFlagIsNotWaitedFor) {
  // The JVM job sets m_bStop itself at its end; the owner then starts the next job at once.
  RecordingJob job;
  job.body = [](RecordingJob& self) { self.m_bStop = true; };
  start(job);
  job.WaitForJob();
  EXPECT_TRUE(job.m_bStop.load());
  HANDLE first = job.GetJobThreadHandle();

  start(job);
  job.WaitForJob();
  EXPECT_EQ(job.runs.load(), 2);
  EXPECT_NE(job.GetJobThreadHandle(), first) << "each job gets a handle of its own";
  EXPECT_FALSE(job.IsJobRunning());
}

TEST_F(InvokeLaterTest, WaitingForTheJobLeavesTheStopFlagAlone) {
  RecordingJob job;
  std::atomic<bool> stopSeen{false};
  job.body = [&](RecordingJob& self) {
    Sleep(30);
    stopSeen = self.m_bStop.load();
  };
  start(job);
  job.WaitForJob();
  EXPECT_EQ(job.runs.load(), 1);
  EXPECT_FALSE(stopSeen.load());
  EXPECT_FALSE(job.m_bStop.load());
}

TEST_F(InvokeLaterTest, AnOwnerDestroyedWithARunningJobWaitsForIt) {
  std::atomic<bool> finished{false};
  {
    RecordingJob job;
    job.body = [&](RecordingJob& self) {
      while (!self.m_bStop) Sleep(1);
      finished = true;
    };
    start(job);
    ASSERT_TRUE(ui::pumpUntil([&] { return job.runs.load() == 1; }));
  }
  EXPECT_TRUE(finished.load());
}

TEST_F(InvokeLaterTest, AFailureThatEscapesTheJobIsReportedAndTheControlsComeBack) {
  RecordingJob failing;
  failing.body = [](RecordingJob&) { throw std::runtime_error("archive cannot be read"); };
  start(failing);
  failing.WaitForJob();

  RecordingJob comFailing;
  comFailing.body = [](RecordingJob&) { com::raiseError(E_FAIL, "Cannot create the document"); };
  start(comFailing);
  comFailing.WaitForJob();

  std::vector<win32::JournalEntry> boxes;
  for (const win32::JournalEntry& e : win32::journal()) {
    if (e.kind == "MessageBox") boxes.push_back(e);
  }
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0].caption, "KAVRIN Add-In Error");
  EXPECT_NE(boxes[0].text.find("archive cannot be read"), std::string::npos);
  EXPECT_EQ(boxes[0].type, MB_OK | MB_ICONERROR);
  EXPECT_NE(boxes[1].text.find("Cannot create the document"), std::string::npos);
  EXPECT_TRUE(dialog.enabled(IDOK));
  EXPECT_TRUE(dialog.pageEnabled());
}

TEST_F(InvokeLaterTest, SetJobClearsTheStopFlagAndKeepsTheJob) {
  RecordingJob job;
  CInvokeLater thread;
  EXPECT_EQ(thread.m_pJob, nullptr);
  EXPECT_EQ(thread.SetJob(&job), &job);
  EXPECT_EQ(thread.m_pJob, &job);
  EXPECT_FALSE(job.m_bStop.load());
  EXPECT_TRUE(RUNTIME_CLASS(CInvokeLater)->IsDerivedFrom(RUNTIME_CLASS(CWinThread)));
  CObject* made = RUNTIME_CLASS(CInvokeLater)->CreateObject();
  EXPECT_NE(dynamic_cast<CInvokeLater*>(made), nullptr) << "made by its class description";
  delete made;
}

}  // namespace
