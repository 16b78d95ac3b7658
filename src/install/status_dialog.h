// The small status dialog of the uninstall run ("Uninstalling...") that
// the install run also uses, re-labelled, as "Progress".
#pragma once

#include "ui/form.h"

class TUnInstall1 : public TForm {
public:
    TUnInstall1();
    TLabel& Label1;

    // Centred on the screen and topmost.
    void FormShow() override;
};

extern TUnInstall1* UnInstall1;
