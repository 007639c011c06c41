#include "WizardTestSupport.h"

#include "WizardResources.h"

namespace wizardtest {

void WizardUiTest::SetUp() {
  ui::resetDriver();
  win32::clearJournal();
  registerWizardImages();
  registerTestDialogTemplates();
}

void WizardUiTest::TearDown() {
  for (HWND w : ui::topLevelWindows()) DestroyWindow(w);
  ui::pumpMessages();
  EXPECT_EQ(ui::pendingScripts(), 0u) << "a scripted answer was never used";
  ui::resetDriver();
}

void registerTestDialogTemplates() {
  ui::DialogTemplate dialog;
  dialog.caption = "KAVRIN Generator";
  dialog.cx = 491;
  dialog.cy = 319;
  dialog.style = WS_POPUP | WS_CAPTION | DS_MODALFRAME | WS_VISIBLE;
  dialog.controls = {
      {IDC_PAGE_TREE, WC_TREEVIEW, "", 4, 4, 119, 283, WS_VISIBLE | WS_TABSTOP | TVS_HASBUTTONS | TVS_LINESATROOT, 0},
      {IDC_PAGE_TITLE, WC_STATIC, "", 147, 4, 340, 22, WS_VISIBLE | SS_CENTER | SS_CENTERIMAGE, 0},
      {IDC_PAGE_FRAME, WC_STATIC, "", 132, 34, 355, 253, WS_VISIBLE | SS_WHITEFRAME, 0},
      {IDC_PROGRESS_BAR, PROGRESS_CLASS, "", 4, 301, 324, 14, WS_VISIBLE | PBS_SMOOTH, 0},
      {IDOK, WC_BUTTON, "Generate", 331, 301, 50, 14, WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 0},
      {IDC_STORE_SETTINGS, WC_BUTTON, "StoreSettings", 384, 301, 50, 14, WS_VISIBLE | WS_TABSTOP, 0},
      {IDCANCEL, WC_BUTTON, "Close", 437, 301, 50, 14, WS_VISIBLE | WS_TABSTOP, 0},
  };
  ui::registerDialog(kTestDialogTemplate, dialog);

  ui::DialogTemplate partial = dialog;
  partial.controls.erase(partial.controls.begin() + 5);  // no StoreSettings button
  ui::registerDialog(kTestDialogWithoutStoreTemplate, partial);

  ui::DialogTemplate page;
  page.cx = 335;
  page.cy = 257;
  page.style = WS_CHILD | DS_CONTROL;
  page.controls = {{kTestPageButton, WC_BUTTON, "Add...", 273, 36, 50, 14, WS_VISIBLE | WS_TABSTOP, 0}};
  ui::registerDialog(kTestPageTemplate, page);
}

TestWizardDialog::TestWizardDialog(UINT templateId)
    : CGeneratorDlgBase(templateId, nullptr), m_page(kTestPageTemplate) {}

bool TestWizardDialog::open() { return Create(m_nIDTemplate, nullptr) != FALSE; }

BOOL TestWizardDialog::OnInitDialog() {
  CGeneratorDlgBase::OnInitDialog();
  CWnd* frame = GetDlgItem(IDC_PAGE_FRAME);
  if (frame != nullptr && m_page.Create(kTestPageTemplate, frame)) {
    m_page.ShowWindow(SW_SHOW);
    m_pCurrentPage = &m_page;
  }
  return TRUE;
}

HWND TestWizardDialog::control(int id) const { return ::GetDlgItem(m_hWnd, id); }

bool TestWizardDialog::enabled(int id) const { return ::IsWindowEnabled(control(id)) != FALSE; }

bool TestWizardDialog::pageEnabled() const { return ::IsWindowEnabled(m_page.m_hWnd) != FALSE; }

}  // namespace wizardtest
