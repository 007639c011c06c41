// A project settings model that owns its parts, for the tests that load and compare models.
#pragma once

#include "ProjectSettings.h"

namespace addintest {

struct OwnedSettingsModel {
  ModuleMap modules;
  ClassSettingsMap classes;
  GlobalFilter filter;
  NameSubstitutionMap substitutions;
  bool fieldPrefix = false;
  bool methodPrefix = false;
  ClassNameSet lastClasses, lastInterfaces, lastDelegators;

  // Pointers into the parts, as the settings routines take them.
  ProjectSettingsModel refs() {
    return ProjectSettingsModel{&modules,      &classes,     &filter,         &substitutions, &fieldPrefix,
                                &methodPrefix, &lastClasses, &lastInterfaces, &lastDelegators};
  }
};

}  // namespace addintest
