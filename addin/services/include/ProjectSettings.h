// The project settings file: the wizard's choices for one Developer Studio project, kept beside
// the project file with ".dsp" made ".jniprj".
//
//   <KAVRIN>
//     <GLOBALFILTER fields_bAll=".." ... methods_bExcludePrivate=".."/>
//     <NAMES_SUBSTITUTED FLDPX=".." MTHPX=".."><SUBSTITUTE NAME=".." TO=".."/>...</NAMES_SUBSTITUTED>
//     <MODULES><MODULE TYPE="2" NAME="/path/a.jar"/>...</MODULES>
//     <CLASSES>
//       <CLASS NAME="a.b.C">
//         <FILTER bUseGlobalFilter=".." bIsInterfaceIml=".." bIsDelegatorIml=".." bIsMethodsIml=".."
//                 strClassPath=".." TYPE=".."/>
//         <MEMBERS><MEMBER NAME="toString()Ljava/lang/String;"/>...</MEMBERS>
//       </CLASS>...
//     </CLASSES>
//     <LAST_BUILD><CLASS>a.b.C</CLASS>...<INTERFACE>..</INTERFACE>...<DELEGATOR>..</DELEGATOR>...</LAST_BUILD>
//   </KAVRIN>
//
// Booleans are written as "true" or "false" and read from those or from numbers ("-1", "0").
#pragma once

#include "ProjectModel.h"

#include <string>

// The parts of the generator dialog's project model that the file holds.
struct ProjectSettingsModel {
  ModuleMap* modules;
  ClassSettingsMap* classSettings;
  GlobalFilter* globalFilter;
  NameSubstitutionMap* substitutions;
  bool* fieldPrefix;
  bool* methodPrefix;
  ClassNameSet* lastBuildClasses;
  ClassNameSet* lastBuildInterfaces;
  ClassNameSet* lastBuildDelegators;
};

namespace projectsettings {

// The settings file of a project: its full name with everything from the last ".dsp" on
// replaced by ".jniprj" (".jniprj" appended when there is no ".dsp").
std::string settingsPath(const std::string& projectFullName);

// Empties the modules and the classes and resets the global filter; then fills the model from
// the file, passing the filter switches and the prefix switches to the generator. A missing or
// empty file leaves that reset state and gives false. A file that cannot be read (not
// well-formed, a value that does not convert, an attribute missing) raises `_com_error` whose
// description says why; the model keeps what was read until then, and the names of the last
// build are still read from a file that is well-formed.
bool load(const std::string& path, const ProjectSettingsModel& model);

// Writes the model to the file, replacing it whole. Raises `_com_error` when it cannot; the
// file then stays as it was.
void save(const std::string& path, const ProjectSettingsModel& model);

}  // namespace projectsettings
