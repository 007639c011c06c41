// The generator dialog's work on the project and the registry: the registered JVMs, the project
// settings file, the Generate command and the generation run on the worker.
#include "GenerationRun.h"
#include "GeneratorDlg.h"
#include "JvmRegistry.h"
#include "ProjectIntegration.h"
#include "ProjectSettings.h"
#include "SettingsXml.h"

namespace {

const char* const kComErrorCaption = "KAVRIN Add-In Error";

ProjectSettingsModel settingsModel(CGeneratorDlg& dialog) {
  return ProjectSettingsModel{&dialog.m_modules,          &dialog.m_classSettings,       &dialog.m_globalFilter,
                              &dialog.m_substitutions,    &dialog.m_bFieldPrefix,        &dialog.m_bMethodPrefix,
                              &dialog.m_lastBuildClasses, &dialog.m_lastBuildInterfaces, &dialog.m_lastBuildDelegators};
}

projectintegration::BuildNames lastBuild(CGeneratorDlg& dialog) {
  return projectintegration::BuildNames{&dialog.m_lastBuildClasses, &dialog.m_lastBuildInterfaces,
                                        &dialog.m_lastBuildDelegators};
}

// The active project as a build project; null when none is open (or it is not a build project).
IBuildProjectPtr activeBuildProject(IApplication* application) {
  if (application == nullptr) return IBuildProjectPtr();
  IDispatchPtr active;
  com::check(application->get_ActiveProject(&active));
  return IBuildProjectPtr(active);
}

std::string fullNameOf(IBuildProject* project) {
  _bstr_t fullName;
  com::check(project->get_FullName(fullName.GetAddress()));
  return fullName.utf8();
}

}  // namespace

// --- Registered JVMs ---------------------------------------------------------------------------
void CGeneratorDlg::MirrorJdkRegistrations(LPCTSTR runtimeKey, LPCTSTR developmentKitKey, LPCTSTR mirrorKey) {
  jvmregistry::mirrorJdkRegistrations(runtimeKey, developmentKitKey, mirrorKey);
}

void CGeneratorDlg::LoadInstalledJvms() { jvmregistry::loadInstalledJvms(m_installedJvms, m_jvmRegistrations); }

// --- Project settings file ---------------------------------------------------------------------
void CGeneratorDlg::LoadProjectSettings() {
  const ProjectSettingsModel model = settingsModel(*this);
  std::string path;
  try {
    IBuildProjectPtr project = activeBuildProject(m_pApplication);
    if (!project) {
      m_modules.clear();
      m_classSettings.clear();
      m_globalFilter = GlobalFilter();
      return;
    }
    path = projectsettings::settingsPath(fullNameOf(project));
    projectsettings::load(path, model);
  } catch (const _com_error& error) {
    // The wizard opens with what could be read; a copy keeps what the file held, and the file
    // itself is not saved over without asking.
    std::string text = com::describe(error);
    if (!path.empty() && win32::fileExists(path)) {
      m_unreadableSettings = path;
      m_unreadableSettingsCopy = settingsxml::keepCopy(path);
      if (!m_unreadableSettingsCopy.empty()) text += "\nIts content was copied to " + m_unreadableSettingsCopy + ".";
    }
    MessageBox(text.c_str(), kComErrorCaption, MB_OK | MB_ICONERROR);
  }
}

bool CGeneratorDlg::MayReplaceUnreadableSettings(const std::string& replacer) {
  if (m_unreadableSettings.empty()) return true;
  std::string text = "The project settings file " + m_unreadableSettings + " could not be read when the wizard opened";
  text += m_unreadableSettingsCopy.empty() ? std::string(", and no copy of it could be made.")
                                           : "; its content was copied to " + m_unreadableSettingsCopy + ".";
  text += "\n" + replacer + " replaces it with the settings shown now. Replace it?";
  // Yes loses the file the user may still want to mend: No is the default answer.
  if (MessageBox(text.c_str(), "KAVRIN Add-In", MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) != IDYES) return false;
  m_unreadableSettings.clear();
  return true;
}

