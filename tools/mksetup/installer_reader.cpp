#include "installer_reader.h"

#include <cstdio>
#include <cstring>

#include "crc32.h"
#include "errors.h"
#include "host_files.h"
#include "installer_directory.h"
#include "names.h"
#include "uninstaller_records.h"

namespace {

// Runs one of the core's region readers; its positioning and read faults
// become this tool's message naming what was being read.
template <typename Read>
auto ReadRegion(const char* what, Read read) -> decltype(read()) {
    try {
        return read();
    } catch (const ESetupError&) {
        throw Exception(std::string("cannot read the ") + what);
    }
}

// The trailer, its checksum checked, and the role it gives the file.
SetupTrailer ReadCheckedTrailer(ByteSource& src, uint64_t fileSize, const char expected[3]) {
    if (fileSize < kTailSize) {
        throw Exception("too short for a setup file (" + std::to_string(fileSize) + " bytes, at least " +
                        std::to_string(kTailSize) + " needed)");
    }
    const TrailerRegion region = ReadRegion("trailer", [&] { return ReadTrailerRegion(src); });
    if (region.Stored != region.Computed) {
        throw Exception("trailer checksum mismatch (stored " + Hex32(region.Stored) + ", computed " +
                        Hex32(region.Computed) + "): not a setup file, or damaged");
    }
    const SetupTrailer& t = region.Trailer;
    if (std::memcmp(t.Signature, expected, 3) != 0) {
        if (std::memcmp(t.Signature, "UNI", 3) == 0) throw Exception("this is an uninstaller (use --dump)");
        if (std::memcmp(t.Signature, "INS", 3) == 0) throw Exception("this is an installer (use --list)");
        throw Exception("unknown signature in the trailer");
    }
    if (t.ImageSize < 0 || t.Count < 0) throw Exception("negative size or count in the trailer");
    return t;
}

}  // namespace

SetupFile::SetupFile(const std::string& path)
    : file_(path),
      whole_(file_),
      end_(static_cast<uint64_t>(AppendedDataEnd(whole_, static_cast<int64_t>(file_.Size())))),
      limited_(whole_, static_cast<int64_t>(end_)) {}

std::string Hex32(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", value);
    return text;
}

InstallerInfo ReadInstallerInfo(ByteSource& src, uint64_t fileSize) {
    InstallerInfo info;
    info.FileSize = fileSize;
    info.Trailer = ReadCheckedTrailer(src, fileSize, "INS");
    const uint64_t image = static_cast<uint64_t>(info.Trailer.ImageSize);
    const uint64_t count = static_cast<uint64_t>(info.Trailer.Count);
    const uint64_t frame = image + count * kDirectoryEntrySize + kTailSize;
    if (frame > fileSize) {
        throw Exception("the trailer's image size " + std::to_string(image) + " and " + std::to_string(count) +
                        " directory entries do not fit the file's " + std::to_string(fileSize) + " bytes");
    }
    info.PayloadSize = fileSize - frame;

    DirectoryRegion region = ReadRegion("file directory", [&] { return ReadDirectoryRegion(src, info.Trailer.Count); });
    if (region.Stored != region.Computed) {
        throw Exception("file directory checksum mismatch (stored " + Hex32(region.Stored) + ", computed " +
                        Hex32(region.Computed) + ")");
    }
    info.Entries = std::move(region.Entries);
    uint64_t streams = 0;
    for (const FileDirectoryEntry& e : info.Entries) streams += e.CompressedSize;
    if (streams != info.PayloadSize) {
        throw Exception("the directory's streams add up to " + std::to_string(streams) + " bytes, but the payload is " +
                        std::to_string(info.PayloadSize) + " bytes");
    }
    return info;
}

namespace {

// Decodes the streams in directory order; `open` is called before each file
// and returns where its bytes go, `close` after it with the result.
template <typename Open, typename Close>
void DecodeAll(ByteSource& src, const InstallerInfo& info, Progress& progress, Open open, Close close) {
    if (!src.SeekTo(info.Trailer.ImageSize)) throw Exception("cannot seek to the payload");
    LzssBufferHold buffers;
    CompressedReader reader = [&src](uint8_t* block, size_t capacity) -> size_t {
        uint32_t got = 0;
        if (!src.Read(block, static_cast<uint32_t>(capacity), &got)) throw Exception("cannot read the payload");
        return got;
    };
    for (const FileDirectoryEntry& e : info.Entries) {
        const std::string name = e.Name.Get();
        const std::string shown = CodePage1252ToUtf8(name);
        progress.Start("decoding " + shown, e.CompressedSize);
        DecodedWriter writer = open(name);
        uint64_t read = 0;
        CompressedReader counting = [&](uint8_t* block, size_t capacity) -> size_t {
            size_t got = reader(block, capacity);
            read += got;
            progress.Update(read);
            return got;
        };
        DecodedStream stream = DecodeStream(e.CompressedSize, counting, writer);
        progress.Finish();
        FileCheck check;
        check.Name = shown;
        check.Stream = stream;
        if (stream.Compressed != e.CompressedSize) {
            check.Problem = "stream cut short";
        } else if (stream.Crc != e.Crc) {
            check.Problem = "checksum mismatch (stored " + Hex32(e.Crc) + ", decoded " + Hex32(stream.Crc) + ")";
        }
        close(check);
    }
}

}  // namespace

