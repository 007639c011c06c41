// The "Substitute Names" page: substitutions added, selected, updated and deleted through the
// edit fields and buttons, and the two prefix switches, as a user drives the page.
#include "PageTestSupport.h"
#include "ProxyGenerator.h"
#include "SubstituteNamesPage.h"

using namespace pagetest;

namespace {

class SubstituteNamesPageTest : public wizardtest::WizardUiTest {
 protected:
  void SetUp() override {
    WizardUiTest::SetUp();
    registerSubstituteNamesPageTemplate();
    setAddFieldPrefix(false);
    setAddMethodPrefix(false);
  }
  void TearDown() override {
    host.close();
    setAddFieldPrefix(false);
    setAddMethodPrefix(false);
    WizardUiTest::TearDown();
  }

  void open() {
    host.page.SetModel(&substitutions, &fieldPrefix, &methodPrefix);
    ASSERT_TRUE(host.open());
  }
  HWND list() const { return host.control(IDC_SUBSTITUTE_LIST); }
  std::string text(int id) const { return ui::windowState(host.control(id)).text; }
  void type(const std::string& oldName, const std::string& newName) {
    ASSERT_TRUE(ui::typeText(host.control(IDC_OLD_NAME), oldName));
    ASSERT_TRUE(ui::typeText(host.control(IDC_NEW_NAME), newName));
  }
  void addSubstitution(const std::string& oldName, const std::string& newName) {
    type(oldName, newName);
    ASSERT_TRUE(host.click(IDC_ADD));
  }
  std::vector<std::pair<std::string, std::string>> rows() const {
    std::vector<std::pair<std::string, std::string>> result;
    std::vector<std::string> olds = columnTexts(list(), 0), news = columnTexts(list(), 1);
    for (size_t i = 0; i < olds.size(); ++i) result.emplace_back(olds[i], news[i]);
    return result;
  }

