#include "container/uninstaller_writer.h"

// Placeholder until the uninstaller writer lands.
void WriteUninstaller(TMain&) {}
