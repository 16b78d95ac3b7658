// Arbitrary bytes as an installer's journal: the reader returns only
// entries whose checksum matches, each re-encodes to exactly the bytes it
// was read from, and the kept values of a registry record either decode in
// full or are refused.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "uninstall_log.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    // Half the inputs get a valid header, so the fuzzer reaches the entries.
    const std::string journal =
        (size && (data[0] & 1)) ? std::string(kJournalMagic, sizeof kJournalMagic) + bytes : bytes;
    const std::vector<std::unique_ptr<UninstallRecord>> records = DecodeJournal(journal);
    size_t pos = sizeof kJournalMagic;
    for (const auto& r : records) {
        const std::string entry = EncodeJournalEntry(*r);
        if (journal.compare(pos, entry.size(), entry) != 0) std::abort();
        pos += entry.size();
        std::vector<KeptValue> values;
        if (DecodeKeptValues(r->Kept, values) && EncodeKeptValues(values) != r->Kept) std::abort();
    }
    if (!records.empty() && pos > journal.size()) std::abort();
    return 0;
}
