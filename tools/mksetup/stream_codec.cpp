#include "stream_codec.h"

#include <algorithm>

#include "crc32.h"
#include "errors.h"
#include "lzss_decoder.h"
#include "lzss_encoder.h"

namespace {

// The decoder's callbacks take no context, so the stream being decoded is
// reached through this one pointer, set only while DecodeStream runs.
struct DecodeSession {
    uint64_t Remaining;
    const CompressedReader* Reader;
    const DecodedWriter* Writer;
    DecodedStream Result;
};
DecodeSession* gSession = nullptr;

int ReadBlock(uint8_t* block) {
    DecodeSession& s = *gSession;
    size_t want = static_cast<size_t>(std::min<uint64_t>(s.Remaining, kLzssBlockSize));
    size_t got = want ? (*s.Reader)(block, want) : 0;
    if (got > want) got = want;
    s.Remaining -= got;
    if (got < want) s.Remaining = 0;  // the source ran dry: the stream ends here
    s.Result.Compressed += got;
    return static_cast<int>(got);
}

int WriteBlock(const uint8_t* block, int count) {
    DecodeSession& s = *gSession;
    if (count <= 0) return 0;
    s.Result.Crc = Crc32Block(block, static_cast<size_t>(count), s.Result.Crc);
    s.Result.Size += static_cast<uint64_t>(count);
    (*s.Writer)(block, static_cast<size_t>(count));
    return count;
}

class SessionScope {
public:
    explicit SessionScope(DecodeSession& s) {
        if (gSession) throw Exception("internal error: nested stream decoding");
        gSession = &s;
    }
    ~SessionScope() { gSession = nullptr; }
};

}  // namespace

LzssBufferHold::LzssBufferHold() { LzssAllocateBuffers(); }
LzssBufferHold::~LzssBufferHold() { LzssReleaseBuffers(); }

DecodedStream DecodeStream(uint64_t compressedSize, const CompressedReader& reader, const DecodedWriter& writer) {
    if (!LzssBuffersHeld()) throw Exception("internal error: decoder buffers not allocated");
    DecodeSession session{compressedSize, &reader, &writer, DecodedStream()};
    {
        SessionScope scope(session);
        LzssDecode(ReadBlock, WriteBlock);
    }
    session.Result.Crc = Crc32Finish(session.Result.Crc);
    return session.Result;
}

std::vector<uint8_t> CompressStream(const uint8_t* data, size_t size,
                                    const std::function<void(uint64_t done)>& progress) {
    std::vector<uint8_t> out;
    // Incompressible input grows by one flag byte per eight literals.
    out.reserve(size + size / 8 + 16);
    if (size) LzssEncode(data, size, out, progress ? [&progress](size_t done) { progress(done); }
                                                   : std::function<void(size_t)>());
    return out;
}
