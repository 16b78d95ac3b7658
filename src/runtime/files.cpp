#include "runtime/files.h"

#include "crc32.h"

namespace {

[[noreturn]] void RaiseLastError() {
    DWORD code = GetLastError();
    throw EInOutError(code ? static_cast<int>(code) : 100);
}

FileHandle OpenFile(const std::string& path, DWORD access, DWORD creation) {
    FileHandle h(CreateFileA(path.c_str(), access, FILE_SHARE_READ, nullptr, creation, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!h) RaiseLastError();
    return h;
}

}  // namespace

HANDLE TBinaryFile::Require() const {
    if (!handle_) throw EInOutError(kFileNotOpen);
    return handle_.Get();
}

void TBinaryFile::Rewrite(const std::string& path) {
    handle_.Reset();
    handle_ = OpenFile(path, GENERIC_READ | GENERIC_WRITE, CREATE_ALWAYS);
    path_ = path;
}

bool TBinaryFile::CreateNew(const std::string& path) {
    handle_.Reset();
    handle_.Reset(CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!handle_) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) return false;
        RaiseLastError();
    }
    path_ = path;
    return true;
}

void TBinaryFile::Reset(const std::string& path) {
    handle_.Reset();
    handle_ = OpenFile(path, GENERIC_READ, OPEN_EXISTING);
    path_ = path;
}

void TBinaryFile::Seek(int64_t position) {
    LARGE_INTEGER to;
    to.QuadPart = position;
    if (position < 0 || !SetFilePointerEx(Require(), to, nullptr, FILE_BEGIN)) {
        if (position < 0) SetLastError(ERROR_NEGATIVE_SEEK);
        RaiseLastError();
    }
}

int64_t TBinaryFile::Size() const {
    LARGE_INTEGER size;
    if (!GetFileSizeEx(Require(), &size)) RaiseLastError();
    return size.QuadPart;
}

uint32_t TBinaryFile::BlockRead(void* buffer, uint32_t count) {
    DWORD got = 0;
    if (!ReadFile(Require(), buffer, count, &got, nullptr)) RaiseLastError();
    return got;
}

uint32_t TBinaryFile::BlockWrite(const void* buffer, uint32_t count) {
    DWORD written = 0;
    if (!WriteFile(Require(), buffer, count, &written, nullptr)) RaiseLastError();
    return written;
}

void TBinaryFile::Close() {
    HANDLE h = Require();
    handle_.Release();
    if (!CloseHandle(h)) RaiseLastError();
}

void TTextFile::Rewrite(const std::string& path) {
    buffer_.clear();
    file_.Rewrite(path);
}

void TTextFile::Write(const std::string& text) {
    if (!file_.IsOpen()) throw EInOutError(kFileNotOpen);
    buffer_ += text;
    if (buffer_.size() >= 4096) Flush();
}

void TTextFile::WriteLn(const std::string& line) {
    Write(line);
    Write("\r\n");
}

void TTextFile::Flush() {
    if (buffer_.empty()) return;
    const uint32_t size = static_cast<uint32_t>(buffer_.size());
    // A short write of a text file means the disk is full.
    if (file_.BlockWrite(buffer_.data(), size) != size) throw EInOutError(ERROR_DISK_FULL);
    buffer_.clear();
}

void TTextFile::Close() {
    if (!file_.IsOpen()) throw EInOutError(kFileNotOpen);
    Flush();
    file_.Close();
}

void TTextFile::Discard() noexcept {
    buffer_.clear();
    file_.Discard();
}

std::string GetCurrentDir() {
    char buf[MAX_PATH + 1];
    DWORD n = GetCurrentDirectoryA(sizeof buf, buf);
    if (n == 0 || n >= sizeof buf) return std::string();
    return std::string(buf, n);
}

bool SetCurrentDir(const std::string& path) { return !path.empty() && SetCurrentDirectoryA(path.c_str()) != 0; }

void ChDir(const std::string& path) {
    if (path.empty()) throw EInOutError(ERROR_PATH_NOT_FOUND);
    if (!SetCurrentDirectoryA(path.c_str())) RaiseLastError();
}

bool FileExists(const std::string& path) {
    DWORD attrs = GetFileAttributesA(path.c_str());
    return attrs != INVALID_FILE_ATTRIBUTES && !(attrs & FILE_ATTRIBUTE_DIRECTORY);
}

bool BearsLoggedName(const std::string& path) {
    const size_t sep = path.find_last_of("\\/:");
    const std::string name = sep == std::string::npos ? path : path.substr(sep + 1);
    // A wildcard would make the look-up a search that may find some other
    // file: such a name is never one setup gave.
    if (name.find_first_of("*?") != std::string::npos) return false;
    WIN32_FIND_DATAA found;
    FindHandle find(FindFirstFileA(path.c_str(), &found));
    return !find || (name == found.cFileName && !(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY));
}

bool PathExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string ExecutablePath() {
    char buf[MAX_PATH + 1];
    DWORD n = GetModuleFileNameA(nullptr, buf, sizeof buf);
    if (n == 0 || n >= sizeof buf) return std::string();
    return std::string(buf, n);
}

bool FileChecksum(const std::string& path, uint32_t* crc) {
    FileHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) return false;
    uint32_t running = 0;
    char block[65536];
    DWORD got = 0;
    for (;;) {
        if (!ReadFile(file.Get(), block, sizeof block, &got, nullptr)) return false;
        if (got == 0) break;
        running = Crc32Block(block, got, running);
    }
    *crc = Crc32Finish(running);
    return true;
}
