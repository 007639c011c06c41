// Shared set-up of the tests of the classes page, the member filters and the check-list pages:
// the fixture classes as the only module, the generator's global switches off, and a page shown
// alone in the test wizard dialog's page frame, as the generator dialog shows its pages.
#pragma once

#include "ProjectModel.h"
#include "UiDriver.h"
#include "WizardTestSupport.h"

#include <string>
#include <vector>

namespace pagestest {

class PagesTest : public wizardtest::WizardUiTest {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Creates the page from its template in the dialog's page frame, places it over the frame,
  // hides the dialog's own page and shows this one.
  void host(CDialog& page, UINT templateId);

  // Adds a class to the model.
  ClassSettings& addClass(const char* name, unsigned char type = 0, bool hasNatives = false);

  wizardtest::TestWizardDialog dialog;
  ClassSettingsMap classes;
  GlobalFilter filter;
};

// Rows of a list control: the texts of column 0, the images, the check boxes.
std::vector<std::string> rowTexts(HWND list);
std::vector<int> rowImages(HWND list);
std::vector<bool> rowChecks(HWND list);

// The window of a splitter's pane in row 0.
HWND paneWindow(const CSplitterWnd& splitter, int column);

// The first tree item with the text (depth first); fails the test when there is none.
ui::TreeItemState treeItem(HWND tree, const std::string& text);
bool hasTreeItem(HWND tree, const std::string& text);
// The texts of the children of the item with the text, in order.
std::vector<std::string> childTexts(HWND tree, const std::string& text);

}  // namespace pagestest
