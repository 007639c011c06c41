// The driver: scripts and records, the message log, user actions and inspection.
#include "Internal.h"

#include <deque>

namespace ui {
namespace detail {

namespace {

struct DriverState {
  std::mutex mutex;
  std::deque<ModalScript> modals;
  int defaultCommand = IDCANCEL;
  DWORD idleLimit = 60000;
  std::deque<std::function<int(const MessageBoxRecord&)>> boxes;
  std::deque<std::function<FileDialogAnswer(const FileDialogRecord&)>> files;
  std::deque<std::function<void(FolderBrowser&)>> folders;

  std::vector<ModalRecord> modalRecords;
  std::vector<MessageBoxRecord> boxRecords;
  std::vector<FileDialogRecord> fileRecords;
  std::vector<FolderBrowserRecord> folderRecords;

  bool logging = false;
  std::vector<LoggedMessage> log;
  int waitCursorShows = 0;
};

DriverState& driver() {
  static DriverState* state = new DriverState;  // outlives every window and thread
  return *state;
}

template <class T>
bool takeFirst(std::deque<T>& queue, T& out) {
  std::lock_guard<std::mutex> lock(driver().mutex);
  if (queue.empty()) return false;
  out = std::move(queue.front());
  queue.pop_front();
  return true;
}

bool isListCode(UINT code) {
  return code == LVN_ITEMCHANGING || code == LVN_ITEMCHANGED || code == LVN_INSERTITEM || code == LVN_DELETEITEM ||
         code == LVN_DELETEALLITEMS;
}

bool isTreeCode(UINT code) {
  return code == TVN_SELCHANGING || code == TVN_SELCHANGED || code == TVN_ITEMEXPANDING || code == TVN_ITEMEXPANDED ||
         code == TVN_DELETEITEM;
}

// Runs a user action on the window's thread, when the window takes input.
bool act(HWND window, WindowKind kind, const std::function<bool(Window&)>& action) {
  std::shared_ptr<Window> w = findWindow(window);
  if (!w) return false;
  return runOnThread(w->queue, [&]() -> LRESULT {
           std::shared_ptr<Window> again = findWindow(window);
           if (!again || again->kind != kind || !acceptsInput(window)) return FALSE;
           return action(*again) ? TRUE : FALSE;
         }) != 0;
}

template <class T>
T inspect(HWND window, WindowKind kind, const std::function<T(Window&)>& read) {
  T result{};
  withWindow(window, 0, [&](Window& w) -> LRESULT {
    if (w.kind == kind) result = read(w);
    return 0;
  });
  return result;
}

}  // namespace

bool takeModalScript(UINT templateId, ModalScript& out) {
  std::lock_guard<std::mutex> lock(driver().mutex);
  std::deque<ModalScript>& modals = driver().modals;
  for (auto it = modals.begin(); it != modals.end(); ++it) {
    if (it->templateId == 0 || it->templateId == templateId) {
      out = std::move(*it);
      modals.erase(it);
      return true;
    }
  }
  return false;
}

int defaultModalCommand() {
  std::lock_guard<std::mutex> lock(driver().mutex);
  return driver().defaultCommand;
}

DWORD modalIdleLimit() {
  std::lock_guard<std::mutex> lock(driver().mutex);
  return driver().idleLimit;
}

void recordModal(const ModalRecord& record) {
  std::lock_guard<std::mutex> lock(driver().mutex);
  driver().modalRecords.push_back(record);
}

bool takeMessageBoxScript(std::function<int(const MessageBoxRecord&)>& out) { return takeFirst(driver().boxes, out); }

void recordMessageBox(const MessageBoxRecord& record) {
  std::lock_guard<std::mutex> lock(driver().mutex);
  driver().boxRecords.push_back(record);
}

bool takeFileDialogScript(std::function<FileDialogAnswer(const FileDialogRecord&)>& out) {
  return takeFirst(driver().files, out);
}

void recordFileDialog(const FileDialogRecord& record) {
  std::lock_guard<std::mutex> lock(driver().mutex);
  driver().fileRecords.push_back(record);
}

bool takeFolderBrowserScript(std::function<void(FolderBrowser&)>& out) { return takeFirst(driver().folders, out); }

void recordFolderBrowser(const FolderBrowserRecord& record) {
  std::lock_guard<std::mutex> lock(driver().mutex);
  driver().folderRecords.push_back(record);
}

void noteWaitCursor() {
  std::lock_guard<std::mutex> lock(driver().mutex);
  ++driver().waitCursorShows;
}

void logMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  {
    std::lock_guard<std::mutex> lock(driver().mutex);
    if (!driver().logging) return;
  }
  LoggedMessage entry;
  entry.window = window;
  entry.message = message;
  entry.wParam = wParam;
  entry.lParam = lParam;
  entry.threadId = GetCurrentThreadId();
  if (message == WM_COMMAND) {
    entry.code = HIWORD(wParam);
    entry.idFrom = LOWORD(wParam);
    entry.from = reinterpret_cast<HWND>(lParam);
  } else if (message == WM_NOTIFY && lParam != 0) {
    const NMHDR* header = reinterpret_cast<const NMHDR*>(lParam);
    entry.code = header->code;
    entry.idFrom = header->idFrom;
    entry.from = header->hwndFrom;
    std::shared_ptr<Window> from = findWindow(header->hwndFrom);
    bool fromList = from && from->kind == WindowKind::ListView;
    if (isListCode(header->code)) {
      const NMLISTVIEW* nm = reinterpret_cast<const NMLISTVIEW*>(lParam);
      entry.item = nm->iItem;
      entry.oldState = nm->uOldState;
      entry.newState = nm->uNewState;
      entry.changed = nm->uChanged;
    } else if (fromList && (header->code == NM_CLICK || header->code == NM_DBLCLK)) {
      entry.item = reinterpret_cast<const NMITEMACTIVATE*>(lParam)->iItem;
    } else if (isTreeCode(header->code)) {
      const NMTREEVIEW* nm = reinterpret_cast<const NMTREEVIEW*>(lParam);
      entry.action = nm->action;
      entry.itemOld = nm->itemOld.hItem;
      entry.itemNew = nm->itemNew.hItem;
    }
  }
  std::lock_guard<std::mutex> lock(driver().mutex);
  if (driver().logging) driver().log.push_back(entry);
}

}  // namespace detail

