#include "ui/graphics.h"

#include "errors.h"

int PointsToHeight(int points) {
    WindowDC screen(nullptr);
    return -MulDiv(points, GetDeviceCaps(screen.Get(), LOGPIXELSY), 72);
}

FontHandle MakeFont(const char* face, int height, unsigned style, BYTE family) {
    return FontHandle(CreateFontA(height, 0, 0, 0, (style & fsBold) ? FW_BOLD : FW_NORMAL,
                                  (style & fsItalic) ? TRUE : FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                                  CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, VARIABLE_PITCH | family, face));
}

TBitmap::TBitmap() {
    WindowDC screen(nullptr);
    dc_.Reset(CreateCompatibleDC(screen.Get()));
    if (!dc_) throw EOutOfMemory();
}

TBitmap::~TBitmap() {
    if (original_) SelectObject(dc_.Get(), original_);
}

void TBitmap::SetSize(int width, int height) {
    if (width < 0) width = 0;
    if (height < 0) height = 0;
    if (width == width_ && height == height_ && (bitmap_ || Empty())) return;
    BitmapHandle next;
    if (width > 0 && height > 0) {
        WindowDC screen(nullptr);
        next.Reset(CreateCompatibleBitmap(screen.Get(), width, height));
        if (!next) throw EOutOfMemory();
        HGDIOBJ old = SelectObject(dc_.Get(), next.Get());
        if (!original_) original_ = old;
    } else if (original_) {
        SelectObject(dc_.Get(), original_);
        original_ = nullptr;
    }
    bitmap_ = std::move(next);
    width_ = width;
    height_ = height;
}
