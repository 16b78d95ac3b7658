// The uninstaller writer: the file it writes, the merge with an earlier
// uninstaller, and what a failure leaves behind.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "container/uninstaller_writer.h"
#include "errors.h"
#include "install_fixture.h"

using namespace install_test;

namespace {

struct Item {
    int Kind;
    std::string Path;
    uint32_t RootKey = 0;
    bool operator==(const Item& o) const { return Kind == o.Kind && Path == o.Path; }
};

std::ostream& operator<<(std::ostream& os, const Item& i) { return os << i.Kind << ":" << i.Path; }

// An uninstaller file as the writer lays it out, for old files in tests;
// `damage` flips one byte at that offset from the end (0: none).
Bytes UninstallerBytes(const Bytes& image, const std::vector<Item>& items, size_t damageFromEnd = 0) {
    Bytes out = image;
    uint32_t crc = 0;
    for (const Item& i : items) {
        uint8_t rec[kRecordImageSize];
        EncodeRecord(*MakeRecord(static_cast<UninstallKind>(i.Kind), i.Path, i.RootKey), rec);
        out.insert(out.end(), rec, rec + kRecordImageSize);
        crc = Crc32Block(rec, kRecordImageSize, crc);
    }
    uint8_t word[4];
    StoreLE32(word, Crc32Finish(crc));
    out.insert(out.end(), word, word + 4);
    uint8_t trailer[kTrailerSize];
    EncodeTrailer(MakeTrailer(static_cast<int32_t>(image.size()), static_cast<int32_t>(items.size()), "Old", "UNI"),
                  trailer);
    out.insert(out.end(), trailer, trailer + kTrailerSize);
    StoreLE32(word, Crc32Of(trailer, kTrailerSize));
    out.insert(out.end(), word, word + 4);
    if (damageFromEnd) out[out.size() - damageFromEnd] ^= 0x20;
    return out;
}

// What a written uninstaller holds, checked against its own layout.
struct ParsedUninstaller {
    Bytes Image;
    std::vector<Item> Items;
    SetupTrailer Trailer;
};

ParsedUninstaller Parse(const Bytes& file) {
    ParsedUninstaller p{};
    EXPECT_GE(file.size(), kTailSize);
    if (file.size() < kTailSize) return p;
    const uint8_t* trailer = &file[file.size() - kTrailerDistance];
    EXPECT_EQ(Crc32Of(trailer, kTrailerSize), LoadLE32(&file[file.size() - 4])) << "trailer checksum";
    p.Trailer = DecodeTrailer(trailer);
    const size_t records = static_cast<size_t>(p.Trailer.Count) * kRecordSize;
    EXPECT_EQ(file.size(), p.Trailer.ImageSize + records + kTailSize) << "file length";
    if (file.size() != p.Trailer.ImageSize + records + kTailSize) return p;
    p.Image.assign(file.begin(), file.begin() + p.Trailer.ImageSize);
    const uint8_t* rec = &file[p.Trailer.ImageSize];
    EXPECT_EQ(Crc32Of(rec, records), LoadLE32(rec + records)) << "records checksum";
    for (int32_t i = 0; i < p.Trailer.Count; ++i) {
        auto r = DecodeRecord(rec + i * kRecordSize);
        p.Items.push_back({r->Kind, r->Path(), r->RootKey});
    }
    return p;
}

class UninstallerWriterTest : public ::testing::Test {
protected:
    void SetUp() override {
        installer_ = BuildInstaller({{"A.TXT", SampleBytes(100, 1)}}, 10000);
        WriteBytes(installerPath_, installer_.File);
        job_.InstallerPath = installerPath_;
        job_.DestDir = dest_.Path();
        job_.Title = "Velto - Technology Demo";
    }
    void Log(const std::vector<Item>& items) {
        // Pushed oldest first, so the log's head is the first item.
        for (auto it = items.rbegin(); it != items.rend(); ++it)
            PushRecord(log_, static_cast<UninstallKind>(it->Kind), it->Path, it->RootKey);
    }
    std::string Target() const { return dest_ / "UNINST.EXE"; }
    std::vector<Item> Logged() const {
        std::vector<Item> items;
        for (auto& [kind, path] : LogItems(log_)) items.push_back({kind, path});
        return items;
    }

