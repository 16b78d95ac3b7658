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

// Where a setup file's own data ends: before the certificate table that
// signing appends, else at the end of the file. Raises ESetupError 20001
// when the file's length cannot be had. The handle's position moves.
int64_t SetupDataEnd(HANDLE file);

// Length of the open file; ESetupError 20001 when it cannot be had.
int64_t SetupFileLength(HANDLE file);
