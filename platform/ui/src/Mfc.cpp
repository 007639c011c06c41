// The MFC classes: run-time classes, strings, CWnd and its message maps, dialogs and data
// exchange, controls, frames, views, splitters, file dialogs and message boxes.
#include "Display.h"
#include "Internal.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <strings.h>

namespace ui {
namespace detail {

LRESULT WndAccess::windowProc(CWnd* w, UINT message, WPARAM wParam, LPARAM lParam) {
  return w->WindowProc(message, wParam, lParam);
}

void WndAccess::postNcDestroy(CWnd* w) { w->PostNcDestroy(); }

void WndAccess::setTemporary(CWnd* w) { w->m_bTemporary = TRUE; }

namespace {

struct DataExchangeFailure {};

HWND topLevelOf(HWND window) {
  while (window != nullptr && (GetWindowLong(window, GWL_STYLE) & WS_CHILD)) window = GetParent(window);
  return window;
}

const char* captionOr(LPCTSTR caption) {
  if (caption != nullptr) return caption;
  const char* app = AfxGetAppName();
  return app != nullptr && *app != '\0' ? app : nullptr;
}

}  // namespace
}  // namespace detail
}  // namespace ui

using namespace ui;
using namespace ui::detail;

// --- Run-time classes ------------------------------------------------------------------------------
const CRuntimeClass CObject::classCObject = {"CObject", sizeof(CObject), nullptr, nullptr};

CRuntimeClass* CObject::GetRuntimeClass() const { return RUNTIME_CLASS(CObject); }

BOOL CObject::IsKindOf(const CRuntimeClass* runtimeClass) const { return GetRuntimeClass()->IsDerivedFrom(runtimeClass); }

CObject* CRuntimeClass::CreateObject() const { return m_pfnCreateObject != nullptr ? m_pfnCreateObject() : nullptr; }

BOOL CRuntimeClass::IsDerivedFrom(const CRuntimeClass* base) const {
  for (const CRuntimeClass* c = this; c != nullptr; c = c->m_pBaseClass) {
    if (c == base) return TRUE;
  }
  return FALSE;
}

IMPLEMENT_DYNAMIC(CCmdTarget, CObject)
IMPLEMENT_DYNAMIC(CWnd, CCmdTarget)
IMPLEMENT_DYNAMIC(CDialog, CWnd)
IMPLEMENT_DYNAMIC(CFrameWnd, CWnd)
IMPLEMENT_DYNAMIC(CView, CWnd)
IMPLEMENT_DYNAMIC(CCtrlView, CView)
IMPLEMENT_DYNAMIC(CListView, CCtrlView)
IMPLEMENT_DYNAMIC(CTreeView, CCtrlView)
IMPLEMENT_DYNAMIC(CSplitterWnd, CWnd)

// --- CString -------------------------------------------------------------------------------------
int CString::Compare(const char* text) const { return std::strcmp(m_str.c_str(), text != nullptr ? text : ""); }

int CString::CompareNoCase(const char* text) const { return strcasecmp(m_str.c_str(), text != nullptr ? text : ""); }

CString CString::Left(int count) const {
  return CString(m_str.substr(0, static_cast<size_t>(std::max(0, std::min(count, GetLength())))));
}

CString CString::Right(int count) const {
  int n = std::max(0, std::min(count, GetLength()));
  return CString(m_str.substr(m_str.size() - static_cast<size_t>(n)));
}

CString CString::Mid(int first) const { return Mid(first, GetLength()); }

CString CString::Mid(int first, int count) const {
  first = std::max(0, std::min(first, GetLength()));
  count = std::max(0, std::min(count, GetLength() - first));
  return CString(m_str.substr(static_cast<size_t>(first), static_cast<size_t>(count)));
}

int CString::Find(char ch, int start) const {
  if (start < 0 || start >= GetLength()) return -1;
  size_t at = m_str.find(ch, static_cast<size_t>(start));
  return at == std::string::npos ? -1 : static_cast<int>(at);
}

int CString::Find(const char* text, int start) const {
  if (text == nullptr || start < 0 || start > GetLength()) return -1;
  size_t at = m_str.find(text, static_cast<size_t>(start));
  return at == std::string::npos ? -1 : static_cast<int>(at);
}

int CString::ReverseFind(char ch) const {
  size_t at = m_str.rfind(ch);
  return at == std::string::npos ? -1 : static_cast<int>(at);
}

int CString::Replace(char from, char to) {
  int count = 0;
  for (char& c : m_str) {
    if (c == from) {
      c = to;
      ++count;
    }
  }
  return count;
}

int CString::Replace(const char* from, const char* to) {
  if (from == nullptr || *from == '\0') return 0;
  std::string replacement = to != nullptr ? to : "";
  size_t length = std::strlen(from);
  int count = 0;
  for (size_t at = m_str.find(from); at != std::string::npos; at = m_str.find(from, at + replacement.size())) {
    m_str.replace(at, length, replacement);
    ++count;
  }
  return count;
}

void CString::MakeLower() {
  for (char& c : m_str) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
}

void CString::MakeUpper() {
  for (char& c : m_str) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
}

void CString::TrimLeft() {
  size_t first = m_str.find_first_not_of(" \t\r\n");
  m_str.erase(0, first == std::string::npos ? m_str.size() : first);
}

void CString::TrimRight() {
  size_t last = m_str.find_last_not_of(" \t\r\n");
  m_str.erase(last == std::string::npos ? 0 : last + 1);
}

void CString::Format(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list copy;
  va_copy(copy, args);
  int length = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  if (length < 0) {
    va_end(args);
    m_str.clear();
    return;
  }
  std::string text(static_cast<size_t>(length) + 1, '\0');
  std::vsnprintf(&text[0], text.size(), format, args);
  va_end(args);
  text.resize(static_cast<size_t>(length));
  m_str.swap(text);
}

BOOL CString::LoadString(UINT id) {
  const std::string* text = findString(id);
  if (text == nullptr) return FALSE;
  m_str = *text;
  return TRUE;
}

LPTSTR CString::GetBuffer(int minLength) {
  if (minLength > GetLength()) m_str.resize(static_cast<size_t>(minLength));
  return &m_str[0];
}

void CString::ReleaseBuffer(int newLength) {
  if (newLength < 0) newLength = static_cast<int>(std::strlen(m_str.c_str()));
  m_str.resize(static_cast<size_t>(std::min(newLength, GetLength())));
}

void CRect::NormalizeRect() {
  if (left > right) std::swap(left, right);
  if (top > bottom) std::swap(top, bottom);
}

BOOL CRect::IntersectRect(LPCRECT a, LPCRECT b) {
  SetRect(std::max(a->left, b->left), std::max(a->top, b->top), std::min(a->right, b->right), std::min(a->bottom, b->bottom));
  if (IsRectEmpty()) {
    SetRectEmpty();
    return FALSE;
  }
  return TRUE;
}

BOOL CRect::UnionRect(LPCRECT a, LPCRECT b) {
  CRect ra(*a), rb(*b);
  if (ra.IsRectEmpty()) {
    *this = rb;
  } else if (rb.IsRectEmpty()) {
    *this = ra;
  } else {
    SetRect(std::min(a->left, b->left), std::min(a->top, b->top), std::max(a->right, b->right), std::max(a->bottom, b->bottom));
  }
  return !IsRectEmpty();
}

// --- Wait cursor, message boxes ---------------------------------------------------------------------
void CCmdTarget::BeginWaitCursor() {
  noteWaitCursor();
  SetCursor(LoadCursor(nullptr, IDC_WAIT));
}

