// KAVRINGEN end to end, as the Developer Studio stand-in loads it: registered and connected by
// the dshost program, and, in this process, registered, loaded through COM, connected and its
// command run over a project while a scripted user picks the JDK 17 that scripts/register-jdk.sh
// registered and presses Generate. This program holds none of the add-in's code: the add-in
// library brings its own, and shares the COM and user-interface state with this program through
// the platform library that both use.
#include "AddinTestSupport.h"
#include "DevStudioHost.h"
#include "Mfc.h"
#include "UiDriver.h"
#include "VirtualDisplay.h"
#include "WizardResources.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <functional>
#include <thread>

using namespace addintest;

namespace {

const char* const kClsid = "{05E7E155-F9CA-4F96-B5D1-E2263F039DE7}";

class AddInEndToEndTest : public AddinTest {
 protected:
  void SetUp() override {
    AddinTest::SetUp();
    ui::resetDriver();
    win32::clearJournal();
    ui::setModalIdleLimit(60000);
    mkdir(path("install").c_str(), 0755);
    projectDir = path("App") + "/";
    projectFile = projectDir + "App.dsp";
    kavrin_test::writeFile(projectFile, "configuration App - Win32 Debug\nconfiguration App - Win32 Release\n");
    registerJdk();
  }
  void TearDown() override {
    // As a test's own host would, the host goes before the driver is reset.
    host_.reset();
    project_.reset();
    for (HWND w : ui::topLevelWindows()) DestroyWindow(w);
    ui::pumpMessages();
    ui::resetDriver();
    AddinTest::TearDown();
  }
  void registerJdk() {
    kavrin_test::ScopedEnv tool("KAVRIN_REG_TOOL", std::string(KAVRIN_REG_TOOL));
    const std::string script = std::string(kavrin_test::kSourceDir) + "/scripts/register-jdk.sh";
    const kavrin_test::CommandResult r = kavrin_test::runCommand({"/bin/bash", script, kavrin_test::kJdkHome});
    ASSERT_EQ(r.exitCode, 0) << r.output;
  }
  // The selected classes of the project: taken from the fixture archive, one of them gone (with
  // `goneOnly`, that one alone).
  void writeProjectSettings(bool goneOnly = false) {
    const std::string jar = kavrin_test::kFixtureJar;
    auto entry = [&](const std::string& name, bool impl, bool delegator) {
      return "<CLASS NAME='" + name + "'><FILTER bUseGlobalFilter='true' bIsInterfaceIml='" +
             (impl ? "true" : "false") + "' bIsDelegatorIml='" + (delegator ? "true" : "false") +
             "' bIsMethodsIml='false' strClassPath='" + jar + "' TYPE='" + (impl ? "true" : "false") + "'/></CLASS>";
    };
    kavrin_test::writeFile(
        projectDir + "App.jniprj",
        "<KAVRIN><GLOBALFILTER fields_bAll='true' fields_bExcludeInherited='false' fields_bExcludeRegular='false'"
        " fields_bExcludeProtected='false' fields_bExcludePrivate='false' methods_bAll='true'"
        " methods_bExcludeInherited='false' methods_bExcludeRegular='false' methods_bExcludeProtected='false'"
        " methods_bExcludePrivate='false'/><NAMES_SUBSTITUTED FLDPX='false' MTHPX='false'/><MODULES><MODULE TYPE='2'"
        " NAME='" +
            jar + "'/></MODULES><CLASSES>" + entry("fixtures.Gone", false, false) +
            (goneOnly
                 ? std::string()
                 : entry("fixtures.Members", false, false) + entry("fixtures.delegate.DelegateTarget", false, true) +
                       entry("fixtures.impl.Everything", true, false)) +
            "</CLASSES><LAST_BUILD/></KAVRIN>");
  }
  static std::string library() { return KAVRINGEN_LIBRARY; }
  bool exists(const std::string& name) const { return win32::fileExists(projectDir + name); }
  static bool lineIn(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
  }

  // The project file loaded, and a host that has registered and loaded the add-in over it.
  void startHost() {
    std::string error;
    project_ = std::make_shared<devstudio::Project>();
    ASSERT_TRUE(devstudio::Project::load(projectFile, *project_, error)) << error;
    host_ = std::make_unique<devstudio::Host>(project_);
    ASSERT_EQ(host_->registerAddIn(library()), S_OK);
    ASSERT_EQ(host_->loadAddIn(library()), S_OK);
  }

