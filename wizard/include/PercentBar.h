// The wizard's progress bar: a progress control that paints itself, double-buffered, as a colour
// gradient with a status text centred over it.
//
// Jobs report into it with the ordinary progress messages (SetRange, SetPos) and with
// SetBarText, which shows a line formatted beforehand ("Processed 3 of 7 modules") or clears it;
// they may call it from the worker thread. Besides the control's own styles it reads these
// style bits:
//   PBS_VERTICAL (0x0004)  a vertical bar, measured from the bottom upwards;
//   kTextMask (0x0300)     text mode: 0 none, kTextPercent "%d%%", kTextPosition "%d",
//                          kTextOnly the window text alone;
//   kStretchGradient       the gradient spans the filled part; without it the gradient spans
//                          the whole length and the bar uncovers it;
//   kReversed              a horizontal bar grows from the right, a vertical one from the top;
//   kMovingSegment         a segment of m_segmentLength moves along the bar.
// In the percentage and position modes a non-empty window text is the format of the value: "%d"
// in it stands for the value and "%%" for "%"; any other '%' is shown as it is.
#pragma once

#include "Mfc.h"

#include <vector>

// An off-screen drawing surface over a target surface: drawing goes into a bitmap of the
// target's clip box, which the destructor copies to the target at once. Over a printer surface
// (or when no bitmap can be made) it draws straight onto the target.
class COffscreenDC : public CDC {
 public:
  explicit COffscreenDC(CDC* target);
  ~COffscreenDC() override;

 private:
  CBitmap m_bitmap;
  CBitmap* m_pOldBitmap;
  CDC* m_pTarget;
  CRect m_rect;  // the target's clip box
  BOOL m_bOffscreen;
};

// A stretch along the bar, in pixels from the start of the bar's length.
struct BarExtent {
  int start;
  int end;
  int Width() const { return end - start; }
};

// What the paint operations share.
struct BarPaintInfo {
  CDC* pDC;     // the drawing surface
  DWORD style;  // the control's style bits
  CRect inner;  // the client rectangle less the margins
  int position;
  int lower;
  int upper;
};

class CPercentBar : public CProgressCtrl {
 public:
  static constexpr DWORD kTextMask = 0x0300;
  static constexpr DWORD kTextNone = 0x0000;
  static constexpr DWORD kTextPercent = 0x0100;
  static constexpr DWORD kTextPosition = 0x0200;
  static constexpr DWORD kTextOnly = 0x0300;
  static constexpr DWORD kStretchGradient = 0x2000;
  static constexpr DWORD kReversed = 0x4000;
  static constexpr DWORD kMovingSegment = 0x8000;

  CPercentBar();

  // Shows `text` in text mode `mode` (kTextPercent, kTextPosition or kTextOnly): the style bits
  // kTextMask are replaced by the mode and the window text is set. A null or empty text, or
  // mode 0, removes the text (mode 0, empty window text). Callable from any thread; it does not
  // repaint.
  void SetBarText(LPCTSTR text, DWORD mode = kTextOnly);

  // The window rectangle that an extent of the bar covers, by the bar's direction.
  CRect MapExtent(const BarPaintInfo& info, BarExtent extent) const;

  // Paints the gradient of m_colors spread over `span`, within `clip`.
  virtual void PaintGradientBar(const BarPaintInfo& info, BarExtent span, BarExtent clip);
  // Paints one gradient segment from colour `from` to colour `to` in steps, within `clip`.
  virtual void PaintGradientStep(const BarPaintInfo& info, BarExtent segment, BarExtent clip, COLORREF from,
                                 COLORREF to);
  // Draws the text of the text mode centred over the bar: in m_barTextColor over the bar and
  // in m_backTextColor over the rest of `full`.
  virtual void PaintBarText(const BarPaintInfo& info, BarExtent full, BarExtent bar);
  // Draws `text` at `anchor`, clipped to the window rectangle of `part`.
  virtual void PaintClippedText(const BarPaintInfo& info, BarExtent part, const CString& text, CPoint anchor);
  // Moving-segment mode: moves the segment's head to `value` (or by |value| when `relative`),
  // sets the position and stores the previous one in `result`. False, changing nothing,
  // when the mode is off.
  virtual bool AdvanceSegment(LRESULT& result, int value, bool relative);

  // The gradient colours, spread evenly along the gradient (the dialog sets two).
  std::vector<COLORREF> m_colors;
  COLORREF m_backColor;      // background of the control
  COLORREF m_barTextColor;   // text where it lies over the bar
  COLORREF m_backTextColor;  // text where it lies over the background
  int m_segmentStart;        // start of the moving segment, in position units
  int m_segmentLength;       // length of the moving segment, in position units
  int m_step;                // step of PBM_STEPIT
  CRect m_margins;           // inner margins between the control's edge and the bar

 protected:
  afx_msg BOOL OnEraseBkgnd(CDC* dc);
  afx_msg void OnPaint();
  afx_msg LRESULT OnSetPos(WPARAM wParam, LPARAM lParam);
  afx_msg LRESULT OnDeltaPos(WPARAM wParam, LPARAM lParam);
  afx_msg LRESULT OnStepIt(WPARAM wParam, LPARAM lParam);
  afx_msg LRESULT OnSetStep(WPARAM wParam, LPARAM lParam);
  afx_msg LRESULT OnSetBarColor(WPARAM wParam, LPARAM lParam);
  afx_msg LRESULT OnSetBkColor(WPARAM wParam, LPARAM lParam);
  DECLARE_MESSAGE_MAP()
};
