#include "app/setup_file.h"

#include <windows.h>

#include "errors.h"
#include "pe_image.h"
#include "runtime/win_byte_source.h"

AcceptedSetup OpenSetupFile(const std::string& path) {
    FileHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) throw ESetupError(SE_CREATEFILE);
    // A signed file keeps its trailer before the certificate table.
    const int64_t end = SetupDataEnd(file.Get());
    HandleByteSource whole(file.Get());
    LimitedByteSource source(whole, end);
    SetupTrailer trailer = ReadTrailer(source, true);
    SetupRole role = CheckSignature(trailer);
    return AcceptedSetup{std::move(file), trailer, role, end};
}