using namespace detail;

// --- User actions ----------------------------------------------------------------------------
bool clickButton(HWND button) {
  return act(button, WindowKind::Button, [](Window& w) { return buttonClick(w); });
}

bool clickListItem(HWND list, int item, ListPart part) {
  return act(list, WindowKind::ListView, [&](Window& w) { return listClick(w, item, part, false); });
}

bool doubleClickListItem(HWND list, int item) {
  return act(list, WindowKind::ListView, [&](Window& w) { return listClick(w, item, ListPart::Label, true); });
}

bool setListItemChecked(HWND list, int item, bool checked) {
  return act(list, WindowKind::ListView, [&](Window& w) {
    return listChecked(w, item) == checked || listClick(w, item, ListPart::StateIcon, false);
  });
}

bool clickTreeItem(HWND tree, HTREEITEM item, TreePart part) {
  return act(tree, WindowKind::TreeView, [&](Window& w) { return treeClick(w, item, part); });
}

bool typeText(HWND edit, const std::string& text) {
  std::shared_ptr<Window> w = findWindow(edit);
  WindowKind kind = w && w->kind == WindowKind::ComboBox ? WindowKind::ComboBox : WindowKind::Edit;
  return act(edit, kind, [&](Window& target) { return editType(target, text); });
}

bool chooseComboItem(HWND combo, int index) {
  return act(combo, WindowKind::ComboBox, [&](Window& w) { return comboChoose(w, index); });
}

bool chooseComboItem(HWND combo, const std::string& text) {
  return act(combo, WindowKind::ComboBox, [&](Window& w) {
    int index = comboFind(w, text);
    return index >= 0 && comboChoose(w, index);
  });
}

