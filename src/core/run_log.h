// The log of one run that "/LOG" asks for: the items the run makes, keeps,
// restores and removes, and every message it shows (or, under /S, would
// show). The app layer owns the one sink of the process and connects it
// here; the layers below report through the functions below and never
// learn whether a log is written. A log never makes a run fail: reports
// never throw.
#pragma once

#include <string>

#include "uninstall_log.h"

class RunLogSink {
public:
    virtual ~RunLogSink() = default;
    // An item entered in the uninstall log, as it is made (a file: just
    // before), with the kept copy or the kept values of what it replaces.
    virtual void Made(const UninstallRecord& record) = 0;
    // An item a rollback or the uninstaller has acted on: `done` when it is
    // gone, or back as it was before setup replaced it.
    virtual void Removed(const UninstallRecord& record, bool done) = 0;
    // A message: `kind` is the caption of the box that shows it ("Setup"
    // for the error box, "Warning", "Confirm", ...), empty for a plain line.
    virtual void Message(const std::string& kind, const std::string& text) = 0;
};

// The process's sink, connected by its owner for the whole run; nullptr
// disconnects.
void ConnectRunLog(RunLogSink* sink);
void ReportMade(const UninstallRecord& record) noexcept;
void ReportRemoved(const UninstallRecord& record, bool done) noexcept;
void ReportMessage(const std::string& kind, const std::string& text) noexcept;

// The log's lines, without line ends ("\r\n" between two lines).
std::string MadeLogLines(const UninstallRecord& record);
std::string RemovedLogLine(const UninstallRecord& record, bool done);
// "Setup: text", a message's own line breaks (CR, LF or CR LF) as
// indented continuation lines.
std::string MessageLogLines(const std::string& kind, const std::string& text);

// The name of the n-th log the installer makes in the temporary folder.
std::string DefaultLogName(int n);

// True for a log path that would overwrite the setup program's own files:
// a file named `journalName` anywhere, or anything below a folder named
// `privateFolderName`. `fullPath` is absolute, its folders' long names.
bool IsRefusedLogPath(const std::string& fullPath, const std::string& journalName,
                      const std::string& privateFolderName);
