// The driver of the headless user interface: the message pump, simulated user actions,
// scripted answers to modal dialogs, file dialogs, the folder browser and message boxes, and
// read access to the state of every window and control. Tests and scripted sessions use it; it
// also brings the resources (UiResources.h) and the host's display and pictures (UiHost.h),
// which is all that the program's own code needs.
//
// User actions act as the user would: they fail (return false, change nothing) on a window
// that is missing, hidden or disabled (itself or an ancestor), and they produce the messages
// and notifications Win32 produces, in its order. They run on the window's thread (a call
// from another thread waits for it, as SendMessage does).
#pragma once

#include "CommCtrl.h"
#include "UiHost.h"
#include "UiResources.h"
#include "WinGdi.h"
#include "WinUser.h"

#include <functional>
#include <string>
#include <utility>
#include <vector>

class CDialog;

namespace ui {

// --- Pumping ------------------------------------------------------------------------------
// Runs everything queued for the calling thread (sent calls, posted messages, paints) until
// nothing is left.
void pumpMessages();
// Pumps until `done` holds; false when it did not within the time-out.
bool pumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 10000);

// Threads of CWinThread objects (AfxBeginThread) that have not ended, those created suspended
// included: the worker jobs at work.
int runningThreads();

// --- User actions ---------------------------------------------------------------------------
enum class ListPart { Label, Icon, StateIcon };
enum class TreePart { Label, Icon, StateIcon, Button };

// Push button: BN_CLICKED. Check box: toggles, then BN_CLICKED. Radio button: checks itself,
// unchecks the other radio buttons of its group, then BN_CLICKED.
bool clickButton(HWND button);
// A click on a row selects it (LVN_ITEMCHANGING/LVN_ITEMCHANGED for every row whose state
// changes) and then sends NM_CLICK; a click on the check box (state icon) then toggles the box
// (LVN_ITEMCHANGING/LVN_ITEMCHANGED). The cursor position (GetMessagePos) is the clicked point.
bool clickListItem(HWND list, int item, ListPart part = ListPart::Label);
// A click followed by NM_DBLCLK.
bool doubleClickListItem(HWND list, int item);
// Clicks the row's check box when its state differs from `checked`.
bool setListItemChecked(HWND list, int item, bool checked);
// NM_CLICK first; then the button expands or collapses the item, the state icon toggles its
// check box (no further notification), the label or icon selects it
// (TVN_SELCHANGING/TVN_SELCHANGED, action TVC_BYMOUSE). A nonzero NM_CLICK result stops it.
bool clickTreeItem(HWND tree, HTREEITEM item, TreePart part = TreePart::Label);
// Selects everything in the edit and types the text character by character (EN_UPDATE and
// EN_CHANGE per character; an empty text deletes the selection). A drop-down combo box's edit
// sends CBN_EDITUPDATE and CBN_EDITCHANGE instead.
bool typeText(HWND edit, const std::string& text);
// Opens the list (CBN_DROPDOWN), picks the entry (CBN_SELCHANGE when the selection changes),
// closes the list (CBN_SELENDOK, CBN_CLOSEUP).
bool chooseComboItem(HWND combo, int index);
bool chooseComboItem(HWND combo, const std::string& text);  // exact, case ignored
// TCN_SELCHANGING (a nonzero result keeps the tab), then TCN_SELCHANGE.
bool clickTab(HWND tab, int index);
// The close box of a top-level window: WM_SYSCOMMAND SC_CLOSE, then WM_CLOSE (a dialog turns
// it into the IDCANCEL command).
bool closeWindow(HWND window);

// --- Scripted answers ---------------------------------------------------------------------------
// Each answer is used once, in the order given; a dialog without a script gets the default.

// A modal dialog (CDialog::DoModal) of the template (0: any) runs the script once it is shown,
// inside its modal loop; after the script the loop goes on until the dialog ends. Without a
// script the dialog gets the default command (IDCANCEL unless changed), as a click on that
// button would; a dialog still open after it ends with IDCANCEL. A loop that sees no message
// for the idle limit (60 s) ends the dialog with IDABORT and records it.
void onModalDialog(std::function<void(CDialog& dialog)> script, UINT templateId = 0);
void setDefaultModalCommand(int commandId);
void setModalIdleLimit(DWORD milliseconds);

