// The two setup programs as built (both Windows builds beside this one):
// what Windows reads from their files before any of their code runs.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "pe_image.h"

namespace {

struct Image {
    std::string name;
    std::vector<uint8_t> bytes;
    PeHeaders headers;

    // The file offset of an address of the loaded image; 0 when no section
    // holds it.
    uint32_t Offset(uint32_t rva) const {
        for (uint16_t i = 0; i < headers.SectionCount; ++i) {
            const uint8_t* s = &bytes.at(headers.SectionsAt + 40u * i);
            const uint32_t address = LoadLE32(s + 12), size = LoadLE32(s + 16), raw = LoadLE32(s + 20);
            if (rva >= address && rva < address + size) return raw + (rva - address);
        }
        return 0;
    }
    uint32_t At32(uint32_t offset) const { return LoadLE32(&bytes.at(offset)); }
    uint16_t At16(uint32_t offset) const { return static_cast<uint16_t>(bytes.at(offset) | bytes.at(offset + 1) << 8); }
    // Address and size of a data directory.
    std::pair<uint32_t, uint32_t> Directory(uint32_t index) const {
        if (index >= headers.DirectoryCount) return {0, 0};
        return {At32(headers.DirectoriesAt + 8 * index), At32(headers.DirectoriesAt + 8 * index + 4)};
    }

    std::vector<std::string> Imports() const {
        std::vector<std::string> dlls;
        for (uint32_t at = Offset(Directory(kPeImportDirectory).first); at && At32(at + 12); at += 20) {
            std::string name(reinterpret_cast<const char*>(&bytes.at(Offset(At32(at + 12)))));
            std::transform(name.begin(), name.end(), name.begin(), ::tolower);
            dlls.push_back(name);
        }
        return dlls;
    }

    // The data of resource `id` of `type` (its first language); empty when
    // there is none.
    std::string Resource(uint16_t type, uint16_t id) const {
        const uint32_t root = Offset(Directory(kPeResourceDirectory).first);
        if (!root) return std::string();
        // One level of the tree: the entry of `key` (an id), or 0.
        auto entry = [&](uint32_t dir, uint32_t key, bool first) -> uint32_t {
            const uint32_t named = At16(dir + 12), ids = At16(dir + 14);
            for (uint32_t i = 0; i < named + ids; ++i) {
                const uint32_t e = dir + 16 + 8 * i;
                if (first ? i >= named : At32(e) == key) return At32(e + 4);
            }
            return 0;
        };
        uint32_t typeEntry = entry(root, type, false);
        if (!(typeEntry & 0x80000000u)) return std::string();
        uint32_t idEntry = entry(root + (typeEntry & 0x7FFFFFFFu), id, false);
        if (!(idEntry & 0x80000000u)) return std::string();
        uint32_t languageEntry = entry(root + (idEntry & 0x7FFFFFFFu), 0, true);
        if (!languageEntry || (languageEntry & 0x80000000u)) return std::string();
        const uint32_t data = root + languageEntry;
        const uint32_t at = Offset(At32(data));
        return std::string(reinterpret_cast<const char*>(&bytes.at(at)), At32(data + 4));
    }
};

Image Load(const std::string& folder) {
    Image image;
    image.name = std::string(SETUP_BUILD_DIR) + "/" + folder + "/src/setup.exe";
    std::ifstream in(image.name, std::ios::binary);
    image.bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return image;
}

// A text as a resource stores it: UTF-16, little-endian.
std::string Wide(const std::string& text) {
    std::string wide;
    for (char c : text) wide += {c, '\0'};
    return wide;
}

class SetupImage : public testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        image = Load(GetParam());
        ASSERT_FALSE(image.bytes.empty()) << image.name << " is missing: build the setup programs first (make build)";
        ASSERT_TRUE(ParsePeHeaders(image.bytes.data(), image.bytes.size(), &image.headers)) << image.name;
    }
    bool Is64() const { return image.headers.Magic == kPeMagic64; }
    Image image;
};

TEST_P(SetupImage, LoadsAtARandomAddressWithDataThatNeverExecutes) {
    const uint16_t flags = image.headers.DllCharacteristics;
    EXPECT_TRUE(flags & kPeDynamicBase);
    EXPECT_TRUE(flags & kPeNxCompat);
    EXPECT_EQ((flags & kPeHighEntropyVa) != 0, Is64());
    EXPECT_FALSE(image.headers.Characteristics & kPeRelocsStripped);
    // The relocation table is there and starts with a block of one page.
    const auto relocations = image.Directory(kPeRelocationDirectory);
    ASSERT_GT(relocations.second, 8u);
    const uint32_t block = image.Offset(relocations.first);
    ASSERT_NE(block, 0u);
    EXPECT_EQ(image.At32(block) % 0x1000, 0u);
    EXPECT_GE(image.At32(block + 4), 10u);
    EXPECT_LE(image.At32(block + 4), relocations.second);
}

