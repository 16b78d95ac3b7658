// The wizard page "Select Program Folder".
#pragma once

#include "wizard/wizard_page.h"

class TSelectProgram : public TWizardPage {
public:
    TSelectProgram();
};

extern TSelectProgram* SelectProgram;