  kavrin_test::ScopedEnv installFolder{"KAVRINVC6", std::nullopt};
  kavrin_test::ScopedEnv javaHome{"JAVA_HOME", std::nullopt};
  std::string projectDir;
  std::string projectFile;
  std::shared_ptr<devstudio::Project> project_;
  std::unique_ptr<devstudio::Host> host_;
};

TEST_F(AddInEndToEndTest, DshostRegistersAndConnectsTheAddInAndRunsItsCommand) {
  kavrin_test::ScopedEnv install("KAVRINVC6", path("install"));
  const kavrin_test::CommandResult first =
      kavrin_test::runCommand({KAVRIN_DSHOST, "--project", projectFile, "--addin", library(), "--register", "--run",
                               "StartKAVRINWizard", "--print"});
  ASSERT_EQ(first.exitCode, 0) << first.output;
  for (const std::string& line :
       {std::string("DllRegisterServer 0x00000000"), std::string("OnConnection ") + kClsid + " firstTime=true cookie=1",
        std::string("SetAddInInfo module=set bitmaps=128,129"),
        std::string("AddCommand KAVRIN method=StartKAVRINWizard glyph=0"),
        std::string("AddCommandBarButton KAVRIN type=1"), std::string("Connected"), std::string("EnableModeless false"),
        std::string("EnableModeless true"), std::string("Run KAVRIN (StartKAVRINWizard) 0x00000000"),
        std::string("OnDisconnection"), std::string("DllCanUnloadNow 0x00000000"),
        std::string("command KAVRIN StartKAVRINWizard"), std::string("button KAVRIN")}) {
    EXPECT_NE(first.output.find(line + "\n"), std::string::npos) << line << "\n--- in ---\n" << first.output;
  }
  EXPECT_EQ(first.output.find("still holds"), std::string::npos) << first.output;

  // The registration the host found it by.
  char real[4096];
  ASSERT_NE(realpath(library().c_str(), real), nullptr);
  const std::string clsidKey = std::string("CLSID\\") + kClsid;
  EXPECT_EQ(value(HKEY_CLASSES_ROOT, clsidKey + "\\InprocServer32", nullptr), std::string(real));
  EXPECT_EQ(value(HKEY_CLASSES_ROOT, clsidKey + "\\Description", nullptr), "Generates C++ Proxy Classes for JNI");
  EXPECT_EQ(value(HKEY_CLASSES_ROOT, "KAVRINGEN.DSAddIn.1\\CLSID", nullptr), kClsid);

  // A later session is no first connection: the button stays, none is added.
  const kavrin_test::CommandResult second =
      kavrin_test::runCommand({KAVRIN_DSHOST, "--project", projectFile, "--addin", library(), "--print"});
  ASSERT_EQ(second.exitCode, 0) << second.output;
  EXPECT_NE(second.output.find("firstTime=false"), std::string::npos) << second.output;
  EXPECT_EQ(second.output.find("AddCommandBarButton"), std::string::npos) << second.output;
  EXPECT_NE(second.output.find("button KAVRIN\n"), std::string::npos) << second.output;

  // Without a project the command does nothing.
  const kavrin_test::CommandResult none =
      kavrin_test::runCommand({KAVRIN_DSHOST, "--addin", library(), "--run", "KAVRIN"});
  ASSERT_EQ(none.exitCode, 0) << none.output;
  EXPECT_EQ(none.output.find("EnableModeless"), std::string::npos) << none.output;
}

TEST_F(AddInEndToEndTest, DshostTakesAPictureOfTheDialogItOpens) {
  kavrin_test::ScopedEnv install("KAVRINVC6", path("install"));
  const std::string shots = path("shots/run");
  const kavrin_test::CommandResult r =
      kavrin_test::runCommand({KAVRIN_DSHOST, "--project", projectFile, "--addin", library(), "--register", "--run",
                               "StartKAVRINWizard", "--snapshot", shots});
  ASSERT_EQ(r.exitCode, 0) << r.output;
  const std::string first = kavrin_test::readFile(shots + "/001-kavrin-generator.png");
  EXPECT_EQ(first.substr(0, 4), "\x89PNG") << "the generator dialog as it opened";

  kavrin_test::writeFile(path("plain"), "");
  const kavrin_test::CommandResult bad = kavrin_test::runCommand(
      {KAVRIN_DSHOST, "--project", projectFile, "--addin", library(), "--snapshot", path("plain/shots")});
  EXPECT_EQ(bad.exitCode, 1);
  EXPECT_NE(bad.output.find("cannot make the snapshot folder"), std::string::npos) << bad.output;
}

TEST_F(AddInEndToEndTest, EscapeOnTheLiveDialogClosesItWithNothingChanged) {
  kavrin_test::VirtualDisplay server;
  if (!server.running()) GTEST_SKIP() << "no Xvfb";
  kavrin_test::ScopedEnv install("KAVRINVC6", path("install"));
  const std::string before = kavrin_test::readFile(projectFile);
  // dshost shows the dialog on the server; a person presses Escape in it (real key events).
  const std::string line =
      std::string("\"$0\" --display ") + server.name() + " --project '" + projectFile + "' --addin '" + library() +
      "' --register --run StartKAVRINWizard & host=$!; DISPLAY=" + server.name() +
      " timeout 30 xdotool search --sync --name '^KAVRIN Generator$' windowfocus --sync key Escape;"
      " wait $host";
  const kavrin_test::CommandResult r = kavrin_test::runCommand({"/bin/sh", "-c", line, KAVRIN_DSHOST}, 60);
  ASSERT_FALSE(r.timedOut) << r.output;
  EXPECT_EQ(r.exitCode, 0) << r.output;
  EXPECT_EQ(kavrin_test::readFile(projectFile), before);
  EXPECT_FALSE(exists("App.jniprj")) << "no settings written";
}

// A person at an X display: moves the pointer, clicks and types with xdotool (XTest input).
class Person {
 public:
  explicit Person(std::string display) : display_(std::move(display)) {}
  bool xdotool(std::vector<std::string> args) const {
    args.insert(args.begin(), {"env", "DISPLAY=" + display_, "xdotool"});
    return kavrin_test::runCommand(args, 30).exitCode == 0;
  }
  // A click at a point of a control (its window rectangle).
  bool click(HWND control, int x, int y) const {
    RECT r{};
    if (!::GetWindowRect(control, &r)) return false;
    return xdotool({"mousemove", std::to_string(r.left + x), std::to_string(r.top + y), "click", "1"});
  }
  bool click(HWND control) const {
    RECT r{};
    ::GetWindowRect(control, &r);
    return click(control, (r.right - r.left) / 2, (r.bottom - r.top) / 2);
  }
  bool clickTreeItem(HWND tree, const std::string& text) const {
    // A job that starts just after the tree looked enabled disables it and the click is lost: the
    // person clicks again once the job is done, as long as the item is not selected.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(90);
    while (std::chrono::steady_clock::now() < deadline) {
      if (!eventually([&] { return ::IsWindowEnabled(tree) != FALSE; }, 60)) return false;  // a job at work
      const std::vector<ui::TreeItemState> items = ui::treeState(tree).items;
      const auto item =
          std::find_if(items.begin(), items.end(), [&](const ui::TreeItemState& i) { return i.text == text; });
      if (item == items.end()) return false;
      RECT r{};
      std::memcpy(&r, &item->handle, sizeof item->handle);  // the item goes in, its rectangle comes out
      ::SendMessage(tree, TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(&r));
      // Selected, its page is shown.
      if (!click(tree, 2 + (r.left + r.right) / 2, 2 + (r.top + r.bottom) / 2)) return false;
      if (eventually([&] { return ui::treeState(tree).selected == item->handle; }, 5)) return true;
    }
    return false;
  }
  // A click on a row's label, or on its check box at the left of the row.
  bool clickRow(HWND list, const std::string& text, bool checkBox = false) const {
    const std::vector<ui::ListItemState> items = ui::listState(list).items;
    for (size_t i = 0; i < items.size(); ++i) {
      if (items[i].texts.empty() || items[i].texts[0] != text) continue;
      ::SendMessage(list, LVM_ENSUREVISIBLE, i, FALSE);
      RECT r{};
      r.left = checkBox ? LVIR_BOUNDS : LVIR_LABEL;
      ::SendMessage(list, LVM_GETITEMRECT, i, reinterpret_cast<LPARAM>(&r));
      return click(list, 2 + (checkBox ? r.left + 8 : r.left + 10), 2 + (r.top + r.bottom) / 2);
    }
    return false;
  }
  bool type(const std::string& text) const { return xdotool({"type", "--delay", "1", text}); }
  bool key(const std::string& name) const { return xdotool({"key", name}); }
  // The visible top-level window with this caption, once it is there and on the screen.
  HWND window(const std::string& caption) const {
    HWND found = nullptr;
    eventually([&] {
      for (HWND w : ui::topLevelWindows()) {
        const ui::WindowState s = ui::windowState(w);
        if (s.visible && s.text == caption) found = w;
      }
      return found != nullptr;
    });
    // On the screen and with the keyboard focus, as a person looks before typing.
    if (found == nullptr ||
        !xdotool({"search", "--sync", "--onlyvisible", "--name", "^" + caption + "$", "windowfocus", "--sync"})) {
      return nullptr;
    }
    return found;
  }
  // The generator dialog once it is on the screen and its page tree takes clicks; null when it
  // does not come to that.
  HWND generatorDialog() const {
    const HWND d = window("KAVRIN Generator");
    if (d == nullptr) return nullptr;
    const HWND tree = ::GetDlgItem(d, IDC_PAGE_TREE);
    return eventually([&] { return ::IsWindowEnabled(tree) != FALSE; }) ? d : nullptr;
  }
  // The visible control with this id under `root` (pages hide theirs when they are not shown).
  static HWND visible(HWND root, int id) {
    for (HWND c : ui::childWindows(root)) {
      const ui::WindowState s = ui::windowState(c);
      if (!s.visible) continue;
      if (s.id == id) return c;
      if (HWND deeper = visible(c, id)) return deeper;
    }
    return nullptr;
  }
  // Waits for what the person sees: thirty seconds unless told.
  static bool eventually(const std::function<bool()>& condition, int seconds = 30) {
    return kavrin_test::eventually(condition, seconds);
  }

