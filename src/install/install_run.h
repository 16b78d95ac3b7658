// The install run behind "&Next >" on "Start Copying Files": extraction,
// program icons and the uninstall entry; on success the "Setup Complete"
// page, on any failure the error box and a rollback of everything logged.
#pragma once

void RunInstall();
