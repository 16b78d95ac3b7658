// The wizard page "Choose Destination Location".
#pragma once

#include "wizard/wizard_page.h"

class TChooseDest : public TWizardPage {
public:
    TChooseDest();
};

extern TChooseDest* ChooseDest;
