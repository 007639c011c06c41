// The wizard's progress bar: its text and text mode, the gradient it paints for a position in
// every direction, the text drawn over the bar and the background, the colour and step
// messages, the moving segment, and the off-screen surface it paints through.
#include "PercentBar.h"
#include "WizardResources.h"
#include "WizardTestSupport.h"

#include <atomic>

using namespace wizardtest;

namespace {

const COLORREF kFace = RGB(192, 192, 192);
const COLORREF kShadow = RGB(128, 128, 128);
const COLORREF kBlack = RGB(0, 0, 0);
const COLORREF kWhite = RGB(255, 255, 255);

class PercentBarTest : public WizardUiTest {
 protected:
  void SetUp() override {
    WizardUiTest::SetUp();
    ASSERT_TRUE(dialog.open());
    ASSERT_TRUE(bar.SubclassDlgItem(IDC_PROGRESS_BAR, &dialog));
    CRect client;
    bar.GetClientRect(&client);
    width = client.Width();
    height = client.Height();
    ASSERT_GT(width, 100);
    bar.SetRange(0, 100);
  }

  // The colours the generator dialog gives the bar when it opens.
  void dialogColors() {
    bar.ModifyStyle(0, CPercentBar::kStretchGradient);
    bar.SendMessage(PBM_SETBKCOLOR, 0, static_cast<LPARAM>(GetSysColor(COLOR_BTNFACE)));
    bar.SendMessage(PBM_SETBARCOLOR, static_cast<WPARAM>(GetSysColor(COLOR_BTNSHADOW)),
                    static_cast<LPARAM>(GetSysColor(COLOR_BTNFACE)));
    bar.m_barTextColor = kBlack;
    bar.m_backTextColor = kBlack;
  }

  void paint() {
    bar.Invalidate(TRUE);
    bar.UpdateWindow();
  }
  COLORREF at(int x, int y = -1) const { return ui::pixelAt(bar.m_hWnd, x, y < 0 ? height / 2 : y); }
  std::vector<ui::TextRun> texts() const { return ui::textRuns(bar.m_hWnd); }

