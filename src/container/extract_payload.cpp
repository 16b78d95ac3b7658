#include "container/extract_payload.h"

#include <windows.h>

#include <memory>
#include <vector>

#include "container/decompress_form.h"
#include "crc32.h"
#include "errors.h"
#include "layout.h"
#include "lzss_decoder.h"
#include "paths.h"
#include "pe_image.h"
#include "runtime/handles.h"
#include "runtime/kept_copy.h"
#include "runtime/win_byte_source.h"
#include "ui/application.h"

namespace {

bool FileLogged(const UninstallLog& log, const std::string& path) {
    const std::string logged = MakeRecord(ukFile, path, 0)->Path();
    for (const UninstallRecord* r = log.Head.get(); r; r = r->Next.get())
        if (r->Kind == ukFile && r->Path() == logged) return true;
    return false;
}

// Decodes one file's stream into the file open in the dialog. The file is
// closed on every way out; an error while closing is reported only when
// nothing else went wrong first.
void DecodeFile(TDecompress& d, const FileDirectoryEntry& entry) {
    d.CurrentSize = entry.CompressedSize;
    d.CurrentRead = 0;
    d.Crc = 0;
    try {
        LzssDecode(&ReadCompressedBlock, &WriteDecodedBlock);
        d.Crc = Crc32Finish(d.Crc);
        if (d.Crc != entry.Crc) throw ESetupError(SE_CORRUPT);
    } catch (...) {
        try {
            d.OutFile.Close();
        } catch (...) {}
        throw;
    }
    d.OutFile.Close();
}

// Files whose compressed streams together stay below this are announced to
// the log's journal at once: one synchronous write for a run of small files
// instead of one each.
constexpr uint64_t kAnnouncedBytes = 1 << 20;
constexpr size_t kAnnouncedFiles = 256;

// The names (folded as Windows compares them, relative to the destination)
// of everything that stands in the folders the payload's files go to: one
// listing per folder, instead of one look-up per file.
std::vector<std::string> ExistingNames(const std::string& destDir, const std::vector<FileDirectoryEntry>& entries) {
    std::vector<std::string> folders, names;
    for (const FileDirectoryEntry& entry : entries) {
        const std::string name = InstalledPayloadName(entry.Name.Get());
        const size_t sep = name.find_last_of("\\/");
        const std::string folder = FoldCase1252(sep == std::string::npos ? std::string() : name.substr(0, sep));
        bool listed = false;
        for (const std::string& f : folders) listed = listed || f == folder;
        if (!listed) folders.push_back(folder);
    }
    for (const std::string& folder : folders) {
        WIN32_FIND_DATAA found;
        FindHandle find(FindFirstFileA(JoinPath(JoinPath(destDir, folder), "*").c_str(), &found));
        if (!find) continue;
        do {
            names.push_back(
                FoldCase1252(folder.empty() ? std::string(found.cFileName) : folder + "\\" + found.cFileName));
        } while (FindNextFileA(find.Get(), &found));
    }
    return names;
}

bool Stands(const std::vector<std::string>& existing, const std::string& name) {
    std::string key = FoldCase1252(name);
    for (char& c : key)
        if (c == '/') c = '\\';
    for (const std::string& e : existing)
        if (e == key) return true;
    return false;
}

// Announces the files from `first` on that will be logged without a kept
// copy (nothing stands at their path now); returns the index after the last
// file this covers.
size_t AnnounceFiles(UninstallLog& log, const std::string& destDir, const std::vector<FileDirectoryEntry>& entries,
                     size_t first, const std::vector<std::string>& existing) {
    if (!log.Journal) return entries.size();
    std::vector<std::unique_ptr<UninstallRecord>> records;
    uint64_t bytes = 0;
    size_t i = first;
    for (; i < entries.size() && records.size() < kAnnouncedFiles; ++i) {
        bytes += entries[i].CompressedSize;
        if (i > first && bytes > kAnnouncedBytes) break;
        const std::string name = InstalledPayloadName(entries[i].Name.Get());
        const std::string path = JoinPath(destDir, name);
        if (path.size() > kMaxRecordPath || Stands(existing, name)) break;
        records.push_back(MakeRecord(ukFile, path, 0));
    }
    log.Journal->Announce(records);
    return i > first ? i : first + 1;
}

// The name of the file being extracted into Label2, unless it shows it
// already.
void ShowCurrentFile(TDecompress& d) {
    if (d.FileName == d.ShownName) return;
    d.Label2.SetText(d.FileName);
    d.ShownName = d.FileName;
}

}  // namespace

int ProgressPosition(int64_t read, int64_t total) {
    if (total <= 0) return 1000;
    if (read <= 0) return 0;
    if (read >= total) return 1000;
    // read < total < 2^63 / 1000 for every file this program can hold.
    return static_cast<int>(read * 1000 / total);
}

