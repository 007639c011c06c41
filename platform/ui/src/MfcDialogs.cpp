// The MFC dialogs: CDialog, modeless and modal, data exchange (UpdateData and the DDX_
// routines) and the file dialog.
#include "Display.h"
#include "Internal.h"

#include <algorithm>
#include <cstring>

namespace ui {
namespace detail {
namespace {

struct DataExchangeFailure {};

HWND topLevelOf(HWND window) {
  while (window != nullptr && (GetWindowLong(window, GWL_STYLE) & WS_CHILD)) window = GetParent(window);
  return window;
}

}  // namespace
}  // namespace detail
}  // namespace ui

using namespace ui;
using namespace ui::detail;

// --- Dialogs and data exchange --------------------------------------------------------------------
BOOL CWnd::UpdateData(BOOL saveAndValidate) {
  CDataExchange dx(this, saveAndValidate);
  try {
    DoDataExchange(&dx);
  } catch (const DataExchangeFailure&) {
    return FALSE;
  }
  return TRUE;
}

CDialog::CDialog() = default;

CDialog::CDialog(UINT templateId, CWnd* parent) : m_nIDTemplate(templateId), m_pParentWnd(parent) {}

BEGIN_MESSAGE_MAP(CDialog, CWnd)
  ON_MESSAGE(WM_INITDIALOG, HandleInitDialog)
  ON_COMMAND(IDOK, OnOK)
  ON_COMMAND(IDCANCEL, OnCancel)
END_MESSAGE_MAP()

LRESULT CDialog::HandleInitDialog(WPARAM, LPARAM) { return OnInitDialog(); }

BOOL CDialog::OnInitDialog() {
  UpdateData(FALSE);
  return TRUE;
}

