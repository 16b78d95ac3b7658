// The packaging tool: installers it writes (layout, round trip through the
// setup program's decoder, reproducibility), what --verify catches, and the
// command line run in-process on real files.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "cli.h"
#include "crc32.h"
#include "errors.h"
#include "installer_reader.h"
#include "installer_writer.h"
#include "layout.h"
#include "pe_image.h"
#include "stream_codec.h"
#include "test_images.h"
#include "uninstall_log.h"

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

namespace {

Bytes RandomBytes(size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    Bytes v(n);
    for (auto& b : v) b = static_cast<uint8_t>(rng());
    return v;
}

// Text-like data with repeats at every distance the window allows, runs of
// zeros and of one byte, so the encoder uses long and overlapping matches.
Bytes StructuredBytes(size_t n) {
    Bytes v;
    v.reserve(n);
    std::mt19937 rng(99);
    for (unsigned i = 0; v.size() < n; ++i) {
        std::string line = "record " + std::to_string(i % 977) + " value=" + std::to_string(rng() % 50) + "\r\n";
        v.insert(v.end(), line.begin(), line.end());
        if (i % 101 == 0) v.insert(v.end(), rng() % 300, 0);
        if (i % 211 == 0) v.insert(v.end(), rng() % 40, 'x');
    }
    v.resize(n);
    return v;
}

const Bytes kStub = TinyWindowsImage(3000);

struct NamedFile {
    std::string Name;
    Bytes Data;
};

Bytes BuildInstaller(const std::vector<NamedFile>& files, const std::string& title = kDefaultTitle,
                     const Bytes& image = kStub) {
    VectorSink sink;
    InstallerWriter writer(sink, image);
    for (const NamedFile& f : files) writer.AddFile(f.Name, f.Data.data(), f.Data.size());
    writer.Finish(title);
    EXPECT_EQ(writer.BytesWritten(), sink.Bytes.size());
    return sink.Bytes;
}

// Every file of an installer, decoded the way the setup program decodes.
std::map<std::string, Bytes> DecodeFiles(const Bytes& installer) {
    MemoryByteSource src(installer.data(), installer.size());
    InstallerInfo info = ReadInstallerInfo(src, installer.size());
    std::map<std::string, Bytes> files;
    size_t pos = static_cast<size_t>(info.Trailer.ImageSize);
    LzssBufferHold buffers;
    for (const FileDirectoryEntry& e : info.Entries) {
        Bytes out;
        size_t end = pos + e.CompressedSize;
        DecodeStream(
            e.CompressedSize,
            [&](uint8_t* block, size_t capacity) {
                size_t n = std::min(capacity, end - pos);
                std::copy(installer.begin() + pos, installer.begin() + pos + n, block);
                pos += n;
                return n;
            },
            [&](const uint8_t* data, size_t size) { out.insert(out.end(), data, data + size); });
        files[e.Name.Get()] = out;
    }
    return files;
}

bool Verifies(const Bytes& installer) {
    MemoryByteSource src(installer.data(), installer.size());
    NoProgress quiet;
    try {
        return VerifyInstaller(src, installer.size(), quiet).Ok();
    } catch (const Exception&) {
        return false;
    }
}

std::vector<NamedFile> SizedFiles() {
    return {
        {"EMPTY.TXT", {}},
        {"ONE.BIN", {0x42}},
        {"BLOCK.BIN", RandomBytes(32000, 1)},
        {"DLL\\BLOCK1.BIN", RandomBytes(64001, 2)},
        {"Upload\\RANDOM.BIN", RandomBytes(10 * 1000 * 1000, 3)},
        {"Download\\TEXT.BIN", StructuredBytes(10 * 1000 * 1000)},
    };
}

TEST(InstallerWriter, LayoutAndRoundTrip) {
    const std::vector<NamedFile> files = SizedFiles();
    const Bytes installer = BuildInstaller(files);
    const uint64_t F = installer.size();

    // Image first, byte for byte, then up to 7 zeros that make the file a
    // multiple of 8 bytes; the trailer's image size counts them.
    ASSERT_GT(F, kStub.size());
    EXPECT_TRUE(std::equal(kStub.begin(), kStub.end(), installer.begin()));
    SetupTrailer t = DecodeTrailer(installer.data() + F - kTrailerDistance);
    const size_t P = static_cast<size_t>(t.ImageSize);
    EXPECT_EQ(F % 8, 0u);
    ASSERT_GE(P, kStub.size());
    ASSERT_LT(P, kStub.size() + 8);
    EXPECT_TRUE(std::all_of(installer.begin() + kStub.size(), installer.begin() + P, [](uint8_t b) { return !b; }));
    EXPECT_EQ(t.Count, static_cast<int32_t>(files.size()));
    EXPECT_EQ(t.Title.Get(), "Velto - Technology Demo");
    EXPECT_EQ(std::string(t.Signature, 3), "INS");
    EXPECT_EQ(LoadLE32(installer.data() + F - 4), Crc32Of(installer.data() + F - kTrailerDistance, kTrailerSize));

    // F = P + S + N*264 + 276, directory right after the streams.
    const size_t dir = F - kTailSize - files.size() * kDirectoryEntrySize;
    uint64_t S = 0;
    for (size_t i = 0; i < files.size(); ++i) {
        FileDirectoryEntry e = DecodeDirectoryEntry(installer.data() + dir + i * kDirectoryEntrySize);
        EXPECT_EQ(e.Name.Get(), files[i].Name);
        EXPECT_EQ(e.Crc, Crc32Of(files[i].Data.data(), files[i].Data.size())) << files[i].Name;
        S += e.CompressedSize;
    }
    EXPECT_EQ(F, P + S + files.size() * kDirectoryEntrySize + kTailSize);
    EXPECT_EQ(LoadLE32(installer.data() + F - kTailSize),
              Crc32Of(installer.data() + dir, files.size() * kDirectoryEntrySize));

    // An empty file is an empty stream with the checksum of no bytes.
    FileDirectoryEntry empty = DecodeDirectoryEntry(installer.data() + dir);
    EXPECT_EQ(empty.CompressedSize, 0u);
    EXPECT_EQ(empty.Crc, 0xFFFFFFFFu);

    std::map<std::string, Bytes> decoded = DecodeFiles(installer);
    ASSERT_EQ(decoded.size(), files.size());
    for (const NamedFile& f : files) EXPECT_TRUE(decoded[f.Name] == f.Data) << f.Name;
}

TEST(InstallerWriter, EmptyInstallerAndReproducibleBytes) {
    Bytes none = BuildInstaller({}, "");
    ASSERT_EQ(none.size(), (kStub.size() + kTailSize + 7) / 8 * 8);
    EXPECT_EQ(LoadLE32(none.data() + none.size() - kTailSize), 0xFFFFFFFFu);  // checksum of an empty directory
    EXPECT_TRUE(Verifies(none));

    std::vector<NamedFile> files = {{"A.TXT", StructuredBytes(70000)}, {"DLL\\B.BIN", RandomBytes(5000, 8)}};
    Bytes first = BuildInstaller(files);
    EXPECT_TRUE(first == BuildInstaller(files));
    // Unused bytes of names and title are zero, not leftovers.
    SetupTrailer t = DecodeTrailer(first.data() + first.size() - kTrailerDistance);
    for (size_t i = 1 + t.Title.Bytes[0]; i < kShortStringField; ++i) ASSERT_EQ(t.Title.Bytes[i], 0) << i;
    EXPECT_EQ(t.Padding, 0);
}

// A small installer whose payload holds an incompressible file (every
// changed byte changes its output) and a compressible one.
std::vector<NamedFile> FlipFiles() {
    return {{"RANDOM.BIN", RandomBytes(40000, 11)}, {"TEXT.TXT", StructuredBytes(60000)}, {"E", {}}};
}

TEST(VerifyInstaller, EveryChangedByteOfDirectoryAndTrailerIsCaught) {
    const Bytes good = BuildInstaller(FlipFiles());
    ASSERT_TRUE(Verifies(good));
    const size_t dir = good.size() - kTailSize - 3 * kDirectoryEntrySize;
    for (size_t pos = dir; pos < good.size(); ++pos) {
        for (uint8_t mask : {0x01, 0x80}) {
            Bytes bad = good;
            bad[pos] ^= mask;
            EXPECT_FALSE(Verifies(bad)) << "offset " << pos << " mask " << int(mask);
        }
    }
}

TEST(VerifyInstaller, ChangedPayloadBytesAreCaughtOrHarmless) {
    const std::vector<NamedFile> files = FlipFiles();
    const Bytes good = BuildInstaller(files);
    MemoryByteSource src(good.data(), good.size());
    InstallerInfo info = ReadInstallerInfo(src, good.size());
    const size_t start = static_cast<size_t>(info.Trailer.ImageSize);
    const size_t randomEnd = start + info.Entries[0].CompressedSize;
    const size_t end = start + info.PayloadSize;

    int caught = 0, samples = 0;
    for (size_t pos = start; pos < end; pos += 97) {
        for (uint8_t mask : {0x01, 0x10, 0xFF}) {
            Bytes bad = good;
            bad[pos] ^= mask;
            ++samples;
            if (!Verifies(bad)) {
                ++caught;
                continue;
            }
            // Some changes cannot be seen by any reader: a match moved inside
            // a run of equal bytes decodes to the same file. Then the file
            // the installer writes is still the right one.
            EXPECT_GE(pos, randomEnd) << "incompressible stream, offset " << pos;
            std::map<std::string, Bytes> decoded = DecodeFiles(bad);
            for (const NamedFile& f : files) EXPECT_TRUE(decoded[f.Name] == f.Data) << pos << " " << f.Name;
        }
    }
    EXPECT_GT(caught, samples * 9 / 10);
}

TEST(VerifyInstaller, FrameFaults) {
    const Bytes good = BuildInstaller(FlipFiles());
    struct Case {
        const char* what;
        Bytes bytes;
        const char* message;
    };
    Bytes longer = good;
    longer.insert(longer.begin() + kStub.size(), 0x00);  // payload one byte longer than the streams
    Bytes cut(good.begin() + 1, good.end());             // image one byte shorter than the trailer says
    Bytes wrongSignature = good;
    std::memcpy(wrongSignature.data() + good.size() - 8, "ins", 3);
    StoreLE32(wrongSignature.data() + good.size() - 4,
              Crc32Of(wrongSignature.data() + good.size() - kTrailerDistance, kTrailerSize));
    const Case cases[] = {
        {"short", Bytes(100, 0), "too short"},
        {"no trailer", RandomBytes(5000, 3), "trailer checksum mismatch"},
        {"extra payload byte", longer, "add up to"},
        {"cut image", cut, "add up to"},
        {"lower-case signature", wrongSignature, "unknown signature"},
    };
    for (const Case& c : cases) {
        MemoryByteSource src(c.bytes.data(), c.bytes.size());
        try {
            ReadInstallerInfo(src, c.bytes.size());
            ADD_FAILURE() << c.what << " accepted";
        } catch (const Exception& e) {
            EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << c.what << ": " << e.what();
        }
    }
}

// --- The command line, in-process, on real files ---------------------------

class MksetupCli : public ::testing::Test {
protected:
    void SetUp() override {
        std::string templ = (fs::temp_directory_path() / "mksetup_test_XXXXXX").string();
        ASSERT_NE(mkdtemp(templ.data()), nullptr);
        dir_ = templ;
        Write("stub.exe", kStub);
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string P(const std::string& rel) const { return (dir_ / rel).string(); }

    void Write(const std::string& rel, const Bytes& data) const {
        fs::create_directories(fs::path(P(rel)).parent_path());
        std::ofstream(P(rel), std::ios::binary).write(reinterpret_cast<const char*>(data.data()), data.size());
    }

    Bytes Read(const std::string& rel) const {
        std::ifstream in(P(rel), std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    int Run(std::vector<std::string> args) {
        std::ostringstream out, err;
        CliEnvironment env;
        env.ErrIsTerminal = terminal_;
        int rc = RunMksetup(args, out, err, env);
        out_ = out.str();
        err_ = err.str();
        return rc;
    }

    fs::path dir_;
    std::string out_, err_;
    bool terminal_ = false;
};

TEST_F(MksetupCli, PackListVerifyExtractRoundTrip) {
    std::vector<NamedFile> files = SizedFiles();
    files.push_back({"wsock32.dll", RandomBytes(700, 4)});
    for (NamedFile& f : files) {
        std::string rel = f.Name;
        for (char& c : rel) {
            if (c == '\\') c = '/';
        }
        Write("payload/" + rel, f.Data);
    }
    ASSERT_EQ(Run({"-o", P("SETUP.EXE"), "--stub", P("stub.exe"), "-C", P("payload"), "."}), kExitOk) << err_;
    EXPECT_NE(out_.find("7 files"), std::string::npos) << out_;
    EXPECT_FALSE(fs::exists(P("SETUP.EXE.part")));

    ASSERT_EQ(Run({"--list", P("SETUP.EXE")}), kExitOk) << err_;
    EXPECT_NE(out_.find("Title:       Velto - Technology Demo"), std::string::npos) << out_;
    // The 3,000-byte stub and the zeros that make the file a multiple of 8.
    const uint64_t fileSize = fs::file_size(P("SETUP.EXE"));
    EXPECT_EQ(fileSize % 8, 0u);
    const std::string imageLine = "Image size:  ";
    const size_t at = out_.find(imageLine);
    ASSERT_NE(at, std::string::npos) << out_;
    const long image = std::stol(out_.substr(at + imageLine.size()));
    EXPECT_GE(image, 3000);
    EXPECT_LT(image, 3008);
    EXPECT_NE(out_.find("0xFFFFFFFF  EMPTY.TXT"), std::string::npos) << out_;
    EXPECT_NE(out_.find("Upload\\RANDOM.BIN"), std::string::npos) << out_;
    EXPECT_NE(out_.find("wsock32.dll -> DLL\\WSOCK32.DLL"), std::string::npos) << out_;

    ASSERT_EQ(Run({"--verify", P("SETUP.EXE")}), kExitOk) << err_;
    EXPECT_NE(out_.find("all 7 files intact"), std::string::npos) << out_;

    ASSERT_EQ(Run({"--extract", P("SETUP.EXE"), P("out")}), kExitOk) << err_;
    for (const NamedFile& f : files) {
        std::string rel = f.Name == "wsock32.dll" ? "DLL/WSOCK32.DLL" : f.Name;
        for (char& c : rel) {
            if (c == '\\') c = '/';
        }
        EXPECT_TRUE(Read("out/" + rel) == f.Data) << rel;
    }
    EXPECT_FALSE(fs::exists(P("out/wsock32.dll")));
}

TEST_F(MksetupCli, SameInputsGiveSameBytes) {
    Write("p/VELTO.EXE", StructuredBytes(50000));
    Write("p/README.TXT", {'h', 'i'});
    Write("p/DLL/X.DLL", RandomBytes(3000, 9));
    ASSERT_EQ(Run({"-o", P("a.exe"), "--stub", P("stub.exe"), "-C", P("p"), "."}), kExitOk) << err_;
    ASSERT_EQ(Run({"-o", P("b.exe"), "--stub", P("stub.exe"), "-C", P("p"), "."}), kExitOk) << err_;
    // A folder expands in byte order of its names, folder by folder.
    ASSERT_EQ(Run({"-o", P("c.exe"), "--stub", P("stub.exe"), "-C", P("p"), "DLL/X.DLL", "README.TXT", "VELTO.EXE"}),
              kExitOk)
        << err_;
    const Bytes a = Read("a.exe");
    EXPECT_TRUE(a == Read("b.exe"));
    EXPECT_TRUE(a == Read("c.exe"));
    // The title is the only difference a title makes.
    ASSERT_EQ(Run({"-o", P("d.exe"), "--stub", P("stub.exe"), "--title", "Other", "-C", P("p"), "."}), kExitOk);
    Bytes d = Read("d.exe");
    ASSERT_EQ(d.size(), a.size());
    EXPECT_TRUE(std::equal(a.begin(), a.end() - kTrailerDistance, d.begin()));
}

TEST_F(MksetupCli, EveryCoreGivesTheBytesOfOneCore) {
    // Files of many sizes, so workers finish out of order.
    PackOptions o;
    o.StubPath = P("stub.exe");
    for (int i = 0; i < 14; ++i) {
        std::string name = "F" + std::to_string(i) + ".BIN";
        size_t size = i % 3 == 0 ? 300000 - 20000 * i : 1000 * i;
        Write("p/" + name, i % 2 ? RandomBytes(size, 20 + i) : StructuredBytes(size));
        o.Files.push_back({P("p/" + name), name});
    }
    NoProgress quiet;
    for (LzssLevel level : {LzssLevel::Normal, LzssLevel::Best}) {
        o.Level = level;
        Bytes one;
        for (unsigned threads : {1u, 2u, 5u, 0u}) {
            o.Threads = threads;
            o.OutputPath = P("t" + std::to_string(threads) + ".exe");
            PackInstaller(o, quiet);
            if (threads == 1)
                one = Read("t1.exe");
            else
                EXPECT_TRUE(Read("t" + std::to_string(threads) + ".exe") == one) << threads;
        }
        EXPECT_TRUE(Verifies(one));
    }
    // A file that cannot be read fails the run the same way on any number
    // of threads, and no installer is left behind.
    o.Files.insert(o.Files.begin() + 9, {P("p/MISSING.BIN"), "MISSING.BIN"});
    std::string oneCoreError;
    for (unsigned threads : {1u, 4u}) {
        o.Threads = threads;
        o.OutputPath = P("bad.exe");
        try {
            PackInstaller(o, quiet);
            ADD_FAILURE() << threads;
        } catch (const Exception& e) {
            if (threads == 1) oneCoreError = e.what();
            EXPECT_EQ(e.what(), oneCoreError);
        }
        EXPECT_FALSE(fs::exists(P("bad.exe")));
    }
    EXPECT_NE(oneCoreError.find("MISSING.BIN"), std::string::npos) << oneCoreError;
}

TEST_F(MksetupCli, BestLevelPacksSmallerAndDecodes) {
    Write("p/VELTO.EXE", StructuredBytes(200000));
    Write("p/DATA.BIN", RandomBytes(5000, 8));
    ASSERT_EQ(Run({"-o", P("normal.exe"), "--stub", P("stub.exe"), "-C", P("p"), "."}), kExitOk) << err_;
    ASSERT_EQ(Run({"-o", P("best.exe"), "--best", "--stub", P("stub.exe"), "-C", P("p"), "."}), kExitOk) << err_;
    EXPECT_LT(Read("best.exe").size(), Read("normal.exe").size());
    ASSERT_EQ(Run({"--extract", P("best.exe"), P("out")}), kExitOk) << err_;
    EXPECT_TRUE(Read("out/VELTO.EXE") == StructuredBytes(200000));
    EXPECT_EQ(Run({"--list", P("best.exe"), "--best"}), kExitUsage);
}

TEST_F(MksetupCli, BadInputIsRefusedClearly) {
    Write("p/A.TXT", {'a'});
    Write("p/a.txt", {'b'});
    Write("q/A.TXT", {'a'});
    Write("short.exe", Bytes(100, 1));
    Write("random.exe", RandomBytes(4000, 2));
    Write("OLD.EXE", {'o', 'l', 'd'});
    const std::string stub = P("stub.exe");
    struct Case {
        std::vector<std::string> args;
        int rc;
        std::string message;
    };
    const Case cases[] = {
        {{"--frobnicate"}, kExitUsage, "unknown option '--frobnicate'"},
        {{"--stub", stub, P("q/A.TXT")}, kExitUsage, "no output file"},
        {{"-o", P("x.exe"), "--stub", stub}, kExitUsage, "no files to pack"},
        {{"--extract", P("x.exe")}, kExitUsage, "needs SETUP.EXE and DIR"},
        {{"--list", P("a"), P("b")}, kExitUsage, "exactly one file"},
        {{"--list", P("x.exe"), "--title", "T"}, kExitUsage, "cannot be combined"},
        {{"--list", "--verify", P("x.exe")}, kExitUsage, "cannot be combined"},
        {{"-o", P("x.exe"), "--stub", stub, "-C", P("q"), "MISSING.TXT"}, kExitFailure, "no such file"},
        {{"-o", P("x.exe"), "--stub", P("nostub.exe"), "-C", P("q"), "."}, kExitFailure, "nostub.exe"},
        {{"-o", P("x.exe"), "--stub", stub, "-C", P("p"), "."}, kExitFailure, "letter case"},
        {{"-o", P("x.exe"), "--stub", stub, "-C", P("q"), "../p/A.TXT"}, kExitFailure, "'..'"},
        {{"-o", P("x.exe"), "--stub", stub, "-C", dir_.string(), "q/A.TXT"}, kExitFailure, "only the folders"},
        {{"-o", P("x.exe"), "--stub", stub, P("q/A.TXT")}, kExitFailure, "absolute path"},
        {{"-o", P("x.exe"), "--stub", stub, "--title", std::string(256, 't'), "-C", P("q"), "."},
         kExitFailure,
         "at most 255"},
        {{"-o", P("OLD.EXE"), "--stub", stub, "-C", P("q"), "NOPE"}, kExitFailure, "no such file"},
        {{"--list", P("missing.exe")}, kExitFailure, "missing.exe"},
        {{"--list", P("short.exe")}, kExitFailure, "too short"},
        {{"--verify", P("random.exe")}, kExitFailure, "trailer checksum mismatch"},
        {{"--dump", P("random.exe")}, kExitFailure, "trailer checksum mismatch"},
    };
    for (const Case& c : cases) {
        std::string joined;
        for (const std::string& a : c.args) joined += a.substr(0, 40) + " ";
        EXPECT_EQ(Run(c.args), c.rc) << joined << "\n" << err_;
        EXPECT_EQ(err_.compare(0, 9, "mksetup: "), 0) << joined << "\n" << err_;
        EXPECT_NE(err_.find(c.message), std::string::npos) << joined << "\n" << err_;
        if (c.rc == kExitFailure) {
            EXPECT_EQ(std::count(err_.begin(), err_.end(), '\n'), 1) << err_;
        }
        EXPECT_FALSE(fs::exists(P("x.exe"))) << joined;
        EXPECT_FALSE(fs::exists(P("x.exe.part"))) << joined;
    }
    // A failed pack leaves an existing output as it was.
    EXPECT_TRUE(Read("OLD.EXE") == (Bytes{'o', 'l', 'd'}));
    EXPECT_EQ(Run({"--help"}), kExitOk);
    EXPECT_NE(out_.find("usage: mksetup -o SETUP.EXE"), std::string::npos);
}

// The installer's shortcuts and Finish name files of their own: a folder
// without them at its top still packs, with one warning line for each.
TEST_F(MksetupCli, FilesTheInstallerNamesAreWarnedAboutWhenMissing) {
    struct Case {
        const char* what;
        std::vector<std::string> files;
        std::vector<std::string> warnings;
    };
    const Case cases[] = {
        {"a vendor's own names",
         {"app.exe", "readme.txt"},
         {"no VELTO.EXE at the top of the files; the installer's shortcut 'Velto.lnk' and its Finish button start it",
          "no VELTO.DOC at the top of the files; the installer's shortcut 'Velto Documentation.lnk' opens it"}},
        {"the manual only in a subfolder", {"velto.exe", "Upload/VELTO.DOC"}, {"no VELTO.DOC at the top"}},
        {"both, in any letter case", {"Velto.Exe", "velto.doc", "README.TXT"}, {}},
    };
    int n = 0;
    for (const Case& c : cases) {
        const std::string folder = "p" + std::to_string(n++);
        for (const std::string& f : c.files) Write(folder + "/" + f, {'x'});
        ASSERT_EQ(
            Run({"-o", P(folder + ".exe"), "--stub", P("stub.exe"), "--title", "My Product", "-C", P(folder), "."}),
            kExitOk)
            << c.what << "\n"
            << err_;
        EXPECT_TRUE(fs::exists(P(folder + ".exe"))) << c.what;
        EXPECT_EQ(std::count(err_.begin(), err_.end(), '\n'), static_cast<long>(c.warnings.size())) << err_;
        for (const std::string& w : c.warnings)
            EXPECT_NE(err_.find("mksetup: warning: " + w), std::string::npos) << c.what << "\n" << err_;
    }
}

TEST_F(MksetupCli, VerifyAndExtractNameTheBadFile) {
    std::vector<NamedFile> files = {
        {"GOOD1.TXT", StructuredBytes(5000)}, {"BAD.BIN", RandomBytes(5000, 6)}, {"GOOD2.TXT", StructuredBytes(7000)}};
    Bytes installer = BuildInstaller(files);
    MemoryByteSource src(installer.data(), installer.size());
    InstallerInfo info = ReadInstallerInfo(src, installer.size());
    // A literal of the incompressible BAD.BIN, wherever its stream starts.
    installer[info.Trailer.ImageSize + info.Entries[0].CompressedSize + 100] ^= 0x55;
    Write("bad.exe", installer);

    EXPECT_EQ(Run({"--verify", P("bad.exe")}), kExitFailure);
    EXPECT_NE(err_.find("BAD.BIN: checksum mismatch"), std::string::npos) << err_;
    EXPECT_EQ(err_.find("GOOD"), std::string::npos) << err_;
    EXPECT_NE(out_.find("ok   GOOD2.TXT"), std::string::npos) << out_;

    EXPECT_EQ(Run({"--extract", P("bad.exe"), P("out")}), kExitFailure);
    EXPECT_NE(err_.find("BAD.BIN: checksum mismatch"), std::string::npos) << err_;
    EXPECT_TRUE(Read("out/GOOD1.TXT") == files[0].Data);
    EXPECT_TRUE(Read("out/GOOD2.TXT") == files[2].Data);
    EXPECT_FALSE(fs::exists(P("out/BAD.BIN")));
    EXPECT_FALSE(fs::exists(P("out/BAD.BIN.part")));
}

TEST_F(MksetupCli, ExtractRefusesUnsafeNamesBeforeWritingAnything) {
    for (const char* name : {"..\\ESCAPED.TXT", "\\ROOT.TXT", "C:\\X.TXT", "DLL\\..\\..\\UP.TXT", "A.TXT"}) {
        Write("evil.exe", BuildInstaller({{"FIRST.TXT", {'1'}}, {name, {'x'}}, {"a.txt", {'y'}}}));
        EXPECT_EQ(Run({"--extract", P("evil.exe"), P("out/inner")}), kExitFailure) << name;
        EXPECT_NE(err_.find("refusing to extract"), std::string::npos) << err_;
        EXPECT_FALSE(fs::exists(P("out"))) << name;
        EXPECT_EQ(Run({"--verify", P("evil.exe")}), kExitFailure) << name;
    }
}

TEST_F(MksetupCli, DumpListsRecordsAndChecksRecordsChecksum) {
    std::vector<std::unique_ptr<UninstallRecord>> records;
    records.push_back(
        MakeRecord(ukRegistryKey, "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Velto", kHKeyLocalMachine));
    records.push_back(MakeRecord(ukFile, "C:\\Program Files\\Velto\\VELTO.EXE", 0));
    records.push_back(MakeRecord(ukDirectory, "C:\\Program Files\\Velto", 0));
    records.push_back(MakeRecord(static_cast<UninstallKind>(7), "odd", 0));
    records[1]->RootKey = 0xDEADBEEF;  // meaningless for files
    Bytes file = kStub;
    Bytes region(records.size() * kRecordSize);
    for (size_t i = 0; i < records.size(); ++i) EncodeRecord(*records[i], region.data() + i * kRecordSize);
    file.insert(file.end(), region.begin(), region.end());
    uint8_t word[4];
    StoreLE32(word, Crc32Of(region.data(), region.size()));
    file.insert(file.end(), word, word + 4);
    uint8_t trailer[kTrailerSize];
    EncodeTrailer(MakeTrailer(static_cast<int32_t>(kStub.size()), 4, "Velto - Technology Demo", "UNI"), trailer);
    file.insert(file.end(), trailer, trailer + kTrailerSize);
    StoreLE32(word, Crc32Of(trailer, kTrailerSize));
    file.insert(file.end(), word, word + 4);
    Write("UNINST.EXE", file);

    ASSERT_EQ(Run({"--dump", P("UNINST.EXE")}), kExitOk) << err_;
    const char* lines[] = {
        "registry  HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Velto\n",
        "file      C:\\Program Files\\Velto\\VELTO.EXE\n",
        "directory C:\\Program Files\\Velto\n",
        "kind 7    odd\n",
    };
    size_t at = 0;
    for (const char* line : lines) {
        at = out_.find(line, at);
        ASSERT_NE(at, std::string::npos) << line << "in\n" << out_;
    }
    EXPECT_EQ(Run({"--list", P("UNINST.EXE")}), kExitFailure);
    EXPECT_NE(err_.find("uninstaller (use --dump)"), std::string::npos) << err_;

    file[kStub.size() + kRecordSize + 10] ^= 1;
    Write("UNINST.EXE", file);
    EXPECT_EQ(Run({"--dump", P("UNINST.EXE")}), kExitFailure);
    EXPECT_NE(err_.find("records checksum mismatch"), std::string::npos) << err_;
    EXPECT_NE(out_.find("directory C:\\Program Files\\Velto\n"), std::string::npos) << out_;

    Bytes cut(file.begin() + 1, file.end());
    Write("UNINST.EXE", cut);
    EXPECT_EQ(Run({"--dump", P("UNINST.EXE")}), kExitFailure);
    EXPECT_NE(err_.find("but the file has"), std::string::npos) << err_;
}

TEST_F(MksetupCli, SignedInstallersAreReadUpToTheirCertificateTable) {
    const std::vector<NamedFile> files = {{"A.TXT", StructuredBytes(5000)}, {"B.BIN", RandomBytes(3000, 7)}};
    Bytes installer = BuildInstaller(files);
    ASSERT_EQ(installer.size() % 8, 0u);
    // What a signing tool does: the table right after the trailer, named in
    // the image's security directory (PE32: optional header at 0x58).
    const size_t securityEntry = 0x58 + 96 + 4 * 8;
    const uint32_t table = static_cast<uint32_t>(installer.size());
    installer.resize(table + 1024, 0xCE);
    StoreLE32(&installer[securityEntry], table);
    StoreLE32(&installer[securityEntry + 4], 1024);
    Write("signed.exe", installer);
    ASSERT_EQ(Run({"--verify", P("signed.exe")}), kExitOk) << err_;
    ASSERT_EQ(Run({"--list", P("signed.exe")}), kExitOk) << err_;
    EXPECT_NE(out_.find("Signature:   1024 bytes"), std::string::npos) << out_;
    ASSERT_EQ(Run({"--extract", P("signed.exe"), P("out")}), kExitOk) << err_;
    EXPECT_TRUE(Read("out/B.BIN") == files[1].Data);

    // The same bytes without the directory entry are a damaged file.
    StoreLE32(&installer[securityEntry + 4], 0);
    Write("signed.exe", installer);
    EXPECT_EQ(Run({"--verify", P("signed.exe")}), kExitFailure);
    EXPECT_NE(err_.find("trailer checksum mismatch"), std::string::npos) << err_;
}

TEST_F(MksetupCli, ProgressInPercentOnATerminal) {
    Write("p/BIG.BIN", RandomBytes(6 * 1000 * 1000, 3));
    terminal_ = true;
    ASSERT_EQ(Run({"-o", P("x.exe"), "--stub", P("stub.exe"), "-C", P("p"), "."}), kExitOk) << err_;
    for (const char* shown : {"\rmksetup: compressing BIG.BIN (6.0 MB): 17%", "(6.0 MB): 87%\r", ": done \n"}) {
        EXPECT_NE(err_.find(shown), std::string::npos) << err_;
    }
}

TEST(MksetupStub, OnlyAnUnsignedI686OrX8664GuiProgramCanBeTheStub) {
    Bytes notPe = kStub;
    notPe[0x41] = 'X';  // "PX\0\0"
    Bytes signedStub = kStub;
    StoreLE32(&signedStub[0x58 + 96 + 4 * 8], 2048);
    StoreLE32(&signedStub[0x58 + 96 + 4 * 8 + 4], 952);
    const Bytes x64 = TinyWindowsImage(3000, 0x8664, 0x20B);
    Bytes signedX64 = x64;  // PE32+: the directories start 16 bytes later
    StoreLE32(&signedX64[0x58 + 112 + 4 * 8], 2048);
    StoreLE32(&signedX64[0x58 + 112 + 4 * 8 + 4], 952);
    struct Case {
        const char* what;
        Bytes image;
        uint16_t machine;     // asked for with --arch; 0: either
        std::string problem;  // empty: accepted
    };
    const Case cases[] = {
        {"GUI program", kStub, 0, ""},
        {"x86-64 GUI program", x64, 0, ""},
        {"i686 asked for", kStub, kPeMachineI386, ""},
        {"x86-64 asked for", x64, kPeMachineAmd64, ""},
        {"i686, x86-64 asked for", kStub, kPeMachineAmd64, "an i686 program, not the x86-64 setup program"},
        {"x86-64, i686 asked for", x64, kPeMachineI386, "an x86-64 program, not the i686 setup program"},
        {"random bytes", RandomBytes(3000, 4), 0, "not a Windows program"},
        {"no PE signature", notPe, 0, "not a Windows program"},
        {"cut in the header", Bytes(kStub.begin(), kStub.begin() + 0x80), 0, "not a Windows program"},
        {"x86-64 machine, PE32 header", TinyWindowsImage(3000, 0x8664, 0x10B), 0,
         "not an i686 or x86-64 Windows program"},
        {"ARM", TinyWindowsImage(3000, 0x1C4), 0, "not an i686 or x86-64 Windows program"},
        {"console", TinyWindowsImage(3000, 0x14C, 0x10B, 3), 0, "a console program"},
        {"x86-64 console", TinyWindowsImage(3000, 0x8664, 0x20B, 3), 0, "a console program"},
        {"native", TinyWindowsImage(3000, 0x14C, 0x10B, 1), 0, "not a Windows GUI program"},
        {"signed", signedStub, 0, "signed; give the unsigned setup program"},
        {"signed x86-64", signedX64, 0, "signed; give the unsigned setup program"},
    };
    for (const Case& c : cases) {
        const std::string problem = StubProblem("s.exe", c.image, c.machine);
        if (c.problem.empty()) {
            EXPECT_EQ(problem, "") << c.what;
        } else {
            EXPECT_EQ(problem.rfind("'s.exe': " + c.problem, 0), 0u) << c.what << ": " << problem;
        }
    }
}

TEST(MksetupStub, DefaultImageIsLookedForBesideTheToolThenInTheWindowsBuild) {
    EXPECT_EQ(DefaultStubCandidates("/b/host/tools/mksetup/mksetup", kPeMachineI386),
              (std::vector<std::string>{"/b/host/tools/mksetup/setup.exe",
                                        "/b/host/tools/mksetup/../../../win/src/setup.exe"}));
    EXPECT_EQ(DefaultStubCandidates("/b/host/tools/mksetup/mksetup", kPeMachineAmd64),
              (std::vector<std::string>{"/b/host/tools/mksetup/setup64.exe",
                                        "/b/host/tools/mksetup/../../../win64/src/setup.exe"}));
    EXPECT_TRUE(DefaultStubCandidates("", kPeMachineI386).empty());
}

}  // namespace