bool clickTab(HWND tab, int index) {
  return act(tab, WindowKind::Tab, [&](Window& w) { return tabClick(w, index); });
}

bool closeWindow(HWND window) {
  std::shared_ptr<Window> w = findWindow(window);
  if (!w) return false;
  return runOnThread(w->queue, [&]() -> LRESULT {
           std::shared_ptr<Window> again = findWindow(window);
           if (!again || again->isChild() || !acceptsInput(window)) return FALSE;
           dispatch(window, WM_SYSCOMMAND, SC_CLOSE, 0);
           return TRUE;
         }) != 0;
}

// --- Scripts and records -----------------------------------------------------------------------
void onModalDialog(std::function<void(CDialog& dialog)> script, UINT templateId) {
  std::lock_guard<std::mutex> lock(driver().mutex);
  driver().modals.push_back(ModalScript{templateId, std::move(script)});
}

void setDefaultModalCommand(int commandId) {
  std::lock_guard<std::mutex> lock(driver().mutex);
  driver().defaultCommand = commandId;
}

void setModalIdleLimit(DWORD milliseconds) {
  std::lock_guard<std::mutex> lock(driver().mutex);
  driver().idleLimit = milliseconds;
}

void onMessageBox(std::function<int(const MessageBoxRecord& box)> answer) {
  std::lock_guard<std::mutex> lock(driver().mutex);
  driver().boxes.push_back(std::move(answer));
}

void answerMessageBox(int answer) {
  onMessageBox([answer](const MessageBoxRecord&) { return answer; });
}

void onFileDialog(std::function<FileDialogAnswer(const FileDialogRecord& dialog)> answer) {
  std::lock_guard<std::mutex> lock(driver().mutex);
  driver().files.push_back(std::move(answer));
}

void answerFileDialog(std::vector<std::string> paths) {
  onFileDialog([paths](const FileDialogRecord&) {
    FileDialogAnswer answer;
    answer.ok = true;
    answer.paths = paths;
    return answer;
  });
}

void cancelFileDialog() {
  onFileDialog([](const FileDialogRecord&) { return FileDialogAnswer{}; });
}

void onFolderBrowser(std::function<void(FolderBrowser& browser)> script) {
  std::lock_guard<std::mutex> lock(driver().mutex);
  driver().folders.push_back(std::move(script));
}

void answerFolderBrowser(const std::string& folder) {
  onFolderBrowser([folder](FolderBrowser& browser) {
    if (browser.select(folder)) browser.ok();
  });
}

void cancelFolderBrowser() {
  onFolderBrowser([](FolderBrowser& browser) { browser.cancel(); });
}

// A copy of one of the driver's record lists, taken under its lock: dialogs on other threads
// keep adding to them.
template <class Record>
static std::vector<Record> copyOf(std::vector<Record> DriverState::*records) {
  std::lock_guard<std::mutex> lock(driver().mutex);
  return driver().*records;
}

std::vector<ModalRecord> modalRecords() { return copyOf(&DriverState::modalRecords); }
std::vector<MessageBoxRecord> messageBoxRecords() { return copyOf(&DriverState::boxRecords); }
std::vector<FileDialogRecord> fileDialogRecords() { return copyOf(&DriverState::fileRecords); }
std::vector<FolderBrowserRecord> folderBrowserRecords() { return copyOf(&DriverState::folderRecords); }

size_t pendingScripts() {
  std::lock_guard<std::mutex> lock(driver().mutex);
  DriverState& d = driver();
  return d.modals.size() + d.boxes.size() + d.files.size() + d.folders.size();
}

void resetDriver() {
  std::lock_guard<std::mutex> lock(driver().mutex);
  DriverState& d = driver();
  d.modals.clear();
  d.boxes.clear();
  d.files.clear();
  d.folders.clear();
  d.defaultCommand = IDCANCEL;
  d.idleLimit = 60000;
  d.modalRecords.clear();
  d.boxRecords.clear();
  d.fileRecords.clear();
  d.folderRecords.clear();
  d.logging = false;
  d.log.clear();
  d.waitCursorShows = 0;
}

