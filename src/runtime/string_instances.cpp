// The string class's members, compiled here with one section per function
// so that the linker keeps only those the program calls. Without this the
// library's precompiled copy of the whole class is linked in one piece.
#include <string>

template class std::basic_string<char>;