void CCmdTarget::EndWaitCursor() { SetCursor(LoadCursor(nullptr, IDC_ARROW)); }

CWaitCursor::CWaitCursor() {
  noteWaitCursor();
  SetCursor(LoadCursor(nullptr, IDC_WAIT));
}

CWaitCursor::~CWaitCursor() { SetCursor(LoadCursor(nullptr, IDC_ARROW)); }

LONG AfxDllCanUnloadNow() { return ui::topLevelWindows().empty() ? 0 : 1; }

int AfxMessageBox(LPCTSTR text, UINT type, UINT) {
  HWND owner = GetActiveWindow();
  if (owner == nullptr) {
    CWnd* main = AfxGetMainWnd();
    owner = main != nullptr ? main->m_hWnd : nullptr;
  }
  return showMessageBox(owner, text, captionOr(nullptr), type);
}

// --- CWnd ------------------------------------------------------------------------------------------
CWnd::CWnd() = default;

CWnd::~CWnd() {
  if (m_hWnd == nullptr || m_bTemporary) return;
  HWND hwnd = m_hWnd;
  std::shared_ptr<Window> w = findWindow(hwnd);
  if (w && w->cwnd == this) ::DestroyWindow(hwnd);
  // A window already being destroyed lets go of this object.
  withWindow(hwnd, 0, [this](Window& again) -> LRESULT {
    if (again.cwnd == this) again.cwnd = nullptr;
    return 0;
  });
}

const ui::MessageMap* CCmdTarget::GetThisMessageMap() {
  static const ui::MessageMap map{nullptr, {}};
  return &map;
}

const ui::MessageMap* CCmdTarget::GetMessageMap() const { return GetThisMessageMap(); }

CWnd* CWnd::FromHandle(HWND window) {
  CWnd* result = nullptr;
  withWindow(window, 0, [&](Window& w) -> LRESULT {
    if (w.cwnd != nullptr) {
      result = w.cwnd;
    } else {
      if (!w.wrapper) {
        w.wrapper = std::make_unique<CWnd>();
        WndAccess::setTemporary(w.wrapper.get());
        w.wrapper->m_hWnd = w.hwnd;
      }
      result = w.wrapper.get();
    }
    return 0;
  });
  return result;
}

CWnd* CWnd::FromHandlePermanent(HWND window) {
  CWnd* result = nullptr;
  withWindow(window, 0, [&](Window& w) -> LRESULT {
    result = w.cwnd;
    return 0;
  });
  return result;
}

BOOL CWnd::SubclassWindow(HWND window) {
  bool attached = false;
  withWindow(window, 0, [&](Window& w) -> LRESULT {
    if (w.cwnd != nullptr || w.destroying) return 0;
    w.cwnd = this;
    m_hWnd = window;
    attached = true;
    return 0;
  });
  if (attached) PreSubclassWindow();
  return attached ? TRUE : FALSE;
}

BOOL CWnd::SubclassDlgItem(UINT id, CWnd* parent) {
  return parent != nullptr ? SubclassWindow(::GetDlgItem(parent->m_hWnd, static_cast<int>(id))) : FALSE;
}

HWND CWnd::UnsubclassWindow() {
  HWND hwnd = m_hWnd;
  withWindow(hwnd, 0, [this](Window& w) -> LRESULT {
    if (w.cwnd == this) w.cwnd = nullptr;
    return 0;
  });
  m_hWnd = nullptr;
  return hwnd;
}

BOOL CWnd::Create(LPCTSTR className, LPCTSTR windowName, DWORD style, const RECT& rect, CWnd* parent, UINT id,
                  CCreateContext* context) {
  return CreateEx(0, className, windowName, style | WS_CHILD, rect, parent, id, context);
}

BOOL CWnd::CreateEx(DWORD exStyle, LPCTSTR className, LPCTSTR windowName, DWORD style, const RECT& rect, CWnd* parent,
                    UINT id, LPVOID param) {
  return CreateEx(exStyle, className, windowName, style, rect.left, rect.top, rect.right - rect.left,
                  rect.bottom - rect.top, parent != nullptr ? parent->m_hWnd : nullptr,
                  reinterpret_cast<HMENU>(static_cast<uintptr_t>(id)), param);
}

BOOL CWnd::CreateEx(DWORD exStyle, LPCTSTR className, LPCTSTR windowName, DWORD style, int x, int y, int width,
                    int height, HWND parent, HMENU idOrMenu, LPVOID param) {
  if (m_hWnd != nullptr) return FALSE;
  CREATESTRUCT cs{param, AfxGetInstanceHandle(), idOrMenu, parent, height, width, y, x, static_cast<LONG>(style),
                  windowName, className, exStyle};
  if (!PreCreateWindow(cs)) {
    PostNcDestroy();
    return FALSE;
  }
  // On failure after WM_NCCREATE the window was destroyed, and a frame or view deleted itself:
  // nothing of this object may be touched then.
  HWND hwnd = createAttachedWindow(cs.dwExStyle, cs.lpszClass, cs.lpszName, static_cast<DWORD>(cs.style), cs.x, cs.y,
                                   cs.cx, cs.cy, cs.hwndParent, cs.hMenu, cs.lpCreateParams, this);
  return hwnd != nullptr ? TRUE : FALSE;
}

BOOL CWnd::DestroyWindow() { return m_hWnd != nullptr ? ::DestroyWindow(m_hWnd) : FALSE; }

BOOL CWnd::PreCreateWindow(CREATESTRUCT& cs) {
  if (cs.lpszClass == nullptr) cs.lpszClass = AfxRegisterWndClass(CS_HREDRAW | CS_VREDRAW);
  return TRUE;
}

void CWnd::PreSubclassWindow() {}

void CWnd::PostNcDestroy() {}

void CWnd::DoDataExchange(CDataExchange*) {}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT result = 0;
  if (!OnWndMsg(message, wParam, lParam, &result)) result = DefWindowProc(message, wParam, lParam);
  return result;
}

BOOL CWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  if (message == WM_COMMAND) {
    if (!OnCommand(wParam, lParam)) return FALSE;
    *result = 0;
    return TRUE;
  }
  if (message == WM_NOTIFY) {
    LRESULT notifyResult = 0;
    if (!OnNotify(wParam, lParam, &notifyResult)) return FALSE;
    *result = notifyResult;
    return TRUE;
  }
  for (const ui::MessageMap* map = GetMessageMap(); map != nullptr; map = map->base != nullptr ? map->base() : nullptr) {
    for (const ui::MessageMapEntry& entry : map->entries) {
      if (entry.kind == ui::MapEntryKind::Message && entry.message == message) {
        *result = entry.handler(this, wParam, lParam);
        return TRUE;
      }
    }
  }
  return FALSE;
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  return withWindow(m_hWnd, 0, [&](Window& w) { return classProc(w, message, wParam, lParam); });
}

BOOL CWnd::OnCommand(WPARAM wParam, LPARAM lParam) {
  UINT id = LOWORD(wParam);
  UINT code = HIWORD(wParam);
  for (const ui::MessageMap* map = GetMessageMap(); map != nullptr; map = map->base != nullptr ? map->base() : nullptr) {
    for (const ui::MessageMapEntry& entry : map->entries) {
      if (entry.kind == ui::MapEntryKind::Command && entry.code == code && id >= entry.idFirst && id <= entry.idLast) {
        entry.handler(this, wParam, lParam);
        return TRUE;
      }
    }
  }
  return FALSE;
}

