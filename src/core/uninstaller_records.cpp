#include "uninstaller_records.h"

#include "crc32.h"
#include "errors.h"

RecordsRegion ReadRecordsRegion(ByteSource& source, int32_t imageSize, int32_t count) {
    if (imageSize < 0 || count < 0 || !source.SeekTo(imageSize)) throw ESetupError(SE_SETFILEPOINTER);
    RecordsRegion region;
    region.Records.reserve(static_cast<size_t>(count));
    uint32_t crc = 0;
    uint8_t image[kRecordSize];
    for (int32_t i = 0; i < count; ++i) {
        uint32_t got = 0;
        if (!source.Read(image, kRecordSize, &got) || got != kRecordSize) throw ESetupError(SE_READFILE);
        crc = Crc32Block(image, kRecordSize, crc);
        region.Records.push_back(DecodeRecord(image));
    }
    // The records checksum follows the last record.
    uint8_t stored[kChecksumSize];
    uint32_t got = 0;
    if (!source.Read(stored, kChecksumSize, &got) || got != kChecksumSize) throw ESetupError(SE_READFILE);
    region.Stored = LoadLE32(stored);
    region.Computed = Crc32Finish(crc);
    return region;
}

bool UninstallerLengthFits(int64_t fileLength, int32_t imageSize, int32_t count) {
    return imageSize >= 0 && count >= 0 &&
           fileLength == static_cast<int64_t>(imageSize) + static_cast<int64_t>(count) * kRecordSize + kTailSize;
}

bool ReadIntactUninstallRecords(ByteSource& source, int64_t fileLength, int32_t imageSize, int32_t count,
                                RecordList& records) {
    records.clear();
    if (!UninstallerLengthFits(fileLength, imageSize, count)) return false;
    RecordsRegion region = ReadRecordsRegion(source, imageSize, count);
    if (region.Stored != region.Computed) return false;
    records = std::move(region.Records);
    return true;
}

RecordList ReadUninstallRecords(ByteSource& source, int64_t fileLength, int32_t imageSize, int32_t count) {
    RecordList records;
    if (!ReadIntactUninstallRecords(source, fileLength, imageSize, count, records)) throw ESetupError(SE_CORRUPT);
    return records;
}
