#include "runtime/change_point.h"

#ifdef SETUP_CHANGE_POINTS

#include <windows.h>

#include <cstdlib>

namespace {

// The exit code of a run ended at its point, told apart from every code the
// program gives itself.
constexpr UINT kEndedAtPoint = 75;

}  // namespace

// SETUP_END_AT=n ends the run at its n-th point (from 1); unset or 0: never.
void ChangePoint() {
    static long count = 0;
    static const long endAt = [] {
        char value[32];
        const DWORD n = GetEnvironmentVariableA("SETUP_END_AT", value, sizeof value);
        return n > 0 && n < sizeof value ? std::strtol(value, nullptr, 10) : 0L;
    }();
    if (++count == endAt) TerminateProcess(GetCurrentProcess(), kEndedAtPoint);
}

#else

void ChangePoint() {}

#endif
