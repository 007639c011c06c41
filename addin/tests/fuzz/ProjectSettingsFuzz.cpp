// Any bytes as a project settings file: a file that is loaded is saved again, and the saved file
// loads into the same model.
#include "ComSupport.h"
#include "FuzzSupport.h"
#include "OwnedSettingsModel.h"
#include "ProjectSettings.h"

namespace {

using Model = addintest::OwnedSettingsModel;

bool sameFilter(const GlobalFilter& a, const GlobalFilter& b) {
  return a.fields_bAll == b.fields_bAll && a.fields_bExcludeInherited == b.fields_bExcludeInherited &&
         a.fields_bExcludeRegular == b.fields_bExcludeRegular &&
         a.fields_bExcludeProtected == b.fields_bExcludeProtected &&
         a.fields_bExcludePrivate == b.fields_bExcludePrivate && a.methods_bAll == b.methods_bAll &&
         a.methods_bExcludeInherited == b.methods_bExcludeInherited &&
         a.methods_bExcludeRegular == b.methods_bExcludeRegular &&
         a.methods_bExcludeProtected == b.methods_bExcludeProtected &&
         a.methods_bExcludePrivate == b.methods_bExcludePrivate;
}

bool sameClass(const ClassSettings& a, const ClassSettings& b) {
  return a.members == b.members && a.bUseGlobalFilter == b.bUseGlobalFilter && a.strClassPath == b.strClassPath &&
         a.bIsInterfaceIml == b.bIsInterfaceIml && a.bIsDelegatorIml == b.bIsDelegatorIml &&
         a.bIsMethodsIml == b.bIsMethodsIml && a.TYPE == b.TYPE;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  if (FAILED(CoInitialize(nullptr))) fuzz_support::fail("COM cannot be initialised");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input = fuzz_support::writeScratchFile("App.jniprj", data, size);
  Model first;
  try {
    if (!projectsettings::load(input, first.refs())) return 0;
  } catch (const _com_error&) {
    return 0;  // a file that cannot be read, with the reason
  }

  const std::string again = fuzz_support::scratchFolder() + "/Again.jniprj";
  Model second;
  try {
    projectsettings::save(again, first.refs());
    FUZZ_CHECK(projectsettings::load(again, second.refs()), "the saved file is empty");
  } catch (const _com_error& error) {
    fuzz_support::fail("a loaded model does not survive a save and a load: " + error.Description().utf8());
  }
  FUZZ_CHECK(second.modules == first.modules, "the modules changed");
  FUZZ_CHECK(second.classes.size() == first.classes.size(), "the number of classes changed");
  for (const auto& entry : first.classes) {
    const auto found = second.classes.find(entry.first);
    FUZZ_CHECK(found != second.classes.end() && sameClass(found->second, entry.second),
               "the class " + entry.first.str() + " changed");
  }
  FUZZ_CHECK(sameFilter(second.filter, first.filter), "the global filter changed");
  FUZZ_CHECK(second.substitutions == first.substitutions, "the substituted names changed");
  FUZZ_CHECK(second.fieldPrefix == first.fieldPrefix && second.methodPrefix == first.methodPrefix,
             "the prefix switches changed");
  FUZZ_CHECK(second.lastClasses == first.lastClasses && second.lastInterfaces == first.lastInterfaces &&
                 second.lastDelegators == first.lastDelegators,
             "the last build changed");
  return 0;
}
