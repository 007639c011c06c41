// The generator dialog as a user meets it: opening over a project held by the Developer Studio
// stand-in, the page tree and the pages it shows, the fonts and colours of its title and bar,
// the registered JVMs, StoreSettings, Generate with its run on the worker, and the ways out of
// the dialog while a run is at work.
#include "GeneratorTestSupport.h"
#include "JvmRegistry.h"
#include "TestSupport.h"

#include <sys/stat.h>

#include <algorithm>
#include <functional>

namespace {

class GeneratorDlgTest : public wizardtest::GeneratorProjectTest {
 protected:
  GeneratorDlgTest() : GeneratorProjectTest("generator-dialog") {}
  void SetUp() override {
    GeneratorProjectTest::SetUp();
    ui::setModalIdleLimit(20000);
    importReg("[HKEY_CURRENT_USER\\Environment]\n");
  }

  // The global settings: JDK 17 current, the fixture classes added.
  void writeGlobalSettings() {
    const std::string home = kavrin_test::kJdkHome;
    kavrin_test::writeFile(dir.file("install/kavringlobals.xml"),
                           "<Project><CurrentJVM Name=\"SUN17\" JREPath=\"" + home + "\" JDKPath=\"" + home +
                               "\"/><ExtraJVMs/><AddedPaths><![CDATA[" + kavrin_test::kFixtureClasses +
                               "]]></AddedPaths></Project>");
  }
  std::string settingsFile() const { return projectDir + "App.jniprj"; }
  // A project settings file with these classes (name, FILTER attributes) and last build.
  void writeProjectSettings(const std::vector<std::pair<std::string, std::string>>& classes,
                            const std::string& lastBuild, const std::string& modules = "") {
    std::string xml =
        "<KAVRIN><GLOBALFILTER fields_bAll='true' fields_bExcludeInherited='false' fields_bExcludeRegular='false'"
        " fields_bExcludeProtected='false' fields_bExcludePrivate='false' methods_bAll='true'"
        " methods_bExcludeInherited='false' methods_bExcludeRegular='false' methods_bExcludeProtected='false'"
        " methods_bExcludePrivate='false'/><NAMES_SUBSTITUTED FLDPX='false' MTHPX='false'/><MODULES>" +
        modules + "</MODULES><CLASSES>";
    for (const auto& c : classes) {
      xml += "<CLASS NAME='" + c.first + "'><FILTER bUseGlobalFilter='true' " + c.second + " strClassPath=''/></CLASS>";
    }
    xml += "</CLASSES><LAST_BUILD>" + lastBuild + "</LAST_BUILD></KAVRIN>";
    kavrin_test::writeFile(settingsFile(), xml);
  }
  static std::string flags(bool impl, bool delegator, bool natives = false, bool type = false) {
    auto b = [](bool v) { return v ? std::string("'true'") : std::string("'false'"); };
    return "bIsInterfaceIml=" + b(impl) + " bIsDelegatorIml=" + b(delegator) + " bIsMethodsIml=" + b(natives) +
           " TYPE=" + b(type);
  }

