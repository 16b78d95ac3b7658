#include "errors.h"

namespace {

struct MessageRow {
    int id;
    const char* text;
};

constexpr MessageRow kMessages[] = {
    {SE_CREATEFILE, "CreateFile failed"},
    {SE_GETFILESIZE, "GetFileSize failed"},
    {SE_READFILE, "ReadFile failed"},
    {SE_SETFILEPOINTER, "SetFilePointer failed"},
    {SE_CORRUPT, "Setup Corrupt."},
    {SE_UNIQUEFILENAME, "GetUniqueFilenameInDir failed"},
    {SE_BLOCKREAD, "BlockRead failed"},
    {SE_BLOCKWRITE, "BlockWrite failed"},
    {SE_CANCELLED, "Setup Cancelled."},
    {SE_GETPROGRAMSDIR, "GetProgramsDir failed"},
    {SE_MAKEDIRECTORY, "MakeDirectory failed"},
    {SE_CREATELINK, "CreateLink failed"},
};

}  // namespace

Exception::~Exception() = default;

const char* SetupMessageText(int id) {
    for (const MessageRow& row : kMessages) {
        if (row.id == id) return row.text;
    }
    return nullptr;
}

ESetupError::ESetupError(int id) : Exception(SetupMessageText(id) ? SetupMessageText(id) : ""), Id(id) {}

std::string InOutErrorText(int errorCode) {
    // The Win32 error codes a file operation can report, with the texts the
    // run time has always shown for them.
    switch (errorCode) {
        case 2: return "File not found";
        case 3: return "Path not found";
        case 4: return "Too many open files";
        case 5: return "File access denied";
        case 6: return "Invalid file handle";
        case 15: return "Invalid drive number";
        case 19: return "Disk write-protected";
        case 21: return "Drive not ready";
        case 32: return "File in use";
        case 39:
        case 112: return "Disk full";
        case 100: return "Disk read error";
        case 101: return "Disk write error";
        case 102: return "File not assigned";
        case 103: return "File not open";
        case 104: return "File not open for input";
        case 105: return "File not open for output";
        default: break;
    }
    // Formatted by hand: the C library's printf engine would add some 25 KB
    // to the setup program for this one message.
    std::string digits;
    unsigned magnitude = errorCode < 0 ? 0u - static_cast<unsigned>(errorCode) : static_cast<unsigned>(errorCode);
    do {
        digits.insert(digits.begin(), static_cast<char>('0' + magnitude % 10));
        magnitude /= 10;
    } while (magnitude > 0);
    if (errorCode < 0) digits.insert(digits.begin(), '-');
    return "I/O error " + digits;
}

EInOutError::EInOutError(int errorCode) : Exception(InOutErrorText(errorCode)), ErrorCode(errorCode) {}
