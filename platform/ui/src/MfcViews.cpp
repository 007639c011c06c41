// The MFC frame, view and splitter windows.
#include "Internal.h"

#include <algorithm>
#include <utility>
#include <vector>

using namespace ui;
using namespace ui::detail;

// --- Frames, views and splitters -----------------------------------------------------------------------
// Frames and views created without a class of their own get a redrawn-on-resize class with the
// arrow cursor and a white background.
static BOOL useWhiteWindowClass(CREATESTRUCT& cs) {
  if (cs.lpszClass == nullptr) {
    cs.lpszClass = AfxRegisterWndClass(CS_HREDRAW | CS_VREDRAW, LoadCursor(nullptr, IDC_ARROW),
                                       static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  }
  return TRUE;
}

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

BOOL CFrameWnd::PreCreateWindow(CREATESTRUCT& cs) { return useWhiteWindowClass(cs); }

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

BOOL CView::PreCreateWindow(CREATESTRUCT& cs) { return useWhiteWindowClass(cs); }

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

BOOL CSplitterWnd::CreateView(int row, int column, CRuntimeClass* viewClass, SIZE initialSize,
                              CCreateContext* context) {
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
std::vector<std::pair<int, int>> layoutPanes(int total, const std::vector<int>& ideal,
                                             const std::vector<int>& minimum) {
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