BOOL CWnd::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) {
  NMHDR* header = reinterpret_cast<NMHDR*>(lParam);
  if (header == nullptr) return FALSE;
  CWnd* child = FromHandlePermanent(header->hwndFrom);
  if (child != nullptr && child != this && child->OnChildNotify(WM_NOTIFY, wParam, lParam, result)) return TRUE;
  UINT id = static_cast<UINT>(header->idFrom);
  for (const ui::MessageMap* map = GetMessageMap(); map != nullptr; map = map->base != nullptr ? map->base() : nullptr) {
    for (const ui::MessageMapEntry& entry : map->entries) {
      if (entry.kind == ui::MapEntryKind::Notify && entry.code == header->code && id >= entry.idFirst &&
          id <= entry.idLast) {
        *result = entry.handler(this, wParam, lParam);
        return TRUE;
      }
    }
  }
  return FALSE;
}

BOOL CWnd::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  if (message != WM_NOTIFY || lParam == 0) return FALSE;
  UINT code = reinterpret_cast<NMHDR*>(lParam)->code;
  for (const ui::MessageMap* map = GetMessageMap(); map != nullptr; map = map->base != nullptr ? map->base() : nullptr) {
    for (const ui::MessageMapEntry& entry : map->entries) {
      if (entry.kind == ui::MapEntryKind::NotifyReflect && entry.code == code) {
        *result = entry.handler(this, wParam, lParam);
        return TRUE;
      }
    }
  }
  return FALSE;
}

LRESULT CWnd::Default() {
  std::shared_ptr<ThreadQueue> queue = currentQueue();
  if (queue->current.empty()) return 0;
  CurrentMessage current = queue->current.back();
  return DefWindowProc(current.message, current.wParam, current.lParam);
}

int CWnd::OnCreate(LPCREATESTRUCT) { return static_cast<int>(Default()); }
void CWnd::OnDestroy() { Default(); }
void CWnd::OnClose() { Default(); }
void CWnd::OnPaint() { Default(); }
BOOL CWnd::OnEraseBkgnd(CDC*) { return static_cast<BOOL>(Default()); }
void CWnd::OnSize(UINT, int, int) { Default(); }
void CWnd::OnShowWindow(BOOL, UINT) { Default(); }

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) const {
  return ::SendMessage(m_hWnd, message, wParam, lParam);
}

BOOL CWnd::PostMessage(UINT message, WPARAM wParam, LPARAM lParam) const {
  return ::PostMessage(m_hWnd, message, wParam, lParam);
}

void CWnd::SetWindowText(LPCTSTR text) { ::SetWindowText(m_hWnd, text); }

int CWnd::GetWindowText(LPTSTR buffer, int size) const { return ::GetWindowText(m_hWnd, buffer, size); }

void CWnd::GetWindowText(CString& text) const {
  int length = GetWindowTextLength();
  std::string buffer(static_cast<size_t>(length) + 1, '\0');
  int copied = ::GetWindowText(m_hWnd, &buffer[0], length + 1);
  buffer.resize(static_cast<size_t>(std::max(copied, 0)));
  text = buffer;
}

int CWnd::GetWindowTextLength() const { return ::GetWindowTextLength(m_hWnd); }
BOOL CWnd::EnableWindow(BOOL enable) { return ::EnableWindow(m_hWnd, enable); }
BOOL CWnd::IsWindowEnabled() const { return ::IsWindowEnabled(m_hWnd); }
BOOL CWnd::ShowWindow(int command) { return ::ShowWindow(m_hWnd, command); }
BOOL CWnd::IsWindowVisible() const { return ::IsWindowVisible(m_hWnd); }

CWnd* CWnd::GetDlgItem(int id) const {
  HWND item = ::GetDlgItem(m_hWnd, id);
  return item != nullptr ? FromHandle(item) : nullptr;
}

int CWnd::GetDlgCtrlID() const { return ::GetDlgCtrlID(m_hWnd); }

CWnd* CWnd::GetParent() const {
  HWND parent = ::GetParent(m_hWnd);
  return parent != nullptr ? FromHandle(parent) : nullptr;
}

DWORD CWnd::GetStyle() const { return static_cast<DWORD>(::GetWindowLongPtr(m_hWnd, GWL_STYLE)); }
DWORD CWnd::GetExStyle() const { return static_cast<DWORD>(::GetWindowLongPtr(m_hWnd, GWL_EXSTYLE)); }

BOOL CWnd::ModifyStyle(DWORD remove, DWORD add, UINT flags) {
  DWORD style = GetStyle();
  DWORD changed = (style & ~remove) | add;
  if (changed == style) return FALSE;
  ::SetWindowLongPtr(m_hWnd, GWL_STYLE, static_cast<LONG_PTR>(changed));
  if (flags != 0) ::SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | flags);
  return TRUE;
}

BOOL CWnd::ModifyStyleEx(DWORD remove, DWORD add, UINT flags) {
  DWORD style = GetExStyle();
  DWORD changed = (style & ~remove) | add;
  if (changed == style) return FALSE;
  ::SetWindowLongPtr(m_hWnd, GWL_EXSTYLE, static_cast<LONG_PTR>(changed));
  if (flags != 0) ::SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | flags);
  return TRUE;
}

void CWnd::MoveWindow(int x, int y, int width, int height, BOOL repaint) { ::MoveWindow(m_hWnd, x, y, width, height, repaint); }

void CWnd::MoveWindow(LPCRECT rect, BOOL repaint) {
  ::MoveWindow(m_hWnd, rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top, repaint);
}

BOOL CWnd::SetWindowPos(const CWnd* insertAfter, int x, int y, int cx, int cy, UINT flags) {
  return ::SetWindowPos(m_hWnd, insertAfter != nullptr ? insertAfter->m_hWnd : nullptr, x, y, cx, cy, flags);
}

void CWnd::GetClientRect(LPRECT rect) const { ::GetClientRect(m_hWnd, rect); }
void CWnd::GetWindowRect(LPRECT rect) const { ::GetWindowRect(m_hWnd, rect); }
void CWnd::ClientToScreen(LPPOINT point) const { ::ClientToScreen(m_hWnd, point); }

void CWnd::ClientToScreen(LPRECT rect) const {
  POINT origin{0, 0};
  ::ClientToScreen(m_hWnd, &origin);
  rect->left += origin.x;
  rect->right += origin.x;
  rect->top += origin.y;
  rect->bottom += origin.y;
}

void CWnd::ScreenToClient(LPPOINT point) const { ::ScreenToClient(m_hWnd, point); }

void CWnd::ScreenToClient(LPRECT rect) const {
  POINT origin{0, 0};
  ::ClientToScreen(m_hWnd, &origin);
  rect->left -= origin.x;
  rect->right -= origin.x;
  rect->top -= origin.y;
  rect->bottom -= origin.y;
}

void CWnd::MapDialogRect(LPRECT rect) const { ::MapDialogRect(m_hWnd, rect); }
void CWnd::Invalidate(BOOL erase) { ::InvalidateRect(m_hWnd, nullptr, erase); }
void CWnd::InvalidateRect(LPCRECT rect, BOOL erase) { ::InvalidateRect(m_hWnd, rect, erase); }
void CWnd::ValidateRect(LPCRECT rect) { ::ValidateRect(m_hWnd, rect); }
void CWnd::UpdateWindow() { ::UpdateWindow(m_hWnd); }

