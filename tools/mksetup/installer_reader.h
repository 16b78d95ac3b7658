// Reads installer and uninstaller files back: their frame (trailer,
// directory or records, every checksum), the files of an installer decoded
// through the setup program's own decoder, and the records of an
// uninstaller. Faults of the frame raise Exception; faults of single files
// are reported per file so one bad file does not hide the others.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "host_files.h"
#include "layout.h"
#include "pe_image.h"
#include "progress.h"
#include "stream_codec.h"
#include "uninstall_log.h"

// An installer or uninstaller file opened for the readers below. A
// certificate table that a signing tool appended after the trailer is left
// out (AppendedDataEnd): Source() and Size() cover the bytes before it.
class SetupFile {
public:
    explicit SetupFile(const std::string& path);
    ByteSource& Source() { return limited_; }
    uint64_t Size() const { return end_; }
    uint64_t SignatureSize() const { return file_.Size() - end_; }

private:
    InFile file_;
    FileByteSource whole_;
    uint64_t end_;
    LimitedByteSource limited_;
};

struct InstallerInfo {
    uint64_t FileSize = 0;
    SetupTrailer Trailer;
    std::vector<FileDirectoryEntry> Entries;
    uint64_t PayloadSize = 0;
};

// Checks the trailer's checksum and signature ("INS"), that image, payload,
// directory and tail fit the file, the directory's checksum, and that the
// streams' sizes add up to the payload exactly.
InstallerInfo ReadInstallerInfo(ByteSource& src, uint64_t fileSize);

struct FileCheck {
    std::string Name;
    std::string Problem;  // empty when the file is sound
    DecodedStream Stream;
};

struct VerifyReport {
    InstallerInfo Info;
    std::vector<FileCheck> Files;
    // Problems of the names (the installer could not install them as
    // stored), one line each.
    std::vector<std::string> NameProblems;
    bool Ok() const;
};

// ReadInstallerInfo, then every stream decoded and its checksum compared.
VerifyReport VerifyInstaller(ByteSource& src, uint64_t fileSize, Progress& progress);

struct ExtractReport {
    InstallerInfo Info;
    std::vector<FileCheck> Files;  // with Name the host path written
    bool Ok() const;
};

// Decodes every file into `destDir` where the installer would put it
// (WSOCK32.DLL into "DLL"), "\" becoming "/", creating folders as needed and
// replacing existing files. Every name is checked before anything is
// written; one unsafe name refuses the whole extraction. A file whose
// checksum does not match is not left behind; the others are extracted.
ExtractReport ExtractInstaller(ByteSource& src, uint64_t fileSize, const std::string& destDir, Progress& progress);

struct UninstallerInfo {
    uint64_t FileSize = 0;
    SetupTrailer Trailer;
    std::vector<std::unique_ptr<UninstallRecord>> Records;
    uint32_t StoredChecksum = 0;
    uint32_t ComputedChecksum = 0;
    bool ChecksumOk() const { return StoredChecksum == ComputedChecksum; }
};

// Checks the trailer's checksum and signature ("UNI") and that the records
// fill the file exactly; reads the records and both values of their checksum.
UninstallerInfo ReadUninstaller(ByteSource& src, uint64_t fileSize);

// One line for a record: kind and path, the root key for registry keys.
std::string DescribeRecord(const UninstallRecord& record);

// "0x0000ABCD".
std::string Hex32(uint32_t value);