  // Runs the dialog modally with `script` inside its loop; returns DoModal's result.
  INT_PTR run(const std::function<void(CGeneratorDlg&)>& script) {
    dialog = std::make_unique<CGeneratorDlg>(nullptr);
    dialog->SetApplication(host->application());
    CGeneratorDlg* d = dialog.get();
    ui::onModalDialog(
        [d, script](CDialog&) {
          ASSERT_TRUE(ui::pumpUntil([d] { return !d->m_jvmListPage.IsJobRunning(); }));
          ui::pumpMessages();
          script(*d);
        },
        IDD_GENERATOR_DIALOG);
    return dialog->DoModal();
  }
  static HWND item(CGeneratorDlg& d, int id) { return ::GetDlgItem(d.m_hWnd, id); }
  static bool enabled(CGeneratorDlg& d, int id) { return ::IsWindowEnabled(item(d, id)) != FALSE; }
  static HTREEITEM treeItem(CGeneratorDlg& d, const std::string& text) {
    for (const ui::TreeItemState& i : ui::treeState(item(d, IDC_PAGE_TREE)).items) {
      if (i.text == text) return i.handle;
    }
    ADD_FAILURE() << "no tree item " << text;
    return nullptr;
  }
  static std::vector<CWnd*> pages(CGeneratorDlg& d) {
    return {&d.m_jvmListPage, &d.m_classesPage,    &d.m_modulesPage,    &d.m_substituteNamesPage, &d.m_filterDlg,
            &d.m_nativesPage, &d.m_interfacesPage, &d.m_jniClassesPage, &d.m_delegatorsPage};
  }
  static std::vector<CWnd*> visiblePages(CGeneratorDlg& d) {
    std::vector<CWnd*> shown;
    for (CWnd* page : pages(d)) {
      if (ui::windowState(page->m_hWnd).visible) shown.push_back(page);
    }
    return shown;
  }
  static LOGFONT fontOf(HWND window) { return ui::fontState(ui::windowState(window).font).logFont; }
  bool exists(const std::string& name) const { return win32::fileExists(projectDir + name); }
  std::vector<std::string> boxTexts(const std::string& caption) const {
    std::vector<std::string> texts;
    for (const ui::MessageBoxRecord& box : ui::messageBoxRecords()) {
      if (box.caption == caption) texts.push_back(box.text);
    }
    return texts;
  }
};

TEST_F(GeneratorDlgTest, OpensOnJniClassesWithBothRootsExpandedAndTheModelAtItsDefaults) {
  const INT_PTR result = run([&](CGeneratorDlg& d) {
    EXPECT_EQ(theGeneratorDlg, &d);
    EXPECT_EQ(ui::windowState(d.m_hWnd).text, "KAVRIN Generator");
    const ui::TreeState tree = ui::treeState(item(d, IDC_PAGE_TREE));
    std::vector<std::string> items;
    for (const ui::TreeItemState& i : tree.items) items.push_back(std::to_string(i.depth) + " " + i.text);
    EXPECT_EQ(items,
              (std::vector<std::string>{"0 Installed JVMs", "1 Java modules", "0 JNI Classes", "1 Select Classes",
                                        "1 Substitute Names", "1 Class Member Filters", "1 Implement Native Methods",
                                        "1 Implement Interfaces", "1 Create Delegators"}));
    for (const ui::TreeItemState& i : tree.items) {
      if (i.depth == 0) {
        EXPECT_TRUE(i.expanded) << i.text;
      }
      EXPECT_EQ(i.image, 0);
      EXPECT_EQ(i.selected, i.text == "JNI Classes") << i.text;
    }
    EXPECT_EQ(d.m_pCurrentPage, &d.m_classesPage);
    EXPECT_EQ(visiblePages(d), std::vector<CWnd*>{&d.m_classesPage});
    EXPECT_EQ(ui::windowState(item(d, IDC_PAGE_TITLE)).text, "JNI Classes");
    const LOGFONT title = fontOf(item(d, IDC_PAGE_TITLE));
    EXPECT_EQ(title.lfHeight, -25);
    EXPECT_STREQ(title.lfFaceName, "Times New Roman");
    EXPECT_TRUE(d.m_globalFilter.fields_bAll && d.m_globalFilter.methods_bAll);
    EXPECT_FALSE(d.m_globalFilter.fields_bExcludePrivate || d.m_globalFilter.methods_bExcludeInherited);

    // Every page fills the frame; the bar has its font, colours and stretched gradient.
    CRect frame;
    d.m_staticPageFrame.GetClientRect(&frame);
    for (CWnd* page : pages(d)) {
      CRect r;
      page->GetClientRect(&r);
      EXPECT_EQ(r.Width(), frame.Width());
      EXPECT_EQ(r.Height(), frame.Height());
      EXPECT_EQ(ui::windowState(page->m_hWnd).parent, d.m_staticPageFrame.m_hWnd);
    }
    const LOGFONT bar = fontOf(item(d, IDC_PROGRESS_BAR));
    EXPECT_EQ(bar.lfHeight, -15);
    EXPECT_STREQ(bar.lfFaceName, "Times New Roman");
    EXPECT_NE(d.m_progressBar.GetStyle() & CPercentBar::kStretchGradient, 0u);
    EXPECT_EQ(d.m_progressBar.m_colors,
              (std::vector<COLORREF>{GetSysColor(COLOR_BTNFACE), GetSysColor(COLOR_BTNSHADOW)}));
    EXPECT_EQ(d.m_progressBar.m_backColor, GetSysColor(COLOR_BTNFACE));
    EXPECT_EQ(d.m_progressBar.m_barTextColor, 0u);
    EXPECT_EQ(d.m_progressBar.m_backTextColor, 0u);
    EXPECT_TRUE(enabled(d, IDOK) && enabled(d, IDC_STORE_SETTINGS) && enabled(d, IDC_PAGE_TREE))
        << "the JVM job gave the controls back";
    EXPECT_TRUE(ui::clickButton(item(d, IDCANCEL)));
  });
  EXPECT_EQ(result, IDCANCEL);
  EXPECT_EQ(boxTexts("KAVRIN Add-In Error"), std::vector<std::string>{});
}

TEST_F(GeneratorDlgTest, TheTreeShowsOnePageAtATimeUnderItsTitle) {
  run([&](CGeneratorDlg& d) {
    const HWND tree = item(d, IDC_PAGE_TREE);
    for (const char* text :
         {"Installed JVMs", "Java modules", "Select Classes", "Substitute Names", "Class Member Filters",
          "Implement Native Methods", "Implement Interfaces", "Create Delegators", "JNI Classes"}) {
      ASSERT_TRUE(ui::clickTreeItem(tree, treeItem(d, text))) << text;
      ui::pumpMessages();
      ASSERT_EQ(visiblePages(d).size(), 1u) << text;
      EXPECT_EQ(visiblePages(d)[0], d.m_pCurrentPage) << text;
      EXPECT_EQ(ui::windowState(item(d, IDC_PAGE_TITLE)).text, text);
      EXPECT_EQ(fontOf(item(d, IDC_PAGE_TITLE)).lfHeight, -25) << text;
    }
    ASSERT_TRUE(ui::clickTreeItem(tree, treeItem(d, "Java modules")));
    EXPECT_EQ(d.m_pCurrentPage, &d.m_modulesPage);
    ui::clickButton(item(d, IDCANCEL));
  });
}

TEST_F(GeneratorDlgTest, AKitWithoutRuntimeIsMirroredAndListedAsTheInstalledJvm) {
  registerJdk(false);
  run([&](CGeneratorDlg& d) {
    ASSERT_EQ(d.m_installedJvms.size(), 1u);
    const JvmDefinition& jvm = *d.m_installedJvms.begin();
    EXPECT_EQ(jvm.strName, "SUN17");
    EXPECT_EQ(jvm.strJREPath, kavrin_test::kJdkHome);
    EXPECT_EQ(jvm.strJDKPath, kavrin_test::kJdkHome);
    EXPECT_EQ(d.m_jvmRegistrations.size(), 1u);
    const ui::ListState list = ui::listState(::GetDlgItem(d.m_jvmListPage.m_hWnd, IDC_JVM_LIST));
    ASSERT_EQ(list.items.size(), 1u);
    EXPECT_EQ(list.items[0].texts[0], "SUN17");
    ui::clickButton(item(d, IDCANCEL));
  });
  HKEY mirror = nullptr;
  ASSERT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, jvmregistry::kJavaSoftMirrorKey, 0, KEY_READ, &mirror), ERROR_SUCCESS);
  RegCloseKey(mirror);
}