  TestWizardDialog dialog;
  CPercentBar bar;
  int width = 0;
  int height = 0;
};

TEST_F(PercentBarTest, StartsWithTheDocumentedColoursAndSteps) {
  CPercentBar fresh;
  EXPECT_EQ(fresh.m_colors,
            (std::vector<COLORREF>{GetSysColor(COLOR_ACTIVECAPTION), GetSysColor(COLOR_ACTIVECAPTION)}));
  EXPECT_EQ(fresh.m_backColor, GetSysColor(COLOR_BTNFACE));
  EXPECT_EQ(fresh.m_barTextColor, GetSysColor(COLOR_CAPTIONTEXT));
  EXPECT_EQ(fresh.m_backTextColor, GetSysColor(COLOR_BTNTEXT));
  EXPECT_EQ(fresh.m_segmentLength, 40);
  EXPECT_EQ(fresh.m_step, 10);
  EXPECT_TRUE(fresh.m_margins.IsRectNull());
}

TEST_F(PercentBarTest, SetBarTextReplacesTheTextModeAndTheWindowText) {
  bar.ModifyStyle(0, CPercentBar::kStretchGradient | CPercentBar::kTextPercent);
  bar.SetBarText("Processed 3 of 7 modules", CPercentBar::kTextOnly);
  CString text;
  bar.GetWindowText(text);
  EXPECT_EQ(text, "Processed 3 of 7 modules");
  EXPECT_EQ(bar.GetStyle() & CPercentBar::kTextMask, CPercentBar::kTextOnly);
  EXPECT_NE(bar.GetStyle() & CPercentBar::kStretchGradient, 0u) << "other style bits stay";

  bar.SetBarText("12", CPercentBar::kTextPosition);
  EXPECT_EQ(bar.GetStyle() & CPercentBar::kTextMask, CPercentBar::kTextPosition);

  bar.SetBarText("", CPercentBar::kTextOnly);
  bar.GetWindowText(text);
  EXPECT_TRUE(text.IsEmpty());
  EXPECT_EQ(bar.GetStyle() & CPercentBar::kTextMask, 0u);

  bar.SetBarText("Processed 1 of 1 classes", 0);
  bar.GetWindowText(text);
  EXPECT_TRUE(text.IsEmpty()) << "mode 0 removes the text";
  EXPECT_EQ(bar.GetStyle() & CPercentBar::kTextMask, 0u);

  bar.SetBarText("x", CPercentBar::kTextOnly);
  bar.SetBarText(nullptr, CPercentBar::kTextOnly);
  bar.GetWindowText(text);
  EXPECT_TRUE(text.IsEmpty());
  EXPECT_EQ(bar.GetStyle() & CPercentBar::kTextMask, 0u);
  EXPECT_NE(bar.GetStyle() & CPercentBar::kStretchGradient, 0u);
}

TEST_F(PercentBarTest, SetBarTextWorksFromAWorkerThread) {
  std::atomic<bool> done{false};
  struct Worker : CWinThread {
    CPercentBar* bar = nullptr;
    std::atomic<bool>* done = nullptr;
    BOOL InitInstance() override {
      bar->SetBarText("Wait, generating proxies...", CPercentBar::kTextOnly);
      bar->SetPos(40);
      *done = true;
      return FALSE;
    }
  };
  auto* worker = new Worker;
  worker->bar = &bar;
  worker->done = &done;
  ASSERT_TRUE(worker->CreateThread(CREATE_SUSPENDED));
  HANDLE handle = nullptr;
  ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), worker->m_hThread, GetCurrentProcess(), &handle, 0, FALSE,
                              DUPLICATE_SAME_ACCESS));
  worker->ResumeThread();
  ASSERT_EQ(WaitForSingleObject(handle, 10000), WAIT_OBJECT_0);
  CloseHandle(handle);
  EXPECT_TRUE(done.load());
  CString text;
  bar.GetWindowText(text);
  EXPECT_EQ(text, "Wait, generating proxies...");
  EXPECT_EQ(bar.GetStyle() & CPercentBar::kTextMask, CPercentBar::kTextOnly);
  EXPECT_EQ(bar.GetPos(), 40);
}

TEST_F(PercentBarTest, HalfwayTheDialogsGradientFillsTheLeftHalf) {
  dialogColors();
  bar.SetPos(50);
  paint();
  int end = width / 2;
  EXPECT_EQ(at(0), kFace) << "the gradient starts at the first colour";
  EXPECT_EQ(at(0, 0), kFace);
  COLORREF last = at(end - 1);
  EXPECT_LE(GetRValue(last), 130) << "and comes close to the second at the bar's end";
  EXPECT_GT(GetRValue(last), 127);
  // Grey all along, growing darker.
  for (int x = 1; x < end; ++x) {
    COLORREF c = at(x);
    ASSERT_EQ(GetRValue(c), GetGValue(c));
    ASSERT_EQ(GetRValue(c), GetBValue(c));
    ASSERT_LE(GetRValue(c), GetRValue(at(x - 1))) << "at " << x;
  }
  for (int x = end; x < width; x += 7) ASSERT_EQ(at(x), kFace) << "the rest is background, at " << x;
  EXPECT_EQ(at(width - 1), kFace);
}

TEST_F(PercentBarTest, WithoutStretchTheBarUncoversAGradientOfTheWholeLength) {
  dialogColors();
  bar.ModifyStyle(CPercentBar::kStretchGradient, 0);
  bar.SetPos(50);
  paint();
  COLORREF middle = at(width / 2 - 1);
  // Half way along a gradient from 192 to 128.
  EXPECT_GE(GetRValue(middle), 158);
  EXPECT_LE(GetRValue(middle), 163);
  EXPECT_EQ(at(width / 2 + 2), kFace);
}

