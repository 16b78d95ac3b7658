// The host's files for the packaging tool: plain stdio and POSIX calls, with
// the few spots that differ on Windows kept here. Every failure raises
// Exception with the path and the system's reason.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "layout.h"

// A file opened for reading; closed by the destructor.
class InFile {
public:
    explicit InFile(const std::string& path);
    ~InFile();
    InFile(const InFile&) = delete;
    InFile& operator=(const InFile&) = delete;

    const std::string& Path() const { return path_; }
    uint64_t Size() const { return size_; }
    void SeekTo(uint64_t offset);
    // Up to `size` bytes; fewer only at the end of the file.
    size_t Read(void* buffer, size_t size);
    // Exactly `size` bytes, or Exception ("unexpected end of file").
    void ReadExact(void* buffer, size_t size);

private:
    std::string path_;
    std::FILE* file_ = nullptr;
    uint64_t size_ = 0;
};

// A ByteSource over an InFile, for the layout readers.
class FileByteSource : public ByteSource {
public:
    explicit FileByteSource(InFile& file) : file_(file) {}
    bool SeekFromEnd(int64_t distance) override;
    bool SeekTo(int64_t offset) override;
    bool Read(void* buffer, uint32_t size, uint32_t* got) override;

private:
    InFile& file_;
};

// Where bytes go: a file being written, or memory in tests.
class ByteSink {
public:
    virtual ~ByteSink() = default;
    virtual void Write(const void* data, size_t size) = 0;
    // Puts `count` zero bytes at `offset` of what was written so far, moving
    // the bytes after it; writing goes on at the new end.
    virtual void InsertZeros(uint64_t offset, size_t count) = 0;
};

class VectorSink : public ByteSink {
public:
    void Write(const void* data, size_t size) override;
    void InsertZeros(uint64_t offset, size_t count) override;
    std::vector<uint8_t> Bytes;
};

// Writes a file under a temporary name beside its final path and renames it
// into place on Commit, so a failed or interrupted run never leaves a
// truncated file under the final name (and never destroys an old one).
class AtomicOutFile : public ByteSink {
public:
    explicit AtomicOutFile(const std::string& path);
    ~AtomicOutFile() override;  // removes the temporary file unless committed
    AtomicOutFile(const AtomicOutFile&) = delete;
    AtomicOutFile& operator=(const AtomicOutFile&) = delete;

    void Write(const void* data, size_t size) override;
    void InsertZeros(uint64_t offset, size_t count) override;
    void Commit();
    const std::string& TempPath() const { return tempPath_; }

private:
    std::string path_;
    std::string tempPath_;
    std::FILE* file_ = nullptr;
    bool committed_ = false;
};

std::vector<uint8_t> ReadWholeFile(const std::string& path);

enum class PathKind { Missing, File, Directory, Other };
PathKind GetPathKind(const std::string& path);

// Size of an existing file, without reading it; raises when it cannot say.
uint64_t HostFileSize(const std::string& path);

// True when both paths exist and name the same file (links and other
// spellings of one path included).
bool SameHostFile(const std::string& a, const std::string& b);

// Regular files below `dir`, as paths relative to it with "/" separators,
// sorted folder by folder in byte order of the names (a folder's files and
// subfolders interleaved by name), so every run packs the same order.
// Raises on unreadable folders, special files and folders nested deeper
// than 64 levels (a link loop).
std::vector<std::string> ListFilesBelow(const std::string& dir);

// Creates `dir` and any missing parents ("/" separated).
void MakeDirectories(const std::string& dir);

// "dir/name", without doubling a trailing "/"; "name" alone for an empty dir.
std::string JoinHostPath(const std::string& dir, const std::string& name);
// The folder part of a path ("." when there is none).
std::string HostDirName(const std::string& path);

// Full path of the running program, or empty when the system cannot say.
std::string RunningProgramPath();

bool StderrIsTerminal();