BOOL CWnd::RedrawWindow(LPCRECT rect, CRgn* region, UINT flags) {
  return ::RedrawWindow(m_hWnd, rect, region != nullptr ? static_cast<HRGN>(region->m_hObject) : nullptr, flags);
}

void CWnd::SetFont(CFont* font, BOOL redraw) {
  SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(font != nullptr ? font->m_hObject : nullptr), MAKELPARAM(redraw, 0));
}

CFont* CWnd::GetFont() const { return CFont::FromHandle(reinterpret_cast<HFONT>(SendMessage(WM_GETFONT))); }

CWnd* CWnd::SetFocus() {
  HWND old = ::SetFocus(m_hWnd);
  return old != nullptr ? FromHandle(old) : nullptr;
}

CWnd* CWnd::GetFocus() {
  HWND focus = ::GetFocus();
  return focus != nullptr ? FromHandle(focus) : nullptr;
}

CWnd* CWnd::GetActiveWindow() {
  HWND active = ::GetActiveWindow();
  return active != nullptr ? FromHandle(active) : nullptr;
}

int CWnd::MessageBox(LPCTSTR text, LPCTSTR caption, UINT type) {
  return showMessageBox(m_hWnd, text, captionOr(caption), type);
}

BOOL CWnd::UpdateData(BOOL saveAndValidate) {
  CDataExchange dx(this, saveAndValidate);
  try {
    DoDataExchange(&dx);
  } catch (const DataExchangeFailure&) {
    return FALSE;
  }
  return TRUE;
}

// --- Dialogs and data exchange --------------------------------------------------------------------
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
    ::SendMessage(hwnd, WM_COMMAND, MAKEWPARAM(command, BN_CLICKED), reinterpret_cast<LPARAM>(::GetDlgItem(hwnd, command)));
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

void DDX_Check(CDataExchange* dx, int id, int& value) {
  HWND hwnd = dx->PrepareCtrl(id);
  if (dx->m_bSaveAndValidate) {
    value = static_cast<int>(SendMessage(hwnd, BM_GETCHECK));
  } else {
    SendMessage(hwnd, BM_SETCHECK, static_cast<WPARAM>(value));
  }
}

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

void DDX_CBIndex(CDataExchange* dx, int id, int& value) {
  HWND hwnd = dx->PrepareCtrl(id);
  if (dx->m_bSaveAndValidate) {
    value = static_cast<int>(SendMessage(hwnd, CB_GETCURSEL));
  } else {
    SendMessage(hwnd, CB_SETCURSEL, static_cast<WPARAM>(value));
  }
}

// --- Controls --------------------------------------------------------------------------------------
BOOL CButton::Create(LPCTSTR caption, DWORD style, const RECT& rect, CWnd* parent, UINT id) {
  return CWnd::Create(WC_BUTTON, caption, style, rect, parent, id);
}
int CButton::GetCheck() const { return static_cast<int>(SendMessage(BM_GETCHECK)); }
void CButton::SetCheck(int check) { SendMessage(BM_SETCHECK, static_cast<WPARAM>(check)); }
UINT CButton::GetState() const { return static_cast<UINT>(SendMessage(BM_GETSTATE)); }
void CButton::SetState(BOOL highlight) { SendMessage(BM_SETSTATE, static_cast<WPARAM>(highlight)); }
UINT CButton::GetButtonStyle() const { return GetStyle() & 0xffu; }
void CButton::SetButtonStyle(UINT style, BOOL redraw) { SendMessage(BM_SETSTYLE, style, static_cast<LPARAM>(redraw)); }

BOOL CEdit::Create(DWORD style, const RECT& rect, CWnd* parent, UINT id) {
  return CWnd::Create(WC_EDIT, nullptr, style, rect, parent, id);
}
void CEdit::SetSel(int start, int end, BOOL) { SendMessage(EM_SETSEL, static_cast<WPARAM>(start), end); }
void CEdit::GetSel(int& start, int& end) const {
  DWORD s = 0, e = 0;
  SendMessage(EM_GETSEL, reinterpret_cast<WPARAM>(&s), reinterpret_cast<LPARAM>(&e));
  start = static_cast<int>(s);
  end = static_cast<int>(e);
}
void CEdit::ReplaceSel(LPCTSTR text, BOOL canUndo) {
  SendMessage(EM_REPLACESEL, static_cast<WPARAM>(canUndo), reinterpret_cast<LPARAM>(text));
}

BOOL CStatic::Create(LPCTSTR text, DWORD style, const RECT& rect, CWnd* parent, UINT id) {
  return CWnd::Create(WC_STATIC, text, style, rect, parent, id);
}

BOOL CComboBox::Create(DWORD style, const RECT& rect, CWnd* parent, UINT id) {
  return CWnd::Create(WC_COMBOBOX, nullptr, style, rect, parent, id);
}
int CComboBox::AddString(LPCTSTR text) { return static_cast<int>(SendMessage(CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text))); }
int CComboBox::InsertString(int index, LPCTSTR text) {
  return static_cast<int>(SendMessage(CB_INSERTSTRING, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text)));
}
int CComboBox::DeleteString(UINT index) { return static_cast<int>(SendMessage(CB_DELETESTRING, index)); }
void CComboBox::ResetContent() { SendMessage(CB_RESETCONTENT); }
int CComboBox::GetCount() const { return static_cast<int>(SendMessage(CB_GETCOUNT)); }
int CComboBox::GetCurSel() const { return static_cast<int>(SendMessage(CB_GETCURSEL)); }
int CComboBox::SetCurSel(int index) { return static_cast<int>(SendMessage(CB_SETCURSEL, static_cast<WPARAM>(index))); }
int CComboBox::GetLBText(int index, LPTSTR buffer) const {
  return static_cast<int>(SendMessage(CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(buffer)));
}
void CComboBox::GetLBText(int index, CString& text) const {
  int length = GetLBTextLen(index);
  if (length < 0) {
    text.Empty();
    return;
  }
  std::string buffer(static_cast<size_t>(length) + 1, '\0');
  GetLBText(index, &buffer[0]);
  buffer.resize(static_cast<size_t>(length));
  text = buffer;
}
int CComboBox::GetLBTextLen(int index) const { return static_cast<int>(SendMessage(CB_GETLBTEXTLEN, static_cast<WPARAM>(index))); }
DWORD_PTR CComboBox::GetItemData(int index) const {
  return static_cast<DWORD_PTR>(SendMessage(CB_GETITEMDATA, static_cast<WPARAM>(index)));
}
int CComboBox::SetItemData(int index, DWORD_PTR data) {
  return static_cast<int>(SendMessage(CB_SETITEMDATA, static_cast<WPARAM>(index), static_cast<LPARAM>(data)));
}
int CComboBox::FindString(int startAfter, LPCTSTR prefix) const {
  return static_cast<int>(SendMessage(CB_FINDSTRING, static_cast<WPARAM>(startAfter), reinterpret_cast<LPARAM>(prefix)));
}
int CComboBox::FindStringExact(int startAfter, LPCTSTR text) const {
  return static_cast<int>(SendMessage(CB_FINDSTRINGEXACT, static_cast<WPARAM>(startAfter), reinterpret_cast<LPARAM>(text)));
}
int CComboBox::SelectString(int startAfter, LPCTSTR prefix) {
  return static_cast<int>(SendMessage(CB_SELECTSTRING, static_cast<WPARAM>(startAfter), reinterpret_cast<LPARAM>(prefix)));
}
BOOL CComboBox::GetDroppedState() const { return static_cast<BOOL>(SendMessage(CB_GETDROPPEDSTATE)); }

