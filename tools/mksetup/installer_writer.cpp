#include "installer_writer.h"

#include <cstring>
#include <limits>

#include "crc32.h"
#include "errors.h"
#include "payload_names.h"
#include "pe_image.h"
#include "product.h"
#include "stream_codec.h"

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

// One line for each file the setup program names itself (product.h) that
// is not at the top of `names`: the installer would make shortcuts to
// nothing and offer to start a program that is not there.
std::vector<std::string> MissingNamedFiles(const std::vector<std::string>& names) {
    std::vector<std::string> warnings;
    for (const ProductShortcut& link : kShortcuts) {
        bool packed = false;
        for (const std::string& name : names)
            packed = packed || FoldCase1252(InstalledPayloadName(name)) == FoldCase1252(link.Target);
        if (packed) continue;
        const bool started = std::strcmp(link.Target, kProductProgram) == 0;
        warnings.push_back("no " + std::string(link.Target) + " at the top of the files; the installer's shortcut '" +
                           link.File + "'" + (started ? " and its Finish button start it" : " opens it"));
    }
    return warnings;
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

void InstallerWriter::AddFile(const std::string& name, const uint8_t* data, size_t size,
                              const std::function<void(uint64_t done)>& progress) {
    if (size > kMaxSetupFileSize) {
        throw Exception("'" + CodePage1252ToUtf8(name) + "': 2 GiB or more, the most the setup program can read");
    }
    AddStream(name, CompressStream(data, size, LzssLevel::Normal, progress), Crc32Of(data, size));
}

void InstallerWriter::AddStream(const std::string& name, const std::vector<uint8_t>& stream, uint32_t crc) {
    if (finished_) throw Exception("internal error: file added after the directory");
    // With room for the zeros that Finish may add.
    uint64_t after = written_ + stream.size() + (entries_.size() + 1) * uint64_t{kDirectoryEntrySize} + kTailSize + 7;
    if (after > kMaxSetupFileSize) {
        throw Exception("'" + CodePage1252ToUtf8(name) +
                        "': the installer would reach 2 GiB, the most the setup program can read");
    }
    entries_.push_back(MakeDirectoryEntry(name, static_cast<uint32_t>(stream.size()), crc));
    Put(stream.data(), stream.size());
}

void InstallerWriter::Finish(const std::string& title) {
    if (finished_) throw Exception("internal error: installer finished twice");
    finished_ = true;
    const uint64_t length = written_ + entries_.size() * uint64_t{kDirectoryEntrySize} + kTailSize;
    const size_t zeros = static_cast<size_t>((8 - length % 8) % 8);
    if (zeros) {
        out_.InsertZeros(imageSize_, zeros);
        imageSize_ += static_cast<uint32_t>(zeros);
        written_ += zeros;
    }
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

std::string StubProblem(const std::string& path, const std::vector<uint8_t>& image, uint16_t machine) {
    const std::string quoted = "'" + path + "': ";
    PeHeaders h;
    if (!ParsePeHeaders(image.data(), image.size(), &h)) return quoted + "not a Windows program";
    const bool i686 = h.Machine == kPeMachineI386 && h.Magic == kPeMagic32;
    const bool x86_64 = h.Machine == kPeMachineAmd64 && h.Magic == kPeMagic64;
    if (!i686 && !x86_64) return quoted + "not an i686 or x86-64 Windows program";
    if (machine != 0 && h.Machine != machine) {
        return quoted + (i686 ? "an i686" : "an x86-64") + " program, not the " +
               (machine == kPeMachineI386 ? "i686" : "x86-64") + " setup program asked for";
    }
    if (h.Subsystem != kPeSubsystemGui) {
        return quoted + (h.Subsystem == kPeSubsystemConsole ? "a console program" : "not a Windows GUI program") +
               "; the setup program is a Windows GUI program";
    }
    if (h.SecuritySize != 0) return quoted + "signed; give the unsigned setup program and sign the finished installer";
    return std::string();
}

namespace {

// Every refusal that needs no file's contents: the output against the
// inputs, then the sizes the installer would reach.
void CheckBeforeReading(const PackOptions& options) {
    for (const std::string& output : {options.OutputPath, options.OutputPath + ".part"}) {
        if (SameHostFile(output, options.StubPath)) {
            throw Exception("'" + options.OutputPath +
                            "': is the setup program given as --stub; choose another output");
        }
        for (const PackInput& f : options.Files) {
            if (SameHostFile(output, f.HostPath)) {
                throw Exception("'" + options.OutputPath + "': is also a file to pack ('" + f.HostPath +
                                "'); choose another output");
            }
        }
    }
    // Before compression the size is not known; counting every file at its
    // own size keeps the refusal ahead of the hours spent compressing.
    uint64_t total =
        HostFileSize(options.StubPath) + 7 + options.Files.size() * uint64_t{kDirectoryEntrySize} + kTailSize;
    for (const PackInput& f : options.Files) {
        const uint64_t size = HostFileSize(f.HostPath);
        if (size > kMaxSetupFileSize) {
            throw Exception("'" + f.HostPath + "': 2 GiB or more, the most the setup program can read");
        }
        total += size;
        if (total > kMaxSetupFileSize) {
            throw Exception("'" + f.HostPath +
                            "': with this file the installer would reach 2 GiB (the files so far add "
                            "up to " +
                            Megabytes(total) + "), the most the setup program can read");
        }
    }
}

}  // namespace

PackResult PackInstaller(const PackOptions& options, Progress& progress) {
    if (options.OutputPath.empty()) throw Exception("no output file given (-o SETUP.EXE)");
    std::string title, bad;
    if (Utf8ToCodePage1252(options.Title, &title, &bad) != Utf8Conversion::Ok) {
        throw Exception("the title holds '" + bad + "', which Windows code page 1252 does not have");
    }
    if (title.size() > kMaxShortString) {
        throw Exception("the title is " + std::to_string(title.size()) + " bytes long; at most 255 fit");
    }
    std::vector<std::string> names;
    for (const PackInput& f : options.Files) names.push_back(f.Name);
    std::vector<NameProblem> problems = CheckNameSet(names, options.Names);
    if (!problems.empty()) {
        std::string message = problems.front().Message;
        if (problems.size() > 1) message += " (and " + std::to_string(problems.size() - 1) + " more)";
        throw Exception(message);
    }
    CheckBeforeReading(options);

    PackResult result;
    result.Warnings = MissingNamedFiles(names);
    for (const std::string& name : names) {
        // The installer logs JoinPath(destination, name) in a 255-byte field
        // and opens it through ANSI calls limited to 260 characters.
        if (name.size() > kLongNameWarning) {
            result.Warnings.push_back("'" + CodePage1252ToUtf8(name) + "': " + std::to_string(name.size()) +
                                      " bytes; with the destination folder in front the path may exceed what "
                                      "the installer can log and Windows can open");
        }
    }

    std::vector<uint8_t> image = ReadWholeFile(options.StubPath);
    const std::string stubProblem = StubProblem(options.StubPath, image, options.Machine);
    if (!stubProblem.empty()) throw Exception(stubProblem);
    if (CarriesSetupTrailer(image)) {
        result.Warnings.push_back("'" + options.StubPath +
                                  "' is already an installer or uninstaller; its contents become part of the image");
    }

    AtomicOutFile out(options.OutputPath);
    InstallerWriter writer(out, image);
    image = std::vector<uint8_t>();
    // Files come back in order from the workers; the one being waited for
    // is reported while it is compressed.
    size_t started = options.Files.size();
    auto start = [&](size_t i) {
        if (started == i) return;
        started = i;
        const PackInput& f = options.Files[i];
        const uint64_t size = HostFileSize(f.HostPath);
        progress.Start("compressing " + CodePage1252ToUtf8(f.Name) + " (" + Megabytes(size) + ")", size);
    };
    CompressInOrder(
        options.Files.size(), options.Level, options.Threads,
        [&](size_t i) { return ReadWholeFile(options.Files[i].HostPath); },
        [&](size_t i, CompressedInput& in) {
            const std::string& name = options.Files[i].Name;
            start(i);
            progress.Update(in.Data.size());
            writer.AddStream(name, in.Stream, in.Crc);
            progress.Finish();
            result.Files.push_back({name, in.Data.size(), static_cast<uint32_t>(in.Stream.size()), in.Crc});
        },
        [&](size_t i, uint64_t done) {
            start(i);
            progress.Update(done);
        });
    writer.Finish(title);
    out.Commit();
    result.ImageSize = writer.ImageSize();
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
            case PathKind::File: inputs.push_back({hostPath, StoredNameFromHostPath(arg)}); break;
            case PathKind::Directory: {
                std::vector<std::string> below = ListFilesBelow(hostPath);
                if (below.empty()) throw Exception("'" + hostPath + "': folder holds no files");
                for (const std::string& rel : below) {
                    inputs.push_back({JoinHostPath(hostPath, rel), StoredNameFromHostPath(JoinHostPath(arg, rel))});
                }
                break;
            }
            case PathKind::Missing: throw Exception("'" + hostPath + "': no such file or folder");
            case PathKind::Other: throw Exception("'" + hostPath + "': not a regular file");
        }
    }
    return inputs;
}
