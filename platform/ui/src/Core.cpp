// Handles, thread queues, cross-thread calls, pumping, waits and threads.
#include "Internal.h"

#include <atomic>
#include <system_error>
#include <thread>
#include <unordered_map>

namespace ui {
namespace detail {

uintptr_t newHandleValue() {
  // Aligned, far from 0 and from the reserved values near the top of the address range.
  static std::atomic<uintptr_t> next{1};
  return 0x100000u + (next.fetch_add(1) << 4);
}

namespace {

void completeCall(SentCall& call, LRESULT result) {
  std::shared_ptr<ThreadQueue> sender = call.sender;
  std::lock_guard<std::mutex> lock(sender->mutex);
  call.result = result;
  call.done = true;
  sender->signalLocked();
}

// Runs a call sent to this thread; the sender is released even if the call throws.
void runCall(const std::shared_ptr<SentCall>& call) {
  struct Release {
    SentCall& call;
    LRESULT result = 0;
    ~Release() { completeCall(call, result); }
  } release{*call};
  release.result = call->fn();
}

struct QueueHolder {
  std::shared_ptr<ThreadQueue> queue;
  ~QueueHolder() {
    if (!queue) return;
    std::deque<std::shared_ptr<SentCall>> orphans;
    {
      std::lock_guard<std::mutex> lock(queue->mutex);
      queue->dead = true;
      orphans.swap(queue->sent);
      queue->posted.clear();
    }
    for (auto& call : orphans) completeCall(*call, 0);
  }
};

thread_local QueueHolder tQueue;

}  // namespace

std::shared_ptr<ThreadQueue> currentQueue() {
  if (!tQueue.queue) {
    tQueue.queue = std::make_shared<ThreadQueue>();
    tQueue.queue->threadId = GetCurrentThreadId();
  }
  return tQueue.queue;
}

uint64_t eventCount(ThreadQueue& queue) {
  std::lock_guard<std::mutex> lock(queue.mutex);
  return queue.events;
}

LRESULT runOnThread(const std::shared_ptr<ThreadQueue>& target, const std::function<LRESULT()>& fn) {
  std::shared_ptr<ThreadQueue> me = currentQueue();
  if (target == me) return fn();
  auto call = std::make_shared<SentCall>();
  call->fn = fn;
  call->sender = me;
  {
    std::lock_guard<std::mutex> lock(target->mutex);
    if (target->dead) return 0;
    target->sent.push_back(call);
    target->signalLocked();
  }
  std::unique_lock<std::mutex> lock(me->mutex);
  while (!call->done) {
    if (!me->sent.empty()) {
      // Serve whoever sends to us meanwhile (possibly the thread we wait for).
      std::shared_ptr<SentCall> incoming = me->sent.front();
      me->sent.pop_front();
      lock.unlock();
      runCall(incoming);
      lock.lock();
      continue;
    }
    me->cv.wait(lock);
  }
  return call->result;
}

bool runSentCalls(ThreadQueue& queue) {
  bool ran = false;
  for (;;) {
    std::shared_ptr<SentCall> call;
    {
      std::lock_guard<std::mutex> lock(queue.mutex);
      if (queue.sent.empty()) return ran;
      call = queue.sent.front();
      queue.sent.pop_front();
    }
    runCall(call);
    ran = true;
  }
}

bool paintNextPending(ThreadQueue& queue) {
  while (!queue.paintPending.empty()) {
    HWND hwnd = queue.paintPending.front();
    queue.paintPending.erase(queue.paintPending.begin());
    std::shared_ptr<Window> w = findWindow(hwnd);
    if (!w || !w->hasInvalid || !isVisibleChain(*w)) continue;
    dispatch(hwnd, WM_PAINT, 0, 0);
    // A handler that neither painted nor passed the message on is not asked again.
    w->hasInvalid = false;
    return true;
  }
  return false;
}

bool pumpOne(ThreadQueue& queue) {
  std::shared_ptr<SentCall> call;
  PostedMessage posted{};
  bool havePosted = false;
  {
    std::lock_guard<std::mutex> lock(queue.mutex);
    if (!queue.sent.empty()) {
      call = queue.sent.front();
      queue.sent.pop_front();
    } else if (!queue.posted.empty()) {
      posted = queue.posted.front();
      queue.posted.pop_front();
      havePosted = true;
    }
  }
  if (call) {
    runCall(call);
    return true;
  }
  if (havePosted) {
    if (posted.task) {
      posted.task();
    } else if (findWindow(posted.window)) {
      dispatch(posted.window, posted.message, posted.wParam, posted.lParam);
    }
    return true;
  }
  if (paintNextPending(queue)) return true;
  idleWork(queue);
  return false;
}

bool postTask(const std::shared_ptr<ThreadQueue>& target, std::function<void()> task) {
  std::lock_guard<std::mutex> lock(target->mutex);
  if (target->dead) return false;
  target->posted.push_back(PostedMessage{nullptr, 0, 0, 0, std::move(task)});
  target->signalLocked();
  return true;
}

void waitForEvents(ThreadQueue& queue, uint64_t seen, std::chrono::steady_clock::time_point deadline) {
  // A picture owed to the display is made when its time comes, even if nothing arrives.
  if (queue.presentDue != std::chrono::steady_clock::time_point{} && queue.presentDue < deadline) {
    deadline = queue.presentDue;
  }
  std::unique_lock<std::mutex> lock(queue.mutex);
  queue.cv.wait_until(lock, deadline, [&] { return queue.events != seen || !queue.sent.empty(); });
}

// --- Thread objects ------------------------------------------------------------------------
namespace {

struct ThreadObject {
  std::mutex mutex;
  std::condition_variable cv;
  int suspendCount = 0;
  bool started = false;
  bool ended = false;
  DWORD exitCode = STILL_ACTIVE;
  DWORD threadId = 0;
  std::vector<std::weak_ptr<ThreadQueue>> waiters;