  NameSubstitutionMap substitutions;
  bool fieldPrefix = false;
  bool methodPrefix = false;
  PageHost<CSubstituteNamesPage> host;
};

TEST_F(SubstituteNamesPageTest, ShowingThePageListsTheSubstitutionsAndSwitches) {
  substitutions = {{"union", "union_"}, {"delete", "delete_"}};
  methodPrefix = true;
  open();
  ui::ListState state = ui::listState(list());
  ASSERT_EQ(state.columns.size(), 2u);
  EXPECT_EQ(state.columns[0].text, "Old name");
  EXPECT_EQ(state.columns[1].text, "New name");
  EXPECT_EQ(state.columns[1].width, 264);
  EXPECT_EQ(state.extendedStyle & (LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT), LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
  EXPECT_EQ(rows(), (std::vector<std::pair<std::string, std::string>>{{"delete", "delete_"}, {"union", "union_"}}));
  EXPECT_EQ(ui::buttonCheck(host.control(IDC_FIELD_PREFIX)), BST_UNCHECKED);
  EXPECT_EQ(ui::buttonCheck(host.control(IDC_METHOD_PREFIX)), BST_CHECKED);
}

TEST_F(SubstituteNamesPageTest, AddTakesBothNamesOnceAndEmptiesTheFields) {
  open();
  addSubstitution("union", "union_");
  EXPECT_EQ(substitutions, (NameSubstitutionMap{{"union", "union_"}}));
  EXPECT_EQ(rows(), (std::vector<std::pair<std::string, std::string>>{{"union", "union_"}}));
  EXPECT_EQ(text(IDC_OLD_NAME), "");
  EXPECT_EQ(text(IDC_NEW_NAME), "");

  // An empty new name, an empty old name, or an old name that has its substitution: nothing.
  addSubstitution("delete", "");
  addSubstitution("", "x");
  addSubstitution("union", "other");
  EXPECT_EQ(substitutions, (NameSubstitutionMap{{"union", "union_"}}));
  EXPECT_EQ(rows().size(), 1u);
  EXPECT_EQ(text(IDC_OLD_NAME), "union") << "a refused entry stays in the fields";
}

TEST_F(SubstituteNamesPageTest, SelectingARowShowsItsNames) {
  open();
  addSubstitution("a", "a1");
  addSubstitution("b", "b1");
  ASSERT_TRUE(ui::clickListItem(list(), 1));
  EXPECT_EQ(text(IDC_OLD_NAME), "b");
  EXPECT_EQ(text(IDC_NEW_NAME), "b1");
  ASSERT_TRUE(ui::clickListItem(list(), 0));
  EXPECT_EQ(text(IDC_OLD_NAME), "a");
  EXPECT_EQ(host.page.m_nSelected, 0);
}

using Rows = std::vector<std::pair<std::string, std::string>>;

TEST_F(SubstituteNamesPageTest, UpdateSetsTheSubstitutionOfTheOldNameInTheFieldAndTheListShowsTheMap) {
  open();
  addSubstitution("b", "b1");
  addSubstitution("a", "a1");
  type("x", "y");
  ASSERT_TRUE(host.click(IDC_UPDATE));  // nothing selected
  EXPECT_EQ(substitutions, (NameSubstitutionMap{{"a", "a1"}, {"b", "b1"}}));
  EXPECT_EQ(text(IDC_OLD_NAME), "x");

  ASSERT_TRUE(ui::clickListItem(list(), 1));  // "a"
  type("a", "a2");                            // a new name for the same old name
  ASSERT_TRUE(host.click(IDC_UPDATE));
  EXPECT_EQ(substitutions, (NameSubstitutionMap{{"a", "a2"}, {"b", "b1"}}));
  EXPECT_EQ(rows(), (Rows{{"a", "a2"}, {"b", "b1"}}));

  // The old name itself edited: the edited one is added and the row's own stays, both shown.
  type("c", "c1");
  ASSERT_TRUE(host.click(IDC_UPDATE));
  EXPECT_EQ(substitutions, (NameSubstitutionMap{{"a", "a2"}, {"b", "b1"}, {"c", "c1"}}));
  EXPECT_EQ(rows(), (Rows{{"a", "a2"}, {"b", "b1"}, {"c", "c1"}}));
  EXPECT_TRUE(ui::listState(list()).items[2].selected) << "the row of the edited substitution";

  // The old name of another row: that substitution takes the new name, shown once.
  type("b", "b2");
  ASSERT_TRUE(host.click(IDC_UPDATE));
  EXPECT_EQ(substitutions, (NameSubstitutionMap{{"a", "a2"}, {"b", "b2"}, {"c", "c1"}}));
  EXPECT_EQ(rows(), (Rows{{"a", "a2"}, {"b", "b2"}, {"c", "c1"}}));

  // Empty names would give empty C++ identifiers: refused, as by Add.
  type("b", "");
  ASSERT_TRUE(host.click(IDC_UPDATE));
  type("", "z");
  ASSERT_TRUE(host.click(IDC_UPDATE));
  EXPECT_EQ(substitutions, (NameSubstitutionMap{{"a", "a2"}, {"b", "b2"}, {"c", "c1"}}));

  host.showAgain();
  EXPECT_EQ(rows(), (Rows{{"a", "a2"}, {"b", "b2"}, {"c", "c1"}}));
}

TEST_F(SubstituteNamesPageTest, DeleteRemovesTheSubstitutionNamedInTheFieldAndSelectsTheNext) {
  open();
  addSubstitution("a", "a1");
  addSubstitution("b", "b1");
  addSubstitution("c", "c1");
  ASSERT_TRUE(ui::clickListItem(list(), 1));
  ASSERT_TRUE(host.click(IDC_DELETE));
  EXPECT_EQ(substitutions, (NameSubstitutionMap{{"a", "a1"}, {"c", "c1"}}));
  EXPECT_EQ(rows(), (Rows{{"a", "a1"}, {"c", "c1"}}));
  EXPECT_TRUE(ui::listState(list()).items[1].selected) << "the row that took its place";
  EXPECT_EQ(text(IDC_OLD_NAME), "c");
  EXPECT_EQ(text(IDC_NEW_NAME), "c1");

  // The field names another substitution than the selected row: that one goes, with its row.
  ASSERT_TRUE(ui::typeText(host.control(IDC_OLD_NAME), "a"));
  ASSERT_TRUE(host.click(IDC_DELETE));
  EXPECT_EQ(substitutions, (NameSubstitutionMap{{"c", "c1"}}));
  EXPECT_EQ(rows(), (Rows{{"c", "c1"}}));
  EXPECT_EQ(text(IDC_OLD_NAME), "c");

  // A name without a substitution deletes nothing.
  ASSERT_TRUE(ui::typeText(host.control(IDC_OLD_NAME), "nothing"));
  ASSERT_TRUE(host.click(IDC_DELETE));
  EXPECT_EQ(rows(), (Rows{{"c", "c1"}}));

  // Deleting the only row left empties the map and both fields.
  ASSERT_TRUE(ui::typeText(host.control(IDC_OLD_NAME), "c"));
  ASSERT_TRUE(host.click(IDC_DELETE));
  EXPECT_TRUE(substitutions.empty());
  EXPECT_TRUE(rows().empty());
  EXPECT_EQ(text(IDC_OLD_NAME), "");
  EXPECT_EQ(text(IDC_NEW_NAME), "");
  EXPECT_EQ(host.page.m_nSelected, -1);

  // Without a selection Delete does nothing.
  addSubstitution("d", "d1");
  type("d", "d1");
  ASSERT_TRUE(host.click(IDC_DELETE));
  EXPECT_EQ(substitutions.size(), 1u);
}

TEST_F(SubstituteNamesPageTest, ThePrefixSwitchesActOnTheDialogAndTheGeneratorAtOnce) {
  open();
  ASSERT_TRUE(host.click(IDC_FIELD_PREFIX));
  EXPECT_TRUE(fieldPrefix);
  EXPECT_TRUE(addFieldPrefix);
  EXPECT_FALSE(methodPrefix);
  EXPECT_FALSE(addMethodPrefix);

  ASSERT_TRUE(host.click(IDC_METHOD_PREFIX));
  EXPECT_TRUE(methodPrefix);
  EXPECT_TRUE(addMethodPrefix);
  ASSERT_TRUE(host.click(IDC_FIELD_PREFIX));
  EXPECT_FALSE(fieldPrefix);
  EXPECT_FALSE(addFieldPrefix);

  // Showing the page again shows the dialog's switches.
  methodPrefix = false;
  fieldPrefix = true;
  host.showAgain();
  EXPECT_EQ(ui::buttonCheck(host.control(IDC_FIELD_PREFIX)), BST_CHECKED);
  EXPECT_EQ(ui::buttonCheck(host.control(IDC_METHOD_PREFIX)), BST_UNCHECKED);
}

}  // namespace
