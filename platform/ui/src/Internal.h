// The model behind the user-interface stand-in: handles, thread queues, windows, drawing
// surfaces. A window's state is only touched on the thread that owns it; other threads reach
// it through runOnThread.
#pragma once

#include "Mfc.h"
#include "UiDriver.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace ui {
namespace detail {

// --- Handles ---------------------------------------------------------------------------------
// Every handle of the model (windows, GDI objects, image lists, tree items, threads) is a
// number never used twice, so a stale handle is recognised instead of reaching freed memory.
uintptr_t newHandleValue();
template <class T>
T makeHandle(uintptr_t value) {
  return reinterpret_cast<T>(value);
}
template <class T>
uintptr_t handleValue(T handle) {
  return reinterpret_cast<uintptr_t>(handle);
}

// --- Thread queues ----------------------------------------------------------------------------
struct ThreadQueue;

struct SentCall {
  std::function<LRESULT()> fn;
  LRESULT result = 0;
  bool done = false;  // guarded by the sender's mutex
  std::shared_ptr<ThreadQueue> sender;
};

struct PostedMessage {
  HWND window;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  std::function<void()> task;  // input from a display: run in place of a message
};

struct CurrentMessage {
  HWND window;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
};

struct InputState;
struct PresentState;

struct ThreadQueue {
  std::mutex mutex;
  std::condition_variable cv;
  std::deque<std::shared_ptr<SentCall>> sent;
  std::deque<PostedMessage> posted;
  uint64_t events = 0;  // raised on every arrival, completion and wake-up
  bool dead = false;
  bool quit = false;
  int quitCode = 0;
  DWORD threadId = 0;

  // Only the queue's own thread touches these.
  std::vector<HWND> paintPending;
  HWND focus = nullptr;
  HWND active = nullptr;
  POINT messagePos{0, 0};
  std::vector<CurrentMessage> current;
  AFX_MODULE_STATE* moduleState = nullptr;
  CWinThread* thread = nullptr;
  uint64_t changes = 0;                   // raised by every message and invalidation: the pictures may differ
  bool snapshotPending = false;           // a page or dialog was shown: pictures are taken once it painted
  std::shared_ptr<InputState> input;      // mouse capture, clicks and dropped lists of the display
  std::shared_ptr<PresentState> present;  // what the display shows of this thread's windows
  std::chrono::steady_clock::time_point presentDue{};  // a later picture is owed by then (0: none)

