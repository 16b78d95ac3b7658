#include "installer_writer.h"

#include <cstring>
#include <limits>

#include "crc32.h"
#include "errors.h"
#include "stream_codec.h"

const char kDefaultTitle[] = "Velto - Technology Demo";

namespace {

// The setup program handles every offset of its file as a signed 32-bit
// number.
constexpr uint64_t kMaxSetupFileSize = static_cast<uint64_t>(std::numeric_limits<int32_t>::max());

// Leaves room for a destination such as "C:\Program Files\Velto\".
constexpr size_t kLongNameWarning = 200;

std::string Megabytes(uint64_t bytes) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f MB", static_cast<double>(bytes) / 1e6);
    return text;
}

// A stub that already carries a valid trailer is an installer or an
// uninstaller itself: its payload would ride along in every copy.
bool CarriesSetupTrailer(const std::vector<uint8_t>& image) {
    if (image.size() < kTrailerDistance) return false;
    MemoryByteSource src(image.data(), image.size());
    try {
        ReadTrailer(src, true);
        return true;
    } catch (const ESetupError&) {
        return false;
    }
}

}  // namespace

InstallerWriter::InstallerWriter(ByteSink& out, const std::vector<uint8_t>& image) : out_(out) {
    if (image.size() > kMaxSetupFileSize - kTailSize) throw Exception("the setup program image is too large");
    imageSize_ = static_cast<uint32_t>(image.size());
    Put(image.data(), image.size());
}

void InstallerWriter::Put(const void* data, size_t size) {
    out_.Write(data, size);
    written_ += size;
}

void InstallerWriter::AddFile(const std::string& name, const uint8_t* data, size_t size) {
    AddStream(name, CompressStream(data, size), Crc32Of(data, size));
}

void InstallerWriter::AddStream(const std::string& name, const std::vector<uint8_t>& stream, uint32_t crc) {
    if (finished_) throw Exception("internal error: file added after the directory");
    uint64_t after = written_ + stream.size() + (entries_.size() + 1) * uint64_t{kDirectoryEntrySize} + kTailSize;
    if (after > kMaxSetupFileSize) {
        throw Exception("'" + name + "': the installer would exceed 2 GB, the most the setup program can read");
    }
    entries_.push_back(MakeDirectoryEntry(name, static_cast<uint32_t>(stream.size()), crc));
    Put(stream.data(), stream.size());
}

void InstallerWriter::Finish(const std::string& title) {
    if (finished_) throw Exception("internal error: installer finished twice");
    finished_ = true;
    std::vector<uint8_t> directory(entries_.size() * kDirectoryEntrySize);
    for (size_t i = 0; i < entries_.size(); ++i) {
        EncodeDirectoryEntry(entries_[i], directory.data() + i * kDirectoryEntrySize);
    }
    uint8_t checksum[kChecksumSize];
    StoreLE32(checksum, Crc32Of(directory.data(), directory.size()));
    Put(directory.data(), directory.size());
    Put(checksum, sizeof checksum);

    uint8_t trailer[kTrailerSize];
    EncodeTrailer(MakeTrailer(static_cast<int32_t>(imageSize_), static_cast<int32_t>(entries_.size()), title, "INS"),
                  trailer);
    StoreLE32(checksum, Crc32Of(trailer, sizeof trailer));
    Put(trailer, sizeof trailer);
    Put(checksum, sizeof checksum);
}

PackResult PackInstaller(const PackOptions& options, Progress& progress) {
    if (options.OutputPath.empty()) throw Exception("no output file given (-o SETUP.EXE)");
    if (options.Title.size() > kMaxShortString) {
        throw Exception("the title is " + std::to_string(options.Title.size()) + " bytes long; at most 255 fit");
    }
    std::vector<std::string> names;
    for (const PackInput& f : options.Files) names.push_back(f.Name);
    std::vector<NameProblem> problems = CheckNameSet(names, options.Names);
    if (!problems.empty()) {
        std::string message = problems.front().Message;
        if (problems.size() > 1) message += " (and " + std::to_string(problems.size() - 1) + " more)";
        throw Exception(message);
    }

    PackResult result;
    for (const std::string& name : names) {
        // The installer logs JoinPath(destination, name) in a 255-byte field
        // and opens it through ANSI calls limited to 260 characters.
        if (name.size() > kLongNameWarning) {
            result.Warnings.push_back("'" + name + "': " + std::to_string(name.size()) +
                                      " bytes; with the destination folder in front the path may exceed what "
                                      "the installer can log and Windows can open");
        }
        for (char c : name) {
            if (static_cast<unsigned char>(c) >= 0x80) {
                result.Warnings.push_back("'" + name +
                                          "': non-ASCII bytes are stored as they are; the installer reads them "
                                          "in the Windows ANSI code page");
                break;
            }
        }
    }

    std::vector<uint8_t> image = ReadWholeFile(options.StubPath);
    if (image.size() < 2 || image[0] != 'M' || image[1] != 'Z') {
        result.Warnings.push_back("'" + options.StubPath + "' does not look like a Windows program");
    }
    if (CarriesSetupTrailer(image)) {
        result.Warnings.push_back("'" + options.StubPath +
                                  "' is already an installer or uninstaller; its contents become part of the image");
    }
    result.ImageSize = static_cast<uint32_t>(image.size());

    AtomicOutFile out(options.OutputPath);
    InstallerWriter writer(out, image);
    image = std::vector<uint8_t>();
    CompressInOrder(
        options.Files.size(), options.Level, options.Threads,
        [&](size_t i) { return ReadWholeFile(options.Files[i].HostPath); },
        [&](size_t i, CompressedInput& in) {
            const std::string& name = options.Files[i].Name;
            progress.Start("compressing " + name + " (" + Megabytes(in.Data.size()) + ")", in.Data.size());
            writer.AddStream(name, in.Stream, in.Crc);
            progress.Finish();
            result.Files.push_back({name, in.Data.size(), static_cast<uint32_t>(in.Stream.size()), in.Crc});
        });
    writer.Finish(options.Title);
    out.Commit();
    result.FileSize = writer.BytesWritten();
    return result;
}

std::vector<PackInput> CollectInputs(const std::string& root, const std::vector<std::string>& args) {
    std::vector<PackInput> inputs;
    for (const std::string& arg : args) {
        // Checked before the file system is asked, so "../x" is refused even
        // when it exists.
        if (arg.empty()) throw Exception("empty file name on the command line");
        StoredNameFromHostPath(arg, true);
        const std::string hostPath = JoinHostPath(root, arg);
        switch (GetPathKind(hostPath)) {
            case PathKind::File:
                inputs.push_back({hostPath, StoredNameFromHostPath(arg)});
                break;
            case PathKind::Directory: {
                std::vector<std::string> below = ListFilesBelow(hostPath);
                if (below.empty()) throw Exception("'" + hostPath + "': folder holds no files");
                for (const std::string& rel : below) {
                    inputs.push_back({JoinHostPath(hostPath, rel), StoredNameFromHostPath(JoinHostPath(arg, rel))});
                }
                break;
            }
            case PathKind::Missing:
                throw Exception("'" + hostPath + "': no such file or folder");
            case PathKind::Other:
                throw Exception("'" + hostPath + "': not a regular file");
        }
    }
    return inputs;
}