BOOL CListCtrl::Create(DWORD style, const RECT& rect, CWnd* parent, UINT id) {
  return CWnd::Create(WC_LISTVIEW, nullptr, style, rect, parent, id);
}
DWORD CListCtrl::SetExtendedStyle(DWORD style) {
  return static_cast<DWORD>(SendMessage(LVM_SETEXTENDEDLISTVIEWSTYLE, 0, static_cast<LPARAM>(style)));
}
DWORD CListCtrl::GetExtendedStyle() const { return static_cast<DWORD>(SendMessage(LVM_GETEXTENDEDLISTVIEWSTYLE)); }
CImageList* CListCtrl::SetImageList(CImageList* images, int type) {
  return CImageList::FromHandle(reinterpret_cast<HIMAGELIST>(SendMessage(
      LVM_SETIMAGELIST, static_cast<WPARAM>(type), reinterpret_cast<LPARAM>(images != nullptr ? images->m_hImageList : nullptr))));
}
CImageList* CListCtrl::GetImageList(int type) const {
  return CImageList::FromHandle(reinterpret_cast<HIMAGELIST>(SendMessage(LVM_GETIMAGELIST, static_cast<WPARAM>(type))));
}
int CListCtrl::InsertColumn(int column, const LVCOLUMN* info) {
  return static_cast<int>(SendMessage(LVM_INSERTCOLUMN, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(info)));
}
int CListCtrl::InsertColumn(int column, LPCTSTR heading, int format, int width, int subItem) {
  LVCOLUMN info{};
  info.mask = LVCF_FMT | LVCF_TEXT;
  info.pszText = const_cast<LPSTR>(heading);
  info.fmt = format;
  if (width != -1) {
    info.mask |= LVCF_WIDTH;
    info.cx = width;
  }
  if (subItem != -1) {
    info.mask |= LVCF_SUBITEM;
    info.iSubItem = subItem;
  }
  return InsertColumn(column, &info);
}
BOOL CListCtrl::DeleteColumn(int column) { return static_cast<BOOL>(SendMessage(LVM_DELETECOLUMN, static_cast<WPARAM>(column))); }
int CListCtrl::GetColumnWidth(int column) const {
  return static_cast<int>(SendMessage(LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(column)));
}
BOOL CListCtrl::SetColumnWidth(int column, int width) {
  return static_cast<BOOL>(SendMessage(LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(column), MAKELPARAM(width, 0)));
}
int CListCtrl::InsertItem(const LVITEM* item) {
  return static_cast<int>(SendMessage(LVM_INSERTITEM, 0, reinterpret_cast<LPARAM>(item)));
}
int CListCtrl::InsertItem(int item, LPCTSTR text) {
  return InsertItem(LVIF_TEXT, item, text, 0, 0, 0, 0);
}
int CListCtrl::InsertItem(int item, LPCTSTR text, int image) {
  return InsertItem(LVIF_TEXT | LVIF_IMAGE, item, text, 0, 0, image, 0);
}
int CListCtrl::InsertItem(UINT mask, int item, LPCTSTR text, UINT state, UINT stateMask, int image, LPARAM lParam) {
  LVITEM info{};
  info.mask = mask;
  info.iItem = item;
  info.pszText = const_cast<LPSTR>(text);
  info.state = state;
  info.stateMask = stateMask;
  info.iImage = image;
  info.lParam = lParam;
  return InsertItem(&info);
}
BOOL CListCtrl::SetItem(const LVITEM* item) { return static_cast<BOOL>(SendMessage(LVM_SETITEM, 0, reinterpret_cast<LPARAM>(item))); }
BOOL CListCtrl::SetItem(int item, int subItem, UINT mask, LPCTSTR text, int image, UINT state, UINT stateMask, LPARAM lParam) {
  LVITEM info{};
  info.mask = mask;
  info.iItem = item;
  info.iSubItem = subItem;
  info.pszText = const_cast<LPSTR>(text);
  info.iImage = image;
  info.state = state;
  info.stateMask = stateMask;
  info.lParam = lParam;
  return SetItem(&info);
}
BOOL CListCtrl::GetItem(LVITEM* item) const { return static_cast<BOOL>(SendMessage(LVM_GETITEM, 0, reinterpret_cast<LPARAM>(item))); }
BOOL CListCtrl::SetItemText(int item, int subItem, LPCTSTR text) {
  LVITEM info{};
  info.iSubItem = subItem;
  info.pszText = const_cast<LPSTR>(text);
  return static_cast<BOOL>(SendMessage(LVM_SETITEMTEXT, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&info)));
}
CString CListCtrl::GetItemText(int item, int subItem) const {
  std::string buffer;
  for (size_t size = 256;; size *= 2) {
    buffer.assign(size, '\0');
    int copied = GetItemText(item, subItem, &buffer[0], static_cast<int>(size));
    if (static_cast<size_t>(copied) < size - 1) {
      buffer.resize(static_cast<size_t>(copied));
      return CString(buffer);
    }
  }
}
int CListCtrl::GetItemText(int item, int subItem, LPTSTR buffer, int length) const {
  LVITEM info{};
  info.iSubItem = subItem;
  info.pszText = buffer;
  info.cchTextMax = length;
  return static_cast<int>(SendMessage(LVM_GETITEMTEXT, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&info)));
}
BOOL CListCtrl::SetItemState(int item, UINT state, UINT mask) {
  LVITEM info{};
  info.state = state;
  info.stateMask = mask;
  return static_cast<BOOL>(SendMessage(LVM_SETITEMSTATE, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&info)));
}
UINT CListCtrl::GetItemState(int item, UINT mask) const {
  return static_cast<UINT>(SendMessage(LVM_GETITEMSTATE, static_cast<WPARAM>(item), static_cast<LPARAM>(mask)));
}
BOOL CListCtrl::SetItemData(int item, DWORD_PTR data) {
  return SetItem(item, 0, LVIF_PARAM, nullptr, 0, 0, 0, static_cast<LPARAM>(data));
}
DWORD_PTR CListCtrl::GetItemData(int item) const {
  LVITEM info{};
  info.mask = LVIF_PARAM;
  info.iItem = item;
  GetItem(&info);
  return static_cast<DWORD_PTR>(info.lParam);
}
BOOL CListCtrl::SetCheck(int item, BOOL check) { return SetItemState(item, INDEXTOSTATEIMAGEMASK(check ? 2 : 1), LVIS_STATEIMAGEMASK); }
BOOL CListCtrl::GetCheck(int item) const {
  return static_cast<BOOL>(GetItemState(item, LVIS_STATEIMAGEMASK) >> 12) - 1;
}
BOOL CListCtrl::DeleteItem(int item) { return static_cast<BOOL>(SendMessage(LVM_DELETEITEM, static_cast<WPARAM>(item))); }
BOOL CListCtrl::DeleteAllItems() { return static_cast<BOOL>(SendMessage(LVM_DELETEALLITEMS)); }
int CListCtrl::GetItemCount() const { return static_cast<int>(SendMessage(LVM_GETITEMCOUNT)); }
UINT CListCtrl::GetSelectedCount() const { return static_cast<UINT>(SendMessage(LVM_GETSELECTEDCOUNT)); }
int CListCtrl::GetNextItem(int item, int flags) const {
  return static_cast<int>(SendMessage(LVM_GETNEXTITEM, static_cast<WPARAM>(item), static_cast<LPARAM>(flags)));
}
POSITION CListCtrl::GetFirstSelectedItemPosition() const {
  int first = GetNextItem(-1, LVNI_SELECTED);
  return reinterpret_cast<POSITION>(static_cast<intptr_t>(first + 1));
}
int CListCtrl::GetNextSelectedItem(POSITION& position) const {
  int item = static_cast<int>(reinterpret_cast<intptr_t>(position)) - 1;
  position = reinterpret_cast<POSITION>(static_cast<intptr_t>(GetNextItem(item, LVNI_SELECTED) + 1));
  return item;
}
int CListCtrl::FindItem(LVFINDINFO* info, int start) const {
  return static_cast<int>(SendMessage(LVM_FINDITEM, static_cast<WPARAM>(start), reinterpret_cast<LPARAM>(info)));
}
int CListCtrl::HitTest(LVHITTESTINFO* info) const {
  return static_cast<int>(SendMessage(LVM_HITTEST, 0, reinterpret_cast<LPARAM>(info)));
}
int CListCtrl::HitTest(CPoint point, UINT* flags) const {
  LVHITTESTINFO info{};
  info.pt = point;
  int item = HitTest(&info);
  if (flags != nullptr) *flags = info.flags;
  return item;
}
BOOL CListCtrl::GetItemRect(int item, LPRECT rect, UINT code) const {
  rect->left = static_cast<LONG>(code);
  return static_cast<BOOL>(SendMessage(LVM_GETITEMRECT, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(rect)));
}
BOOL CListCtrl::EnsureVisible(int item, BOOL partialOK) {
  return static_cast<BOOL>(SendMessage(LVM_ENSUREVISIBLE, static_cast<WPARAM>(item), partialOK));
}

