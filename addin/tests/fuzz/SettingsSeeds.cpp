// Writes the seed files of a settings fuzz target with the add-in's own writers into a folder:
// "global" settings files or "project" settings files, one of an empty model and one of a typical
// model that also holds texts with XML's special characters, a CDATA end, non-ASCII letters and
// spaces. Exit status 1 when a file cannot be written.
#include "Com.h"
#include "GlobalSettings.h"
#include "ProjectSettings.h"

#include <cstdio>

namespace {

const char* const kOddText = "a&b <c> \"d\" 'e' ]]> \xc3\xa9t\xc3\xa9 \xe2\x82\xac  f ";

void writeGlobal(const std::string& folder) {
  JvmDefinition current{"JDK 17", "/usr/lib/jvm/java-17-openjdk-amd64", "/usr/lib/jvm/java-17-openjdk-amd64", {}, {}};
  JvmDefinitionSet extra;
  extra.insert(JvmDefinition{"Classic", "/opt/jdk1.4/jre", "/opt/jdk1.4", {}, {}});
  extra.insert(JvmDefinition{kOddText, std::string("/opt/") + kOddText, "", {}, {}});
  const std::set<std::string> added{"/work/lib/a.jar", "/work/classes", std::string("/work/") + kOddText};

  globalsettings::write(settingsxml::newDocument(), folder + "/typical.xml", current, extra, added);
  JvmDefinition none;
  globalsettings::write(settingsxml::newDocument(), folder + "/empty.xml", none, JvmDefinitionSet(), {});
}

void writeProject(const std::string& folder) {
  ModuleMap modules{{CString("/work/lib/a.jar"), kModuleArchive},
                    {CString("/work/classes/p/I.class"), kModuleInterface},
                    {CString("/work/classes/p/C.class"), kModuleClass},
                    {CString(std::string("/work/") + kOddText), kModuleOther}};
  ClassSettings proxy;
  proxy.members = {"toString()Ljava/lang/String;", "<init>(I)V", kOddText};
  proxy.bUseGlobalFilter = false;
  proxy.strClassPath = "/work/lib/a.jar";
  proxy.bIsMethodsIml = true;
  ClassSettings iface;
  iface.bIsInterfaceIml = true;
  iface.bIsDelegatorIml = true;
  iface.TYPE = 1;
  ClassSettingsMap classes{{CString("p.C"), proxy}, {CString("p.I"), iface}, {CString(kOddText), ClassSettings()}};
  GlobalFilter filter;
  filter.fields_bAll = false;
  filter.fields_bExcludePrivate = true;
  filter.methods_bExcludeInherited = true;
  NameSubstitutionMap substitutions{{"delete", "delete_"}, {"Outer$Inner", "Inner"}, {kOddText, "odd"}};
  bool fieldPrefix = true;
  bool methodPrefix = false;
  ClassNameSet lastClasses{"p.C"}, lastInterfaces{"p.I"}, lastDelegators{"p.I", kOddText};
  const ProjectSettingsModel model{&modules,      &classes,     &filter,         &substitutions, &fieldPrefix,
                                   &methodPrefix, &lastClasses, &lastInterfaces, &lastDelegators};
  projectsettings::save(folder + "/typical.jniprj", model);

  ModuleMap noModules;
  ClassSettingsMap noClasses;
  GlobalFilter defaults;
  NameSubstitutionMap noSubstitutions;
  ClassNameSet none;
  const ProjectSettingsModel empty{&noModules, &noClasses, &defaults, &noSubstitutions, &fieldPrefix, &methodPrefix,
                                   &none,      &none,      &none};
  projectsettings::save(folder + "/empty.jniprj", empty);
}

}  // namespace

int main(int argc, char** argv) {
  const std::string kind = argc == 3 ? argv[1] : "";
  if (kind != "global" && kind != "project") {
    std::fprintf(stderr, "usage: %s global|project FOLDER\n", argv[0]);
    return 2;
  }
  if (FAILED(CoInitialize(nullptr))) return 1;
  try {
    if (kind == "global")
      writeGlobal(argv[2]);
    else
      writeProject(argv[2]);
  } catch (const _com_error& error) {
    std::fprintf(stderr, "%s\n", error.Description().utf8().c_str());
    return 1;
  }
  CoUninitialize();
  return 0;
}
