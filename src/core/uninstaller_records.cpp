#include "uninstaller_records.h"

#include "crc32.h"
#include "errors.h"

bool ReadIntactUninstallRecords(ByteSource& source, int64_t fileLength, int32_t imageSize, int32_t count,
                                RecordList& records) {
    records.clear();
    if (imageSize < 0 || count < 0 ||
        fileLength != static_cast<int64_t>(imageSize) + static_cast<int64_t>(count) * kRecordSize + kTailSize)
        return false;
    if (!source.SeekTo(imageSize)) throw ESetupError(SE_SETFILEPOINTER);

    RecordList read;
    read.reserve(static_cast<size_t>(count));
    uint32_t crc = 0;
    uint8_t image[kRecordSize];
    for (int32_t i = 0; i < count; ++i) {
        uint32_t got = 0;
        if (!source.Read(image, kRecordSize, &got) || got != kRecordSize) throw ESetupError(SE_READFILE);
        crc = Crc32Block(image, kRecordSize, crc);
        read.push_back(DecodeRecord(image));
    }
    // The records checksum follows the last record.
    uint8_t stored[kChecksumSize];
    uint32_t got = 0;
    if (!source.Read(stored, kChecksumSize, &got) || got != kChecksumSize) throw ESetupError(SE_READFILE);
    if (LoadLE32(stored) != Crc32Finish(crc)) return false;
    records = std::move(read);
    return true;
}

RecordList ReadUninstallRecords(ByteSource& source, int64_t fileLength, int32_t imageSize, int32_t count) {
    RecordList records;
    if (!ReadIntactUninstallRecords(source, fileLength, imageSize, count, records)) throw ESetupError(SE_CORRUPT);
    return records;
}
