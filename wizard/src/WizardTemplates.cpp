#include "WizardResources.h"

void registerWizardTemplates() {
  registerWizardImages();
  registerGeneratorDialogTemplate();
  registerJvmListPageTemplate();
  registerModulesPageTemplate();
  registerClassesPageTemplate();
  registerSubstituteNamesPageTemplate();
  registerLocalFilterPageTemplate();
  registerNativesPageTemplate();
  registerInterfacesPageTemplate();
  registerJvmDialogTemplate();
  registerJniClassesPageTemplate();
  registerAddClassesDialogTemplate();
  registerGlobalFilterPageTemplate();
  registerFilterDialogTemplate();
  registerDelegatorsPageTemplate();
}
