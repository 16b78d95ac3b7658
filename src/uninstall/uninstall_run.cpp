#include "uninstall/uninstall_run.h"

#include "app/main_form.h"
#include "install/process_uninstall_log.h"

void RunUninstall(HANDLE file, int32_t imageSize, int32_t count) {
    (void)file;
    (void)imageSize;
    (void)count;
    // Until the records are read here, the run removes what the log holds
    // (nothing yet) and ends the program.
    ProcessUninstallLog(Main->UninstallLog);
}
