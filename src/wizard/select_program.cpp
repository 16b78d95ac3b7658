#include "wizard/select_program.h"

TSelectProgram* SelectProgram = nullptr;

namespace {

const FormLayout kLayout = WizardPageLayout("TSelectProgram", "Select Program Folder", nullptr, 0);

}  // namespace

TSelectProgram::TSelectProgram() : TWizardPage(kLayout) {}
