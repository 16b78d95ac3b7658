// The backdrop's picture, rendered off-screen and read back pixel by pixel.
#include <windows.h>

#include <gtest/gtest.h>

#include "app/main_form.h"
#include "ui/graphics.h"

namespace {

int BlueAt(const TBitmap& bmp, int x, int y) {
    COLORREF c = GetPixel(bmp.Canvas(), x, y);
    EXPECT_EQ(GetRValue(c), 0) << x << "," << y;
    EXPECT_EQ(GetGValue(c), 0) << x << "," << y;
    return GetBValue(c);
}

TEST(BackdropTest, BandsRunFromBlueToBlackAtEveryHeight) {
    const struct {
        int height;
        int row;
        int blue;
    } cases[] = {
        // 768 rows: three rows per band.
        {768, 0, 255},
        {768, 2, 255},
        {768, 3, 254},
        {768, 383, 128},
        {768, 765, 0},
        {768, 767, 0},
        // 600 rows: bands of two or three rows.
        {600, 0, 255},
        {600, 1, 255},
        {600, 2, 254},
        {600, 4, 254},
        {600, 5, 253},
        {600, 6, 253},
        {600, 598, 0},
        {600, 599, 0},
        // 100 rows: fewer rows than bands; band 0 is empty.
        {100, 0, 254},
        {100, 1, 252},
        {100, 99, 1},
    };
    for (const auto& c : cases) {
        TBitmap bmp;
        bmp.SetSize(40, c.height);
        PaintBackdrop(bmp.Canvas(), 40, c.height, "");
        EXPECT_EQ(BlueAt(bmp, 0, c.row), c.blue) << "height " << c.height << " row " << c.row;
        EXPECT_EQ(BlueAt(bmp, 39, c.row), c.blue) << "height " << c.height << " row " << c.row;
    }
}

TEST(BackdropTest, TitleIsWhiteOverABlackShadowAndOnlyNearTheCorner) {
    const int w = 400, h = 300;
    TBitmap plain, titled;
    plain.SetSize(w, h);
    titled.SetSize(w, h);
    PaintBackdrop(plain.Canvas(), w, h, "");
    PaintBackdrop(titled.Canvas(), w, h, "Velto - Technology Demo");
    int white = 0, black = 0, changedOutside = 0;
    for (int y = 0; y < h; y += 1) {
        for (int x = 0; x < w; x += 1) {
            COLORREF a = GetPixel(plain.Canvas(), x, y);
            COLORREF b = GetPixel(titled.Canvas(), x, y);
            if (a == b) continue;
            if (y < 20 || x < 20 || y > 100) ++changedOutside;
            if (b == RGB(255, 255, 255)) ++white;
            if (b == RGB(0, 0, 0)) ++black;
        }
    }
    EXPECT_GT(white, 100);
    EXPECT_GT(black, 100);
    EXPECT_EQ(changedOutside, 0);
    // No cell background: between the letters the gradient shows through.
    EXPECT_EQ(GetPixel(titled.Canvas(), 21, 21), GetPixel(plain.Canvas(), 21, 21));
}

}  // namespace
