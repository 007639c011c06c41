// The host in this process: registering, loading and connecting the test add-in, running its
// commands over a project, and what the host records.
#include "DevStudioHost.h"
#include "PlatformTestUtil.h"
#include "Registry.h"
#include "TestAddIn.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <algorithm>
#include <memory>

namespace {

using devstudio::Host;
using devstudio::Project;

bool contains(const std::vector<std::string>& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

size_t indexOf(const std::vector<std::string>& lines, const std::string& line) {
  return static_cast<size_t>(std::find(lines.begin(), lines.end(), line) - lines.begin());
}

std::string errorText() {
  IErrorInfoPtr info;
  if (GetErrorInfo(0, &info) != S_OK) return std::string();
  _bstr_t d;
  info->GetDescription(d.GetAddress());
  return d.utf8();
}

class HostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = std::make_unique<platform_test::ScratchRegistry>();
    ASSERT_EQ(CoInitialize(nullptr), S_OK);
    project = std::make_shared<Project>();
    project->path = dir->file("App.dsp");
    project->fullName = project->path;
    project->configurations = {{"App - Win32 Debug", {}}, {"App - Win32 Release", {}}};
  }
  void TearDown() override {
    CoUninitialize();
    dir.reset();
  }
  // A host with the test add-in registered, loaded and connected.
  std::unique_ptr<Host> connectedHost(std::shared_ptr<Project> p) {
    auto host = std::make_unique<Host>(p);
    EXPECT_EQ(host->registerAddIn(KAVRIN_TEST_ADDIN), S_OK) << errorText();
    EXPECT_EQ(host->loadAddIn(KAVRIN_TEST_ADDIN), S_OK) << errorText();
    return host;
  }

  std::unique_ptr<platform_test::ScratchRegistry> dir;
  std::shared_ptr<Project> project;
};

TEST_F(HostTest, ConnectsTheAddInAndRecordsItsCommandsAndButton) {
  auto host = connectedHost(project);
  ASSERT_TRUE(host->connected());
  const auto j = host->journal();
  EXPECT_TRUE(contains(j, "DllRegisterServer 0x00000000"));
  EXPECT_TRUE(contains(j, "OnConnection " + com::guidToString(CLSID_TestAddIn) + " firstTime=true cookie=1"));
  EXPECT_TRUE(contains(j, "SetAddInInfo module=set bitmaps=128,129"));
  EXPECT_TRUE(contains(j, "AddCommand TestCmd method=AddOutputs glyph=0"));
  EXPECT_TRUE(contains(j, "AddCommand Missing refused: the command object has no method NoSuchMethod"));
  EXPECT_TRUE(contains(j, "AddCommandBarButton TestCmd type=1"));
  ASSERT_EQ(host->commands().size(), 2u);
  EXPECT_EQ(host->commands()[0].text, "TestCmd\nTest\nRuns the test command\nTest");
  EXPECT_EQ(host->toolbarButtons(), std::vector<std::string>{"TestCmd"});
}

TEST_F(HostTest, CommandAddsFilesAndToolSettingsToEveryConfiguration) {
  auto host = connectedHost(project);
  ASSERT_EQ(host->runCommand("TestCmd"), S_OK) << errorText();
  const std::string d = dir->path() + "/";
  EXPECT_EQ(project->files, (std::vector<std::string>{d + "a_b_CJNIProxy.h", d + "a_b_CJNIProxy.cpp"}));
  for (const auto& c : project->configurations) {
    EXPECT_EQ(c.settingsOf("cl.exe"), std::vector<std::string>{TEST_ADDIN_SETTING_CL}) << c.name;
    EXPECT_EQ(c.settingsOf("link.exe"), std::vector<std::string>{TEST_ADDIN_SETTING_LINK}) << c.name;
  }
  EXPECT_TRUE(project->modified);
  const auto j = host->journal();
  const size_t off = indexOf(j, "EnableModeless false");
  const size_t on = indexOf(j, "EnableModeless true");
  const size_t file = indexOf(j, "AddFile " + d + "a_b_CJNIProxy.h");
  const size_t setting = indexOf(j, "AddToolSettings \"App - Win32 Release\" link.exe " TEST_ADDIN_SETTING_LINK);
  ASSERT_LT(on, j.size());
  EXPECT_LT(off, file);
  EXPECT_LT(file, setting);
  EXPECT_LT(setting, on);
  EXPECT_TRUE(host->modelessEnabled());

  // Running it again adds nothing twice; the method name runs it as well.
  ASSERT_EQ(host->runCommand("AddOutputs"), S_OK);
  EXPECT_EQ(project->files.size(), 2u);
  EXPECT_EQ(project->configurations[0].settingsOf("cl.exe").size(), 1u);
  EXPECT_TRUE(contains(host->journal(), "AddFile " + d + "a_b_CJNIProxy.h (already in the project)"));
}

TEST_F(HostTest, FailingAndUnknownCommandsAreReported) {
  auto host = connectedHost(project);
  EXPECT_EQ(host->runCommand("FailCmd"), DISP_E_EXCEPTION);
  EXPECT_EQ(errorText(), TEST_ADDIN_FAILURE);
  EXPECT_TRUE(contains(host->journal(), "Run FailCmd (FailHere) 0x80020009: " TEST_ADDIN_FAILURE));
  EXPECT_EQ(host->runCommand("Missing"), DISP_E_UNKNOWNNAME) << "it was refused";
  EXPECT_EQ(host->runCommand("Nothing"), DISP_E_UNKNOWNNAME);
  EXPECT_NE(errorText().find("No command named Nothing"), std::string::npos);
}

