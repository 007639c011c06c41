#include "PercentBar.h"

#include <algorithm>
#include <cstdlib>

// --- COffscreenDC ------------------------------------------------------------------------------
COffscreenDC::COffscreenDC(CDC* target) : m_pOldBitmap(nullptr), m_pTarget(target), m_bOffscreen(FALSE) {
  m_pTarget->GetClipBox(&m_rect);
  if (!m_pTarget->IsPrinting() && !m_rect.IsRectEmpty() && CreateCompatibleDC(m_pTarget)) {
    if (m_bitmap.CreateCompatibleBitmap(m_pTarget, m_rect.Width(), m_rect.Height())) {
      m_pOldBitmap = SelectObject(&m_bitmap);
      SetWindowOrg(m_rect.left, m_rect.top);
      m_bOffscreen = TRUE;
    } else {
      DeleteDC();
    }
  }
  if (!m_bOffscreen) {
    // Draws straight onto the target through its handles, which stay the target's.
    m_bPrinting = m_pTarget->m_bPrinting;
    m_hDC = m_pTarget->m_hDC;
    m_hAttribDC = m_pTarget->m_hAttribDC;
    m_bOwnsDC = FALSE;
  }
}

COffscreenDC::~COffscreenDC() {
  if (m_bOffscreen) {
    m_pTarget->BitBlt(m_rect.left, m_rect.top, m_rect.Width(), m_rect.Height(), this, m_rect.left, m_rect.top, SRCCOPY);
    if (m_pOldBitmap != nullptr) SelectObject(m_pOldBitmap);
    DeleteDC();
  } else {
    m_hDC = m_hAttribDC = nullptr;
  }
}

// --- CPercentBar -------------------------------------------------------------------------------
namespace {

// Where `value` lies along a length, as a share of the range; 0 for an empty range.
int scaleToLength(int length, int value, int lower, int upper) {
  if (upper == lower) return 0;
  double share = static_cast<double>(value - lower) / static_cast<double>(upper - lower);
  return static_cast<int>(static_cast<double>(length) * share);
}

int clampTo(int value, int low, int high) { return std::min(std::max(value, low), high); }

// The format applied to the value: "%d" (and "%i") stands for the value, "%%" for '%'; any other
// '%' stays as it is, so that a text holding one is shown, not interpreted.
CString formatBarText(const CString& format, int value) {
  const std::string& f = format.str();
  std::string out;
  for (size_t i = 0; i < f.size(); ++i) {
    if (f[i] == '%' && i + 1 < f.size()) {
      char next = f[i + 1];
      if (next == 'd' || next == 'i') {
        out += std::to_string(value);
        ++i;
        continue;
      }
      if (next == '%') {
        out += '%';
        ++i;
        continue;
      }
    }
    out += f[i];
  }
  return CString(out);
}

COLORREF stepColor(COLORREF from, int i, double dr, double dg, double db) {
  auto component = [&](int base, double delta) {
    return static_cast<BYTE>((base + static_cast<int>(i * delta)) & 0xFF);
  };
  return RGB(component(GetRValue(from), dr), component(GetGValue(from), dg), component(GetBValue(from), db));
}

}  // namespace

BEGIN_MESSAGE_MAP(CPercentBar, CProgressCtrl)
  ON_WM_ERASEBKGND()
  ON_WM_PAINT()
  ON_MESSAGE(PBM_SETPOS, OnSetPos)
  ON_MESSAGE(PBM_DELTAPOS, OnDeltaPos)
  ON_MESSAGE(PBM_STEPIT, OnStepIt)
  ON_MESSAGE(PBM_SETSTEP, OnSetStep)
  ON_MESSAGE(PBM_SETBARCOLOR, OnSetBarColor)
  ON_MESSAGE(PBM_SETBKCOLOR, OnSetBkColor)
END_MESSAGE_MAP()

CPercentBar::CPercentBar()
    : m_colors{GetSysColor(COLOR_ACTIVECAPTION), GetSysColor(COLOR_ACTIVECAPTION)},
      m_backColor(GetSysColor(COLOR_BTNFACE)),
      m_barTextColor(GetSysColor(COLOR_CAPTIONTEXT)),
      m_backTextColor(GetSysColor(COLOR_BTNTEXT)),
      m_segmentStart(0),
      m_segmentLength(40),
      m_step(10),
      m_margins(0, 0, 0, 0) {}

void CPercentBar::SetBarText(LPCTSTR text, DWORD mode) {
  if (GetSafeHwnd() == nullptr) return;
  mode &= kTextMask;
  if (text == nullptr || *text == '\0' || mode == 0) {
    mode = 0;
    text = "";
  }
  ModifyStyle(kTextMask, mode);
  SetWindowText(text);
}

