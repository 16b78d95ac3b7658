#include "dpi_scaling.h"

#include <cstdint>

int ScaleToDpi(int value, int dpi) {
    if (dpi <= 0) dpi = kLayoutDpi;
    const int64_t product = static_cast<int64_t>(value) * dpi;
    const int64_t half = kLayoutDpi / 2;
    return static_cast<int>(product >= 0 ? (product + half) / kLayoutDpi : -((-product + half) / kLayoutDpi));
}

int LayoutLengthCovering(int pixels, int dpi) {
    if (dpi <= 0) dpi = kLayoutDpi;
    if (pixels <= 0) return 0;
    // Rounded up, then down as long as the smaller length still covers.
    int length = static_cast<int>((static_cast<int64_t>(pixels) * kLayoutDpi + dpi - 1) / dpi);
    while (length > 0 && ScaleToDpi(length - 1, dpi) >= pixels) --length;
    return length;
}
