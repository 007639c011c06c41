// Message boxes, the common file dialogs and the shell's folder browser, answered by the
// driver's scripts, or at a live display by the person.
#include "Display.h"
#include "Internal.h"
#include "LiveDialogs.h"

#include <cstring>

struct ITEMIDLIST {
  std::string path;
};

namespace ui {
namespace detail {

namespace {

thread_local DWORD tExtendedError = 0;

std::vector<std::pair<std::string, std::string>> parseFilter(const char* filter) {
  std::vector<std::pair<std::string, std::string>> pairs;
  if (filter == nullptr) return pairs;
  while (*filter != '\0') {
    std::string description = filter;
    filter += description.size() + 1;
    std::string patterns = filter;
    filter += patterns.size() + (*filter != '\0' || !patterns.empty() ? 1 : 0);
    pairs.emplace_back(description, patterns);
    if (patterns.empty()) break;
  }
  return pairs;
}

std::string folderOf(const std::string& path) {
  size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

std::string nameOf(const std::string& path) {
  size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

BOOL fileDialog(LPOPENFILENAME ofn, bool open) {
  tExtendedError = 0;
  if (ofn == nullptr) return FALSE;
  FileDialogRecord record;
  record.open = open;
  record.owner = ofn->hwndOwner;
  record.title = ofn->lpstrTitle != nullptr ? ofn->lpstrTitle : (open ? "Open" : "Save As");
  record.filters = parseFilter(ofn->lpstrFilter);
  record.filterIndex = ofn->nFilterIndex;
  record.initialFile = ofn->lpstrFile != nullptr ? ofn->lpstrFile : "";
  record.initialDir = ofn->lpstrInitialDir != nullptr ? ofn->lpstrInitialDir : "";
  record.defaultExt = ofn->lpstrDefExt != nullptr ? ofn->lpstrDefExt : "";
  record.flags = ofn->Flags;
  record.bufferSize = ofn->nMaxFile;

  std::function<FileDialogAnswer(const FileDialogRecord&)> script;
  FileDialogAnswer answer;
  if (takeFileDialogScript(script)) {
    answer = script(record);
  } else if (displayActive()) {
    LiveBrowse request;
    request.owner = IsWindow(record.owner) ? record.owner : nullptr;
    request.title = record.title;
    request.open = open;
    request.filters = record.filters;
    request.filterIndex = static_cast<int>(record.filterIndex);
    request.folder = !record.initialDir.empty() ? record.initialDir : folderOf(record.initialFile);
    request.name = nameOf(record.initialFile);
    request.several = (ofn->Flags & OFN_ALLOWMULTISELECT) != 0;
    int filterIndex = 0;
    answer.ok = liveBrowse(request, answer.paths, filterIndex);
    if (answer.ok) answer.filterIndex = static_cast<DWORD>(filterIndex);
  }
  std::vector<std::string> paths = answer.paths;
  bool multi = (ofn->Flags & OFN_ALLOWMULTISELECT) != 0;
  if (!multi && paths.size() > 1) paths.resize(1);
  bool sameFolder = true;
  for (const std::string& p : paths) sameFolder = sameFolder && folderOf(p) == folderOf(paths.front());
  if (!answer.ok || paths.empty() || !sameFolder) {
    recordFileDialog(record);
    return FALSE;
  }
  std::string content;
  WORD nameOffset;
  if (paths.size() == 1) {
    content = paths.front();
    nameOffset = static_cast<WORD>(content.size() - nameOf(content).size());
  } else {
    content = folderOf(paths.front());
    nameOffset = static_cast<WORD>(content.size() + 1);
    for (const std::string& p : paths) content += std::string(1, '\0') + nameOf(p);
  }
  content += std::string(2, '\0');  // every name ends in '\0', the list in a second '\0'
  if (ofn->lpstrFile == nullptr || ofn->nMaxFile < content.size()) {
    tExtendedError = FNERR_BUFFERTOOSMALL;
    if (ofn->lpstrFile != nullptr && ofn->nMaxFile >= 2) {
      WORD needed = static_cast<WORD>(std::min<size_t>(content.size(), 0xffff));
      std::memcpy(ofn->lpstrFile, &needed, sizeof needed);
    }
    recordFileDialog(record);
    return FALSE;
  }
  std::memcpy(ofn->lpstrFile, content.data(), content.size());
  ofn->nFileOffset = nameOffset;
  std::string firstName = nameOf(paths.front());
  size_t dot = firstName.find_last_of('.');
  ofn->nFileExtension = paths.size() == 1 && dot != std::string::npos ? static_cast<WORD>(nameOffset + dot + 1) : 0;
  if (answer.filterIndex != 0) ofn->nFilterIndex = answer.filterIndex;
  if (ofn->lpstrFileTitle != nullptr && ofn->nMaxFileTitle > 0) {
    size_t n = std::min(firstName.size(), static_cast<size_t>(ofn->nMaxFileTitle) - 1);
    std::memcpy(ofn->lpstrFileTitle, firstName.data(), n);
    ofn->lpstrFileTitle[n] = '\0';
  }
  record.accepted = true;
  record.chosen = paths;
  recordFileDialog(record);
  return TRUE;
}

struct BrowserSession : FolderBrowser {
  HWND hwnd = nullptr;
  BROWSEINFO* info = nullptr;
  std::string current;
  std::string status;
  bool okEnabled = true;
  bool decided = false;
  bool accepted = false;
  FolderBrowserRecord record;

  void callback(UINT message, LPARAM lParam) {
    record.callbacks.push_back(message);
    if (info->lpfn != nullptr) info->lpfn(hwnd, message, lParam, info->lParam);
  }

  HWND window() const override { return hwnd; }
  std::string title() const override { return info->lpszTitle != nullptr ? info->lpszTitle : ""; }
  UINT flags() const override { return info->ulFlags; }
  std::string selection() const override { return current; }
  std::string statusText() const override { return status; }

  bool select(const std::string& folder) override {
    if (decided || !win32::isDirectory(folder)) return false;
    current = folder;
    record.selections.push_back(folder);
    ITEMIDLIST item{folder};
    callback(BFFM_SELCHANGED, reinterpret_cast<LPARAM>(&item));
    return true;
  }

  bool ok() override {
    if (decided || current.empty() || !okEnabled) return false;
    decided = true;
    accepted = true;
    return true;
  }

  void cancel() override {
    if (decided) return;
    decided = true;
    accepted = false;
  }
};

struct BrowserData : ControlData {
  BrowserSession* session = nullptr;
};

}  // namespace

LRESULT browserProc(Window& w, UINT message, WPARAM wParam, LPARAM lParam) {
  BrowserData* data = static_cast<BrowserData*>(w.data.get());
  BrowserSession* session = data != nullptr ? data->session : nullptr;
  if (session == nullptr) return defaultProc(w, message, wParam, lParam);
  switch (message) {
    case BFFM_SETSELECTION: {
      std::string path;
      if (wParam != 0) {
        path = lParam != 0 ? reinterpret_cast<const char*>(lParam) : "";
      } else if (lParam != 0) {
        path = reinterpret_cast<const ITEMIDLIST*>(lParam)->path;
      }
      session->select(path);
      return 0;
    }
    case BFFM_SETSTATUSTEXT:
      session->status = lParam != 0 ? reinterpret_cast<const char*>(lParam) : "";
      session->record.statusTexts.push_back(session->status);
      return 0;
    case BFFM_ENABLEOK:
      session->okEnabled = lParam != 0;
      return 0;
    default:
      return defaultProc(w, message, wParam, lParam);
  }
}

int showMessageBox(HWND owner, const char* text, const char* caption, UINT type) {
  MessageBoxRecord record;
  record.owner = owner;
  record.text = text != nullptr ? text : "";
  record.caption = caption != nullptr ? caption : "Error";
  record.type = type;
  record.threadId = GetCurrentThreadId();
  // The journal of platform/win32 sees every box. A script's answer stands; without one the
  // journal answers, and prints the box for whoever runs the program.
  int answer;
  std::function<int(const MessageBoxRecord&)> script;
  if (takeMessageBoxScript(script)) {
    win32::journalMessageBox(text, caption, type);
    record.scripted = true;
    answer = script(record);
  } else if (displayActive()) {
    win32::journalMessageBox(text, caption, type);
    answer = liveMessageBox(IsWindow(owner) ? owner : nullptr, record.text, record.caption, type);
  } else {
    answer = ::MessageBox(owner, text, caption, type);
  }
  record.answer = answer;
  recordMessageBox(record);
  return answer;
}

}  // namespace detail
}  // namespace ui

using namespace ui;
using namespace ui::detail;

BOOL GetOpenFileName(LPOPENFILENAME ofn) { return fileDialog(ofn, true); }

BOOL GetSaveFileName(LPOPENFILENAME ofn) { return fileDialog(ofn, false); }

DWORD CommDlgExtendedError() { return tExtendedError; }

LPITEMIDLIST SHBrowseForFolder(LPBROWSEINFO info) {
  if (info == nullptr) return nullptr;
  BrowserSession session;
  session.info = info;
  session.record.owner = info->hwndOwner;
  session.record.title = info->lpszTitle != nullptr ? info->lpszTitle : "";
  session.record.flags = info->ulFlags;
  HWND owner = IsWindow(info->hwndOwner) ? info->hwndOwner : nullptr;
  session.hwnd = createBrowserWindow(owner, "Browse for Folder");
  if (session.hwnd == nullptr) return nullptr;
  {
    std::shared_ptr<Window> w = findWindow(session.hwnd);
    auto data = std::make_unique<BrowserData>();
    data->session = &session;
    w->data = std::move(data);
  }
  ShowWindow(session.hwnd, SW_SHOW);
  session.callback(BFFM_INITIALIZED, 0);
  if (session.current.empty()) {
    std::string root = info->pidlRoot != nullptr ? info->pidlRoot->path : "/";
    session.select(root);
  }
  std::function<void(FolderBrowser&)> script;
  if (takeFolderBrowserScript(script)) {
    script(session);
  } else if (displayActive()) {
    LiveBrowse request;
    request.owner = owner;
    request.title = session.record.title.empty() ? "Browse for Folder" : session.record.title;
    request.folders = true;
    request.folder = session.current;
    request.select = [&session](const std::string& folder) { session.select(folder); };
    std::vector<std::string> chosen;
    int unused = 0;
    if (liveBrowse(request, chosen, unused) && !chosen.empty() &&
        (chosen.front() == session.current || session.select(chosen.front()))) {
      session.ok();
    }
  }
  session.cancel();
  if (std::shared_ptr<Window> w = findWindow(session.hwnd)) static_cast<BrowserData*>(w->data.get())->session = nullptr;
  DestroyWindow(session.hwnd);
  session.record.accepted = session.accepted;
  LPITEMIDLIST result = nullptr;
  if (session.accepted) {
    session.record.result = session.current;
    result = new ITEMIDLIST{session.current};
    if (info->pszDisplayName != nullptr) {
      std::string name = nameOf(session.current);
      if (name.empty()) name = session.current;
      size_t n = std::min(name.size(), static_cast<size_t>(MAX_PATH) - 1);
      std::memcpy(info->pszDisplayName, name.data(), n);
      info->pszDisplayName[n] = '\0';
    }
  }
  recordFolderBrowser(session.record);
  return result;
}

BOOL SHGetPathFromIDList(LPCITEMIDLIST item, LPSTR path) {
  if (item == nullptr || path == nullptr) return FALSE;
  path[0] = '\0';
  if (item->path.empty() || item->path.size() >= MAX_PATH) return FALSE;
  std::memcpy(path, item->path.c_str(), item->path.size() + 1);
  return TRUE;
}

void ILFree(LPITEMIDLIST item) { delete item; }
