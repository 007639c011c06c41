// The global settings file "kavringlobals.xml" in the installation folder (%KAVRINVC6%) and the
// pieces of the JVM job, as the "Installed JVMs" page uses them.
//
// The file keeps, for every project, the JVM the user chose (the current JVM, with the library
// archives of its runtime), the JVMs the user defined, and the archive paths the user added:
//
//   <Project>
//     <CurrentJVM Name="..." JREPath="..." JDKPath="..."><![CDATA[<jre>/lib/x.jar]]>...</CurrentJVM>
//     <ExtraJVMs><ExtraJVM Name="..." JREPath="..." JDKPath="..."/>...</ExtraJVMs>
//     <AddedPaths><![CDATA[/path/a.jar]]>...</AddedPaths>
//   </Project>
//
// The JVM job rebuilds the class repository's modules from the current JVM and the added paths,
// re-checks every selected class against them, and makes the current JVM's JDK the JAVA_HOME of
// the process and of the user.
#pragma once

#include "MsXml.h"
#include "ProjectModel.h"
#include "SettingsXml.h"

#include <set>
#include <string>

class ClassRepository;

namespace globalsettings {

// File name, root and element names.
extern const char* const kFileName;  // "kavringlobals.xml"

// The settings file of an installation folder: folder + "/kavringlobals.xml"; empty when the
// folder is empty or is still an unexpanded "%KAVRINVC6%" (the variable is not set).
std::string settingsPath(const std::string& installFolder);

// Reads the file into the three settings. `extra` is emptied first. The current JVM takes the
// file's name and paths; its libraries only when it has none yet; the added paths go into
// `added` and into the current JVM's added paths. A file whose root is not "Project", or whose
// elements lack their attributes, is unreadable; what was read before the fault stays.
settingsxml::LoadResult read(IXMLDOMDocument* document, const std::string& path, JvmDefinition& current,
                             JvmDefinitionSet& extra, std::set<std::string>& added);

// Rescans the current JVM's libraries (scanJreLibraries) and writes the whole file through
// `document`, replacing it. Raises `_com_error` when it cannot; the file then stays as it was.
void write(IXMLDOMDocument* document, const std::string& path, JvmDefinition& current, const JvmDefinitionSet& extra,
           const std::set<std::string>& added);

// The library archives of a JRE home: the *.zip, then the *.jar files of <jre>/lib,
// <jre>/lib/ext and <jre>/lib/javaws, and the home's own class library when it is a JDK of
// release 9 or later (every jmods/*.jmod, else one path per module of its image lib/modules,
// "<jre>/lib/modules/java.base"), as full paths.
std::set<std::string> scanJreLibraries(const std::string& jreHome);

// --- The JVM job ---------------------------------------------------------------------------------
// The critical section that keeps two JVM jobs from overlapping (process-wide).
CRITICAL_SECTION* jvmJobLock();

// The class repository's modules: those of the JRE home, then each added path.
void resetModules(const std::string& jreHome, const std::set<std::string>& addedPaths);

// Loads the class through `repository` (its class path as the module hint) and records in its
// settings whether its class file is missing and whether it declares native methods.
void recheckClass(ClassRepository& repository, const std::string& dottedName, ClassSettings& settings);

// Sets JAVA_HOME in the process and tells every top-level window that the environment changed
// (WM_SETTINGCHANGE "Environment", 500 ms, hung windows skipped).
void setProcessJavaHome(const std::string& jdkHome);
// Writes JAVA_HOME into HKEY_CURRENT_USER\Environment; false when the key cannot be opened or
// the value cannot be written, with `problem` saying why (naming the registry file when that
// could not be saved).
bool setUserJavaHome(const std::string& jdkHome, std::string& problem);

}  // namespace globalsettings