TEST_F(HostTest, WithoutAProjectTheCommandDoesNothing) {
  auto host = connectedHost(nullptr);
  ASSERT_EQ(host->runCommand("TestCmd"), S_OK);
  EXPECT_FALSE(contains(host->journal(), "EnableModeless false"));
}

TEST_F(HostTest, LaterConnectionsAreNotTheFirstAndAddNoSecondButton) {
  connectedHost(project).reset();
  Host second(project);
  ASSERT_EQ(second.loadAddIn(KAVRIN_TEST_ADDIN), S_OK) << "registered by the first host";
  const auto j = second.journal();
  EXPECT_TRUE(contains(j, "OnConnection " + com::guidToString(CLSID_TestAddIn) + " firstTime=false cookie=1"));
  EXPECT_TRUE(contains(j, "AddCommand TestCmd method=AddOutputs glyph=0"));
  for (const std::string& line : j) EXPECT_EQ(line.find("AddCommandBarButton"), std::string::npos) << line;
  EXPECT_EQ(second.toolbarButtons(), std::vector<std::string>{"TestCmd"}) << "the button stays";
}

TEST_F(HostTest, UnloadingReleasesEverythingAndTheLibraryGoes) {
  auto host = connectedHost(project);
  ASSERT_EQ(host->runCommand("TestCmd"), S_OK);
  host->unloadAddIn();
  const auto j = host->journal();
  EXPECT_TRUE(contains(j, "OnDisconnection"));
  EXPECT_TRUE(contains(j, "DllCanUnloadNow 0x00000000"));
  for (const std::string& line : j) {
    EXPECT_EQ(line.find("still holds"), std::string::npos) << line;
  }
  EXPECT_FALSE(host->connected());
  void* handle = dlopen(KAVRIN_TEST_ADDIN, RTLD_NOW | RTLD_NOLOAD);
  EXPECT_EQ(handle, nullptr) << "unloaded";
  if (handle != nullptr) dlclose(handle);
  EXPECT_EQ(host->runCommand("TestCmd"), E_UNEXPECTED);
}

TEST_F(HostTest, DecliningOrUnregisteredAddInsAreNotConnected) {
  Host host(project);
  EXPECT_EQ(host.loadAddIn(KAVRIN_TEST_ADDIN), REGDB_E_CLASSNOTREG);
  EXPECT_NE(errorText().find("register the add-in first"), std::string::npos);
  ASSERT_EQ(host.registerAddIn(KAVRIN_TEST_ADDIN), S_OK);
  {
    platform_test::ScopedEnv decline("KAVRIN_TEST_ADDIN_DECLINE", "1");
    EXPECT_EQ(host.loadAddIn(KAVRIN_TEST_ADDIN), S_FALSE);
  }
  EXPECT_FALSE(host.connected());
  EXPECT_TRUE(host.commands().empty());
  EXPECT_EQ(host.loadAddIn(KAVRIN_TEST_ADDIN), S_OK);
  EXPECT_TRUE(
      contains(host.journal(), "OnConnection " + com::guidToString(CLSID_TestAddIn) + " firstTime=true cookie=2"))
      << "a declined connection does not count as the first";
  EXPECT_EQ(host.registerAddIn(dir->file("nothing.so")), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
}

TEST_F(HostTest, HostObjectsCheckWhatTheyAreGiven) {
  Host host(project);
  IApplication* app = host.application();
  VARIANT_BOOL added = VARIANT_TRUE;
  EXPECT_EQ(app->AddCommand(_bstr_t("X"), _bstr_t("Y"), 0, 7, &added), E_INVALIDARG) << "no add-in has cookie 7";
  EXPECT_EQ(added, VARIANT_FALSE);

  IDispatchPtr active;
  ASSERT_EQ(app->get_ActiveProject(&active), S_OK);
  IBuildProjectPtr build(active);
  ASSERT_NE(build.GetInterfacePtr(), nullptr);
  EXPECT_EQ(build->AddFile(_bstr_t("two\nlines"), vtMissing), E_INVALIDARG);
  EXPECT_EQ(build->AddFile(_bstr_t(""), vtMissing), E_INVALIDARG);
  IConfigurationsPtr configurations;
  ASSERT_EQ(build->get_Configurations(&configurations), S_OK);
  IConfigurationPtr c;
  EXPECT_EQ(configurations->Item(_variant_t(LONG(0)), &c), DISP_E_BADINDEX);
  EXPECT_EQ(configurations->Item(_variant_t(LONG(3)), &c), DISP_E_BADINDEX);
  EXPECT_EQ(configurations->Item(_variant_t("App - Win32 Debug"), &c), DISP_E_TYPEMISMATCH);
  ASSERT_EQ(configurations->Item(_variant_t(SHORT(2)), &c), S_OK);
  EXPECT_EQ(c->AddToolSettings(_bstr_t("cl exe"), _bstr_t("/W3"), vtMissing), E_INVALIDARG);
  EXPECT_EQ(c->AddToolSettings(_bstr_t("cl.exe"), _bstr_t("a\r\nb"), vtMissing), E_INVALIDARG);
  EXPECT_FALSE(project->modified);
  EXPECT_EQ(c->AddToolSettings(_bstr_t("cl.exe"), _bstr_t("/W3"), vtMissing), S_OK);
  EXPECT_EQ(project->configurations[1].settingsOf("cl.exe"), std::vector<std::string>{"/W3"});

  Host noProject(nullptr);
  IDispatchPtr none;
  EXPECT_EQ(noProject.application()->get_ActiveProject(&none), S_OK);
  EXPECT_EQ(none.GetInterfacePtr(), nullptr);
}

}  // namespace
