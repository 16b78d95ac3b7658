// The wizard page "Setup Complete".
#pragma once

#include "wizard/wizard_page.h"

class TSetupComplete : public TWizardPage {
public:
    TSetupComplete();
};

extern TSetupComplete* SetupComplete;
