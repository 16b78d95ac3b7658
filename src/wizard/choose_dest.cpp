#include "wizard/choose_dest.h"

TChooseDest* ChooseDest = nullptr;

namespace {

const FormLayout kLayout = WizardPageLayout("TChooseDest", "Choose Destination Location", nullptr, 0);

}  // namespace

TChooseDest::TChooseDest() : TWizardPage(kLayout) {}