bool VerifyReport::Ok() const {
    if (!NameProblems.empty()) return false;
    for (const FileCheck& f : Files) {
        if (!f.Problem.empty()) return false;
    }
    return true;
}

VerifyReport VerifyInstaller(ByteSource& src, uint64_t fileSize, Progress& progress) {
    VerifyReport report;
    report.Info = ReadInstallerInfo(src, fileSize);
    std::vector<std::string> names;
    for (const FileDirectoryEntry& e : report.Info.Entries) names.push_back(e.Name.Get());
    NameSetOptions options;
    options.AllowSubdirectories = true;  // legal, only needs the folder to exist
    for (const NameProblem& p : CheckNameSet(names, options)) report.NameProblems.push_back(p.Message);
    DecodeAll(
        src, report.Info, progress, [](const std::string&) { return DecodedWriter([](const uint8_t*, size_t) {}); },
        [&](const FileCheck& check) { report.Files.push_back(check); });
    return report;
}

bool ExtractReport::Ok() const {
    for (const FileCheck& f : Files) {
        if (!f.Problem.empty()) return false;
    }
    return true;
}

ExtractReport ExtractInstaller(ByteSource& src, uint64_t fileSize, const std::string& destDir, Progress& progress) {
    ExtractReport report;
    report.Info = ReadInstallerInfo(src, fileSize);
    std::vector<std::string> names;
    for (const FileDirectoryEntry& e : report.Info.Entries) names.push_back(e.Name.Get());
    NameSetOptions options;
    options.AllowSubdirectories = true;
    std::vector<NameProblem> problems = CheckNameSet(names, options);
    if (!problems.empty()) throw Exception("refusing to extract: " + problems.front().Message);

    MakeDirectories(destDir);
    std::unique_ptr<AtomicOutFile> out;
    std::string hostPath;
    DecodeAll(
        src, report.Info, progress,
        [&](const std::string& name) {
            std::string relative = CodePage1252ToUtf8(InstalledPayloadName(name));
            for (char& c : relative) {
                if (c == '\\') c = '/';
            }
            hostPath = JoinHostPath(destDir, relative);
            MakeDirectories(HostDirName(hostPath));
            out.reset(new AtomicOutFile(hostPath));
            AtomicOutFile* sink = out.get();
            return DecodedWriter([sink](const uint8_t* data, size_t size) { sink->Write(data, size); });
        },
        [&](const FileCheck& check) {
            if (check.Problem.empty()) out->Commit();
            out.reset();  // an uncommitted file is removed
            FileCheck written = check;
            written.Name = hostPath;
            report.Files.push_back(written);
        });
    return report;
}

UninstallerInfo ReadUninstaller(ByteSource& src, uint64_t fileSize) {
    UninstallerInfo info;
    info.FileSize = fileSize;
    info.Trailer = ReadCheckedTrailer(src, fileSize, "UNI");
    const uint64_t image = static_cast<uint64_t>(info.Trailer.ImageSize);
    const uint64_t count = static_cast<uint64_t>(info.Trailer.Count);
    const uint64_t expected = image + count * kRecordSize + kTailSize;
    if (!UninstallerLengthFits(static_cast<int64_t>(fileSize), info.Trailer.ImageSize, info.Trailer.Count)) {
        throw Exception("the trailer's image size " + std::to_string(image) + " and " + std::to_string(count) +
                        " records make " + std::to_string(expected) + " bytes, but the file has " +
                        std::to_string(fileSize));
    }
    RecordsRegion region = ReadRegion(
        "uninstall records", [&] { return ReadRecordsRegion(src, info.Trailer.ImageSize, info.Trailer.Count); });
    info.StoredChecksum = region.Stored;
    info.ComputedChecksum = region.Computed;
    info.Records = std::move(region.Records);
    return info;
}

std::string DescribeRecord(const UninstallRecord& record) {
    switch (record.Kind) {
        case ukDirectory: return "directory " + CodePage1252ToUtf8(record.Path());
        case ukFile: return "file      " + CodePage1252ToUtf8(record.Path());
        case ukRegistryKey: {
            std::string root;
            switch (record.RootKey) {
                case 0x80000000u: root = "HKEY_CLASSES_ROOT"; break;
                case 0x80000001u: root = "HKEY_CURRENT_USER"; break;
                case 0x80000002u: root = "HKEY_LOCAL_MACHINE"; break;
                case 0x80000003u: root = "HKEY_USERS"; break;
                case 0x80000005u: root = "HKEY_CURRENT_CONFIG"; break;
                default: root = Hex32(record.RootKey); break;
            }
            return "registry  " + root + "\\" + CodePage1252ToUtf8(record.Path());
        }
        default: return "kind " + std::to_string(record.Kind) + "    " + CodePage1252ToUtf8(record.Path());
    }
}
