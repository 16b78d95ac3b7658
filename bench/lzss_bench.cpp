// Throughput of the stream decoder and of the encoder at each level on
// generated English-like text and x86-like program images (plus any files
// named on the command line), each beside its reference: the decoder beside
// the byte-at-a-time reference decoder, the encoder beside the classic
// binary-tree greedy encoder (speed and size) and the classic bit-optimal
// parse (size). Sizes of the compressed output are reported as counters so
// one run gives speeds and ratios together.
//
//   lzss_bench [--corpus=FILE]... [benchmark flags]
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include "lzss_decoder.h"
#include "lzss_encoder.h"
#include "lzss_reference.h"
#include "lzss_tree_reference.h"

namespace {

using lzssref::Bytes;

constexpr size_t kCorpusSize = 4 << 20;

struct Corpus {
    std::string name;
    Bytes data;
    Bytes compressed;  // by LzssEncode at the normal level
};

// What the decoder's callbacks read from and count into; they carry no
// context, so this is file-wide.
struct DecodeIo {
    const Bytes* stream = nullptr;
    size_t pos = 0;
    size_t produced = 0;
} g_io;

int ReadFromMemory(uint8_t* block) {
    size_t n = g_io.stream->size() - g_io.pos;
    if (n > static_cast<size_t>(kLzssBlockSize)) n = kLzssBlockSize;
    if (n) std::memcpy(block, g_io.stream->data() + g_io.pos, n);
    g_io.pos += n;
    return static_cast<int>(n);
}

int CountOutput(const uint8_t* block, int count) {
    benchmark::DoNotOptimize(block);
    g_io.produced += static_cast<size_t>(count);
    return 0;
}

void Decode(benchmark::State& state, const Corpus* c) {
    LzssAllocateBuffers();
    for (auto _ : state) {
        g_io = DecodeIo{&c->compressed, 0, 0};
        LzssDecode(ReadFromMemory, CountOutput);
    }
    LzssReleaseBuffers();
    if (g_io.produced != c->data.size()) state.SkipWithError("decoded size differs");
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * c->data.size()));
}

void DecodeReference(benchmark::State& state, const Corpus* c) {
    for (auto _ : state) {
        Bytes out = lzssref::Decode(c->compressed);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * c->data.size()));
}

void ReportSize(benchmark::State& state, const Corpus* c, size_t compressed) {
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * c->data.size()));
    state.counters["in"] = static_cast<double>(c->data.size());
    state.counters["out"] = static_cast<double>(compressed);
    state.counters["ratio"] = c->data.empty() ? 0.0 : double(compressed) / double(c->data.size());
}

void Encode(benchmark::State& state, const Corpus* c, LzssLevel level) {
    Bytes out;
    for (auto _ : state) {
        out.clear();
        LzssEncode(c->data.data(), c->data.size(), out, level);
        benchmark::DoNotOptimize(out.data());
    }
    if (lzssref::Decode(out) != c->data) state.SkipWithError("round trip failed");
    ReportSize(state, c, out.size());
}

void EncodeReference(benchmark::State& state, const Corpus* c, Bytes (*encode)(const uint8_t*, size_t)) {
    Bytes out;
    for (auto _ : state) {
        out = encode(c->data.data(), c->data.size());
        benchmark::DoNotOptimize(out.data());
    }
    if (lzssref::Decode(out) != c->data) state.SkipWithError("round trip failed");
    ReportSize(state, c, out.size());
}

Bytes ReadFile(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    if (!f) throw std::runtime_error("cannot open " + path);
    return Bytes(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<Corpus> corpora;
    corpora.push_back({"text", lzssref::EnglishLikeText(kCorpusSize), {}});
    corpora.push_back({"x86", lzssref::X86LikeImage(kCorpusSize), {}});

    // Our own options first; the rest goes to the benchmark library.
    std::vector<char*> rest = {argv[0]};
    for (int i = 1; i < argc; ++i) {
        const char* prefix = "--corpus=";
        if (std::strncmp(argv[i], prefix, std::strlen(prefix)) == 0) {
            std::string path = argv[i] + std::strlen(prefix);
            try {
                std::string name = path.substr(path.find_last_of('/') + 1);
                corpora.push_back({name, ReadFile(path), {}});
            } catch (const std::exception& e) {
                std::fprintf(stderr, "lzss_bench: %s\n", e.what());
                return 2;
            }
        } else if (std::strcmp(argv[i], "--help") == 0) {
            std::printf(
                "usage: lzss_bench [--corpus=FILE]... [benchmark flags]\n"
                "Measures LZSS decode/encode throughput and compression beside the\n"
                "reference decoder and encoders on generated text and x86-like data\n"
                "and on each FILE.\n\n");
            rest.push_back(argv[i]);
        } else {
            rest.push_back(argv[i]);
        }
    }

    for (Corpus& c : corpora) LzssEncode(c.data.data(), c.data.size(), c.compressed, LzssLevel::Normal);
    for (const Corpus& c : corpora) {
        benchmark::RegisterBenchmark(("decode/" + c.name).c_str(), Decode, &c);
        benchmark::RegisterBenchmark(("decode_bytewise_reference/" + c.name).c_str(), DecodeReference, &c);
        benchmark::RegisterBenchmark(("encode/" + c.name).c_str(), Encode, &c, LzssLevel::Normal);
        benchmark::RegisterBenchmark(("encode_best/" + c.name).c_str(), Encode, &c, LzssLevel::Best);
        benchmark::RegisterBenchmark(("encode_tree_greedy_reference/" + c.name).c_str(), EncodeReference, &c,
                                     lzssref::TreeGreedyEncode);
        benchmark::RegisterBenchmark(("encode_tree_optimal_reference/" + c.name).c_str(), EncodeReference, &c,
                                     lzssref::TreeOptimalEncode);
    }
    int n = static_cast<int>(rest.size());
    benchmark::Initialize(&n, rest.data());
    if (benchmark::ReportUnrecognizedArguments(n, rest.data())) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
