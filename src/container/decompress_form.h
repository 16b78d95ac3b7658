// "Decompressing...": the progress dialog of the payload extraction, and
// the state the extraction keeps in it while it runs.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "runtime/files.h"
#include "runtime/handles.h"
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
    // "Cancel": asks "Exit Setup" once; "E&xit Setup" sets Cancelled, which
    // the extraction acts on after the current file. Does nothing while
    // Cancelled is set.
    void Button1Click();
    // Closing the dialog asks "Exit Setup" every time; "&Resume" keeps it.
    void FormCloseQuery(bool& canClose) override;
    // A confirmed close cancels like the button; the file being extracted
    // is finished first.
    void FormClose(TCloseAction& action) override;

    // Extraction state (see ExtractPayload). Sizes are 64-bit so that the
    // progress arithmetic cannot overflow.
    FileHandle SourceHandle;
    TBinaryFile OutFile;
    int64_t TotalSize = 0;
    int64_t TotalRead = 0;
    // Decoded bytes written, all files together: the installed size.
    int64_t TotalWritten = 0;
    int64_t CurrentSize = 0;
    int64_t CurrentRead = 0;
    uint32_t Crc = 0;
    bool Cancelled = false;
    // The name of the file being extracted, and the one Label2 shows: the
    // label follows at the next message processing, not at every file.
    std::string FileName;
    std::string ShownName;
    // When messages were last processed (GetTickCount), and whether the
    // next block must process them whatever the time.
    uint32_t LastPump = 0;
    bool PumpDue = true;
    // The quit confirmation: true when the user chose to quit. Given at
    // start-up (the wizard's "Exit Setup" dialog); without one, Cancel and
    // closing quit at once.
    std::function<bool()> ConfirmQuit;
};

extern TDecompress* Decompress;