TEST_F(PercentBarTest, AtTheLowerBoundOnlyTheBackgroundIsPainted) {
  dialogColors();
  bar.SendMessage(PBM_SETBKCOLOR, 0, static_cast<LPARAM>(RGB(10, 20, 30)));
  bar.SetPos(0);
  paint();
  for (int x = 0; x < width; x += 5) ASSERT_EQ(at(x), RGB(10, 20, 30)) << x;
}

TEST_F(PercentBarTest, EqualColoursPaintOneSolidStep) {
  EXPECT_EQ(bar.SendMessage(PBM_SETBARCOLOR, 0, static_cast<LPARAM>(RGB(0, 128, 0))),
            static_cast<LRESULT>(CLR_DEFAULT));
  EXPECT_EQ(bar.m_colors, (std::vector<COLORREF>{RGB(0, 128, 0), RGB(0, 128, 0)}));
  EXPECT_EQ(bar.SendMessage(PBM_SETBKCOLOR, 0, static_cast<LPARAM>(kWhite)), static_cast<LRESULT>(CLR_DEFAULT));
  EXPECT_EQ(bar.m_backColor, kWhite);
  bar.SetPos(100);
  paint();
  for (int x = 0; x < width; ++x) ASSERT_EQ(at(x), RGB(0, 128, 0)) << x;
}

TEST_F(PercentBarTest, ReversedAndVerticalBarsGrowFromTheirOwnEnds) {
  bar.SendMessage(PBM_SETBARCOLOR, 0, static_cast<LPARAM>(kBlack));
  bar.SendMessage(PBM_SETBKCOLOR, 0, static_cast<LPARAM>(kWhite));
  bar.SetPos(25);

  bar.ModifyStyle(0, CPercentBar::kReversed);
  paint();
  EXPECT_EQ(at(width - 1), kBlack);
  EXPECT_EQ(at(width - width / 4), kBlack);
  EXPECT_EQ(at(width - width / 4 - 2), kWhite);
  EXPECT_EQ(at(0), kWhite);

  bar.SetPos(50);
  bar.ModifyStyle(CPercentBar::kReversed, PBS_VERTICAL);
  paint();
  EXPECT_EQ(at(width / 2, height - 1), kBlack) << "a vertical bar grows from the bottom";
  EXPECT_EQ(at(width / 2, 0), kWhite);
  EXPECT_EQ(at(0, height - height / 2), kBlack) << "over the whole width";

  bar.ModifyStyle(0, CPercentBar::kReversed);
  paint();
  EXPECT_EQ(at(width / 2, 0), kBlack) << "a reversed vertical bar grows from the top";
  EXPECT_EQ(at(width / 2, height - 1), kWhite);
}

TEST_F(PercentBarTest, MarginsKeepTheBarAwayFromTheEdge) {
  bar.SendMessage(PBM_SETBARCOLOR, 0, static_cast<LPARAM>(kBlack));
  bar.SendMessage(PBM_SETBKCOLOR, 0, static_cast<LPARAM>(kWhite));
  bar.m_margins = CRect(3, 2, 5, 4);
  bar.SetPos(100);
  paint();
  EXPECT_EQ(at(2), kWhite);
  EXPECT_EQ(at(3), kBlack);
  EXPECT_EQ(at(width - 6), kBlack);
  EXPECT_EQ(at(width - 5), kWhite);
  EXPECT_EQ(at(10, 1), kWhite);
  EXPECT_EQ(at(10, 2), kBlack);
  EXPECT_EQ(at(10, height - 4), kWhite);
}

