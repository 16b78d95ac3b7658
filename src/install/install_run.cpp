#include "install/install_run.h"

#include "wizard/setup_complete.h"
#include "wizard/start_copy.h"

// Placeholder until extraction, icons and registry entries land: walks on
// to the last page so the whole wizard can be exercised.
void RunInstall() {
    StartCopy->Hide();
    SetupComplete->Show();
}
