#include "runtime/win_byte_source.h"

#include "errors.h"
#include "pe_image.h"

namespace {

// SetFilePointer with a 64-bit distance; a result before the start of the
// file is refused by the system (ERROR_NEGATIVE_SEEK).
bool MoveTo(HANDLE file, int64_t distance, DWORD method) {
    LONG high = static_cast<LONG>(distance >> 32);
    SetLastError(NO_ERROR);
    DWORD low = SetFilePointer(file, static_cast<LONG>(distance & 0xFFFFFFFF), &high, method);
    return !(low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR);
}

}  // namespace

bool HandleByteSource::SeekFromEnd(int64_t distance) { return distance >= 0 && MoveTo(file_, -distance, FILE_END); }

bool HandleByteSource::SeekTo(int64_t offset) { return offset >= 0 && MoveTo(file_, offset, FILE_BEGIN); }

bool HandleByteSource::Read(void* buffer, uint32_t size, uint32_t* got) {
    DWORD n = 0;
    BOOL ok = ReadFile(file_, buffer, size, &n, nullptr);
    *got = n;
    return ok != 0;
}

int64_t SetupFileLength(HANDLE file) {
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file, &size)) throw ESetupError(SE_GETFILESIZE);
    return size.QuadPart;
}

int64_t SetupDataEnd(HANDLE file) {
    HandleByteSource source(file);
    return AppendedDataEnd(source, SetupFileLength(file));
}
