// The caption font of the wizard's pages: made from the page's own font, set on the statics
// that do not use it yet, kept while they use it, replaced when another height is asked for.
#include "CaptionFont.h"
#include "WizardResources.h"
#include "WizardTestSupport.h"

#include <cstring>

using namespace wizardtest;

namespace {

class CaptionFontTest : public WizardUiTest {
 protected:
  void SetUp() override {
    WizardUiTest::SetUp();
    ASSERT_TRUE(dialog.open());
    title.SubclassDlgItem(IDC_PAGE_TITLE, &dialog);
    frame.SubclassDlgItem(IDC_PAGE_FRAME, &dialog);
  }
  TestWizardDialog dialog;
  CStatic title;
  CStatic frame;
};

HFONT fontOf(HWND window) { return ui::windowState(window).font; }

TEST_F(CaptionFontTest, FontIsThePagesFontInTimesNewRomanOfTheHeightAsked) {
  LOGFONT own{};
  ASSERT_NE(dialog.GetFont(), nullptr);
  dialog.GetFont()->GetLogFont(&own);
  own.lfUnderline = TRUE;  // kept from the page's font like every field not named below
  own.lfItalic = TRUE;
  CFont underlined;
  ASSERT_TRUE(underlined.CreateFontIndirect(&own));
  dialog.SetFont(&underlined, FALSE);

  CCaptionFont caption;
  CFont* font = caption.Apply(dialog, {&title, &frame});
  ASSERT_NE(font, nullptr);
  EXPECT_EQ(fontOf(title.m_hWnd), static_cast<HFONT>(*font));
  EXPECT_EQ(fontOf(frame.m_hWnd), static_cast<HFONT>(*font));
  ui::FontState state = ui::fontState(*font);
  ASSERT_TRUE(state.alive);
  const LOGFONT& lf = state.logFont;
  EXPECT_EQ(lf.lfHeight, -12);
  EXPECT_EQ(lf.lfWidth, 0);
  EXPECT_EQ(lf.lfWeight, 400);
  EXPECT_EQ(lf.lfItalic, 0);
  EXPECT_EQ(lf.lfStrikeOut, 0);
  EXPECT_EQ(lf.lfUnderline, 1);
  EXPECT_EQ(lf.lfCharSet, own.lfCharSet);
  EXPECT_EQ(lf.lfOutPrecision, 3);
  EXPECT_EQ(lf.lfClipPrecision, 2);
  EXPECT_EQ(lf.lfQuality, 2);
  EXPECT_EQ(lf.lfPitchAndFamily, 20);
  EXPECT_STREQ(lf.lfFaceName, "Times New Roman");
  dialog.SetFont(nullptr, FALSE);
}

TEST_F(CaptionFontTest, RepeatedPaintsKeepTheFontAndAnotherHeightReplacesIt) {
  CCaptionFont caption;
  HFONT first = *caption.Apply(dialog, {&title});
  HFONT again = *caption.Apply(dialog, {&title, nullptr});
  EXPECT_EQ(again, first) << "the same font serves every paint";

  HFONT large = *caption.Apply(dialog, {&title}, -25);
  EXPECT_NE(large, first);
  EXPECT_EQ(fontOf(title.m_hWnd), large);
  EXPECT_EQ(ui::fontState(large).logFont.lfHeight, -25);
  EXPECT_FALSE(ui::fontState(first).alive) << "the font no control uses any more is deleted";
  EXPECT_TRUE(ui::fontState(large).alive);
}

TEST_F(CaptionFontTest, ControlsWithoutWindowAreSkipped) {
  CStatic unbound;
  CCaptionFont caption;
  CFont* font = caption.Apply(dialog, {&unbound, &title});
  ASSERT_NE(font, nullptr);
  EXPECT_EQ(fontOf(title.m_hWnd), static_cast<HFONT>(*font));
  // Without a window of its own the page's font is the system font.
  CWnd none;
  LOGFONT lf = MakeCaptionLogFont(none, -12);
  EXPECT_EQ(lf.lfHeight, -12);
  EXPECT_STREQ(lf.lfFaceName, "Times New Roman");
}

}  // namespace
