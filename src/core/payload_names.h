// Rules for the file names stored in an installer's directory, shared by the
// setup program (which refuses an unsafe name as a damaged installer) and the
// packaging tool (which refuses it before packing). Names are byte strings in
// the Windows code page 1252, relative to the destination, with "\" (or "/",
// which Windows reads the same way) between components.
#pragma once

#include <string>

// Why a stored name could be written outside the destination or open
// something other than a file there; nullptr when it is safe. Refused:
// - an empty name, a leading separator (absolute or UNC), any ":" (drive,
//   alternate data stream);
// - a component ".." or ".", or one ending in a dot or a blank (Windows
//   drops those, so "a." would open "a");
// - any byte below 0x20;
// - a component naming a device (IsDeviceName).
// Empty components between separators are left to Windows, which merges
// them.
const char* UnsafePayloadNameReason(const std::string& name);

inline bool IsSafePayloadName(const std::string& name) { return UnsafePayloadNameReason(name) == nullptr; }

// True when Windows opens `component` as a device whatever folder it is in:
// CON, PRN, AUX, NUL, CONIN$, CONOUT$, COM0-COM9 and LPT0-LPT9, and COM or
// LPT followed by the code page's superscript one, two or three (0xB9, 0xB2,
// 0xB3); in any letter case, with blanks before the extension, with or
// without an extension ("nul.txt", "Com1 .log").
bool IsDeviceName(const std::string& component);

// Where a stored name is written, relative to the destination: any case of
// "WSOCK32.DLL" goes to "DLL\WSOCK32.DLL"; other names stay as they are.
std::string InstalledPayloadName(const std::string& name);

// Upper case the way Windows compares file names in code page 1252: a-z,
// the letters 0xE0-0xFE except the division sign 0xF7 (to 0xC0-0xDE),
// and 0x9A, 0x9C, 0x9E, 0xFF (to 0x8A, 0x8C, 0x8E, 0x9F). Every other byte
// stays. Two names with the same fold are the same file on Windows.
std::string FoldCase1252(const std::string& s);

enum class Utf8Conversion { Ok, NotUtf8, NotInCodePage };

// Converts a UTF-8 host name into code page 1252 ("caf\xC3\xA9" becomes
// "caf\xE9"). On failure `out` is left alone and `bad` receives the
// character the code page has no byte for (its UTF-8 bytes) or, for text
// that is not UTF-8, the first offending byte as "\xHH". The five bytes the
// code page leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) are never
// produced.
Utf8Conversion Utf8ToCodePage1252(const std::string& utf8, std::string* out, std::string* bad);

// The reverse, for showing stored names on the host: every byte maps to its
// character; the five undefined bytes become U+0081 etc., as on Windows.
std::string CodePage1252ToUtf8(const std::string& text);
