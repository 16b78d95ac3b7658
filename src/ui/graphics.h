// Drawing helpers: fonts by name and size, and an off-screen bitmap with
// its own device context to draw on.
#pragma once

#include <windows.h>

#include "runtime/handles.h"

// Character height (negative: without internal leading) of a font of
// `points` points on the screen.
int PointsToHeight(int points);

enum FontStyle : unsigned { fsBold = 1, fsItalic = 2 };

// A font by face name; `family` helps the system pick a look-alike when the
// face is not installed (FF_ROMAN, FF_SWISS).
FontHandle MakeFont(const char* face, int height, unsigned style, BYTE family);

// A bitmap compatible with the screen, selected into a memory device
// context for its whole life. Starts empty (0 x 0).
class TBitmap {
public:
    TBitmap();
    TBitmap(const TBitmap&) = delete;
    TBitmap& operator=(const TBitmap&) = delete;
    ~TBitmap();

    // New size; the old picture is gone (the new one is black).
    void SetSize(int width, int height);
    int Width() const { return width_; }
    int Height() const { return height_; }
    bool Empty() const { return width_ == 0 || height_ == 0; }
    // The drawing surface.
    HDC Canvas() const { return dc_.Get(); }

private:
    MemoryDC dc_;
    BitmapHandle bitmap_;
    HGDIOBJ original_ = nullptr;
    int width_ = 0;
    int height_ = 0;
};
