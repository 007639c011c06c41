// Drawing: a progress bar that paints itself off-screen, as the wizard's bar does, driven from
// a worker; device contexts, clipping, origins and text.
#include "UiTestSupport.h"

#include <atomic>

using namespace uitest;

namespace {

const COLORREF kBar = RGB(0, 0, 128);

class PaintedBar : public CProgressCtrl {
 public:
  CString text;
  int paints = 0;
  std::atomic<int> positionsSeen{0};

 protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == PBM_SETPOS) ++positionsSeen;
    return CProgressCtrl::WindowProc(message, wParam, lParam);
  }
  afx_msg BOOL OnEraseBkgnd(CDC*) { return TRUE; }
  afx_msg void OnPaint() {
    ++paints;
    CPaintDC paint(this);
    CRect client;
    GetClientRect(&client);
    CRect box;
    paint.GetClipBox(&box);
    CDC memory;
    memory.CreateCompatibleDC(&paint);
    CBitmap bitmap;
    bitmap.CreateCompatibleBitmap(&paint, box.Width(), box.Height());
    CBitmap* old = memory.SelectObject(&bitmap);
    memory.SetWindowOrg(box.left, box.top);
    memory.FillSolidRect(&client, GetSysColor(COLOR_BTNFACE));
    int lower = 0, upper = 0;
    GetRange(lower, upper);
    int end = client.Width() * (GetPos() - lower) / (upper - lower);
    memory.FillSolidRect(0, 0, end, client.Height(), kBar);
    if (!text.IsEmpty()) {
      CFont* oldFont = memory.SelectObject(GetFont());
      memory.SetTextColor(RGB(0, 0, 0));
      memory.SetBkMode(TRANSPARENT);
      memory.SetTextAlign(TA_CENTER | TA_BOTTOM);
      TEXTMETRIC tm;
      memory.GetTextMetrics(&tm);
      memory.TextOut(client.Width() / 2, client.Height() / 2 + tm.tmHeight / 2, text);
      memory.SelectObject(oldFont);
    }
    paint.BitBlt(box.left, box.top, box.Width(), box.Height(), &memory, box.left, box.top, SRCCOPY);
    memory.SelectObject(old);
  }
  DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(PaintedBar, CProgressCtrl)
  ON_WM_ERASEBKGND()
  ON_WM_PAINT()
END_MESSAGE_MAP()

class BarThread : public CWinThread {
  DECLARE_DYNCREATE(BarThread)
 public:
  static PaintedBar* bar;
  BOOL InitInstance() override {
    bar->SetRange(0, 100);
    bar->SetPos(25);
    bar->SetPos(50);
    bar->InvalidateRect(nullptr, TRUE);
    return FALSE;
  }
};
IMPLEMENT_DYNCREATE(BarThread, CWinThread)
PaintedBar* BarThread::bar = nullptr;

class DrawingTest : public UiTest {
 protected:
  void SetUp() override {
    UiTest::SetUp();
    ASSERT_TRUE(host.Create(kHostTemplate));
  }
  CDialog host{kHostTemplate};
};

TEST_F(DrawingTest, BarDrivenByAWorkerPaintsOnItsOwnThread) {
  PaintedBar bar;
  ASSERT_TRUE(bar.SubclassDlgItem(kProgress, &host));
  CFont font;
  font.CreateFont(-15, 0, 0, 0, 400, 0, 0, 0, 0, 3, 2, 2, 20, "Times New Roman");
  bar.SetFont(&font);
  bar.text = "Processed 1 of 2 modules";
  ui::pumpMessages();
  int paintsBefore = bar.paints;

  BarThread::bar = &bar;
  CWinThread* thread = AfxBeginThread(RUNTIME_CLASS(BarThread), THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED);
  ASSERT_NE(thread, nullptr);
  HANDLE handle = nullptr;
  DuplicateHandle(GetCurrentProcess(), thread->m_hThread, GetCurrentProcess(), &handle, 0, FALSE,
                  DUPLICATE_SAME_ACCESS);
  thread->ResumeThread();
  ASSERT_EQ(WaitForSingleObject(handle, 10000), WAIT_OBJECT_0);
  CloseHandle(handle);
  EXPECT_EQ(bar.positionsSeen.load(), 2) << "the subclass sees the worker's messages";
  EXPECT_EQ(bar.paints, paintsBefore) << "painting waits for the pump";

  ui::pumpMessages();
  EXPECT_EQ(bar.paints, paintsBefore + 1) << "invalidations before a pump make one paint";
  CRect client;
  bar.GetClientRect(&client);
  EXPECT_EQ(ui::pixelAt(bar.m_hWnd, client.Width() / 4, client.Height() / 2), kBar);
  EXPECT_EQ(ui::pixelAt(bar.m_hWnd, client.Width() * 3 / 4, client.Height() / 2), GetSysColor(COLOR_BTNFACE));
  std::vector<ui::TextRun> texts = ui::textRuns(bar.m_hWnd);
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_EQ(texts[0].text, "Processed 1 of 2 modules");
  EXPECT_EQ(texts[0].anchor.x, client.Width() / 2);
  EXPECT_EQ(texts[0].align, TA_CENTER | TA_BOTTOM);
  EXPECT_EQ(texts[0].color, RGB(0, 0, 0));
  EXPECT_EQ(texts[0].font.lfHeight, -15);
  EXPECT_STREQ(texts[0].font.lfFaceName, "Times New Roman");
  EXPECT_LT(texts[0].bounds.left, client.Width() / 2);
  EXPECT_GT(texts[0].bounds.right, client.Width() / 2);

  // A repaint replaces the text rather than adding to it; an empty text removes it.
  bar.text.Empty();
  bar.Invalidate();
  bar.UpdateWindow();
  EXPECT_TRUE(ui::textRuns(bar.m_hWnd).empty());
  bar.UnsubclassWindow();
}

