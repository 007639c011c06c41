#include "WizardResources.h"

#include "UiResources.h"

namespace {
#include "../images/wizard-images.xpm"
}  // namespace

void registerWizardImages() { ui::registerBitmapImage(IDB_WIZARD_IMAGES, wizard_images, 4); }