  void finish(DWORD code) {
    std::vector<std::weak_ptr<ThreadQueue>> toWake;
    {
      std::lock_guard<std::mutex> lock(mutex);
      ended = true;
      exitCode = code;
      toWake.swap(waiters);
      cv.notify_all();
    }
    for (auto& weak : toWake) {
      if (auto queue = weak.lock()) queue->signal();
    }
  }
};

struct ThreadTable {
  std::mutex mutex;
  std::unordered_map<uintptr_t, std::shared_ptr<ThreadObject>> threads;
};
ThreadTable& threadTable() {
  static ThreadTable* instance = new ThreadTable;  // never destroyed
  return *instance;
}

HANDLE registerThread(const std::shared_ptr<ThreadObject>& thread) {
  uintptr_t value = newHandleValue();
  std::lock_guard<std::mutex> lock(threadTable().mutex);
  threadTable().threads[value] = thread;
  return makeHandle<HANDLE>(value);
}

std::shared_ptr<ThreadObject> findThread(HANDLE handle) {
  std::lock_guard<std::mutex> lock(threadTable().mutex);
  auto it = threadTable().threads.find(handleValue(handle));
  return it == threadTable().threads.end() ? nullptr : it->second;
}

CWinApp* gApp = nullptr;

}  // namespace
}  // namespace detail

void pumpMessages() {
  auto queue = detail::currentQueue();
  while (detail::pumpOne(*queue)) {
  }
}

bool pumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
  auto queue = detail::currentQueue();
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    if (done()) return true;
    uint64_t seen = detail::eventCount(*queue);
    if (detail::pumpOne(*queue)) continue;
    auto now = std::chrono::steady_clock::now();
    if (now >= deadline) return done();
    // The condition may depend on other threads without any message: look again soon.
    detail::waitForEvents(*queue, seen, std::min(deadline, now + std::chrono::milliseconds(5)));
  }
}

}  // namespace ui

using namespace ui;
using namespace ui::detail;

BOOL PostMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  std::shared_ptr<Window> w = findWindow(window);
  if (!w) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  std::lock_guard<std::mutex> lock(w->queue->mutex);
  if (w->queue->dead) return FALSE;
  w->queue->posted.push_back(PostedMessage{window, message, wParam, lParam, nullptr});
  w->queue->signalLocked();
  return TRUE;
}

LRESULT SendMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  std::shared_ptr<Window> w = findWindow(window);
  if (!w) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  return runOnThread(w->queue, [&]() -> LRESULT {
    if (!findWindow(window)) return 0;
    return dispatch(window, message, wParam, lParam);
  });
}

