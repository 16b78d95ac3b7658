// The log file of a run that "/LOG" asks for: the process's one run-log
// sink (core/run_log.h). Every line goes to the file at once, so the log
// is complete also when the process ends without unwinding (a second copy
// ends that way). A log that cannot be opened or written is given up; the
// run goes on as if none had been asked for.
#pragma once

#include <string>

#include "run_log.h"
#include "runtime/handles.h"

class TRunLogFile : public RunLogSink {
public:
    // Opens `path` (replacing a file there), or, when it is empty, a new
    // file "VeltoSetup-<n>.log" in the temporary folder (the first n that
    // is free: an earlier log is never overwritten). Then writes the
    // start: date and time, `commandLine`, version and architecture.
    void Open(const std::string& path, const std::string& commandLine);
    bool IsOpen() const { return static_cast<bool>(file_); }
    const std::string& Path() const { return path_; }

    void Made(const UninstallRecord& record) override;
    void Removed(const UninstallRecord& record, bool done) override;
    void Message(const std::string& kind, const std::string& text) override;

private:
    // Each line after the time of day.
    void Write(const std::string& lines);

    FileHandle file_;
    std::string path_;
};

// The full path a "/LOG=" path names, its folders by their long names.
std::string FullLogPath(const std::string& path);

// True when the log would go where the setup program keeps its own files
// (its journal, its private folder): such a "/LOG=" is a bad switch.
bool IsRefusedLog(const std::string& path);
