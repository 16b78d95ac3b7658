// winprobe: looks at and drives the windows of a Wine prefix for the
// end-to-end tests. A console program run in the same prefix (and so the
// same wineserver) as the program under test.
//
//   winprobe.exe serve          read commands from stdin, one JSON reply line each
//   winprobe.exe COMMAND ARGS   run one command, print its reply
//   winprobe.exe decoy TITLE    show a plain window that takes the foreground
//                               and keeps it until it is closed
//
// Commands (window handles are decimal numbers):
//   list                 every top-level window with its children
//   window HWND          one window with its children
//   foreground           the foreground window (or null)
//   procs                running processes: pid and executable name
//   click HWND...        press buttons (posted BM_CLICK), all posted before
//                        the program handles the first: a later press waits
//                        in its queue for its next round of messages
//   command HWND ID      post WM_COMMAND(ID, BN_CLICKED) to HWND
//   close HWND           close a window as its close box does (SC_CLOSE)
//   key HWND VK          post a key press (virtual-key code) to a window
//   settext HWND TEXT    replace the text of a control (WM_SETTEXT)
//   regdump KEY[|SKIP...] a registry key with all its subkeys and values,
//                        leaving out the subtrees SKIP (full paths)
//                        (KEY like HKLM\Software\X; HKLM, HKCU, HKCR, HKU)
//   cwd                  this process's current directory
//   hold PATH            keep a file open, shared for reading only
//   release              close every file held
//   shortcut PATH        a shortcut file read through the shell's link
//                        object: target, working directory, description
//   exit                 end serve mode
// Replies: {"ok":true,...} or {"ok":false,"error":"..."}.
#include <objbase.h>
#include <objidl.h>
#include <shlobj.h>
#include <tlhelp32.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::string Json(const std::string& s) {
    std::string out = "\"";
    for (unsigned char c : s) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c >= 0x7F) {
            // ANSI bytes as code points of the same value (Latin-1 reading).
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            out += buf;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

std::string Handle(HWND h) { return std::to_string(reinterpret_cast<ULONG_PTR>(h)); }

HWND ParseHandle(const std::string& s) {
    return reinterpret_cast<HWND>(static_cast<ULONG_PTR>(std::strtoull(s.c_str(), nullptr, 10)));
}

std::string ClassOf(HWND h) {
    char buf[256] = "";
    GetClassNameA(h, buf, sizeof buf);
    return buf;
}

// The text of a window of any process: asked with a bounded wait so a hung
// program cannot hang the probe; the stored caption otherwise.
std::string TextOf(HWND h) {
    char buf[4096] = "";
    DWORD_PTR got = 0;
    if (SendMessageTimeoutA(h, WM_GETTEXT, sizeof buf, reinterpret_cast<LPARAM>(buf), SMTO_ABORTIFHUNG, 1000, &got))
        return std::string(buf, got < sizeof buf ? got : 0);
    GetWindowTextA(h, buf, sizeof buf);
    return buf;
}

std::string Rect(const RECT& r) {
    return "[" + std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," +
           std::to_string(r.bottom) + "]";
}

std::string Flags(HWND h) {
    return std::string("\"visible\":") + (IsWindowVisible(h) ? "true" : "false") +
           ",\"enabled\":" + (IsWindowEnabled(h) ? "true" : "false");
}

std::string DescribeChild(HWND h) {
    RECT r{};
    GetWindowRect(h, &r);
    LONG style = GetWindowLongA(h, GWL_STYLE);
    return "{\"hwnd\":" + Handle(h) + ",\"class\":" + Json(ClassOf(h)) + ",\"text\":" + Json(TextOf(h)) +
           ",\"id\":" + std::to_string(GetDlgCtrlID(h)) + "," + Flags(h) + ",\"style\":" + std::to_string(style) +
           ",\"rect\":" + Rect(r) + ",\"parent\":" + Handle(GetParent(h)) + "}";
}

BOOL CALLBACK CollectChild(HWND h, LPARAM context) {
    reinterpret_cast<std::vector<HWND>*>(context)->push_back(h);
    return TRUE;
}

std::string DescribeWindow(HWND h) {
    RECT r{}, c{};
    GetWindowRect(h, &r);
    GetClientRect(h, &c);
    POINT origin{0, 0};
    ClientToScreen(h, &origin);
    RECT client{origin.x, origin.y, origin.x + c.right, origin.y + c.bottom};
    DWORD pid = 0;
    GetWindowThreadProcessId(h, &pid);
    LONG style = GetWindowLongA(h, GWL_STYLE);
    LONG exStyle = GetWindowLongA(h, GWL_EXSTYLE);
    std::vector<HWND> children;
    EnumChildWindows(h, CollectChild, reinterpret_cast<LPARAM>(&children));
    std::string out =
        "{\"hwnd\":" + Handle(h) + ",\"class\":" + Json(ClassOf(h)) + ",\"text\":" + Json(TextOf(h)) +
        ",\"pid\":" + std::to_string(pid) + "," + Flags(h) + ",\"iconic\":" + (IsIconic(h) ? "true" : "false") +
        ",\"style\":" + std::to_string(style) + ",\"exstyle\":" + std::to_string(exStyle) + ",\"rect\":" + Rect(r) +
        ",\"client\":" + Rect(client) + ",\"owner\":" + Handle(GetWindow(h, GW_OWNER)) + ",\"children\":[";
    for (size_t i = 0; i < children.size(); ++i) out += (i ? "," : "") + DescribeChild(children[i]);
    return out + "]}";
}

BOOL CALLBACK CollectTop(HWND h, LPARAM context) {
    reinterpret_cast<std::vector<HWND>*>(context)->push_back(h);
    return TRUE;
}

std::string Hex(const BYTE* data, DWORD size) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (DWORD i = 0; i < size; ++i) {
        out += digits[data[i] >> 4];
        out += digits[data[i] & 15];
    }
    return out;
}