    Destination scratch_;
    Destination dest_;
    std::string installerPath_ = scratch_ / "SETUP.EXE";
    BuiltInstaller installer_;
    UninstallerJob job_;
    UninstallLog log_;
};

const std::vector<Item> kInstallation = {
    {ukRegistryKey, "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Velto", 0x80000002u},
    {ukFile, "C:\\Menu\\Velto\\Velto Documentation.lnk"},
    {ukFile, "C:\\Menu\\Velto\\Velto.lnk"},
    {ukDirectory, "C:\\Menu\\Velto"},
    {ukFile, "C:\\Velto\\VELTO.EXE"},
    {ukDirectory, "C:\\Velto\\DLL"},
    {ukDirectory, "C:\\Velto"},
};

TEST_F(UninstallerWriterTest, NewFileHoldsImageRecordsAndEditedTrailer) {
    Log(kInstallation);
    WriteUninstallerFile(job_, log_);
    EXPECT_TRUE(log_.Empty());
    const Bytes file = ReadBytes(Target());
    ParsedUninstaller p = Parse(file);
    EXPECT_EQ(p.Image, Bytes(installer_.File.begin(), installer_.File.begin() + installer_.ImageSize));
    EXPECT_EQ(p.Items, kInstallation);
    EXPECT_EQ(p.Items[0].RootKey, 0x80000002u);
    // The trailer differs from the installer's in Count and Signature only.
    Bytes expected(installer_.File.end() - kTrailerDistance, installer_.File.end() - 4);
    StoreLE32(&expected[4], static_cast<uint32_t>(kInstallation.size()));
    std::memcpy(&expected[264], "UNI", 3);
    EXPECT_EQ(Bytes(file.end() - kTrailerDistance, file.end() - 4), expected);
    EXPECT_EQ(dest_.Files(), (std::vector<std::string>{"UNINST.EXE"}));  // no temporary file left
}

TEST_F(UninstallerWriterTest, KeptCopiesLeftAtFinishAreRecordedAheadOfTheLog) {
    Log(kInstallation);
    job_.LeftFiles = {"C:\\Velto\\~KEPT0.TMP", "C:\\Velto\\" + std::string(300, 'x')};  // too long: dropped
    WriteUninstallerFile(job_, log_);
    std::vector<Item> expected = {{ukFile, "C:\\Velto\\~KEPT0.TMP"}};
    expected.insert(expected.end(), kInstallation.begin(), kInstallation.end());
    EXPECT_EQ(Parse(ReadBytes(Target())).Items, expected);
}

TEST_F(UninstallerWriterTest, EmptyLogGivesImageAndTailOnly) {
    job_.Title = "Other title";
    WriteUninstallerFile(job_, log_);
    const Bytes file = ReadBytes(Target());
    ASSERT_EQ(file.size(), installer_.ImageSize + kTailSize);
    EXPECT_EQ(LoadLE32(&file[installer_.ImageSize]), 0xFFFFFFFFu);
    ParsedUninstaller p = Parse(file);
    EXPECT_EQ(p.Trailer.Count, 0);
    EXPECT_EQ(p.Trailer.Title.Get(), "Other title");
    // Only the length and the characters are written over the title field.
    EXPECT_EQ(p.Trailer.Title.Bytes[200], 200);
    EXPECT_EQ(p.Trailer.Padding, 0x5A);
}

TEST_F(UninstallerWriterTest, IntactOldUninstallerIsMergedWithoutDuplicates) {
    const std::vector<Item> old = {
        {ukFile, "C:\\Velto\\OLDONLY.TXT"},
        {ukFile, "c:\\velto\\velto.exe"},  // the same file in other letters
        {ukRegistryKey, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Velto", 0x80000001u},
        {ukDirectory, "C:\\Velto\\VELTO.EXE"},  // another kind: not the same
        {ukFile, "C:\\VELTO\\OLDONLY.TXT"},     // a duplicate within the old file
        {ukDirectory, "C:\\Old"},
    };
    WriteBytes(Target(), UninstallerBytes(SampleBytes(3000, 5), old));
    Log(kInstallation);
    WriteUninstallerFile(job_, log_);
    std::vector<Item> expected = kInstallation;
    expected.push_back({ukFile, "C:\\Velto\\OLDONLY.TXT"});
    expected.push_back({ukDirectory, "C:\\Velto\\VELTO.EXE"});
    expected.push_back({ukDirectory, "C:\\Old"});
    EXPECT_EQ(Parse(ReadBytes(Target())).Items, expected);
    EXPECT_TRUE(log_.Empty());
}

TEST_F(UninstallerWriterTest, DamagedOldUninstallerIsIgnoredSilently) {
    const std::vector<Item> old = {{ukFile, "C:\\Velto\\OLDONLY.TXT"}, {ukDirectory, "C:\\Old"}};
    const Bytes oldImage = SampleBytes(3000, 5);
    const size_t tail = kTailSize;
    const struct {
        const char* what;
        size_t fromEnd;
    } cases[] = {
        {"trailer title byte", kTrailerDistance - 100},
        {"trailer padding", 5},
        {"trailer checksum", 1},
        {"record path", tail + kRecordSize + 10},
        {"record padding byte", tail + 5},
        {"records checksum", tail - 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        WriteBytes(Target(), UninstallerBytes(oldImage, old, c.fromEnd));
        Log(kInstallation);
        WriteUninstallerFile(job_, log_);
        EXPECT_EQ(Parse(ReadBytes(Target())).Items, kInstallation);
    }
    // Files whose trailer and records checksums both match but whose length
    // is not image + records + tail, which the uninstall run refuses too:
    // nothing to merge either.
    const Bytes intact = UninstallerBytes(oldImage, old);
    auto withCount = [&](int32_t count) {
        Bytes b = intact;
        Bytes trailer(b.end() - kTrailerDistance, b.end() - 4);
        StoreLE32(&trailer[4], static_cast<uint32_t>(count));
        std::copy(trailer.begin(), trailer.end(), b.end() - kTrailerDistance);
        StoreLE32(&b[b.size() - 4], Crc32Of(trailer.data(), kTrailerSize));
        return b;
    };
    auto padded = [&](size_t at, size_t bytes) {
        Bytes b = intact;
        b.insert(b.begin() + static_cast<ptrdiff_t>(at), bytes, 0);
        return b;
    };
    // The first record alone, with its own checksum, as if Count were 1.
    Bytes firstOnly = withCount(1);
    StoreLE32(&firstOnly[firstOnly.size() - kTailSize], Crc32Of(&firstOnly[oldImage.size()], kRecordSize));
    const struct {
        const char* what;
        Bytes file;
    } lengths[] = {
        {"count pointing past the end", withCount(50)},
        {"padding between the records and their checksum", padded(intact.size() - kTailSize, 264)},
        {"a count smaller than the records held", firstOnly},
    };
    for (const auto& c : lengths) {
        SCOPED_TRACE(c.what);
        WriteBytes(Target(), c.file);
        Log(kInstallation);
        WriteUninstallerFile(job_, log_);
        EXPECT_EQ(Parse(ReadBytes(Target())).Items, kInstallation);
    }
}

TEST_F(UninstallerWriterTest, FolderWithTheTemporaryNameIsPassedOver) {
    ASSERT_TRUE(CreateDirectoryA((dest_ / "UNINST0.TMP").c_str(), nullptr));
    Log(kInstallation);
    WriteUninstallerFile(job_, log_);
    EXPECT_EQ(Parse(ReadBytes(Target())).Items, kInstallation);
    const DWORD folder = GetFileAttributesA((dest_ / "UNINST0.TMP").c_str());
    EXPECT_TRUE(folder != INVALID_FILE_ATTRIBUTES && (folder & FILE_ATTRIBUTE_DIRECTORY));
    EXPECT_EQ(dest_.Files(), (std::vector<std::string>{"UNINST.EXE"}));
}

TEST_F(UninstallerWriterTest, ShortOldUninstallerFailsAndChangesNothing) {
    const Bytes shortFile(271, 'x');
    WriteBytes(Target(), shortFile);
    Log(kInstallation);
    EXPECT_THROW(WriteUninstallerFile(job_, log_), EInOutError);
    EXPECT_EQ(ReadBytes(Target()), shortFile);
    EXPECT_EQ(Logged(), kInstallation);
}

TEST_F(UninstallerWriterTest, WriteFailureKeepsOldUninstallerLogAndNoTemporaryFile) {
    const std::vector<Item> old = {{ukFile, "C:\\Velto\\OLDONLY.TXT"}};
    const Bytes oldFile = UninstallerBytes(SampleBytes(3000, 5), old);
    const int64_t full = static_cast<int64_t>(installer_.ImageSize + kInstallation.size() * kRecordSize + kTailSize);
    for (int64_t failAt : {int64_t(0), int64_t(4096), int64_t(10000) + 100, full - 1}) {
        SCOPED_TRACE(failAt);
        WriteBytes(Target(), oldFile);
        Log(kInstallation);
        job_.FailAfterBytes = failAt;
        EXPECT_THROW(WriteUninstallerFile(job_, log_), EInOutError);
        EXPECT_EQ(ReadBytes(Target()), oldFile);
        EXPECT_EQ(dest_.Files(), (std::vector<std::string>{"UNINST.EXE"}));
        // The log is as it was: the merged old record went out again.
        EXPECT_EQ(Logged(), kInstallation);
        log_.Clear();
    }
    // Exactly enough room: the write succeeds.
    Log(kInstallation);
    job_.FailAfterBytes = full + kRecordSize;
    WriteUninstallerFile(job_, log_);
    std::vector<Item> expected = kInstallation;
    expected.push_back(old[0]);
    EXPECT_EQ(Parse(ReadBytes(Target())).Items, expected);
}

TEST_F(UninstallerWriterTest, InstallerFailuresAreReportedWithTheirMessages) {
    const struct {
        const char* what;
        Bytes installer;  // empty: no file
        int expectedId;
    } cases[] = {
        {"missing installer", {}, SE_CREATEFILE},
        {"installer shorter than a trailer", Bytes(200, 'x'), SE_SETFILEPOINTER},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        DeleteFileA(installerPath_.c_str());
        if (!c.installer.empty()) WriteBytes(installerPath_, c.installer);
        Log(kInstallation);
        try {
            WriteUninstallerFile(job_, log_);
            ADD_FAILURE() << "no error";
        } catch (const ESetupError& e) {
            EXPECT_EQ(e.Id, c.expectedId);
        }
        EXPECT_FALSE(IsFile(Target()));
        EXPECT_TRUE(dest_.Files().empty());
        EXPECT_EQ(Logged(), kInstallation);
        log_.Clear();
    }
}

}  // namespace
