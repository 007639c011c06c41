// The generator dialog on a real X server (Xvfb of the test's own, no window manager), worked by a
// person with real X input (XTest): the keys reach the pages, a ticked JVM becomes the current one,
// the panes of the classes page can be resized, and several files chosen at once become modules.
#include "GeneratorTestSupport.h"
#include "VirtualDisplay.h"

#include "LivePerson.h"

#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <thread>

namespace {

using kavrin_test::eventually;
using kavrin_test::Person;

class LiveWizardTest : public wizardtest::GeneratorProjectTest {
 protected:
  LiveWizardTest() : GeneratorProjectTest("live-wizard") {}
  void SetUp() override {
    GeneratorProjectTest::SetUp();
    // JDK 17 registered as its installer does; no global settings yet, so no JVM is current.
    importReg("[HKEY_CURRENT_USER\\Environment]\n");
    registerJdk(true);
  }
  void TearDown() override {
    ui::closeDisplay();
    dialog.reset();
    GeneratorProjectTest::TearDown();
  }

  // Opens the generator dialog on the display and lets `person` work it from a thread of its
  // own, once the dialog is on the screen and its JVM job is over; DoModal's result.
  INT_PTR run(const std::function<void(Person& p, ::Window window, CGeneratorDlg& d)>& person) {
    std::string error;
    if (!ui::openDisplay(server.name(), error)) {
      ADD_FAILURE() << error;
      return -1;
    }
    dialog = std::make_unique<CGeneratorDlg>(nullptr);
    dialog->SetApplication(host->application());
    CGeneratorDlg& d = *dialog;
    std::atomic<bool> done{false}, finished{false};
    std::thread thread([&] {
      [&] {
        Person p(server.name());
        ASSERT_TRUE(p.ok());
        ::Window window = p.find("KAVRIN Generator");
        ASSERT_NE(window, 0u);
        ASSERT_TRUE(p.focused(window));
        ASSERT_TRUE(eventually([&] { return ui::runningThreads() == 0 && enabled(d, IDC_PAGE_TREE); }, 60));
        person(p, window, d);
      }();
      done = true;
      kavrin_test::leaveNoDialog(done, finished, [] {
        for (HWND h : ui::topLevelWindows()) ui::closeWindow(h);
      });
    });
    const INT_PTR result = d.DoModal();
    finished = true;
    thread.join();
    return result;
  }

  static HWND item(CGeneratorDlg& d, int id) { return ::GetDlgItem(d.m_hWnd, id); }
  static bool enabled(CGeneratorDlg& d, int id) { return ui::windowState(item(d, id)).enabled; }
  static bool focused(HWND control) { return ui::windowState(control).focused; }
  static bool shown(CWnd& page) { return ui::windowState(page.m_hWnd).visible; }

  // Where a point of a control (in its window rectangle) lies in the X window of its top-level
  // window, whose picture may have a frame around the client area.
  static POINT inWindow(Person& p, ::Window window, HWND top, HWND control, POINT local) {
    int width = 0, height = 0;
    p.size(window, width, height);
    RECT client{};
    ::GetClientRect(top, &client);
    const int border = std::max(0, static_cast<int>(width - client.right) / 2);
    POINT at = local, origin{0, 0};
    ::ClientToScreen(control, &at);
    ::ClientToScreen(top, &origin);
    return POINT{border + at.x - origin.x, static_cast<int>(height - client.bottom) - border + at.y - origin.y};
  }
  // The middle of a list row's part, `x` pixels into the row, in the list's window rectangle
  // (the list draws a 2-pixel edge inside it).
  static POINT rowPoint(HWND list, int row, int x) {
    RECT bounds{};
    bounds.left = LVIR_BOUNDS;
    ::SendMessage(list, LVM_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&bounds));
    return POINT{2 + bounds.left + x, 2 + (bounds.top + bounds.bottom) / 2};
  }
  static HWND topLevel(const std::string& caption) {
    for (HWND h : ui::topLevelWindows()) {
      if (ui::windowState(h).text == caption && ui::windowState(h).visible) return h;
    }
    return nullptr;
  }
  static HWND childOfClass(HWND parent, const char* className) {
    for (HWND h : ui::childWindows(parent)) {
      if (ui::windowState(h).className == className) return h;
    }
    return nullptr;
  }

