// Builds installer files: the setup program's image, then one compressed
// stream per file, the file directory with its checksum, and the trailer with
// its checksum (layout.h). Unused bytes of the fixed records are zero, so
// the same inputs always give the same bytes.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "host_files.h"
#include "layout.h"
#include "lzss_encoder.h"
#include "names.h"
#include "product.h"
#include "progress.h"

// The title an installer carries unless the vendor gives another.
constexpr const char* kDefaultTitle = kProductTitle;

// Writes one installer to a sink, step by step. Names are taken as given:
// check them first with CheckNameSet.
class InstallerWriter {
public:
    // Writes the image at once.
    InstallerWriter(ByteSink& out, const std::vector<uint8_t>& image);

    // Compresses one file and writes its stream; `progress` hears the input
    // bytes done.
    void AddFile(const std::string& name, const uint8_t* data, size_t size,
                 const std::function<void(uint64_t done)>& progress = {});
    // Writes one file's stream, compressed beforehand; `crc` is the finished
    // CRC-32 of the file's bytes.
    void AddStream(const std::string& name, const std::vector<uint8_t>& stream, uint32_t crc);
    // Writes the directory, its checksum, the trailer and its checksum, after
    // zero bytes at the end of the image that make the whole file a multiple
    // of 8 bytes long: a signing tool then appends its certificate table
    // right after the trailer. The zeros count in the image size.
    void Finish(const std::string& title);

    const std::vector<FileDirectoryEntry>& Entries() const { return entries_; }
    uint32_t ImageSize() const { return imageSize_; }
    uint64_t BytesWritten() const { return written_; }

private:
    void Put(const void* data, size_t size);

    ByteSink& out_;
    uint32_t imageSize_;
    uint64_t written_ = 0;
    std::vector<FileDirectoryEntry> entries_;
    bool finished_ = false;
};

struct PackInput {
    std::string HostPath;  // where the file is read from
    std::string Name;      // stored name, "\" between folders
};

struct PackOptions {
    std::string OutputPath;
    std::string StubPath;
    std::string Title = kDefaultTitle;  // UTF-8; stored in code page 1252
    std::vector<PackInput> Files;
    NameSetOptions Names;
    LzssLevel Level = LzssLevel::Normal;
    // The machine the stub must be built for (kPeMachineI386 or
    // kPeMachineAmd64); 0: either.
    uint16_t Machine = 0;
    // Files compressed at once; 0: one per processor. The installer's bytes
    // are the same for any number.
    unsigned Threads = 0;
};

struct PackedFile {
    std::string Name;
    uint64_t Size;
    uint32_t CompressedSize;
    uint32_t Crc;
};

struct PackResult {
    uint32_t ImageSize = 0;
    uint64_t FileSize = 0;
    std::vector<PackedFile> Files;
    std::vector<std::string> Warnings;
};

// Checks everything that can be checked before a file is read, then writes
// the installer under a temporary name and renames it into place. Refused,
// each with one line naming the file: a title or name the code page cannot
// hold or the installer cannot create (CheckNameSet); an output that is one
// of the inputs or the stub; a stub that is not an unsigned i686 or x86-64
// Windows GUI program (of options.Machine when set); files whose sizes would take the installer to 2 GiB, the most
// the setup program can read. Warned about, in PackResult::Warnings: a file
// the installer's shortcuts or Finish name (product.h) missing from the top
// of the files, and names long enough to overflow a path.
PackResult PackInstaller(const PackOptions& options, Progress& progress);

// Why `image` cannot be the setup program in front of the files (`path`
// names it in the message); empty when it can. `machine`: as
// PackOptions::Machine.
std::string StubProblem(const std::string& path, const std::vector<uint8_t>& image, uint16_t machine = 0);

// The inputs named on the command line, relative to `root` ("" for the
// current folder): a file stands for itself, a folder for every file below
// it (ListFilesBelow order). Order of the arguments is kept.
std::vector<PackInput> CollectInputs(const std::string& root, const std::vector<std::string>& args);