  void signalLocked() {
    ++events;
    cv.notify_all();
  }
  void signal() {
    std::lock_guard<std::mutex> lock(mutex);
    signalLocked();
  }
};

std::shared_ptr<ThreadQueue> currentQueue();
// Sends WM_PAINT to the next window of the queue that waits to be painted; false when none waits.
bool paintNextPending(ThreadQueue& queue);
// Runs `fn` on the thread that owns `target`, waiting for it; runs it directly on that thread.
// A dead target thread gives 0.
LRESULT runOnThread(const std::shared_ptr<ThreadQueue>& target, const std::function<LRESULT()>& fn);
// Runs the calls sent to this thread; true when it ran any.
bool runSentCalls(ThreadQueue& queue);
// Runs one pending item: a sent call, else a posted message, else a paint. False when idle.
bool pumpOne(ThreadQueue& queue);
// Queues a task to run in the thread's message loop, as input is; false when the thread is gone.
bool postTask(const std::shared_ptr<ThreadQueue>& target, std::function<void()> task);
// Work of a thread with nothing else to do: pictures owed to the snapshot folder and the display.
void idleWork(ThreadQueue& queue);
// A page or a dialog was shown: its picture goes to the snapshot folder once it has painted.
void requestSnapshot(ThreadQueue& queue);
// Takes a picture still owed now, before the windows change.
void settleSnapshot(ThreadQueue& queue);
// Waits until something arrives or the deadline passes.
void waitForEvents(ThreadQueue& queue, uint64_t seen, std::chrono::steady_clock::time_point deadline);
uint64_t eventCount(ThreadQueue& queue);

// --- Drawing surfaces and GDI objects --------------------------------------------------------
struct Surface {
  int width = 0;
  int height = 0;
  std::vector<COLORREF> pixels;  // CLR_INVALID where nothing was painted
  std::vector<TextRun> texts;
  void resize(int w, int h);
};

LOGFONT defaultFont();  // the system font
struct Window;
LOGFONT windowFont(const Window& w);  // the font a control draws its text with
TEXTMETRIC metricsOf(const LOGFONT& font);
// Where TextOut puts a text at `anchor` with alignment `align`: its cell.
RECT textCell(const LOGFONT& font, const std::string& text, POINT anchor, UINT align);
bool fontOf(HFONT font, LOGFONT& out);
COLORREF brushColor(HBRUSH brush, bool& isNull);
HFONT createDialogFont(const std::string& face, int pointSize);
// A DC that draws on a window's surface; `clip` in client coordinates (null: the client area).
HDC createWindowDC(HWND window, const std::shared_ptr<Surface>& surface, const RECT* clip);
bool gdiAlive(HGDIOBJ object);
std::shared_ptr<Surface> loadBitmapSurface(UINT id, int& bitsPerPixel);
// The library-owned wrapper object of a handle, made on first use and deleted with the object.
CGdiObject* gdiWrapper(HGDIOBJ object, const std::function<CGdiObject*()>& make);
CImageList* imageListWrapper(HIMAGELIST list);
// Records (or, with both null, forgets) the program's own object that holds a handle, which
// FromHandle then returns, as MFC's handle map does.
void gdiAttach(HGDIOBJ handle, CGdiObject* object, CImageList* list);
HIMAGELIST createStateImageList();  // the check-box images of lists and trees

// --- Windows ------------------------------------------------------------------------------------
enum class WindowKind { Plain, Dialog, Button, Edit, Static, ComboBox, ListView, TreeView, Progress, Tab, Browser };

struct ControlData {
  virtual ~ControlData() = default;
};

struct Window {
  HWND hwnd = nullptr;
  std::string className;
  WindowKind kind = WindowKind::Plain;
  std::shared_ptr<ThreadQueue> queue;
  HWND parent = nullptr;
  HWND owner = nullptr;
  std::vector<HWND> children;
  DWORD style = 0;
  DWORD exStyle = 0;
  int id = 0;
  std::string text;
  RECT rect{};
  HFONT font = nullptr;
  CWnd* cwnd = nullptr;
  std::unique_ptr<CWnd> wrapper;
  bool hasInvalid = false;
  bool selfPainted = false;  // its last WM_PAINT was its own (drawn on `surface`), not the class's
  RECT invalid{};
  bool eraseNeeded = false;
  std::shared_ptr<Surface> surface;
  COLORREF background = CLR_INVALID;  // of the window class; CLR_INVALID: none
  bool destroying = false;
  // Dialogs
  UINT templateId = 0;
  bool dialogEnded = false;
  INT_PTR dialogResult = 0;
  HFONT ownedFont = nullptr;
  std::unique_ptr<ControlData> data;

  bool child = false;  // made as a child window; fixed for the window's life