// One key's values and then its subkeys, depth first, as JSON objects.
bool SameText(const std::string& a, const std::string& b) {
    return a.size() == b.size() &&
           CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, a.data(), static_cast<int>(a.size()), b.data(),
                          static_cast<int>(b.size())) == CSTR_EQUAL;
}

void DumpKey(HKEY key, const std::string& name, const std::vector<std::string>& skip, std::string& out) {
    for (const std::string& s : skip)
        if (SameText(s, name)) return;
    DWORD subkeys = 0, values = 0, longestValue = 0, longestData = 0;
    RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, &longestValue, &longestData,
                     nullptr, nullptr);
    if (!out.empty()) out += ",";
    out += "{\"key\":" + Json(name) + ",\"values\":[";
    std::vector<char> valueName(longestValue + 2);
    std::vector<BYTE> data(longestData + 2);
    for (DWORD i = 0;; ++i) {
        DWORD nameSize = static_cast<DWORD>(valueName.size()), dataSize = static_cast<DWORD>(data.size()), type = 0;
        if (RegEnumValueA(key, i, valueName.data(), &nameSize, nullptr, &type, data.data(), &dataSize) != ERROR_SUCCESS)
            break;
        out += std::string(i ? "," : "") + "[" + Json(std::string(valueName.data(), nameSize)) + "," +
               std::to_string(type) + "," + Json(Hex(data.data(), dataSize)) + "]";
    }
    out += "]}";
    std::vector<std::string> names;
    char sub[256];
    for (DWORD i = 0;; ++i) {
        DWORD size = sizeof sub;
        if (RegEnumKeyExA(key, i, sub, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        names.emplace_back(sub, size);
    }
    for (const std::string& n : names) {
        HKEY child = nullptr;
        if (RegOpenKeyExA(key, n.c_str(), 0, KEY_READ, &child) != ERROR_SUCCESS) continue;
        DumpKey(child, name + "\\" + n, skip, out);
        RegCloseKey(child);
    }
}

HKEY RootByName(const std::string& name) {
    if (name == "HKLM" || name == "HKEY_LOCAL_MACHINE") return HKEY_LOCAL_MACHINE;
    if (name == "HKCU" || name == "HKEY_CURRENT_USER") return HKEY_CURRENT_USER;
    if (name == "HKCR" || name == "HKEY_CLASSES_ROOT") return HKEY_CLASSES_ROOT;
    if (name == "HKU" || name == "HKEY_USERS") return HKEY_USERS;
    return nullptr;
}

std::string Ok(const std::string& fields = "") { return "{\"ok\":true" + (fields.empty() ? "" : "," + fields) + "}"; }
std::string Fail(const std::string& error) { return "{\"ok\":false,\"error\":" + Json(error) + "}"; }

std::vector<std::string> Split(const std::string& line) {
    std::vector<std::string> words;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
        if (i >= line.size()) break;
        size_t j = i;
        while (j < line.size() && line[j] != ' ' && line[j] != '\t') ++j;
        words.push_back(line.substr(i, j - i));
        i = j;
    }
    return words;
}

