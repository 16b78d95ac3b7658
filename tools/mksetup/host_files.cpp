#include "host_files.h"

#include <dirent.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "errors.h"

#ifdef _WIN32
#include <direct.h>
#include <io.h>
#include <windows.h>
#endif

namespace {

[[noreturn]] void Fail(const std::string& path, const std::string& what, int err) {
    throw Exception("'" + path + "': " + what + ": " + std::strerror(err));
}

int SeekFile(std::FILE* f, uint64_t offset) {
#ifdef _WIN32
    return _fseeki64(f, static_cast<__int64>(offset), SEEK_SET);
#else
    return fseeko(f, static_cast<off_t>(offset), SEEK_SET);
#endif
}

bool StatPath(const std::string& path, uint64_t* size, int* mode) {
#ifdef _WIN32
    struct _stati64 st;
    if (_stati64(path.c_str(), &st) != 0) return false;
#else
    struct stat st;
    if (stat(path.c_str(), &st) != 0) return false;
#endif
    if (size) *size = static_cast<uint64_t>(st.st_size);
    if (mode) *mode = st.st_mode;
    return true;
}

int MakeOneDirectory(const std::string& dir) {
#ifdef _WIN32
    return _mkdir(dir.c_str());
#else
    return mkdir(dir.c_str(), 0777);
#endif
}

}  // namespace

InFile::InFile(const std::string& path) : path_(path) {
    int mode = 0;
    if (!StatPath(path, nullptr, &mode)) Fail(path, "cannot open", errno);
    if (S_ISDIR(mode)) throw Exception("'" + path + "': is a folder, not a file");
    file_ = std::fopen(path.c_str(), "rb");
    if (!file_) Fail(path, "cannot open", errno);
    // The size of the open file, not of whatever the name meant a moment ago.
#ifdef _WIN32
    struct _stati64 st;
    int rc = _fstati64(_fileno(file_), &st);
#else
    struct stat st;
    int rc = fstat(fileno(file_), &st);
#endif
    if (rc != 0) {
        int err = errno;
        std::fclose(file_);
        Fail(path, "cannot read its size", err);
    }
    size_ = static_cast<uint64_t>(st.st_size);
}

InFile::~InFile() {
    if (file_) std::fclose(file_);
}

void InFile::SeekTo(uint64_t offset) {
    if (SeekFile(file_, offset) != 0) Fail(path_, "cannot seek", errno);
}

size_t InFile::Read(void* buffer, size_t size) {
    size_t got = std::fread(buffer, 1, size, file_);
    if (got < size && std::ferror(file_)) Fail(path_, "read error", errno);
    return got;
}

void InFile::ReadExact(void* buffer, size_t size) {
    if (Read(buffer, size) != size) throw Exception("'" + path_ + "': unexpected end of file");
}

bool FileByteSource::SeekFromEnd(int64_t distance) {
    if (distance < 0 || static_cast<uint64_t>(distance) > file_.Size()) return false;
    file_.SeekTo(file_.Size() - static_cast<uint64_t>(distance));
    return true;
}

bool FileByteSource::SeekTo(int64_t offset) {
    if (offset < 0) return false;
    file_.SeekTo(static_cast<uint64_t>(offset));
    return true;
}

bool FileByteSource::Read(void* buffer, uint32_t size, uint32_t* got) {
    *got = static_cast<uint32_t>(file_.Read(buffer, size));
    return true;
}

void VectorSink::Write(const void* data, size_t size) {
    const uint8_t* p = static_cast<const uint8_t*>(data);
    Bytes.insert(Bytes.end(), p, p + size);
}

AtomicOutFile::AtomicOutFile(const std::string& path) : path_(path), tempPath_(path + ".part") {
    file_ = std::fopen(tempPath_.c_str(), "wb");
    if (!file_) Fail(tempPath_, "cannot create", errno);
}

AtomicOutFile::~AtomicOutFile() {
    if (file_) std::fclose(file_);
    if (!committed_) std::remove(tempPath_.c_str());
}

void AtomicOutFile::Write(const void* data, size_t size) {
    if (size && std::fwrite(data, 1, size, file_) != size) Fail(tempPath_, "write error", errno);
}