 private:
  std::string display_;
};

// The stand-in's windows shown on `server` while this lives; closed before the server goes.
class ShownOn {
 public:
  explicit ShownOn(const kavrin_test::VirtualDisplay& server) : opened_(ui::openDisplay(server.name(), error_)) {}
  ~ShownOn() {
    if (opened_) ui::closeDisplay();
  }
  ShownOn(const ShownOn&) = delete;
  ShownOn& operator=(const ShownOn&) = delete;
  bool opened() const { return opened_; }
  const std::string& error() const { return error_; }

 private:
  std::string error_;
  bool opened_;
};

// The add-in's command run by `host` while a person at `server`, on a thread of its own, does
// `drive` in the generator dialog once it is there.
HRESULT runWhileAPersonDrives(devstudio::Host& host, const kavrin_test::VirtualDisplay& server,
                              const std::function<void(const Person&, HWND)>& drive) {
  std::thread person([&] {
    {
      const Person p(server.name());
      const HWND d = p.generatorDialog();
      EXPECT_NE(d, nullptr);
      if (d != nullptr) drive(p, d);
    }
    // Whatever failed, no dialog waits for a person who has gone.
    while (!ui::topLevelWindows().empty()) {
      for (HWND w : ui::topLevelWindows()) ui::closeWindow(w);
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
  });
  const HRESULT run = host.runCommand("KAVRIN");
  person.join();
  return run;
}

TEST_F(AddInEndToEndTest, APersonAtTheScreenAddsAModuleAndAClassAndGenerates) {
  kavrin_test::VirtualDisplay server;
  if (!server.running()) GTEST_SKIP() << "no Xvfb";
  kavrin_test::ScopedEnv install("KAVRINVC6", path("install"));
  ASSERT_NO_FATAL_FAILURE(startHost());
  devstudio::Host& host = *host_;
  const ShownOn shown(server);
  ASSERT_TRUE(shown.opened()) << shown.error();

  const std::string jar = kavrin_test::kFixtureJar;
  const std::string target = "fixtures.delegate.DelegateTarget";
  auto drive = [&](const Person& p, HWND d) {
    const HWND tree = ::GetDlgItem(d, IDC_PAGE_TREE);
    // The JDK's row: a click selects and checks it, and it becomes the current JVM.
    ASSERT_TRUE(p.clickTreeItem(tree, "Installed JVMs"));
    const HWND jvms = ui::findChild(d, IDC_JVM_LIST);
    ASSERT_TRUE(Person::eventually([&] { return ::IsWindowEnabled(jvms) && ui::listState(jvms).items.size() == 1; }));
    ASSERT_TRUE(p.clickRow(jvms, "SUN17"));
    ASSERT_TRUE(Person::eventually(
        [&] { return value(HKEY_CURRENT_USER, "Environment", "JAVA_HOME") == kavrin_test::kJdkHome; }));

    // The archive, through the file dialog: its path typed into the name field.
    ASSERT_TRUE(p.clickTreeItem(tree, "Java modules"));
    ASSERT_TRUE(Person::eventually([&] { return Person::visible(d, IDC_MODULE_LIST) != nullptr; }));
    ASSERT_TRUE(p.click(Person::visible(d, IDC_ADD)));
    ASSERT_NE(p.window("Open"), nullptr);
    ASSERT_TRUE(p.type(jar));
    ASSERT_TRUE(p.key("Return"));
    const HWND modules = ui::findChild(d, IDC_MODULE_LIST);
    ASSERT_TRUE(Person::eventually([&] { return ui::listState(modules).items.size() == 1; }));

    // A class of it, through Add Java Classes: the archive from the drop-down, the class row, OK.
    ASSERT_TRUE(p.clickTreeItem(tree, "Select Classes"));
    ASSERT_TRUE(Person::eventually([&] {
      HWND add = Person::visible(d, IDC_ADD);
      return add != nullptr && ::IsWindowEnabled(add);
    }));
    ASSERT_TRUE(p.click(Person::visible(d, IDC_ADD)));
    const HWND add = p.window("Add Java Classes");
    ASSERT_NE(add, nullptr);
    const HWND combo = ::GetDlgItem(add, IDC_MODULE_COMBO);
    ASSERT_TRUE(p.click(combo));
    ASSERT_TRUE(Person::eventually([&] { return ui::comboState(combo).dropped; }));
    RECT box{};
    ::GetWindowRect(combo, &box);
    ASSERT_TRUE(p.click(combo, 20, box.bottom - box.top + 8));  // the first row of the list below the box
    const HWND classes = ::GetDlgItem(add, IDC_CLASS_LIST);
    ASSERT_TRUE(Person::eventually([&] { return !ui::listState(classes).items.empty(); }));
    ASSERT_TRUE(p.clickRow(classes, target));
    ASSERT_TRUE(p.click(::GetDlgItem(add, IDOK)));

    // Its delegator checked, then Generate, the bar to its end, and Close.
    ASSERT_TRUE(Person::eventually([&] { return !::IsWindow(add); }));
    ASSERT_TRUE(p.clickTreeItem(tree, "Create Delegators"));
    const HWND delegators = ui::findChild(d, IDC_DELEGATOR_LIST);
    ASSERT_TRUE(Person::eventually([&] { return !ui::listState(delegators).items.empty(); }));
    ASSERT_TRUE(p.clickRow(delegators, target, true));
    ASSERT_TRUE(Person::eventually([&] { return ui::listState(delegators).items[0].checked; }));
    ui::startMessageLog();
    ASSERT_TRUE(p.click(::GetDlgItem(d, IDOK)));
    ASSERT_TRUE(Person::eventually([&] { return exists("defproxies.cpp"); }, 120));
    ASSERT_TRUE(Person::eventually([&] { return ::IsWindowEnabled(::GetDlgItem(d, IDCANCEL)) != FALSE; }, 60));
    ui::stopMessageLog();
    const HWND bar = ::GetDlgItem(d, IDC_PROGRESS_BAR);
    WPARAM highest = 0;
    for (const ui::LoggedMessage& m : ui::messageLog()) {
      if (m.window == bar && m.message == PBM_SETPOS) highest = std::max(highest, m.wParam);
    }
    EXPECT_GT(highest, 0u) << "the bar moved while the run was at work";
    EXPECT_EQ(ui::progressState(bar).position, 0) << "and is empty once it ended";
    ASSERT_TRUE(p.click(::GetDlgItem(d, IDCANCEL)));
  };
  const HRESULT run = runWhileAPersonDrives(host, server, drive);
  ASSERT_EQ(run, S_OK);

  for (const char* made :
       {"fixtures_delegate_DelegateTargetJNIProxy.h", "fixtures_delegate_DelegateTargetJNIDelegator.h",
        "fixtures_delegate_DelegateTargetJNIDelegator.cpp", "defproxies.h", "defproxies.cpp"}) {
    EXPECT_TRUE(exists(made)) << made;
  }
  EXPECT_TRUE(std::find(project_->files.begin(), project_->files.end(),
                        projectDir + "fixtures_delegate_DelegateTargetJNIDelegator.cpp") != project_->files.end());
  const std::string settings = kavrin_test::readFile(projectDir + "App.jniprj");
  EXPECT_NE(settings.find(jar), std::string::npos) << settings;
  EXPECT_NE(settings.find(target), std::string::npos) << settings;
  host.unloadAddIn();
}

// Generate writes the project file itself, before the settings that record its build. One that
// cannot be written is reported and stays whole; the next session's Generate puts the project right,
// taking out the files of a build that the settings no longer record.
TEST_F(AddInEndToEndTest, GenerateSavesTheProjectAndTheNextSessionMendsOneThatCouldNotBeSaved) {
  kavrin_test::ScopedEnv install("KAVRINVC6", path("install"));
  const std::string jdk = kavrin_test::kJdkHome;
  kavrin_test::writeFile(path("install/kavringlobals.xml"), "<Project><CurrentJVM Name=\"SUN17\" JREPath=\"" + jdk +
                                                                "\" JDKPath=\"" + jdk +
                                                                "\"/><ExtraJVMs/><AddedPaths/></Project>");
  writeProjectSettings();
  const std::string gone = projectDir + "fixtures_ReplacedJNIProxy.cpp";
  kavrin_test::writeFile(projectFile, kavrin_test::readFile(projectFile) + "file " + gone + "\n");
  const std::string before = kavrin_test::readFile(projectFile);
  ASSERT_NO_FATAL_FAILURE(startHost());
  devstudio::Host& host = *host_;
  auto generate = [&] {
    ui::onModalDialog(
        [&](CDialog& dialog) {
          const HWND d = dialog.m_hWnd;
          ASSERT_TRUE(ui::pumpUntil([d] { return ::IsWindowEnabled(::GetDlgItem(d, IDOK)) != FALSE; }, 60000));
          ASSERT_TRUE(ui::clickButton(::GetDlgItem(d, IDOK)));
          ASSERT_TRUE(ui::pumpUntil(
              [&] { return exists("defproxies.cpp") && ::IsWindowEnabled(::GetDlgItem(d, IDCANCEL)) != FALSE; },
              60000));
          ASSERT_TRUE(ui::clickButton(::GetDlgItem(d, IDCANCEL)));
        },
        IDD_GENERATOR_DIALOG);
    ASSERT_EQ(host.runCommand("KAVRIN"), S_OK);
  };
  auto saveErrors = [] {
    std::vector<std::string> texts;
    for (const ui::MessageBoxRecord& box : ui::messageBoxRecords()) {
      if (box.caption == "KAVRIN Add-In Error") texts.push_back(box.text);
    }
    return texts;
  };

  // A full disk.
  win32::injectWriteFailure("App.dsp", ENOSPC, 10);
  generate();
  win32::clearWriteFailures();
  EXPECT_EQ(saveErrors(), std::vector<std::string>{"Cannot save " + projectFile + ": No space left on device"});
  EXPECT_EQ(kavrin_test::readFile(projectFile), before);
  EXPECT_NE(kavrin_test::readFile(projectDir + "App.jniprj").find("<CLASS>fixtures.Members</CLASS>"),
            std::string::npos);

  // The next session reads the project as the file keeps it.
  std::string error;
  ASSERT_TRUE(devstudio::Project::load(projectFile, *project_, error)) << error;
  generate();
  EXPECT_EQ(saveErrors().size(), 1u);
  const std::string saved = kavrin_test::readFile(projectFile);  // this host saves nothing of its own
  EXPECT_NE(saved.find("file " + projectDir + "fixtures_MembersJNIProxy.cpp\n"), std::string::npos) << saved;
  EXPECT_NE(saved.find("setting cl.exe /I\"$(JAVA_HOME)/include\"\n"), std::string::npos) << saved;
  EXPECT_EQ(saved.find(gone), std::string::npos) << saved;
  host.unloadAddIn();
}

TEST_F(AddInEndToEndTest, TheRunsProblemBoxWaitsOnTheScreenForThePersonAndLeavesTheDialogWorking) {
  kavrin_test::VirtualDisplay server;
  if (!server.running()) GTEST_SKIP() << "no Xvfb";
  kavrin_test::ScopedEnv install("KAVRINVC6", path("install"));
  writeProjectSettings(true);
  ASSERT_NO_FATAL_FAILURE(startHost());
  devstudio::Host& host = *host_;
  const ShownOn shown(server);
  ASSERT_TRUE(shown.opened()) << shown.error();

  const std::string caption = "KAVRIN Error Message";
  auto drive = [&](const Person& p, HWND d) {
    const HWND tree = ::GetDlgItem(d, IDC_PAGE_TREE);
    ASSERT_TRUE(p.click(::GetDlgItem(d, IDOK)));
    // The run's box, raised on its worker thread, is on the screen with the keyboard's focus, and
    // the run waits for it: the controls are not given back yet.
    const HWND box = p.window(caption);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(kavrin_test::readFile(projectDir + "KAVRIN.LOG"), "MISSING BYTECODE: fixtures.Gone\n");
    EXPECT_FALSE(::IsWindowEnabled(tree));
    ASSERT_TRUE(p.key("Return"));
    EXPECT_TRUE(Person::eventually([&] {
      return !::IsWindow(box) && !p.xdotool({"search", "--onlyvisible", "--name", "^" + caption + "$"});
    })) << "answered, the box is gone from the screen";
    // The page tree takes clicks again.
    EXPECT_TRUE(p.clickTreeItem(tree, "Java modules"));
    ASSERT_TRUE(p.click(::GetDlgItem(d, IDCANCEL)));
  };
  const HRESULT run = runWhileAPersonDrives(host, server, drive);
  ASSERT_EQ(run, S_OK);
  const std::vector<ui::MessageBoxRecord> boxes = ui::messageBoxRecords();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "There are problems in generating of JNI wrappers! See KAVRIN.LOG");
  EXPECT_EQ(boxes[0].answer, IDOK);
  EXPECT_FALSE(boxes[0].scripted) << "the person answered it";
  host.unloadAddIn();
}

TEST_F(AddInEndToEndTest, AUserPicksTheJdkAndGeneratesIntoTheProject) {
  kavrin_test::ScopedEnv install("KAVRINVC6", path("install"));
  importReg("[HKEY_CURRENT_USER\\Environment]\n\"JAVA_HOME\"=\"/before\"\n");
  writeProjectSettings();
  ASSERT_NO_FATAL_FAILURE(startHost());
  devstudio::Host& host = *host_;
  ASSERT_EQ(host.commands().size(), 1u);
  EXPECT_EQ(host.commands()[0].name, "KAVRIN");
  EXPECT_EQ(host.commands()[0].method, "StartKAVRINWizard");
  EXPECT_EQ(host.toolbarButtons(), std::vector<std::string>{"KAVRIN"});

  const std::string jdk = kavrin_test::kJdkHome;
  bool sawDialog = false;
  ui::onModalDialog(
      [&](CDialog& dialog) {
        sawDialog = true;
        const HWND d = dialog.m_hWnd;
        EXPECT_FALSE(host.modelessEnabled());
        // The JVM job of the opening has no JVM yet: it leaves the user's JAVA_HOME alone.
        ASSERT_TRUE(ui::pumpUntil([d] { return ::IsWindowEnabled(::GetDlgItem(d, IDC_PAGE_TREE)) != FALSE; }, 30000));
        EXPECT_EQ(value(HKEY_CURRENT_USER, "Environment", "JAVA_HOME"), "/before");
        // Installed JVMs: the JDK's row, selected and checked, becomes the current JVM.
        HTREEITEM jvms = nullptr;
        for (const ui::TreeItemState& item : ui::treeState(::GetDlgItem(d, IDC_PAGE_TREE)).items) {
          if (item.text == "Installed JVMs") jvms = item.handle;
        }
        ASSERT_TRUE(ui::clickTreeItem(::GetDlgItem(d, IDC_PAGE_TREE), jvms));
        const HWND list = ui::findChild(d, IDC_JVM_LIST);
        ASSERT_TRUE(ui::pumpUntil([list] { return ::IsWindowEnabled(list) != FALSE; }));
        ASSERT_EQ(ui::listState(list).items.size(), 1u);
        EXPECT_EQ(ui::listState(list).items[0].texts[0], "SUN17");
        ASSERT_TRUE(ui::clickListItem(list, 0));
        ASSERT_TRUE(ui::setListItemChecked(list, 0, true));
        // The JVM job ends by giving the user JAVA_HOME.
        ASSERT_TRUE(ui::pumpUntil([&] { return value(HKEY_CURRENT_USER, "Environment", "JAVA_HOME") == jdk; }, 30000));
        ASSERT_TRUE(ui::pumpUntil([d] { return ::IsWindowEnabled(::GetDlgItem(d, IDOK)) != FALSE; }));

        ASSERT_TRUE(ui::clickButton(::GetDlgItem(d, IDOK)));
        ASSERT_TRUE(ui::pumpUntil(
            [d] { return !ui::messageBoxRecords().empty() && ::IsWindowEnabled(::GetDlgItem(d, IDCANCEL)) != FALSE; },
            60000));
        ASSERT_TRUE(ui::clickButton(::GetDlgItem(d, IDCANCEL)));
      },
      IDD_GENERATOR_DIALOG);
  ASSERT_EQ(host.runCommand("KAVRIN"), S_OK);
  EXPECT_TRUE(sawDialog);
  EXPECT_TRUE(host.modelessEnabled());

  // The run's files, its log and its message.
  for (const char* made :
       {"fixtures_MembersJNIProxy.h", "fixtures_MembersJNIProxy.cpp", "fixtures_impl_EverythingJNIImpl.h",
        "fixtures_impl_EverythingJNIImpl.cpp", "fixtures_delegate_DelegateTargetJNIProxy.h",
        "fixtures_delegate_DelegateTargetJNIDelegator.h", "fixtures_delegate_DelegateTargetJNIDelegator.cpp",
        "defproxies.h", "defproxies.cpp"}) {
    EXPECT_TRUE(exists(made)) << made;
  }
  EXPECT_EQ(kavrin_test::readFile(projectDir + "KAVRIN.LOG"), "MISSING BYTECODE: fixtures.Gone\n");
  const std::vector<ui::MessageBoxRecord> boxes = ui::messageBoxRecords();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "There are problems in generating of JNI wrappers! See KAVRIN.LOG");
  EXPECT_EQ(boxes[0].caption, "KAVRIN Error Message");
  EXPECT_NE(
      kavrin_test::readFile(projectDir + "fixtures_impl_EverythingJNIImpl.h").find("JNIImplementationOfEverything"),
      std::string::npos);