struct MessageBoxRecord {
  HWND owner = nullptr;
  std::string text;
  std::string caption;
  UINT type = 0;
  int answer = 0;
  bool scripted = false;  // answered by a script rather than by default
  DWORD threadId = 0;
};
// Message boxes also go to platform/win32's journal; without a script the journal's answer is
// used (IDOK, or the first button, unless win32::setMessageBoxAnswer says otherwise), and a box
// that nothing answered is printed to standard error.
void onMessageBox(std::function<int(const MessageBoxRecord& box)> answer);
void answerMessageBox(int answer);

struct FileDialogRecord {
  bool open = true;  // GetOpenFileName rather than GetSaveFileName
  HWND owner = nullptr;
  std::string title;
  std::vector<std::pair<std::string, std::string>> filters;  // (description, patterns)
  DWORD filterIndex = 0;
  std::string initialFile;
  std::string initialDir;
  std::string defaultExt;
  DWORD flags = 0;
  DWORD bufferSize = 0;
  bool accepted = false;
  std::vector<std::string> chosen;  // full paths
};
struct FileDialogAnswer {
  bool ok = false;
  std::vector<std::string> paths;  // full paths, all in one folder
  DWORD filterIndex = 0;           // 0 keeps the dialog's
};
void onFileDialog(std::function<FileDialogAnswer(const FileDialogRecord& dialog)> answer);
void answerFileDialog(std::vector<std::string> paths);
void cancelFileDialog();

// The folder browser while a script runs it.
class FolderBrowser {
 public:
  virtual ~FolderBrowser() = default;
  virtual HWND window() const = 0;
  virtual std::string title() const = 0;
  virtual UINT flags() const = 0;
  virtual std::string selection() const = 0;
  virtual std::string statusText() const = 0;
  // The user selects a folder; false (nothing happens) unless it is an existing directory.
  // The callback gets BFFM_SELCHANGED.
  virtual bool select(const std::string& folder) = 0;
  // OK: false when nothing is selected or the callback disabled OK.
  virtual bool ok() = 0;
  virtual void cancel() = 0;
};
struct FolderBrowserRecord {
  HWND owner = nullptr;
  std::string title;
  UINT flags = 0;
  std::vector<UINT> callbacks;           // BFFM_INITIALIZED, BFFM_SELCHANGED, ... in order
  std::vector<std::string> selections;   // every selection, in order
  std::vector<std::string> statusTexts;  // every BFFM_SETSTATUSTEXT, in order
  bool accepted = false;
  std::string result;
};
// A browser whose script neither accepts nor cancels is cancelled.
void onFolderBrowser(std::function<void(FolderBrowser& browser)> script);
void answerFolderBrowser(const std::string& folder);  // select it and press OK
void cancelFolderBrowser();

struct ModalRecord {
  UINT templateId = 0;
  std::string caption;
  HWND window = nullptr;
  bool scripted = false;
  bool idleTimeout = false;
  INT_PTR result = 0;
};

std::vector<ModalRecord> modalRecords();
std::vector<MessageBoxRecord> messageBoxRecords();
std::vector<FileDialogRecord> fileDialogRecords();
std::vector<FolderBrowserRecord> folderBrowserRecords();
// Scripts and answers given but not used yet.
size_t pendingScripts();
// Forgets scripts, answers and records, and restores the defaults.
void resetDriver();

// --- Message log ------------------------------------------------------------------------------
// Every message dispatched to a window while the log runs, with the fields of the common
// notification records decoded.
struct LoggedMessage {
  HWND window = nullptr;
  UINT message = 0;
  WPARAM wParam = 0;
  LPARAM lParam = 0;
  UINT code = 0;  // WM_NOTIFY: hdr.code; WM_COMMAND: the notification code (HIWORD(wParam))
  UINT_PTR idFrom = 0;
  HWND from = nullptr;
  int item = -1;  // list notifications
  UINT oldState = 0, newState = 0, changed = 0;
  HTREEITEM itemOld = nullptr, itemNew = nullptr;  // tree notifications
  UINT action = 0;
  DWORD threadId = 0;
};
void startMessageLog();
void stopMessageLog();
std::vector<LoggedMessage> messageLog();
// WM_COMMAND and WM_NOTIFY messages of the log (those to `to` only, when given).
std::vector<LoggedMessage> notificationLog(HWND to = nullptr);