  kavrin_test::VirtualDisplay server;
};

TEST_F(LiveWizardTest, KeysReachAPageButtonAndATickedJvmBecomesCurrent) {
  if (!server.running()) GTEST_SKIP() << "no Xvfb";
  const INT_PTR result = run([&](Person& p, ::Window window, CGeneratorDlg& d) {
    // The classes page comes first: its bar between the panes follows the pointer.
    HWND splitter = ui::findChild(d.m_classesPage.m_hWnd, AFX_IDW_PANE_FIRST);
    HWND names = ui::findChild(splitter, AFX_IDW_PANE_FIRST);
    const RECT before = ui::windowState(names).rect;
    POINT bar = inWindow(p, window, d.m_hWnd, splitter, POINT{before.right + 3, (before.top + before.bottom) / 2});
    p.moveTo(window, bar.x, bar.y);
    p.button(true);
    p.moveTo(window, bar.x - 30, bar.y);
    p.moveTo(window, bar.x - 60, bar.y);
    p.button(false);
    EXPECT_TRUE(eventually([&] { return ui::windowState(names).rect.right == before.right - 60; }))
        << ui::windowState(names).rect.right << " after " << before.right;

    // The JVM job took the focus away with the controls; Tab gives it to the page tree, where
    // Home shows the first page. Tab goes on into the page, to its list and then to its first
    // button, which Space presses.
    HWND tree = item(d, IDC_PAGE_TREE);
    p.key(XK_Tab);
    ASSERT_TRUE(eventually([&] { return focused(tree); }));
    p.key(XK_Home);
    ASSERT_TRUE(eventually([&] { return shown(d.m_jvmListPage); }));
    HWND jvms = ::GetDlgItem(d.m_jvmListPage.m_hWnd, IDC_JVM_LIST);
    HWND add = ::GetDlgItem(d.m_jvmListPage.m_hWnd, IDC_ADD);
    p.key(XK_Tab);
    EXPECT_TRUE(eventually([&] { return focused(jvms); }));
    p.key(XK_Tab);
    EXPECT_TRUE(eventually([&] { return focused(add); }));
    p.key(XK_space);
    ASSERT_TRUE(p.focused(p.find("Add JDK")));
    p.key(XK_Escape);
    ASSERT_TRUE(p.gone("Add JDK"));

    // Nothing is checked: a click on the row's box ticks it and makes its JVM current.
    ASSERT_EQ(ui::listState(jvms).items.size(), 1u);
    ASSERT_FALSE(ui::listState(jvms).items[0].checked);
    POINT box = inWindow(p, window, d.m_hWnd, jvms, rowPoint(jvms, 0, 8));
    p.click(window, box.x, box.y);
    EXPECT_TRUE(eventually([&] {
      const ui::ListItemState row = ui::listState(jvms).items[0];
      return row.checked && row.selected;
    }));
    EXPECT_TRUE(eventually(
        [&] {
          return ui::runningThreads() == 0 &&
                 kavrin_test::readFile(dir.file("install/kavringlobals.xml")).find("<CurrentJVM Name=\"SUN17\"") !=
                     std::string::npos;
        },
        60))
        << "the JVM job ran for it";
    p.key(XK_Escape);
  });
  EXPECT_EQ(result, IDCANCEL);
  EXPECT_EQ(dialog->m_jvmListPage.GetCurrentJvmName().strName, "SUN17");
  const char* home = getenv("JAVA_HOME");
  EXPECT_EQ(home != nullptr ? home : "", std::string(kavrin_test::kJdkHome));
  std::vector<INT_PTR> jvmDialogs;
  for (const ui::ModalRecord& r : ui::modalRecords()) {
    if (r.templateId == IDD_JVM_DIALOG) jvmDialogs.push_back(r.result);
  }
  EXPECT_EQ(jvmDialogs, std::vector<INT_PTR>{IDCANCEL}) << "Space opened it, Escape cancelled it";
}