TEST_P(SetupImage, ImportsOnlyDllsWindowsLoadsFromItsKnownList) {
    const std::vector<std::string> known = {"kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll",
                                            "shell32.dll",  "ole32.dll",  "msvcrt.dll"};
    const std::vector<std::string> imports = image.Imports();
    ASSERT_FALSE(imports.empty());
    for (const std::string& dll : imports)
        EXPECT_NE(std::find(known.begin(), known.end(), dll), known.end())
            << dll << " could be taken from the folder of SETUP.EXE";
}

TEST_P(SetupImage, ManifestAsksForAdministratorCommonControls6AndTheScreensResolution) {
    const std::string manifest = image.Resource(24, 1);
    ASSERT_FALSE(manifest.empty()) << "no manifest";
    for (const char* part : {
             "<requestedExecutionLevel level=\"requireAdministrator\" uiAccess=\"false\"/>",
             "name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\"", "publicKeyToken=\"6595b64144ccf1df\"",
             "<dpiAware xmlns=\"http://schemas.microsoft.com/SMI/2005/WindowsSettings\">true</dpiAware>",
             "<supportedOS Id=\"{e2011457-1546-43c5-a5fe-008deee3d3f0}\"/>",  // Vista
             "<supportedOS Id=\"{35138b9a-5d96-4fbd-8e2d-a2440225f93a}\"/>",  // 7
             "<supportedOS Id=\"{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}\"/>",  // 8
             "<supportedOS Id=\"{1f676c76-80e1-4239-95bb-83d0f6d0da78}\"/>",  // 8.1
             "<supportedOS Id=\"{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}\"/>",  // 10 and 11
         })
        EXPECT_NE(manifest.find(part), std::string::npos) << part;
}

TEST_P(SetupImage, VersionInformationNamesTheProduct) {
    const std::string version = image.Resource(16, 1);
    ASSERT_GT(version.size(), 40u + 52u) << "no version information";
    // The fixed part after the key "VS_VERSION_INFO": signature, structure
    // version, then the file version 1.2.0.0 (major, minor / build, revision).
    const size_t fixed = version.find(Wide("VS_VERSION_INFO"));
    ASSERT_NE(fixed, std::string::npos);
    const auto* info = reinterpret_cast<const uint8_t*>(version.data()) + fixed + 34;
    EXPECT_EQ(LoadLE32(info), 0xFEEF04BDu);
    EXPECT_EQ(LoadLE32(info + 8), 0x00010002u);
    EXPECT_EQ(LoadLE32(info + 12), 0u);
    for (const auto& [key, value] : {std::pair<const char*, const char*>{"ProductName", "Velto - Technology Demo"},
                                     {"FileDescription", "Velto - Technology Demo Setup"},
                                     {"FileVersion", "1.2.0.0"},
                                     {"ProductVersion", "1.2.0.0"},
                                     {"OriginalFilename", "SETUP.EXE"}}) {
        const size_t at = version.find(Wide(key));
        ASSERT_NE(at, std::string::npos) << key;
        // The value follows its key after padding to 4 bytes.
        EXPECT_NE(version.find(Wide(value), at), std::string::npos) << key;
        EXPECT_LT(version.find(Wide(value), at), at + 2 * (std::string(key).size() + 4)) << key;
    }
}

TEST_P(SetupImage, IconComesIn16_32And48Pixels) {
    const std::string group = image.Resource(14, 1);
    ASSERT_GE(group.size(), 6u) << "no icon";
    const auto* g = reinterpret_cast<const uint8_t*>(group.data());
    const int count = g[4] | g[5] << 8;
    ASSERT_EQ(group.size(), 6u + 14u * count);
    std::vector<int> sizes;
    for (int i = 0; i < count; ++i) {
        const uint8_t* e = g + 6 + 14 * i;
        sizes.push_back(e[0]);
        const std::string icon = image.Resource(3, static_cast<uint16_t>(e[12] | e[13] << 8));
        EXPECT_EQ(icon.size(), LoadLE32(e + 8)) << "icon of " << int(e[0]) << " pixels";
    }
    EXPECT_EQ(sizes, (std::vector<int>{16, 32, 48}));
}

INSTANTIATE_TEST_SUITE_P(Builds, SetupImage, testing::Values("win", "win64"),
                         [](const testing::TestParamInfo<const char*>& info) {
                             return std::string(info.param) == "win" ? "i686" : "x86_64";
                         });

}  // namespace
