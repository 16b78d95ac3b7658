// "Decompressing...": the progress dialog of the payload extraction.
#pragma once

#include "ui/form.h"

class TDecompress : public TForm {
public:
    TDecompress();
    TGauge& Gauge1;
    TButton& Button1;
    TLabel& Label1;
    TLabel& Label2;

    // Centred on the screen and topmost.
    void FormShow() override;
};

extern TDecompress* Decompress;