TEST_F(LiveWizardTest, TwoFilesPickedAtOnceBecomeTwoModules) {
  if (!server.running()) GTEST_SKIP() << "no Xvfb";
  const std::string jars = dir.file("jars");
  mkdir(jars.c_str(), 0755);
  for (const char* name : {"a.jar", "b.jar", "c.jar"}) {
    kavrin_test::writeFile(jars + "/" + name, kavrin_test::readFile(kavrin_test::kFixtureJar));
  }
  const INT_PTR result = run([&](Person& p, ::Window, CGeneratorDlg& d) {
    HWND tree = item(d, IDC_PAGE_TREE);
    p.key(XK_Tab);
    ASSERT_TRUE(eventually([&] { return focused(tree); }));
    p.key(XK_Home);
    p.key(XK_Down);
    ASSERT_TRUE(eventually([&] { return shown(d.m_modulesPage); }));
    p.key(XK_Tab);
    p.key(XK_Tab);
    ASSERT_TRUE(eventually([&] { return focused(::GetDlgItem(d.m_modulesPage.m_hWnd, IDC_ADD)); }));
    p.key(XK_space);

    // The file dialog: a folder typed into the name field and Enter show the folder, and the
    // field keeps the focus.
    ::Window open = p.find("Open");
    ASSERT_TRUE(p.focused(open));
    HWND files = topLevel("Open");
    HWND name = childOfClass(files, WC_EDIT);
    HWND list = childOfClass(files, WC_LISTVIEW);
    ASSERT_TRUE(name != nullptr && list != nullptr);
    ASSERT_TRUE(eventually([&] { return focused(name); }));
    p.type(jars);
    p.key(XK_Return);
    auto rowOf = [&](const std::string& text) {
      const ui::ListState state = ui::listState(list);
      for (size_t i = 0; i < state.items.size(); ++i) {
        if (!state.items[i].texts.empty() && state.items[i].texts[0] == text) return static_cast<int>(i);
      }
      return -1;
    };
    ASSERT_TRUE(eventually([&] { return rowOf("c.jar") >= 0 && ui::windowState(name).text.empty(); }));
    EXPECT_TRUE(focused(name));

    // A click and a Control click pick two files; the name field names both; Enter opens them.
    POINT a = inWindow(p, open, files, list, rowPoint(list, rowOf("a.jar"), 10));
    POINT c = inWindow(p, open, files, list, rowPoint(list, rowOf("c.jar"), 10));
    p.click(open, a.x, a.y);
    p.click(open, c.x, c.y, XK_Control_L);
    EXPECT_TRUE(eventually([&] { return ui::windowState(name).text == "\"a.jar\" \"c.jar\""; }))
        << ui::windowState(name).text;
    p.key(XK_Return);
    ASSERT_TRUE(p.gone("Open"));
    HWND modules = ::GetDlgItem(d.m_modulesPage.m_hWnd, IDC_MODULE_LIST);
    EXPECT_TRUE(eventually([&] { return ui::runningThreads() == 0 && ui::listState(modules).items.size() == 2; }, 60));
    p.key(XK_Escape);
  });
  EXPECT_EQ(result, IDCANCEL);
  std::vector<std::pair<std::string, int>> modules;
  for (const auto& m : dialog->m_modules) modules.emplace_back(m.first.str(), m.second);
  EXPECT_EQ(modules, (std::vector<std::pair<std::string, int>>{{jars + "/a.jar", kModuleArchive},
                                                               {jars + "/c.jar", kModuleArchive}}));
}

}  // namespace
