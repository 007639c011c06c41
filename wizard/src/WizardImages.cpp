#include "WizardResources.h"

#include "UiDriver.h"

void registerWizardImages() { ui::registerBitmap(IDB_WIZARD_IMAGES, 26 * kWizardImageSize, kWizardImageSize, 4); }