TEST_F(DrawingTest, PartialInvalidationRepaintsOnlyItsArea) {
  PaintedBar bar;
  ASSERT_TRUE(bar.SubclassDlgItem(kProgress, &host));
  bar.SetPos(0);
  bar.UpdateWindow();
  CRect client;
  bar.GetClientRect(&client);
  // Empty, a bar that paints itself is still seen: the control's sunken frame lies around it.
  const ui::Picture picture = ui::windowPicture(host.m_hWnd);
  const RECT place = ui::windowState(bar.m_hWnd).rect;
  const POINT corner{picture.client.x + place.left, picture.client.y + place.top};
  EXPECT_EQ(picture.at(corner.x, corner.y), GetSysColor(COLOR_BTNSHADOW));
  EXPECT_EQ(picture.at(corner.x + client.Width() - 1, corner.y + client.Height() - 1), GetSysColor(COLOR_BTNHIGHLIGHT));
  EXPECT_EQ(picture.at(corner.x + 2, corner.y + 2), GetSysColor(COLOR_BTNFACE));
  bar.SendMessage(PBM_SETPOS, 100);  // the whole bar is dirty now; validate it again ...
  bar.ValidateRect(nullptr);
  CRect left(0, 0, client.Width() / 2, client.Height());
  bar.InvalidateRect(&left, FALSE);  // ... and have only the left half painted
  bar.UpdateWindow();
  EXPECT_EQ(ui::pixelAt(bar.m_hWnd, 2, 2), kBar);
  EXPECT_EQ(ui::pixelAt(bar.m_hWnd, client.Width() - 2, 2), GetSysColor(COLOR_BTNFACE));
  bar.UnsubclassWindow();
}

TEST_F(DrawingTest, MemoryContextsClipShiftAndMeasure) {
  CDC screen;
  screen.Attach(GetDC(host.m_hWnd));
  CDC memory;
  ASSERT_TRUE(memory.CreateCompatibleDC(&screen));
  CBitmap bitmap;
  ASSERT_TRUE(bitmap.CreateCompatibleBitmap(&screen, 40, 20));
  memory.SelectObject(&bitmap);
  EXPECT_EQ(memory.GetDeviceCaps(RASTERCAPS) & RC_PALETTE, 0);
  EXPECT_GE(memory.GetDeviceCaps(BITSPIXEL) * memory.GetDeviceCaps(PLANES), 8);

  memory.SetWindowOrg(100, 0);  // logical x 100 is the bitmap's column 0
  CRect box;
  memory.GetClipBox(&box);
  EXPECT_EQ(box, CRect(100, 0, 140, 20));
  CRgn region;
  region.CreateRectRgn(10, 0, 20, 20);  // device coordinates
  memory.SelectClipRgn(&region);
  memory.FillSolidRect(100, 0, 40, 20, RGB(255, 0, 0));
  EXPECT_EQ(memory.GetBkColor(), RGB(255, 0, 0)) << "FillSolidRect leaves its colour as background";
  memory.SelectClipRgn(nullptr);

  // Copy the bitmap to the window at (0, 0) and look at the pixels.
  screen.BitBlt(0, 0, 40, 20, &memory, 100, 0, SRCCOPY);
  EXPECT_EQ(ui::pixelAt(host.m_hWnd, 5, 5), RGB(0, 0, 0));
  EXPECT_EQ(ui::pixelAt(host.m_hWnd, 15, 5), RGB(255, 0, 0));
  EXPECT_EQ(ui::pixelAt(host.m_hWnd, 25, 5), RGB(0, 0, 0));

  CFont big, small;
  big.CreateFont(-25, 0, 0, 0, 400, 0, 0, 0, 0, 3, 2, 2, 20, "Times New Roman");
  small.CreateFont(-12, 0, 0, 0, 400, 0, 0, 0, 0, 3, 2, 2, 20, "Times New Roman");
  int saved = memory.SaveDC();
  memory.SelectObject(&big);
  CSize wide = memory.GetTextExtent("KAVRIN");
  memory.SelectObject(&small);
  CSize narrow = memory.GetTextExtent("KAVRIN");
  EXPECT_GT(wide.cx, narrow.cx);
  EXPECT_GT(wide.cy, narrow.cy);
  // Real metrics: the two words and the space between them, narrower than a third word.
  const int twice = memory.GetTextExtent("KAVRIN KAVRIN").cx;
  EXPECT_GT(twice, 2 * narrow.cx);
  EXPECT_LT(twice, 3 * narrow.cx);
  EXPECT_LT(memory.GetTextExtent("iiiiii").cx, memory.GetTextExtent("WWWWWW").cx) << "proportional faces";
  memory.SetWindowOrg(0, 0);
  ASSERT_TRUE(memory.RestoreDC(saved));
  EXPECT_EQ(memory.GetWindowOrg(), CPoint(100, 0));
  ReleaseDC(host.m_hWnd, screen.Detach());
}

}  // namespace
