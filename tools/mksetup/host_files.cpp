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

int SeekFile(std::FILE* f, uint64_t offset, int whence = SEEK_SET) {
#ifdef _WIN32
    return _fseeki64(f, static_cast<__int64>(offset), whence);
#else
    return fseeko(f, static_cast<off_t>(offset), whence);
#endif
}

uint64_t TellFile(std::FILE* f) {
#ifdef _WIN32
    return static_cast<uint64_t>(_ftelli64(f));
#else
    return static_cast<uint64_t>(ftello(f));
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

void VectorSink::InsertZeros(uint64_t offset, size_t count) {
    Bytes.insert(Bytes.begin() + static_cast<std::ptrdiff_t>(offset), count, 0);
}

AtomicOutFile::AtomicOutFile(const std::string& path) : path_(path), tempPath_(path + ".part") {
    // Read access too: InsertZeros moves what was written.
    file_ = std::fopen(tempPath_.c_str(), "w+b");
    if (!file_) Fail(tempPath_, "cannot create", errno);
}

AtomicOutFile::~AtomicOutFile() {
    if (file_) std::fclose(file_);
    if (!committed_) std::remove(tempPath_.c_str());
}

void AtomicOutFile::Write(const void* data, size_t size) {
    if (size && std::fwrite(data, 1, size, file_) != size) Fail(tempPath_, "write error", errno);
}

void AtomicOutFile::InsertZeros(uint64_t offset, size_t count) {
    if (std::fflush(file_) != 0) Fail(tempPath_, "write error", errno);
    if (SeekFile(file_, 0, SEEK_END) != 0) Fail(tempPath_, "cannot seek", errno);
    const uint64_t end = TellFile(file_);
    // From the end backwards, so no byte is overwritten before it is moved.
    std::vector<uint8_t> block(1 << 20);
    for (uint64_t at = end; at > offset;) {
        const size_t n = static_cast<size_t>(std::min<uint64_t>(block.size(), at - offset));
        at -= n;
        if (SeekFile(file_, at) != 0 || std::fread(block.data(), 1, n, file_) != n) {
            Fail(tempPath_, "read error", errno);
        }
        if (SeekFile(file_, at + count) != 0) Fail(tempPath_, "cannot seek", errno);
        Write(block.data(), n);
    }
    std::fill(block.begin(), block.begin() + static_cast<std::ptrdiff_t>(std::min(count, block.size())), 0);
    if (SeekFile(file_, offset) != 0) Fail(tempPath_, "cannot seek", errno);
    for (size_t left = count; left;) {
        const size_t n = std::min(left, block.size());
        Write(block.data(), n);
        left -= n;
    }
    if (SeekFile(file_, 0, SEEK_END) != 0) Fail(tempPath_, "cannot seek", errno);
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

uint64_t HostFileSize(const std::string& path) {
    uint64_t size = 0;
    if (!StatPath(path, &size, nullptr)) Fail(path, "cannot read its size", errno);
    return size;
}

bool SameHostFile(const std::string& a, const std::string& b) {
#ifdef _WIN32
    auto identify = [](const std::string& path, BY_HANDLE_FILE_INFORMATION* info) {
        HANDLE h = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        if (h == INVALID_HANDLE_VALUE) return false;
        bool ok = GetFileInformationByHandle(h, info) != 0;
        CloseHandle(h);
        return ok;
    };
    BY_HANDLE_FILE_INFORMATION x, y;
    return identify(a, &x) && identify(b, &y) && x.dwVolumeSerialNumber == y.dwVolumeSerialNumber &&
           x.nFileIndexHigh == y.nFileIndexHigh && x.nFileIndexLow == y.nFileIndexLow;
#else
    struct stat x, y;
    return stat(a.c_str(), &x) == 0 && stat(b.c_str(), &y) == 0 && x.st_dev == y.st_dev && x.st_ino == y.st_ino;
#endif
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
            case PathKind::File: out.push_back(relName); break;
            case PathKind::Directory: ListInto(root, relName, depth + 1, out); break;
            case PathKind::Missing: throw Exception("'" + full + "': cannot read (a broken link?)");
            case PathKind::Other: throw Exception("'" + full + "': not a regular file");
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