  // What the project got, and what the settings files keep.
  EXPECT_EQ(project_->files.size(), 12u);
  EXPECT_TRUE(std::find(project_->files.begin(), project_->files.end(), projectDir + "defproxies.cpp") !=
              project_->files.end());
  for (const devstudio::Configuration& c : project_->configurations) {
    EXPECT_EQ(c.settingsOf("cl.exe"),
              (std::vector<std::string>{"/I\"$(KAVRINVC6)/include\"", "/I\"$(JAVA_HOME)/include\"",
                                        "/I\"$(JAVA_HOME)/include/linux\""}));
    EXPECT_EQ(c.settingsOf("link.exe"), std::vector<std::string>{"/libpath:\"$(KAVRINVC6)/lib/\""});
  }
  EXPECT_NE(kavrin_test::readFile(projectDir + "App.jniprj").find("<CLASS>fixtures.Members</CLASS>"),
            std::string::npos);
  EXPECT_NE(kavrin_test::readFile(path("install/kavringlobals.xml")).find("Name=\"SUN17\""), std::string::npos);
  std::string env;
  EXPECT_TRUE(win32::getEnv("JAVA_HOME", env));
  EXPECT_EQ(env, jdk) << "the add-in's process got JAVA_HOME";

  const std::vector<std::string> journal = host.journal();
  EXPECT_TRUE(lineIn(journal, "EnableModeless false"));
  EXPECT_TRUE(lineIn(journal, "Run KAVRIN (StartKAVRINWizard) 0x00000000"));
  host.unloadAddIn();
  const std::vector<std::string> after = host.journal();
  EXPECT_TRUE(lineIn(after, "DllCanUnloadNow 0x00000000")) << "nothing of the add-in lives on";
}

}  // namespace
