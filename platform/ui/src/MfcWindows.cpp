// The MFC window classes: run-time classes, CWnd and its message maps, the wait cursor and
// message boxes. The dialogs, controls, views and strings have files of their own (Mfc*.cpp).
#include "Internal.h"

#include <algorithm>

namespace ui {
namespace detail {

LRESULT WndAccess::windowProc(CWnd* w, UINT message, WPARAM wParam, LPARAM lParam) {
  return w->WindowProc(message, wParam, lParam);
}

void WndAccess::postNcDestroy(CWnd* w) { w->PostNcDestroy(); }

void WndAccess::setTemporary(CWnd* w) { w->m_bTemporary = TRUE; }

namespace {

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

BOOL CObject::IsKindOf(const CRuntimeClass* runtimeClass) const {
  return GetRuntimeClass()->IsDerivedFrom(runtimeClass);
}

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
  CREATESTRUCT cs{param, AfxGetInstanceHandle(),   idOrMenu,   parent,    height, width, y,
                  x,     static_cast<LONG>(style), windowName, className, exStyle};
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
  for (const ui::MessageMap* map = GetMessageMap(); map != nullptr;
       map = map->base != nullptr ? map->base() : nullptr) {
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
  for (const ui::MessageMap* map = GetMessageMap(); map != nullptr;
       map = map->base != nullptr ? map->base() : nullptr) {
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
  for (const ui::MessageMap* map = GetMessageMap(); map != nullptr;
       map = map->base != nullptr ? map->base() : nullptr) {
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
  for (const ui::MessageMap* map = GetMessageMap(); map != nullptr;
       map = map->base != nullptr ? map->base() : nullptr) {
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

// Takes `remove` out of the style word at `index` and puts `add` in; FALSE when that changes
// nothing. Non-zero `flags` go to SetWindowPos, so that the frame follows the new style.
static BOOL modifyStyleWord(HWND window, int index, DWORD remove, DWORD add, UINT flags) {
  DWORD style = static_cast<DWORD>(::GetWindowLongPtr(window, index));
  DWORD changed = (style & ~remove) | add;
  if (changed == style) return FALSE;
  ::SetWindowLongPtr(window, index, static_cast<LONG_PTR>(changed));
  if (flags != 0)
    ::SetWindowPos(window, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | flags);
  return TRUE;
}

BOOL CWnd::ModifyStyle(DWORD remove, DWORD add, UINT flags) {
  return modifyStyleWord(m_hWnd, GWL_STYLE, remove, add, flags);
}

BOOL CWnd::ModifyStyleEx(DWORD remove, DWORD add, UINT flags) {
  return modifyStyleWord(m_hWnd, GWL_EXSTYLE, remove, add, flags);
}

void CWnd::MoveWindow(int x, int y, int width, int height, BOOL repaint) {
  ::MoveWindow(m_hWnd, x, y, width, height, repaint);
}

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
