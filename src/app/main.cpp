// Program entry of the setup program. No command line: only the path of
// the running executable is used.
#include <windows.h>

#include "app/startup.h"
#include "exit_codes.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return RunSetupProgram(); }

// The handler of a fatal C++ error (an exception thrown where none may be).
// The library's default prints a demangled type name to a console this GUI
// program does not have and brings a demangler of some 50 KB into the
// executable; ending the process is all that is left to do anyway. It has
// to be defined here, in the executable's own object, to take the place of
// the library's. Its exit code is that of an undo left incomplete: what the
// run had made is not rolled back, and its journal is left for the next
// start.
namespace __gnu_cxx {
void __verbose_terminate_handler() { ExitProcess(kExitRollbackIncomplete); }
}  // namespace __gnu_cxx

// The library reports misuse of its containers (a string longer than the
// maximum, an index out of range) through these functions. Its own copies
// raise exception classes whose messages are kept in a second, reference-
// counted string type, which brings about 50 KB of library code into the
// executable. Here they raise this program's own exceptions instead, which
// the error box reports like any other failure.
#include <new>

#include "errors.h"

namespace std {
void __throw_bad_alloc() { throw std::bad_alloc(); }
void __throw_bad_array_new_length() { throw std::bad_alloc(); }
void __throw_bad_function_call() { throw Exception("Event handler not assigned"); }
void __throw_length_error(const char* what) { throw Exception(what); }
void __throw_logic_error(const char* what) { throw Exception(what); }
void __throw_out_of_range_fmt(const char* what, ...) { throw Exception(what); }
}  // namespace std