TEST_F(GeneratorDlgTest, StoreSettingsWritesTheFileAndLeavesTheDialogOpen) {
  run([&](CGeneratorDlg& d) {
    d.m_substitutions["delete"] = "delete_";
    d.m_classSettings[CString("a.b.C")] = ClassSettings();
    ASSERT_TRUE(ui::clickButton(item(d, IDC_STORE_SETTINGS)));
    EXPECT_TRUE(::IsWindow(d.m_hWnd) && ui::windowState(d.m_hWnd).visible);
    const std::string text = kavrin_test::readFile(settingsFile());
    EXPECT_NE(text.find("<SUBSTITUTE NAME=\"delete\" TO=\"delete_\""), std::string::npos) << text;
    EXPECT_NE(text.find("<CLASS NAME=\"a.b.C\">"), std::string::npos) << text;
    ui::clickButton(item(d, IDCANCEL));
  });
}

TEST_F(GeneratorDlgTest, GenerateRunsOnTheWorkerAndFillsTheProject) {
  registerJdk(true);
  writeGlobalSettings();
  writeProjectSettings({{"fixtures.Members", flags(false, false)},
                        {"fixtures.impl.Everything", flags(true, false, false, true)},
                        {"fixtures.delegate.DelegateTarget", flags(false, true)},
                        {"fixtures.Gone", flags(false, false)}},
                       "<CLASS>old.Thing</CLASS><INTERFACE>old.Face</INTERFACE>");
  for (const char* old : {"old_ThingJNIProxy.h", "old_ThingJNIProxy.cpp", "old_FaceJNIImpl.h", "KAVRIN.LOG"}) {
    kavrin_test::writeFile(projectDir + old, "old");
    chmod((projectDir + old).c_str(), 0444);
  }
  struct DuringRun {
    bool close = true, generate = true, store = true, tree = true;
  } during;
  std::vector<int> positions;
  run([&](CGeneratorDlg& d) {
    EXPECT_TRUE(d.m_classSettings.at(CString("fixtures.Gone")).bMissingBytecode) << "the JVM job checked it";
    EXPECT_FALSE(d.m_classSettings.at(CString("fixtures.Members")).bMissingBytecode);
    const HWND bar = item(d, IDC_PROGRESS_BAR);
    ui::onMessageBox([&, bar](const ui::MessageBoxRecord&) {
      during.close = ::IsWindowEnabled(item(d, IDCANCEL)) != FALSE;
      during.generate = ::IsWindowEnabled(item(d, IDOK)) != FALSE;
      during.store = ::IsWindowEnabled(item(d, IDC_STORE_SETTINGS)) != FALSE;
      during.tree = ::IsWindowEnabled(item(d, IDC_PAGE_TREE)) != FALSE;
      return IDOK;
    });
    ui::startMessageLog();
    ASSERT_TRUE(ui::clickButton(item(d, IDOK)));
    ASSERT_TRUE(ui::pumpUntil([&d] { return !d.IsJobRunning(); }));
    ui::pumpMessages();
    ui::stopMessageLog();
    for (const ui::LoggedMessage& m : ui::messageLog()) {
      if (m.window == bar && m.message == PBM_SETPOS) positions.push_back(static_cast<int>(m.wParam));
    }
    EXPECT_EQ(d.m_progressBar.GetPos(), 0);
    EXPECT_EQ(ui::windowState(bar).text, "");
    EXPECT_TRUE(enabled(d, IDOK) && enabled(d, IDC_STORE_SETTINGS) && enabled(d, IDC_PAGE_TREE) &&
                enabled(d, IDCANCEL));
    EXPECT_EQ(d.m_currentJvm.strName, "SUN17") << "the JVM page's current JVM";
    EXPECT_EQ(d.m_lastBuildClasses,
              (ClassNameSet{"fixtures.Gone", "fixtures.Members", "fixtures.delegate.DelegateTarget"}));
    EXPECT_EQ(d.m_lastBuildInterfaces, ClassNameSet{"fixtures.impl.Everything"});
    EXPECT_EQ(d.m_lastBuildDelegators, ClassNameSet{"fixtures.delegate.DelegateTarget"});
    ui::clickButton(item(d, IDCANCEL));
  });
  EXPECT_FALSE(during.close || during.generate || during.store || during.tree) << "all disabled during the run";
  EXPECT_EQ(positions, (std::vector<int>{20, 40, 60, 80, 0}));
  EXPECT_EQ(boxTexts("KAVRIN Error Message"),
            std::vector<std::string>{"There are problems in generating of JNI wrappers! See KAVRIN.LOG"});

  for (const char* old : {"old_ThingJNIProxy.h", "old_ThingJNIProxy.cpp", "old_FaceJNIImpl.h"}) {
    EXPECT_FALSE(exists(old)) << old;
  }
  for (const char* made :
       {"fixtures_MembersJNIProxy.h", "fixtures_MembersJNIProxy.cpp", "fixtures_impl_EverythingJNIImpl.h",
        "fixtures_impl_EverythingJNIImpl.cpp", "fixtures_delegate_DelegateTargetJNIProxy.cpp",
        "fixtures_delegate_DelegateTargetJNIDelegator.h", "fixtures_delegate_DelegateTargetJNIDelegator.cpp",
        "defproxies.h", "defproxies.cpp"}) {
    EXPECT_TRUE(exists(made)) << made;
  }
  EXPECT_EQ(kavrin_test::readFile(projectDir + "KAVRIN.LOG"), "MISSING BYTECODE: fixtures.Gone\n");

  const std::string& p = projectDir;
  EXPECT_EQ(
      project->files,
      (std::vector<std::string>{
          p + "fixtures_GoneJNIProxy.h", p + "fixtures_GoneJNIProxy.cpp", p + "fixtures_MembersJNIProxy.h",
          p + "fixtures_MembersJNIProxy.cpp", p + "fixtures_delegate_DelegateTargetJNIProxy.h",
          p + "fixtures_delegate_DelegateTargetJNIProxy.cpp", p + "fixtures_delegate_DelegateTargetJNIDelegator.h",
          p + "fixtures_delegate_DelegateTargetJNIDelegator.cpp", p + "fixtures_impl_EverythingJNIImpl.h",
          p + "fixtures_impl_EverythingJNIImpl.cpp", p + "defproxies.h", p + "defproxies.cpp"}));
  for (const devstudio::Configuration& c : project->configurations) {
    EXPECT_EQ(c.settingsOf("cl.exe").size(), 3u) << c.name;
    EXPECT_EQ(c.settingsOf("link.exe"), std::vector<std::string>{"/libpath:\"$(KAVRINVC6)/lib/\""}) << c.name;
  }
  const std::string saved = kavrin_test::readFile(settingsFile());
  EXPECT_NE(saved.find("<INTERFACE>fixtures.impl.Everything</INTERFACE>"), std::string::npos) << saved;
  EXPECT_NE(saved.find("<DELEGATOR>fixtures.delegate.DelegateTarget</DELEGATOR>"), std::string::npos) << saved;
  EXPECT_EQ(saved.find("old.Thing"), std::string::npos) << saved;
}