void PostQuitMessage(int exitCode) {
  auto queue = currentQueue();
  std::lock_guard<std::mutex> lock(queue->mutex);
  queue->quit = true;
  queue->quitCode = exitCode;
  queue->signalLocked();
}

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
  std::shared_ptr<ThreadObject> thread = findThread(handle);
  if (!thread) {
    SetLastError(ERROR_INVALID_HANDLE);
    return WAIT_FAILED;
  }
  std::shared_ptr<ThreadQueue> me = currentQueue();
  {
    std::lock_guard<std::mutex> lock(thread->mutex);
    if (thread->ended) return WAIT_OBJECT_0;
    thread->waiters.push_back(me);
  }
  auto start = std::chrono::steady_clock::now();
  auto deadline = milliseconds == INFINITE ? std::chrono::steady_clock::time_point::max()
                                           : start + std::chrono::milliseconds(milliseconds);
  for (;;) {
    {
      std::lock_guard<std::mutex> lock(thread->mutex);
      if (thread->ended) return WAIT_OBJECT_0;
    }
    uint64_t seen = eventCount(*me);
    // Calls the worker sends us run now: a worker blocked on this thread must not deadlock.
    if (runSentCalls(*me)) continue;
    auto now = std::chrono::steady_clock::now();
    if (now >= deadline) return WAIT_TIMEOUT;
    waitForEvents(*me, seen, std::min(deadline, now + std::chrono::seconds(1)));
  }
}

