#include "wizard/shorten_path.h"

#include "runtime/handles.h"

std::string ShortenPath(const std::string& path, int maxWidth, const std::function<int(const std::string&)>& measure) {
    const size_t cut = path.find_last_of("\\:");
    if (cut == std::string::npos) return path;
    std::string dir = path.substr(0, cut + 1);
    const std::string name = path.substr(cut + 1);
    std::string drive;
    if (dir.size() >= 2 && dir[1] == ':') {
        drive = dir.substr(0, 2);
        dir.erase(0, 2);
    }

    std::string result = path;
    while ((!dir.empty() || !drive.empty()) && measure(result) > maxWidth) {
        if (dir == "\\...\\") {
            drive.clear();
            dir = "...\\";
        } else if (!dir.empty()) {
            if (dir == "\\") {
                dir.clear();
            } else {
                const bool leading = dir[0] == '\\';
                if (leading) dir.erase(0, 1);
                if (!dir.empty() && dir[0] == '.') dir.erase(0, 4);
                const size_t slash = dir.find('\\');
                dir = slash == std::string::npos ? std::string() : "...\\" + dir.substr(slash + 1);
                if (leading) dir.insert(0, 1, '\\');
            }
        } else {
            drive.clear();
        }
        result = drive + dir + name;
    }
    return result;
}

std::string ShortenPathToWidth(const std::string& path, HFONT font, int maxWidth) {
    WindowDC screen(nullptr);
    SelectedObject selected(screen.Get(), font);
    return ShortenPath(path, maxWidth, [&](const std::string& text) {
        SIZE size = {0, 0};
        GetTextExtentPoint32A(screen.Get(), text.data(), static_cast<int>(text.size()), &size);
        return static_cast<int>(size.cx);
    });
}
