// Pictures of windows drawn from their state: the classic controls, images with their mask, and
// the pixels that change as the state does.
#include "UiTestSupport.h"

#include <string>
#include <vector>

using namespace uitest;

namespace {

const COLORREF kRed = RGB(255, 0, 0);

// Where a control lies in a picture of its top-level window.
RECT placeIn(const ui::Picture& picture, HWND top, HWND control) {
  RECT t{}, c{};
  ::GetWindowRect(top, &t);
  ::GetWindowRect(control, &c);
  const int dx = picture.client.x - t.left, dy = picture.client.y - t.top;
  return RECT{c.left + dx, c.top + dy, c.right + dx, c.bottom + dy};
}

int count(const ui::Picture& picture, const RECT& r, bool (*test)(COLORREF)) {
  int n = 0;
  for (int y = r.top; y < r.bottom; ++y) {
    for (int x = r.left; x < r.right; ++x) n += test(picture.at(x, y)) ? 1 : 0;
  }
  return n;
}
bool dark(COLORREF c) { return c != CLR_INVALID && GetRValue(c) + GetGValue(c) + GetBValue(c) < 200; }
bool highlight(COLORREF c) { return c == GetSysColor(COLOR_HIGHLIGHT); }

class PicturesTest : public UiTest {
 protected:
  void SetUp() override {
    UiTest::SetUp();
    ASSERT_TRUE(dialog.Create(kHostTemplate));
    host = dialog.m_hWnd;
    ui::pumpMessages();
  }
  HWND control(int id) const { return GetDlgItem(host, id); }
  ui::Picture shot() {
    ui::pumpMessages();
    return ui::windowPicture(host);
  }
  CDialog dialog;
  HWND host = nullptr;
};

TEST_F(PicturesTest, ControlsShowTheirStateInTheClassicLook) {
  ui::Picture p = shot();
  ASSERT_EQ(p.width, 400 * 6 / 4 + 6);
  ASSERT_EQ(p.height, 300 * 13 / 8 + 25);
  EXPECT_EQ(p.at(4, 4), GetSysColor(COLOR_ACTIVECAPTION)) << "the caption bar of the active window";
  EXPECT_EQ(p.at(p.client.x + 2, p.client.y + 2), GetSysColor(COLOR_BTNFACE)) << "the dialog's face";
  EXPECT_GT(count(p, placeIn(p, host, control(kStatic)), dark), 20) << "the static's text";

  // The check box: its box is empty, then holds the check mark.
  RECT box = placeIn(p, host, control(kCheck));
  const int top = box.top + (box.bottom - box.top - 13) / 2;
  const RECT inside{box.left + 2, top + 2, box.left + 11, top + 11};
  EXPECT_EQ(count(p, inside, dark), 0);
  ASSERT_TRUE(ui::clickButton(control(kCheck)));
  p = shot();
  EXPECT_GE(count(p, inside, dark), 15) << "the check mark";

  // The smooth bar fills its share of the range with the highlight colour.
  ::SendMessage(control(kProgress), PBM_SETPOS, 25, 0);
  p = shot();
  RECT bar = placeIn(p, host, control(kProgress));
  const int filled = count(p, RECT{bar.left, bar.top + 4, bar.right, bar.top + 5}, highlight);
  EXPECT_NEAR(filled, (bar.right - bar.left - 4) / 4, 2);

  // A row selected in the focused list is blue; the focused edit shows its caret.
  LVCOLUMN column{};
  column.mask = LVCF_TEXT | LVCF_WIDTH;
  column.cx = 120;
  column.pszText = const_cast<char*>("Name");
  ::SendMessage(control(kList), LVM_INSERTCOLUMN, 0, reinterpret_cast<LPARAM>(&column));
  LVITEM item{};
  item.mask = LVIF_TEXT;
  item.pszText = const_cast<char*>("row");
  ::SendMessage(control(kList), LVM_INSERTITEM, 0, reinterpret_cast<LPARAM>(&item));
  ASSERT_TRUE(ui::clickListItem(control(kList), 0));
  p = shot();
  RECT list = placeIn(p, host, control(kList));
  EXPECT_GT(count(p, RECT{list.left + 2, list.top + 22, list.left + 30, list.top + 38}, highlight), 100);
  ASSERT_TRUE(ui::typeText(control(kEdit), "abc"));
  p = shot();
  RECT edit = placeIn(p, host, control(kEdit));
  EXPECT_GT(count(p, edit, dark), 10) << "text and caret";
}

TEST_F(PicturesTest, ImagesOfAListKeepTheirPixelsAndLoseTheirMask) {
  // A strip of two 16-pixel images: the second red with a grey (mask) corner.
  std::vector<std::string> lines = {"32 16 2 1", "g c #C0C0C0", "r c #FF0000"};
  for (int y = 0; y < 16; ++y)
    lines.push_back(std::string(16, 'g') + (y < 4 ? std::string(4, 'g') + std::string(12, 'r') : std::string(16, 'r')));
  std::vector<const char*> xpm;
  for (const std::string& l : lines) xpm.push_back(l.c_str());
  ASSERT_TRUE(ui::registerBitmapImage(9901, xpm.data(), xpm.size()));
  EXPECT_FALSE(ui::registerBitmapImage(9902, xpm.data(), 5)) << "fewer rows than the header says";
  const char* const undefined[] = {"1 1 1 1", "g c #C0C0C0", "x"};
  EXPECT_FALSE(ui::registerBitmapImage(9903, undefined));

  CImageList images;
  ASSERT_TRUE(images.Create(9901, 16, 1, RGB(192, 192, 192)));
  EXPECT_EQ(images.GetImageCount(), 2);
  ::SendMessage(control(kList), LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(images.m_hImageList));
  LVCOLUMN column{};
  column.mask = LVCF_WIDTH;
  column.cx = 120;
  ::SendMessage(control(kList), LVM_INSERTCOLUMN, 0, reinterpret_cast<LPARAM>(&column));
  LVITEM item{};
  item.mask = LVIF_TEXT | LVIF_IMAGE;
  item.iImage = 1;
  item.pszText = const_cast<char*>("red");
  ::SendMessage(control(kList), LVM_INSERTITEM, 0, reinterpret_cast<LPARAM>(&item));
  const ui::Picture p = shot();
  RECT list = placeIn(p, host, control(kList));
  const int iconX = list.left + 2, iconY = list.top + 2 + 20;  // inside the edge, under the header
  EXPECT_EQ(p.at(iconX + 10, iconY + 10), kRed);
  EXPECT_EQ(p.at(iconX + 1, iconY + 1), GetSysColor(COLOR_WINDOW)) << "the mask shows the list through";
  ::SendMessage(control(kList), LVM_SETIMAGELIST, LVSIL_SMALL, 0);
}

}  // namespace
