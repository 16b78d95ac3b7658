// The layouts of the windows are tables of pixels at 96 pixels per inch.
// On a screen of more pixels per inch (a high-resolution screen, or one set
// to show text larger) every length grows by the same ratio, so a window
// keeps its proportions and its text fits its controls.
#pragma once

constexpr int kLayoutDpi = 96;

// A length of a layout (a position, a size or a font height, negative ones
// included) on a screen of `dpi` pixels per inch: value x dpi / 96,
// rounded to the nearest pixel, halves away from zero. A dpi that is not
// positive counts as 96.
int ScaleToDpi(int value, int dpi);

// The smallest layout length whose scaled length is at least `pixels`
// (not negative) at `dpi`: for a text measured on the screen that a
// layout must make room for.
int LayoutLengthCovering(int pixels, int dpi);