BOOL CTreeCtrl::Create(DWORD style, const RECT& rect, CWnd* parent, UINT id) {
  return CWnd::Create(WC_TREEVIEW, nullptr, style, rect, parent, id);
}
CImageList* CTreeCtrl::SetImageList(CImageList* images, int type) {
  return CImageList::FromHandle(reinterpret_cast<HIMAGELIST>(SendMessage(
      TVM_SETIMAGELIST, static_cast<WPARAM>(type), reinterpret_cast<LPARAM>(images != nullptr ? images->m_hImageList : nullptr))));
}
CImageList* CTreeCtrl::GetImageList(UINT type) const {
  return CImageList::FromHandle(reinterpret_cast<HIMAGELIST>(SendMessage(TVM_GETIMAGELIST, type)));
}
HTREEITEM CTreeCtrl::InsertItem(LPTVINSERTSTRUCT insert) {
  return reinterpret_cast<HTREEITEM>(SendMessage(TVM_INSERTITEM, 0, reinterpret_cast<LPARAM>(insert)));
}
HTREEITEM CTreeCtrl::InsertItem(LPCTSTR text, HTREEITEM parent, HTREEITEM after) {
  return InsertItem(TVIF_TEXT, text, 0, 0, 0, 0, 0, parent, after);
}
HTREEITEM CTreeCtrl::InsertItem(LPCTSTR text, int image, int selectedImage, HTREEITEM parent, HTREEITEM after) {
  return InsertItem(TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE, text, image, selectedImage, 0, 0, 0, parent, after);
}
HTREEITEM CTreeCtrl::InsertItem(UINT mask, LPCTSTR text, int image, int selectedImage, UINT state, UINT stateMask,
                                LPARAM lParam, HTREEITEM parent, HTREEITEM after) {
  TVINSERTSTRUCT insert{};
  insert.hParent = parent;
  insert.hInsertAfter = after;
  insert.item.mask = mask;
  insert.item.pszText = const_cast<LPSTR>(text);
  insert.item.iImage = image;
  insert.item.iSelectedImage = selectedImage;
  insert.item.state = state;
  insert.item.stateMask = stateMask;
  insert.item.lParam = lParam;
  return InsertItem(&insert);
}
BOOL CTreeCtrl::DeleteItem(HTREEITEM item) { return static_cast<BOOL>(SendMessage(TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(item))); }
BOOL CTreeCtrl::DeleteAllItems() { return DeleteItem(TVI_ROOT); }
UINT CTreeCtrl::GetCount() const { return static_cast<UINT>(SendMessage(TVM_GETCOUNT)); }
HTREEITEM CTreeCtrl::GetNextItem(HTREEITEM item, UINT code) const {
  return reinterpret_cast<HTREEITEM>(SendMessage(TVM_GETNEXTITEM, code, reinterpret_cast<LPARAM>(item)));
}
HTREEITEM CTreeCtrl::GetRootItem() const { return GetNextItem(nullptr, TVGN_ROOT); }
HTREEITEM CTreeCtrl::GetChildItem(HTREEITEM item) const { return GetNextItem(item, TVGN_CHILD); }
HTREEITEM CTreeCtrl::GetNextSiblingItem(HTREEITEM item) const { return GetNextItem(item, TVGN_NEXT); }
HTREEITEM CTreeCtrl::GetPrevSiblingItem(HTREEITEM item) const { return GetNextItem(item, TVGN_PREVIOUS); }
HTREEITEM CTreeCtrl::GetParentItem(HTREEITEM item) const { return GetNextItem(item, TVGN_PARENT); }
HTREEITEM CTreeCtrl::GetSelectedItem() const { return GetNextItem(nullptr, TVGN_CARET); }
HTREEITEM CTreeCtrl::GetFirstVisibleItem() const { return GetNextItem(nullptr, TVGN_FIRSTVISIBLE); }
BOOL CTreeCtrl::ItemHasChildren(HTREEITEM item) const {
  TVITEM info{};
  info.mask = TVIF_HANDLE | TVIF_CHILDREN;
  info.hItem = item;
  GetItem(&info);
  return info.cChildren != 0;
}
BOOL CTreeCtrl::Select(HTREEITEM item, UINT code) {
  return static_cast<BOOL>(SendMessage(TVM_SELECTITEM, code, reinterpret_cast<LPARAM>(item)));
}
BOOL CTreeCtrl::SelectItem(HTREEITEM item) { return Select(item, TVGN_CARET); }
BOOL CTreeCtrl::SelectSetFirstVisible(HTREEITEM item) { return Select(item, TVGN_FIRSTVISIBLE); }
BOOL CTreeCtrl::Expand(HTREEITEM item, UINT code) {
  return static_cast<BOOL>(SendMessage(TVM_EXPAND, code, reinterpret_cast<LPARAM>(item)));
}
BOOL CTreeCtrl::EnsureVisible(HTREEITEM item) {
  return static_cast<BOOL>(SendMessage(TVM_ENSUREVISIBLE, 0, reinterpret_cast<LPARAM>(item)));
}
BOOL CTreeCtrl::GetItem(TVITEM* item) const { return static_cast<BOOL>(SendMessage(TVM_GETITEM, 0, reinterpret_cast<LPARAM>(item))); }
BOOL CTreeCtrl::SetItem(TVITEM* item) { return static_cast<BOOL>(SendMessage(TVM_SETITEM, 0, reinterpret_cast<LPARAM>(item))); }
CString CTreeCtrl::GetItemText(HTREEITEM item) const {
  std::string buffer;
  for (size_t size = 256;; size *= 2) {
    buffer.assign(size, '\0');
    TVITEM info{};
    info.mask = TVIF_HANDLE | TVIF_TEXT;
    info.hItem = item;
    info.pszText = &buffer[0];
    info.cchTextMax = static_cast<int>(size);
    if (!GetItem(&info)) return CString();
    size_t length = std::strlen(buffer.c_str());
    if (length < size - 1) {
      buffer.resize(length);
      return CString(buffer);
    }
  }
}
BOOL CTreeCtrl::SetItemText(HTREEITEM item, LPCTSTR text) {
  TVITEM info{};
  info.mask = TVIF_HANDLE | TVIF_TEXT;
  info.hItem = item;
  info.pszText = const_cast<LPSTR>(text);
  return SetItem(&info);
}
DWORD_PTR CTreeCtrl::GetItemData(HTREEITEM item) const {
  TVITEM info{};
  info.mask = TVIF_HANDLE | TVIF_PARAM;
  info.hItem = item;
  GetItem(&info);
  return static_cast<DWORD_PTR>(info.lParam);
}
BOOL CTreeCtrl::SetItemData(HTREEITEM item, DWORD_PTR data) {
  TVITEM info{};
  info.mask = TVIF_HANDLE | TVIF_PARAM;
  info.hItem = item;
  info.lParam = static_cast<LPARAM>(data);
  return SetItem(&info);
}
UINT CTreeCtrl::GetItemState(HTREEITEM item, UINT mask) const {
  TVITEM info{};
  info.mask = TVIF_HANDLE | TVIF_STATE;
  info.hItem = item;
  info.stateMask = mask;
  GetItem(&info);
  return info.state & mask;
}
BOOL CTreeCtrl::SetItemState(HTREEITEM item, UINT state, UINT mask) {
  TVITEM info{};
  info.mask = TVIF_HANDLE | TVIF_STATE;
  info.hItem = item;
  info.state = state;
  info.stateMask = mask;
  return SetItem(&info);
}
BOOL CTreeCtrl::GetCheck(HTREEITEM item) const {
  return static_cast<BOOL>(GetItemState(item, TVIS_STATEIMAGEMASK) >> 12) - 1;
}
BOOL CTreeCtrl::SetCheck(HTREEITEM item, BOOL check) {
  return SetItemState(item, INDEXTOSTATEIMAGEMASK(check ? 2 : 1), TVIS_STATEIMAGEMASK);
}
HTREEITEM CTreeCtrl::HitTest(CPoint point, UINT* flags) const {
  TVHITTESTINFO info{};
  info.pt = point;
  HTREEITEM item = HitTest(&info);
  if (flags != nullptr) *flags = info.flags;
  return item;
}
HTREEITEM CTreeCtrl::HitTest(TVHITTESTINFO* info) const {
  return reinterpret_cast<HTREEITEM>(SendMessage(TVM_HITTEST, 0, reinterpret_cast<LPARAM>(info)));
}
BOOL CTreeCtrl::GetItemRect(HTREEITEM item, LPRECT rect, BOOL textOnly) const {
  std::memcpy(rect, &item, sizeof item);
  return static_cast<BOOL>(SendMessage(TVM_GETITEMRECT, static_cast<WPARAM>(textOnly), reinterpret_cast<LPARAM>(rect)));
}