TEST_F(GeneratorDlgTest, GenerateWithoutClassesOnlyClearsTheLastBuild) {
  writeProjectSettings({}, "<CLASS>old.Thing</CLASS>");
  kavrin_test::writeFile(projectDir + "old_ThingJNIProxy.h", "old");
  kavrin_test::writeFile(projectDir + "defproxies.cpp", "old");
  run([&](CGeneratorDlg& d) {
    ASSERT_TRUE(ui::clickButton(item(d, IDOK)));
    EXPECT_EQ(d.GetJobThreadHandle(), nullptr) << "no run was started";
    EXPECT_TRUE(d.m_lastBuildClasses.empty());
    ui::clickButton(item(d, IDCANCEL));
  });
  EXPECT_FALSE(exists("old_ThingJNIProxy.h"));
  EXPECT_FALSE(exists("defproxies.cpp"));
  EXPECT_TRUE(project->files.empty());
  EXPECT_TRUE(project->configurations[0].tools.empty());
  EXPECT_EQ(kavrin_test::readFile(settingsFile()).find("old.Thing"), std::string::npos);
}

TEST_F(GeneratorDlgTest, CloseAfterGenerationWaitsForTheRunThenEndsAsByOk) {
  writeGlobalSettings();
  writeProjectSettings({{"fixtures.Members", flags(false, false)}, {"fixtures.Derived", flags(false, false)}}, "");
  const INT_PTR result = run([&](CGeneratorDlg& d) {
    ASSERT_TRUE(ui::clickButton(item(d, IDOK)));
    d.PostMessage(WM_CLOSE_AFTER_GENERATION);
  });
  EXPECT_EQ(result, IDOK);
  EXPECT_FALSE(dialog->IsJobRunning());
  EXPECT_TRUE(exists("defproxies.cpp")) << "the run ended before the dialog";
  EXPECT_TRUE(boxTexts("KAVRIN Error Message").empty());
}

