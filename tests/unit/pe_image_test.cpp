// Program headers as the installer reads them: where a signed installer's
// appended data ends, and the copy of a signed image made unsigned.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "errors.h"
#include "pe_image.h"
#include "test_images.h"

namespace {

using Bytes = std::vector<uint8_t>;

// Offsets in TinyWindowsImage: optional header at 0x58 (PE32).
constexpr size_t kChecksumAt = 0x58 + 64;
constexpr size_t kSecurityAt = 0x58 + 96 + 4 * 8;

// `image` followed by `appended` bytes and a certificate table of
// `tableSize` bytes that the security directory names at `tableAt`
// (default: right after the appended bytes).
Bytes Signed(Bytes image, size_t appended, uint32_t tableSize, int64_t tableAt = -1) {
    image.resize(image.size() + appended, 0x5A);
    const uint32_t at = tableAt < 0 ? static_cast<uint32_t>(image.size()) : static_cast<uint32_t>(tableAt);
    image.resize(image.size() + tableSize, 0xCE);
    StoreLE32(&image[kSecurityAt], at);
    StoreLE32(&image[kSecurityAt + 4], tableSize);
    StoreLE32(&image[kChecksumAt], 0x1234ABCD);
    return image;
}

TEST(PeImage, AppendedDataEndsBeforeACertificateTableThatEndsTheFile) {
    const Bytes plain = TinyWindowsImage(4096);
    Bytes pe64 = Signed(TinyWindowsImage(4096, 0x8664, 0x20B), 0, 0);
    StoreLE32(&pe64[0x58 + 108], 16);  // PE32+: directory count and entries 16 bytes later
    StoreLE32(&pe64[0x58 + 112 + 32], 4096);
    StoreLE32(&pe64[0x58 + 112 + 36], 512);
    pe64.resize(4096 + 512);
    Bytes notPe = plain;
    notPe[0x40] = 'X';
    Bytes early = TinyWindowsImage(1024);  // a table ending the file with no room for a trailer
    StoreLE32(&early[kSecurityAt], 200);
    StoreLE32(&early[kSecurityAt + 4], 824);
    struct Case {
        const char* what;
        Bytes file;
        int64_t end;
    };
    const Case cases[] = {
        {"unsigned", plain, 4096},
        {"signed", Signed(plain, 1000, 2048), 5096},
        {"PE32+", pe64, 4096},
        {"table not at the end", Signed(plain, 1000, 2048, 4096), 4096 + 1000 + 2048},
        {"no room for a trailer", early, 1024},
        {"not a program", Signed(notPe, 1000, 2048), 4096 + 1000 + 2048},
        {"empty file", Bytes(), 0},
    };
    for (const Case& c : cases) {
        MemoryByteSource src(c.file.data(), c.file.size());
        EXPECT_EQ(AppendedDataEnd(src, static_cast<int64_t>(c.file.size())), c.end) << c.what;
    }
}

TEST(PeImage, ReadsTheTrailerBeforeTheTable) {
    // Image, then an installer-like trailer, then the table.
    Bytes file = TinyWindowsImage(2000);
    uint8_t trailer[kTrailerSize];
    EncodeTrailer(MakeTrailer(2000, 0, "Signed", "INS"), trailer);
    file.insert(file.end(), trailer, trailer + kTrailerSize);
    file.insert(file.end(), {1, 2, 3, 4});
    file = Signed(file, 0, 1024);
    MemoryByteSource whole(file.data(), file.size());
    const int64_t end = AppendedDataEnd(whole, static_cast<int64_t>(file.size()));
    LimitedByteSource src(whole, end);
    EXPECT_EQ(ReadTrailer(src, false).Title.Get(), "Signed");
    // Nothing beyond the limit can be read.
    uint8_t byte;
    uint32_t got = 1;
    ASSERT_TRUE(src.SeekTo(end - 1));
    EXPECT_TRUE(src.Read(&byte, 1, &got) && got == 1 && byte == 4);
    EXPECT_TRUE(src.Read(&byte, 1, &got) && got == 0);
    EXPECT_FALSE(src.SeekFromEnd(end + 1));
}

TEST(PeImage, ClearingTheSignatureTouchesOnlyItsFields) {
    const Bytes image = Signed(TinyWindowsImage(1024), 0, 512);
    Bytes cleared = image;
    ASSERT_TRUE(ClearSignatureFields(cleared.data(), 1024));
    for (size_t i = 0; i < image.size(); ++i) {
        const bool field = (i >= kChecksumAt && i < kChecksumAt + 4) || (i >= kSecurityAt && i < kSecurityAt + 8);
        EXPECT_EQ(cleared[i], field ? 0 : image[i]) << i;
    }
    PeHeaders h;
    ASSERT_TRUE(ParsePeHeaders(cleared.data(), cleared.size(), &h));
    EXPECT_EQ(h.SecurityOffset, 0u);
    EXPECT_EQ(h.SecuritySize, 0u);

    // Headers that do not lie within the bytes given are left alone.
    Bytes cut = image;
    EXPECT_FALSE(ClearSignatureFields(cut.data(), kSecurityAt + 4));
    EXPECT_FALSE(ClearSignatureFields(cut.data(), 0x3C));
    cut[0] = 'X';
    EXPECT_FALSE(ClearSignatureFields(cut.data(), cut.size()));
    cut[0] = 'M';
    EXPECT_TRUE(cut == image);
}

}  // namespace
