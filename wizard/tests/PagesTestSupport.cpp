#include "PagesTestSupport.h"

#include "ClassRepository.h"
#include "ProxyGenerator.h"
#include "TestPaths.h"
#include "WizardResources.h"

namespace pagestest {

namespace {

void resetGenerator() {
  for (bool (*setter)(bool) :
       {setFieldsExcludeInherited, setFieldsExcludeRegular, setFieldsExcludePrivate, setFieldsExcludeProtected,
        setMethodsExcludeInherited, setMethodsExcludeRegular, setMethodsExcludePrivate, setMethodsExcludeProtected}) {
    setter(false);
  }
  ClassRepository::resetModules("");
}

}  // namespace

void PagesTest::SetUp() {
  WizardUiTest::SetUp();
  registerClassesPageTemplate();
  registerFilterDialogTemplate();
  registerGlobalFilterPageTemplate();
  registerLocalFilterPageTemplate();
  registerNativesPageTemplate();
  registerInterfacesPageTemplate();
  registerDelegatorsPageTemplate();
  resetGenerator();
  ClassRepository::resetModules(kavrin_test::kFakeJre);
  ClassRepository::addModule(kavrin_test::kFixtureClasses);
  ASSERT_TRUE(dialog.open());
}

void PagesTest::TearDown() {
  WizardUiTest::TearDown();
  resetGenerator();
}

void PagesTest::host(CDialog& page, UINT templateId) {
  CWnd* frame = dialog.GetDlgItem(IDC_PAGE_FRAME);
  ASSERT_NE(frame, nullptr);
  ASSERT_TRUE(page.Create(templateId, frame));
  CRect area;
  frame->GetClientRect(&area);
  page.MoveWindow(&area);
  dialog.m_page.ShowWindow(SW_HIDE);
  page.ShowWindow(SW_SHOW);
  dialog.m_pCurrentPage = &page;
  ui::pumpMessages();
}

ClassSettings& PagesTest::addClass(const char* name, unsigned char type, bool hasNatives) {
  ClassSettings& settings = classes[name];
  settings.TYPE = type;
  settings.bHasNativeMethods = hasNatives;
  return settings;
}

std::vector<std::string> rowTexts(HWND list) {
  std::vector<std::string> texts;
  for (const ui::ListItemState& item : ui::listState(list).items)
    texts.push_back(item.texts.empty() ? "" : item.texts[0]);
  return texts;
}

std::vector<int> rowImages(HWND list) {
  std::vector<int> images;
  for (const ui::ListItemState& item : ui::listState(list).items) images.push_back(item.image);
  return images;
}

std::vector<bool> rowChecks(HWND list) {
  std::vector<bool> checks;
  for (const ui::ListItemState& item : ui::listState(list).items) checks.push_back(item.checked);
  return checks;
}

HWND paneWindow(const CSplitterWnd& splitter, int column) {
  CWnd* pane = splitter.GetPane(0, column);
  return pane != nullptr ? pane->m_hWnd : nullptr;
}

ui::TreeItemState treeItem(HWND tree, const std::string& text) {
  for (const ui::TreeItemState& item : ui::treeState(tree).items) {
    if (item.text == text) return item;
  }
  ADD_FAILURE() << "no tree item \"" << text << "\"";
  return ui::TreeItemState{};
}

bool hasTreeItem(HWND tree, const std::string& text) {
  for (const ui::TreeItemState& item : ui::treeState(tree).items) {
    if (item.text == text) return true;
  }
  return false;
}

std::vector<std::string> childTexts(HWND tree, const std::string& text) {
  ui::TreeState state = ui::treeState(tree);
  HTREEITEM parent = nullptr;
  for (const ui::TreeItemState& item : state.items) {
    if (item.text == text) {
      parent = item.handle;
      break;
    }
  }
  std::vector<std::string> children;
  if (parent == nullptr) return children;
  for (const ui::TreeItemState& item : state.items) {
    if (item.parent == parent) children.push_back(item.text);
  }
  return children;
}

}  // namespace pagestest
