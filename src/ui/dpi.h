// Layout lengths on this screen: every table of src/ui/layout.h and every
// fixed length a form draws with goes through here (the rule is core's
// dpi_scaling.h; the screen's resolution is read once, by the application object).
#pragma once

// Screen pixels of a layout length (position, size, font height).
int Scaled(int layoutLength);

// The layout length that covers `screenPixels` once scaled.
int LayoutCovering(int screenPixels);
