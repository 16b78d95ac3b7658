// Writes UNINST.EXE into the destination from the uninstall log (called by
// Finish): the running installer's image, every logged record (the log is
// emptied), the records' checksum and a "UNI" trailer.
#pragma once

class TMain;

void WriteUninstaller(TMain& main);
