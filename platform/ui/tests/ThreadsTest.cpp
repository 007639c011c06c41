// Threads: calls from a worker run on the thread that owns the window and block until they ran;
// waits of the owning thread keep serving them; posted messages keep their order.
#include "UiTestSupport.h"

#include <atomic>
#include <functional>

using namespace uitest;

namespace {

std::function<int()> gJob;

// Runs gJob once on a thread of its own; its result is the thread's exit code.
class JobThread : public CWinThread {
  DECLARE_DYNCREATE(JobThread)
 public:
  BOOL InitInstance() override {
    m_result = gJob();
    return FALSE;
  }
  int ExitInstance() override { return m_result; }

 private:
  int m_result = 0;
};
IMPLEMENT_DYNCREATE(JobThread, CWinThread)

// A window of the thread that made it.
class Receiver : public CWnd {
 public:
  BOOL make(const char* title = "receiver") {
    return CreateEx(0, AfxRegisterWndClass(0), title, WS_POPUP | WS_VISIBLE, 0, 0, 10, 10, nullptr, nullptr);
  }
  DWORD handledOn = 0;
  std::vector<int> posted;

 protected:
  afx_msg LRESULT OnAsk(WPARAM wParam, LPARAM) {
    handledOn = GetCurrentThreadId();
    return static_cast<LRESULT>(wParam) * 2;
  }
  afx_msg LRESULT OnPosted(WPARAM wParam, LPARAM) {
    posted.push_back(static_cast<int>(wParam));
    return 0;
  }
  // Answers by asking the window named in lParam (owned by the asking thread).
  afx_msg LRESULT OnRelay(WPARAM, LPARAM lParam) {
    return ::SendMessage(reinterpret_cast<HWND>(lParam), WM_USER + 1, 25, 0) + 1;
  }
  afx_msg LRESULT OnQuit(WPARAM wParam, LPARAM) {
    PostQuitMessage(static_cast<int>(wParam));
    return 0;
  }
  DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(Receiver, CWnd)
  ON_MESSAGE(WM_USER + 1, OnAsk)
  ON_MESSAGE(WM_USER + 2, OnPosted)
  ON_MESSAGE(WM_USER + 3, OnRelay)
  ON_MESSAGE(WM_USER + 4, OnQuit)
END_MESSAGE_MAP()

// Starts gJob as the owners of jobs do: created suspended, so that the handle can be copied
// before the thread object, which deletes itself when the thread ends, may be gone.
HANDLE startJob(std::function<int()> job, bool suspended = false) {
  gJob = std::move(job);
  CWinThread* thread = AfxBeginThread(RUNTIME_CLASS(JobThread), THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED);
  if (thread == nullptr) return nullptr;
  HANDLE copy = nullptr;
  DuplicateHandle(GetCurrentProcess(), thread->m_hThread, GetCurrentProcess(), &copy, 0, FALSE, DUPLICATE_SAME_ACCESS);
  if (!suspended) thread->ResumeThread();
  return copy;
}

class ThreadsTest : public UiTest {};

TEST_F(ThreadsTest, WorkerSendMessageBlocksUntilTheOwnerRanIt) {
  Receiver receiver;
  ASSERT_TRUE(receiver.make());
  std::atomic<DWORD> workerId{0};
  std::atomic<LRESULT> answer{0};
  std::atomic<bool> ranBeforeReturn{false};
  gJob = [&] {
    workerId = GetCurrentThreadId();
    answer = ::SendMessage(receiver.m_hWnd, WM_USER + 1, 21, 0);
    ranBeforeReturn = receiver.handledOn != 0;
    return 7;
  };
  CWinThread* thread = AfxBeginThread(RUNTIME_CLASS(JobThread), THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED);
  ASSERT_NE(thread, nullptr);
  HANDLE handle = nullptr;
  ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), thread->m_hThread, GetCurrentProcess(), &handle, 0, FALSE,
                              DUPLICATE_SAME_ACCESS));
  Sleep(20);
  DWORD code = 0;
  ASSERT_TRUE(GetExitCodeThread(handle, &code));
  EXPECT_EQ(code, static_cast<DWORD>(STILL_ACTIVE));
  EXPECT_EQ(workerId.load(), 0u) << "a suspended thread runs nothing";
  EXPECT_EQ(thread->ResumeThread(), 1u);

  // The wait serves the worker's call; otherwise both threads would hang here.
  ASSERT_EQ(WaitForSingleObject(handle, 10000), WAIT_OBJECT_0);
  EXPECT_EQ(answer.load(), 42);
  EXPECT_TRUE(ranBeforeReturn.load());
  EXPECT_EQ(receiver.handledOn, GetCurrentThreadId());
  EXPECT_NE(workerId.load(), GetCurrentThreadId());
  ASSERT_TRUE(GetExitCodeThread(handle, &code));
  EXPECT_EQ(code, 7u);
  EXPECT_TRUE(CloseHandle(handle));
  EXPECT_FALSE(CloseHandle(handle));
  EXPECT_FALSE(GetExitCodeThread(handle, &code));
  receiver.DestroyWindow();
}

