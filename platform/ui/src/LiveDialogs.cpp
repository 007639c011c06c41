// The dialogs a person answers at a live display when no script does: the message box, the
// file dialog and the folder browser, made of the stand-in's own controls and drawn by the
// same painter as every other dialog.
#include "Display.h"
#include "LiveDialogs.h"
#include "Text.h"

#include <fnmatch.h>
#include <strings.h>

#include <algorithm>
#include <atomic>
#include <filesystem>

namespace ui {
namespace detail {

namespace {

namespace fs = std::filesystem;

// Templates of these dialogs are made for each one shown, under ids of their own.
UINT nextTemplateId() {
  static std::atomic<unsigned> counter{0};
  return 0x7E00u + (counter++ % 0x100u);
}

// Pixels to dialog units (rounded up), the inverse of the dialogs' own conversion.
int duX(int px) { return (px * 4 + 5) / 6; }
int duY(int px) { return (px * 8 + 12) / 13; }

ControlTemplate control(int id, const char* cls, const std::string& text, int x, int y, int cx, int cy, DWORD style,
                        DWORD exStyle = 0) {
  return ControlTemplate{id, cls, text, x, y, cx, cy, WS_VISIBLE | style, exStyle};
}

// --- Message box ---------------------------------------------------------------------------------
constexpr int kIconId = 20, kTextId = 21;

class MessageBoxDialog : public CDialog {
 public:
  MessageBoxDialog(UINT id, UINT type, std::vector<int> buttons)
      : CDialog(id), type_(type), buttons_(std::move(buttons)) {}

 protected:
  BOOL OnInitDialog() override {
    CDialog::OnInitDialog();
    LPCSTR icon = nullptr;
    switch (type_ & MB_ICONMASK) {
      case MB_ICONHAND:
        icon = IDI_HAND;
        break;
      case MB_ICONQUESTION:
        icon = IDI_QUESTION;
        break;
      case MB_ICONEXCLAMATION:
        icon = IDI_EXCLAMATION;
        break;
      case MB_ICONASTERISK:
        icon = IDI_ASTERISK;
        break;
      default:
        break;
    }
    if (icon != nullptr) {
      ::SendMessage(::GetDlgItem(m_hWnd, kIconId), STM_SETICON, reinterpret_cast<WPARAM>(::LoadIcon(nullptr, icon)), 0);
    }
    // The default button has the focus, so that Enter gives the default answer.
    if (HWND button = ::GetDlgItem(m_hWnd, win32::defaultMessageBoxButton(type_))) {
      ::SetFocus(button);
      return FALSE;
    }
    return TRUE;
  }
  BOOL OnCommand(WPARAM wParam, LPARAM lParam) override {
    int id = LOWORD(wParam);
    // Escape and the close box mean Cancel, or the only button there is.
    if (id == IDCANCEL && std::find(buttons_.begin(), buttons_.end(), IDCANCEL) == buttons_.end()) {
      if (buttons_.size() != 1) return TRUE;
      id = buttons_.front();
    }
    if (std::find(buttons_.begin(), buttons_.end(), id) != buttons_.end()) {
      EndDialog(id);
      return TRUE;
    }
    return CDialog::OnCommand(wParam, lParam);
  }