// Everything after the first `skip` words, as typed.
std::string Rest(const std::string& line, size_t skip) {
    size_t i = 0;
    for (size_t w = 0; w < skip; ++w) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t') ++i;
    }
    if (i < line.size()) ++i;
    return line.substr(i < line.size() ? i : line.size());
}

// Files the probe holds open for a scenario.
std::vector<HANDLE>& HeldFiles() {
    static std::vector<HANDLE> held;
    return held;
}

std::string Execute(const std::string& line) {
    std::vector<std::string> w = Split(line);
    if (w.empty()) return Fail("empty command");
    const std::string& cmd = w[0];
    auto window = [&](size_t i) -> HWND {
        if (w.size() <= i) return nullptr;
        HWND h = ParseHandle(w[i]);
        return IsWindow(h) ? h : nullptr;
    };
    if (cmd == "list") {
        std::vector<HWND> tops;
        EnumWindows(CollectTop, reinterpret_cast<LPARAM>(&tops));
        std::string out = "\"windows\":[";
        for (size_t i = 0; i < tops.size(); ++i) out += (i ? "," : "") + DescribeWindow(tops[i]);
        return Ok(out + "]");
    }
    if (cmd == "window") {
        HWND h = window(1);
        return h ? Ok("\"window\":" + DescribeWindow(h)) : Fail("no such window");
    }
    if (cmd == "foreground") {
        HWND h = GetForegroundWindow();
        return Ok("\"window\":" + (h ? DescribeWindow(h) : std::string("null")));
    }
    if (cmd == "procs") {
        HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
        if (snap == INVALID_HANDLE_VALUE) return Fail("no process snapshot");
        PROCESSENTRY32 pe{};
        pe.dwSize = sizeof pe;
        std::string out = "\"procs\":[";
        bool first = true;
        for (BOOL more = Process32First(snap, &pe); more; more = Process32Next(snap, &pe)) {
            out += std::string(first ? "" : ",") + "{\"pid\":" + std::to_string(pe.th32ProcessID) +
                   ",\"exe\":" + Json(pe.szExeFile) + "}";
            first = false;
        }
        CloseHandle(snap);
        return Ok(out + "]");
    }
    if (cmd == "click") {
        if (w.size() < 2) return Fail("usage: click HWND...");
        for (size_t i = 1; i < w.size(); ++i)
            if (!window(i)) return Fail("no such window");
        for (size_t i = 1; i < w.size(); ++i)
            if (!PostMessageA(window(i), BM_CLICK, 0, 0)) return Fail("PostMessage failed");
        return Ok();
    }
    if (cmd == "command") {
        HWND h = window(1);
        if (!h || w.size() < 3) return Fail("usage: command HWND ID");
        WPARAM id = static_cast<WPARAM>(std::strtoul(w[2].c_str(), nullptr, 10));
        return PostMessageA(h, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0) ? Ok() : Fail("PostMessage failed");
    }
    if (cmd == "close") {
        HWND h = window(1);
        if (!h) return Fail("no such window");
        return PostMessageA(h, WM_SYSCOMMAND, SC_CLOSE, 0) ? Ok() : Fail("PostMessage failed");
    }
    if (cmd == "key") {
        HWND h = window(1);
        if (!h || w.size() < 3) return Fail("usage: key HWND VK");
        WPARAM vk = static_cast<WPARAM>(std::strtoul(w[2].c_str(), nullptr, 0));
        UINT scan = MapVirtualKeyA(static_cast<UINT>(vk), 0);
        PostMessageA(h, WM_KEYDOWN, vk, 1 | (scan << 16));
        PostMessageA(h, WM_KEYUP, vk, 1 | (scan << 16) | 0xC0000000u);
        return Ok();
    }
    if (cmd == "settext") {
        HWND h = window(1);
        if (!h) return Fail("no such window");
        std::string text = Rest(line, 2);
        DWORD_PTR r = 0;
        return SendMessageTimeoutA(h, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_ABORTIFHUNG, 2000, &r)
                   ? Ok()
                   : Fail("WM_SETTEXT failed");
    }
    if (cmd == "regdump") {
        std::vector<std::string> skip;
        std::string keys = Rest(line, 1);
        for (size_t bar; (bar = keys.rfind('|')) != std::string::npos; keys.erase(bar))
            skip.push_back(keys.substr(bar + 1));
        const std::string path = keys;
        size_t slash = path.find('\\');
        HKEY root = RootByName(path.substr(0, slash));
        if (!root) return Fail("unknown root in " + path);
        std::string sub = slash == std::string::npos ? "" : path.substr(slash + 1);
        HKEY key = nullptr;
        if (RegOpenKeyExA(root, sub.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return Ok("\"keys\":[]");
        std::string out;
        DumpKey(key, path, skip, out);
        RegCloseKey(key);
        return Ok("\"keys\":[" + out + "]");
    }
    if (cmd == "shortcut") {
        const std::string path = Rest(line, 1);
        if (FAILED(CoInitialize(nullptr))) return Fail("CoInitialize failed");
        std::string reply = Fail("cannot load " + path);
        IShellLinkA* link = nullptr;
        if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                       reinterpret_cast<void**>(&link)))) {
            IPersistFile* file = nullptr;
            if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
                WCHAR wide[MAX_PATH];
                if (MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH) &&
                    SUCCEEDED(file->Load(wide, STGM_READ))) {
                    char target[MAX_PATH] = "", dir[MAX_PATH] = "", desc[MAX_PATH] = "";
                    link->GetPath(target, MAX_PATH, nullptr, SLGP_RAWPATH);
                    link->GetWorkingDirectory(dir, MAX_PATH);
                    link->GetDescription(desc, MAX_PATH);
                    reply = Ok("\"target\":" + Json(target) + ",\"workdir\":" + Json(dir) +
                               ",\"description\":" + Json(desc));
                }
                file->Release();
            }
            link->Release();
        }
        CoUninitialize();
        return reply;
    }
    if (cmd == "hold") {
        // Opens a file as another program that uses it would: others may
        // read it, but not write, rename or delete it, until "release".
        const std::string path = Rest(line, 1);
        HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        if (h == INVALID_HANDLE_VALUE) return Fail("cannot open " + path);
        HeldFiles().push_back(h);
        return Ok();
    }
    if (cmd == "release") {
        for (HANDLE h : HeldFiles()) CloseHandle(h);
        HeldFiles().clear();
        return Ok();
    }
    if (cmd == "load") {
        // Loads a DLL by name, as a program that leaves the search order
        // as it is would: where it came from.
        HMODULE module = LoadLibraryA(Rest(line, 1).c_str());
        if (!module) return Fail("cannot load " + Rest(line, 1));
        char buf[MAX_PATH] = "";
        GetModuleFileNameA(module, buf, sizeof buf);
        return Ok("\"path\":" + Json(buf));
    }
    if (cmd == "cwd") {
        char buf[MAX_PATH] = "";
        GetCurrentDirectoryA(sizeof buf, buf);
        return Ok("\"cwd\":" + Json(buf));
    }
    return Fail("unknown command: " + cmd);
}