class Page : public CDialog {
 public:
  Page() : CDialog(kHostTemplate) {}
  CListCtrl list;
  CProgressCtrl progress;
  CButton push;
  CStatic caption;
  std::atomic<bool> stop{false};
  HANDLE job = nullptr;
  bool waitedInDestroy = false;

 protected:
  void DoDataExchange(CDataExchange* dx) override {
    DDX_Control(dx, kList, list);
    DDX_Control(dx, kProgress, progress);
    DDX_Control(dx, kPush, push);
    DDX_Control(dx, kStatic, caption);
  }
  // As the pages that own jobs do: ask the job to stop, wait for it, then go on.
  afx_msg void OnDestroy() {
    DWORD code = 0;
    if (job != nullptr && GetExitCodeThread(job, &code) && code == static_cast<DWORD>(STILL_ACTIVE)) {
      stop = true;
      waitedInDestroy = WaitForSingleObject(job, INFINITE) == WAIT_OBJECT_0;
    }
    CDialog::OnDestroy();
  }
  DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(Page, CDialog)
  ON_WM_DESTROY()
END_MESSAGE_MAP()

TEST_F(ThreadsTest, ControlCallsOfAWorkerRunOnTheOwningThread) {
  Page page;
  ASSERT_TRUE(page.Create(kHostTemplate));
  page.list.InsertColumn(0, "Java modules", LVCFMT_LEFT, 200);
  ui::startMessageLog();
  HANDLE job = startJob([&] {
    page.push.EnableWindow(FALSE);
    page.caption.SetWindowText("Processed 1 of 2 modules");
    page.progress.SetRange(0, 100);
    for (int i = 1; i <= 100; ++i) {
      page.list.InsertItem(page.list.GetItemCount(), ("module" + std::to_string(i)).c_str());
      page.progress.SetPos(i);
    }
    page.progress.InvalidateRect(nullptr);
    return 0;
  });
  ASSERT_NE(job, nullptr);
  ASSERT_EQ(WaitForSingleObject(job, 20000), WAIT_OBJECT_0);
  CloseHandle(job);

  EXPECT_FALSE(ui::windowState(page.push).enabled);
  EXPECT_EQ(ui::windowState(page.caption).text, "Processed 1 of 2 modules");
  EXPECT_EQ(page.list.GetItemCount(), 100);
  EXPECT_EQ(std::string(page.list.GetItemText(99, 0)), "module100");
  EXPECT_EQ(ui::progressState(page.progress).position, 100);
  int calls = 0;
  for (const ui::LoggedMessage& m : ui::messageLog()) {
    if (m.message == LVM_INSERTITEM || m.message == PBM_SETPOS || m.message == WM_SETTEXT || m.message == WM_ENABLE) {
      ++calls;
      EXPECT_EQ(m.threadId, GetCurrentThreadId());
    }
  }
  EXPECT_EQ(calls, 202);
}

TEST_F(ThreadsTest, PostedMessagesWaitForThePumpAndKeepTheirOrder) {
  Receiver receiver;
  ASSERT_TRUE(receiver.make());
  HANDLE job = startJob([&] {
    for (int i = 0; i < 50; ++i) ::PostMessage(receiver.m_hWnd, WM_USER + 2, static_cast<WPARAM>(i), 0);
    return 0;
  });
  ASSERT_EQ(WaitForSingleObject(job, 10000), WAIT_OBJECT_0);
  CloseHandle(job);
  EXPECT_TRUE(receiver.posted.empty()) << "a wait runs sent calls only";
  ui::pumpMessages();
  ASSERT_EQ(receiver.posted.size(), 50u);
  for (int i = 0; i < 50; ++i) EXPECT_EQ(receiver.posted[static_cast<size_t>(i)], i);
  receiver.DestroyWindow();
  EXPECT_FALSE(::PostMessage(receiver.m_hWnd, WM_USER + 2, 0, 0));
}

TEST_F(ThreadsTest, TwoThreadsSendingToEachOtherDoNotDeadlock) {
  Receiver receiver;
  ASSERT_TRUE(receiver.make());
  std::atomic<LRESULT> answer{0};
  std::atomic<DWORD> servedOn{0};
  std::atomic<DWORD> workerId{0};
  HANDLE job = startJob([&] {
    workerId = GetCurrentThreadId();
    Receiver own;  // a window of the worker
    own.make("worker's");
    // The receiver's handler asks the worker's window while the worker waits for the answer.
    answer = ::SendMessage(receiver.m_hWnd, WM_USER + 3, 0, reinterpret_cast<LPARAM>(own.m_hWnd));
    servedOn = own.handledOn;
    own.DestroyWindow();
    return 0;
  });
  ASSERT_EQ(WaitForSingleObject(job, 10000), WAIT_OBJECT_0);
  CloseHandle(job);
  EXPECT_EQ(answer.load(), 51);
  EXPECT_EQ(servedOn.load(), workerId.load());
  receiver.DestroyWindow();
}

TEST_F(ThreadsTest, DestroyingAPageStopsAndWaitsForItsJob) {
  auto* page = new Page;
  ASSERT_TRUE(page->Create(kHostTemplate));
  std::atomic<int> rounds{0};
  page->job = startJob([page, &rounds] {
    // The job drives the page's controls until told to stop.
    while (!page->stop) {
      page->progress.SetPos(++rounds % 100);
      Sleep(1);
    }
    page->caption.SetWindowText("stopped");  // its last step reaches the waiting thread
    return 3;
  });
  ASSERT_TRUE(ui::pumpUntil([&] { return rounds > 5; }));
  page->DestroyWindow();
  EXPECT_TRUE(page->waitedInDestroy);
  DWORD code = 0;
  GetExitCodeThread(page->job, &code);
  EXPECT_EQ(code, 3u);
  CloseHandle(page->job);
  EXPECT_EQ(page->m_hWnd, nullptr);
  delete page;
}

class LoopThread : public CWinThread {
  DECLARE_DYNCREATE(LoopThread)
 public:
  static std::atomic<HWND> window;
  BOOL InitInstance() override {
    m_bAutoDelete = FALSE;
    m_window.make("loop");
    window = m_window.m_hWnd;
    return TRUE;
  }
  int ExitInstance() override {
    m_window.DestroyWindow();
    return 9;
  }