 private:
  UINT type_;
  std::vector<int> buttons_;
};

std::vector<std::pair<int, const char*>> buttonsOf(UINT type) {
  switch (type & MB_TYPEMASK) {
    case 1:
      return {{IDOK, "OK"}, {IDCANCEL, "Cancel"}};
    case 2:
      return {{IDABORT, "&Abort"}, {IDRETRY, "&Retry"}, {5, "&Ignore"}};
    case 3:
      return {{IDYES, "&Yes"}, {IDNO, "&No"}, {IDCANCEL, "Cancel"}};
    case 4:
      return {{IDYES, "&Yes"}, {IDNO, "&No"}};
    case 5:
      return {{IDRETRY, "&Retry"}, {IDCANCEL, "Cancel"}};
    default:
      return {{IDOK, "OK"}};
  }
}

// --- File dialog and folder browser --------------------------------------------------------------
constexpr int kFolderId = 30, kListId = 31, kNameId = 32, kTypeId = 33, kUpId = 34;

struct Entry {
  std::string name;
  bool folder = false;
};

bool matches(const std::string& name, const std::string& patterns) {
  size_t start = 0;
  while (start <= patterns.size()) {
    size_t end = patterns.find(';', start);
    if (end == std::string::npos) end = patterns.size();
    std::string p = patterns.substr(start, end - start);
    while (!p.empty() && p.front() == ' ') p.erase(p.begin());
    if (p == "*.*") p = "*";
    if (!p.empty() && fnmatch(p.c_str(), name.c_str(), FNM_CASEFOLD) == 0) return true;
    start = end + 1;
  }
  return false;
}

// The names typed into the name field: each name in double quotes is one (so several can be
// given at once), a text without quotes is one name.
std::vector<std::string> typedNames(const std::string& text) {
  std::vector<std::string> names;
  if (text.find('"') == std::string::npos) {
    if (!text.empty()) names.push_back(text);
    return names;
  }
  std::string name;
  bool quoted = false;
  for (char c : text) {
    if (c == '"' || (c == ' ' && !quoted)) {
      if (!name.empty()) names.push_back(name);
      name.clear();
      if (c == '"') quoted = !quoted;
    } else {
      name += c;
    }
  }
  if (!name.empty()) names.push_back(name);
  return names;
}

class BrowseDialog : public CDialog {
 public:
  BrowseDialog(UINT id, const LiveBrowse& request) : CDialog(id), request_(request) {}
  std::vector<std::string> chosen;
  int filterIndex = 0;

 protected:
  BOOL OnInitDialog() override {
    CDialog::OnInitDialog();
    HWND list = ::GetDlgItem(m_hWnd, kListId);
    LVCOLUMN column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH;
    column.cx = 360;
    column.pszText = const_cast<char*>("Name");
    ::SendMessage(list, LVM_INSERTCOLUMN, 0, reinterpret_cast<LPARAM>(&column));
    HWND types = ::GetDlgItem(m_hWnd, kTypeId);
    for (const auto& f : request_.filters)
      ::SendMessage(types, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(f.first.c_str()));
    filterIndex =
        request_.filters.empty()
            ? 0
            : std::max(0, std::min<int>(request_.filterIndex - 1, static_cast<int>(request_.filters.size()) - 1));
    if (types != nullptr) ::SendMessage(types, CB_SETCURSEL, static_cast<WPARAM>(filterIndex), 0);
    std::error_code error;
    std::string start = request_.folder;
    if (start.empty() || !fs::is_directory(start, error)) start = fs::current_path(error).string();
    navigate(start);
    if (HWND name = ::GetDlgItem(m_hWnd, kNameId)) {
      ::SetWindowText(name, request_.name.c_str());
      ::SetFocus(name);
      return FALSE;
    }
    return TRUE;
  }

  BOOL OnCommand(WPARAM wParam, LPARAM lParam) override {
    int id = LOWORD(wParam);
    if (id == kUpId) {
      navigate(fs::path(folder_).parent_path().string());
      return TRUE;
    }
    if (id == kTypeId && HIWORD(wParam) == CBN_SELCHANGE) {
      filterIndex = static_cast<int>(::SendMessage(::GetDlgItem(m_hWnd, kTypeId), CB_GETCURSEL, 0, 0));
      fill();
      return TRUE;
    }
    return CDialog::OnCommand(wParam, lParam);
  }

  BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) override {
    const NMHDR* header = reinterpret_cast<const NMHDR*>(lParam);
    if (header->idFrom == kListId) {
      int row = header->code == NM_DBLCLK ? reinterpret_cast<const NMITEMACTIVATE*>(lParam)->iItem
                                          : static_cast<int>(::SendMessage(header->hwndFrom, LVM_GETNEXTITEM,
                                                                           static_cast<WPARAM>(-1), LVNI_SELECTED));
      if (row >= 0 && row < static_cast<int>(entries_.size())) {
        const Entry& e = entries_[static_cast<size_t>(row)];
        if (header->code == NM_DBLCLK) {
          if (e.folder)
            navigate(e.name == ".." ? fs::path(folder_).parent_path().string() : join(e.name));
          else
            accept(join(e.name));
          return TRUE;
        }
        if (header->code == LVN_ITEMCHANGED) showSelectedFiles(header->hwndFrom);
      }
    }
    return CDialog::OnNotify(wParam, lParam, result);
  }

  void OnOK() override {
    std::string name;
    if (HWND edit = ::GetDlgItem(m_hWnd, kNameId)) {
      std::vector<char> buffer(static_cast<size_t>(::GetWindowTextLength(edit)) + 1, '\0');
      ::GetWindowText(edit, buffer.data(), static_cast<int>(buffer.size()));
      name = buffer.data();
    }
    while (!name.empty() && name.back() == ' ') name.pop_back();
    while (!name.empty() && name.front() == ' ') name.erase(name.begin());
    std::error_code error;
    std::vector<std::string> names = typedNames(name);
    if (!request_.folders && names.size() > 1) {
      acceptSeveral(names);
      return;
    }
    if (names.size() == 1) name = names.front();
    if (request_.folders) {
      std::string target = name.empty() ? folder_ : (name.front() == '/' ? name : join(name));
      if (fs::is_directory(target, error)) accept(fs::path(target).lexically_normal().string());
      return;
    }
    if (name.empty()) {
      int row = static_cast<int>(
          ::SendMessage(::GetDlgItem(m_hWnd, kListId), LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
      if (row >= 0 && entries_[static_cast<size_t>(row)].folder) {
        const std::string& n = entries_[static_cast<size_t>(row)].name;
        navigate(n == ".." ? fs::path(folder_).parent_path().string() : join(n));
      }
      return;
    }
    if (name.find_first_of("*?") != std::string::npos) {
      pattern_ = name;
      fill();
      return;
    }
    std::string path = name.front() == '/' ? name : join(name);
    if (fs::is_directory(path, error)) {
      navigate(path);
      if (HWND edit = ::GetDlgItem(m_hWnd, kNameId)) ::SetWindowText(edit, "");
      return;
    }
    if (request_.open && !fs::is_regular_file(path, error)) {
      notFound(path);
      return;
    }
    accept(fs::path(path).lexically_normal().string());
  }

 private:
  std::string join(const std::string& name) const { return folder_ == "/" ? "/" + name : folder_ + "/" + name; }

  void accept(const std::string& path) {
    chosen = {path};
    EndDialog(IDOK);
  }

  void notFound(const std::string& path) {
    showMessageBox(m_hWnd, (path + "\nFile not found.\nCheck the file name and try again.").c_str(),
                   request_.title.c_str(), MB_OK | MB_ICONEXCLAMATION);
  }

  // Several names at once: files of the folder shown, every one of which must exist to open.
  void acceptSeveral(const std::vector<std::string>& names) {
    std::vector<std::string> paths;
    std::error_code error;
    for (const std::string& n : names) {
      std::string path = fs::path(n.front() == '/' ? n : join(n)).lexically_normal().string();
      bool missing = request_.open ? !fs::is_regular_file(path, error) : fs::is_directory(path, error);
      if (!request_.several || missing || fs::path(path).parent_path().string() != folder_) {
        notFound(path);
        return;
      }
      paths.push_back(path);
    }
    chosen = paths;
    EndDialog(IDOK);
  }

  // The files selected in the list go into the name field: one by its name, several each in
  // double quotes. Selected folders leave the field alone.
  void showSelectedFiles(HWND list) {
    std::vector<std::string> files;
    for (int row = -1; (row = static_cast<int>(
                            ::SendMessage(list, LVM_GETNEXTITEM, static_cast<WPARAM>(row), LVNI_SELECTED))) >= 0;) {
      if (row < static_cast<int>(entries_.size()) && !entries_[static_cast<size_t>(row)].folder) {
        files.push_back(entries_[static_cast<size_t>(row)].name);
      }
    }
    HWND name = ::GetDlgItem(m_hWnd, kNameId);
    if (files.empty() || name == nullptr) return;
    std::string text = files.front();
    if (files.size() > 1) {
      text.clear();
      for (const std::string& f : files) text += (text.empty() ? "\"" : " \"") + f + "\"";
    }
    ::SetWindowText(name, text.c_str());
  }

  void navigate(const std::string& folder) {
    std::error_code error;
    if (folder.empty() || !fs::is_directory(folder, error)) return;
    folder_ = fs::path(folder).lexically_normal().string();
    if (folder_.size() > 1 && folder_.back() == '/') folder_.pop_back();
    ::SetWindowText(::GetDlgItem(m_hWnd, kFolderId), folder_.c_str());
    if (request_.select) request_.select(folder_);
    fill();
  }

  void fill() {
    entries_.clear();
    std::vector<Entry> folders, files;
    std::error_code error;
    for (fs::directory_iterator it(folder_, fs::directory_options::skip_permission_denied, error), end;
         !error && it != end; it.increment(error)) {
      std::string name = it->path().filename().string();
      if (name.empty() || name[0] == '.') continue;
      std::error_code e2;
      if (it->is_directory(e2)) {
        folders.push_back(Entry{name, true});
      } else if (!request_.folders) {
        std::string patterns = !pattern_.empty()          ? pattern_
                               : request_.filters.empty() ? std::string("*")
                                                          : request_.filters[static_cast<size_t>(filterIndex)].second;
        if (matches(name, patterns)) files.push_back(Entry{name, false});
      }
    }
    auto byName = [](const Entry& a, const Entry& b) { return strcasecmp(a.name.c_str(), b.name.c_str()) < 0; };
    std::sort(folders.begin(), folders.end(), byName);
    std::sort(files.begin(), files.end(), byName);
    if (folder_ != "/") entries_.push_back(Entry{"..", true});
    entries_.insert(entries_.end(), folders.begin(), folders.end());
    entries_.insert(entries_.end(), files.begin(), files.end());
    HWND list = ::GetDlgItem(m_hWnd, kListId);
    ::SendMessage(list, LVM_DELETEALLITEMS, 0, 0);
    for (size_t i = 0; i < entries_.size(); ++i) {
      std::string label = entries_[i].folder && entries_[i].name != ".." ? entries_[i].name + "/" : entries_[i].name;
      LVITEM item{};
      item.mask = LVIF_TEXT;
      item.iItem = static_cast<int>(i);
      item.pszText = const_cast<char*>(label.c_str());
      ::SendMessage(list, LVM_INSERTITEM, 0, reinterpret_cast<LPARAM>(&item));
    }
  }

  LiveBrowse request_;
  std::string folder_;
  std::string pattern_;
  std::vector<Entry> entries_;
};

}  // namespace

int liveMessageBox(HWND owner, const std::string& text, const std::string& caption, UINT type) {
  LOGFONT font = defaultFont();
  TextFormat format;
  format.width = 420;
  SIZE extent = layoutExtent(font, text, format);
  std::vector<std::pair<int, const char*>> buttons = buttonsOf(type);
  const bool icon = (type & MB_ICONMASK) != 0;
  const int textX = icon ? 41 : 11;
  const int buttonsWidth = static_cast<int>(buttons.size()) * 56 - 6;
  const int width = std::max(textX + duX(extent.cx) + 11, buttonsWidth + 22);
  const int textHeight = std::max(duY(extent.cy), icon ? 20 : 8);
  DialogTemplate t;
  t.caption = caption;
  t.cx = width;
  t.cy = 10 + textHeight + 10 + 14 + 8;
  t.style = WS_POPUP | WS_CAPTION | DS_MODALFRAME | WS_SYSMENU;
  int x = (width - buttonsWidth) / 2;
  std::vector<int> ids;
  for (size_t i = 0; i < buttons.size(); ++i) {
    const bool isDefault = buttons[i].first == win32::defaultMessageBoxButton(type);
    DWORD style = WS_TABSTOP | (isDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
    t.controls.push_back(control(buttons[i].first, WC_BUTTON, buttons[i].second, x, t.cy - 22, 50, 14, style));
    ids.push_back(buttons[i].first);
    x += 56;
  }
  if (icon) t.controls.push_back(control(kIconId, WC_STATIC, "", 11, 10, 21, 20, SS_ICON));
  t.controls.push_back(control(kTextId, WC_STATIC, text, textX,
                               10 + (icon && duY(extent.cy) < 20 ? (20 - duY(extent.cy)) / 2 : 0), duX(extent.cx) + 2,
                               duY(extent.cy) + 1, SS_LEFT));
  UINT id = nextTemplateId();
  registerDialog(id, std::move(t));
  MessageBoxDialog dialog(id, type, ids);
  dialog.m_pParentWnd = owner != nullptr ? CWnd::FromHandle(owner) : nullptr;
  INT_PTR answer = dialog.DoModal();
  return answer > 0 ? static_cast<int>(answer) : (ids.size() == 1 ? ids.front() : IDCANCEL);
}

bool liveBrowse(const LiveBrowse& request, std::vector<std::string>& chosen, int& filterIndex) {
  DialogTemplate t;
  t.caption = request.title;
  t.style = WS_POPUP | WS_CAPTION | DS_MODALFRAME | WS_SYSMENU;
  t.cx = 290;
  t.cy = request.folders ? 186 : 200;
  const bool files = !request.folders;
  t.controls.push_back(control(IDC_STATIC, WC_STATIC, files ? "Look &in:" : "Folder:", 7, 8, 40, 8, SS_LEFT));
  t.controls.push_back(control(kFolderId, WC_STATIC, "", 50, 8, 210, 8, SS_LEFT | SS_LEFTNOWORDWRAP));
  t.controls.push_back(control(kUpId, WC_BUTTON, "Up", 263, 5, 20, 14, WS_TABSTOP | BS_PUSHBUTTON));
  t.controls.push_back(control(kListId, WC_LISTVIEW, "", 7, 22, 276, 110,
                               WS_TABSTOP | WS_BORDER | LVS_REPORT | (files && request.several ? 0u : LVS_SINGLESEL) |
                                   LVS_SHOWSELALWAYS | LVS_NOSORTHEADER,
                               WS_EX_CLIENTEDGE));
  t.controls.push_back(control(IDC_STATIC, WC_STATIC, files ? "File &name:" : "Folder &name:", 7, 142, 48, 8, SS_LEFT));
  t.controls.push_back(
      control(kNameId, WC_EDIT, "", 58, 140, 165, 12, WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE));
  int buttonsY = 139;
  if (files) {
    t.controls.push_back(control(IDC_STATIC, WC_STATIC, "Files of &type:", 7, 160, 48, 8, SS_LEFT));
    t.controls.push_back(
        control(kTypeId, WC_COMBOBOX, "", 58, 158, 165, 80, WS_TABSTOP | CBS_DROPDOWNLIST | WS_VSCROLL));
  }
  t.controls.push_back(control(IDOK, WC_BUTTON, files ? (request.open ? "&Open" : "&Save") : "OK", 233, buttonsY, 50,
                               14, WS_TABSTOP | BS_DEFPUSHBUTTON));
  t.controls.push_back(control(IDCANCEL, WC_BUTTON, "Cancel", 233, buttonsY + 18, 50, 14, WS_TABSTOP | BS_PUSHBUTTON));
  UINT id = nextTemplateId();
  registerDialog(id, std::move(t));
  BrowseDialog dialog(id, request);
  dialog.m_pParentWnd = request.owner != nullptr ? CWnd::FromHandle(request.owner) : nullptr;
  if (dialog.DoModal() != IDOK) return false;
  chosen = dialog.chosen;
  filterIndex = dialog.filterIndex + 1;
  return true;
}

}  // namespace detail
}  // namespace ui