TEST_F(GeneratorDlgTest, ClosingTheWindowDuringARunWaitsForIt) {
  writeGlobalSettings();
  writeProjectSettings({{"fixtures.Members", flags(false, false)}, {"fixtures.Derived", flags(false, false)}}, "");
  const INT_PTR result = run([&](CGeneratorDlg& d) {
    ASSERT_TRUE(ui::clickButton(item(d, IDOK)));
    ui::closeWindow(d.m_hWnd);
  });
  EXPECT_EQ(result, IDCANCEL);
  EXPECT_FALSE(dialog->IsJobRunning());
  EXPECT_TRUE(exists("defproxies.cpp"));
}

TEST_F(GeneratorDlgTest, AnUnreadableProjectSettingsFileIsKeptUntilTheUserAgreesToReplaceIt) {
  const std::string broken =
      "<KAVRIN><GLOBALFILTER fields_bAll='maybe'/><LAST_BUILD><CLASS>old.Thing</CLASS></LAST_BUILD></KAVRIN>";
  kavrin_test::writeFile(settingsFile(), broken);
  kavrin_test::writeFile(projectDir + "old_ThingJNIProxy.h", "old");
  writeGlobalSettings();
  run([&](CGeneratorDlg& d) {
    EXPECT_TRUE(d.m_globalFilter.fields_bAll) << "the defaults";
    d.m_classSettings[CString("fixtures.Members")] = ClassSettings();
    // Neither StoreSettings nor Generate writes over it while the user says no, which is also
    // the answer of a question left to its default (Enter).
    ui::answerMessageBox(IDNO);
    ASSERT_TRUE(ui::clickButton(item(d, IDC_STORE_SETTINGS)));
    ASSERT_TRUE(ui::clickButton(item(d, IDOK)));
    EXPECT_EQ(d.GetJobThreadHandle(), nullptr) << "no run was started";
    EXPECT_TRUE(exists("old_ThingJNIProxy.h"));
    EXPECT_EQ(kavrin_test::readFile(settingsFile()), broken);
    // Agreed, Generate removes the outputs the file names and replaces it.
    ui::answerMessageBox(IDYES);
    ASSERT_TRUE(ui::clickButton(item(d, IDOK)));
    ASSERT_TRUE(ui::pumpUntil([&d] { return !d.IsJobRunning(); }));
    ui::clickButton(item(d, IDCANCEL));
  });
  const std::vector<std::string> errors = boxTexts("KAVRIN Add-In Error");
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_NE(errors[0].find("cannot be read"), std::string::npos) << errors[0];
  EXPECT_NE(errors[0].find("\"fields_bAll\" of the element GLOBALFILTER"), std::string::npos) << errors[0];
  EXPECT_NE(errors[0].find(settingsFile() + ".bak"), std::string::npos) << errors[0];
  const std::vector<std::string> questions = boxTexts("KAVRIN Add-In");
  ASSERT_EQ(questions.size(), 3u) << "asked by StoreSettings and by each Generate until agreed";
  EXPECT_NE(questions[0].find("StoreSettings replaces it"), std::string::npos) << questions[0];
  EXPECT_NE(questions[2].find("Generate replaces it"), std::string::npos) << questions[2];
  EXPECT_FALSE(exists("old_ThingJNIProxy.h")) << "the last build was read from the well-formed file";
  EXPECT_TRUE(exists("fixtures_MembersJNIProxy.h"));
  EXPECT_NE(kavrin_test::readFile(settingsFile()).find("<CLASS NAME=\"fixtures.Members\">"), std::string::npos);
  EXPECT_EQ(kavrin_test::readFile(settingsFile() + ".bak"), broken);

  // A second incident keeps its own copy beside the first.
  kavrin_test::writeFile(settingsFile(), "<KAVRIN>");
  run([&](CGeneratorDlg& d) { ui::clickButton(item(d, IDCANCEL)); });
  EXPECT_EQ(kavrin_test::readFile(settingsFile() + ".bak"), broken);
  EXPECT_EQ(kavrin_test::readFile(settingsFile() + ".bak.1"), "<KAVRIN>");
}