void AtomicOutFile::Commit() {
    std::FILE* f = file_;
    file_ = nullptr;
    if (std::fflush(f) != 0) {
        int err = errno;
        std::fclose(f);
        Fail(tempPath_, "write error", err);
    }
    if (std::fclose(f) != 0) Fail(tempPath_, "write error", errno);
#ifdef _WIN32
    // rename() does not replace an existing file on Windows.
    if (!MoveFileExA(tempPath_.c_str(), path_.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        throw Exception("'" + path_ + "': cannot replace it (error " + std::to_string(GetLastError()) + ")");
    }
#else
    if (std::rename(tempPath_.c_str(), path_.c_str()) != 0) Fail(path_, "cannot create", errno);
#endif
    committed_ = true;
}

std::vector<uint8_t> ReadWholeFile(const std::string& path) {
    InFile in(path);
    if (in.Size() > SIZE_MAX / 2) throw Exception("'" + path + "': too large");
    std::vector<uint8_t> data(static_cast<size_t>(in.Size()));
    in.ReadExact(data.data(), data.size());
    // A file that grew while it was read would be packed cut short.
    uint8_t extra;
    if (in.Read(&extra, 1) != 0) throw Exception("'" + path + "': changed while it was read");
    return data;
}

PathKind GetPathKind(const std::string& path) {
    int mode = 0;
    if (!StatPath(path, nullptr, &mode)) return PathKind::Missing;
    if (S_ISDIR(mode)) return PathKind::Directory;
    if (S_ISREG(mode)) return PathKind::File;
    return PathKind::Other;
}

namespace {

void ListInto(const std::string& root, const std::string& rel, int depth, std::vector<std::string>& out) {
    const std::string dir = rel.empty() ? root : JoinHostPath(root, rel);
    if (depth > 64) throw Exception("'" + dir + "': folders nested too deep (a link loop?)");
    DIR* d = opendir(dir.c_str());
    if (!d) Fail(dir, "cannot list", errno);
    std::vector<std::string> names;
    errno = 0;
    while (struct dirent* e = readdir(d)) {
        std::string name = e->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    int err = errno;
    closedir(d);
    if (err != 0) Fail(dir, "cannot list", err);
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
        const std::string relName = rel.empty() ? name : rel + "/" + name;
        const std::string full = JoinHostPath(root, relName);
        switch (GetPathKind(full)) {
            case PathKind::File:
                out.push_back(relName);
                break;
            case PathKind::Directory:
                ListInto(root, relName, depth + 1, out);
                break;
            case PathKind::Missing:
                throw Exception("'" + full + "': cannot read (a broken link?)");
            case PathKind::Other:
                throw Exception("'" + full + "': not a regular file");
        }
    }
}

}  // namespace

std::vector<std::string> ListFilesBelow(const std::string& dir) {
    std::vector<std::string> out;
    ListInto(dir, std::string(), 0, out);
    return out;
}

void MakeDirectories(const std::string& dir) {
    if (dir.empty() || GetPathKind(dir) == PathKind::Directory) return;
    std::string::size_type slash = dir.find_last_of('/');
    if (slash != std::string::npos && slash > 0) MakeDirectories(dir.substr(0, slash));
    if (MakeOneDirectory(dir) != 0 && errno != EEXIST) Fail(dir, "cannot create folder", errno);
    if (GetPathKind(dir) != PathKind::Directory) throw Exception("'" + dir + "': exists and is not a folder");
}

std::string JoinHostPath(const std::string& dir, const std::string& name) {
    if (dir.empty()) return name;
    if (dir.back() == '/') return dir + name;
    return dir + "/" + name;
}

std::string HostDirName(const std::string& path) {
    std::string::size_type slash = path.find_last_of("/\\");
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string RunningProgramPath() {
#ifdef _WIN32
    char buffer[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, buffer, sizeof buffer);
    if (n == 0 || n >= sizeof buffer) return std::string();
    return std::string(buffer, n);
#else
    char buffer[4096];
    ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer);
    if (n <= 0 || static_cast<size_t>(n) >= sizeof buffer) return std::string();
    return std::string(buffer, static_cast<size_t>(n));
#endif
}

bool StderrIsTerminal() {
#ifdef _WIN32
    return _isatty(_fileno(stderr)) != 0;
#else
    return isatty(fileno(stderr)) != 0;
#endif
}
