// Shared by the tests of the modules, JNI classes, substitute names and JVM pages: a page shown
// alone in the test generator dialog, a progress bar that keeps what the jobs report, and small
// readers of the driver's state.
#pragma once

#include "PercentBar.h"
#include "UiDriver.h"
#include "Win32.h"
#include "WizardResources.h"
#include "WizardTestSupport.h"

#include <memory>
#include <string>
#include <vector>

namespace pagetest {

// The dialog's progress bar, keeping every text and position the jobs gave it (it records on
// the dialog's thread, where the jobs' calls arrive).
class RecordingBar : public CPercentBar {
 public:
  std::vector<std::string> texts;  // every window text set, in order ("" when cleared)
  std::vector<int> positions;      // every position set, in order

  // The texts set that were not empty.
  std::vector<std::string> shownTexts() const {
    std::vector<std::string> shown;
    for (const std::string& text : texts) {
      if (!text.empty()) shown.push_back(text);
    }
    return shown;
  }
  void forget() {
    texts.clear();
    positions.clear();
  }

 protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == WM_SETTEXT) texts.emplace_back(lParam != 0 ? reinterpret_cast<const char*>(lParam) : "");
    if (message == PBM_SETPOS) positions.push_back(static_cast<int>(wParam));
    return CPercentBar::WindowProc(message, wParam, lParam);
  }
};

// The test generator dialog with `Page` as its one shown and current page, and the dialog's
// progress bar bound to a RecordingBar.
template <class Page>
class PageHost {
 public:
  PageHost() : dialog(std::make_unique<wizardtest::TestWizardDialog>()) {}
  ~PageHost() { close(); }

  // Opens the dialog and creates the page in its frame; false when either fails.
  bool open() {
    if (!dialog->open()) return false;
    if (!bar.SubclassDlgItem(IDC_PROGRESS_BAR, dialog.get())) return false;
    CWnd* frame = CWnd::FromHandle(dialog->control(IDC_PAGE_FRAME));
    if (!page.Create(Page::IDD, frame)) return false;
    CRect area;
    frame->GetClientRect(&area);
    page.MoveWindow(&area);
    dialog->m_page.ShowWindow(SW_HIDE);
    dialog->m_pCurrentPage = &page;
    page.ShowWindow(SW_SHOW);
    ui::pumpMessages();
    return true;
  }
  // Destroys the page (stopping its job) and the dialog.
  void close() {
    if (page.GetSafeHwnd() != nullptr) page.DestroyWindow();
    if (bar.GetSafeHwnd() != nullptr) bar.UnsubclassWindow();
    if (dialog != nullptr && dialog->GetSafeHwnd() != nullptr) dialog->DestroyWindow();
    ui::pumpMessages();
  }

  HWND control(int id) const { return ::GetDlgItem(page.m_hWnd, id); }
  bool enabled(int id) const { return ::IsWindowEnabled(control(id)) != FALSE; }
  bool click(int id) { return ui::clickButton(control(id)); }
  // Whether the worker's switch left Generate, StoreSettings, the tree and the page enabled.
  bool wizardEnabled() const {
    return dialog->enabled(IDOK) && dialog->enabled(IDC_STORE_SETTINGS) && dialog->enabled(IDC_PAGE_TREE) &&
           ::IsWindowEnabled(page.m_hWnd) != FALSE;
  }
  // Pumps until the page's job has ended; false when it did not in time.
  bool waitForJob() {
    bool ended = ui::pumpUntil([this] { return !page.IsJobRunning(); });
    ui::pumpMessages();
    return ended;
  }
  // Hides and shows the page again, as a switch to another page and back does.
  void showAgain() {
    page.ShowWindow(SW_HIDE);
    page.ShowWindow(SW_SHOW);
    ui::pumpMessages();
  }

  std::unique_ptr<wizardtest::TestWizardDialog> dialog;
  RecordingBar bar;
  Page page;
};

// The texts of column `column` of every row of a list.
inline std::vector<std::string> columnTexts(HWND list, size_t column = 0) {
  std::vector<std::string> texts;
  for (const ui::ListItemState& item : ui::listState(list).items) {
    texts.push_back(column < item.texts.size() ? item.texts[column] : std::string());
  }
  return texts;
}

inline std::vector<int> rowImages(HWND list) {
  std::vector<int> images;
  for (const ui::ListItemState& item : ui::listState(list).items) images.push_back(item.image);
  return images;
}

// Selects the given rows at once (several rows cannot be clicked together).
inline void selectRows(HWND list, const std::vector<int>& rows) {
  for (int row : rows) {
    LVITEM item{};
    item.stateMask = LVIS_SELECTED;
    item.state = LVIS_SELECTED;
    ::SendMessage(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
  }
}

// The texts of the message boxes of the win32 journal with that caption, in order.
inline std::vector<std::string> messageBoxTexts(const std::string& caption) {
  std::vector<std::string> texts;
  for (const win32::JournalEntry& entry : win32::journal()) {
    if (entry.kind == "MessageBox" && entry.caption == caption) texts.push_back(entry.text);
  }
  return texts;
}

}  // namespace pagetest