TEST_F(GeneratorDlgTest, ASecondGenerateWhileTheRunIsAtWorkIsRefused) {
  writeGlobalSettings();
  writeProjectSettings({{"fixtures.Members", flags(false, false)}, {"fixtures.Gone", flags(false, false)}}, "");
  run([&](CGeneratorDlg& d) {
    // Both clicks come before the worker is served, while Generate is still enabled.
    ASSERT_TRUE(ui::clickButton(item(d, IDOK)));
    const HANDLE first = d.GetJobThreadHandle();
    ASSERT_NE(first, nullptr);
    ASSERT_TRUE(ui::clickButton(item(d, IDOK)));
    EXPECT_EQ(d.GetJobThreadHandle(), first) << "no second run";
    ASSERT_TRUE(ui::pumpUntil([&d] { return !d.IsJobRunning(); }));
    ui::clickButton(item(d, IDCANCEL));
  });
  EXPECT_EQ(kavrin_test::readFile(projectDir + "KAVRIN.LOG"), "MISSING BYTECODE: fixtures.Gone\n");
  const std::vector<std::string> journal = host->journal();
  EXPECT_EQ(std::count(journal.begin(), journal.end(), "AddFile " + projectDir + "defproxies.h"), 1)
      << "the files were added once";
  EXPECT_TRUE(exists("fixtures_MembersJNIProxy.cpp"));
}

TEST_F(GeneratorDlgTest, GenerateRightAfterAnotherJvmIsCheckedWaitsForTheJvmJob) {
  registerJdk(true);
  const std::string home = kavrin_test::kJdkHome;
  kavrin_test::writeFile(dir.file("install/kavringlobals.xml"),
                         "<Project><CurrentJVM Name=\"SUN17\" JREPath=\"" + home + "\" JDKPath=\"" + home +
                             "\"/><ExtraJVMs><ExtraJVM Name=\"Mine\" JREPath=\"" + home + "\" JDKPath=\"" + home +
                             "\"/></ExtraJVMs><AddedPaths><![CDATA[" + kavrin_test::kFixtureClasses +
                             "]]></AddedPaths></Project>");
  writeProjectSettings({{"fixtures.Derived", flags(false, false)}, {"fixtures.Members", flags(false, false)}}, "");
  run([&](CGeneratorDlg& d) {
    ASSERT_TRUE(ui::clickTreeItem(item(d, IDC_PAGE_TREE), treeItem(d, "Installed JVMs")));
    const HWND jvms = ::GetDlgItem(d.m_jvmListPage.m_hWnd, IDC_JVM_LIST);
    ASSERT_EQ(ui::listState(jvms).items.size(), 2u);
    ASSERT_TRUE(ui::setListItemChecked(jvms, 1, true));  // "Mine": the JVM job starts
    ASSERT_TRUE(d.m_jvmListPage.IsJobAtWork());
    ASSERT_TRUE(ui::clickButton(item(d, IDOK)));
    EXPECT_FALSE(d.m_jvmListPage.IsJobRunning()) << "the JVM job ended before the run started";
    EXPECT_EQ(d.m_currentJvm.strName, "Mine");
    ASSERT_TRUE(ui::pumpUntil([&d] { return !d.IsJobRunning(); }));
    ui::clickButton(item(d, IDCANCEL));
  });
  EXPECT_FALSE(exists("KAVRIN.LOG")) << kavrin_test::readFile(projectDir + "KAVRIN.LOG");
  EXPECT_TRUE(exists("fixtures_DerivedJNIProxy.h"));
  EXPECT_TRUE(boxTexts("KAVRIN Error Message").empty());
}

