#include "cli.h"

#include <cstdio>
#include <iomanip>
#include <ostream>

#include "errors.h"
#include "host_files.h"
#include "installer_reader.h"
#include "installer_writer.h"
#include "names.h"
#include "pe_image.h"

namespace {

const char kUsage[] =
    "usage: mksetup -o SETUP.EXE [--arch i686|x86-64 | --stub IMAGE] [--title TEXT] [-C DIR]\n"
    "               [--allow-subdirs] [--best] [-q] FILE...\n"
    "       mksetup --list SETUP.EXE\n"
    "       mksetup --verify SETUP.EXE\n"
    "       mksetup --extract SETUP.EXE DIR\n"
    "       mksetup --dump UNINST.EXE\n"
    "       mksetup --help | --version\n";

const char kHelp[] =
    "Builds an installer from the setup program and a set of files, and checks\n"
    "installers and uninstallers without Windows.\n"
    "\n"
    "Packing:\n"
    "  -o, --output SETUP.EXE  the installer to write (written under a temporary\n"
    "                          name and renamed when complete)\n"
    "  --arch i686|x86-64      which setup program to put in front: i686 (the\n"
    "                          default) runs on every Windows, x86-64 only on\n"
    "                          64-bit Windows; found beside mksetup (setup.exe,\n"
    "                          setup64.exe), else in the Windows build next to\n"
    "                          this host build (win/src, win64/src)\n"
    "  --stub IMAGE            another setup program to put in front (an unsigned\n"
    "                          i686 or x86-64 Windows GUI program)\n"
    "  --title TEXT            product title, at most 255 bytes\n"
    "                          (default \"Velto - Technology Demo\")\n"
    "  -C, --directory DIR     name files relative to DIR (default: current folder)\n"
    "  --allow-subdirs         accept files in folders the installer does not create\n"
    "  --best                  smallest installer, 2 to 4 times slower to pack\n"
    "  -q, --quiet             no summary, no progress\n"
    "  FILE...                 files to pack, relative to DIR, in the order given;\n"
    "                          a folder stands for every file below it, sorted by\n"
    "                          name folder by folder (\".\" packs all of DIR)\n"
    "\n"
    "  Names are stored relative to DIR with \"\\\" between folders. The installer\n"
    "  creates only the folders DLL, Upload and Download in the destination, and\n"
    "  puts WSOCK32.DLL into DLL whatever its case. Refused: names over 255 bytes,\n"
    "  absolute or drive names, \".\" or \"..\" components, the characters\n"
    "  < > : \" | ? * and control characters, names ending in a dot or blank,\n"
    "  device names (CON, NUL, COM1, LPT\xC2\xB9, ...), UNINST.EXE at the top level,\n"
    "  and two names for the same installed file (letter case does not count).\n"
    "  Names and the title are UTF-8 and are stored in the Windows code page\n"
    "  1252 (\"caf\xC3\xA9.txt\" is stored with the byte 0xE9); a character that code\n"
    "  page does not have is refused.\n"
    "  Also refused before anything is read: an output that is one of the files\n"
    "  or the stub; a stub that is not an unsigned i686 or x86-64 Windows GUI\n"
    "  program;\n"
    "  a file of 2 GiB or more, or files adding up to that with the image (the\n"
    "  most the setup program can read).\n"
    "  The installer's length is a multiple of 8 (zero bytes end the image), so\n"
    "  it can be signed afterwards (osslsigncode or signtool); --list, --verify\n"
    "  and --extract read signed installers too.\n"
    "  The same inputs always give the same bytes.\n"
    "  The installer's shortcuts open VELTO.EXE and VELTO.DOC in the destination\n"
    "  and its Finish button starts VELTO.EXE: a warning names either one that is\n"
    "  not among the files at the top; the installer is still written.\n"
    "\n"
    "Checking:\n"
    "  --list SETUP.EXE        title, image size and every file: compressed size,\n"
    "                          checksum, name (the original size is not stored)\n"
    "  --verify SETUP.EXE      check every checksum and decode every file\n"
    "  --extract SETUP.EXE DIR decode every file into DIR where the installer\n"
    "                          would put it\n"
    "  --dump UNINST.EXE       the records of an uninstaller, one per line\n"
    "\n"
    "Other:\n"
    "  -h, --help              this text\n"
    "  --version               the version of mksetup\n"
    "\n"
    "Exit status: 0 success, 1 failure or damaged file, 2 bad command line.\n";

const char kVersion[] = "mksetup 1.2\n";

std::string Files(size_t n) { return std::to_string(n) + (n == 1 ? " file" : " files"); }

constexpr uint64_t kProgressThreshold = 4u * 1000u * 1000u;

// Shows tasks of more than a few megabytes: redrawn in place on a terminal,
// one line per task in a log.
class StderrProgress : public Progress {
public:
    StderrProgress(std::ostream& err, bool terminal, bool quiet) : err_(err), terminal_(terminal), quiet_(quiet) {}

