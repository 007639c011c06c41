// The MFC drawing classes: CGdiObject and its fonts, brushes, bitmaps and regions, CDC and its
// paint and client DCs, and CImageList.
#include "GdiObjects.h"

namespace ui {
namespace detail {

LRESULT callEraseBkgnd(HDC dc, const std::function<BOOL(CDC*)>& handler) {
  CDC temporary;
  temporary.m_hDC = dc;
  temporary.m_hAttribDC = dc;
  BOOL result = handler(&temporary);
  temporary.m_hDC = nullptr;
  temporary.m_hAttribDC = nullptr;
  return result;
}

}  // namespace detail
}  // namespace ui

using namespace ui;
using namespace ui::detail;

CGdiObject::~CGdiObject() { DeleteObject(); }

BOOL CGdiObject::Attach(HGDIOBJ object) {
  if (m_hObject != nullptr || object == nullptr) return FALSE;
  m_hObject = object;
  gdiAttach(object, this, nullptr);
  return TRUE;
}

HGDIOBJ CGdiObject::Detach() {
  HGDIOBJ object = m_hObject;
  if (object != nullptr) gdiAttach(object, nullptr, nullptr);
  m_hObject = nullptr;
  return object;
}

BOOL CGdiObject::DeleteObject() {
  if (m_hObject == nullptr) return FALSE;
  return ::DeleteObject(Detach());
}

CFont* CFont::FromHandle(HFONT font) {
  return static_cast<CFont*>(gdiWrapper(font, [] { return new CFont; }));
}

BOOL CFont::CreateFontIndirect(const LOGFONT* logFont) { return Attach(::CreateFontIndirect(logFont)); }

BOOL CFont::CreateFont(int height, int width, int escapement, int orientation, int weight, BYTE italic, BYTE underline,
                       BYTE strikeOut, BYTE charSet, BYTE outPrecision, BYTE clipPrecision, BYTE quality,
                       BYTE pitchAndFamily, LPCTSTR faceName) {
  return Attach(::CreateFont(height, width, escapement, orientation, weight, italic, underline, strikeOut, charSet,
                             outPrecision, clipPrecision, quality, pitchAndFamily, faceName));
}

int CFont::GetLogFont(LOGFONT* logFont) const { return ::GetObject(m_hObject, sizeof(LOGFONT), logFont); }

CBrush* CBrush::FromHandle(HBRUSH brush) {
  return static_cast<CBrush*>(gdiWrapper(brush, [] { return new CBrush; }));
}

BOOL CBrush::CreateSolidBrush(COLORREF color) { return Attach(::CreateSolidBrush(color)); }

CBitmap* CBitmap::FromHandle(HBITMAP bitmap) {
  return static_cast<CBitmap*>(gdiWrapper(bitmap, [] { return new CBitmap; }));
}

BOOL CBitmap::LoadBitmap(UINT id) { return Attach(::LoadBitmap(AfxGetResourceHandle(), MAKEINTRESOURCE(id))); }

BOOL CBitmap::CreateCompatibleBitmap(CDC* dc, int width, int height) {
  return Attach(::CreateCompatibleBitmap(dc != nullptr ? dc->m_hDC : nullptr, width, height));
}

int CBitmap::GetBitmap(BITMAP* info) const { return ::GetObject(m_hObject, sizeof(BITMAP), info); }

BOOL CRgn::CreateRectRgn(int left, int top, int right, int bottom) {
  return Attach(::CreateRectRgn(left, top, right, bottom));
}

BOOL CRgn::CreateRectRgnIndirect(LPCRECT rect) { return Attach(::CreateRectRgnIndirect(rect)); }

CDC::~CDC() {
  if (m_hDC != nullptr && m_bOwnsDC) ::DeleteDC(m_hDC);
}

BOOL CDC::Attach(HDC dc) {
  if (m_hDC != nullptr || dc == nullptr) return FALSE;
  m_hDC = m_hAttribDC = dc;
  m_bOwnsDC = FALSE;
  return TRUE;
}

HDC CDC::Detach() {
  HDC dc = m_hDC;
  m_hDC = m_hAttribDC = nullptr;
  m_bOwnsDC = FALSE;
  return dc;
}

BOOL CDC::CreateCompatibleDC(CDC* dc) {
  HDC created = ::CreateCompatibleDC(dc != nullptr ? dc->m_hDC : nullptr);
  if (created == nullptr) return FALSE;
  m_hDC = m_hAttribDC = created;
  m_bOwnsDC = TRUE;
  return TRUE;
}

BOOL CDC::DeleteDC() {
  if (m_hDC == nullptr) return FALSE;
  return ::DeleteDC(Detach());
}

CFont* CDC::SelectObject(CFont* font) {
  return CFont::FromHandle(static_cast<HFONT>(::SelectObject(m_hDC, font != nullptr ? font->m_hObject : nullptr)));
}

CBitmap* CDC::SelectObject(CBitmap* bitmap) {
  return CBitmap::FromHandle(
      static_cast<HBITMAP>(::SelectObject(m_hDC, bitmap != nullptr ? bitmap->m_hObject : nullptr)));
}

CBrush* CDC::SelectObject(CBrush* brush) {
  return CBrush::FromHandle(static_cast<HBRUSH>(::SelectObject(m_hDC, brush != nullptr ? brush->m_hObject : nullptr)));
}

int CDC::SelectClipRgn(CRgn* region) {
  return ::SelectClipRgn(m_hDC, region != nullptr ? static_cast<HRGN>(region->m_hObject) : nullptr);
}

int CDC::IntersectClipRect(int left, int top, int right, int bottom) {
  return ::IntersectClipRect(m_hDC, left, top, right, bottom);
}

