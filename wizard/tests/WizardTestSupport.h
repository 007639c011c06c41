// Shared set-up of the tests of the wizard and the add-in: a fixture that starts every test with
// a fresh user-interface driver and leaves no window, script or record behind, and a small
// generator dialog with the controls that the wizard's threads switch.
#pragma once

#include "Mfc.h"
#include "UiDriver.h"
#include "WizardControls.h"

#include <gtest/gtest.h>

#include <string>

namespace wizardtest {

class WizardUiTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
};

// Templates of the test dialog (a visible top-level window) and of its one page.
enum : UINT {
  kTestDialogTemplate = 9129,
  kTestDialogWithoutStoreTemplate = 9130,
  kTestPageTemplate = 9131,
};
// A push button of the test page.
constexpr int kTestPageButton = 1004;

void registerTestDialogTemplates();

// A generator dialog with Generate (IDOK), StoreSettings (1036), Close (IDCANCEL), the page
// tree (1000), the page frame (1002), the progress bar (1017) and one page, shown in the frame
// and made the current page once the dialog opens.
class TestWizardDialog : public CGeneratorDlgBase {
 public:
  explicit TestWizardDialog(UINT templateId = kTestDialogTemplate);
  // Opens the dialog modeless; false when it cannot.
  bool open();
  HWND control(int id) const;
  bool enabled(int id) const;
  bool pageEnabled() const;

  CDialog m_page;

 protected:
  BOOL OnInitDialog() override;
};

}  // namespace wizardtest