 private:
  Receiver m_window;
};
IMPLEMENT_DYNCREATE(LoopThread, CWinThread)
std::atomic<HWND> LoopThread::window{nullptr};

TEST_F(ThreadsTest, ThreadMessageLoopRunsUntilQuit) {
  LoopThread::window = nullptr;
  CWinThread* thread = AfxBeginThread(RUNTIME_CLASS(LoopThread));
  ASSERT_NE(thread, nullptr);
  ASSERT_TRUE(ui::pumpUntil([] { return LoopThread::window.load() != nullptr; }));
  HWND window = LoopThread::window;
  EXPECT_EQ(::SendMessage(window, WM_USER + 1, 4, 0), 8) << "a call served by the thread's own loop";
  EXPECT_EQ(ui::windowState(window).threadId, thread->m_nThreadID);
  ::PostMessage(window, WM_USER + 4, 1, 0);
  ASSERT_EQ(WaitForSingleObject(thread->m_hThread, 10000), WAIT_OBJECT_0);
  DWORD code = 0;
  GetExitCodeThread(thread->m_hThread, &code);
  EXPECT_EQ(code, 9u);
  EXPECT_FALSE(IsWindow(window));
  delete thread;  // not deleted by itself: m_bAutoDelete was cleared
}

TEST_F(ThreadsTest, WaitsAndHandlesReportTheirFailures) {
  HANDLE job = startJob([] { return 1; }, true);
  ASSERT_NE(job, nullptr);
  EXPECT_EQ(WaitForSingleObject(job, 30), WAIT_TIMEOUT) << "still suspended";
  EXPECT_EQ(ResumeThread(job), 1u);
  EXPECT_EQ(WaitForSingleObject(job, 10000), WAIT_OBJECT_0);
  EXPECT_EQ(ResumeThread(job), 0u);
  CloseHandle(job);
  EXPECT_EQ(WaitForSingleObject(job, 0), WAIT_FAILED);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));

  Receiver receiver;
  ASSERT_TRUE(receiver.make());
  HWND gone = receiver.m_hWnd;
  receiver.DestroyWindow();
  SetLastError(0);
  EXPECT_EQ(::SendMessage(gone, WM_USER + 1, 1, 0), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
  EXPECT_FALSE(ui::pumpUntil([] { return false; }, 20));
}

}  // namespace
