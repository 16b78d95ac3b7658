// Progress of long work (compressing, decoding), shown by the command line.
#pragma once

#include <cstdint>
#include <string>

class Progress {
public:
    virtual ~Progress() = default;
    // One task, e.g. "compressing VELTO.EXE", of `total` bytes.
    virtual void Start(const std::string& task, uint64_t total) = 0;
    virtual void Update(uint64_t done) = 0;
    virtual void Finish() = 0;
};

// Reports nothing.
class NoProgress : public Progress {
public:
    void Start(const std::string&, uint64_t) override {}
    void Update(uint64_t) override {}
    void Finish() override {}
};