TEST_F(PercentBarTest, ALineInOneColourIsDrawnOnceCentred) {
  dialogColors();
  bar.SetFont(dialog.GetFont(), FALSE);
  bar.SetBarText("Removed 1 of 2 modules", CPercentBar::kTextOnly);
  bar.SetPos(50);
  paint();
  std::vector<ui::TextRun> runs = texts();
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0].text, "Removed 1 of 2 modules");
  EXPECT_EQ(runs[0].color, kBlack);
  EXPECT_EQ(runs[0].anchor.x, width / 2);
  EXPECT_EQ(runs[0].align, TA_CENTER | TA_BOTTOM);
  EXPECT_LT(runs[0].bounds.left, width / 2);
  EXPECT_GT(runs[0].bounds.right, width / 2) << "the text spans both parts";
}

TEST_F(PercentBarTest, TextInTwoColoursIsClippedToTheBarAndToTheRest) {
  bar.SendMessage(PBM_SETBARCOLOR, 0, static_cast<LPARAM>(kBlack));
  bar.m_barTextColor = kWhite;
  bar.m_backTextColor = kBlack;
  bar.SetBarText("Processed 5 of 10 classes", CPercentBar::kTextOnly);
  bar.SetPos(50);
  paint();
  std::vector<ui::TextRun> runs = texts();
  ASSERT_EQ(runs.size(), 2u);
  int end = width / 2;
  for (const ui::TextRun& run : runs) {
    EXPECT_EQ(run.text, "Processed 5 of 10 classes");
    if (run.color == kWhite) {
      EXPECT_LE(run.bounds.right, end) << "white over the bar";
    } else {
      EXPECT_EQ(run.color, kBlack);
      EXPECT_GE(run.bounds.left, end) << "black over the background";
    }
  }
  EXPECT_NE(runs[0].color, runs[1].color);
}

TEST_F(PercentBarTest, PercentageAndPositionModesFormatTheValue) {
  dialogColors();
  bar.SetPos(37);
  bar.ModifyStyle(CPercentBar::kTextMask, CPercentBar::kTextPercent);
  paint();
  ASSERT_EQ(texts().size(), 1u);
  EXPECT_EQ(texts()[0].text, "37%");

  bar.SetRange32(100, 300);
  bar.SetPos(150);
  paint();
  EXPECT_EQ(texts()[0].text, "25%");

  bar.ModifyStyle(CPercentBar::kTextMask, CPercentBar::kTextPosition);
  paint();
  EXPECT_EQ(texts()[0].text, "150");

  // A window text is the format; a '%' that is not "%d" or "%%" is shown as it is.
  bar.SetWindowText("%s done: %d%% (%x)");
  bar.ModifyStyle(CPercentBar::kTextMask, CPercentBar::kTextPercent);
  paint();
  EXPECT_EQ(texts()[0].text, "%s done: 25% (%x)");

  // The text-only mode without a text, or no mode, draws nothing.
  bar.SetWindowText("");
  bar.ModifyStyle(CPercentBar::kTextMask, CPercentBar::kTextOnly);
  paint();
  EXPECT_TRUE(texts().empty());
  bar.SetWindowText("hidden");
  bar.ModifyStyle(CPercentBar::kTextMask, 0);
  paint();
  EXPECT_TRUE(texts().empty());
}

TEST_F(PercentBarTest, AnEmptyRangePaintsTheBackgroundAndZeroPercent) {
  dialogColors();
  bar.SetRange32(5, 5);
  bar.SetPos(5);
  bar.ModifyStyle(CPercentBar::kTextMask, CPercentBar::kTextPercent);
  paint();
  EXPECT_EQ(at(0), kFace);
  EXPECT_EQ(at(width - 1), kFace);
  ASSERT_EQ(texts().size(), 1u);
  EXPECT_EQ(texts()[0].text, "0%");
}