int CDC::IntersectClipRect(LPCRECT rect) {
  return ::IntersectClipRect(m_hDC, rect->left, rect->top, rect->right, rect->bottom);
}

int CDC::GetClipBox(LPRECT rect) const { return ::GetClipBox(m_hDC, rect); }

CPoint CDC::SetWindowOrg(int x, int y) {
  POINT old{0, 0};
  ::SetWindowOrgEx(m_hDC, x, y, &old);
  return CPoint(old);
}

CPoint CDC::GetWindowOrg() const {
  POINT origin{0, 0};
  ::GetWindowOrgEx(m_hDC, &origin);
  return CPoint(origin);
}

COLORREF CDC::SetTextColor(COLORREF color) { return ::SetTextColor(m_hDC, color); }
COLORREF CDC::GetTextColor() const { return ::GetTextColor(m_hDC); }
COLORREF CDC::SetBkColor(COLORREF color) { return ::SetBkColor(m_hDC, color); }
COLORREF CDC::GetBkColor() const { return ::GetBkColor(m_hDC); }
int CDC::SetBkMode(int mode) { return ::SetBkMode(m_hDC, mode); }
int CDC::GetBkMode() const { return ::GetBkMode(m_hDC); }
UINT CDC::SetTextAlign(UINT align) { return ::SetTextAlign(m_hDC, align); }
UINT CDC::GetTextAlign() const { return ::GetTextAlign(m_hDC); }
BOOL CDC::TextOut(int x, int y, LPCTSTR text, int length) { return ::TextOut(m_hDC, x, y, text, length); }

CSize CDC::GetTextExtent(LPCTSTR text, int length) const {
  SIZE size{0, 0};
  ::GetTextExtentPoint32(m_hDC, text, length, &size);
  return CSize(size);
}

BOOL CDC::GetTextMetrics(LPTEXTMETRIC metrics) const { return ::GetTextMetrics(m_hDC, metrics); }

void CDC::FillSolidRect(LPCRECT rect, COLORREF color) {
  ::SetBkColor(m_hDC, color);
  HBRUSH brush = ::CreateSolidBrush(color);
  ::FillRect(m_hDC, rect, brush);
  ::DeleteObject(brush);
}

void CDC::FillSolidRect(int x, int y, int cx, int cy, COLORREF color) {
  RECT rect{x, y, x + cx, y + cy};
  FillSolidRect(&rect, color);
}

void CDC::FillRect(LPCRECT rect, CBrush* brush) {
  if (brush != nullptr) ::FillRect(m_hDC, rect, static_cast<HBRUSH>(brush->m_hObject));
}

BOOL CDC::BitBlt(int x, int y, int width, int height, CDC* source, int sourceX, int sourceY, DWORD rop) {
  return ::BitBlt(m_hDC, x, y, width, height, source != nullptr ? source->m_hDC : nullptr, sourceX, sourceY, rop);
}

int CDC::GetDeviceCaps(int index) const { return ::GetDeviceCaps(m_hDC, index); }
int CDC::SaveDC() { return ::SaveDC(m_hDC); }
BOOL CDC::RestoreDC(int saved) { return ::RestoreDC(m_hDC, saved); }

CPaintDC::CPaintDC(CWnd* window) : m_ps(), m_hWnd(window->m_hWnd) { m_hDC = m_hAttribDC = ::BeginPaint(m_hWnd, &m_ps); }

CPaintDC::~CPaintDC() {
  ::EndPaint(m_hWnd, &m_ps);
  m_hDC = m_hAttribDC = nullptr;
}

CClientDC::CClientDC(CWnd* window) : m_hWnd(window->m_hWnd) { m_hDC = m_hAttribDC = ::GetDC(m_hWnd); }

CClientDC::~CClientDC() {
  ::ReleaseDC(m_hWnd, m_hDC);
  m_hDC = m_hAttribDC = nullptr;
}

CImageList::~CImageList() { DeleteImageList(); }

CImageList* CImageList::FromHandle(HIMAGELIST list) { return imageListWrapper(list); }

BOOL CImageList::Create(UINT bitmapId, int cx, int grow, COLORREF mask) {
  CBitmap bitmap;
  if (!bitmap.LoadBitmap(bitmapId)) return FALSE;
  BITMAP info{};
  bitmap.GetBitmap(&info);
  if (!Create(cx, info.bmHeight, ILC_COLOR4 | ILC_MASK, 0, grow)) return FALSE;
  return Add(&bitmap, mask) >= 0;
}

BOOL CImageList::Create(int cx, int cy, UINT flags, int initial, int grow) {
  if (m_hImageList != nullptr) return FALSE;
  m_hImageList = ImageList_Create(cx, cy, flags, initial, grow);
  if (m_hImageList != nullptr) gdiAttach(m_hImageList, nullptr, this);
  return m_hImageList != nullptr;
}

int CImageList::Add(CBitmap* bitmap, COLORREF mask) {
  return bitmap != nullptr ? ImageList_AddMasked(m_hImageList, static_cast<HBITMAP>(bitmap->m_hObject), mask) : -1;
}

int CImageList::GetImageCount() const { return ImageList_GetImageCount(m_hImageList); }

BOOL CImageList::DeleteImageList() {
  if (m_hImageList == nullptr) return FALSE;
  HIMAGELIST list = Detach();
  return ImageList_Destroy(list);
}

HIMAGELIST CImageList::Detach() {
  HIMAGELIST list = m_hImageList;
  if (list != nullptr) gdiAttach(list, nullptr, nullptr);
  m_hImageList = nullptr;
  return list;
}
