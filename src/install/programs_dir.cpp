#include "install/programs_dir.h"

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <algorithm>

#include "paths.h"

namespace {

// The COM task allocator, released on every way out.
class TaskAllocator {
public:
    TaskAllocator() {
        if (FAILED(CoGetMalloc(1, &malloc_))) malloc_ = nullptr;
    }
    ~TaskAllocator() {
        if (malloc_) malloc_->Release();
    }
    TaskAllocator(const TaskAllocator&) = delete;
    TaskAllocator& operator=(const TaskAllocator&) = delete;
    IMalloc* get() const { return malloc_; }

private:
    IMalloc* malloc_ = nullptr;
};

// An item-id list owned until the allocator frees it.
class ItemIdList {
public:
    explicit ItemIdList(IMalloc* allocator) : allocator_(allocator) {}
    ~ItemIdList() {
        if (pidl_) allocator_->Free(pidl_);
    }
    ItemIdList(const ItemIdList&) = delete;
    ItemIdList& operator=(const ItemIdList&) = delete;
    LPITEMIDLIST* out() { return &pidl_; }
    LPITEMIDLIST get() const { return pidl_; }

private:
    IMalloc* allocator_;
    LPITEMIDLIST pidl_ = nullptr;
};

}  // namespace

std::string GetProgramsDir() {
    // Without the task allocator there is no Programs folder to be had; the
    // caller reports that as a failure, which rolls the installation back.
    TaskAllocator allocator;
    if (!allocator.get()) return std::string();
    ItemIdList pidl(allocator.get());
    if (FAILED(SHGetSpecialFolderLocation(nullptr, CSIDL_PROGRAMS, pidl.out()))) return std::string();
    char buf[MAX_PATH + 1] = {0};
    if (!SHGetPathFromIDListA(pidl.get(), buf)) return std::string();
    return buf;
}

namespace {

struct FindHandle {
    HANDLE h;
    ~FindHandle() {
        if (h != INVALID_HANDLE_VALUE) FindClose(h);
    }
};

}  // namespace

std::vector<std::string> ListProgramFolders(const std::string& dir) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA data;
    FindHandle find{FindFirstFileA(JoinPath(dir, "*.*").c_str(), &data)};
    if (find.h == INVALID_HANDLE_VALUE) return names;
    const DWORD skipped = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | 0x8 /* volume label */;
    do {
        const std::string name = data.cFileName;
        if ((data.dwFileAttributes & skipped) != 0) continue;
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) continue;
        if (name == "." || name == "..") continue;
        names.push_back(name);
    } while (FindNextFileA(find.h, &data));
    std::sort(names.begin(), names.end(),
              [](const std::string& a, const std::string& b) { return lstrcmpiA(a.c_str(), b.c_str()) < 0; });
    return names;
}