void CDialog::OnOK() {
  if (!UpdateData(TRUE)) return;
  EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

void CDialog::EndDialog(int result) { ::EndDialog(m_hWnd, result); }

BOOL CDialog::Create(UINT templateId, CWnd* parent) {
  if (m_hWnd != nullptr) return FALSE;
  m_nIDTemplate = templateId;
  m_pParentWnd = parent;
  return createDialog(templateId, parent != nullptr ? parent->m_hWnd : nullptr, this, false) != nullptr;
}

INT_PTR CDialog::DoModal() {
  if (m_hWnd != nullptr) return -1;
  HWND owner = m_pParentWnd != nullptr ? m_pParentWnd->m_hWnd : nullptr;
  if (owner == nullptr) owner = ::GetActiveWindow();
  if (owner == nullptr) {
    CWnd* main = AfxGetMainWnd();
    owner = main != nullptr ? main->m_hWnd : nullptr;
  }
  owner = topLevelOf(owner);
  bool reenable = owner != nullptr && ::IsWindowEnabled(owner);
  if (reenable) ::EnableWindow(owner, FALSE);
  HWND hwnd = createDialog(m_nIDTemplate, owner, this, true);
  if (hwnd == nullptr) {
    if (reenable) ::EnableWindow(owner, TRUE);
    return -1;
  }
  std::shared_ptr<Window> window = findWindow(hwnd);
  ui::ModalRecord record;
  record.templateId = m_nIDTemplate;
  record.caption = window->text;
  record.window = hwnd;
  auto ended = [&] { return window->dialogEnded || !findWindow(hwnd); };
  if (!ended()) ::ShowWindow(hwnd, SW_SHOW);

  std::shared_ptr<ThreadQueue> queue = currentQueue();
  // The user acts once the dialog has settled.
  while (!ended() && pumpOne(*queue)) {
  }
  ModalScript script;
  // A script acts first; else a person at the display does, else the default command.
  if (!ended() && takeModalScript(m_nIDTemplate, script)) {
    record.scripted = true;
    script.script(*this);
  } else if (!ended() && !displayActive()) {
    int command = defaultModalCommand();
    ::SendMessage(hwnd, WM_COMMAND, MAKEWPARAM(command, BN_CLICKED),
                  reinterpret_cast<LPARAM>(::GetDlgItem(hwnd, command)));
    if (!ended()) ::EndDialog(hwnd, IDCANCEL);
  }
  auto limit = std::chrono::milliseconds(modalIdleLimit());
  auto idleSince = std::chrono::steady_clock::now();
  while (!ended()) {
    uint64_t seen = eventCount(*queue);
    if (pumpOne(*queue)) {
      idleSince = std::chrono::steady_clock::now();
      continue;
    }
    auto now = std::chrono::steady_clock::now();
    if (displayActive()) {
      // Nobody times out a person who takes their time.
      waitForEvents(*queue, seen, now + std::chrono::seconds(1));
      continue;
    }
    if (now - idleSince >= limit) {
      record.idleTimeout = true;
      ::EndDialog(hwnd, IDABORT);
      break;
    }
    waitForEvents(*queue, seen, std::min(idleSince + limit, now + std::chrono::seconds(1)));
  }
  INT_PTR result = window->dialogEnded ? window->dialogResult : IDABORT;
  if (reenable) ::EnableWindow(owner, TRUE);
  if (owner != nullptr) ::SetActiveWindow(owner);
  if (findWindow(hwnd)) ::DestroyWindow(hwnd);
  record.result = result;
  recordModal(record);
  return result;
}

CDataExchange::CDataExchange(CWnd* dialog, BOOL saveAndValidate)
    : m_bSaveAndValidate(saveAndValidate), m_pDlgWnd(dialog) {}

HWND CDataExchange::PrepareCtrl(int id) {
  HWND control = ::GetDlgItem(m_pDlgWnd->m_hWnd, id);
  if (control == nullptr) Fail();
  return control;
}

void CDataExchange::Fail() { throw DataExchangeFailure{}; }

void DDX_Control(CDataExchange* dx, int id, CWnd& control) {
  if (control.m_hWnd != nullptr) return;
  HWND hwnd = dx->PrepareCtrl(id);
  if (!control.SubclassWindow(hwnd)) dx->Fail();
}

void DDX_Text(CDataExchange* dx, int id, CString& value) {
  HWND hwnd = dx->PrepareCtrl(id);
  if (dx->m_bSaveAndValidate) {
    int length = GetWindowTextLength(hwnd);
    std::string buffer(static_cast<size_t>(length) + 1, '\0');
    int copied = GetWindowText(hwnd, &buffer[0], length + 1);
    buffer.resize(static_cast<size_t>(std::max(copied, 0)));
    value = buffer;
  } else {
    SetWindowText(hwnd, value);
  }
}

// Exchanges a number the control gives by `get` and takes by `set` (as its wParam).
static void exchangeNumber(CDataExchange* dx, int id, int& value, UINT get, UINT set) {
  HWND hwnd = dx->PrepareCtrl(id);
  if (dx->m_bSaveAndValidate) {
    value = static_cast<int>(SendMessage(hwnd, get));
  } else {
    SendMessage(hwnd, set, static_cast<WPARAM>(value));
  }
}

void DDX_Check(CDataExchange* dx, int id, int& value) { exchangeNumber(dx, id, value, BM_GETCHECK, BM_SETCHECK); }

void DDX_Radio(CDataExchange* dx, int id, int& value) {
  HWND first = dx->PrepareCtrl(id);
  HWND parent = GetParent(first);
  std::vector<HWND> group;
  bool started = false;
  for (HWND child : ui::childWindows(parent)) {
    DWORD style = static_cast<DWORD>(GetWindowLongPtr(child, GWL_STYLE));
    if (child == first) {
      started = true;
    } else if (started && (style & WS_GROUP)) {
      break;
    }
    UINT type = style & BS_TYPEMASK;
    std::shared_ptr<Window> w = findWindow(child);
    if (started && w && w->kind == WindowKind::Button && (type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON)) {
      group.push_back(child);
    }
  }
  if (dx->m_bSaveAndValidate) {
    value = -1;
    for (size_t i = 0; i < group.size(); ++i) {
      if (SendMessage(group[i], BM_GETCHECK) == BST_CHECKED) {
        value = static_cast<int>(i);
        break;
      }
    }
  } else {
    for (size_t i = 0; i < group.size(); ++i) {
      SendMessage(group[i], BM_SETCHECK, static_cast<int>(i) == value ? BST_CHECKED : BST_UNCHECKED);
    }
  }
}

void DDX_CBIndex(CDataExchange* dx, int id, int& value) { exchangeNumber(dx, id, value, CB_GETCURSEL, CB_SETCURSEL); }

// --- File dialog -------------------------------------------------------------------------------------
CFileDialog::CFileDialog(BOOL openFileDialog, LPCTSTR defaultExt, LPCTSTR fileName, DWORD flags, LPCTSTR filter,
                         CWnd* parent)
    : m_ofn(), m_bOpenFileDialog(openFileDialog), m_szFileName(), m_szFileTitle() {
  m_pParentWnd = parent;
  m_ofn.lStructSize = sizeof m_ofn;
  m_ofn.lpstrFile = m_szFileName;
  m_ofn.nMaxFile = MAX_PATH;
  m_ofn.lpstrFileTitle = m_szFileTitle;
  m_ofn.nMaxFileTitle = sizeof m_szFileTitle;
  m_ofn.Flags = flags | OFN_EXPLORER;
  if (fileName != nullptr) std::strncpy(m_szFileName, fileName, MAX_PATH - 1);
  if (defaultExt != nullptr) {
    m_strDefExt = defaultExt;
    m_ofn.lpstrDefExt = m_strDefExt.c_str();
  }
  if (filter != nullptr) {
    m_strFilter = filter;
    std::replace(m_strFilter.begin(), m_strFilter.end(), '|', '\0');
    m_ofn.lpstrFilter = m_strFilter.c_str();
  }
}

INT_PTR CFileDialog::DoModal() {
  m_ofn.hwndOwner = m_pParentWnd != nullptr ? m_pParentWnd->m_hWnd : ::GetActiveWindow();
  BOOL ok = m_bOpenFileDialog ? GetOpenFileName(&m_ofn) : GetSaveFileName(&m_ofn);
  return ok ? IDOK : IDCANCEL;
}

CString CFileDialog::GetPathName() const {
  POSITION position = GetStartPosition();
  return position != nullptr ? GetNextPathName(position) : CString();
}

CString CFileDialog::GetFileName() const {
  CString path = GetPathName();
  return path.Mid(path.ReverseFind('/') + 1);
}

POSITION CFileDialog::GetStartPosition() const {
  return m_ofn.lpstrFile != nullptr && m_ofn.lpstrFile[0] != '\0' ? reinterpret_cast<POSITION>(m_ofn.lpstrFile)
                                                                  : nullptr;
}

CString CFileDialog::GetNextPathName(POSITION& position) const {
  const char* at = reinterpret_cast<const char*>(position);
  if (at == nullptr) return CString();
  if (at == m_ofn.lpstrFile) {
    const char* next = at + std::strlen(at) + 1;
    if (!(m_ofn.Flags & OFN_ALLOWMULTISELECT) || *next == '\0') {
      position = nullptr;
      return CString(m_ofn.lpstrFile);
    }
    at = next;
  }
  std::string folder = m_ofn.lpstrFile;
  std::string name = at;
  const char* next = at + name.size() + 1;
  position = *next == '\0' ? nullptr : reinterpret_cast<POSITION>(const_cast<char*>(next));
  if (!folder.empty() && folder.back() != '/') folder += '/';
  return CString(folder + name);
}