BOOL CProgressCtrl::Create(DWORD style, const RECT& rect, CWnd* parent, UINT id) {
  return CWnd::Create(PROGRESS_CLASS, nullptr, style, rect, parent, id);
}
void CProgressCtrl::SetRange(short lower, short upper) { SendMessage(PBM_SETRANGE, 0, MAKELPARAM(lower, upper)); }
void CProgressCtrl::SetRange32(int lower, int upper) {
  SendMessage(PBM_SETRANGE32, static_cast<WPARAM>(lower), static_cast<LPARAM>(upper));
}
void CProgressCtrl::GetRange(int& lower, int& upper) const {
  PBRANGE range{0, 0};
  SendMessage(PBM_GETRANGE, TRUE, reinterpret_cast<LPARAM>(&range));
  lower = range.iLow;
  upper = range.iHigh;
}
int CProgressCtrl::SetPos(int position) { return static_cast<int>(SendMessage(PBM_SETPOS, static_cast<WPARAM>(position))); }
int CProgressCtrl::GetPos() const { return static_cast<int>(SendMessage(PBM_GETPOS)); }
int CProgressCtrl::OffsetPos(int delta) { return static_cast<int>(SendMessage(PBM_DELTAPOS, static_cast<WPARAM>(delta))); }
int CProgressCtrl::SetStep(int step) { return static_cast<int>(SendMessage(PBM_SETSTEP, static_cast<WPARAM>(step))); }
int CProgressCtrl::StepIt() { return static_cast<int>(SendMessage(PBM_STEPIT)); }

BOOL CTabCtrl::Create(DWORD style, const RECT& rect, CWnd* parent, UINT id) {
  return CWnd::Create(WC_TABCONTROL, nullptr, style, rect, parent, id);
}
int CTabCtrl::InsertItem(int item, LPCTSTR text) {
  TCITEM info{};
  info.mask = TCIF_TEXT;
  info.pszText = const_cast<LPSTR>(text);
  return InsertItem(item, &info);
}
int CTabCtrl::InsertItem(int item, TCITEM* info) {
  return static_cast<int>(SendMessage(TCM_INSERTITEM, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(info)));
}
BOOL CTabCtrl::DeleteAllItems() { return static_cast<BOOL>(SendMessage(TCM_DELETEALLITEMS)); }
int CTabCtrl::GetItemCount() const { return static_cast<int>(SendMessage(TCM_GETITEMCOUNT)); }
int CTabCtrl::GetCurSel() const { return static_cast<int>(SendMessage(TCM_GETCURSEL)); }
int CTabCtrl::SetCurSel(int item) { return static_cast<int>(SendMessage(TCM_SETCURSEL, static_cast<WPARAM>(item))); }
void CTabCtrl::AdjustRect(BOOL larger, LPRECT rect) {
  SendMessage(TCM_ADJUSTRECT, static_cast<WPARAM>(larger), reinterpret_cast<LPARAM>(rect));
}
BOOL CTabCtrl::GetItemRect(int item, LPRECT rect) const {
  return static_cast<BOOL>(SendMessage(TCM_GETITEMRECT, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(rect)));
}

// --- Frames, views and splitters -----------------------------------------------------------------------
const CRect CFrameWnd::rectDefault(CW_USEDEFAULT, CW_USEDEFAULT, 0, 0);

BEGIN_MESSAGE_MAP(CFrameWnd, CWnd)
  ON_WM_SIZE()
END_MESSAGE_MAP()

BOOL CFrameWnd::Create(LPCTSTR className, LPCTSTR windowName, DWORD style, const RECT& rect, CWnd* parent, LPCTSTR,
                       DWORD exStyle, CCreateContext* context) {
  bool defaultPlace = rect.left == CW_USEDEFAULT;
  return CreateEx(exStyle, className, windowName, style, defaultPlace ? 0 : rect.left, defaultPlace ? 0 : rect.top,
                  defaultPlace ? 0 : rect.right - rect.left, defaultPlace ? 0 : rect.bottom - rect.top,
                  parent != nullptr ? parent->m_hWnd : nullptr, nullptr, context);
}