// --- Message log -------------------------------------------------------------------------------
void startMessageLog() {
  std::lock_guard<std::mutex> lock(driver().mutex);
  driver().log.clear();
  driver().logging = true;
}

void stopMessageLog() {
  std::lock_guard<std::mutex> lock(driver().mutex);
  driver().logging = false;
}

std::vector<LoggedMessage> messageLog() {
  std::lock_guard<std::mutex> lock(driver().mutex);
  return driver().log;
}

std::vector<LoggedMessage> notificationLog(HWND to) {
  std::vector<LoggedMessage> result;
  for (const LoggedMessage& m : messageLog()) {
    if ((m.message == WM_COMMAND || m.message == WM_NOTIFY) && (to == nullptr || m.window == to)) result.push_back(m);
  }
  return result;
}

// --- Inspection ----------------------------------------------------------------------------------
WindowState windowState(HWND window) {
  WindowState state;
  withWindow(window, 0, [&](Window& w) -> LRESULT {
    state.exists = true;
    state.className = w.className;
    state.text = w.text;
    state.id = w.id;
    state.style = w.style;
    state.exStyle = w.exStyle;
    state.enabled = !(w.style & WS_DISABLED);
    state.visible = isVisibleChain(w);
    state.focused = w.queue->focus == w.hwnd;
    state.rect = w.rect;
    state.parent = w.parent;
    state.owner = w.owner;
    state.font = w.font;
    state.threadId = w.queue->threadId;
    return 0;
  });
  return state;
}

std::vector<HWND> childWindows(HWND parent) {
  std::vector<HWND> children;
  withWindow(parent, 0, [&](Window& w) -> LRESULT {
    children = w.children;
    return 0;
  });
  return children;
}

HWND findChild(HWND root, int id) {
  for (HWND child : childWindows(root)) {
    if (windowState(child).id == (id & 0xffff)) return child;
    if (HWND deeper = findChild(child, id)) return deeper;
  }
  return nullptr;
}

std::vector<HWND> topLevelWindows() {
  std::vector<HWND> result;
  for (const std::shared_ptr<Window>& w : allWindows()) {
    if (w && !w->isChild() && !w->destroying) result.push_back(w->hwnd);
  }
  return result;
}

ListState listState(HWND list) { return inspect<ListState>(list, WindowKind::ListView, listStateOf); }
TreeState treeState(HWND tree) { return inspect<TreeState>(tree, WindowKind::TreeView, treeStateOf); }
ComboState comboState(HWND combo) { return inspect<ComboState>(combo, WindowKind::ComboBox, comboStateOf); }
ProgressState progressState(HWND progress) {
  return inspect<ProgressState>(progress, WindowKind::Progress, progressStateOf);
}
TabState tabState(HWND tab) { return inspect<TabState>(tab, WindowKind::Tab, tabStateOf); }
int buttonCheck(HWND button) { return inspect<int>(button, WindowKind::Button, buttonCheckOf); }

COLORREF pixelAt(HWND window, int x, int y) {
  COLORREF color = CLR_INVALID;
  withWindow(window, 0, [&](Window& w) -> LRESULT {
    if (w.surface && x >= 0 && y >= 0 && x < w.surface->width && y < w.surface->height) {
      color =
          w.surface->pixels[static_cast<size_t>(y) * static_cast<size_t>(w.surface->width) + static_cast<size_t>(x)];
    }
    return 0;
  });
  return color;
}

std::vector<TextRun> textRuns(HWND window) {
  std::vector<TextRun> runs;
  withWindow(window, 0, [&](Window& w) -> LRESULT {
    if (w.surface) runs = w.surface->texts;
    return 0;
  });
  return runs;
}

int waitCursorShows() {
  std::lock_guard<std::mutex> lock(driver().mutex);
  return driver().waitCursorShows;
}

}  // namespace ui
