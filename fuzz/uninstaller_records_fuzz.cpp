// Arbitrary bytes as an uninstaller: its records are used only when the
// file is exactly image, records and tail long and the records' checksum
// matches the records as stored.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "crc32.h"
#include "errors.h"
#include "uninstaller_records.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    // The first two bytes are the image size and the record count.
    const int32_t imageSize = data[0] % 64;
    const int32_t count = data[1] % 4;
    const uint8_t* file = data + 2;
    const size_t length = size - 2;
    MemoryByteSource source(file, length);
    RecordList records;
    bool intact = false;
    try {
        intact = ReadIntactUninstallRecords(source, static_cast<int64_t>(length), imageSize, count, records);
    } catch (const ESetupError&) {
        return 0;
    }
    if (!intact) {
        if (!records.empty()) std::abort();
        return 0;
    }
    if (length != static_cast<size_t>(imageSize) + count * kRecordSize + kTailSize) std::abort();
    std::vector<uint8_t> again(records.size() * kRecordSize);
    for (size_t i = 0; i < records.size(); ++i) EncodeRecord(*records[i], &again[i * kRecordSize]);
    if (Crc32Of(again.data(), again.size()) != LoadLE32(file + length - kTailSize)) std::abort();
    return 0;
}