BOOL CFrameWnd::PreCreateWindow(CREATESTRUCT& cs) {
  if (cs.lpszClass == nullptr) {
    cs.lpszClass = AfxRegisterWndClass(CS_HREDRAW | CS_VREDRAW, LoadCursor(nullptr, IDC_ARROW),
                                       static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  }
  return TRUE;
}

void CFrameWnd::PostNcDestroy() { delete this; }

void CFrameWnd::RecalcLayout(BOOL) {
  HWND pane = ::GetDlgItem(m_hWnd, AFX_IDW_PANE_FIRST);
  if (pane == nullptr) return;
  RECT client{0, 0, 0, 0};
  GetClientRect(&client);
  ::MoveWindow(pane, 0, 0, client.right, client.bottom, TRUE);
}

void CFrameWnd::OnSize(UINT type, int cx, int cy) {
  CWnd::OnSize(type, cx, cy);
  RecalcLayout();
}

BEGIN_MESSAGE_MAP(CView, CWnd)
  ON_WM_PAINT()
END_MESSAGE_MAP()

BOOL CView::PreCreateWindow(CREATESTRUCT& cs) {
  if (cs.lpszClass == nullptr) {
    cs.lpszClass = AfxRegisterWndClass(CS_HREDRAW | CS_VREDRAW, LoadCursor(nullptr, IDC_ARROW),
                                       static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  }
  return TRUE;
}

void CView::PostNcDestroy() { delete this; }

void CView::OnPaint() {
  CPaintDC dc(this);
  OnDraw(&dc);
}

BEGIN_MESSAGE_MAP(CCtrlView, CView)
  ON_WM_PAINT()
END_MESSAGE_MAP()

CCtrlView::CCtrlView(LPCTSTR className, DWORD style) : m_strClass(className), m_dwDefaultStyle(style) {}

void CCtrlView::OnDraw(CDC*) {}

BOOL CCtrlView::PreCreateWindow(CREATESTRUCT& cs) {
  cs.lpszClass = m_strClass.c_str();
  cs.style |= static_cast<LONG>(m_dwDefaultStyle);
  return TRUE;
}

void CCtrlView::OnPaint() { Default(); }

CListView::CListView() : CCtrlView(WC_LISTVIEW, AFX_WS_DEFAULT_VIEW) { WndAccess::setTemporary(&m_list); }

CListCtrl& CListView::GetListCtrl() const {
  m_list.m_hWnd = m_hWnd;
  return m_list;
}

CTreeView::CTreeView() : CCtrlView(WC_TREEVIEW, AFX_WS_DEFAULT_VIEW) { WndAccess::setTemporary(&m_tree); }

CTreeCtrl& CTreeView::GetTreeCtrl() const {
  m_tree.m_hWnd = m_hWnd;
  return m_tree;
}

BEGIN_MESSAGE_MAP(CSplitterWnd, CWnd)
  ON_WM_SIZE()
END_MESSAGE_MAP()

CSplitterWnd::CSplitterWnd() = default;

BOOL CSplitterWnd::CreateStatic(CWnd* parent, int rows, int columns, DWORD style, UINT id) {
  if (parent == nullptr || rows < 1 || columns < 1 || m_hWnd != nullptr) return FALSE;
  m_nRows = rows;
  m_nCols = columns;
  m_colIdeal.assign(static_cast<size_t>(columns), 0);
  m_colMin.assign(static_cast<size_t>(columns), 0);
  m_rowIdeal.assign(static_cast<size_t>(rows), 0);
  m_rowMin.assign(static_cast<size_t>(rows), 0);
  RECT client{0, 0, 0, 0};
  parent->GetClientRect(&client);
  return CreateEx(0, AfxRegisterWndClass(0), nullptr, style | WS_CHILD, 0, 0, client.right, client.bottom,
                  parent->m_hWnd, reinterpret_cast<HMENU>(static_cast<uintptr_t>(id)));
}

BOOL CSplitterWnd::CreateView(int row, int column, CRuntimeClass* viewClass, SIZE initialSize, CCreateContext* context) {
  if (row < 0 || row >= m_nRows || column < 0 || column >= m_nCols || viewClass == nullptr) return FALSE;
  m_colIdeal[static_cast<size_t>(column)] = initialSize.cx;
  m_rowIdeal[static_cast<size_t>(row)] = initialSize.cy;
  CObject* object = viewClass->CreateObject();
  CWnd* view = dynamic_cast<CWnd*>(object);
  if (view == nullptr) {
    delete object;
    return FALSE;
  }
  RECT rect{0, 0, initialSize.cx, initialSize.cy};
  if (!view->Create(nullptr, nullptr, AFX_WS_DEFAULT_VIEW & ~WS_BORDER, rect, this,
                    static_cast<UINT>(IdFromRowCol(row, column)), context)) {
    return FALSE;  // the view deleted itself with its window, if it had one
  }
  RecalcLayout();
  return TRUE;
}

void CSplitterWnd::SetColumnInfo(int column, int ideal, int minimum) {
  if (column < 0 || column >= m_nCols) return;
  m_colIdeal[static_cast<size_t>(column)] = ideal;
  m_colMin[static_cast<size_t>(column)] = minimum;
}

void CSplitterWnd::GetColumnInfo(int column, int& current, int& minimum) const {
  current = minimum = 0;
  if (column < 0 || column >= m_nCols) return;
  RECT rect{0, 0, 0, 0};
  if (CWnd* pane = GetPane(0, column)) pane->GetClientRect(&rect);
  current = rect.right;
  minimum = m_colMin[static_cast<size_t>(column)];
}

void CSplitterWnd::SetRowInfo(int row, int ideal, int minimum) {
  if (row < 0 || row >= m_nRows) return;
  m_rowIdeal[static_cast<size_t>(row)] = ideal;
  m_rowMin[static_cast<size_t>(row)] = minimum;
}

CWnd* CSplitterWnd::GetPane(int row, int column) const {
  HWND pane = ::GetDlgItem(m_hWnd, IdFromRowCol(row, column));
  return pane != nullptr ? FromHandle(pane) : nullptr;
}

int CSplitterWnd::IdFromRowCol(int row, int column) const { return AFX_IDW_PANE_FIRST + row * 16 + column; }

namespace {
// Splits `total` among panes by their ideal sizes (at least their minimum); the last one takes
// the rest.
std::vector<std::pair<int, int>> layoutPanes(int total, const std::vector<int>& ideal, const std::vector<int>& minimum) {
  std::vector<std::pair<int, int>> spans;
  int position = 0;
  for (size_t i = 0; i < ideal.size(); ++i) {
    int remaining = std::max(0, total - position);
    int size = i + 1 == ideal.size() ? remaining : std::min(std::max(ideal[i], minimum[i]), remaining);
    spans.emplace_back(position, size);
    position += size + CSplitterWnd::kSplitterGap;
  }
  return spans;
}
}  // namespace

void CSplitterWnd::RecalcLayout() {
  if (m_hWnd == nullptr) return;
  RECT client{0, 0, 0, 0};
  GetClientRect(&client);
  std::vector<std::pair<int, int>> columns = layoutPanes(client.right, m_colIdeal, m_colMin);
  std::vector<std::pair<int, int>> rows = layoutPanes(client.bottom, m_rowIdeal, m_rowMin);
  for (int row = 0; row < m_nRows; ++row) {
    for (int column = 0; column < m_nCols; ++column) {
      HWND pane = ::GetDlgItem(m_hWnd, IdFromRowCol(row, column));
      if (pane == nullptr) continue;
      const auto& c = columns[static_cast<size_t>(column)];
      const auto& r = rows[static_cast<size_t>(row)];
      ::MoveWindow(pane, c.first, r.first, c.second, r.second, TRUE);
    }
  }
}

void CSplitterWnd::OnSize(UINT type, int cx, int cy) {
  CWnd::OnSize(type, cx, cy);
  RecalcLayout();
}

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
  return m_ofn.lpstrFile != nullptr && m_ofn.lpstrFile[0] != '\0' ? reinterpret_cast<POSITION>(m_ofn.lpstrFile) : nullptr;
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
