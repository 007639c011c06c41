// The set-up of the tests that open the generator dialog over a project: a folder of the test's
// own for the install folder, the registry file and the project, no JAVA_HOME, COM up, every
// template registered, and an empty project App.dsp with a Debug and a Release configuration
// held by the Developer Studio stand-in.
#pragma once

#include "ClassRepository.h"
#include "DevStudioHost.h"
#include "GeneratorDlg.h"
#include "Registry.h"
#include "TestSupport.h"
#include "WizardTestSupport.h"

#include <sys/stat.h>

#include <memory>
#include <optional>
#include <string>

namespace wizardtest {

class GeneratorProjectTest : public WizardUiTest {
 protected:
  explicit GeneratorProjectTest(const char* folder) : dir(folder) {}

  void SetUp() override {
    WizardUiTest::SetUp();
    registerWizardTemplates();
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    mkdir(dir.file("install").c_str(), 0755);
    projectDir = dir.file("project") + "/";
    kavrin_test::writeFile(projectDir + "App.dsp", "");
    project = std::make_shared<devstudio::Project>();
    project->path = projectDir + "App.dsp";
    project->fullName = projectDir + "App.dsp";
    project->fullNameGiven = true;
    project->configurations = {{"App - Win32 Debug", {}}, {"App - Win32 Release", {}}};
    host = std::make_unique<devstudio::Host>(project);
  }
  void TearDown() override {
    host.reset();
    ClassRepository::resetModules("");
    CoUninitialize();
    WizardUiTest::TearDown();
  }

  // Imports the keys and values of `body` as a registry file holds them.
  void importReg(const std::string& body) {
    const std::string file = dir.file("import.reg");
    kavrin_test::writeFile(file, "Windows Registry Editor Version 5.00\n\n" + body);
    ASSERT_EQ(registry::importFile(file), ERROR_SUCCESS) << registry::lastFileError();
  }
  // JDK 17 registered as a development kit, with or without a runtime registration.
  void registerJdk(bool withRuntime) {
    const std::string home = kavrin_test::kJdkHome;
    std::string body =
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\JavaSoft\\Java Development Kit]\n\"CurrentVersion\"=\"17\"\n\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\JavaSoft\\Java Development Kit\\17]\n\"JavaHome\"=\"" +
        home + "\"\n\n";
    if (withRuntime) {
      body +=
          "[HKEY_LOCAL_MACHINE\\SOFTWARE\\JavaSoft\\Java Runtime Environment]\n\"CurrentVersion\"=\"17\"\n\n"
          "[HKEY_LOCAL_MACHINE\\SOFTWARE\\JavaSoft\\Java Runtime Environment\\17]\n\"JavaHome\"=\"" +
          home + "\"\n";
    }
    importReg(body);
  }

  kavrin_test::TempDir dir;
  kavrin_test::ScopedEnv installFolder{"KAVRINVC6", dir.file("install")};
  kavrin_test::ScopedEnv registryFile{"KAVRIN_REGISTRY", dir.file("registry.reg")};
  kavrin_test::ScopedEnv javaHome{"JAVA_HOME", std::nullopt};
  std::string projectDir;
  std::shared_ptr<devstudio::Project> project;
  std::unique_ptr<devstudio::Host> host;
  std::unique_ptr<CGeneratorDlg> dialog;
};

}  // namespace wizardtest