LRESULT CALLBACK DecoyProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(h, msg, wp, lp);
}

// A plain visible window that takes the foreground: lets a test see that
// another program brings itself (or something else) to the front.
int Decoy(const std::string& title) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = DecoyProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = "WinProbeDecoy";
    if (!RegisterClassA(&wc)) return 1;
    HWND h = CreateWindowExA(0, wc.lpszClassName, title.c_str(), WS_OVERLAPPEDWINDOW, 600, 500, 300, 150, nullptr,
                             nullptr, wc.hInstance, nullptr);
    if (!h) return 1;
    ShowWindow(h, SW_SHOW);
    SetForegroundWindow(h);
    std::printf("%s\n", Ok("\"hwnd\":" + Handle(h)).c_str());
    std::fflush(stdout);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    // Window rectangles in the screen's own pixels, as the screenshots
    // show them, also on a screen of more than 96 pixels per inch.
    using SetAwareFn = BOOL(WINAPI*)();
    if (auto setAware = reinterpret_cast<SetAwareFn>(
            reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), "SetProcessDPIAware"))))
        setAware();
    if (argc >= 2 && std::strcmp(argv[1], "decoy") == 0) return Decoy(argc >= 3 ? argv[2] : "Decoy");
    if (argc >= 2 && std::strcmp(argv[1], "serve") != 0) {
        std::string line;
        for (int i = 1; i < argc; ++i) line += std::string(i > 1 ? " " : "") + argv[i];
        std::string reply = Execute(line);
        std::printf("%s\n", reply.c_str());
        return reply.compare(0, 10, "{\"ok\":true") == 0 ? 0 : 1;
    }
    static char buf[65536];
    std::printf("%s\n", Ok("\"ready\":true").c_str());
    std::fflush(stdout);
    while (std::fgets(buf, sizeof buf, stdin)) {
        std::string line(buf);
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
        if (line == "exit") break;
        std::printf("%s\n", Execute(line).c_str());
        std::fflush(stdout);
    }
    return 0;
}
