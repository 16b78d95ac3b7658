// The run time's file operations: binary files read and written in whole
// blocks, text files written line by line, and the process's current
// directory. Every operating-system failure raises EInOutError with the
// system's error code; a short block read or write is not a failure here
// (callers compare the count and raise their own error).
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "errors.h"
#include "runtime/handles.h"

// Run-time error codes for misuse of a file variable.
constexpr int kFileNotOpen = 103;

// A binary file with a record size of one byte.
class TBinaryFile {
public:
    TBinaryFile() = default;
    TBinaryFile(const TBinaryFile&) = delete;
    TBinaryFile& operator=(const TBinaryFile&) = delete;
    // Closes without reporting: an error at this point has no one to go to.
    ~TBinaryFile() = default;

    // Creates the file (an existing one is emptied), for writing and
    // reading, shared for reading.
    void Rewrite(const std::string& path);
    // Creates the file only if nothing stands at `path` (the file system
    // decides, short names and its own case rules included): false when
    // something does, and nothing is opened then; other failures raise.
    bool CreateNew(const std::string& path);
    // Opens an existing file for reading only, shared for reading.
    void Reset(const std::string& path);
    void Seek(int64_t position);
    int64_t Size() const;
    // Reads up to `count` bytes; returns how many were read.
    uint32_t BlockRead(void* buffer, uint32_t count);
    // Writes `count` bytes; returns how many were written.
    uint32_t BlockWrite(const void* buffer, uint32_t count);
    // Closes the file; a failure raises.
    void Close();
    // Closes the file if it is open, without reporting.
    void Discard() noexcept { handle_.Reset(); }

    bool IsOpen() const { return handle_.Valid(); }
    const std::string& Path() const { return path_; }

private:
    HANDLE Require() const;
    FileHandle handle_;
    std::string path_;
};

// A text file written in the system's ANSI code page, lines ending in CR LF.
// Output is buffered and written in blocks.
class TTextFile {
public:
    TTextFile() = default;
    TTextFile(const TTextFile&) = delete;
    TTextFile& operator=(const TTextFile&) = delete;
    ~TTextFile() = default;

    void Rewrite(const std::string& path);
    void Write(const std::string& text);
    void WriteLn(const std::string& line);
    // Writes what is buffered and closes; a failure raises.
    void Close();
    // Closes without writing what is buffered and without reporting (for a
    // file about to be deleted: an open file cannot be).
    void Discard() noexcept;
    bool IsOpen() const { return file_.IsOpen(); }

private:
    void Flush();
    TBinaryFile file_;
    std::string buffer_;
};

// The process's current directory; empty when it cannot be read.
std::string GetCurrentDir();
// Makes `path` current; false when it cannot.
bool SetCurrentDir(const std::string& path);
// Makes `path` current; a failure raises EInOutError.
void ChDir(const std::string& path);
// True when a file (not a directory) exists at `path`.
bool FileExists(const std::string& path);

// The checksum (crc32.h) of a whole file's content; false when it cannot
// be read.
bool FileChecksum(const std::string& path, uint32_t* crc);
// False only when a file stands at `path` under another name than the
// path's last part, byte for byte: reached through a short name of a
// longer one, or through a case the file system folds. Such a file is not
// the one a record of that path names; nor is a folder that stands there.
bool BearsLoggedName(const std::string& path);
// True when anything, a file or a directory, exists at `path`.
bool PathExists(const std::string& path);
// Full path of the running executable.
std::string ExecutablePath();

// Keeps the current directory and puts it back when it goes out of scope
// (failures there are ignored: the destructor must not throw). Call
// Restore() where a failure to go back must be reported.
class CurrentDirGuard {
public:
    CurrentDirGuard() : saved_(GetCurrentDir()) {}
    CurrentDirGuard(const CurrentDirGuard&) = delete;
    CurrentDirGuard& operator=(const CurrentDirGuard&) = delete;
    ~CurrentDirGuard() {
        if (active_) SetCurrentDir(saved_);
    }
    const std::string& Saved() const { return saved_; }
    void Restore() {
        active_ = false;
        ChDir(saved_);
    }
    void Dismiss() { active_ = false; }

private:
    std::string saved_;
    bool active_ = true;
};
