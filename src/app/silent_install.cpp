#include "app/silent_install.h"

#include "container/decompress_form.h"
#include "container/extract_payload.h"
#include "errors.h"
#include "install/make_directory.h"
#include "install/program_icons.h"
#include "install/programs_dir.h"
#include "paths.h"
#include "product.h"
#include "runtime/files.h"
#include "wizard/change_dir.h"
#include "wizard/choose_dest.h"
#include "wizard/setup_complete.h"

void SilentInstall(const std::string& setupPath, const std::string& destDir, UninstallLog& log) {
    const std::string dest = destDir.empty() ? DefaultDestination() : destDir;
    ChooseDest->DestDir = dest;
    // The destination page's checks, without their questions.
    CheckRecordPath(JoinPath(dest, std::string(ChooseDest->LongestInstalledName, 'x')));
    // Made where missing (a path from a drive's root only), each made level
    // logged.
    if (!MakeDirectory(dest, log)) throw ESetupError(SE_MAKEDIRECTORY);
    if (!IsUsableDirectory(dest)) throw ESetupError(SE_MAKEDIRECTORY);
    for (const char* name : kDestinationFolders)
        if (!MakeDirectory(JoinPath(dest, name), log)) throw ESetupError(SE_MAKEDIRECTORY);

    const uint64_t installedBytes = ExtractPayload(*Decompress, setupPath, dest, log);
    if (Decompress->Cancelled) throw ESetupError(SE_CANCELLED);
    CreateProgramIcons(GetProgramsDir(), kDefaultProgramFolder, dest, log);
    CreateRegistryEntries(dest, installedBytes, log);

    FinishInstallation(dest);
}