    void Start(const std::string& task, uint64_t total) override {
        shown_ = !quiet_ && total >= kProgressThreshold;
        task_ = task;
        total_ = total;
        percent_ = -1;
        if (!shown_) return;
        if (terminal_) {
            err_ << "\rmksetup: " << task_ << "..." << std::flush;
        } else {
            err_ << "mksetup: " << task_ << "..." << std::endl;
        }
    }

    void Update(uint64_t done) override {
        if (shown_ && terminal_) Draw(done);
    }

    void Finish() override {
        // "done" and the blanks cover "..." and any percentage.
        if (shown_ && terminal_) err_ << "\rmksetup: " << task_ << ": done " << std::endl;
        shown_ = false;
    }

private:
    void Draw(uint64_t done) {
        int percent = total_ ? static_cast<int>(done * 100 / total_) : 100;
        if (percent == percent_) return;
        percent_ = percent;
        err_ << "\rmksetup: " << task_ << ": " << percent << "%" << std::flush;
    }

    std::ostream& err_;
    bool terminal_;
    bool quiet_;
    bool shown_ = false;
    std::string task_;
    uint64_t total_ = 0;
    int percent_ = -1;
};

class UsageError : public Exception {
public:
    using Exception::Exception;
};

enum class Command { Pack, List, Verify, Extract, Dump, Help, Version };

struct Options {
    Command Cmd = Command::Pack;
    bool CommandGiven = false;
    PackOptions Pack;
    bool StubGiven = false;
    bool ArchGiven = false;
    std::string Root;
    bool Quiet = false;
    std::vector<std::string> Operands;
};

void SetCommand(Options& o, Command c, const std::string& option) {
    if (o.CommandGiven && o.Cmd != c) throw UsageError("'" + option + "' cannot be combined with another command");
    o.Cmd = c;
    o.CommandGiven = true;
}

Options Parse(const std::vector<std::string>& args) {
    Options o;
    bool outputGiven = false;
    bool titleGiven = false;
    bool rootGiven = false;
    for (size_t i = 0; i < args.size(); ++i) {
        std::string arg = args[i];
        if (arg == "--") {
            o.Operands.insert(o.Operands.end(), args.begin() + static_cast<std::ptrdiff_t>(i) + 1, args.end());
            break;
        }
        if (arg.size() < 2 || arg[0] != '-') {
            o.Operands.push_back(arg);
            continue;
        }
        // "--name=value" and "--name value" alike.
        std::string value;
        bool inlineValue = false;
        if (arg.compare(0, 2, "--") == 0 && arg.find('=') != std::string::npos) {
            value = arg.substr(arg.find('=') + 1);
            arg = arg.substr(0, arg.find('='));
            inlineValue = true;
        }
        auto takeValue = [&]() -> std::string {
            if (inlineValue) return value;
            if (i + 1 >= args.size()) throw UsageError("'" + arg + "' needs a value");
            return args[++i];
        };
        auto noValue = [&]() {
            if (inlineValue) throw UsageError("'" + arg + "' takes no value");
        };
        if (arg == "-h" || arg == "--help") {
            noValue();
            SetCommand(o, Command::Help, arg);
        } else if (arg == "--version") {
            noValue();
            SetCommand(o, Command::Version, arg);
        } else if (arg == "-o" || arg == "--output") {
            if (outputGiven) throw UsageError("'" + arg + "' given twice");
            o.Pack.OutputPath = takeValue();
            outputGiven = true;
        } else if (arg == "--stub") {
            if (o.StubGiven) throw UsageError("'--stub' given twice");
            o.Pack.StubPath = takeValue();
            o.StubGiven = true;
        } else if (arg == "--arch") {
            if (o.ArchGiven) throw UsageError("'--arch' given twice");
            const std::string arch = takeValue();
            if (arch == "i686") {
                o.Pack.Machine = kPeMachineI386;
            } else if (arch == "x86-64") {
                o.Pack.Machine = kPeMachineAmd64;
            } else {
                throw UsageError("'--arch' takes i686 or x86-64, not '" + arch + "'");
            }
            o.ArchGiven = true;
        } else if (arg == "--title") {
            if (titleGiven) throw UsageError("'--title' given twice");
            o.Pack.Title = takeValue();
            titleGiven = true;
        } else if (arg == "-C" || arg == "--directory") {
            if (rootGiven) throw UsageError("'" + arg + "' given twice");
            o.Root = takeValue();
            if (o.Root.empty()) throw UsageError("'" + arg + "' needs a folder");
            rootGiven = true;
        } else if (arg == "--allow-subdirs") {
            noValue();
            o.Pack.Names.AllowSubdirectories = true;
        } else if (arg == "--best") {
            noValue();
            o.Pack.Level = LzssLevel::Best;
        } else if (arg == "-q" || arg == "--quiet") {
            noValue();
            o.Quiet = true;
        } else if (arg == "--list") {
            noValue();
            SetCommand(o, Command::List, arg);
        } else if (arg == "--verify") {
            noValue();
            SetCommand(o, Command::Verify, arg);
        } else if (arg == "--extract") {
            noValue();
            SetCommand(o, Command::Extract, arg);
        } else if (arg == "--dump") {
            noValue();
            SetCommand(o, Command::Dump, arg);
        } else {
            throw UsageError("unknown option '" + arg + "'");
        }
    }
    if (o.ArchGiven && o.StubGiven) throw UsageError("'--arch' and '--stub' cannot be combined");
    if (o.Cmd == Command::Pack) {
        if (!outputGiven) throw UsageError("no output file given (-o SETUP.EXE)");
        if (o.Pack.OutputPath.empty()) throw UsageError("empty output file name");
        if (o.Operands.empty()) throw UsageError("no files to pack");
    } else if (o.Cmd != Command::Help && o.Cmd != Command::Version) {
        if (outputGiven || o.StubGiven || o.ArchGiven || titleGiven || rootGiven || o.Pack.Names.AllowSubdirectories ||
            o.Pack.Level != LzssLevel::Normal) {
            throw UsageError("packing options cannot be combined with --list, --verify, --extract or --dump");
        }
        size_t want = o.Cmd == Command::Extract ? 2 : 1;
        if (o.Operands.size() != want) {
            throw UsageError(o.Cmd == Command::Extract ? "--extract needs SETUP.EXE and DIR"
                                                       : "expected exactly one file");
        }
    }
    return o;
}

std::string FindDefaultStub(const std::string& programPath, uint16_t machine) {
    std::vector<std::string> candidates = DefaultStubCandidates(programPath, machine);
    for (const std::string& c : candidates) {
        if (GetPathKind(c) == PathKind::File) return c;
    }
    std::string looked;
    for (const std::string& c : candidates) looked += (looked.empty() ? "" : ", ") + c;
    throw Exception(std::string("no ") + (machine == kPeMachineAmd64 ? "x86-64" : "i686") +
                    " setup program found to put in front of the files" +
                    (looked.empty() ? std::string() : " (looked for " + looked + ")") +
                    "; build it first or give --stub IMAGE");
}

int Pack(Options& o, std::ostream& out, std::ostream& err, const CliEnvironment& env) {
    if (!o.StubGiven) {
        if (o.Pack.Machine == 0) o.Pack.Machine = kPeMachineI386;
        o.Pack.StubPath = FindDefaultStub(env.ProgramPath, o.Pack.Machine);
    }
    o.Pack.Files = CollectInputs(o.Root, o.Operands);
    StderrProgress progress(err, env.ErrIsTerminal, o.Quiet);
    PackResult r = PackInstaller(o.Pack, progress);
    for (const std::string& w : r.Warnings) err << "mksetup: warning: " << w << "\n";
    if (!o.Quiet) {
        uint64_t payload = 0;
        for (const PackedFile& f : r.Files) payload += f.CompressedSize;
        out << o.Pack.OutputPath << ": " << Files(r.Files.size()) << ", " << r.FileSize << " bytes (image "
            << r.ImageSize << ", payload " << payload << ")\n";
    }
    return kExitOk;
}

int List(const std::string& path, std::ostream& out) {
    SetupFile file(path);
    InstallerInfo info = ReadInstallerInfo(file.Source(), file.Size());
    out << "Title:       " << CodePage1252ToUtf8(info.Trailer.Title.Get()) << "\n"
        << "Image size:  " << info.Trailer.ImageSize << " bytes\n"
        << "Payload:     " << info.PayloadSize << " bytes in " << Files(info.Entries.size()) << "\n"
        << "File size:   " << info.FileSize + file.SignatureSize() << " bytes\n";
    if (file.SignatureSize()) out << "Signature:   " << file.SignatureSize() << " bytes after the trailer\n";
    out << "  Compressed  Checksum    Name\n";
    for (const FileDirectoryEntry& e : info.Entries) {
        std::string name = e.Name.Get();
        std::string installed = InstalledPayloadName(name);
        out << std::setw(12) << e.CompressedSize << "  " << Hex32(e.Crc) << "  " << CodePage1252ToUtf8(name);
        if (installed != name) out << " -> " << CodePage1252ToUtf8(installed);
        out << "\n";
    }
    return kExitOk;
}

int Verify(const std::string& path, std::ostream& out, std::ostream& err, const CliEnvironment& env, bool quiet) {
    SetupFile file(path);
    StderrProgress progress(err, env.ErrIsTerminal, quiet);
    VerifyReport report = VerifyInstaller(file.Source(), file.Size(), progress);
    size_t bad = 0;
    for (const FileCheck& f : report.Files) {
        if (f.Problem.empty()) {
            out << "ok   " << f.Name << " (" << f.Stream.Size << " bytes)\n";
        } else {
            ++bad;
            out << "BAD  " << f.Name << "\n";
            err << "mksetup: " << path << ": " << f.Name << ": " << f.Problem << "\n";
        }
    }
    for (const std::string& p : report.NameProblems) err << "mksetup: " << path << ": " << p << "\n";
    if (!report.Ok()) {
        err << "mksetup: " << path << ": damaged: " << bad << " of " << Files(report.Files.size()) << " bad";
        if (!report.NameProblems.empty()) err << ", " << report.NameProblems.size() << " unsafe names";
        err << "\n";
        return kExitFailure;
    }
    out << path << ": " << (report.Files.size() == 1 ? "" : "all ") << Files(report.Files.size()) << " intact\n";
    return kExitOk;
}

int Extract(const std::string& path, const std::string& dir, std::ostream& out, std::ostream& err,
            const CliEnvironment& env, bool quiet) {
    SetupFile file(path);
    StderrProgress progress(err, env.ErrIsTerminal, quiet);
    ExtractReport report = ExtractInstaller(file.Source(), file.Size(), dir, progress);
    size_t bad = 0;
    for (const FileCheck& f : report.Files) {
        if (f.Problem.empty()) {
            if (!quiet) out << f.Name << "\n";
        } else {
            ++bad;
            err << "mksetup: " << path << ": " << f.Name << ": " << f.Problem << "; not extracted\n";
        }
    }
    if (bad) {
        err << "mksetup: " << path << ": " << bad << " of " << Files(report.Files.size()) << " damaged\n";
        return kExitFailure;
    }
    return kExitOk;
}

int Dump(const std::string& path, std::ostream& out, std::ostream& err) {
    SetupFile file(path);
    UninstallerInfo info = ReadUninstaller(file.Source(), file.Size());
    out << "Title:       " << CodePage1252ToUtf8(info.Trailer.Title.Get()) << "\n"
        << "Image size:  " << info.Trailer.ImageSize << " bytes\n"
        << "Records:     " << info.Records.size() << "\n";
    for (const auto& r : info.Records) out << DescribeRecord(*r) << "\n";
    if (!info.ChecksumOk()) {
        err << "mksetup: " << path << ": records checksum mismatch (stored " << Hex32(info.StoredChecksum)
            << ", computed " << Hex32(info.ComputedChecksum) << ")\n";
        return kExitFailure;
    }
    return kExitOk;
}

}  // namespace

