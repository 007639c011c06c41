// The project model: what the generator dialog holds for the open project while the wizard
// runs, and what the pages, the jobs, the settings files and the generation run read and change.
//
// The dialog owns one instance of each container; pages hold raw pointers into them. Every
// container is ordered, and every list, file and generation walks it in that order.
#pragma once

#include "Mfc.h"

#include <map>
#include <set>
#include <string>

// --- Selected classes ----------------------------------------------------------------------
// The settings of one selected class. A class that gets an entry without settings of its own
// takes these defaults: the global filter applies, no path, nothing excluded, all flags off.
struct ClassSettings {
  // Keys of the members the user excluded: the member's name immediately followed by its
  // descriptor as the class file holds it ("toString()Ljava/lang/String;").
  std::set<std::string> members;
  bool bUseGlobalFilter = true;    // the class's members are filtered by the global filter
  std::string strClassPath;        // the module the class was taken from; empty when not known
  bool bMissingBytecode = false;   // no class file for it in the current modules (not stored)
  bool bIsInterfaceIml = false;    // generate a C++ implementation of the interface, not a proxy
  bool bIsDelegatorIml = false;    // also generate a delegator
  bool bIsMethodsIml = false;      // generate C++ skeletons of the class's native methods
  bool bHasNativeMethods = false;  // the class declares native methods (not stored)
  unsigned char TYPE = 0;          // 0 a class, 1 an interface
};

// Dotted Java class name ("java.lang.String") to its settings.
typedef std::map<CString, ClassSettings> ClassSettingsMap;

// --- Global member filter ------------------------------------------------------------------
// The ten switches of the project's member filter, in the order the settings file stores them.
// The defaults take every member: both "all" switches on, every exclusion off.
struct GlobalFilter {
  bool fields_bAll = true;
  bool fields_bExcludeInherited = false;
  bool fields_bExcludeRegular = false;
  bool fields_bExcludeProtected = false;
  bool fields_bExcludePrivate = false;
  bool methods_bAll = true;
  bool methods_bExcludeInherited = false;
  bool methods_bExcludeRegular = false;
  bool methods_bExcludeProtected = false;
  bool methods_bExcludePrivate = false;
};

// --- Java modules --------------------------------------------------------------------------
// Kinds of module; the value of a module's entry and the image of its row.
enum ModuleType : int {
  kModuleClass = 0,      // a .class file that holds a class
  kModuleInterface = 1,  // a .class file that holds an interface
  kModuleArchive = 2,    // a file whose name ends in ".jar" or ".zip" (any case)
  kModuleOther = 3,      // any other file
};

// Module path to its ModuleType.
typedef std::map<CString, int> ModuleMap;

// --- Names ---------------------------------------------------------------------------------
// Old Java name to the name the generated C++ code uses instead; the generation run publishes
// the address of the dialog's map to the type mapping while it runs.
typedef std::map<std::string, std::string> NameSubstitutionMap;

// Dotted class names (the names of one kind of output of the last build).
typedef std::set<std::string> ClassNameSet;

// --- Java VMs ------------------------------------------------------------------------------
// One Java VM, held by value and copied whole wherever it is handed on.
struct JvmDefinition {
  std::string strName;                  // the key of every collection of definitions
  std::string strJREPath;               // JRE home directory
  std::string strJDKPath;               // JDK home directory
  std::set<std::string> setLibraries;   // full paths of the JRE's library archives
  std::set<std::string> setAddedPaths;  // archive paths added for it
};

// Orders definitions by name, byte by byte; two definitions with one name are one element.
// Lookups may also be made by the name alone (jvms.find(std::string("SUN1.4.2"))).
struct JvmDefinitionByName {
  typedef void is_transparent;
  bool operator()(const JvmDefinition& a, const JvmDefinition& b) const { return a.strName < b.strName; }
  bool operator()(const JvmDefinition& a, const std::string& b) const { return a.strName < b; }
  bool operator()(const std::string& a, const JvmDefinition& b) const { return a < b.strName; }
};

typedef std::set<JvmDefinition, JvmDefinitionByName> JvmDefinitionSet;
