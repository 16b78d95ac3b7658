// The product's fixed names, the same for the setup program and the
// packaging tool.
#pragma once

#include <cstdint>

// The setup program's version, named in the log of each run.
constexpr char kSetupVersion[] = "1.2";
// The title a packaged installer carries unless the vendor gives another.
constexpr char kProductTitle[] = "Velto - Technology Demo";
// The uninstaller the installation writes into its destination.
constexpr char kUninstallerName[] = "UNINST.EXE";
// The settings file the product writes beside itself (removed by the
// uninstaller's batch file).
constexpr char kProductSettingsName[] = "VELTO.INI";
// The folders setup makes in every destination, in the order it makes them.
constexpr const char* kDestinationFolders[] = {"DLL", "Upload", "Download"};
// The payload file that goes into "DLL" whatever its stored folder.
constexpr char kRedirectedDll[] = "WSOCK32.DLL";
constexpr char kRedirectFolder[] = "DLL";
// The product's uninstall entry below HKEY_LOCAL_MACHINE.
constexpr char kUninstallKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Velto";
constexpr uint32_t kUninstallRoot = 0x80000002u;  // HKEY_LOCAL_MACHINE
// The files of the payload that the setup program names itself, at the
// top of the destination: the program the first shortcut and Finish start,
// and the document the second shortcut opens. A payload without them
// installs shortcuts to nothing (the packaging tool warns).
constexpr char kProductProgram[] = "VELTO.EXE";
constexpr char kProductDocument[] = "VELTO.DOC";
// The program folder's default name and its two shortcuts: file name,
// target in the destination, description.
constexpr char kDefaultProgramFolder[] = "Velto";
constexpr const char* kShortcutNames[] = {"Velto.lnk", "Velto Documentation.lnk"};
struct ProductShortcut {
    const char* File;
    const char* Target;
    const char* Description;
};
constexpr ProductShortcut kShortcuts[] = {
    {kShortcutNames[0], kProductProgram, "Velto"},
    {kShortcutNames[1], kProductDocument, "Velto Documentation"},
};