CRect CPercentBar::MapExtent(const BarPaintInfo& info, BarExtent extent) const {
  const CRect& in = info.inner;
  bool reversed = (info.style & kReversed) != 0;
  if ((info.style & PBS_VERTICAL) != 0) {
    if (reversed) return CRect(in.left, in.top + extent.start, in.right, in.top + extent.end);
    return CRect(in.left, in.bottom - extent.end, in.right, in.bottom - extent.start);
  }
  if (reversed) return CRect(in.right - extent.end, in.top, in.right - extent.start, in.bottom);
  return CRect(in.left + extent.start, in.top, in.left + extent.end, in.bottom);
}

BOOL CPercentBar::OnEraseBkgnd(CDC*) { return TRUE; }

void CPercentBar::OnPaint() {
  CPaintDC paintDC(this);
  CRect client;
  GetClientRect(&client);
  int position = GetPos();
  int lower = 0, upper = 0;
  GetRange(lower, upper);

  COffscreenDC dc(&paintDC);
  dc.FillSolidRect(&client, m_backColor);
  CRect inner(client);
  inner.DeflateRect(&m_margins);
  BarPaintInfo info{&dc, GetStyle(), inner, position, lower, upper};
  if (position < std::min(lower, upper) || position > std::max(lower, upper)) return;

  int length = std::max(0, (info.style & PBS_VERTICAL) != 0 ? inner.Height() : inner.Width());
  BarExtent bar{0, clampTo(scaleToLength(length, position, lower, upper), 0, length)};
  if ((info.style & kMovingSegment) != 0) {
    bar.start = clampTo(scaleToLength(length, m_segmentStart, lower, upper), 0, bar.end);
  }
  BarExtent full{0, length};
  PaintGradientBar(info, (info.style & kStretchGradient) != 0 ? bar : full, bar);
  PaintBarText(info, full, bar);
}

void CPercentBar::PaintGradientBar(const BarPaintInfo& info, BarExtent span, BarExtent clip) {
  size_t n = m_colors.size();
  if (n < 2 || clip.Width() <= 0) return;
  double width = static_cast<double>(span.Width()) / static_cast<double>(n - 1);
  for (size_t i = 0; i + 1 < n; ++i) {
    BarExtent segment{span.start + static_cast<int>(static_cast<double>(i) * width),
                      i + 2 == n ? span.end : span.start + static_cast<int>(static_cast<double>(i + 1) * width)};
    if (segment.end < clip.start) continue;
    BarExtent part{std::max(segment.start, clip.start), std::min(segment.end, clip.end)};
    PaintGradientStep(info, segment, part, m_colors[i], m_colors[i + 1]);
    if (segment.end >= clip.end) break;
  }
}

void CPercentBar::PaintGradientStep(const BarPaintInfo& info, BarExtent segment, BarExtent clip, COLORREF from,
                                    COLORREF to) {
  int dr = GetRValue(to) - GetRValue(from);
  int dg = GetGValue(to) - GetGValue(from);
  int db = GetBValue(to) - GetBValue(from);
  int steps = std::max({std::abs(dr), std::abs(dg), std::abs(db)});
  steps = std::max(std::min(steps, segment.Width()), 1);
  CDC* dc = info.pDC;
  bool palette = (dc->GetDeviceCaps(RASTERCAPS) & RC_PALETTE) != 0;
  if (!palette && steps > 1 && dc->GetDeviceCaps(BITSPIXEL) * dc->GetDeviceCaps(PLANES) < 8) steps = 1;
  double stepR = static_cast<double>(dr) / steps;
  double stepG = static_cast<double>(dg) / steps;
  double stepB = static_cast<double>(db) / steps;
  float stepWidth = static_cast<float>(segment.Width()) / static_cast<float>(steps);
  for (int i = 0; i < steps; ++i) {
    BarExtent step{
        segment.start + static_cast<int>(static_cast<float>(i) * stepWidth),
        i == steps - 1 ? segment.end : segment.start + static_cast<int>(static_cast<float>(i + 1) * stepWidth)};
    if (step.end < clip.start) continue;
    BarExtent part{std::max(step.start, clip.start), std::min(step.end, clip.end)};
    if (part.Width() > 0) {
      COLORREF color = stepColor(from, i, stepR, stepG, stepB);
      CRect rect = MapExtent(info, part);
      if (palette) {
        CBrush brush(color);
        dc->FillRect(&rect, &brush);
      } else {
        dc->FillSolidRect(&rect, color);
      }
    }
    if (step.end >= clip.end) break;
  }
}