std::vector<std::string> DefaultStubCandidates(const std::string& programPath, uint16_t machine) {
    if (programPath.empty()) return {};
    const std::string dir = HostDirName(programPath);
    if (machine == kPeMachineAmd64) {
        return {JoinHostPath(dir, "setup64.exe"), JoinHostPath(dir, "../../../win64/src/setup.exe")};
    }
    return {JoinHostPath(dir, "setup.exe"), JoinHostPath(dir, "../../../win/src/setup.exe")};
}

int RunMksetup(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, const CliEnvironment& env) {
    Options o;
    try {
        o = Parse(args);
    } catch (const UsageError& e) {
        err << "mksetup: " << e.what() << "\n" << kUsage << "Try 'mksetup --help' for more.\n";
        return kExitUsage;
    }
    // The file a failure concerns, for the message.
    std::string subject = o.Cmd == Command::Pack ? o.Pack.OutputPath : (o.Operands.empty() ? "" : o.Operands[0]);
    try {
        switch (o.Cmd) {
            case Command::Help: out << kUsage << "\n" << kHelp; return kExitOk;
            case Command::Version: out << kVersion; return kExitOk;
            case Command::Pack:
                subject.clear();  // packing messages name their own file
                return Pack(o, out, err, env);
            case Command::List: return List(o.Operands[0], out);
            case Command::Verify: return Verify(o.Operands[0], out, err, env, o.Quiet);
            case Command::Extract: return Extract(o.Operands[0], o.Operands[1], out, err, env, o.Quiet);
            case Command::Dump: return Dump(o.Operands[0], out, err);
        }
    } catch (const std::bad_alloc&) {
        err << "mksetup: out of memory\n";
        return kExitFailure;
    } catch (const std::exception& e) {
        std::string message = e.what();
        // Messages from the file layer already start with the quoted path.
        if (!subject.empty() && message.compare(0, subject.size() + 2, "'" + subject + "'") != 0) {
            message = subject + ": " + message;
        }
        err << "mksetup: " << message << "\n";
        return kExitFailure;
    }
    return kExitFailure;
}
