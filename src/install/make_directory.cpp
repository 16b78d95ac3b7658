#include "install/make_directory.h"

#include <windows.h>

#include <vector>

namespace {

bool ReadCurrentDirectory(std::string& dir) {
    char buf[MAX_PATH + 1];
    DWORD n = GetCurrentDirectoryA(sizeof buf, buf);
    if (n == 0 || n >= sizeof buf) return false;
    dir.assign(buf, n);
    return true;
}

bool EnterDirectory(const std::string& dir) { return !dir.empty() && SetCurrentDirectoryA(dir.c_str()) != 0; }

}  // namespace

bool MakeDirectory(const std::string& path, UninstallLog& log) {
    if (path.empty() || !IsCharAlphaA(path[0])) return false;
    // Only a path from a drive's root: a relative one would be created, and
    // logged, relative to whatever directory happens to be current.
    if (path.size() < 3 || path[1] != ':' || path[2] != '\\') return false;

    // Every level is logged before it is made: a path a record cannot hold
    // is refused before anything exists.
    CheckRecordPath(path);
    std::string saved;
    if (!ReadCurrentDirectory(saved)) return false;

    if (!EnterDirectory(path.substr(0, 3))) {
        EnterDirectory(saved);
        return false;
    }

    std::string built = path.substr(0, 2);
    std::string rest = path.size() > 3 ? path.substr(3) : std::string();
    std::vector<std::string> created;
    size_t logged = 0;
    for (;;) {
        const size_t sep = rest.find('\\');
        const bool last = sep == std::string::npos;
        const std::string component = last ? rest : rest.substr(0, sep);
        if (!last) rest.erase(0, sep + 1);
        built += '\\';
        built += component;

        if (!EnterDirectory(component)) {
            // In the log (and its journal) the moment before it exists, so
            // a run killed in between leaves no folder nothing knows of. A
            // name that stands there already is not this call's to log.
            const bool absent = !component.empty() && GetFileAttributesA(component.c_str()) == INVALID_FILE_ATTRIBUTES;
            if (absent) {
                PushRecord(log, ukDirectory, built, 0);
                ++logged;
            }
            if (!absent || !CreateDirectoryA(component.c_str(), nullptr) || !EnterDirectory(component)) {
                // Step out of what is about to be removed, then undo this
                // call's work, newest first.
                EnterDirectory(built.substr(0, 3));
                for (auto it = created.rbegin(); it != created.rend(); ++it) RemoveDirectoryA(it->c_str());
                for (; logged > 0; --logged) log.Unlink();
                EnterDirectory(saved);
                return false;
            }
            created.push_back(built);
        }
        if (last) break;
    }

    EnterDirectory(saved);
    return true;
}