void CGeneratorDlg::SaveProjectSettings() {
  try {
    IBuildProjectPtr project = activeBuildProject(m_pApplication);
    if (!project) com::raiseError(E_FAIL, "No project is open: the project settings cannot be saved");
    if (!MayReplaceUnreadableSettings("StoreSettings")) return;
    projectsettings::save(projectsettings::settingsPath(fullNameOf(project)), settingsModel(*this));
  } catch (const _com_error& error) {
    MessageBox(com::describe(error).c_str(), kComErrorCaption, MB_OK | MB_ICONERROR);
  }
}

// --- Generate ----------------------------------------------------------------------------------
void CGeneratorDlg::OnGenerate() {
  // Decided before anything is deleted: a second Generate while the run is at work is refused,
  // and another job (the JVM job rebuilding the modules) is let end first.
  if (!WaitForJobSlot()) return;
  // Generate ends by saving the settings: over an unreadable file only with the user's consent,
  // asked before anything is changed.
  if (!MayReplaceUnreadableSettings("Generate")) return;
  try {
    m_currentJvm = m_jvmListPage.GetCurrentJvmName();
    IBuildProjectPtr project = activeBuildProject(m_pApplication);
    if (!project) com::raiseError(E_FAIL, "No project is open: there is nothing to generate into");
    const std::string directory = projectintegration::projectDirectory(fullNameOf(project));

    projectintegration::deletePreviousOutputs(directory, lastBuild(*this));
    ClassNameSet lastClasses, lastInterfaces, lastDelegators;
    lastClasses.swap(m_lastBuildClasses);
    lastInterfaces.swap(m_lastBuildInterfaces);
    lastDelegators.swap(m_lastBuildDelegators);

    projectintegration::FileSet added;
    if (!m_classSettings.empty()) {
      // The run goes on in parallel with the rest; it only reads the model.
      if (CreateJobThread()) ResumeJobThread();
      projectintegration::addClassFiles(project, directory, m_classSettings, lastBuild(*this), added);
      projectintegration::addSharedFilesAndToolSettings(project, directory, added);
    }
    projectintegration::removeStaleFiles(project, directory, {&lastClasses, &lastInterfaces, &lastDelegators}, added);
    SaveProject(project);
  } catch (const _com_error& error) {
    MessageBox(com::describe(error).c_str(), kComErrorCaption, MB_OK | MB_ICONERROR);
    return;
  }
  SaveProjectSettings();
}

void CGeneratorDlg::SaveProject(IBuildProject* project) {
  // Written before the settings that record the new build, not only when the session ends: a
  // session that ends early leaves a project that lists the files of the build it recorded. A
  // project that cannot be written keeps its former files, which the next Generate puts right.
  try {
    com::check(project->Save());
  } catch (const _com_error& error) {
    MessageBox(com::describe(error).c_str(), kComErrorCaption, MB_OK | MB_ICONERROR);
  }
}

// --- Generation run (worker thread) ------------------------------------------------------------
void CGeneratorDlg::RunJob() {
  m_btnClose.EnableWindow(FALSE);
  RunGeneration();
  m_btnClose.EnableWindow(TRUE);
}

void CGeneratorDlg::RunGeneration() {
  DisableWizardControls();
  try {
    IBuildProjectPtr project = activeBuildProject(m_pApplication);
    if (project) {
      const std::string directory = projectintegration::projectDirectory(fullNameOf(project));
      const generationrun::Outcome outcome = generationrun::generateClasses(
          directory, m_classSettings, &m_substitutions,
          [this](int number) {
            m_progressBar.SetBarText("Wait, generating proxies...", CPercentBar::kTextOnly);
            m_progressBar.SetPos(generationrun::barPosition(number));
            m_progressBar.Invalidate(TRUE);
          },
          [this] { return m_bStop.load(); });
      if (!outcome.success && !outcome.stopped) {
        MessageBox(generationrun::problemMessage().c_str(), "KAVRIN Error Message", MB_OK | MB_ICONERROR);
      }
    }
  } catch (const _com_error& error) {
    MessageBox(com::describe(error).c_str(), kComErrorCaption, MB_OK | MB_ICONERROR);
  }
  m_progressBar.SetPos(0);
  m_progressBar.SetBarText("", CPercentBar::kTextNone);
  m_progressBar.Invalidate(TRUE);
  EnableWizardControls();
}
