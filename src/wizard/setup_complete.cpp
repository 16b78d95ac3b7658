#include "wizard/setup_complete.h"

TSetupComplete* SetupComplete = nullptr;

namespace {

const FormLayout kLayout = WizardPageLayout("TSetupComplete", "Setup Complete", nullptr, 0);

}  // namespace

TSetupComplete::TSetupComplete() : TWizardPage(kLayout) {}