BOOL GetExitCodeThread(HANDLE handle, LPDWORD exitCode) {
  std::shared_ptr<ThreadObject> thread = findThread(handle);
  if (!thread || exitCode == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  std::lock_guard<std::mutex> lock(thread->mutex);
  *exitCode = thread->ended ? thread->exitCode : static_cast<DWORD>(STILL_ACTIVE);
  return TRUE;
}

DWORD ResumeThread(HANDLE handle) {
  std::shared_ptr<ThreadObject> thread = findThread(handle);
  if (!thread) {
    SetLastError(ERROR_INVALID_HANDLE);
    return static_cast<DWORD>(-1);
  }
  std::lock_guard<std::mutex> lock(thread->mutex);
  DWORD previous = static_cast<DWORD>(thread->suspendCount);
  if (thread->suspendCount > 0 && --thread->suspendCount == 0) thread->cv.notify_all();
  return previous;
}

BOOL SetThreadPriority(HANDLE handle, int) { return findThread(handle) ? TRUE : FALSE; }

BOOL CloseHandle(HANDLE handle) {
  std::lock_guard<std::mutex> lock(threadTable().mutex);
  if (threadTable().threads.erase(handleValue(handle)) == 0) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return TRUE;
}

HANDLE GetCurrentProcess() { return reinterpret_cast<HANDLE>(static_cast<intptr_t>(-1)); }

BOOL DuplicateHandle(HANDLE, HANDLE source, HANDLE, HANDLE* target, DWORD, BOOL, DWORD) {
  std::shared_ptr<ThreadObject> thread = findThread(source);
  if (!thread || target == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  *target = registerThread(thread);
  return TRUE;
}

// --- CWinThread and CWinApp ---------------------------------------------------------------------
IMPLEMENT_DYNAMIC(CWinThread, CCmdTarget)
IMPLEMENT_DYNAMIC(CWinApp, CWinThread)

namespace {

// Threads of CWinThread objects that have not ended.
std::atomic<int>& threadsAtWork() {
  static std::atomic<int> count{0};
  return count;
}

}  // namespace

int ui::runningThreads() { return threadsAtWork().load(); }

CWinThread::CWinThread() = default;

CWinThread::~CWinThread() {
  if (m_hThread != nullptr) CloseHandle(m_hThread);
}

BOOL CWinThread::CreateThread(DWORD createFlags, UINT, LPSECURITY_ATTRIBUTES) {
  if (m_hThread != nullptr) return FALSE;
  auto thread = std::make_shared<ThreadObject>();
  // Held back until this object knows its handle and id; CREATE_SUSPENDED adds one more.
  thread->suspendCount = (createFlags & CREATE_SUSPENDED) != 0 ? 2 : 1;
  HANDLE handle = registerThread(thread);
  CWinThread* self = this;
  ++threadsAtWork();
  try {
    std::thread([thread, self] {
      std::shared_ptr<ThreadQueue> queue = currentQueue();
      {
        std::unique_lock<std::mutex> lock(thread->mutex);
        thread->threadId = GetCurrentThreadId();
        thread->started = true;
        thread->cv.notify_all();
        thread->cv.wait(lock, [&] { return thread->suspendCount == 0; });
      }
      queue->thread = self;
      int result;
      if (!self->InitInstance()) {
        result = self->ExitInstance();
      } else {
        result = self->Run();
      }
      self->Delete();
      queue->thread = nullptr;
      thread->finish(static_cast<DWORD>(result));
      --threadsAtWork();
    }).detach();
  } catch (const std::system_error&) {
    --threadsAtWork();
    CloseHandle(handle);
    return FALSE;
  }
  {
    std::unique_lock<std::mutex> lock(thread->mutex);
    thread->cv.wait(lock, [&] { return thread->started; });
    m_nThreadID = thread->threadId;
  }
  m_hThread = handle;
  ::ResumeThread(handle);
  return TRUE;
}

DWORD CWinThread::ResumeThread() { return ::ResumeThread(m_hThread); }

BOOL CWinThread::SetThreadPriority(int priority) { return ::SetThreadPriority(m_hThread, priority); }

BOOL CWinThread::InitInstance() { return FALSE; }

int CWinThread::ExitInstance() { return 0; }

int CWinThread::Run() {
  std::shared_ptr<ThreadQueue> queue = currentQueue();
  for (;;) {
    {
      std::lock_guard<std::mutex> lock(queue->mutex);
      if (queue->quit) break;
    }
    uint64_t seen = eventCount(*queue);
    if (pumpOne(*queue)) continue;
    waitForEvents(*queue, seen, std::chrono::steady_clock::now() + std::chrono::seconds(1));
  }
  return ExitInstance();
}

void CWinThread::Delete() {
  if (m_bAutoDelete) delete this;
}

CWinThread* AfxBeginThread(CRuntimeClass* threadClass, int priority, UINT stackSize, DWORD createFlags,
                           LPSECURITY_ATTRIBUTES security) {
  if (threadClass == nullptr) return nullptr;
  CObject* object = threadClass->CreateObject();
  CWinThread* thread = dynamic_cast<CWinThread*>(object);
  if (thread == nullptr) {
    delete object;
    return nullptr;
  }
  if (!thread->CreateThread(createFlags | CREATE_SUSPENDED, stackSize, security)) {
    thread->Delete();
    return nullptr;
  }
  thread->SetThreadPriority(priority);
  if ((createFlags & CREATE_SUSPENDED) == 0) thread->ResumeThread();
  return thread;
}

CWinThread* AfxGetThread() {
  CWinThread* thread = currentQueue()->thread;
  return thread != nullptr ? thread : gApp;
}

CWinApp::CWinApp(LPCTSTR appName) {
  m_pszAppName = appName != nullptr ? appName : "";
  m_hInstance = AfxGetInstanceHandle();
  m_bAutoDelete = FALSE;
  gApp = this;
}

CWinApp::~CWinApp() {
  if (gApp == this) gApp = nullptr;
}

BOOL CWinApp::InitInstance() { return TRUE; }

int CWinApp::ExitInstance() { return 0; }

HICON CWinApp::LoadStandardIcon(LPCTSTR name) const { return ::LoadIcon(nullptr, name); }

CWinApp* AfxGetApp() { return gApp; }

CWnd* AfxGetMainWnd() {
  CWinThread* thread = AfxGetThread();
  return thread != nullptr ? thread->GetMainWnd() : nullptr;
}

HINSTANCE AfxGetInstanceHandle() {
  static int module;
  return reinterpret_cast<HINSTANCE>(&module);
}

HINSTANCE AfxGetResourceHandle() { return AfxGetInstanceHandle(); }

LPCTSTR AfxGetAppName() { return gApp != nullptr ? gApp->m_pszAppName : ""; }

// --- Module state ----------------------------------------------------------------------------
namespace {
AFX_MODULE_STATE gAppModuleState{"application"};
AFX_MODULE_STATE gStaticModuleState{"module"};
}  // namespace

AFX_MODULE_STATE* AfxGetStaticModuleState() { return &gStaticModuleState; }

AFX_MODULE_STATE* AfxGetAppModuleState() { return &gAppModuleState; }

AFX_MODULE_STATE* AfxGetModuleState() {
  AFX_MODULE_STATE* state = currentQueue()->moduleState;
  return state != nullptr ? state : &gAppModuleState;
}

AFX_MAINTAIN_STATE2::AFX_MAINTAIN_STATE2(AFX_MODULE_STATE* state) : m_previous(currentQueue()->moduleState) {
  currentQueue()->moduleState = state;
}

AFX_MAINTAIN_STATE2::~AFX_MAINTAIN_STATE2() { currentQueue()->moduleState = m_previous; }