// --- Inspection ---------------------------------------------------------------------------------
struct WindowState {
  bool exists = false;
  std::string className;
  std::string text;
  int id = 0;
  DWORD style = 0, exStyle = 0;
  bool enabled = false;  // its own WS_DISABLED bit
  bool visible = false;  // IsWindowVisible
  bool focused = false;  // it has the keyboard focus of its thread
  RECT rect{};           // in the parent's client coordinates (screen for top-level windows)
  HWND parent = nullptr;
  HWND owner = nullptr;
  HFONT font = nullptr;
  DWORD threadId = 0;
};
WindowState windowState(HWND window);
std::vector<HWND> childWindows(HWND parent);  // in creation order
HWND findChild(HWND root, int id);            // depth first, the first with that id
std::vector<HWND> topLevelWindows();

struct FontState {
  bool alive = false;  // false once the font object was deleted
  LOGFONT logFont{};
};
FontState fontState(HFONT font);

struct ImageListState {
  bool alive = false;
  int cx = 0, cy = 0;
  UINT flags = 0;
  int count = 0;
  COLORREF mask = CLR_NONE;
};
ImageListState imageListState(HIMAGELIST list);

struct ListItemState {
  std::vector<std::string> texts;  // by subitem
  int image = -1;
  UINT state = 0;
  bool checked = false;
  bool selected = false;
  bool focused = false;
  LPARAM lParam = 0;
};
struct ListColumnState {
  std::string text;
  int width = 0;
  int format = 0;
};
struct ListState {
  DWORD extendedStyle = 0;
  std::vector<ListColumnState> columns;
  std::vector<ListItemState> items;
  HIMAGELIST normalImages = nullptr, smallImages = nullptr, stateImages = nullptr;
};
ListState listState(HWND list);

struct TreeItemState {
  HTREEITEM handle = nullptr;
  HTREEITEM parent = nullptr;
  int depth = 0;
  std::string text;
  int image = 0, selectedImage = 0;
  UINT state = 0;
  bool checked = false;
  bool expanded = false;
  bool selected = false;
  LPARAM lParam = 0;
};
struct TreeState {
  std::vector<TreeItemState> items;  // depth first, in order
  HTREEITEM selected = nullptr;
  HTREEITEM firstVisible = nullptr;
  HIMAGELIST normalImages = nullptr, stateImages = nullptr;
};
TreeState treeState(HWND tree);

struct ComboState {
  std::vector<std::string> items;
  std::vector<LPARAM> data;
  int selection = -1;
  std::string text;
  bool dropped = false;
};
ComboState comboState(HWND combo);

struct ProgressState {
  int lower = 0, upper = 100, position = 0, step = 10;
  COLORREF barColor = CLR_DEFAULT, backColor = CLR_DEFAULT;
};
ProgressState progressState(HWND progress);

struct TabState {
  std::vector<std::string> items;
  int selection = -1;
};
TabState tabState(HWND tab);

int buttonCheck(HWND button);  // BST_UNCHECKED, BST_CHECKED, BST_INDETERMINATE

// The drawing surface of a window (client coordinates).
struct TextRun {
  std::string text;
  POINT anchor{};  // where it was drawn, after the text alignment was applied
  RECT bounds{};   // the text's cell, cut to the clip
  UINT align = 0;
  COLORREF color = 0;
  LOGFONT font{};
};
COLORREF pixelAt(HWND window, int x, int y);  // CLR_INVALID outside the surface or unpainted
std::vector<TextRun> textRuns(HWND window);
int waitCursorShows();  // times a wait cursor was shown since resetDriver

// --- Pictures -------------------------------------------------------------------------------------
// The window as a screen shows it, drawn from its state and its children's: a top-level window
// with its frame and caption bar, a child window alone.
struct Picture {
  int width = 0, height = 0;
  POINT client{};  // where the window's client area lies in the picture
  std::vector<COLORREF> pixels;
  COLORREF at(int x, int y) const {  // CLR_INVALID outside
    if (x < 0 || y < 0 || x >= width || y >= height) return CLR_INVALID;
    return pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)];
  }
};
Picture windowPicture(HWND window);
// The picture as a PNG file; false when the window is missing or the file cannot be written.
bool saveWindowPicture(HWND window, const std::string& file);

}  // namespace ui
