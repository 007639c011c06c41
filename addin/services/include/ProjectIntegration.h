// What Generate does to the Developer Studio project: it deletes the outputs of the last build,
// adds the files the new build writes, and adds the compiler and linker options that the
// generated code needs to every configuration.
//
// Names: the project directory is the project's full name up to and including its last '/';
// the files of a class are the directory + the dotted class name with '.' made '_' + a suffix
// ("JNIProxy", "JNIImpl", "JNIDelegator") + ".h" and ".cpp", unless a class before it in its
// build takes that name (GenerationFiles.h: the names of a build follow from its classes, so
// those of the last build are found again from its names); the shared files are
// "defproxies.h" and "defproxies.cpp"; the log is the directory + "/KAVRIN.LOG".
#pragma once

#include "DevStudio.h"
#include "ProjectModel.h"

#include <set>
#include <string>

namespace projectintegration {

// One option added to every configuration of the project.
struct ToolSetting {
  const char* tool;
  const char* setting;
};
// cl.exe: /I"$(KAVRINVC6)/include", /I"$(JAVA_HOME)/include", /I"$(JAVA_HOME)/include/linux";
// link.exe: /libpath:"$(KAVRINVC6)/lib/".
extern const ToolSetting kToolSettings[4];

// The names of the three kinds of output of one build.
struct BuildNames {
  ClassNameSet* classes;     // proxies
  ClassNameSet* interfaces;  // interface implementations
  ClassNameSet* delegators;  // delegators
};

// Paths of files in the project, as Generate adds them.
typedef std::set<std::string> FileSet;

std::string projectDirectory(const std::string& projectFullName);
// directory + the generated files' stem of the dotted name (generatedFileStem: '.' made '_') + suffix
// (add ".h" or ".cpp").
std::string outputStem(const std::string& directory, const std::string& dottedName, const std::string& suffix);

// True for a path that names a file Generate adds: in `directory`, a class's files (a name ending
// with "JNIProxy", "JNIImpl" or "JNIDelegator", then ".h" or ".cpp") or the shared files.
bool isGeneratedFile(const std::string& directory, const std::string& path);

// Deletes a file, clearing its read-only bit first; a missing or locked file is passed over.
void deleteOutputFile(const std::string& path);
// Deletes the files of every name of the last build (proxies, implementations, delegators, each
// set in its order, ".h" before ".cpp"), then "defproxies.h", "defproxies.cpp" and the log.
void deletePreviousOutputs(const std::string& directory, const BuildNames& lastBuild);

// For every class, in order: records it as an interface implementation or a proxy, and as a
// delegator when one is asked for, and adds the header and source of each to the project and to
// `added`. A COM error around one file is dropped and the next file follows.
void addClassFiles(IBuildProject* project, const std::string& directory, const ClassSettingsMap& classes,
                   const BuildNames& build, FileSet& added);
// Adds "defproxies.h" and "defproxies.cpp" (to `added` too), then the four tool settings to every
// configuration. Raises `_com_error` when the project or a configuration fails.
void addSharedFilesAndToolSettings(IBuildProject* project, const std::string& directory, FileSet& added);
// Takes out of the project the files that the new build, which added `added`, does not write:
// those of the last build (a class no longer selected, a proxy that became an implementation,
// the shared files when nothing is generated), and every other generated file that is not on disk
// (left by a session that ended before the project was saved). Left listed, they would break the
// project's next build. A COM error around one file is dropped; one reading the project's files
// is raised.
void removeStaleFiles(IBuildProject* project, const std::string& directory, const BuildNames& lastBuild,
                      const FileSet& added);

}  // namespace projectintegration
