// The "Installed JVMs" page's global settings file and its JVM job.
#include "ClassRepository.h"
#include "GlobalSettings.h"
#include "JvmListPage.h"
#include "PercentBar.h"
#include "WizardControls.h"

namespace {

const char* const kSaveProblem =
    "There is a problem with initialization of environment variables.\nRestart Microsoft Visual Studio IDE.";

}  // namespace

bool CJvmListPage::LoadGlobalSettings() {
  const std::string path = globalsettings::settingsPath(m_installFolder.str());
  bool loaded = false;
  if (!m_pSettingsDocument || path.empty()) {
    m_extraJvms.clear();
  } else {
    settingsxml::LoadResult result =
        globalsettings::read(m_pSettingsDocument, path, m_currentJvm, m_extraJvms, m_addedPaths);
    loaded = result.status == settingsxml::LoadStatus::Loaded;
    if (result.status == settingsxml::LoadStatus::Unreadable) {
      // The page goes on with its checked JVM; the file keeps what it held until the user
      // agrees to replace it, and a copy keeps it anyway.
      m_extraJvms.clear();
      m_bSettingsUnreadable = true;
      m_settingsCopy = settingsxml::keepCopy(path);
      std::string text = "The global settings file " + path + " cannot be read: " + result.problem + ".\n";
      text += m_settingsCopy.empty() ? std::string("No copy of it could be made.")
                                     : "Its content was copied to " + m_settingsCopy + ".";
      text += " The JVM settings start afresh.";
      MessageBox(text.c_str(), "KAVRIN Add-In", MB_OK | MB_ICONWARNING);
    }
  }
  m_bLoading = false;
  StartJob();
  return loaded;
}

bool CJvmListPage::SaveGlobalSettings() {
  if (m_bLoading) return true;
  const std::string path = globalsettings::settingsPath(m_installFolder.str());
  if (m_bSettingsUnreadable) {
    std::string text = "The global settings file " + path + " could not be read when the wizard opened";
    text += m_settingsCopy.empty() ? std::string(", and no copy of it could be made.")
                                   : "; its content was copied to " + m_settingsCopy + ".";
    text += "\nReplace it with the JVM settings shown now?";
    // Yes loses the file the user may still want to mend: No is the default answer.
    if (MessageBox(text.c_str(), "KAVRIN Add-In", MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) != IDYES) return true;
    m_bSettingsUnreadable = false;
  }
  try {
    globalsettings::write(m_pSettingsDocument, path, m_currentJvm, m_extraJvms, m_addedPaths);
  } catch (const _com_error& error) {
    // The file keeps its former content; the message says which file and why.
    const std::string text = std::string(kSaveProblem) + "\n\n" + com::describe(error);
    MessageBox(text.c_str(), "KAVRIN Add-In", MB_OK | MB_ICONINFORMATION);
    return false;
  }
  return true;
}

bool CJvmListPage::StartJob() {
  if (!m_bStop) return false;  // a job of this page is at work
  if (!CreateJobThread()) return false;
  return ResumeJobThread() != static_cast<DWORD>(-1);
}

void CJvmListPage::RunJob() {
  CRITICAL_SECTION* lock = globalsettings::jvmJobLock();
  EnterCriticalSection(lock);
  if (!m_bStop) {
    m_btnAdd.EnableWindow(FALSE);
    m_btnEdit.EnableWindow(FALSE);
    m_btnRemove.EnableWindow(FALSE);
  }
  globalsettings::resetModules(m_currentJvm.strJREPath, m_addedPaths);

  if (m_bStop) {
    LeaveCriticalSection(lock);
    return;
  }
  // Without a class map there is nothing to re-check, but the JVM is still applied and the
  // controls the worker disabled come back.
  if (m_pClassSettings != nullptr) {
    if (m_pProgressBar != nullptr) m_pProgressBar->SetRange(0, 100);
    ClassRepository repository;
    const size_t count = m_pClassSettings->size();
    size_t index = 0;
    for (auto& entry : *m_pClassSettings) {
      if (m_bStop) break;
      ++index;
      if (m_pProgressBar != nullptr) {
        m_pProgressBar->SetBarText("Processing bytecode...", CPercentBar::kTextOnly);
        m_pProgressBar->SetPos(static_cast<int>(static_cast<double>(index) * 100.0 / static_cast<double>(count)));
        m_pProgressBar->Invalidate();
      }
      globalsettings::recheckClass(repository, entry.first.str(), entry.second);
    }
  }
  if (!m_bStop) {
    // Remove stays for a user-defined JVM's row only; the JVM's JDK becomes JAVA_HOME. A JVM
    // without a JDK (none chosen yet) leaves the user's JAVA_HOME as it is.
    const int selected = m_jvmList.GetNextItem(-1, LVNI_SELECTED);
    m_btnRemove.EnableWindow(selected >= 0 && IsUserDefined(RowText(selected, 0, 1024)) ? TRUE : FALSE);
    const bool setJavaHome = !m_currentJvm.strJDKPath.empty();
    if (setJavaHome) globalsettings::setProcessJavaHome(m_currentJvm.strJDKPath);
    if (m_pProgressBar != nullptr) {
      m_pProgressBar->SetPos(0);
      m_pProgressBar->SetBarText("", CPercentBar::kTextNone);
      m_pProgressBar->Invalidate();
    }
    EnableWizardControls();
    m_btnAdd.EnableWindow(TRUE);
    m_btnEdit.EnableWindow(TRUE);
    std::string problem;
    if (setJavaHome && !globalsettings::setUserJavaHome(m_currentJvm.strJDKPath, problem)) {
      const std::string text = "Cannot set environment variables!" + (problem.empty() ? "" : "\n" + problem);
      MessageBox(text.c_str(), "Error", MB_OK | MB_ICONERROR);
    }
  }
  m_bStop = true;
  LeaveCriticalSection(lock);
}
