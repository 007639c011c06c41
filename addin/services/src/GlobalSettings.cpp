#include "GlobalSettings.h"

#include "ClassRepository.h"
#include "JavaImage.h"
#include "Registry.h"

namespace globalsettings {

const char* const kFileName = "kavringlobals.xml";

namespace {

const char* const kRoot = "Project";
const char* const kCurrentJvm = "CurrentJVM";
const char* const kExtraJvms = "ExtraJVMs";
const char* const kExtraJvm = "ExtraJVM";
const char* const kAddedPaths = "AddedPaths";
const char* const kName = "Name";
const char* const kJrePath = "JREPath";
const char* const kJdkPath = "JDKPath";

const char* const kJavaHome = "JAVA_HOME";
const char* const kUserEnvironmentKey = "Environment";

void readJvm(IXMLDOMElement* element, JvmDefinition& jvm) {
  jvm.strName = settingsxml::textAttribute(element, kName);
  jvm.strJREPath = settingsxml::textAttribute(element, kJrePath);
  jvm.strJDKPath = settingsxml::textAttribute(element, kJdkPath);
}

void writeJvm(IXMLDOMElement* element, const JvmDefinition& jvm) {
  settingsxml::setAttribute(element, kName, _variant_t(jvm.strName));
  settingsxml::setAttribute(element, kJrePath, _variant_t(jvm.strJREPath));
  settingsxml::setAttribute(element, kJdkPath, _variant_t(jvm.strJDKPath));
}

// The non-empty texts of the element's child nodes, in order.
std::vector<std::string> childTexts(IXMLDOMNode* element) {
  std::vector<std::string> texts;
  for (const IXMLDOMNodePtr& child : settingsxml::children(element)) {
    std::string value = settingsxml::text(child);
    if (!value.empty()) texts.push_back(std::move(value));
  }
  return texts;
}

struct LockHolder {
  LockHolder() { InitializeCriticalSection(&lock); }
  ~LockHolder() { DeleteCriticalSection(&lock); }
  CRITICAL_SECTION lock;
};

}  // namespace

std::string settingsPath(const std::string& installFolder) {
  if (installFolder.empty() || installFolder.find("%KAVRINVC6%") != std::string::npos) return std::string();
  std::string path = installFolder;
  if (path.back() != '/') path += '/';
  return path + kFileName;
}

settingsxml::LoadResult read(IXMLDOMDocument* document, const std::string& path, JvmDefinition& current,
                             JvmDefinitionSet& extra, std::set<std::string>& added) {
  extra.clear();
  settingsxml::LoadResult result = settingsxml::loadFile(document, path);
  if (result.status != settingsxml::LoadStatus::Loaded) return result;
  try {
    IXMLDOMElementPtr root;
    document->get_documentElement(&root);
    if (!root || settingsxml::nodeName(root) != kRoot) {
      result.status = settingsxml::LoadStatus::Unreadable;
      result.problem = std::string("its root element is not ") + kRoot;
      return result;
    }
    if (IXMLDOMElementPtr jvm = settingsxml::firstElement(root, kCurrentJvm)) {
      readJvm(jvm, current);
      if (current.setLibraries.empty()) {
        for (std::string& library : childTexts(jvm)) current.setLibraries.insert(std::move(library));
      }
    }
    if (IXMLDOMElementPtr list = settingsxml::firstElement(root, kExtraJvms)) {
      for (const IXMLDOMElementPtr& element : settingsxml::elements(list, kExtraJvm)) {
        JvmDefinition jvm;
        readJvm(element, jvm);
        extra.insert(std::move(jvm));
      }
    }
    if (IXMLDOMElementPtr paths = settingsxml::firstElement(root, kAddedPaths)) {
      for (const std::string& path : childTexts(paths)) {
        added.insert(path);
        current.setAddedPaths.insert(path);
      }
    }
  } catch (const _com_error& error) {
    result.status = settingsxml::LoadStatus::Unreadable;
    result.problem = com::describe(error);
  }
  return result;
}

void write(IXMLDOMDocument* document, const std::string& path, JvmDefinition& current, const JvmDefinitionSet& extra,
           const std::set<std::string>& added) {
  if (document == nullptr) com::raiseError(E_POINTER, "There is no XML document to write the global settings with");
  if (path.empty()) com::raiseError(E_INVALIDARG, "The installation folder (KAVRINVC6) is not set");
  IXMLDOMElementPtr root;
  com::check(document->createElement(_bstr_t(kRoot), &root));
  com::check(document->putref_documentElement(root));

  IXMLDOMElementPtr jvm = settingsxml::appendElement(document, root, kCurrentJvm);
  writeJvm(jvm, current);
  current.setLibraries = scanJreLibraries(current.strJREPath);
  for (const std::string& library : current.setLibraries) settingsxml::appendCData(document, jvm, library);

  IXMLDOMElementPtr list = settingsxml::appendElement(document, root, kExtraJvms);
  for (const JvmDefinition& definition : extra)
    writeJvm(settingsxml::appendElement(document, list, kExtraJvm), definition);

  IXMLDOMElementPtr paths = settingsxml::appendElement(document, root, kAddedPaths);
  for (const std::string& added_path : added) settingsxml::appendCData(document, paths, added_path);

  settingsxml::save(document, path);
}

std::set<std::string> scanJreLibraries(const std::string& jreHome) {
  std::set<std::string> libraries;
  if (jreHome.empty()) return libraries;
  // A JDK of release 9 or later: its own class library, as its jmods or the modules of its image.
  for (const std::string& library : jdkClassLibrary(jreHome, true)) libraries.insert(library);
  const std::string lib = jreHome + "/lib";
  for (const std::string& folder : {lib, lib + "/ext", lib + "/javaws"}) {
    for (const char* suffix : {".zip", ".jar"}) {
      for (const std::string& name : win32::listFolder(folder, suffix)) {
        const std::string full = folder + "/" + name;
        if (!win32::isDirectory(full)) libraries.insert(full);
      }
    }
  }
  return libraries;
}

CRITICAL_SECTION* jvmJobLock() {
  // Made once and kept for the process, so that a job ending while the library unloads still
  // finds it.
  static LockHolder* holder = new LockHolder();
  return &holder->lock;
}

void resetModules(const std::string& jreHome, const std::set<std::string>& addedPaths) {
  ClassRepository::resetModules(jreHome);
  for (const std::string& path : addedPaths) ClassRepository::addModule(path);
}

void recheckClass(ClassRepository& repository, const std::string& dottedName, ClassSettings& settings) {
  const antlr::RefAST tree = repository.loadClass(dottedName, settings.strClassPath);
  settings.bMissingBytecode = !tree;
  settings.bHasNativeMethods = tree ? repository.hasNativeMethods() : false;
}

void setProcessJavaHome(const std::string& jdkHome) {
  SetEnvironmentVariable(kJavaHome, jdkHome.c_str());
  DWORD result = 0;
  SendMessageTimeout(HWND_BROADCAST, WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>(kUserEnvironmentKey),
                     SMTO_ABORTIFHUNG, 500, &result);
}

namespace {
std::string registryProblem(const char* what, LONG rc) {
  const std::string file = registry::lastFileError();
  return file.empty() ? std::string(what) + ": registry error " + std::to_string(rc) : file;
}
}  // namespace

bool setUserJavaHome(const std::string& jdkHome, std::string& problem) {
  problem.clear();
  HKEY key = nullptr;
  LONG rc =
      RegOpenKeyEx(HKEY_CURRENT_USER, kUserEnvironmentKey, 0, KEY_READ | KEY_CREATE_SUB_KEY | KEY_SET_VALUE, &key);
  if (rc != ERROR_SUCCESS) {
    problem = registryProblem("HKEY_CURRENT_USER\\Environment cannot be opened", rc);
    return false;
  }
  rc = RegSetValueEx(key, kJavaHome, 0, REG_SZ, reinterpret_cast<const BYTE*>(jdkHome.c_str()),
                     static_cast<DWORD>(jdkHome.size() + 1));
  RegCloseKey(key);
  if (rc != ERROR_SUCCESS) {
    problem = registryProblem("JAVA_HOME cannot be written", rc);
    return false;
  }
  return true;
}

}  // namespace globalsettings