  int width() const { return rect.right - rect.left; }
  int height() const { return rect.bottom - rect.top; }
  bool isChild() const { return child; }
};

std::shared_ptr<Window> findWindow(HWND window);
std::vector<std::shared_ptr<Window>> allWindows();
// Runs `fn` with the window on its own thread. A missing window gives `missing` and
// ERROR_INVALID_WINDOW_HANDLE.
LRESULT withWindow(HWND window, LRESULT missing, const std::function<LRESULT(Window&)>& fn);

// Sends the message on the calling thread, which must own the window.
LRESULT dispatch(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT classProc(Window& window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT defaultProc(Window& window, UINT message, WPARAM wParam, LPARAM lParam);

// Sends WM_NOTIFY to the parent with hwndFrom and idFrom filled in; 0 without a parent.
LRESULT notifyParent(Window& window, NMHDR& header);
void commandParent(Window& window, UINT code);

bool isVisibleChain(const Window& window);
bool acceptsInput(HWND window);  // exists, visible and enabled up to its top-level window
void invalidate(Window& window, const RECT* rect, bool erase);
void setMessagePos(Window& window, POINT client);
void setWindowSize(Window& window, const RECT& rect, bool repaint);
// Puts a top-level window, frame included, in the middle of its owner (or of the screen), wholly
// on the screen where it fits.
void centreWindow(Window& window);
// The size of the screen: the live display's, else that of the screen a person would have.
SIZE screenSize();
std::string className(const char* name);  // registered name of a window class or ""

// Class procedures and control data.
std::unique_ptr<ControlData> makeControlData(WindowKind kind);
LRESULT buttonProc(Window& w, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT editProc(Window& w, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT staticProc(Window& w, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT comboProc(Window& w, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT listProc(Window& w, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT treeProc(Window& w, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT progressProc(Window& w, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT tabProc(Window& w, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT dialogProc(Window& w, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT browserProc(Window& w, UINT message, WPARAM wParam, LPARAM lParam);

// User actions, on the owner thread, the window accepting input.
bool buttonClick(Window& w);
bool listClick(Window& w, int item, ListPart part, bool doubleClick);
bool listChecked(Window& w, int item);
bool treeClick(Window& w, HTREEITEM item, TreePart part);
bool editType(Window& w, const std::string& text);
bool comboChoose(Window& w, int index);
int comboFind(Window& w, const std::string& text);
bool tabClick(Window& w, int index);

// Read access for the driver (owner thread).
ListState listStateOf(Window& w);
TreeState treeStateOf(Window& w);
ComboState comboStateOf(Window& w);
ProgressState progressStateOf(Window& w);
TabState tabStateOf(Window& w);
int buttonCheckOf(Window& w);

// Creation with a CWnd attached from the start (CWnd::CreateEx); the folder browser's window.
HWND createAttachedWindow(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y, int width,
                          int height, HWND parent, HMENU menuOrId, LPVOID param, CWnd* attach);
HWND createBrowserWindow(HWND owner, const char* title);

// Dialogs
HWND createDialog(UINT templateId, HWND parent, CDialog* dialog, bool modal);
const DialogTemplate* findDialogTemplate(UINT id);
const std::string* findString(UINT id);
struct BitmapResource {
  int width, height, bitsPerPixel;
  std::shared_ptr<const std::vector<COLORREF>> pixels;  // null: a plain grey bitmap
};
bool findBitmap(UINT id, BitmapResource& out);

// Driver hooks
struct ModalScript {
  UINT templateId;
  std::function<void(CDialog&)> script;
};
bool takeModalScript(UINT templateId, ModalScript& out);
int defaultModalCommand();
DWORD modalIdleLimit();
void recordModal(const ModalRecord& record);
void logMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
int showMessageBox(HWND owner, const char* text, const char* caption, UINT type);
bool takeMessageBoxScript(std::function<int(const MessageBoxRecord&)>& out);
void recordMessageBox(const MessageBoxRecord& record);
bool takeFileDialogScript(std::function<FileDialogAnswer(const FileDialogRecord&)>& out);
void recordFileDialog(const FileDialogRecord& record);
bool takeFolderBrowserScript(std::function<void(FolderBrowser&)>& out);
void recordFolderBrowser(const FolderBrowserRecord& record);
void noteWaitCursor();

// CWnd internals reached by the dispatcher.
struct WndAccess {
  static LRESULT windowProc(CWnd* w, UINT message, WPARAM wParam, LPARAM lParam);
  static void postNcDestroy(CWnd* w);
  static void setTemporary(CWnd* w);
};

}  // namespace detail
}  // namespace ui
