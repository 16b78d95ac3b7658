// Arbitrary bytes as a file handed to the packaging tool's --list and
// --dump: the readers refuse with a message or return a frame that fits the
// file, whose checksums they report as stored and as computed.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "errors.h"
#include "installer_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    {
        MemoryByteSource source(data, size);
        try {
            const InstallerInfo info = ReadInstallerInfo(source, size);
            uint64_t streams = 0;
            for (const FileDirectoryEntry& e : info.Entries) streams += e.CompressedSize;
            if (static_cast<uint64_t>(info.Trailer.ImageSize) + streams + info.Entries.size() * kDirectoryEntrySize +
                    kTailSize !=
                size)
                std::abort();
        } catch (const Exception&) {}
    }
    {
        MemoryByteSource source(data, size);
        try {
            const UninstallerInfo info = ReadUninstaller(source, size);
            if (static_cast<uint64_t>(info.Trailer.ImageSize) + info.Records.size() * kRecordSize + kTailSize != size)
                std::abort();
        } catch (const Exception&) {}
    }
    return 0;
}
