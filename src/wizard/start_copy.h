// The wizard page "Start Copying Files".
#pragma once

#include "wizard/wizard_page.h"

class TStartCopy : public TWizardPage {
public:
    TStartCopy();
    // COM serves the whole program from here (shortcuts, the Programs
    // folder): the page lives from start-up to the end.
    void FormCreate() override;
    void FormDestroy() override;

private:
    bool comReady_ = false;
};

extern TStartCopy* StartCopy;
