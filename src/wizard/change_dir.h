// "Choose Directory": the modal dialog behind the destination page's
// Browse button.
#pragma once

#include "ui/form.h"

class TChangeDir : public TForm {
public:
    TChangeDir();
    // Centred on the screen; it keeps its place in the z-order.
    void FormShow() override;
};

extern TChangeDir* ChangeDir;