TEST_F(GeneratorDlgTest, WithoutAProjectGenerateAndStoreSettingsSayWhy) {
  host = std::make_unique<devstudio::Host>(nullptr);
  run([&](CGeneratorDlg& d) {
    ASSERT_TRUE(ui::clickButton(item(d, IDOK)));
    ASSERT_TRUE(ui::clickButton(item(d, IDC_STORE_SETTINGS)));
    ui::clickButton(item(d, IDCANCEL));
  });
  const std::vector<std::string> errors = boxTexts("KAVRIN Add-In Error");
  ASSERT_EQ(errors.size(), 2u);
  EXPECT_NE(errors[0].find("No project is open"), std::string::npos) << errors[0];
  EXPECT_NE(errors[1].find("No project is open"), std::string::npos) << errors[1];
}

// Where a control lies in a picture of its top-level window, and how much dark ink is there.
RECT placeIn(const ui::Picture& picture, HWND top, HWND control) {
  RECT t{}, c{};
  ::GetWindowRect(top, &t);
  ::GetWindowRect(control, &c);
  const int dx = picture.client.x - t.left, dy = picture.client.y - t.top;
  return RECT{c.left + dx, c.top + dy, c.right + dx, c.bottom + dy};
}
int inkIn(const ui::Picture& picture, const RECT& r) {
  int dark = 0;
  for (int y = r.top; y < r.bottom; ++y) {
    for (int x = r.left; x < r.right; ++x) {
      const COLORREF c = picture.at(x, y);
      if (c != CLR_INVALID && GetRValue(c) + GetGValue(c) + GetBValue(c) < 200) ++dark;
    }
  }
  return dark;
}

