// Times the setup program's payload extraction against a plain copy of
// the same files.
//
//   extract_bench INSTALLER DEST COPY
//
// Extracts INSTALLER into DEST through ExtractPayload with the real
// progress dialog (shown, so the gauge is painted and messages are pumped
// as in a real installation), then copies every extracted file from DEST
// into COPY with CopyFileA. Prints one line of JSON: payload and output
// bytes, seconds and MB/s of both.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "container/decompress_form.h"
#include "container/extract_payload.h"
#include "install/log_journal.h"
#include "paths.h"
#include "runtime/files.h"
#include "runtime/private_folder.h"
#include "ui/application.h"
#include "uninstall_log.h"
#include "wizard/exit_setup.h"

namespace {

double Now() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) / static_cast<double>(frequency.QuadPart);
}

int64_t FileSize(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return 0;
    return (static_cast<int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: extract_bench INSTALLER DEST COPY\n");
        return 2;
    }
    const std::string installer = argv[1], dest = argv[2], copy = argv[3];
    try {
        Application.Initialize();
        Application.SetTitle("Setup");
        Application.CreateForm(Decompress);
        Application.CreateForm(ExitSetup);
        Decompress->Show();
        // As in an installation: every record also written through to the
        // journal on disk.
        UninstallLog log;
        TLogJournal journal(JoinPath(OpenPrivateFolder().Path, kJournalName));
        if (!getenv("BENCH_NO_JOURNAL")) log.Journal = &journal;

        const double start = Now();
        ExtractPayload(*Decompress, installer, dest, log);
        const double extractSeconds = Now() - start;
        journal.Discard();
        const int64_t payload = Decompress->TotalSize;

        // The log holds every extracted file, newest first.
        std::vector<std::string> files;
        for (const UninstallRecord* r = log.Head.get(); r; r = r->Next.get()) files.insert(files.begin(), r->Path());
        int64_t output = 0;
        // BENCH_NO_COPY: the extraction alone (for a profiler).
        const bool copyToo = !getenv("BENCH_NO_COPY");
        const double copyStart = Now();
        for (const std::string& f : files) {
            output += FileSize(f);
            if (!copyToo) continue;
            const std::string name = f.substr(dest.size() + 1);
            const std::string to = copy + "\\" + name;
            CreateDirectoryA(to.substr(0, to.rfind('\\')).c_str(), nullptr);
            if (!CopyFileA(f.c_str(), to.c_str(), FALSE)) throw EInOutError(static_cast<int>(GetLastError()));
        }
        const double copySeconds = Now() - copyStart;
        std::printf(
            "{\"files\":%u,\"payload_bytes\":%lld,\"output_bytes\":%lld,\"extract_seconds\":%.3f,"
            "\"extract_mb_s\":%.1f,\"copy_seconds\":%.3f,\"copy_mb_s\":%.1f,\"gauge\":%d}\n",
            static_cast<unsigned>(files.size()), static_cast<long long>(payload), static_cast<long long>(output),
            extractSeconds, output / 1e6 / extractSeconds, copySeconds, copyToo ? output / 1e6 / copySeconds : 0.0,
            Decompress->Gauge1.Progress());
        Application.DestroyForms();
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "extract_bench: %s\n", e.what());
        return 1;
    }
}
