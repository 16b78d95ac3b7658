// Checksums, the on-disk layouts and the trailer reader.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "crc32.h"
#include "errors.h"
#include "layout.h"

namespace {

uint32_t ByteWiseCrc(const std::vector<uint8_t>& v) {
    uint32_t crc = 0;
    for (uint8_t b : v) crc = Crc32Update(b, crc);
    return Crc32Finish(crc);
}

TEST(Crc32, CheckValuesAndTable) {
    EXPECT_EQ(Crc32Of("", 0), 0xFFFFFFFFu);
    EXPECT_EQ(Crc32Of("abc", 3), 0x359A672Fu);
    EXPECT_EQ(kCrc32Table[1], 0x77073096u);
    EXPECT_EQ(kCrc32Table[255], 0x2D02EF8Du);
    // Started from 0 it is not the common CRC-32 of "123456789" (0xCBF43926).
    EXPECT_NE(Crc32Of("123456789", 9), 0xCBF43926u);
}

TEST(Crc32, BlockEqualsByteWiseAtEveryLengthAndSplit) {
    std::mt19937 rng(7);
    std::vector<uint8_t> data(1031);
    for (auto& b : data) b = static_cast<uint8_t>(rng());
    for (size_t len : {0u, 1u, 3u, 4u, 5u, 7u, 8u, 63u, 1031u}) {
        std::vector<uint8_t> part(data.begin(), data.begin() + len);
        EXPECT_EQ(Crc32Of(part.data(), len), ByteWiseCrc(part)) << len;
        for (size_t split = 0; split <= len; split += 3) {
            uint32_t crc = Crc32Block(part.data(), split, 0);
            crc = Crc32Block(part.data() + split, len - split, crc);
            EXPECT_EQ(Crc32Finish(crc), ByteWiseCrc(part)) << len << "/" << split;
        }
    }
}

std::vector<uint8_t> Garbage(size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    std::vector<uint8_t> v(n);
    for (auto& b : v) b = static_cast<uint8_t>(rng());
    return v;
}

TEST(Layout, TrailerRoundTripKeepsMeaninglessBytes) {
    std::vector<uint8_t> raw = Garbage(kTrailerSize, 1);
    raw[8] = 5;  // Title length
    SetupTrailer t = DecodeTrailer(raw.data());
    uint8_t back[kTrailerSize];
    EncodeTrailer(t, back);
    EXPECT_EQ(0, std::memcmp(back, raw.data(), kTrailerSize));
    EXPECT_EQ(t.Title.Get(), std::string(reinterpret_cast<const char*>(raw.data() + 9), 5));
    EXPECT_EQ(static_cast<uint32_t>(t.ImageSize), LoadLE32(raw.data()));
    EXPECT_EQ(static_cast<uint32_t>(t.Count), LoadLE32(raw.data() + 4));
    EXPECT_EQ(t.Padding, raw[267]);
}

TEST(Layout, TrailerFieldsAtTheirOffsets) {
    SetupTrailer t = MakeTrailer(0x01020304, 7, "Velto - Technology Demo", "INS");
    uint8_t raw[kTrailerSize];
    EncodeTrailer(t, raw);
    const uint8_t head[] = {0x04, 0x03, 0x02, 0x01, 7, 0, 0, 0, 23, 'V'};
    EXPECT_EQ(0, std::memcmp(raw, head, sizeof head));
    EXPECT_EQ(0, std::memcmp(raw + 264, "INS", 3));
    for (size_t i = 8 + 1 + 23; i < 264; ++i) EXPECT_EQ(raw[i], 0) << i;
    EXPECT_EQ(raw[267], 0);
}

TEST(Layout, DirectoryEntryRoundTripAndOffsets) {
    std::vector<uint8_t> raw = Garbage(kDirectoryEntrySize, 2);
    raw[0] = 11;
    FileDirectoryEntry e = DecodeDirectoryEntry(raw.data());
    uint8_t back[kDirectoryEntrySize];
    EncodeDirectoryEntry(e, back);
    EXPECT_EQ(0, std::memcmp(back, raw.data(), kDirectoryEntrySize));
    EXPECT_EQ(e.CompressedSize, LoadLE32(raw.data() + 256));
    EXPECT_EQ(e.Crc, LoadLE32(raw.data() + 260));
    EXPECT_EQ(e.Name.Get().size(), 11u);

    FileDirectoryEntry made = MakeDirectoryEntry("DLL\\WSOCK32.DLL", 0xAABBCCDD, 0x11223344);
    EncodeDirectoryEntry(made, back);
    EXPECT_EQ(back[0], 15);
    EXPECT_EQ(0, std::memcmp(back + 1, "DLL\\WSOCK32.DLL", 15));
    EXPECT_EQ(LoadLE32(back + 256), 0xAABBCCDDu);
    EXPECT_EQ(LoadLE32(back + 260), 0x11223344u);
}

TEST(Layout, StringFieldCutsAt255AndSetOverKeepsTheRest) {
    ShortStringField f;
    std::memset(f.Bytes, 0xAB, sizeof f.Bytes);
    f.SetOver("abc");
    EXPECT_EQ(f.Get(), "abc");
    EXPECT_EQ(f.Bytes[4], 0xAB);
    f.Set(std::string(300, 'x'));
    EXPECT_EQ(f.Get(), std::string(255, 'x'));
    f.Set("");
    EXPECT_EQ(f.Get(), "");
    EXPECT_EQ(f.Bytes[1], 0);
}

TEST(Layout, RegionOffsetsOfTheExampleInstaller) {
    // A 280,064-byte image and four streams totalling 305,656 bytes.
    const int64_t length = 280064 + 305656 + 4 * 264 + 276;
    EXPECT_EQ(length, 587052);
    EXPECT_EQ(DirectoryOffset(length, 4), 585720);
    EXPECT_EQ(RegionChecksumOffset(length), length - 276);
    EXPECT_EQ(DirectoryOffset(280064 + 276, 0), 280064);  // Count 0: empty directory
}

// A file image ending in a valid trailer and checksum.
std::vector<uint8_t> FileWithTrailer(size_t bodySize, const char sig[3]) {
    std::vector<uint8_t> file = Garbage(bodySize, 3);
    uint8_t raw[kTrailerSize];
    EncodeTrailer(MakeTrailer(static_cast<int32_t>(bodySize), 0, "T", sig), raw);
    file.insert(file.end(), raw, raw + kTrailerSize);
    uint8_t crc[4];
    StoreLE32(crc, Crc32Of(raw, kTrailerSize));
    file.insert(file.end(), crc, crc + 4);
    return file;
}

int ReadError(ByteSource& src, bool check) {
    try {
        ReadTrailer(src, check);
    } catch (const ESetupError& e) {
        return e.Id;
    }
    return 0;
}

TEST(TrailerReader, AcceptsValidTrailerAndChoosesRole) {
    for (const char* sig : {"INS", "UNI"}) {
        std::vector<uint8_t> file = FileWithTrailer(1000, sig);
        MemoryByteSource src(file.data(), file.size());
        SetupTrailer t = ReadTrailer(src, true);
        EXPECT_EQ(t.ImageSize, 1000);
        EXPECT_EQ(t.Title.Get(), "T");
        EXPECT_EQ(CheckSignature(t), sig[0] == 'I' ? SetupRole::Install : SetupRole::Uninstall);
    }
}

TEST(TrailerReader, ShortFileFailsPositioning) {
    for (size_t size : {0u, 1u, 271u}) {
        std::vector<uint8_t> file(size, 0);
        MemoryByteSource src(file.data(), file.size());
        EXPECT_EQ(ReadError(src, true), SE_SETFILEPOINTER) << size;
    }
    std::vector<uint8_t> exact = FileWithTrailer(0, "INS");  // exactly 272 bytes
    MemoryByteSource src(exact.data(), exact.size());
    EXPECT_EQ(ReadError(src, true), 0);
}

// Returns fewer bytes than asked for, or fails, at a chosen read.
class FaultySource : public MemoryByteSource {
public:
    FaultySource(const std::vector<uint8_t>& v, int faultyRead, bool fail)
        : MemoryByteSource(v.data(), v.size()), faultyRead_(faultyRead), fail_(fail) {}
    bool Read(void* buffer, uint32_t size, uint32_t* got) override {
        if (reads_++ == faultyRead_) {
            if (fail_) return false;
            return MemoryByteSource::Read(buffer, size - 1, got);
        }
        return MemoryByteSource::Read(buffer, size, got);
    }

private:
    int reads_ = 0;
    int faultyRead_;
    bool fail_;
};

TEST(TrailerReader, FailedOrShortReadsAreReadFileFailed) {
    std::vector<uint8_t> file = FileWithTrailer(10, "INS");
    for (int which : {0, 1}) {
        for (bool fail : {true, false}) {
            FaultySource src(file, which, fail);
            EXPECT_EQ(ReadError(src, true), SE_READFILE) << which << fail;
        }
    }
    // Without the check the checksum is not read at all.
    FaultySource src(file, 1, true);
    EXPECT_EQ(ReadError(src, false), 0);
}

TEST(TrailerReader, EveryFlippedByteIsCorrupt) {
    const std::vector<uint8_t> good = FileWithTrailer(50, "INS");
    for (size_t pos = good.size() - 272; pos < good.size(); ++pos) {
        std::vector<uint8_t> bad = good;
        bad[pos] ^= 0x01;
        MemoryByteSource src(bad.data(), bad.size());
        EXPECT_EQ(ReadError(src, true), SE_CORRUPT) << pos;
    }
}

TEST(TrailerReader, OnlyExactSignaturesAreAccepted) {
    for (const char* sig : {"ins", "Ins", "XYZ", "UNi", "IN\0"}) {
        std::vector<uint8_t> file = FileWithTrailer(10, sig);
        MemoryByteSource src(file.data(), file.size());
        SetupTrailer t = ReadTrailer(src, true);  // checksum matches
        EXPECT_THROW(
            {
                try {
                    CheckSignature(t);
                } catch (const ESetupError& e) {
                    EXPECT_EQ(e.Id, SE_CORRUPT);
                    throw;
                }
            },
            ESetupError)
            << sig;
    }
}

TEST(Messages, TheTwelveTextsExactly) {
    const std::pair<int, const char*> table[] = {
        {20000, "CreateFile failed"},     {20001, "GetFileSize failed"},   {20002, "ReadFile failed"},
        {20003, "SetFilePointer failed"}, {20004, "Setup Corrupt."},       {20005, "GetUniqueFilenameInDir failed"},
        {20006, "BlockRead failed"},      {20007, "BlockWrite failed"},    {20008, "Setup Cancelled."},
        {20009, "GetProgramsDir failed"}, {20010, "MakeDirectory failed"}, {20011, "CreateLink failed"},
    };
    for (const auto& row : table) {
        EXPECT_STREQ(SetupMessageText(row.first), row.second);
        EXPECT_EQ(ESetupError(row.first).Message, row.second);
    }
    EXPECT_EQ(SetupMessageText(19999), nullptr);
    EXPECT_EQ(SetupMessageText(20012), nullptr);
}

TEST(Messages, InOutErrorTexts) {
    EXPECT_EQ(EInOutError(5).Message, "File access denied");
    EXPECT_EQ(EInOutError(112).Message, "Disk full");
    EXPECT_EQ(EInOutError(2).Message, "File not found");
    EXPECT_EQ(EInOutError(1234).Message, "I/O error 1234");
    EXPECT_EQ(EInOutError(0).Message, "I/O error 0");
    EXPECT_EQ(EInOutError(-17).Message, "I/O error -17");
    EXPECT_EQ(EInOutError(-2147483647 - 1).Message, "I/O error -2147483648");
}

}  // namespace
