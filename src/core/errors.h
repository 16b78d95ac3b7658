// Exception classes shared by the setup program and the packaging tool.
// Portable: no window system, no OS headers.
#pragma once

#include <exception>
#include <string>

// Base of every failure this system raises; carries one message string.
class Exception : public std::exception {
public:
    explicit Exception(std::string message) : Message(std::move(message)) {}
    // Defined in errors.cpp, so that the class's table and destructor are
    // compiled once instead of into every file that raises an exception.
    ~Exception() override;
    const char* what() const noexcept override { return Message.c_str(); }
    std::string Message;
};

// Message identifiers of the setup program's own checks.
enum SetupMessageId : int {
    SE_CREATEFILE = 20000,
    SE_GETFILESIZE = 20001,
    SE_READFILE = 20002,
    SE_SETFILEPOINTER = 20003,
    SE_CORRUPT = 20004,
    SE_UNIQUEFILENAME = 20005,
    SE_BLOCKREAD = 20006,
    SE_BLOCKWRITE = 20007,
    SE_CANCELLED = 20008,
    SE_GETPROGRAMSDIR = 20009,
    SE_MAKEDIRECTORY = 20010,
    SE_CREATELINK = 20011,
};

constexpr int kFirstSetupMessage = SE_CREATEFILE;
constexpr int kLastSetupMessage = SE_CREATELINK;

// Text of one message identifier, exactly as the user sees it (before the
// error box appends its full stop). Unknown identifiers give nullptr.
const char* SetupMessageText(int id);

// A failure detected by the system itself; built from one message id.
class ESetupError : public Exception {
public:
    explicit ESetupError(int id);
    int Id;
};

// A fault of the run time's file operations, with the OS error code.
class EInOutError : public Exception {
public:
    explicit EInOutError(int errorCode);
    int ErrorCode;
};

// Text the run time shows for an OS error code of a file operation.
std::string InOutErrorText(int errorCode);

// A failed allocation.
class EOutOfMemory : public Exception {
public:
    EOutOfMemory() : Exception("Out of memory") {}
};
