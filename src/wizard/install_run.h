// The install run behind "&Next >" on "Start Copying Files": extraction,
// program icons and the uninstall entry; on success the "Setup Complete"
// page, on any failure the error box and a rollback of everything logged.
#pragma once

#include <string>

// What the wizard chose, as the install run needs it.
struct InstallChoices {
    std::string SourcePath;     // the installer to extract from
    std::string DestDir;        // the destination directory
    std::string DestCaption;    // the destination as the destination page shows it
    std::string ProgramFolder;  // the program folder name under Programs
};

// The run for these choices; logs into Main's uninstall log.
void RunInstall(const InstallChoices& choices);

// The wizard's choices: the running executable, the destination page's
// directory and caption, the program folder page's name.
InstallChoices ChoicesFromPages();

// The run for the running executable and the wizard's pages.
void RunInstall();
