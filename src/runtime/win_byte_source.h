// A ByteSource over an open Win32 file handle (the running executable).
#pragma once

#include <windows.h>

#include "layout.h"

class HandleByteSource : public ByteSource {
public:
    // Does not take ownership of the handle.
    explicit HandleByteSource(HANDLE file) : file_(file) {}
    bool SeekFromEnd(int64_t distance) override;
    bool SeekTo(int64_t offset) override;
    bool Read(void* buffer, uint32_t size, uint32_t* got) override;

private:
    HANDLE file_;
};
