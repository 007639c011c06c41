#include "ProjectIntegration.h"

#include "CppNames.h"
#include "GenerationFiles.h"
#include "GenerationLog.h"
#include "GenerationRun.h"
#include "StringHelpers.h"
#include "TypeMapping.h"
#include "Win32.h"

#include <set>
#include <vector>

namespace projectintegration {

const ToolSetting kToolSettings[4] = {
    {"cl.exe", "/I\"$(KAVRINVC6)/include\""},
    {"cl.exe", "/I\"$(JAVA_HOME)/include\""},
    {"cl.exe", "/I\"$(JAVA_HOME)/include/linux\""},
    {"link.exe", "/libpath:\"$(KAVRINVC6)/lib/\""},
};

namespace {

const char* const kDefProxiesHeader = "defproxies.h";
const char* const kDefProxiesSource = "defproxies.cpp";

// The names of the files of a build, as its run wrote them.
GenerationFiles filesOf(const BuildNames& build) {
  return GenerationFiles(*build.classes, *build.interfaces, *build.delegators);
}

void deleteFilesOf(const std::string& directory, const GenerationFiles& files, const ClassNameSet& names,
                   const std::string& suffix) {
  for (const std::string& name : names) {
    const std::string stem = directory + files.fileStem(name, suffix);
    deleteOutputFile(stem + ".h");
    deleteOutputFile(stem + ".cpp");
  }
}

// One AddFile in its own guard: a COM error is dropped. The build writes the file all the same.
void addFile(IBuildProject* project, const std::string& path, FileSet& added) {
  added.insert(path);
  try {
    project->AddFile(_bstr_t(path), vtMissing);
  } catch (const _com_error&) {
  }
}

// The ".h" and ".cpp" paths of every name of a set.
void appendFilesOf(std::set<std::string>& paths, const std::string& directory, const GenerationFiles& files,
                   const ClassNameSet& names, const std::string& suffix) {
  for (const std::string& name : names) {
    const std::string stem = directory + files.fileStem(name, suffix);
    paths.insert(stem + ".h");
    paths.insert(stem + ".cpp");
  }
}

// Every file a build with these names writes into the project.
std::set<std::string> outputFiles(const std::string& directory, const BuildNames& build) {
  std::set<std::string> paths;
  const GenerationFiles files = filesOf(build);
  appendFilesOf(paths, directory, files, *build.classes, proxySuffix);
  appendFilesOf(paths, directory, files, *build.interfaces, implSuffix);
  appendFilesOf(paths, directory, files, *build.delegators, delegatorSuffix);
  if (!build.classes->empty() || !build.interfaces->empty() || !build.delegators->empty()) {
    paths.insert(directory + kDefProxiesHeader);
    paths.insert(directory + kDefProxiesSource);
  }
  return paths;
}

void addFilesOf(IBuildProject* project, const std::string& directory, const GenerationFiles& files,
                const std::string& name, const std::string& suffix, FileSet& added) {
  const std::string stem = directory + files.fileStem(name, suffix);
  addFile(project, stem + ".h", added);
  addFile(project, stem + ".cpp", added);
}

bool endsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// The project's files, as the host lists them.
std::vector<std::string> projectFiles(IBuildProject* project) {
  LONG count = 0;
  com::check(project->get_FileCount(&count));
  std::vector<std::string> files;
  for (LONG index = 1; index <= count; ++index) {
    _bstr_t file;
    com::check(project->FileName(index, file.GetAddress()));
    files.push_back(file.utf8());
  }
  return files;
}

}  // namespace

std::string projectDirectory(const std::string& projectFullName) {
  const std::string::size_type slash = projectFullName.rfind('/');
  return slash == std::string::npos ? std::string() : projectFullName.substr(0, slash + 1);
}

std::string outputStem(const std::string& directory, const std::string& dottedName, const std::string& suffix) {
  return directory + generatedFileStem(dottedName) + suffix;
}

bool isGeneratedFile(const std::string& directory, const std::string& path) {
  if (path.size() <= directory.size() || path.compare(0, directory.size(), directory) != 0) return false;
  const std::string name = path.substr(directory.size());
  if (name.find('/') != std::string::npos) return false;
  if (name == kDefProxiesHeader || name == kDefProxiesSource) return true;
  for (const std::string* suffix : {&proxySuffix, &implSuffix, &delegatorSuffix}) {
    for (const char* extension : {".h", ".cpp"}) {
      const std::string end = *suffix + extension;
      if (name.size() > end.size() && endsWith(name, end)) return true;
    }
  }
  return false;
}

void deleteOutputFile(const std::string& path) {
  const DWORD attributes = GetFileAttributes(path.c_str());
  SetFileAttributes(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
  DeleteFile(path.c_str());
}

void deletePreviousOutputs(const std::string& directory, const BuildNames& lastBuild) {
  const GenerationFiles files = filesOf(lastBuild);
  deleteFilesOf(directory, files, *lastBuild.classes, proxySuffix);
  deleteFilesOf(directory, files, *lastBuild.interfaces, implSuffix);
  deleteFilesOf(directory, files, *lastBuild.delegators, delegatorSuffix);
  deleteOutputFile(directory + kDefProxiesHeader);
  deleteOutputFile(directory + kDefProxiesSource);
  deleteOutputFile(logFilePath(directory));
}

void addClassFiles(IBuildProject* project, const std::string& directory, const ClassSettingsMap& classes,
                   const BuildNames& build, FileSet& added) {
  // The names the run gives the files.
  const GenerationFiles files = generationrun::generationFiles(classes);
  for (const auto& entry : classes) {
    const std::string& name = entry.first.str();
    const ClassSettings& settings = entry.second;
    if (settings.bIsInterfaceIml) {
      build.interfaces->insert(name);
      addFilesOf(project, directory, files, name, implSuffix, added);
    } else {
      build.classes->insert(name);
      addFilesOf(project, directory, files, name, proxySuffix, added);
    }
    if (settings.bIsDelegatorIml) {
      build.delegators->insert(name);
      addFilesOf(project, directory, files, name, delegatorSuffix, added);
    }
  }
}

void addSharedFilesAndToolSettings(IBuildProject* project, const std::string& directory, FileSet& added) {
  addFile(project, directory + kDefProxiesHeader, added);
  addFile(project, directory + kDefProxiesSource, added);
  IConfigurationsPtr configurations;
  com::check(project->get_Configurations(&configurations));
  LONG count = 0;
  com::check(configurations->get_Count(&count));
  for (LONG index = 1; index <= count; ++index) {
    IConfigurationPtr configuration;
    com::check(configurations->Item(_variant_t(index), &configuration));
    for (const ToolSetting& setting : kToolSettings) {
      configuration->AddToolSettings(_bstr_t(setting.tool), _bstr_t(setting.setting), vtMissing);
    }
  }
}

void removeStaleFiles(IBuildProject* project, const std::string& directory, const BuildNames& lastBuild,
                      const FileSet& added) {
  std::set<std::string> stale = outputFiles(directory, lastBuild);
  // The shared files of a last build whose names were all lost are stale too, unless rewritten.
  stale.insert(directory + kDefProxiesHeader);
  stale.insert(directory + kDefProxiesSource);
  // A session that ended between deleting its last build's files and saving the project left
  // them listed, under names the last build recorded no more.
  for (const std::string& path : projectFiles(project)) {
    if (isGeneratedFile(directory, path) && !win32::fileExists(path)) stale.insert(path);
  }
  for (const std::string& path : added) stale.erase(path);
  for (const std::string& path : stale) {
    try {
      project->RemoveFile(_bstr_t(path), vtMissing);
    } catch (const _com_error&) {
    }
  }
}

}  // namespace projectintegration
