#include "install/setup_log.h"

namespace {

UninstallLog* g_log = nullptr;
const std::string* g_title = nullptr;

}  // namespace

void ConnectSetupLog(UninstallLog* log, const std::string* title) {
    g_log = log;
    g_title = title;
}

UninstallLog& SetupLog() {
    if (!g_log) throw Exception("No uninstall log");
    return *g_log;
}

const std::string& ProductTitle() {
    if (!g_title) throw Exception("No product title");
    return *g_title;
}