TEST_F(PercentBarTest, StepMessagesKeepTheStepAndMoveAsTheControlDoes) {
  EXPECT_EQ(bar.SetStep(25), 10);
  EXPECT_EQ(bar.m_step, 25);
  EXPECT_EQ(ui::progressState(bar.m_hWnd).step, 25);
  bar.SetPos(10);
  EXPECT_EQ(bar.StepIt(), 10);
  EXPECT_EQ(bar.GetPos(), 35);
  EXPECT_EQ(bar.OffsetPos(-5), 35);
  EXPECT_EQ(bar.GetPos(), 30);
  EXPECT_EQ(bar.m_segmentStart, 0) << "no segment moves outside the moving-segment mode";
}

TEST_F(PercentBarTest, MovingSegmentRunsAlongTheBarAndStartsOverFromTheOtherSide) {
  bar.SendMessage(PBM_SETBARCOLOR, 0, static_cast<LPARAM>(kBlack));
  bar.SendMessage(PBM_SETBKCOLOR, 0, static_cast<LPARAM>(kWhite));
  bar.ModifyStyle(0, CPercentBar::kMovingSegment);
  EXPECT_EQ(bar.SetPos(30), 0);
  EXPECT_EQ(bar.m_segmentStart, 0);
  EXPECT_EQ(bar.SetPos(70), 30);
  EXPECT_EQ(bar.m_segmentStart, 30);
  paint();
  int start = width * 30 / 100, end = width * 70 / 100;
  EXPECT_EQ(at(start - 2), kWhite) << "before the segment";
  EXPECT_EQ(at(start + 1), kBlack);
  EXPECT_EQ(at(end - 2), kBlack);
  EXPECT_EQ(at(end + 2), kWhite) << "after the segment";

  // Stepping on: the head stops at the end while the tail catches up, then the segment starts
  // over from the other side.
  bar.SetStep(10);
  bar.SetPos(100);
  EXPECT_EQ(bar.m_segmentStart, 60);
  bar.StepIt();  // head 110
  EXPECT_EQ(bar.GetPos(), 100);
  EXPECT_EQ(bar.m_segmentStart, 70);
  bar.StepIt();  // head 120
  EXPECT_EQ(bar.m_segmentStart, 80);
  bar.StepIt();  // head 130
  bar.StepIt();  // head 140
  EXPECT_EQ(bar.m_segmentStart, 100);
  EXPECT_EQ(bar.GetStyle() & CPercentBar::kReversed, 0u);
  bar.StepIt();  // head 150 is past 140: it starts over at 10
  EXPECT_EQ(bar.GetPos(), 10);
  EXPECT_EQ(bar.m_segmentStart, 0);
  EXPECT_NE(bar.GetStyle() & CPercentBar::kReversed, 0u);
  bar.OffsetPos(-15);  // relative moves go forward by the amount
  EXPECT_EQ(bar.GetPos(), 25);
}

TEST_F(PercentBarTest, OffscreenSurfaceReachesTheTargetWhenItIsDone) {
  CClientDC client(&bar);
  {
    COffscreenDC offscreen(&client);
    offscreen.FillSolidRect(0, 0, 10, 10, RGB(1, 2, 3));
    offscreen.TextOut(20, 5, "off", 3);
    EXPECT_NE(ui::pixelAt(bar.m_hWnd, 5, 5), RGB(1, 2, 3)) << "nothing reaches the target before the copy";
  }
  EXPECT_EQ(ui::pixelAt(bar.m_hWnd, 5, 5), RGB(1, 2, 3));
  ASSERT_EQ(texts().size(), 1u);
  EXPECT_EQ(texts()[0].text, "off");
  EXPECT_EQ(texts()[0].anchor.x, 20);

  // Over a printer surface it draws straight onto the target.
  client.m_bPrinting = TRUE;
  {
    COffscreenDC direct(&client);
    direct.FillSolidRect(0, 0, 10, 10, RGB(4, 5, 6));
    EXPECT_EQ(ui::pixelAt(bar.m_hWnd, 5, 5), RGB(4, 5, 6));
  }
  EXPECT_NE(client.GetSafeHdc(), nullptr) << "the target keeps its surface";
  client.m_bPrinting = FALSE;
}

}  // namespace
