#include "wizard/start_copy.h"

#include <objbase.h>

TStartCopy* StartCopy = nullptr;

namespace {

const FormLayout kLayout = WizardPageLayout("TStartCopy", "Start Copying Files", nullptr, 0);

}  // namespace

TStartCopy::TStartCopy() : TWizardPage(kLayout) {}

void TStartCopy::FormCreate() { comReady_ = SUCCEEDED(CoInitialize(nullptr)); }

void TStartCopy::FormDestroy() {
    if (comReady_) CoUninitialize();
    comReady_ = false;
}