TEST_F(GeneratorDlgTest, PagesDialogsAndTheBarAreDrawnFromTheirState) {
  registerJdk(true);
  writeGlobalSettings();
  const std::string jar = kavrin_test::kFixtureJar;
  writeProjectSettings({{"fixtures.Members", flags(false, false)}}, "", "<MODULE TYPE='2' NAME='" + jar + "'/>");
  const std::string folder = dir.file("pictures");
  mkdir(folder.c_str(), 0755);
  ui::setSnapshotFolder(folder);
  const std::vector<std::string> titles = {"Installed JVMs",           "Java modules",         "JNI Classes",
                                           "Select Classes",           "Substitute Names",     "Class Member Filters",
                                           "Implement Native Methods", "Implement Interfaces", "Create Delegators"};
  run([&](CGeneratorDlg& d) {
    const HWND tree = item(d, IDC_PAGE_TREE);
    for (const std::string& title : titles) {
      ASSERT_TRUE(ui::clickTreeItem(tree, treeItem(d, title)));
      ui::pumpMessages();
      const ui::Picture shot = ui::windowPicture(d.m_hWnd);
      ASSERT_EQ(shot.width, 491 * 6 / 4 + 6);
      EXPECT_EQ(shot.at(4, 4), GetSysColor(COLOR_ACTIVECAPTION)) << "the caption bar of the active dialog";
      EXPECT_GT(inkIn(shot, placeIn(shot, d.m_hWnd, item(d, IDC_PAGE_TITLE))), 100) << title << " in the title";
      const int description = title == "Class Member Filters" ? IDC_FILTER_DESCRIPTION : IDC_DESCRIPTION;
      EXPECT_GT(inkIn(shot, placeIn(shot, d.m_hWnd, ui::findChild(d.m_pCurrentPage->m_hWnd, description))), 100)
          << "the description of " << title;
    }
    // The JVM row is checked: a check mark in its box; the delegator rows are not.
    ASSERT_TRUE(ui::clickTreeItem(tree, treeItem(d, "Installed JVMs")));
    ui::pumpMessages();
    ui::Picture shot = ui::windowPicture(d.m_hWnd);
    const RECT jvms = placeIn(shot, d.m_hWnd, ui::findChild(d.m_hWnd, IDC_JVM_LIST));
    const RECT checkedBox{jvms.left + 2 + 4, jvms.top + 2 + 20 + 4, jvms.left + 2 + 11, jvms.top + 2 + 20 + 11};
    EXPECT_GE(inkIn(shot, checkedBox), 12) << "the check mark of the current JVM";
    ASSERT_TRUE(ui::clickTreeItem(tree, treeItem(d, "Create Delegators")));
    ui::pumpMessages();
    shot = ui::windowPicture(d.m_hWnd);
    const RECT rows = placeIn(shot, d.m_hWnd, ui::findChild(d.m_hWnd, IDC_DELEGATOR_LIST));
    EXPECT_EQ(inkIn(shot, RECT{rows.left + 6, rows.top + 26, rows.left + 13, rows.top + 33}), 0) << "an empty box";

    // The bar at half its range: its gradient ends half way along.
    ::SendMessage(item(d, IDC_PROGRESS_BAR), PBM_SETPOS, 50, 0);
    ui::pumpMessages();
    shot = ui::windowPicture(d.m_hWnd);
    const RECT bar = placeIn(shot, d.m_hWnd, item(d, IDC_PROGRESS_BAR));
    const int length = bar.right - bar.left, y = bar.top + 2;
    EXPECT_EQ(shot.at(bar.left + 1, y), GetSysColor(COLOR_BTNFACE)) << "the gradient starts at the face colour";
    EXPECT_LT(GetRValue(shot.at(bar.left + length * 48 / 100, y)), 140) << "and darkens to the shadow";
    EXPECT_EQ(shot.at(bar.left + length * 52 / 100, y), GetSysColor(COLOR_BTNFACE)) << "past the position";
    ::SendMessage(item(d, IDC_PROGRESS_BAR), PBM_SETPOS, 0, 0);

    // The JVM dialog over the page: its caption active, the generator's grey while it waits.
    ASSERT_TRUE(ui::clickTreeItem(tree, treeItem(d, "Installed JVMs")));
    ui::onModalDialog(
        [&](CDialog& jvm) {
          const ui::Picture over = ui::windowPicture(jvm.m_hWnd);
          EXPECT_EQ(over.at(4, 4), GetSysColor(COLOR_ACTIVECAPTION));
          EXPECT_GT(inkIn(over, placeIn(over, jvm.m_hWnd, ::GetDlgItem(jvm.m_hWnd, IDC_JVM_NAME))), 30) << "SUN17";
          EXPECT_NE(ui::windowPicture(d.m_hWnd).at(4, 4), GetSysColor(COLOR_ACTIVECAPTION)) << "the owner waits";
          ui::clickButton(::GetDlgItem(jvm.m_hWnd, IDCANCEL));
        },
        IDD_JVM_DIALOG);
    ASSERT_TRUE(ui::clickButton(ui::findChild(d.m_jvmListPage.m_hWnd, IDC_EDIT)));

    // Add Java Classes: the archive's classes listed with their images once it is chosen.
    ASSERT_TRUE(ui::clickTreeItem(tree, treeItem(d, "Select Classes")));
    ui::onModalDialog(
        [&](CDialog& add) {
          const HWND combo = ::GetDlgItem(add.m_hWnd, IDC_MODULE_COMBO);
          EXPECT_TRUE(ui::chooseComboItem(combo, jar));
          ui::pumpMessages();
          const HWND list = ::GetDlgItem(add.m_hWnd, IDC_CLASS_LIST);
          EXPECT_FALSE(ui::listState(list).items.empty());
          const ui::Picture added = ui::windowPicture(add.m_hWnd);
          const RECT rows = placeIn(added, add.m_hWnd, list);
          EXPECT_GT(inkIn(added, RECT{rows.left, rows.top + 22, rows.right, rows.top + 38}), 60) << "the first class";
          EXPECT_GT(inkIn(added, placeIn(added, add.m_hWnd, combo)), 60) << "the archive chosen";
          ui::clickButton(::GetDlgItem(add.m_hWnd, IDCANCEL));
        },
        IDD_ADD_CLASSES_DIALOG);
    ASSERT_TRUE(ui::clickButton(ui::findChild(d.m_jniClassesPage.m_hWnd, IDC_ADD)));
    ui::clickButton(item(d, IDCANCEL));
  });
  // A picture each time a page or a dialog was shown: the opening, the pages, the two dialogs.
  const std::vector<std::string> files = ui::snapshotFiles();
  ui::setSnapshotFolder("");
  ASSERT_GE(files.size(), titles.size() + 3);
  EXPECT_EQ(files.front(), folder + "/001-kavrin-generator.png");
  EXPECT_TRUE(std::any_of(files.begin(), files.end(),
                          [&](const std::string& f) { return f.find("-add-java-classes.png") != std::string::npos; }));
  EXPECT_EQ(kavrin_test::readFile(files.back()).substr(1, 3), "PNG");
}

}  // namespace