void CPercentBar::PaintBarText(const BarPaintInfo& info, BarExtent full, BarExtent bar) {
  DWORD mode = info.style & kTextMask;
  if (mode == kTextNone) return;
  CString format;
  GetWindowText(format);
  if (format.IsEmpty()) {
    if (mode == kTextPercent) format = "%d%%";
    if (mode == kTextPosition) format = "%d";
  }
  if (format.IsEmpty()) return;
  int value = 0;
  if (mode == kTextPercent && info.upper != info.lower) {
    value = static_cast<int>(static_cast<double>(info.position - info.lower) * 100.0 /
                             static_cast<double>(info.upper - info.lower));
  } else if (mode == kTextPosition) {
    value = info.position;
  }
  CString shown = formatBarText(format, value);

  CDC* dc = info.pDC;
  CFont* font = GetFont();
  CFont* oldFont = font != nullptr ? dc->SelectObject(font) : nullptr;
  COLORREF oldColor = dc->SetTextColor(m_barTextColor);
  int oldMode = dc->SetBkMode(TRANSPARENT);
  UINT oldAlign = dc->SetTextAlign(TA_CENTER | TA_BOTTOM);
  TEXTMETRIC metrics{};
  dc->GetTextMetrics(&metrics);
  CPoint anchor(info.inner.left + info.inner.Width() / 2,
                info.inner.top + info.inner.Height() / 2 + metrics.tmHeight / 2);

  if (m_barTextColor == m_backTextColor) {
    PaintClippedText(info, full, shown, anchor);
  } else {
    if (bar.Width() > 0) PaintClippedText(info, bar, shown, anchor);
    dc->SetTextColor(m_backTextColor);
    if (bar.end < full.end) PaintClippedText(info, BarExtent{bar.end, full.end}, shown, anchor);
    if (bar.start > full.start) PaintClippedText(info, BarExtent{full.start, bar.start}, shown, anchor);
  }

  if (oldFont != nullptr) dc->SelectObject(oldFont);
  dc->SetTextColor(oldColor);
  dc->SetBkMode(oldMode);
  dc->SetTextAlign(oldAlign);
}

void CPercentBar::PaintClippedText(const BarPaintInfo& info, BarExtent part, const CString& text, CPoint anchor) {
  CDC* dc = info.pDC;
  // A clip region is given in device coordinates.
  CRect clip = MapExtent(info, part);
  CPoint origin = dc->GetWindowOrg();
  clip.OffsetRect(-origin.x, -origin.y);
  CRgn region;
  if (!region.CreateRectRgnIndirect(&clip)) return;
  int saved = dc->SaveDC();
  dc->SelectClipRgn(&region);
  dc->TextOut(anchor.x, anchor.y, text);
  if (saved != 0) {
    dc->RestoreDC(saved);
  } else {
    dc->SelectClipRgn(nullptr);
  }
}

bool CPercentBar::AdvanceSegment(LRESULT& result, int value, bool relative) {
  DWORD style = GetStyle();
  if ((style & kMovingSegment) == 0) return false;
  int lower = 0, upper = 0;
  GetRange(lower, upper);
  int head = value;
  if (relative) {
    int current = GetPos();
    if (current == upper && current - m_segmentStart < m_segmentLength) current = m_segmentStart + m_segmentLength;
    head = std::abs(value) + current;
  }
  int limit = upper + m_segmentLength;
  if (head > limit) {
    // The segment has left the bar: it starts over from the other side.
    head = std::min(limit, head - limit + lower);
    if ((style & kReversed) != 0) {
      ModifyStyle(kReversed, 0);
    } else {
      ModifyStyle(0, kReversed);
    }
  } else if (head >= upper) {
    Invalidate();  // the head stays at the end while the tail still has to shrink
  }
  m_segmentStart = std::max(head - m_segmentLength, lower);
  result = DefWindowProc(PBM_SETPOS, static_cast<WPARAM>(head), 0);
  return true;
}

LRESULT CPercentBar::OnSetPos(WPARAM wParam, LPARAM lParam) {
  LRESULT result = 0;
  if (AdvanceSegment(result, static_cast<int>(static_cast<intptr_t>(wParam)), false)) return result;
  return DefWindowProc(PBM_SETPOS, wParam, lParam);
}

LRESULT CPercentBar::OnDeltaPos(WPARAM wParam, LPARAM lParam) {
  LRESULT result = 0;
  if (AdvanceSegment(result, static_cast<int>(static_cast<intptr_t>(wParam)), true)) return result;
  return DefWindowProc(PBM_DELTAPOS, wParam, lParam);
}

LRESULT CPercentBar::OnStepIt(WPARAM wParam, LPARAM lParam) {
  LRESULT result = 0;
  if (AdvanceSegment(result, m_step, true)) return result;
  return DefWindowProc(PBM_STEPIT, wParam, lParam);
}

LRESULT CPercentBar::OnSetStep(WPARAM wParam, LPARAM lParam) {
  m_step = static_cast<int>(static_cast<intptr_t>(wParam));
  return DefWindowProc(PBM_SETSTEP, wParam, lParam);
}

LRESULT CPercentBar::OnSetBarColor(WPARAM wParam, LPARAM lParam) {
  COLORREF first = static_cast<COLORREF>(lParam);
  COLORREF second = wParam != 0 ? static_cast<COLORREF>(wParam) : first;
  m_colors.assign({first, second});
  return static_cast<LRESULT>(CLR_DEFAULT);
}

LRESULT CPercentBar::OnSetBkColor(WPARAM, LPARAM lParam) {
  m_backColor = static_cast<COLORREF>(lParam);
  return static_cast<LRESULT>(CLR_DEFAULT);
}
