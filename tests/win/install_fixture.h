// Common ground of the installation tests: installers built in memory from
// a set of files, a scratch destination on disk, and file helpers.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "crc32.h"
#include "layout.h"
#include "lzss_encoder.h"
#include "uninstall_log.h"

namespace install_test {

namespace fs = std::filesystem;

using Bytes = std::vector<uint8_t>;

struct PackedFile {
    std::string Name;  // as stored in the directory
    Bytes Data;
};

// Bytes that compress only in part: a repeating text with a noisy tail.
inline Bytes SampleBytes(size_t size, uint32_t seed) {
    Bytes b(size);
    uint32_t x = seed * 2654435761u + 1;
    for (size_t i = 0; i < size; ++i) {
        x = x * 1103515245u + 12345u;
        b[i] = (i / 64) % 2 ? static_cast<uint8_t>(x >> 24) : static_cast<uint8_t>("velto demo "[i % 11]);
    }
    return b;
}

struct BuiltInstaller {
    Bytes File;
    size_t ImageSize = 0;
    size_t DirectoryOffset = 0;
    std::vector<size_t> StreamOffsets;  // where each file's stream starts
};

// An installer: `imageSize` bytes of image, the streams, the directory,
// their checksum and an "INS" trailer with its checksum.
inline BuiltInstaller BuildInstaller(const std::vector<PackedFile>& files, size_t imageSize = 5000,
                                     const std::string& title = "Velto - Technology Demo") {
    BuiltInstaller out;
    out.File = SampleBytes(imageSize, 7);
    out.ImageSize = imageSize;
    Bytes directory;
    for (const PackedFile& f : files) {
        out.StreamOffsets.push_back(out.File.size());
        Bytes stream;
        LzssEncode(f.Data.data(), f.Data.size(), stream);
        out.File.insert(out.File.end(), stream.begin(), stream.end());
        uint8_t entry[kDirectoryEntrySize];
        EncodeDirectoryEntry(
            MakeDirectoryEntry(f.Name, static_cast<uint32_t>(stream.size()), Crc32Of(f.Data.data(), f.Data.size())),
            entry);
        directory.insert(directory.end(), entry, entry + kDirectoryEntrySize);
    }
    out.DirectoryOffset = out.File.size();
    out.File.insert(out.File.end(), directory.begin(), directory.end());
    uint8_t word[4];
    StoreLE32(word, Crc32Of(directory.data(), directory.size()));
    out.File.insert(out.File.end(), word, word + 4);
    uint8_t trailer[kTrailerSize];
    SetupTrailer t = MakeTrailer(static_cast<int32_t>(imageSize), static_cast<int32_t>(files.size()), title, "INS");
    // Leftover bytes after the title and a padding value, as real builds
    // have: they must travel unchanged into the uninstaller.
    for (size_t i = 1 + title.size(); i < kShortStringField; ++i) t.Title.Bytes[i] = static_cast<uint8_t>(i);
    t.Padding = 0x5A;
    EncodeTrailer(t, trailer);
    out.File.insert(out.File.end(), trailer, trailer + kTrailerSize);
    StoreLE32(word, Crc32Of(trailer, kTrailerSize));
    out.File.insert(out.File.end(), word, word + 4);
    return out;
}

inline void WriteBytes(const std::string& path, const Bytes& data) {
    std::ofstream f(fs::u8path(path), std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
}

inline Bytes ReadBytes(const std::string& path) {
    std::ifstream f(fs::u8path(path), std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

inline bool IsFile(const std::string& path) {
    DWORD a = GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

inline bool IsDir(const std::string& path) {
    DWORD a = GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

// The log as (kind, path) pairs, head first.
inline std::vector<std::pair<int, std::string>> LogItems(const UninstallLog& log) {
    std::vector<std::pair<int, std::string>> items;
    for (const UninstallRecord* r = log.Head.get(); r; r = r->Next.get()) items.emplace_back(r->Kind, r->Path());
    return items;
}

// A fresh folder under the temporary folder with the subdirectories the
// destination page creates; removed with everything in it.
class Destination {
public:
    Destination() {
        char tmp[MAX_PATH];
        GetTempPathA(MAX_PATH, tmp);
        char name[MAX_PATH];
        GetTempFileNameA(tmp, "ins", 0, name);
        DeleteFileA(name);
        path_ = name;
        fs::create_directories(path_);
        for (const char* sub : {"DLL", "Upload", "Download"}) fs::create_directories(path_ + "\\" + sub);
    }
    ~Destination() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    Destination(const Destination&) = delete;
    Destination& operator=(const Destination&) = delete;
    const std::string& Path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "\\" + name; }
    // Every file below the folder, relative, sorted.
    std::vector<std::string> Files() const {
        std::vector<std::string> names;
        for (const auto& e : fs::recursive_directory_iterator(path_))
            if (e.is_regular_file()) names.push_back(fs::relative(e.path(), path_).string());
        std::sort(names.begin(), names.end());
        return names;
    }

private:
    std::string path_;
};

}  // namespace install_test