int ReadCompressedBlock(uint8_t* block) {
    TDecompress& d = *Decompress;
    if (d.PumpDue || GetTickCount() - d.LastPump >= kExtractMessageInterval) {
        // Only what changed since the last pass costs a repaint: the name,
        // the gauge's filled width or percentage.
        ShowCurrentFile(d);
        d.Gauge1.SetProgress(ProgressPosition(d.TotalRead, d.TotalSize));
        Application.ProcessMessages();
        d.LastPump = GetTickCount();
        d.PumpDue = false;
        // A rollback that ran inside the message processing (the backdrop
        // was closed and the exit confirmed) has ended setup: stop after
        // this file.
        if (Application.Terminated()) d.Cancelled = true;
    }
    int64_t left = d.CurrentSize - d.CurrentRead;
    DWORD want = left <= 0 ? 0 : left > kLzssBlockSize ? kLzssBlockSize : static_cast<DWORD>(left);
    DWORD got = 0;
    if (want > 0 && !ReadFile(d.SourceHandle.Get(), block, want, &got, nullptr)) got = 0;
    d.CurrentRead += got;
    d.TotalRead += got;
    return static_cast<int>(got);
}

int WriteDecodedBlock(const uint8_t* block, int count) {
    TDecompress& d = *Decompress;
    if (count <= 0) return 0;
    const uint32_t written = d.OutFile.BlockWrite(block, static_cast<uint32_t>(count));
    if (written < static_cast<uint32_t>(count)) throw ESetupError(SE_BLOCKWRITE);
    d.Crc = Crc32Block(block, written, d.Crc);
    d.TotalWritten += written;
    return static_cast<int>(written);
}

uint64_t ExtractPayload(TDecompress& d, const std::string& sourcePath, const std::string& destDir, UninstallLog& log) {
    d.SourceHandle.Reset(CreateFileA(sourcePath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                     FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!d.SourceHandle) throw ESetupError(SE_CREATEFILE);
    // However extraction ends, undone in reverse order: the decoder's
    // buffers are freed, the current directory is restored, the source
    // handle kept in the dialog is closed.
    ScopeExit closeSource([&d] { d.SourceHandle.Reset(); });
    CurrentDirGuard currentDir;
    LzssAllocateBuffers();
    ScopeExit releaseBuffers([] { LzssReleaseBuffers(); });

    // A signed installer's data ends before its certificate table.
    const int64_t end = SetupDataEnd(d.SourceHandle.Get());
    HandleByteSource whole(d.SourceHandle.Get());
    LimitedByteSource source(whole, end);
    const SetupTrailer trailer = ReadTrailer(source, false);

    const std::vector<FileDirectoryEntry> entries = ReadPayloadDirectory(source, trailer);
    const int64_t directoryBytes = static_cast<int64_t>(entries.size()) * kDirectoryEntrySize;

    if (!source.SeekTo(trailer.ImageSize)) throw ESetupError(SE_SETFILEPOINTER);
    d.TotalRead = 0;
    d.TotalWritten = 0;
    d.TotalSize = end - (static_cast<int64_t>(trailer.ImageSize) + directoryBytes + kTailSize);

    d.ShownName = d.Label2.Text();
    d.FileName = d.ShownName;
    d.PumpDue = true;
    // However extraction ends, the dialog shows the file it ended with and
    // the gauge as far as it got (untouched when no stream was read).
    ScopeExit showLast([&d] {
        try {
            ShowCurrentFile(d);
        } catch (...) {}
        const bool readAny = !d.PumpDue;
        if (readAny && d.Gauge1.SetProgress(ProgressPosition(d.TotalRead, d.TotalSize)) && d.Gauge1.Handle())
            UpdateWindow(d.Gauge1.Handle());
    });

    ChDir(destDir);
    const std::vector<std::string> existing = ExistingNames(destDir, entries);
    size_t announcedTo = 0;
    for (size_t i = 0; i < entries.size(); ++i) {
        const FileDirectoryEntry& entry = entries[i];
        if (i >= announcedTo) announcedTo = AnnounceFiles(log, destDir, entries, i, existing);
        const std::string name = InstalledPayloadName(entry.Name.Get());
        const std::string path = JoinPath(destDir, name);
        // Logged before it exists, and made only if new: a file already
        // there is kept, not lost, also one the listing did not show.
        CreateLoggedFile(log, d.OutFile, path, Stands(existing, name));
        const std::string kept = log.Head->Kept;
        d.FileName = name;
        DecodeFile(d, entry);
        if (d.Cancelled) {
            // A rollback that ran during this file could not delete it while
            // it was open and has dropped its record: log it again so the
            // rollback that follows the cancellation removes it.
            if (!FileLogged(log, path)) PushRecord(log, ukFile, path, 0, kept);
            throw ESetupError(SE_CANCELLED);
        }
    }
    currentDir.Restore();
    return static_cast<uint64_t>(d.TotalWritten);
}
