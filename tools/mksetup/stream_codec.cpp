#include "stream_codec.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>

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

std::vector<uint8_t> CompressStream(const uint8_t* data, size_t size, LzssLevel level,
                                    const std::function<void(uint64_t done)>& progress) {
    std::vector<uint8_t> out;
    // Incompressible input grows by one flag byte per eight literals.
    out.reserve(size + size / 8 + 16);
    if (size)
        LzssEncode(data, size, out, level,
                   progress ? [&progress](size_t done) { progress(done); } : std::function<void(size_t)>());
    return out;
}

namespace {

void Compress(CompressedInput& in, LzssLevel level, std::atomic<uint64_t>* done) {
    in.Crc = Crc32Of(in.Data.data(), in.Data.size());
    in.Stream = CompressStream(in.Data.data(), in.Data.size(), level,
                               [done](uint64_t bytes) { done->store(bytes, std::memory_order_relaxed); });
}

// Inputs handed from the workers to the calling thread.
class CompressQueue {
public:
    CompressQueue(size_t count, size_t ahead) : slots_(count), done_(count), ahead_(ahead) {}

    // How far the compression of input `index` has come.
    std::atomic<uint64_t>* DoneOf(size_t index) { return &done_[index]; }

    // Index of the next input to compress, or false when there is none
    // (all given out, or the run stopped). Waits while the calling thread
    // is more than `ahead` inputs behind, or while finished inputs it has
    // not taken yet hold more than kHeldBytes (unless the next input is the
    // one it waits for).
    bool Next(size_t& index) {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [&] {
            return stop_ || next_ >= slots_.size() ||
                   (next_ < taken_ + ahead_ && (held_ <= kHeldBytes || next_ == taken_));
        });
        if (stop_ || next_ >= slots_.size()) return false;
        index = next_++;
        return true;
    }

    void Done(size_t index, CompressedInput&& input, std::exception_ptr error) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            held_ += input.Data.size() + input.Stream.size();
            slots_[index].Input = std::move(input);
            slots_[index].Error = error;
            slots_[index].Ready = true;
        }
        changed_.notify_all();
    }

    // Waits for input `index` (taken in order) and moves it out; meanwhile
    // tells `waiting` how far its compression has come, a few times a second.
    CompressedInput Take(size_t index, const std::function<void(size_t, uint64_t)>& waiting) {
        Slot slot;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            while (!changed_.wait_for(lock, std::chrono::milliseconds(200), [&] { return slots_[index].Ready; })) {
                if (!waiting) continue;
                lock.unlock();
                waiting(index, done_[index].load(std::memory_order_relaxed));
                lock.lock();
            }
            slot = std::move(slots_[index]);
            slots_[index] = Slot();
            taken_ = index + 1;
            held_ -= slot.Input.Data.size() + slot.Input.Stream.size();
        }
        changed_.notify_all();
        if (slot.Error) std::rethrow_exception(slot.Error);
        return std::move(slot.Input);
    }

    void Stop() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stop_ = true;
        }
        changed_.notify_all();
    }

private:
    static constexpr uint64_t kHeldBytes = 256u << 20;

    struct Slot {
        bool Ready = false;
        CompressedInput Input;
        std::exception_ptr Error;
    };
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Slot> slots_;
    std::vector<std::atomic<uint64_t>> done_;
    size_t ahead_;
    size_t next_ = 0;
    size_t taken_ = 0;
    uint64_t held_ = 0;  // bytes of finished inputs not taken yet
    bool stop_ = false;
};

}  // namespace

void CompressInOrder(size_t count, LzssLevel level, unsigned threads,
                     const std::function<std::vector<uint8_t>(size_t)>& load,
                     const std::function<void(size_t, CompressedInput&)>& take,
                     const std::function<void(size_t, uint64_t)>& waiting) {
    if (threads == 0) threads = std::max(1u, std::thread::hardware_concurrency());
    if (threads > count) threads = static_cast<unsigned>(count);
    if (threads <= 1) {
        for (size_t i = 0; i < count; ++i) {
            CompressedInput in;
            in.Data = load(i);
            in.Crc = Crc32Of(in.Data.data(), in.Data.size());
            in.Stream = CompressStream(in.Data.data(), in.Data.size(), level, [&](uint64_t done) {
                if (waiting) waiting(i, done);
            });
            take(i, in);
        }
        return;
    }
    CompressQueue queue(count, 2 * size_t{threads});
    auto work = [&] {
        size_t i;
        while (queue.Next(i)) {
            CompressedInput in;
            std::exception_ptr error;
            try {
                in.Data = load(i);
                Compress(in, level, queue.DoneOf(i));
            } catch (...) {
                error = std::current_exception();
            }
            queue.Done(i, std::move(in), error);
        }
    };
    std::vector<std::thread> workers;
    // Stops and joins the workers however the loop below is left.
    struct Joiner {
        CompressQueue& Queue;
        std::vector<std::thread>& Workers;
        ~Joiner() {
            Queue.Stop();
            for (std::thread& t : Workers) t.join();
        }
    } joiner{queue, workers};
    for (unsigned t = 0; t < threads; ++t) workers.emplace_back(work);
    for (size_t i = 0; i < count; ++i) {
        CompressedInput in = queue.Take(i, waiting);
        take(i, in);
    }
}
