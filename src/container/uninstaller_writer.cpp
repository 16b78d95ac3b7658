#include "container/uninstaller_writer.h"

#include <windows.h>

#include <cstring>

#include "crc32.h"
#include "errors.h"
#include "layout.h"
#include "paths.h"
#include "pe_image.h"
#include "runtime/change_point.h"
#include "runtime/files.h"
#include "runtime/handles.h"
#include "runtime/win_byte_source.h"
#include "uninstaller_records.h"

namespace {

constexpr uint32_t kCopyBlock = 4096;

bool SameRecord(const UninstallRecord& a, const UninstallRecord& b) {
    return a.Kind == b.Kind && UpperCaseString(a.Path()) == UpperCaseString(b.Path());
}

bool Logged(const UninstallLog& log, const UninstallRecord& record) {
    for (const UninstallRecord* r = log.Head.get(); r; r = r->Next.get())
        if (SameRecord(*r, record)) return true;
    return false;
}

// Reads exactly `size` bytes of an old uninstaller; fewer is 20006.
void ReadOld(TBinaryFile& file, void* buffer, uint32_t size) {
    if (file.BlockRead(buffer, size) != size) throw ESetupError(SE_BLOCKREAD);
}

// An old uninstaller read through the run time's file operations, whose
// faults raise EInOutError.
class OldFileSource : public ByteSource {
public:
    explicit OldFileSource(TBinaryFile& file) : file_(file) {}
    bool SeekFromEnd(int64_t distance) override {
        const int64_t size = file_.Size();
        if (distance > size) return false;
        file_.Seek(size - distance);
        return true;
    }
    bool SeekTo(int64_t offset) override {
        file_.Seek(offset);
        return true;
    }
    bool Read(void* buffer, uint32_t size, uint32_t* got) override {
        *got = file_.BlockRead(buffer, size);
        return true;
    }

private:
    TBinaryFile& file_;
};

// Appends the records of an intact old uninstaller at `path` that the log
// does not hold yet. The records are taken by the uninstall run's own rule
// (exact length, records checksum), after the trailer's checksum: a file
// that the uninstaller would refuse contributes nothing.
void MergeOldUninstaller(const std::string& path, UninstallLog& log) {
    TBinaryFile old;
    old.Reset(path);
    const int64_t length = old.Size();
    old.Seek(length - kTrailerDistance);
    uint8_t trailerBytes[kTrailerSize];
    ReadOld(old, trailerBytes, kTrailerSize);
    uint8_t stored[4];
    ReadOld(old, stored, 4);
    if (Crc32Of(trailerBytes, kTrailerSize) != LoadLE32(stored)) return;
    const SetupTrailer trailer = DecodeTrailer(trailerBytes);

    OldFileSource source(old);
    RecordList records;
    if (!ReadIntactUninstallRecords(source, length, trailer.ImageSize, trailer.Count, records)) return;
    for (std::unique_ptr<UninstallRecord>& record : records) {
        if (!Logged(log, *record)) AppendRecord(log, std::move(record));
    }
    old.Close();
}

// Cuts the log back to the records it held before a merge: `tail` was its
// last record then (nullptr: it was empty).
void TruncateLog(UninstallLog& log, UninstallRecord* tail) {
    std::unique_ptr<UninstallRecord> rest;
    if (tail) {
        rest = std::move(tail->Next);
    } else {
        rest = std::move(log.Head);
    }
    log.Tail = tail;
    // Freed one by one: a long chain must not recurse through destructors.
    while (rest) rest = std::move(rest->Next);
}

// The new file, written block by block; counts what it wrote so a test can
// make it fail like a full disk at a chosen offset.
class UninstallerSink {
public:
    UninstallerSink(const std::string& path, int64_t failAfter) : failAfter_(failAfter) { file_.Rewrite(path); }
    void Write(const void* data, uint32_t size) {
        if (failAfter_ >= 0 && written_ + size > failAfter_) throw EInOutError(ERROR_DISK_FULL);
        if (file_.BlockWrite(data, size) != size) throw EInOutError(ERROR_DISK_FULL);
        written_ += size;
    }
    void Close() { file_.Close(); }

private:
    TBinaryFile file_;
    int64_t failAfter_;
    int64_t written_ = 0;
};

// Writes image, records (in log order), records checksum and trailer to
// `tempPath`. The log is only read here.
void WriteNewFile(const UninstallerJob& job, const UninstallLog& log, const std::string& tempPath) {
    FileHandle exe(CreateFileA(job.InstallerPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!exe) throw ESetupError(SE_CREATEFILE);
    UninstallerSink out(tempPath, job.FailAfterBytes);
    // A signed installer's trailer stands before its certificate table.
    const int64_t end = SetupDataEnd(exe.Get());
    const bool signedInstaller = end < SetupFileLength(exe.Get());
    HandleByteSource whole(exe.Get());
    LimitedByteSource source(whole, end);
    SetupTrailer trailer = ReadTrailer(source, false);
    if (!source.SeekTo(0)) throw ESetupError(SE_SETFILEPOINTER);

    uint8_t block[kCopyBlock];
    bool first = true;
    for (int64_t left = trailer.ImageSize; left > 0;) {
        const uint32_t want = left < kCopyBlock ? static_cast<uint32_t>(left) : kCopyBlock;
        uint32_t got = 0;
        // An image that ends early (a damaged trailer) is a failed read,
        // not a reason to wait for bytes that never come.
        if (!source.Read(block, want, &got) || got == 0) throw ESetupError(SE_READFILE);
        // The uninstaller carries no signature: its header must not name the
        // installer's certificate table (nor a checksum over the signed file).
        if (first && signedInstaller) ClearSignatureFields(block, got);
        first = false;
        out.Write(block, got);
        left -= got;
    }

    int32_t count = 0;
    uint32_t crc = 0;
    const auto write = [&](const UninstallRecord& r) {
        uint8_t image[kRecordImageSize];
        EncodeRecord(r, image);
        out.Write(image, kRecordImageSize);
        crc = Crc32Block(image, kRecordImageSize, crc);
        ++count;
    };
    for (const std::string& path : job.LeftFiles)
        if (path.size() <= kMaxRecordPath) write(*MakeRecord(ukFile, path, 0));
    for (const UninstallRecord* r = log.Head.get(); r; r = r->Next.get()) write(*r);
    uint8_t checksum[4];
    StoreLE32(checksum, Crc32Finish(crc));
    out.Write(checksum, 4);

    trailer.Count = count;
    trailer.Title.SetOver(job.Title);
    std::memcpy(trailer.Signature, "UNI", 3);
    uint8_t trailerBytes[kTrailerSize];
    EncodeTrailer(trailer, trailerBytes);
    StoreLE32(checksum, Crc32Of(trailerBytes, kTrailerSize));
    out.Write(trailerBytes, kTrailerSize);
    out.Write(checksum, 4);
    out.Close();
}

}  // namespace

void WriteUninstallerFile(const UninstallerJob& job, UninstallLog& log) {
    const std::string target = JoinPath(job.DestDir, kUninstallerName);
    UninstallRecord* const tailBefore = log.Tail;
    std::string tempPath;
    try {
        if (FileExists(target)) MergeOldUninstaller(target, log);
        // A folder of that name is as taken as a file: the new file could
        // not be created there.
        const std::string tempName = GetUniqueFilenameInDir(job.DestDir, "UNINST%d.TMP", &PathExists);
        if (tempName.empty()) throw ESetupError(SE_UNIQUEFILENAME);
        tempPath = JoinPath(job.DestDir, tempName);
        // In the journal before it exists (not in the log, whose records
        // the file holds): a run killed while it is written leaves nothing
        // that no one knows of.
        if (log.Journal) log.Journal->Pushed(*MakeRecord(ukFile, tempPath, 0));
        WriteNewFile(job, log, tempPath);
        uint32_t crc = 0;
        if (log.Journal) {
            if (!FileChecksum(tempPath, &crc)) throw EInOutError(static_cast<int>(GetLastError()));
            log.Journal->Commit(target, crc);
        }
        if (!MoveFileExA(tempPath.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            throw EInOutError(static_cast<int>(GetLastError()));
        ChangePoint();
    } catch (...) {
        if (!tempPath.empty()) DeleteFileA(tempPath.c_str());
        TruncateLog(log, tailBefore);
        throw;
    }
    // Everything is in the file now: the log has served its purpose.
    log.Clear();
}
