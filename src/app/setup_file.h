// The running executable as a setup file: opened for reading and its
// trailer read and checked, the first step of every start.
#pragma once

#include <string>

#include "layout.h"
#include "runtime/handles.h"

struct AcceptedSetup {
    FileHandle File;  // open for reading; the uninstall run reads on from it
    SetupTrailer Trailer;
    SetupRole Role;
    // Where the file's own data ends: before a signature's certificate
    // table, else the file's length.
    int64_t DataEnd;
};

// Opens `path` for reading (existing file, others may read, sequential
// access): failure ESetupError 20000. Then reads the trailer with its
// checksum (20003 when the file is shorter than the trailer, 20002 on a
// failed or short read, 20004 on a mismatch) and accepts only the
// signatures "INS" and "UNI" (else 20004). The file is never written.
AcceptedSetup OpenSetupFile(const std::string& path);
