// Arbitrary directory and file names through the path utilities: joining
// keeps the name whole at the end and puts exactly one separator before
// it, upper-casing keeps the length and touches only a..z, and the
// uninstaller's directory is a prefix of its path.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "batch_script.h"
#include "paths.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string all(reinterpret_cast<const char*>(data), size);
    const size_t cut = size ? data[0] % (size + 1) : 0;
    const std::string dir = all.substr(0, cut), name = all.substr(cut);
    const std::string joined = JoinPath(dir, name);
    if (joined.size() < name.size() || joined.compare(joined.size() - name.size(), name.size(), name) != 0)
        std::abort();
    if (!dir.empty() &&
        joined.compare(0, dir.size() - (dir.back() == '\\'), dir, 0, dir.size() - (dir.back() == '\\')) != 0)
        std::abort();
    const std::string upper = UpperCaseString(all);
    if (upper.size() != all.size()) std::abort();
    for (size_t i = 0; i < all.size(); ++i) {
        const char c = all[i];
        if (upper[i] != ((c >= 'a' && c <= 'z') ? c - 'a' + 'A' : c)) std::abort();
    }
    const std::string sep = AddPathSeparator(dir);
    if (sep.compare(0, dir.size(), dir) != 0 && !(dir.size() == 1)) std::abort();
    const std::string up = UninstallerDirectory(all);
    if (all.compare(0, up.size(), up) != 0) std::abort();
    return 0;
}
